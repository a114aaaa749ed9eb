#include "platform/qt/LayeredWindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "platform/qt/DesktopWindow.h"

namespace platform {

QRegion RoundRectRegion(int x1, int y1, int x2, int y2, int width, int height) {
    if (x2 <= x1 || y2 <= y1) {
        return {};
    }
    const int w = x2 - x1;
    const int h = y2 - y1;
    const double rx = std::min(width, w) / 2.0;
    const double ry = std::min(height, h) / 2.0;
    if (rx < 1 || ry < 1) {
        return QRegion(x1, y1, w, h);
    }
    // Row by row: each row of a corner is inset by where the corner ellipse
    // crosses the row's middle.
    QRegion region;
    const int cornerRows = static_cast<int>(std::ceil(ry));
    for (int row = 0; row < cornerRows && row < (h + 1) / 2; ++row) {
        const double dy = ry - (row + 0.5);
        const double inside = dy <= 0 ? 0 : std::sqrt(std::max(0.0, 1 - (dy * dy) / (ry * ry)));
        const int inset = static_cast<int>(std::lround(rx - rx * inside));
        const int rowWidth = w - 2 * inset;
        if (rowWidth <= 0) {
            continue;
        }
        region += QRect(x1 + inset, y1 + row, rowWidth, 1);
        region += QRect(x1 + inset, y2 - 1 - row, rowWidth, 1);
    }
    if (h > 2 * cornerRows) {
        region += QRect(x1, y1 + cornerRows, w, h - 2 * cornerRows);
    }
    return region;
}

CLayeredWindow::CLayeredWindow(QWidget* owner)
    : CWindow(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint |
                         Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    // A desktop widget: in no taskbar, pager or window switcher, on every
    // workspace.
    MakeDesktopWidget(*this);
    ResetBackBuffer(1, 1);
}

QImage& CLayeredWindow::ResetBackBuffer(int width, int height) {
    const qreal ratio = PixelRatio();
    // Whole device pixels covering the logical size (1.5 × 5 → 8).
    const auto device = [ratio](int logical) {
        return static_cast<int>(std::ceil(std::max(logical, 1) * ratio - 1e-6));
    };
    backBuffer_ = QImage(device(width), device(height), QImage::Format_ARGB32_Premultiplied);
    backBuffer_.setDevicePixelRatio(ratio);
    backBuffer_.fill(Qt::transparent);
    return backBuffer_;
}

qreal CLayeredWindow::PixelRatio() const {
    const qreal ratio = devicePixelRatioF();
    return ratio > 0 ? ratio : 1.0;
}

bool CLayeredWindow::event(QEvent* event) {
    const bool result = CWindow::event(event);
    // Qt tells a widget that its window moved to another screen.
    if (event->type() == QEvent::ScreenChangeInternal) {
        if (!qFuzzyCompare(backBuffer_.devicePixelRatio(), PixelRatio())) {
            OnPixelRatioChanged();
        }
    }
    return result;
}

void CLayeredWindow::SetShape(const QRegion& region) {
    if (region.isEmpty()) {
        clearMask();
    } else {
        setMask(region);
    }
}

void CLayeredWindow::SetAlpha(int alpha) {
    setWindowOpacity(std::clamp(alpha, 0, 255) / 255.0);
}

int CLayeredWindow::Alpha() const {
    return static_cast<int>(std::lround(windowOpacity() * 255));
}

void CLayeredWindow::SetAcceptsFocus(bool on) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, !on);
    if (visible) {
        show();
    }
}

void CLayeredWindow::SetAlwaysAtBottom(bool on) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnBottomHint, on);
    if (visible) {
        show();
    }
}

bool CLayeredWindow::UpdateLayered() {
    if (backBuffer_.isNull() || !testAttribute(Qt::WA_TranslucentBackground)) {
        return false;
    }
    // On X11 the window needs a visual with alpha; other platforms (the
    // offscreen one among them) compose the ARGB back buffer themselves.
    const QWindow* handle = windowHandle();
    if (handle != nullptr && QGuiApplication::platformName() == QLatin1String("xcb")) {
        return handle->format().hasAlpha();
    }
    return true;
}

bool CLayeredWindow::Present() {
    bool ok = true;
    if (perPixel_ && !presentationFailed_) {
        if (!UpdateLayered()) {
            presentationFailed_ = true;
            OnPresentationFailed();
            ok = false;
        }
    }
    update();
    return ok;
}

void CLayeredWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (perPixel_ && !presentationFailed_) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, backBuffer_);
        return;
    }
    // The region mode: the back buffer copied as it is (its colours over
    // black), the shape cutting the window.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::black);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(0, 0, backBuffer_);
}

}  // namespace platform
