// Utility::CWndShadow: the soft drop shadow that follows a window. It is a
// second translucent, click-through frameless window that shows a shadow
// image computed from its parent's shape (its mask, or its whole rectangle),
// placed at the parent's position plus the offsets. It follows the parent's
// moves, hides and shows with it, and is recomputed when the parent grows,
// when its offsets change, or on Update().
//
// Owned by the window it shadows; user-interface thread. The mutex guards
// the shadow state against a recomputation entered again from a nested event
// loop.
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <mutex>

namespace Utility {

class CWndShadow : public QObject {
    Q_OBJECT
public:
    // Status bits.
    enum : uint32_t { kEnabled = 1, kVisible = 2, kParentVisible = 4, kDisabled = 8 };

    CWndShadow();
    ~CWndShadow() override;

    // Makes the shadow window for `parent`; creating twice does nothing.
    void Create(QWidget* parent);
    bool IsCreated() const { return created_; }

    // Offsets, each within -20 to 20; outside that range the call is refused
    // (false) and the shadow keeps its position.
    bool SetPosition(int x, int y);
    void Show(bool show);
    // Recomputes the shadow image from the parent's shape and places it.
    void Update();

    int OffsetX() const { return xOffset_; }
    int OffsetY() const { return yOffset_; }
    uint32_t Status() const { return status_; }
    // The shadow window (null before Create) and its image, for inspection.
    QWidget* Window() const { return window_.get(); }
    const QImage& Image() const { return image_; }

    // The shadow image of a shape of `size` (mask may be empty: the whole
    // rectangle): `margin` pixels wider on every side, alpha falling from
    // `darkness` inside the shape to 0 over `sharpness` pixels, premultiplied
    // `color`.
    static QImage Compute(const QSize& size, const QRegion& mask, int margin, int darkness,
                          int sharpness, int grow, QColor color);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();
    // Shows the shadow window in its parent's layer, below the parent.
    void ShowWindow();
    int Margin() const;

    QPointer<QWidget> parent_;
    std::unique_ptr<QWidget> window_;
    QImage image_;
    uint32_t status_ = 0;
    uint8_t darkness_ = 150;
    uint8_t sharpness_ = 5;
    int8_t size_ = 0;
    int8_t xOffset_ = 5;
    int8_t yOffset_ = 5;
    QColor color_ = Qt::black;
    QSize lastParentSize_;
    bool updatePending_ = false;
    bool created_ = false;
    std::recursive_mutex mutex_;  // guards the shadow state
};

}  // namespace Utility
