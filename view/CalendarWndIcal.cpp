// CCalendarWnd: the context menu's iCalendar import and export.
#include <string>

#include "app/MaintenanceLog.h"
#include "platform/TextConv.h"
#include "view/CalendarWnd.h"
#include "view/CalendarWndFlags.h"
#include "view/CalendarWndHost.h"
#include "view/CalendarWndSource.h"

namespace {

// What the message box says.
std::wstring ResultText(const Controller::IcalFileResult& result, bool import,
                        const std::string& path) {
    std::string text;
    if (result.ok && import) {
        text = std::to_string(result.imported.added) + " 件の予定を追加し、" +
               std::to_string(result.imported.updated) + " 件を更新しました。\n" + path;
    } else if (result.ok) {
        text = std::to_string(result.exported.events) + " 件の予定を書き出しました。\n" + path;
    } else {
        text =
            std::string(import ? "予定を取り込めませんでした。" : "予定を書き出せませんでした。") +
            "\n" + path;
        if (result.problem.line > 0) {
            text += " の " + std::to_string(result.problem.line) + " 行目";
        }
        text += "\n" + (result.problem.message.empty() ? std::string("使えません")
                                                       : result.problem.message);
        if (import) {
            text += "\n何も取り込んでいません。";
        }
    }
    return platform::Utf8ToWide(text);
}

}  // namespace

void CCalendarWnd::ExchangeIcalendar(bool import) {
    HideIconBar();
    if (context_.host == nullptr || context_.source == nullptr) {
        return;
    }
    std::string path;
    {
        // Hover and clicks stay off while the dialogs are up.
        ScopedCalendarWndFlag open(CalendarWndFlags::detailDialogOpen);
        path = context_.host->ChooseIcalendarFile(*this, !import);
    }
    if (path.empty()) {
        return;
    }
    Log(Utility::kLogAction, import ? "<view> import icalendar" : "<view> export icalendar");
    const Controller::IcalFileResult result =
        import ? context_.source->ImportIcalendar(path) : context_.source->ExportIcalendar(path);
    {
        ScopedCalendarWndFlag open(CalendarWndFlags::detailDialogOpen);
        context_.host->ShowIcalendarResult(*this, ResultText(result, import, path), !result.ok);
    }
    if (import && result.ok) {
        UpdateEventCache();  // the manager tells every window too
    }
}
