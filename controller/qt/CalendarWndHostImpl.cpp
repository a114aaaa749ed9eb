// CCalendarWndHost: construction, web pages and what the dialog families
// share.
#include "controller/qt/CalendarWndHostImpl.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "controller/qt/DispatchMessages.h"
#include "controller/qt/DispatchPorts.h"
#include "platform/TextConv.h"

namespace Controller {

CCalendarWndHost::CCalendarWndHost(Setup setup) : setup_(std::move(setup)) {}

CCalendarWndHost::~CCalendarWndHost() = default;

void CCalendarWndHost::SetDispatch(platform::WindowHandle window, uint32_t commandMessage,
                                   const std::string& dataFolder) {
    setup_.dispatchWindow = window;
    setup_.commandMessage = commandMessage;
    setup_.dataFolder = dataFolder;
}

void CCalendarWndHost::Log(const char* level, const std::string& text) const {
    if (setup_.log != nullptr) {
        setup_.log->Write(level, text);
    }
}

void CCalendarWndHost::OpenUrl(const std::string& url) {
    if (url.empty()) {
        return;
    }
    if (!QDesktopServices::openUrl(QUrl(QString::fromStdString(url)))) {
        Log(Utility::kLogError, "<view> cannot open " + url);
    }
}

std::string CCalendarWndHost::ProductSite() const {
    if (setup_.config == nullptr) {
        return {};
    }
    const QUrl page(QString::fromStdWString(setup_.config->GetVersionCheckUrl()));
    if (!page.isValid() || page.host().isEmpty()) {
        return {};
    }
    return page.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
        .toString()
        .toStdString();
}

void CCalendarWndHost::OpenHelp() {
    const std::string site = ProductSite();
    if (site.empty()) {
        Log(Utility::kLogInfo, "<view> no product site for the manual");
        return;
    }
    OpenUrl(site + "/manual.html");
}

void CCalendarWndHost::UpdateAllCaches() {
    if (setup_.windows != nullptr) {
        setup_.windows->UpdateAllCaches();
    }
}

void CCalendarWndHost::RedrawAll() {
    if (setup_.windows != nullptr) {
        setup_.windows->UpdateAll(0);
    }
}

void CCalendarWndHost::RebuildIconBars() {
    if (setup_.windows != nullptr) {
        setup_.windows->RebuildIconBars();
    }
}

void CCalendarWndHost::RequestWizard(uint32_t kind) {
    platform::PostMessage(setup_.dispatchWindow, kDispatchWizardRequest, kind);
}

}  // namespace Controller
