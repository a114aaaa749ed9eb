#include "view/NoticeWnd.h"

#include <QPainter>
#include <QPainterPath>

#include "app/StringTable.h"
#include "platform/qt/DenseImage.h"

namespace {
constexpr int kFadePeriod = 20;
}

CNoticeWnd::CNoticeWnd(QWidget* owner, const std::string& imageFile)
    : platform::CLayeredWindow(owner) {
    setObjectName(QStringLiteral("noticeWnd"));
    setWindowTitle(QString::fromWCharArray(app::LoadStringText(413)));  // the program's name
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const QImage image = platform::LoadImageForScreens(QString::fromStdString(imageFile));
    if (image.isNull()) {
        return;
    }
    // The picture inside a one-pixel frame with slightly rounded corners, so
    // that a picture with rounded corners of its own shows no square edges.
    // Made at the screen's pixel ratio: the frame is drawn sharp, the
    // picture enlarged smoothly.
    const qreal ratio = PixelRatio();
    const QSize logical = image.deviceIndependentSize().toSize();
    picture_ = QImage((QSizeF(logical) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    picture_.setDevicePixelRatio(ratio);
    picture_.fill(Qt::transparent);
    {
        QPainter painter(&picture_);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        QPainterPath frame;
        frame.addRoundedRect(QRectF(0.5, 0.5, logical.width() - 1, logical.height() - 1), 3, 3);
        painter.setClipPath(frame);
        painter.fillPath(frame, QColor(0xF4, 0xF8, 0xFF));
        painter.drawImage(0, 0, image);
        painter.setClipping(false);
        painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
        painter.drawPath(frame);
    }
    resize(logical);
    ResetBackBuffer(logical.width(), logical.height()) = picture_;
}

CNoticeWnd::~CNoticeWnd() = default;

void CNoticeWnd::ShowBeside(const QRect& calendarRect) {
    if (!Exists() || showing_) {
        return;
    }
    KillTimer(kTimerFade);
    alpha_ = 255;
    SetAlpha(alpha_);
    move(calendarRect.x() + calendarRect.width() - width() - 10,
         calendarRect.y() + calendarRect.height() - height() - 10);
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
