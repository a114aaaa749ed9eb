#include "view/NoticeWnd.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kFadePeriod = 20;
}

CNoticeWnd::CNoticeWnd(QWidget* owner, const std::string& imageFile)
    : platform::CLayeredWindow(owner) {
    setObjectName(QStringLiteral("noticeWnd"));
    setWindowTitle(QStringLiteral("noticeWnd"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const QImage image(QString::fromStdString(imageFile));
    if (image.isNull()) {
        return;
    }
    // The picture inside a one-pixel frame with slightly rounded corners, so
    // that a picture with rounded corners of its own shows no square edges.
    picture_ = QImage(image.size(), QImage::Format_ARGB32_Premultiplied);
    picture_.fill(Qt::transparent);
    {
        QPainter painter(&picture_);
        painter.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath frame;
        frame.addRoundedRect(QRectF(0.5, 0.5, image.width() - 1, image.height() - 1), 3, 3);
        painter.setClipPath(frame);
        painter.fillPath(frame, QColor(0xF4, 0xF8, 0xFF));
        painter.drawImage(0, 0, image);
        painter.setClipping(false);
        painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
        painter.drawPath(frame);
    }
    resize(picture_.size());
    ResetBackBuffer(picture_.width(), picture_.height()) = picture_;
}

CNoticeWnd::~CNoticeWnd() = default;

void CNoticeWnd::ShowBeside(const QRect& calendarRect) {
    if (!Exists() || showing_) {
        return;
    }
    KillTimer(kTimerFade);
    alpha_ = 255;
    SetAlpha(alpha_);
    move(calendarRect.x() + calendarRect.width() - picture_.width() - 10,
         calendarRect.y() + calendarRect.height() - picture_.height() - 10);
    show();
    raise();
    Present();
    showing_ = true;
}

void CNoticeWnd::StartFade() {
    if (showing_) {
        SetTimer(kTimerFade, kFadePeriod);
    }
}

bool CNoticeWnd::FadeStep() {
    if (alpha_ > kFadeStep) {
        alpha_ -= kFadeStep;
        SetAlpha(alpha_);
        return false;
    }
    KillTimer(kTimerFade);
    alpha_ = 0;
    SetAlpha(0);
    hide();
    showing_ = false;
    return true;
}

void CNoticeWnd::OnTimer(uint32_t id) {
    if (id == kTimerFade) {
        FadeStep();
    }
}
