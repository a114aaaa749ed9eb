// The style dialog, the style editor and the support bundle procedure on the
// offscreen platform, with real calendar windows of the registry: preview
// and cancel, OK, the file commands and their refusals, the editor's backup
// and restore, an edited colour on the windows' back buffers, the import
// checks, and the bundle's dumps following the check box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QListWidget>
#include <QMessageBox>
#include <QSpinBox>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/ConfigInfo.h"
#include "app/StringTable.h"
#include "controller/qt/CalendarWndManager.h"
#include "controller/qt/RegistryStyleTargets.h"
#include "dialogs/DialogSupport.h"
#include "dialogs/EditStyleDlg.h"
#include "dialogs/ModalHook.h"
#include "dialogs/SetStyleDlg.h"
#include "dialogs/StylePanels.h"
#include "dialogs/SupportDlg.h"
#include "platform/Profile.h"
#include "platform/Time.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

QApplication& App() {
    static int argc = 1;
    static char name[] = "style_dialogs_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

std::wstring W(const std::string& s) {
    return QString::fromStdString(s).toStdWString();
}

QString Text(int id) {
    return QString::fromWCharArray(app::LoadStringText(id));
}

// Answers the modal dialogs in turn; a message box is recorded and answered
// with the button given, any other dialog by its own function.
class Answers {
public:
    Answers() {
        previous_ = dialogs::SetModalHook([this](QDialog& dialog) { return Answer(dialog); });
        previousFiles_ = dialogs::SetFileDialogHook([this](const dialogs::FileDialogRequest& r) {
            requests.push_back(r);
            if (files.empty()) {
                return QStringList();
            }
            QStringList next = files.front();
            files.pop_front();
            return next;
        });
    }
    ~Answers() {
        dialogs::SetModalHook(previous_);
        dialogs::SetFileDialogHook(previousFiles_);
    }
    std::deque<std::function<int(QDialog&)>> queue;
    std::deque<QStringList> files;
    std::vector<QString> messages;
    std::vector<dialogs::FileDialogRequest> requests;
    int messageButton = QMessageBox::Yes;

private:
    int Answer(QDialog& dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            messages.push_back(box->text());
            return messageButton;
        }
        if (queue.empty()) {
            ADD_FAILURE() << "unexpected dialog " << dialog.objectName().toStdString();
            return QDialog::Rejected;
        }
        auto next = std::move(queue.front());
        queue.pop_front();
        return next(dialog);
    }
    dialogs::ModalHook previous_;
    dialogs::FileDialogHook previousFiles_;
};

// Names a dialog: fills the name dialog's field and accepts it.
std::function<int(QDialog&)> NameAnswer(const QString& name) {
    return [name](QDialog& dialog) {
        auto& ask = dynamic_cast<CSetStyleNameDlg&>(dialog);
        ask.SetName(name);
        return int(QDialog::Accepted);
    };
}

class StyleDialogs : public testing::Test {
protected:
    void SetUp() override {
        App();
        styles_ = dir_ / "style";
        fs::create_directories(styles_);
        fs::create_directories(dir_ / "log");
        for (const char* name : {"Amber", "Blue", "Night"}) {
            const std::string org =
                std::string(DAYMARK_SOURCE_DIR) + "/resources/style/" + name + ".style.org";
            fs::copy_file(org, styles_ + "/" + name + ".style");
            fs::copy_file(org, styles_ + "/" + name + ".style.org");
        }
        WriteFile(dir_ / "config.ini", "[general]\ncalendar_mode=2\nstyle=Blue.style\n");
        config_ = std::make_unique<Model::CConfigInfo>(dir_ / "config.ini");
        style_.Load(StyleFile("Blue"));
        context_.config = config_.get();
        context_.style = &style_;
        registry_.LoadAndCreate(dir_.path(), context_);
        registry_.NewWindow();
        targets_ = std::make_unique<CRegistryStyleTargets>(registry_, style_);
        targets_->ApplyEverywhere();
    }

