#include "controller/qt/ReminderService.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cerrno>

#include "app/MaintenanceLog.h"
#include "platform/TextConv.h"
#include "platform/Time.h"

namespace Controller {

namespace {

constexpr int64_t kLongestWaitMs = 24LL * 86400 * 1000;  // below QTimer's limit
constexpr int kNotifyTimeoutMs = 5000;

QString ToQ(const std::wstring& text) {
    return QString::fromStdWString(text);
}

}  // namespace

CReminderService::CReminderService(Setup setup)
    : setup_(std::move(setup)), schedule_(setup_.reader, setup_.firedPath) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &CReminderService::OnTimer);
    WatchClock();
}

CReminderService::~CReminderService() {
    clockNotifier_.reset();
    if (clockFd_ >= 0) {
        ::close(clockFd_);
    }
    for (const QPointer<QWidget>& notice : notices_) {
        delete notice.data();
    }
}

void CReminderService::Rearm() {
    const int64_t now = platform::NowSeconds();
    CReminderSchedule::Plan plan = schedule_.Check(now);
    if (!plan.due.empty()) {
        schedule_.MarkFired(plan.due, now);
        if (plan.due.size() > kMaxSingleReminders) {
            Log("<remind> summary of " + std::to_string(plan.due.size()));
            Show(FormatReminderSummary(plan.due));
        } else {
            for (const DueReminder& d : plan.due) {
                Show(FormatReminder(d.event));
            }
        }
    }
    wakeAt_ = plan.wakeAt;
    const int64_t waitMs =
        std::clamp<int64_t>((wakeAt_ - platform::NowSeconds()) * 1000, 0, kLongestWaitMs);
    timer_.start(static_cast<int>(waitMs));
    Log("<remind> next " + platform::CTime(wakeAt_).Format("%Y/%m/%d %H:%M"));
}

void CReminderService::OnTimer() {
    // The timer runs on a clock that stops while the computer sleeps and may
    // come early by a fraction of a second: look at the wall clock.
    if (platform::NowSeconds() < wakeAt_) {
        const int64_t waitMs =
            std::clamp<int64_t>((wakeAt_ - platform::NowSeconds()) * 1000, 0, kLongestWaitMs);
        timer_.start(static_cast<int>(std::max<int64_t>(waitMs, 1)));
        return;
    }
    Rearm();
}

void CReminderService::WatchClock() {
    clockFd_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (clockFd_ < 0) {
        return;
    }
    // An absolute time far away that the kernel cancels when the clock is set.
    itimerspec when{};
    when.it_value.tv_sec = 0x7FFFFFFF;
    if (::timerfd_settime(clockFd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr) !=
        0) {
        ::close(clockFd_);
        clockFd_ = -1;
        return;
    }
    clockNotifier_ = std::make_unique<QSocketNotifier>(clockFd_, QSocketNotifier::Read);
    connect(clockNotifier_.get(), &QSocketNotifier::activated, this,
            &CReminderService::OnClockChanged);
}

void CReminderService::OnClockChanged() {
    uint64_t expirations = 0;
    const ssize_t n = ::read(clockFd_, &expirations, sizeof expirations);
    if (n < 0 && errno == ECANCELED) {
        itimerspec when{};
        when.it_value.tv_sec = 0x7FFFFFFF;
        ::timerfd_settime(clockFd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr);
        Log("<remind> clock changed");
        Rearm();
    }
}

void CReminderService::Show(const ReminderText& text) {
    Log("<remind> notify " + platform::WideToUtf8(text.summary));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        ShowNotice(text);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        setup_.busService, QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Daymark") << 0u << QStringLiteral("x-office-calendar")
         << ToQ(text.summary) << ToQ(text.body) << QStringList() << QVariantMap()
         << static_cast<int32_t>(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kNotifyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, text](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (w->isError()) {
                    Log("<remind> no notification service: " + w->error().message().toStdString());
                    ShowNotice(text);
                }
            });
}

void CReminderService::ShowNotice(const ReminderText& text) {
    auto* notice = new QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
    notice->setObjectName(QStringLiteral("ReminderNotice"));
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setWindowTitle(QStringLiteral("Daymark リマインダー"));
    auto* layout = new QVBoxLayout(notice);
    auto* summary = new QLabel(ToQ(text.summary), notice);
    summary->setObjectName(QStringLiteral("summary"));
    QFont bold = summary->font();
    bold.setBold(true);
    summary->setFont(bold);
    auto* body = new QLabel(ToQ(text.body), notice);
    body->setObjectName(QStringLiteral("body"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), notice);
    connect(close, &QPushButton::clicked, notice, &QWidget::close);
    layout->addWidget(summary);
    layout->addWidget(body);
    layout->addWidget(close, 0, Qt::AlignRight);
    notice->adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const int stack =
            static_cast<int>(std::count_if(notices_.begin(), notices_.end(),
                                           [](const QPointer<QWidget>& w) { return !w.isNull(); }));
        notice->move(area.right() - notice->width() - 16,
                     area.bottom() - (notice->height() + 8) * (stack + 1) - 8);
    }
    notice->show();
    notices_.erase(std::remove_if(notices_.begin(), notices_.end(),
                                  [](const QPointer<QWidget>& w) { return w.isNull(); }),
                   notices_.end());
    notices_.push_back(notice);
}

void CReminderService::Log(const std::string& text) const {
    if (setup_.log) {
        setup_.log->Write(Utility::kLogInfo, text);
    }
}

}  // namespace Controller
