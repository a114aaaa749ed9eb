#include "controller/qt/DispatchAdapters.h"

#include "app/ManiacOption.h"
#include "model/qt/CalendarWndManager.h"

namespace Controller {

namespace {

// Until the sync engine is linked in: a manager with an empty store that
// never talks to the service.
class CNoManager : public IDispatchManager {
public:
    void Initialize(const std::wstring&, const std::wstring&, Utility::CMaintenanceLog*) override {}
    void Terminate() override {}
    void ChangeAccount(const std::wstring&, const std::wstring&) override {}
    void SetDisableSync(bool) override {}
    void SetProxy(bool, const std::wstring&, const std::wstring&, const std::wstring&) override {}
    void SetHttpLog(bool, const std::string&, bool) override {}
    void SetExtraCaFile(const std::string&) override {}
    void SetLoginUrl(const std::wstring&) override {}
    void AddListener(platform::WindowHandle, uint32_t) override {}
    void DownloadCalenar() override {}
    void DownloadHoliday(const std::wstring&, int, int) override {}
    void DownloadAllEvent(const std::wstring&) override {}
    void SyncEvents() override {}
    void CreateLocalDB(const std::wstring&) override {}
    bool GetCalendars(std::list<Model::Calendar>&) override { return true; }
    bool GetUnretrievedHolidayYears(const std::wstring&, int&, int&) override { return false; }
    std::wstring GetHolidayCalendarURI(const std::wstring&) override { return {}; }
    std::wstring GetLastErrorDescription() const override { return {}; }
    std::wstring GetLastErrorText() const override { return {}; }
};

// The registry of calendar windows behind the dispatch window's port.
class CRegistryWindows : public ICalendarWindows {
public:
    explicit CRegistryWindows(CalendarWndContext context) : context(context) {}

    void LoadAndCreate(const std::string& folder, platform::WindowHandle dispatch,
                       uint32_t commandMessage) override {
        dataFolder = folder;
        context.dispatchWindow = dispatch;
        context.commandMessage = commandMessage;
        registry.LoadAndCreate(folder, context);
    }
    bool SavePositions(const std::string& folder) override {
        return registry.SavePositions(folder);
    }
    void NewWindow() override { registry.NewWindow(); }
    std::unique_ptr<QObject> CloseWindow(int id) override {
        // The command arrives posted, after the window's own handler has
        // returned, so the registry may destroy the window at once.
        registry.CloseWindow(id);
        return nullptr;
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
    void RefreshBottomBars() override {
        for (const auto& wnd : registry.Windows()) {
            wnd->UpdateClock();
        }
    }
    // The hover handling of the windows hooks in here; until then the tick
    // costs one call.
    void CheckMouse() override {}
    void BringAllToFront() override {
        for (const auto& wnd : registry.Windows()) {
            wnd->raise();
        }
    }
    // The context menu and the settings dialog of the windows hook in here.
    void ShowFirstContextMenu(const QPoint&) override {}
    void OpenFirstSettings() override {}

    Model::CCalendarWndManager& Registry() { return registry; }

private:
    CalendarWndContext context;
    std::string dataFolder;
    Model::CCalendarWndManager registry;
};

}  // namespace

std::unique_ptr<IDispatchManager> MakeDispatchManager(const std::string&, const std::string&) {
    return std::make_unique<CNoManager>();
}

std::unique_ptr<ICalendarWindows> MakeCalendarWindows(IDispatchManager& manager,
                                                      Model::CConfigInfo& config,
                                                      const Model::CManiacOption& maniac,
                                                      const Model::CCalendarStyleInfo* style,
                                                      Utility::CMaintenanceLog* log) {
    CalendarWndContext context;
    context.source = manager.WindowSource();
    context.config = &config;
    context.style = style;
    context.log = log;
    context.disableTransparencyWhileMouseOver = maniac.disableTransparencyWhileMouseOver != 0;
    return std::make_unique<CRegistryWindows>(context);
}

std::function<bool(const std::string&, std::string&, int&)> MakeVersionPageFetcher(
    const Model::CConfigInfo&, const std::string&) {
    return {};
}

}  // namespace Controller