    std::wstring StyleFile(const std::string& title) const {
        return W(styles_ + "/" + title + ".style");
    }
    std::string StylePath(const std::string& title) const {
        return styles_ + "/" + title + ".style";
    }

    Model::CCalendarStyleInfo Loaded(const std::string& title) const {
        Model::CCalendarStyleInfo s;
        s.Load(StyleFile(title));
        return s;
    }

    CCalendarWnd& Wnd(size_t i) { return *registry_.Windows().at(i); }

    std::unique_ptr<CSetStyleDlg> Open() {
        return std::make_unique<CSetStyleDlg>(*config_, styles_, *targets_);
    }

    testsupport::ScopedTz tz_{"Asia/Tokyo"};
    platform::ScopedClock clock_{[] { return platform::CTime(2026, 12, 10, 12, 0, 0).GetTime(); }};
    testsupport::TempDir dir_;
    std::string styles_;
    std::unique_ptr<Model::CConfigInfo> config_;
    Model::CCalendarStyleInfo style_;
    CalendarWndContext context_;
    Model::CCalendarWndManager registry_;
    std::unique_ptr<CRegistryStyleTargets> targets_;
    Answers answers_;
};

TEST_F(StyleDialogs, PreviewThenCancelLeavesTheStyleAndTheWindowsUnchanged) {
    const QImage before = Wnd(0).BackBuffer().copy();
    auto dialog = Open();
    EXPECT_TRUE(CSetStyleDlg::IsOpen());
    EXPECT_EQ(dialog->Titles(), (std::vector<std::wstring>{L"Amber", L"Blue", L"Night"}));
    EXPECT_EQ(dialog->SelectedTitle(), L"Blue");

    ASSERT_TRUE(dialog->SelectTitle(L"Night"));
    // The preview is on every window at once.
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(Wnd(i).Style().SameStoredFields(Loaded("Night")));
    }
    EXPECT_NE(Wnd(0).BackBuffer(), before);

    dialog->reject();
    dialog.reset();
    EXPECT_FALSE(CSetStyleDlg::IsOpen());
    EXPECT_EQ(config_->GetStyleName(), L"Blue.style");
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(Wnd(i).Style().SameStoredFields(Loaded("Blue")));
    }
    EXPECT_EQ(Wnd(0).BackBuffer(), before);
}

TEST_F(StyleDialogs, OkKeepsTheSelectionAndTheOptions) {
    auto dialog = Open();
    ASSERT_TRUE(dialog->SelectTitle(L"Amber"));
    dialog->OptionList()->item(3)->setCheckState(Qt::Checked);    // 月曜日はじまり
    dialog->OptionList()->item(0)->setCheckState(Qt::Unchecked);  // 予定のある日は太字
    dialog->accept();
    EXPECT_TRUE(dialog->WeekStartChanged());
    EXPECT_EQ(platform::GetPrivateProfileString("general", "style", L"", 256, dir_ / "config.ini"),
              L"Amber.style");
    EXPECT_EQ(platform::GetPrivateProfileInt("option", "monday_frist", -1, dir_ / "config.ini"), 1);
    EXPECT_EQ(platform::GetPrivateProfileInt("option", "booked_bold", -1, dir_ / "config.ini"), 0);
    EXPECT_EQ(config_->mondayFirst, 1);
    EXPECT_TRUE(Wnd(1).Style().SameStoredFields(Loaded("Amber")));
}

