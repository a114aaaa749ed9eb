#include "view/NoticeWnd.h"

#include <QPainter>

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
    picture_ = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&picture_);
        painter.setPen(QColor(0x80, 0x80, 0x80));
        painter.drawRect(0, 0, picture_.width() - 1, picture_.height() - 1);
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
