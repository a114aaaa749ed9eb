// Controller::CReminderService: shows the event reminders on the desktop.
// It owns the reminder schedule (controller/ReminderSchedule.h), one
// single-shot timer set to the next reminder time, and a watch on the
// system clock; a due reminder goes to the desktop's notification service
// (org.freedesktop.Notifications on the session bus) or, when none answers,
// to a small notice window of Daymark's own. More than three due at once
// come as one summary.
//
// Nothing runs between two reminders: the timer is set again after each
// check, and Rearm() is called after event changes, a resume and a change
// of the system clock (seen through a timerfd that the kernel cancels when
// the clock is set).
//
// Created, driven and destroyed on the user-interface thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "controller/ReminderSchedule.h"

class QSocketNotifier;
class QWidget;
namespace Utility {
class CMaintenanceLog;
}

namespace Controller {

class CReminderService : public QObject {
    Q_OBJECT
public:
    struct Setup {
        ReminderEventReader reader;
        std::string firedPath;
        Utility::CMaintenanceLog* log = nullptr;  // may be null
        // The notification service's bus name (tests may name a missing one).
        QString busService = QStringLiteral("org.freedesktop.Notifications");
    };

    explicit CReminderService(Setup setup);
    ~CReminderService() override;

    // Shows what is due now (reminders missed while Daymark was not running
    // or the computer slept) and sets the timer for the next one.
    void Rearm();

    // State the tests look at.
    int64_t WakeAt() const { return wakeAt_; }
    bool TimerActive() const { return timer_.isActive(); }
    std::vector<QPointer<QWidget>> Notices() const { return notices_; }

private:
    void OnTimer();
    void OnClockChanged();
    void WatchClock();
    void Show(const ReminderText& text);
    void ShowNotice(const ReminderText& text);
    void Log(const std::string& text) const;

    Setup setup_;
    CReminderSchedule schedule_;
    QTimer timer_;
    int64_t wakeAt_ = 0;
    int clockFd_ = -1;
    std::unique_ptr<QSocketNotifier> clockNotifier_;
    std::vector<QPointer<QWidget>> notices_;
};

}  // namespace Controller
