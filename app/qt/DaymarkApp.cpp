#include "app/qt/DaymarkApp.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRect>
#include <QScreen>
#include <filesystem>

#include "app/StringTable.h"
#include "app/SystemInfo.h"
#include "controller/qt/DispatchAdapters.h"
#include "controller/qt/DispatchWnd.h"
#include "controller/qt/SessionWatch.h"
#include "dialogs/ModalHook.h"
#include "model/CalendarStyleInfo.h"
#include "platform/Folders.h"
#include "platform/TextConv.h"
#include "platform/Version.h"
#include "platform/qt/DesktopWindow.h"
#include "platform/qt/Japanese.h"

namespace {

CDaymarkApp* g_app = nullptr;

constexpr int kErrorTitleText = 408;      // "エラー"
constexpr int kAppDisplayNameText = 413;  // the program's name on the desktop

QString Text(int id) {
    return QString::fromWCharArray(app::LoadStringText(id));
}

// Copies every "*.org" file of `from` whose name is missing in `to`.
void CopyMissing(const std::filesystem::path& from, const std::filesystem::path& to,
                 bool dropOrgSuffix) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(from, ec)) {
        const auto& source = entry.path();
        if (source.extension() != ".org" || !entry.is_regular_file(ec)) {
            continue;
        }
        const auto target = to / (dropOrgSuffix ? source.stem() : source.filename());
        // An existing file is never overwritten.
        if (!std::filesystem::exists(target, ec)) {
            std::filesystem::copy_file(source, target, std::filesystem::copy_options::none, ec);
        }
    }
}

app::DisplayInfo ReadDisplays() {
    app::DisplayInfo d;
    const auto screens = QGuiApplication::screens();
    d.monitors = static_cast<int>(screens.size());
    QRect virtualRect;
    for (const QScreen* s : screens) {
        virtualRect = virtualRect.united(s->geometry());
    }
    d.virtualLeft = virtualRect.left();
    d.virtualTop = virtualRect.top();
    d.virtualWidth = virtualRect.width();
    d.virtualHeight = virtualRect.height();
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        d.primaryWidth = primary->geometry().width();
        d.primaryHeight = primary->geometry().height();
        d.workLeft = primary->availableGeometry().left();
        d.workTop = primary->availableGeometry().top();
    }
    return d;
}

}  // namespace

CDaymarkApp::CDaymarkApp(int& argc, char** argv) : argc_(argc), argv_(argv) {
    g_app = this;
}

CDaymarkApp::~CDaymarkApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

CDaymarkApp* CDaymarkApp::Instance() {
    return g_app;
}

bool CDaymarkApp::InitInstance() {
    // The install time, should this be the first start.
    const int64_t startTime = platform::NowSeconds();

    // Another copy runs: end silently, before anything is shown or logged.
    if (instanceLock.Acquire("Daymark") != platform::SingleInstanceLock::Result::Acquired) {
        return false;
    }
    qtApp = std::make_unique<QApplication>(argc_, argv_);
    QApplication::setQuitOnLastWindowClosed(false);
    // No window of the program flashes in a taskbar.
    platform::KeepFromDemandingAttention();

    QGuiApplication::setApplicationDisplayName(Text(kAppDisplayNameText));

    CreateFolders();
    log.SetFolder(dataFolder.empty() ? std::string() : dataFolder + "/log");
    // Qt's own texts (standard buttons, text-field menus, standard dialogs)
    // in Japanese like the program's; without the file they stay English.
    const platform::QtTranslationResult qtJapanese = platform::InstallQtJapanese(*qtApp);
    if (!qtJapanese.loaded) {
        log.Write(Utility::kLogWarn,
                  "Qt's Japanese translation is missing: " + qtJapanese.file.toStdString() +
                      " (Qt's own texts stay English)");
    }

    // An empty data folder gives empty paths: reads give the defaults and
    // writes go nowhere.
    config = std::make_unique<Model::CConfigInfo>(dataFolder.empty() ? std::string()
                                                                     : dataFolder + "/config.ini");
    maniac.Load(dataFolder.empty() ? std::string() : dataFolder + "/maniac.ini");
    // The stored account is masked in every line from the first one on (the
    // calendar manager sets it again when it takes an account).
    log.SetAccount(platform::WideToUtf8(config->GetAccountId()));

    CountBoot(startTime);
    log.Write(Utility::kLogInfo, std::string("version:") + std::to_string(platform::kVersionMajor) +
                                     "." + std::to_string(platform::kVersionMinor) + "." +
                                     std::to_string(platform::kVersionPatch) + "." +
                                     std::to_string(platform::kVersionTweak));
    WriteSystemInformation();
    InstallDefaultStyles();
    LoadStyle();
    if (!CreateDispatchWindow()) {
        return false;
    }

    log.Write(Utility::kLogInfo, "ready");
    return true;
}