TEST_F(StyleDialogs, DeleteRefusesTheLastStyleAndMovesOffTheDeletedOne) {
    auto dialog = Open();
    answers_.messageButton = QMessageBox::Yes;
    dialog->OnDelete();  // Blue, the style in use
    EXPECT_FALSE(fs::exists(StylePath("Blue")));
    EXPECT_EQ(dialog->SelectedTitle(), L"Amber");
    EXPECT_TRUE(Wnd(0).Style().SameStoredFields(Loaded("Amber")));
    dialog->OnDelete();
    EXPECT_EQ(dialog->Titles(), std::vector<std::wstring>{L"Night"});
    ASSERT_EQ(answers_.messages.size(), 2u);
    EXPECT_EQ(answers_.messages[0], Text(144));

    dialog->OnDelete();  // the last one
    EXPECT_TRUE(fs::exists(StylePath("Night")));
    EXPECT_EQ(answers_.messages.back(), Text(102));
    // Cancel does not go back to a style that is gone.
    dialog->reject();
    EXPECT_EQ(config_->GetStyleName(), L"Night.style");
    EXPECT_TRUE(Wnd(0).Style().SameStoredFields(Loaded("Night")));
}

TEST_F(StyleDialogs, NewAndRenameRefuseNameClashesAndFolderNames) {
    auto dialog = Open();
    const auto titles = dialog->Titles();
    answers_.queue.push_back(NameAnswer("Amber"));
    dialog->OnNew();
    EXPECT_EQ(answers_.messages.back(), Text(150));
    EXPECT_EQ(dialog->Titles(), titles);
    answers_.queue.push_back(NameAnswer("../escape"));
    dialog->OnNew();
    EXPECT_EQ(answers_.messages.back(), Text(805));
    EXPECT_FALSE(fs::exists(dir_ / "escape.style"));
    answers_.queue.push_back(NameAnswer("Night"));
    dialog->OnRename();
    EXPECT_EQ(answers_.messages.back(), Text(150));
    EXPECT_EQ(ReadFile(StylePath("Night")), ReadFile(StylePath("Night") + ".org"));
    EXPECT_EQ(dialog->Titles(), titles);

    // A rename of the style in use: kept in use under its new name.
    answers_.queue.push_back(NameAnswer("Sky"));
    dialog->OnRename();
    EXPECT_EQ(dialog->Titles(), (std::vector<std::wstring>{L"Amber", L"Sky", L"Night"}));
    EXPECT_TRUE(fs::exists(StylePath("Sky")));
    EXPECT_FALSE(fs::exists(StylePath("Blue")));
    dialog->reject();
    EXPECT_EQ(config_->GetStyleName(), L"Sky.style");
}

TEST_F(StyleDialogs, NewCopiesTheSelectionAndOpensTheEditor) {
    auto dialog = Open();
    answers_.queue.push_back(NameAnswer("Mine"));
    bool edited = false;
    answers_.queue.push_back([&](QDialog& d) {
        edited = dynamic_cast<CEditStyleDlg*>(&d) != nullptr;
        return d.accept(), int(QDialog::Accepted);
    });
    dialog->OnNew();
    EXPECT_TRUE(edited);
    EXPECT_EQ(dialog->SelectedTitle(), L"Mine");
    EXPECT_TRUE(Loaded("Mine").SameStoredFields(Loaded("Blue")));
    EXPECT_FALSE(fs::exists(StylePath("Mine") + ".bak"));
}

