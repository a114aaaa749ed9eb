// The calendar window's "スタイル設定" and "バージョン情報" commands reach the
// real dialogs through the program's host: a style chosen in the dialog
// becomes general/style and every window's look; the about box's support
// button writes a bundle of the log folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <filesystem>
#include <memory>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/ManiacOption.h"
#include "controller/qt/CalendarWndManager.h"
#include "controller/qt/DispatchAdapters.h"
#include "controller/qt/DispatchWnd.h"
#include "dialogs/DialogSupport.h"
#include "dialogs/ModalHook.h"
#include "dialogs/SetStyleDlg.h"
#include "dialogs/SupportDlg.h"
#include "model/CalendarStyleInfo.h"
#include "platform/TextConv.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

QApplication& App() {
    static int argc = 1;
    static char name[] = "style_host_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

TEST(StyleHost, WindowCommandsOpenTheStyleDialogAndTheAboutBox) {
    App();
    testsupport::ScopedTz tz("Asia/Tokyo");
    testsupport::TempDir dir;
    fs::create_directories(dir / "style");
    fs::create_directories(dir / "log");
    for (const char* name : {"Blue", "Night"}) {
        fs::copy_file(std::string(DAYMARK_SOURCE_DIR) + "/resources/style/" + name + ".style.org",
                      dir / ("style/" + std::string(name) + ".style"));
    }
    Utility::CMaintenanceLog log;
    log.SetFolder(dir / "log");
    Model::CConfigInfo config(dir / "config.ini");
    config.WriteInt("general", "calendar_mode", 2);
    // Nothing answers there: the holiday download fails at once.
    config.WriteString("general", "login_url", L"https://127.0.0.1:9");
    config.Load(dir / "config.ini");
    Model::CManiacOption maniac;
    Model::CCalendarStyleInfo style;
    style.Load(platform::Utf8ToWide(dir / "style/Blue.style"));

    Controller::CDispatchWnd::Setup setup;
    setup.config = &config;
    setup.maniac = &maniac;
    setup.log = &log;
    setup.dataFolder = dir.path();
    setup.programFolder = std::string(DAYMARK_BINARY_DIR) + "/bin";
    setup.manager = Controller::MakeDispatchManager(config.GetPath(), dir.path());
    setup.windows = Controller::MakeCalendarWindows(*setup.manager, config, maniac, &style, &log);
    setup.watchSleep = false;
    auto dispatch = std::make_unique<Controller::CDispatchWnd>(std::move(setup));
    ASSERT_TRUE(dispatch->Create());
    Model::CCalendarWndManager* registry = dispatch->Windows().Registry();
    ASSERT_NE(registry, nullptr);
    CCalendarWnd& wnd = *registry->Windows().front();

    bool sawStyleDialog = false;
    bool sawBundle = false;
    const auto previousFiles = dialogs::SetFileDialogHook([&](const dialogs::FileDialogRequest&) {
        return QStringList{QString::fromStdString(dir / "b.zip")};
    });
    const auto previous = dialogs::SetModalHook([&](QDialog& dialog) {
        if (auto* styles = dynamic_cast<CSetStyleDlg*>(&dialog)) {
            sawStyleDialog = true;
            EXPECT_TRUE(styles->SelectTitle(L"Night"));
            styles->accept();
            return int(QDialog::Accepted);
        }
        if (auto* about = dynamic_cast<CAboutDlg*>(&dialog)) {
            about->OnSupport();
            return int(QDialog::Accepted);
        }
        if (dynamic_cast<CSupportDlg*>(&dialog) != nullptr) {
            sawBundle = true;
            return int(QDialog::Accepted);
        }
        ADD_FAILURE() << "unexpected dialog " << dialog.objectName().toStdString();
        return int(QDialog::Rejected);
    });

    wnd.RunCommand(CCalendarWnd::ID_STYLE);
    EXPECT_TRUE(sawStyleDialog);
    EXPECT_EQ(config.GetStyleName(), L"Night.style");
    Model::CCalendarStyleInfo night;
    night.Load(platform::Utf8ToWide(dir / "style/Night.style"));
    EXPECT_TRUE(wnd.Style().SameStoredFields(night));
    EXPECT_TRUE(style.SameStoredFields(night));

    wnd.RunCommand(CCalendarWnd::ID_VERSION);
    EXPECT_TRUE(sawBundle);
    EXPECT_TRUE(fs::exists(dir / "b.zip"));
    EXPECT_EQ(std::system(("unzip -tq " + dir / "b.zip" + " > /dev/null").c_str()), 0);

    dialogs::SetModalHook(previous);
    dialogs::SetFileDialogHook(previousFiles);
    dispatch.reset();
}

}  // namespace