int CDaymarkApp::Run() {
    if (!qtApp || !dispatch || dispatch->IsClosed()) {
        return 0;
    }
    return QApplication::exec();
}

int CDaymarkApp::ExitInstance() {
    endSession.reset();
    dispatch.reset();  // closes first if the loop ended some other way
    style.reset();
    qtApp.reset();
    return 0;
}

void CDaymarkApp::LoadStyle() {
    style =
        std::make_unique<Model::CCalendarStyleInfo>([this] { return maniac.showBottomBar != 0; });
    if (!styleFolder.empty()) {
        style->Load(platform::Utf8ToWide(styleFolder) + L"/" + config->GetStyleName());
    }
}

bool CDaymarkApp::CreateDispatchWindow() {
    Controller::CDispatchWnd::Setup setup;
    setup.config = config.get();
    setup.maniac = &maniac;
    setup.log = &log;
    setup.dataFolder = dataFolder;
    setup.programFolder = programFolder;
    setup.manager = Controller::MakeDispatchManager(config->GetPath(), dataFolder);
    setup.windows =
        Controller::MakeCalendarWindows(*setup.manager, *config, maniac, style.get(), &log);
    setup.makeFetcher = [this] { return Controller::MakeVersionPageFetcher(*config, dataFolder); };
    setup.styleChanged = [this] {
        if (!styleFolder.empty()) {
            style->Load(platform::Utf8ToWide(styleFolder) + L"/" + config->GetStyleName());
        }
        if (dispatch) {
            dispatch->Windows().ApplyStyle(*style);
        }
    };
    dispatch = std::make_unique<Controller::CDispatchWnd>(std::move(setup));
    if (!dispatch->Create()) {
        dispatch.reset();
        return false;
    }
    // The end of the session: SIGTERM, SIGINT, or the session manager
    // ending the application.
    endSession =
        std::make_unique<Controller::CEndSessionWatcher>([this](int) { dispatch->EndSession(); });
    QObject::connect(qtApp.get(), &QCoreApplication::aboutToQuit, [this] {
        if (dispatch && !dispatch->IsClosed()) {
            dispatch->Close();
        }
    });
    return true;
}

void CDaymarkApp::UpdateAllCalendarCache() {
    if (!dispatch) {
        return;
    }
    try {
        dispatch->Windows().UpdateAllCaches();
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::Critical, Text(kErrorTitleText), QStringLiteral("err1"));
        dialogs::ExecModal(box);
        log.Write(Utility::kLogError, std::string(e.what()).substr(0, 256), 237L);
    } catch (...) {
        log.Write(Utility::kLogError, "CDaymarkApp::UpdateAllCalendarCache", 243L);
    }
}

void CDaymarkApp::RedrawAllCalendars() {
    if (dispatch) {
        dispatch->Windows().UpdateAll(1);
    }
}

void CDaymarkApp::CreateFolders() {
    // The shipped styles and images: ../share/daymark when installed.
    programFolder = platform::GetResourceFolder();
    dataFolder = platform::GetDataFolder();
    if (dataFolder.empty()) {
        return;  // never build folders on the file system's root
    }
    styleFolder = dataFolder + "/style";
    imageFolder = dataFolder + "/image";
    for (const std::string& folder : {styleFolder, imageFolder, dataFolder + "/log"}) {
        if (!platform::IsDirectory(folder)) {
            platform::CreateFolderTree(folder);  // a failure only loses what goes there
        }
    }
}

void CDaymarkApp::CountBoot(int64_t startTime) {
    if (config->GetInstallText().empty()) {
        config->SetInstallDate(platform::CTime(startTime));
        log.Write(Utility::kLogInfo, "first boot");
    }
    const int count = config->GetInt("general", "boot_count", 0);
    config->WriteInt("general", "boot_count", count + 1);
    log.Write(Utility::kLogInfo, "Boot", count, static_cast<long>(platform::GetTickCount()));
}

void CDaymarkApp::WriteSystemInformation() {
    for (const std::string& line : app::SystemInfoLines(ReadDisplays())) {
        log.Write(Utility::kLogInfo, line);
    }
}

void CDaymarkApp::InstallDefaultStyles() {
    if (styleFolder.empty()) {
        return;
    }
    // The shipped defaults beside the program become the folder's "*.org"
    // files; each "*.org" then gives its style unless that exists already.
    if (!programFolder.empty()) {
        CopyMissing(programFolder + "/style", styleFolder, false);
    }
    CopyMissing(styleFolder, styleFolder, true);
}
