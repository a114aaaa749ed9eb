#include "controller/qt/TrayIcon.h"

#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "controller/qt/DispatchMessages.h"

namespace Controller {

QImage DrawTrayDayImage(const QImage& baseImage, int day) {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!baseImage.isNull()) {
        painter.drawImage(QRect(0, 0, 16, 16), baseImage);
    }
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8);
    painter.setFont(font);
    painter.setPen(QColor(64, 64, 64, 255));
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString::number(day));
    return image;
}

CTrayIcon::CTrayIcon(const QString& imageFile, platform::WindowHandle owner)
    : base_(imageFile), owner_(owner) {}

CTrayIcon::~CTrayIcon() = default;

void CTrayIcon::Add(int day) {
    day_ = day;
    image_ = DrawTrayDayImage(base_, day);
    added_ = true;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    if (!icon_) {
        icon_ = std::make_unique<QSystemTrayIcon>();
        icon_->setToolTip(QStringLiteral("Daymark"));
        connect(icon_.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger) {
                        platform::PostMessage(owner_, kDispatchTrayIcon, kTrayIconId,
                                              kTrayLeftButtonDown);
                    } else if (reason == QSystemTrayIcon::Context) {
                        platform::PostMessage(owner_, kDispatchTrayIcon, kTrayIconId,
                                              kTrayRightButtonUp);
                    }
                });
    }
    icon_->setIcon(QIcon(QPixmap::fromImage(image_)));
    icon_->show();
}

void CTrayIcon::Remove() {
    added_ = false;
    icon_.reset();
}

}  // namespace Controller
