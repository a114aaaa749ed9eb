#include "view/FunctionWnd.h"

#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "app/MaintenanceLog.h"
#include "app/StringTable.h"

namespace {

struct ButtonSpec {
    const wchar_t* normal;
    const wchar_t* hover;
    const char16_t* tip;
};

// In draw-list order; index = code - 1.
constexpr ButtonSpec kButtons[CFunctionWnd::kButtonCount] = {
    {L"prev.png", L"prevSelect.png", u"前の月を表示"},
    {L"today.png", L"todaySelect.png", u"今月を表示"},
    {L"next.png", L"nextSelect.png", u"次の月を表示"},
    {L"31.png", L"31Select.png", u"Googleカレンダを開く"},
    {L"sync.png", L"syncSelect.png", u"Googleカレンダと同期する"},
    {L"unlock.png", L"unlockSelect.png", u"ウィンドウ位置を固定する"},
    {L"menu.png", L"menuSelect.png", u"メニューを開く"},
};

constexpr int kTooltipDelay = 600;
constexpr int kRecapturePeriod = 100;
constexpr int kFadeStep = 64;

std::wstring Path(const std::string& folder, const wchar_t* name) {
    return std::wstring(folder.begin(), folder.end()) + name;
}

}  // namespace

CFunctionWnd::CFunctionWnd(QWidget* owner, platform::WindowHandle ownerHandle,
                           uint32_t ownerMessage, const Options& options,
                           Utility::CMaintenanceLog* log)
    : platform::CLayeredWindow(owner),
      ownerHandle_(ownerHandle),
      ownerMessage_(ownerMessage),
      options_(options),
      log_(log),
      size_(BarSize(options.vertical, options.localMode)) {
    setObjectName(QStringLiteral("functionWnd"));
    setWindowTitle(QString::fromWCharArray(app::LoadStringText(413)));  // the program's name
    setMouseTracking(true);
    resize(size_);
    LayoutButtons();
    SetLock(options_.locked);
    SetShape(platform::RoundRectRegion(0, 0, size_.width() + 1, size_.height() + 1, 6, 6));
    ApplyAlpha(kCreatedAlpha);
}

CFunctionWnd::~CFunctionWnd() {
    CloseTooltip();
}

QSize CFunctionWnd::BarSize(bool vertical, bool localMode) {
    if (vertical) {
        return QSize(28, localMode ? 119 : 165);
    }
    return QSize(localMode ? 124 : 172, 28);
}

QString CFunctionWnd::Tooltip(uint32_t code) {
    if (code < 1 || code > kButtonCount) {
        return {};
    }
    return QString::fromUtf16(kButtons[code - 1].tip);
}

void CFunctionWnd::LayoutButtons() {
    // Button order on the bar: previous, next, this month, web, sync, lock,
    // menu (this month sits between its neighbours' arrows only in the draw
    // list).
    static constexpr uint32_t kSlotOrder[kButtonCount] = {kPrev, kNext, kToday, kWeb,
                                                          kSync, kLock, kMenu};
    int slot = 0;
    for (uint32_t code : kSlotOrder) {
        Draw::CDrawIconButtonItem& b = buttons_[code - 1];
        b.backgroundFillOn = 1;
        b.backgroundColor = 0xFFFFFFFF;
        b.clickable = 1;
        b.wParam = code;
        if (options_.localMode && (code == kWeb || code == kSync)) {
            b.SetRect(0, 0, 0, 0);
            b.clickable = 0;
            b.visible = 0;
            continue;
        }
        if (options_.vertical) {
            b.SetRect(2, 2 + slot * kButtonHeight, kButtonWidth, kButtonHeight);
        } else {
            b.SetRect(2 + slot * kButtonWidth, 2, kButtonWidth, kButtonHeight);
        }
        ++slot;
        b.LoadImages(Path(options_.imageFolder, kButtons[code - 1].normal),
                     Path(options_.imageFolder, kButtons[code - 1].hover));
    }
}

void CFunctionWnd::SetLock(bool locked) {
    options_.locked = locked;
    Draw::CDrawIconButtonItem& lock = buttons_[kLock - 1];
    lock.LoadImages(Path(options_.imageFolder, locked ? L"lock.png" : L"unlock.png"),
                    Path(options_.imageFolder, locked ? L"lockSelect.png" : L"unlockSelect.png"));
    Paint();
}

void CFunctionWnd::Paint() {
    QImage& buffer = ResetBackBuffer(size_.width(), size_.height());
    QPainter painter(&buffer);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath path;
    path.addRoundedRect(QRectF(0.5, 0.5, size_.width() - 1, size_.height() - 1), 3, 3);
    painter.fillPath(path, QColor(255, 255, 255));
    painter.setPen(QPen(QColor(0xC0, 0xC0, 0xC0), 1));
    painter.drawPath(path);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (Draw::CDrawIconButtonItem& b : buttons_) {
        b.Draw(painter, false);
    }
    painter.end();
    Present();
}

void CFunctionWnd::ApplyAlpha(int alpha) {
    alpha_ = alpha;
    SetAlpha(alpha);
    if (QWidget* shadow = shadow_.Window()) {
        shadow->setWindowOpacity(alpha / 255.0);
    }
}

