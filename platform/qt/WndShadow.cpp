#include "platform/qt/WndShadow.h"

#include <QEvent>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/qt/DesktopWindow.h"

namespace Utility {
namespace {

// The window that shows the shadow image. The window manager never sees it
// (no frame, no taskbar entry, no focus) and clicks go through it.
class ShadowWindow : public QWidget {
public:
    explicit ShadowWindow(const QImage* image)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                               Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint |
                               Qt::X11BypassWindowManagerHint),
          image_(image) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setObjectName(QStringLiteral("UmbraShadowWnd"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, *image_);
    }

private:
    const QImage* image_;
};

// One pass of a running-sum box blur along rows (horizontal) or columns.
void BoxBlur(std::vector<float>& a, int w, int h, int radius, bool horizontal) {
    if (radius <= 0) {
        return;
    }
    const int n = horizontal ? w : h;
    const int lines = horizontal ? h : w;
    std::vector<float> line(n);
    const float scale = 1.0f / (2 * radius + 1);
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> float& { return horizontal ? a[l * w + i] : a[i * w + l]; };
        for (int i = 0; i < n; ++i) {
            line[i] = at(i);
        }
        float sum = 0;
        for (int i = -radius; i <= radius; ++i) {
            sum += (i >= 0 && i < n) ? line[i] : 0;
        }
        for (int i = 0; i < n; ++i) {
            at(i) = sum * scale;
            const int out = i - radius;
            const int in = i + radius + 1;
            sum += (in < n ? line[in] : 0) - (out >= 0 ? line[out] : 0);
        }
    }
}

}  // namespace

CWndShadow::CWndShadow() = default;

CWndShadow::~CWndShadow() {
    if (window_) {
        platform::StopKeepingBelow(*window_);
    }
    if (parent_) {
        parent_->removeEventFilter(this);
    }
}

int CWndShadow::Margin() const {
    return std::max<int>({size_, sharpness_, 0});
}

QImage CWndShadow::Compute(const QSize& size, const QRegion& mask, int margin, int darkness,
                           int sharpness, int grow, QColor color) {
    const int w = size.width() + 2 * margin;
    const int h = size.height() + 2 * margin;
    QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (size.isEmpty()) {
        return image;
    }
    // The shape: for every row of the parent, the span from its leftmost to
    // its rightmost pixel inside the shape, grown (or shrunk) by `grow`.
    std::vector<float> alpha(static_cast<size_t>(w) * h, 0.0f);
    const QRegion shape = mask.isEmpty() ? QRegion(QRect(QPoint(0, 0), size)) : mask;
    for (int y = 0; y < size.height(); ++y) {
        const QRegion row = shape.intersected(QRect(0, y, size.width(), 1));
        if (row.isEmpty()) {
            continue;
        }
        const QRect span = row.boundingRect();
        const int left = std::max(span.left() - grow, -margin);
        const int right = std::min(span.right() + grow, size.width() - 1 + margin);
        for (int yy = std::max(y - grow, -margin);
             yy <= std::min(y + grow, size.height() - 1 + margin); ++yy) {
            for (int x = left; x <= right; ++x) {
                alpha[(yy + margin) * w + (x + margin)] = 1.0f;
            }
        }
    }
    // A smooth fall-off: two box blurs of half the sharpness each way
    // approximate a Gaussian edge that fades out over `sharpness` pixels.
    const int radius = std::max(sharpness / 2, 0);
    for (int pass = 0; pass < 2; ++pass) {
        BoxBlur(alpha, w, h, radius, true);
        BoxBlur(alpha, w, h, radius, false);
    }
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a = std::clamp(static_cast<int>(alpha[y * w + x] * darkness + 0.5f), 0, 255);
            line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), a));
        }
    }
    return image;
}

void CWndShadow::Create(QWidget* parent) {
    std::lock_guard lock(mutex_);
    if (created_ || parent == nullptr) {
        return;
    }
    parent_ = parent;
    window_ = std::make_unique<ShadowWindow>(&image_);
    status_ = kEnabled;
    if (parent->isVisible() && !parent->isMaximized() && !parent->isMinimized()) {
        status_ |= kVisible | kParentVisible;
    }
    parent->installEventFilter(this);
    created_ = true;
}

bool CWndShadow::SetPosition(int x, int y) {
    std::lock_guard lock(mutex_);
    if (x < -20 || x > 20 || y < -20 || y > 20) {
        return false;
    }
    if (x != xOffset_ || y != yOffset_) {
        xOffset_ = static_cast<int8_t>(x);
        yOffset_ = static_cast<int8_t>(y);
        if (window_ && window_->isVisible()) {
            Place();
        }
    }
    return true;
}

