#include "controller/qt/TrayIcon.h"

#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

#include "controller/qt/DispatchMessages.h"

namespace Controller {

namespace {
constexpr int kTrayWatchPeriod = 5000;
}

std::function<bool()>& CTrayIcon::TrayAvailable() {
    static std::function<bool()> available = [] {
        return QSystemTrayIcon::isSystemTrayAvailable();
    };
    return available;
}

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
    CheckTray();
    if (!shown_ && !watch_) {
        watch_ = std::make_unique<QTimer>();
        connect(watch_.get(), &QTimer::timeout, this, [this] { CheckTray(); });
        watch_->start(kTrayWatchPeriod);
    }
}

void CTrayIcon::CheckTray() {
    if (!added_ || shown_ || !icon_ || !TrayAvailable()()) {
        return;
    }
    icon_->show();
    shown_ = true;
    if (watch_) {
        watch_->stop();
        watch_.release()->deleteLater();  // may be the timer calling us
    }
}

bool CTrayIcon::IsWaitingForTray() const {
    return watch_ && watch_->isActive();
}

void CTrayIcon::Remove() {
    added_ = false;
    shown_ = false;
    watch_.reset();
    icon_.reset();
}

}  // namespace Controller