TEST_F(StyleDialogs, ACancelledEditorRestoresTheFileByteForByte) {
    // Blue differs from its pristine copy, so that a restore changes it.
    Model::CCalendarStyleInfo changed = Loaded("Blue");
    changed.windowBackground = 0xFF00FF00;
    ASSERT_TRUE(changed.Save(StyleFile("Blue")));
    const std::string bytes = ReadFile(StylePath("Blue"));
    auto dialog = Open();
    targets_->LoadAndApply(StyleFile("Blue"));
    const QImage before = Wnd(0).BackBuffer().copy();
    bool sawBackup = false;
    answers_.queue.push_back([&](QDialog& d) {
        auto& editor = dynamic_cast<CEditStyleDlg&>(d);
        sawBackup = fs::exists(StylePath("Blue") + ".bak");
        EXPECT_TRUE(editor.RestoreButton()->isEnabled());
        editor.OnRestore();  // the file is overwritten from ".org" (answered Yes)
        EXPECT_NE(ReadFile(StylePath("Blue")), bytes);
        editor.SelectRegion(CEditStyleDlg::kDayColor);
        dynamic_cast<CPanelDayColor*>(editor.CurrentPanel())->text[0]->SetColor(0xFF0000FF);
        editor.OnApply();
        editor.reject();
        return int(QDialog::Rejected);
    });
    dialog->OnEdit();
    EXPECT_TRUE(sawBackup);
    EXPECT_EQ(ReadFile(StylePath("Blue")), bytes);
    EXPECT_FALSE(fs::exists(StylePath("Blue") + ".bak"));
    EXPECT_TRUE(Wnd(0).Style().SameStoredFields(changed));
    EXPECT_EQ(Wnd(0).BackBuffer(), before);
}

// The number of pixels of one colour in a window's back buffer.
int CountPixels(const QImage& image, QRgb rgb) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += (image.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF) &&
                 qAlpha(image.pixel(x, y)) == 255;
        }
    }
    return n;
}

TEST_F(StyleDialogs, AnEditedColourShowsOnEveryWindowAfterApplyAndCancelBringsItBack) {
    const QRgb red = 0xFFFF0000;
    ASSERT_EQ(CountPixels(Wnd(0).BackBuffer(), red), 0);
    CEditStyleDlg editor(*targets_);
    EXPECT_EQ(editor.CurrentPanel()->objectName(), "CPanelAllBack");
    auto* panel = dynamic_cast<CPanelAllBack*>(editor.CurrentPanel());
    ASSERT_NE(panel, nullptr);
    panel->background->SetColor(red);
    panel->transparency->setValue(0);
    editor.OnApply();
    for (size_t i = 0; i < 2; ++i) {
        const QImage& image = Wnd(i).BackBuffer();
        // The window's background is most of the window.
        EXPECT_GT(CountPixels(image, red), image.width() * image.height() / 10) << i;
        EXPECT_EQ(Wnd(i).Style().windowBackground, red);
    }
    editor.reject();
    EXPECT_TRUE(style_.SameStoredFields(Loaded("Blue")));
    targets_->ApplyEverywhere();
    EXPECT_EQ(CountPixels(Wnd(0).BackBuffer(), red), 0);
}

TEST_F(StyleDialogs, EditorPanelsKeepTheirEditsAcrossLeavesAndFoldTransparency) {
    CEditStyleDlg editor(*targets_);
    editor.SelectRegion(CEditStyleDlg::kYmYear);
    auto* year = dynamic_cast<CPanelYmYear*>(editor.CurrentPanel());
    ASSERT_NE(year, nullptr);
    year->text->size->setValue(31);
    year->text->family->setCurrentText("No Such Family");
    editor.SelectRegion(CEditStyleDlg::kYmBack);
    EXPECT_EQ(style_.yearText.fontSize, 31);
    EXPECT_EQ(style_.yearText.fontFamily, L"No Such Family");
    auto* back = dynamic_cast<CPanelYmBack*>(editor.CurrentPanel());
    ASSERT_NE(back, nullptr);
    back->transparency->setValue(50);
    editor.SelectRegion(CEditStyleDlg::kWeekBack);
    EXPECT_EQ(style_.headerBackground >> 24, 0x80u);
    EXPECT_EQ(style_.headerBackground & 0xFFFFFF, Loaded("Blue").headerBackground & 0xFFFFFF);
    // Every leaf has its panel, and an untouched panel changes nothing.
    const Model::CCalendarStyleInfo edited = style_;
    for (int r = 0; r < CEditStyleDlg::kRegionCount; ++r) {
        editor.SelectRegion(static_cast<CEditStyleDlg::Region>(r));
        ASSERT_NE(editor.CurrentPanel(), nullptr) << r;
    }
    editor.SelectRegion(CEditStyleDlg::kAllBack);
    EXPECT_TRUE(style_.SameStoredFields(edited));
    // OK saves the style to its file.
    editor.accept();
    EXPECT_TRUE(Loaded("Blue").SameStoredFields(edited));
}