void CFunctionWnd::Show(int x, int y) {
    rect_ = QRect(x, y, size_.width(), size_.height());
    if (log_ != nullptr) {
        log_->Write(Utility::kLogInfo, "show func wnd", x, y);
    }
    ApplyAlpha(255);
    setGeometry(rect_);
    show();
    raise();
    showing_ = true;
    if (!shadow_.IsCreated()) {
        shadow_.Create(this);
    }
    shadow_.SetPosition(4, 4);
    shadow_.Show(true);
    Paint();
    SetTimer(kTimerRecapture, kRecapturePeriod);
}

void CFunctionWnd::RaiseOverOwner() {
    if (!showing_) {
        return;
    }
    if (QWidget* shadow = shadow_.Window()) {
        shadow->raise();
    }
    raise();
    if (balloon_ && balloon_->isVisible()) {
        balloon_->raise();
    }
}

bool CFunctionWnd::FadeStep() {
    if (alpha_ > kFadeStep) {
        ApplyAlpha(alpha_ - kFadeStep);
        KillTimer(kTimerRecapture);
        return false;
    }
    Hide();
    return true;
}

void CFunctionWnd::Hide() {
    KillTimer(kTimerRecapture);
    KillTimer(kTimerTooltip);
    CloseTooltip();
    if (showing_) {
        SetHovered(-1);
        hide();
    }
    showing_ = false;
}

bool CFunctionWnd::Contains(const QPoint& screenPos) const {
    return showing_ && rect_.contains(screenPos);
}

bool CFunctionWnd::ContainsCursor() const {
    return Contains(QCursor::pos());
}

uint32_t CFunctionWnd::HoveredCode() const {
    return hovered_ < 0 ? 0 : static_cast<uint32_t>(hovered_ + 1);
}

void CFunctionWnd::SetHovered(int index) {
    if (index == hovered_) {
        return;
    }
    if (hovered_ >= 0) {
        buttons_[hovered_].hover = 0;
    }
    hovered_ = index;
    if (hovered_ >= 0) {
        buttons_[hovered_].hover = 1;
    }
    Paint();
}

void CFunctionWnd::OnMouseMove(const QPoint& screenPos) {
    if (!Contains(screenPos)) {
        CloseTooltip();
        SetHovered(-1);
        return;
    }
    const QPoint local = screenPos - rect_.topLeft();
    int hit = -1;
    for (int i = 0; i < kButtonCount; ++i) {
        if (buttons_[i].clickable && buttons_[i].visible &&
            buttons_[i].HitTest(local.x(), local.y())) {
            hit = i;
            break;
        }
    }
    if (hit != hovered_) {
        CloseTooltip();
        SetHovered(hit);
        if (hit >= 0) {
            SetTimer(kTimerTooltip, kTooltipDelay);
        }
    }
    if (alpha_ < 255) {
        ApplyAlpha(255);
        SetTimer(kTimerRecapture, kRecapturePeriod);
    }
}

void CFunctionWnd::OnLeftUp(const QPoint& screenPos) {
    OnMouseMove(screenPos);
    if (hovered_ < 0) {
        return;
    }
    const uint32_t code = HoveredCode();
    if (code == kMenu) {
        KillTimer(kTimerRecapture);  // the bar stays while the menu is open
    }
    CloseTooltip();
    platform::PostMessage(ownerHandle_, ownerMessage_, code, 0);
}

void CFunctionWnd::OnTimer(uint32_t id) {
    if (id == kTimerTooltip) {
        KillTimer(kTimerTooltip);
        OpenTooltip();
    } else if (id == kTimerRecapture) {
        // The mouse may have left without a move over the bar.
        if (!ContainsCursor()) {
            CloseTooltip();
            SetHovered(-1);
        }
    }
}

void CFunctionWnd::OpenTooltip() {
    if (!showing_ || hovered_ < 0) {
        return;
    }
    if (!balloon_) {
        balloon_ = std::make_unique<QLabel>(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
        balloon_->setObjectName(QStringLiteral("functionWndTip"));
        balloon_->setStyleSheet(QStringLiteral(
            "QLabel { background: #ffffe1; color: #000000; border: 1px solid #808080;"
            " padding: 2px 4px; }"));
        balloon_->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    const Draw::CDrawIconButtonItem& b = buttons_[hovered_];
    balloon_->setText(Tooltip(HoveredCode()));
    balloon_->adjustSize();
    balloon_->move(rect_.x() + b.x + 5, rect_.y() + b.y + b.height + 5);
    balloon_->show();
    balloon_->raise();
}

void CFunctionWnd::CloseTooltip() {
    KillTimer(kTimerTooltip);
    if (balloon_) {
        balloon_->hide();
    }
}

bool CFunctionWnd::TooltipShown() const {
    return balloon_ && balloon_->isVisible();
}

void CFunctionWnd::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->globalPosition().toPoint());
}

void CFunctionWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLeftUp(event->globalPosition().toPoint());
    }
}

void CFunctionWnd::leaveEvent(QEvent*) {
    CloseTooltip();
    SetHovered(-1);
}
