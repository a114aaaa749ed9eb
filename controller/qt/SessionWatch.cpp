#include "controller/qt/SessionWatch.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QSocketNotifier>
#include <csignal>

namespace Controller {

namespace {

// The self-pipe: the handler writes the signal number, the notifier reads it.
int g_pipe[2] = {-1, -1};
struct sigaction g_oldTerm {};
struct sigaction g_oldInt {};
struct sigaction g_oldHup {};

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

CEndSessionWatcher::CEndSessionWatcher(std::function<void(int)> onSignal)
    : onSignal_(std::move(onSignal)) {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &CEndSessionWatcher::OnReadable);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &g_oldTerm);
    ::sigaction(SIGINT, &action, &g_oldInt);
    // At logout the session's processes get SIGTERM and at once SIGHUP;
    // left at its default, SIGHUP would end the program before it saved.
    ::sigaction(SIGHUP, &action, &g_oldHup);
}

CEndSessionWatcher::~CEndSessionWatcher() {
    if (!notifier_) {
        return;
    }
    ::sigaction(SIGTERM, &g_oldTerm, nullptr);
    ::sigaction(SIGINT, &g_oldInt, nullptr);
    ::sigaction(SIGHUP, &g_oldHup, nullptr);
    notifier_.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void CEndSessionWatcher::OnReadable() {
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        if (onSignal_) {
            onSignal_(byte);
        }
    }
}

CSleepWatcher::CSleepWatcher(std::function<void(bool)> onSleep) : onSleep_(std::move(onSleep)) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return;
    }
    watching_ = bus.connect(QStringLiteral("org.freedesktop.login1"),
                            QStringLiteral("/org/freedesktop/login1"),
                            QStringLiteral("org.freedesktop.login1.Manager"),
                            QStringLiteral("PrepareForSleep"), this, SLOT(OnPrepareForSleep(bool)));
}

CSleepWatcher::~CSleepWatcher() {
    if (watching_) {
        QDBusConnection::systemBus().disconnect(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
            this, SLOT(OnPrepareForSleep(bool)));
    }
}

void CSleepWatcher::OnPrepareForSleep(bool suspending) {
    if (onSleep_) {
        onSleep_(suspending);
    }
}

}  // namespace Controller
