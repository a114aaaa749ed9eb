// Controller::CTrayIcon: the notification-area icon that shows today's day
// of the month drawn over "smallIcon.png". Clicks are posted to the owner
// window as kDispatchTrayIcon with the icon id and the mouse message. Where
// the desktop has no notification area the icon is kept but not shown.
//
// User-interface thread only.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <memory>

#include "platform/WindowMessages.h"

class QSystemTrayIcon;

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

    bool IsAdded() const { return added_; }
    int Day() const { return day_; }
    const QImage& Image() const { return image_; }

private:
    QImage base_;
    QImage image_;
    platform::WindowHandle owner_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    bool added_ = false;
    int day_ = 0;
};

}  // namespace Controller
