#include "controller/qt/DispatchAdapters.h"

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/ManiacOption.h"
#include "controller/CalendarManager.h"
#include "controller/qt/CalendarWndHostImpl.h"
#include "controller/qt/CalendarWndManager.h"
#include "controller/qt/CalendarWndManagerSource.h"
#include "googledata/HttpClient.h"
#include "platform/TextConv.h"
#include "view/CalendarWndSource.h"

namespace Controller {

namespace {

// The version check gives up after this; the program never waits for it.
constexpr long kVersionCheckTimeoutSeconds = 10;

// The calendar windows' data source: the manager, with the windows' sync
// command going the dispatch window's way (debug/disable_sync).
class CWindowSource : public CCalendarWndManagerSource {
public:
    CWindowSource(CCalendarManager& manager, IDispatchManager& dispatch)
        : CCalendarWndManagerSource(manager), dispatch_(dispatch) {}
    void SyncEvents() override { dispatch_.SyncEvents(); }

private:
    IDispatchManager& dispatch_;
};

// The calendar manager behind the dispatch window's port; its window source
// is the calendar windows'.
class CManagerAdapter : public IDispatchManager {
public:
    CManagerAdapter(const std::string& configPath, const std::string& dataFolder)
        : manager(configPath, dataFolder) {}

    void Initialize(const std::wstring& account, const std::wstring& password,
                    Utility::CMaintenanceLog* log) override {
        this->log = log;
        manager.Initialize(account, password, log);
    }
    bool IsInitialized() const override { return manager.IsRunning(); }
    void Terminate() override { manager.Terminate(); }
    void Reset() override { manager.Reset(); }
    void UpdateCalendar(const std::wstring& uri, bool showEvents, bool writeEvents) override {
        manager.UpdateCalendar(uri, showEvents, writeEvents);
    }
    size_t GetPendingRequestCount() override { return manager.GetPendingRequestCount(); }
    void ChangeAccount(const std::wstring& account, const std::wstring& password) override {
        manager.ChangeAccount(account, password);
    }
    void SetDisableSync(bool disabled) override { syncDisabled = disabled; }
    void SetProxy(bool enabled, const std::wstring& proxy, const std::wstring& user,
                  const std::wstring& password) override {
        manager.SetProxy(enabled, proxy, user, password);
    }
    void SetHttpLog(bool enabled, const std::string& folder, bool curlLog) override {
        manager.SetHttpLog(enabled, folder, curlLog);
    }
    void SetExtraCaFile(const std::string& path) override { manager.SetExtraCaFile(path); }
    void SetLoginUrl(const std::wstring& url) override { manager.SetLoginUrl(url); }
    void AddListener(platform::WindowHandle window, uint32_t message) override {
        manager.AddListener(window, message);
    }
    void DownloadCalenar() override { manager.DownloadCalenar(); }
    void DownloadHoliday(const std::wstring& uri, int firstYear, int lastYear) override {
        manager.DownloadHoliday(uri, firstYear, lastYear);
    }
    void DownloadAllEvent(const std::wstring& uri) override { manager.DownloadAllEvent(uri); }
    void DumpDatabase(bool write) override { manager.DumpDatabase(write); }
    void SyncEvents() override {
        // debug/disable_sync: start without synchronising.
        if (syncDisabled) {
            if (log) {
                log->Write(Utility::kLogInfo, "<dispatch> sync disabled");
            }
            return;
        }
        manager.SyncEvents();
    }
    void CreateLocalDB(const std::wstring& uri) override { manager.CreateLocalDB(uri); }
    bool GetCalendars(std::list<Model::Calendar>& calendars) override {
        return manager.GetCalendars(calendars);
    }
    bool GetUnretrievedHolidayYears(const std::wstring& uri, int& firstYear,
                                    int& lastYear) override {
        return manager.GetUnretrievedHolidayYears(uri, firstYear, lastYear);
    }
    std::wstring GetHolidayCalendarURI(const std::wstring& loginUrl) override {
        return CCalendarManager::GetHolidayCalendarURI(loginUrl);
    }
    std::wstring GetLastErrorDescription() const override {
        return manager.GetLastErrorDescription();
    }
    std::wstring GetLastErrorText() const override { return manager.GetLastErrorText(); }
    ICalendarWndSource* WindowSource() override { return &windowSource; }
    void RemoveListener(platform::WindowHandle window) override { manager.RemoveListener(window); }

private:
    CCalendarManager manager;
    CWindowSource windowSource{manager, *this};
    Utility::CMaintenanceLog* log = nullptr;
    bool syncDisabled = false;
};

// The registry of calendar windows behind the dispatch window's port.
class CRegistryWindows : public ICalendarWindows {
public:
    CRegistryWindows(CalendarWndContext context, CCalendarWndHost::Setup hostSetup)
        : context(context) {
        hostSetup.windows = this;
        host = std::make_unique<CCalendarWndHost>(std::move(hostSetup));
        this->context.host = host.get();
    }