void CWndShadow::Show(bool show) {
    std::lock_guard lock(mutex_);
    if (!window_) {
        return;
    }
    if (show) {
        status_ |= kVisible;
        if (!parent_ || !parent_->isVisible()) {
            return;  // shown with the parent
        }
        if (image_.isNull() || updatePending_) {
            Update();
        }
        ShowWindow();
    } else {
        status_ &= ~kVisible;
        window_->hide();
    }
}

void CWndShadow::Update() {
    std::lock_guard lock(mutex_);
    if (!window_ || !parent_) {
        return;
    }
    const QSize size = parent_->size();
    // At the parent's pixel ratio: the fall-off spans the same logical
    // distance in more device pixels.
    const qreal ratio = parent_->devicePixelRatioF() > 0 ? parent_->devicePixelRatioF() : 1.0;
    if (qFuzzyCompare(ratio, 1.0)) {
        image_ = Compute(size, parent_->mask(), Margin(), darkness_, sharpness_, size_, color_);
    } else {
        const auto scaled = [ratio](int v) { return static_cast<int>(std::lround(v * ratio)); };
        const int margin = scaled(Margin());
        image_ = Compute(QSize(scaled(size.width()), scaled(size.height())),
                         QTransform::fromScale(ratio, ratio).map(parent_->mask()), margin,
                         darkness_, scaled(sharpness_), scaled(size_), color_);
        // Whole device pixels for the logical margin and size.
        image_ =
            image_.copy(0, 0, static_cast<int>(std::ceil((size.width() + 2 * Margin()) * ratio)),
                        static_cast<int>(std::ceil((size.height() + 2 * Margin()) * ratio)));
        image_.setDevicePixelRatio(ratio);
    }
    lastParentSize_ = size;
    updatePending_ = false;
    Place();
    window_->update();
}

void CWndShadow::ShowWindow() {
    if (!window_ || !parent_) {
        return;
    }
    // The shadow lives in its parent's layer: a shadow of a window kept at
    // the bottom must not float over the other programs' windows.
    const bool bottom = parent_->windowFlags().testFlag(Qt::WindowStaysOnBottomHint);
    if (window_->windowFlags().testFlag(Qt::WindowStaysOnBottomHint) != bottom) {
        window_->setWindowFlag(Qt::WindowStaysOnBottomHint, bottom);
    }
    Place();
    if (!window_->isVisible()) {
        window_->show();
        // A window shown later is stacked on top: the shadow, dark over the
        // whole shape, would cover its parent. On X11 the shadow goes
        // directly below its parent and is kept there; elsewhere the parent
        // goes back above it.
        if (platform::IsX11()) {
            platform::KeepDirectlyBelow(*window_, *parent_);
        } else {
            parent_->raise();
        }
    }
}

void CWndShadow::Place() {
    if (!window_ || !parent_) {
        return;
    }
    const int margin = Margin();
    const QPoint at = parent_->pos() + QPoint(xOffset_ - margin, yOffset_ - margin);
    window_->setGeometry(QRect(at, image_.deviceIndependentSize().toSize()));
}

bool CWndShadow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != parent_) {
        return false;
    }
    std::lock_guard lock(mutex_);
    switch (event->type()) {
        case QEvent::Move:
            Place();
            break;
        case QEvent::Resize: {
            if (parent_->isMaximized() || parent_->isMinimized()) {
                window_->hide();
                break;
            }
            const QSize size = parent_->size();
            if (size.width() > lastParentSize_.width() ||
                size.height() > lastParentSize_.height()) {
                Update();
            } else {
                lastParentSize_ = size;
                updatePending_ = true;
            }
            break;
        }
        case QEvent::Show:
            status_ |= kParentVisible;
            if (status_ & kVisible) {
                ShowWindow();
            }
            break;
        case QEvent::Hide:
            status_ &= ~kParentVisible;
            window_->hide();
            break;
        case QEvent::ScreenChangeInternal:
            // Another screen, maybe another pixel ratio.
            if (window_->isVisible()) {
                Update();
            } else {
                updatePending_ = true;
            }
            break;
        case QEvent::Paint:
        case QEvent::UpdateRequest:
            if (updatePending_) {
                Update();
            }
            break;
        case QEvent::Destroy:
            window_->hide();
            parent_ = nullptr;
            break;
        default:
            break;
    }
    return false;
}

}  // namespace Utility
