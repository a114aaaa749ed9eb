// The operating system's session events, turned into calls on the
// user-interface thread:
// - CEndSessionWatcher: SIGTERM, SIGHUP and SIGINT (the end of the user's
//   session, or Ctrl+C), caught through a self-pipe read by a QSocketNotifier;
// - CSleepWatcher: logind's PrepareForSleep signal on the system D-Bus
//   (true before suspend, false after resume). Without a system bus it
//   watches nothing and reports no error.
//
// Created and destroyed on the user-interface thread; one CEndSessionWatcher
// per process.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace Controller {

class CEndSessionWatcher : public QObject {
    Q_OBJECT
public:
    explicit CEndSessionWatcher(std::function<void(int signal)> onSignal);
    // Restores the previous signal handlers.
    ~CEndSessionWatcher() override;
    bool IsInstalled() const { return notifier_ != nullptr; }

private:
    void OnReadable();

    std::function<void(int)> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

class CSleepWatcher : public QObject {
    Q_OBJECT
public:
    // `onSleep(true)` before suspend, `onSleep(false)` after resume.
    explicit CSleepWatcher(std::function<void(bool suspending)> onSleep);
    ~CSleepWatcher() override;
    bool IsWatching() const { return watching_; }

private slots:
    void OnPrepareForSleep(bool suspending);

private:
    std::function<void(bool)> onSleep_;
    bool watching_ = false;
};

}  // namespace Controller