TEST_F(StyleDialogs, WithoutAnOrgFileTheRestoreButtonIsDisabled) {
    fs::remove(StylePath("Blue") + ".org");
    CEditStyleDlg editor(*targets_);
    EXPECT_FALSE(editor.RestoreButton()->isEnabled());
}

TEST_F(StyleDialogs, ImportChecksEveryFileAndAsksBeforeOverwriting) {
    const std::string outside = dir_ / "outside";
    fs::create_directories(outside);
    // A good new style, a damaged copy of Amber, a hostile Night (a font
    // size no window can be drawn with), and a good Blue.
    Model::CCalendarStyleInfo fresh = Loaded("Night");
    fresh.windowBackground = 0xFF123456;
    ASSERT_TRUE(fresh.Save(W(outside + "/Fresh.style")));
    const std::string amber = ReadFile(StylePath("Amber"));
    WriteFile(outside + "/Amber.style", amber.substr(0, amber.size() / 2));
    Model::CCalendarStyleInfo hostile = Loaded("Night");
    hostile.monthNumText.fontSize = 100000;
    ASSERT_TRUE(hostile.Save(W(outside + "/Night.style")));
    Model::CCalendarStyleInfo blue = Loaded("Blue");
    blue.windowBackground = 0xFF654321;
    ASSERT_TRUE(blue.Save(W(outside + "/Blue.style")));
    const std::string nightBefore = ReadFile(StylePath("Night"));

    auto dialog = Open();
    answers_.files.push_back({QString::fromStdString(outside + "/Fresh.style"),
                              QString::fromStdString(outside + "/Amber.style"),
                              QString::fromStdString(outside + "/Night.style"),
                              QString::fromStdString(outside + "/Blue.style")});
    answers_.messageButton = QMessageBox::No;
    dialog->OnImport();
    EXPECT_EQ(answers_.requests.back().filter, "style (*.style)");
    ASSERT_EQ(answers_.messages.size(), 3u);
    EXPECT_TRUE(answers_.messages[0].startsWith("Amber.style"))
        << answers_.messages[0].toStdString();
    EXPECT_TRUE(answers_.messages[1].startsWith("Night.style"));
    EXPECT_EQ(answers_.messages[2], Text(147));
    // The good styles stay as they were; the new one is listed and shown.
    EXPECT_EQ(ReadFile(StylePath("Amber")), amber);
    EXPECT_EQ(ReadFile(StylePath("Night")), nightBefore);
    EXPECT_FALSE(Loaded("Blue").SameStoredFields(blue));
    EXPECT_EQ(dialog->Titles(), (std::vector<std::wstring>{L"Amber", L"Blue", L"Night", L"Fresh"}));
    EXPECT_EQ(dialog->SelectedTitle(), L"Fresh");
    EXPECT_EQ(Wnd(0).Style().windowBackground, 0xFF123456u);

    // Yes replaces a style by a good file.
    answers_.files.push_back({QString::fromStdString(outside + "/Blue.style")});
    answers_.messageButton = QMessageBox::Yes;
    dialog->OnImport();
    EXPECT_TRUE(Loaded("Blue").SameStoredFields(blue));
    EXPECT_EQ(dialog->SelectedTitle(), L"Blue");
    EXPECT_FALSE(fs::exists(StylePath("Blue") + ".tmp"));

    // Export writes the selected style where the user says.
    answers_.files.push_back({QString::fromStdString(outside + "/exported")});
    dialog->OnExport();
    EXPECT_EQ(ReadFile(outside + "/exported.style"), ReadFile(StylePath("Blue")));
}

