// CCalendarWndHost: the file dialogs and the message of the iCalendar import
// and export.
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "app/MaintenanceLog.h"
#include "controller/qt/CalendarWndHostImpl.h"
#include "view/CalendarWnd.h"

namespace Controller {

std::string CCalendarWndHost::ChooseIcalendarFile(CCalendarWnd&, bool forWriting) {
    const QString filter = QStringLiteral("iCalendar (*.ics *.ical *.ifb);;すべてのファイル (*)");
    QString path;
    if (forWriting) {
        path = QFileDialog::getSaveFileName(
            nullptr, QStringLiteral("予定を iCalendar ファイルに書き出す"),
            QDir::home().filePath(QStringLiteral("daymark.ics")), filter);
    } else {
        path = QFileDialog::getOpenFileName(nullptr,
                                            QStringLiteral("iCalendar ファイルから予定を取り込む"),
                                            QDir::homePath(), filter);
    }
    return path.toStdString();
}

void CCalendarWndHost::ShowIcalendarResult(CCalendarWnd&, const std::wstring& text, bool failed) {
    Log(failed ? Utility::kLogWarn : Utility::kLogInfo,
        "<host> icalendar: " + QString::fromStdWString(text).toStdString());
    QMessageBox box(failed ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("Daymark"), QString::fromStdWString(text), QMessageBox::Ok);
    box.exec();
}

}  // namespace Controller