    void LoadAndCreate(const std::string& folder, platform::WindowHandle dispatch,
                       uint32_t commandMessage) override {
        dataFolder = folder;
        context.dispatchWindow = dispatch;
        context.commandMessage = commandMessage;
        host->SetDispatch(dispatch, commandMessage, folder);
        registry.LoadAndCreate(folder, context);
    }
    bool SavePositions(const std::string& folder) override {
        return registry.SavePositions(folder);
    }
    void NewWindow() override { registry.NewWindow(); }
    std::unique_ptr<QObject> CloseWindow(int id) override {
        // Out of the list and hidden now; the dispatch window deletes it
        // later, once no handler of the window is on the stack.
        return registry.TakeWindow(id);
    }
    void AlignWindows() override { registry.AlignWindows(); }
    void ShowCurrentMonths() override { registry.ShowCurrentMonths(); }
    void RefreshAll() override { registry.RefreshAll(); }
    void DateChanged() override { registry.DateChanged(); }
    void ForwardEventUpdate() override { registry.ForwardEventUpdate(); }
    void RebuildIconBars() override { registry.RebuildIconBars(); }
    void DumpWindows(bool write) override { registry.DumpWindows(write, dataFolder); }
    int Count() const override { return static_cast<int>(registry.WindowCount()); }
    void UpdateAll(int flag) override {
        for (const auto& wnd : registry.Windows()) {
            wnd->SetMonth(flag == 0);
        }
    }
    void UpdateAllCaches() override {
        for (const auto& wnd : registry.Windows()) {
            wnd->UpdateHolidayCache();
            wnd->UpdateEventCache();
            wnd->SetMonth(true);
        }
    }
    void ApplyStyle(const Model::CCalendarStyleInfo& style) override {
        for (const auto& wnd : registry.Windows()) {
            wnd->Style() = style;
            wnd->SetMonth(true);
        }
    }
    void RefreshBottomBars() override {
        for (const auto& wnd : registry.Windows()) {
            wnd->UpdateClock();
        }
    }
    void CheckMouse() override {
        for (const auto& wnd : registry.Windows()) {
            wnd->CheckMouse();
        }
    }
    void BringAllToFront() override {
        for (const auto& wnd : registry.Windows()) {
            wnd->raise();
        }
    }
    void ShowFirstContextMenu(const QPoint& screenPos) override {
        if (registry.WindowCount() > 0) {
            registry.Windows().front()->ShowContextMenu(screenPos);
        }
    }
    void OpenFirstSettings() override {
        if (registry.WindowCount() > 0) {
            registry.Windows().front()->RunCommand(CCalendarWnd::ID_CALENDAR_SETTINGS);
        }
    }

    Model::CCalendarWndManager* Registry() override { return &registry; }

private:
    CalendarWndContext context;
    std::string dataFolder;
    std::unique_ptr<CCalendarWndHost> host;  // outlives the registry's windows
    Model::CCalendarWndManager registry;
};

}  // namespace

std::unique_ptr<IDispatchManager> MakeDispatchManager(const std::string& configPath,
                                                      const std::string& dataFolder) {
    return std::make_unique<CManagerAdapter>(configPath, dataFolder);
}

std::unique_ptr<ICalendarWindows> MakeCalendarWindows(IDispatchManager& manager,
                                                      Model::CConfigInfo& config,
                                                      const Model::CManiacOption& maniac,
                                                      Model::CCalendarStyleInfo* style,
                                                      Utility::CMaintenanceLog* log) {
    CalendarWndContext context;
    context.source = manager.WindowSource();
    context.config = &config;
    context.style = style;
    context.log = log;
    context.disableTransparencyWhileMouseOver = maniac.disableTransparencyWhileMouseOver != 0;
    CCalendarWndHost::Setup hostSetup;
    hostSetup.config = &config;
    hostSetup.maniac = &maniac;
    hostSetup.log = log;
    hostSetup.manager = &manager;
    hostSetup.source = context.source;
    hostSetup.style = style;
    return std::make_unique<CRegistryWindows>(context, std::move(hostSetup));
}

std::function<bool(const std::string&, std::string&, int&)> MakeVersionPageFetcher(
    const Model::CConfigInfo& config, const std::string& dataFolder) {
    struct Settings {
        std::string proxy, proxyUser, proxyPassword, extraCaFile;
    } settings;
    if (config.IsProxyEnabled()) {
        settings.proxy = platform::WideToUtf8(config.GetProxy());
        settings.proxyUser = platform::WideToUtf8(config.GetProxyUser());
        settings.proxyPassword = platform::WideToUtf8(config.GetProxyPassword());
    }
    settings.extraCaFile = config.GetExtraCaFile();
    return [settings, dataFolder](const std::string& url, std::string& body, int& httpCode) {
        googledata::HttpClient client;
        client.SetProxy(settings.proxy, settings.proxyUser, settings.proxyPassword);
        client.SetExtraCaFile(settings.extraCaFile);
        client.SetTimeout(kVersionCheckTimeoutSeconds);
        if (!dataFolder.empty()) {
            client.SetCommLogPath(dataFolder + "/log/comm.log");
        }
        httpCode = 0;
        return client.PlainGet("GET", url, body, httpCode);
    };
}

}  // namespace Controller
