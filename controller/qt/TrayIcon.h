// Controller::CTrayIcon: the notification-area icon that shows today's day
// of the month drawn over "smallIcon.png". Clicks are posted to the owner
// window as kDispatchTrayIcon with the icon id and the mouse message. Where
// the desktop has no notification area yet (a panel that starts after the
// program) the icon is kept and shown as soon as one appears.
//
// User-interface thread only.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "platform/WindowMessages.h"

class QSystemTrayIcon;
class QTimer;

namespace Controller {

// The 16 x 16 ARGB image of the icon: `baseImage` (absent when the file is
// missing) with `day` ("%d") centred over it in dark grey.
QImage DrawTrayDayImage(const QImage& baseImage, int day);

class CTrayIcon : public QObject {
    Q_OBJECT
public:
    // `imageFile` is the path of "smallIcon.png".
    CTrayIcon(const QString& imageFile, platform::WindowHandle owner);
    ~CTrayIcon() override;

    // Adds the icon, or replaces its image, with `day`.
    void Add(int day);
    void Remove();

    // Shows the added icon if a notification area has appeared meanwhile
    // (a timer asks every few seconds while none is there).
    void CheckTray();

    bool IsAdded() const { return added_; }
    // The icon is in a notification area.
    bool IsShown() const { return shown_; }
    bool IsWaitingForTray() const;

    // Whether the desktop has a notification area (tests replace it).
    static std::function<bool()>& TrayAvailable();
    int Day() const { return day_; }
    const QImage& Image() const { return image_; }

private:
    QImage base_;
    QImage image_;
    platform::WindowHandle owner_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::unique_ptr<QTimer> watch_;  // runs while the icon waits for a tray
    bool added_ = false;
    bool shown_ = false;
    int day_ = 0;
};

}  // namespace Controller
