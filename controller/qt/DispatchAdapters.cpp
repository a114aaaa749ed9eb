#include "controller/qt/DispatchAdapters.h"

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

// Until the calendar windows are linked in: a registry without windows.
class CNoWindows : public ICalendarWindows {
public:
    void LoadAndCreate(const std::string&, platform::WindowHandle, uint32_t) override {}
    bool SavePositions(const std::string&) override { return true; }
    void NewWindow() override {}
    std::unique_ptr<QObject> CloseWindow(int) override { return nullptr; }
    void AlignWindows() override {}
    void ShowCurrentMonths() override {}
    void RefreshAll() override {}
    void DateChanged() override {}
    void ForwardEventUpdate() override {}
    void RebuildIconBars() override {}
    void DumpWindows(bool) override {}
    int Count() const override { return 0; }
    void UpdateAll(int) override {}
    void UpdateAllCaches() override {}
    void RefreshBottomBars() override {}
    void CheckMouse() override {}
    void BringAllToFront() override {}
    void ShowFirstContextMenu(const QPoint&) override {}
    void OpenFirstSettings() override {}
};

}  // namespace

std::unique_ptr<IDispatchManager> MakeDispatchManager(const std::string&, const std::string&) {
    return std::make_unique<CNoManager>();
}

std::unique_ptr<ICalendarWindows> MakeCalendarWindows(IDispatchManager&, Model::CConfigInfo&,
                                                      const Model::CManiacOption&,
                                                      Utility::CMaintenanceLog*) {
    return std::make_unique<CNoWindows>();
}

std::function<bool(const std::string&, std::string&, int&)> MakeVersionPageFetcher(
    const Model::CConfigInfo&, const std::string&) {
    return {};
}

}  // namespace Controller