// ---------------------------------------------------------------- bundle

TEST_F(StyleDialogs, BundleDumpsFollowTheCheckBoxAndCancelWritesNothing) {
    // Old dumps from an earlier bundle.
    WriteFile(dir_ / "log/calendars.txt", "old");
    WriteFile(dir_ / "log/db.txt", "old");
    WriteFile(dir_ / "log/Log5.txt", "a line\r\n");
    std::vector<bool> dumped;
    SupportBundleParts parts;
    parts.dataFolder = dir_.path();
    parts.dumpWindows = [&](bool write) { registry_.DumpWindows(write, dir_.path()); };
    parts.dumpDatabase = [&](bool write) {
        dumped.push_back(write);
        if (write) {
            WriteFile(dir_ / "log/db.txt", "dump");
        } else {
            fs::remove(dir_ / "log/db.txt");
        }
    };
    testsupport::ScopedEnv desktop("XDG_DESKTOP_DIR", dir_.path());

    // Cancel in the first dialog, then in the file dialog: nothing written.
    answers_.queue.push_back([](QDialog&) { return int(QDialog::Rejected); });
    EXPECT_FALSE(RunSupportBundle(nullptr, parts));
    answers_.queue.push_back([](QDialog& d) {
        EXPECT_FALSE(dynamic_cast<CSupportDlg&>(d).IncludeCalendars());  // cleared at opening
        return int(QDialog::Accepted);
    });
    EXPECT_FALSE(RunSupportBundle(nullptr, parts));
    EXPECT_EQ(answers_.requests.back().proposedPath,
              QString::fromStdString(dir_ / "WrenSupport.zip"));
    EXPECT_EQ(answers_.requests.back().filter, "zip (*.zip)");
    EXPECT_TRUE(dumped.empty());
    EXPECT_TRUE(fs::exists(dir_ / "log/db.txt"));

    // Cleared box: the old dumps are deleted, not sent.
    answers_.queue.push_back([](QDialog&) { return int(QDialog::Accepted); });
    answers_.files.push_back({QString::fromStdString(dir_ / "bundle")});
    ASSERT_TRUE(RunSupportBundle(nullptr, parts));
    std::string listing;
    ASSERT_EQ(std::system(("unzip -Z1 " + dir_ / "bundle.zip" + " > " + dir_ / "list.txt").c_str()),
              0);
    listing = ReadFile(dir_ / "list.txt");
    EXPECT_EQ(listing, "Log5.txt\n");

    // Ticked: both dumps go in.
    answers_.queue.push_back([](QDialog& d) {
        dynamic_cast<CSupportDlg&>(d).IncludeBox()->setChecked(true);
        return int(QDialog::Accepted);
    });
    answers_.files.push_back({QString::fromStdString(dir_ / "bundle.zip")});
    ASSERT_TRUE(RunSupportBundle(nullptr, parts));
    ASSERT_EQ(std::system(("unzip -t " + dir_ / "bundle.zip" + " > /dev/null").c_str()), 0);
    ASSERT_EQ(std::system(("unzip -Z1 " + dir_ / "bundle.zip" + " > " + dir_ / "list.txt").c_str()),
              0);
    listing = ReadFile(dir_ / "list.txt");
    EXPECT_NE(listing.find("calendars.txt\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("db.txt\n"), std::string::npos) << listing;
    EXPECT_EQ(dumped, (std::vector<bool>{false, true}));

    // An archive that cannot be written is reported.
    answers_.queue.push_back([](QDialog&) { return int(QDialog::Accepted); });
    answers_.files.push_back({QString::fromStdString(dir_ / "no/such/folder/b.zip")});
    EXPECT_FALSE(RunSupportBundle(nullptr, parts));
    EXPECT_TRUE(answers_.messages.back().startsWith(Text(812).section('\n', 0, 0)));
}

}  // namespace
