// platform::CLayeredWindow: a frameless top-level window that shows an
// ARGB32-premultiplied back buffer. Two ways of presenting it:
//  - per-pixel: the window is translucent and every pixel's alpha shows;
//  - region: the back buffer is copied opaque and the window is cut to its
//    shape (the mask); used when per-pixel presentation is off or failed.
// The shape (a region, usually a rounded rectangle), the whole-window alpha,
// the "always at the bottom" flag and the back buffer are set by the owner.
// On the desktop it is a desktop widget (platform/qt/DesktopWindow.h: no
// taskbar or pager entry, every workspace) that never takes the keyboard
// focus: neither when it is shown nor when it is clicked. A window with a
// text field turns that off with SetAcceptsFocus(true).
// User-interface thread only.
#pragma once

#include <QImage>
#include <QRegion>

#include "platform/qt/Window.h"

namespace platform {

// The region of a rounded rectangle from (x1, y1) to (x2, y2), right and
// bottom edges excluded, with corner ellipses of width × height: the pixels a
// window cut to that shape keeps.
QRegion RoundRectRegion(int x1, int y1, int x2, int y2, int width, int height);

class CLayeredWindow : public CWindow {
    Q_OBJECT
public:
    explicit CLayeredWindow(QWidget* owner = nullptr);

    // A fresh, fully transparent back buffer of the given logical size (at
    // least 1 × 1), made at the window's device pixel ratio: a painter on it
    // works in logical pixels and draws text, paths and images at the
    // screen's resolution. Geometry, layout and hit testing stay logical.
    QImage& ResetBackBuffer(int width, int height);
    QImage& BackBuffer() { return backBuffer_; }
    const QImage& BackBuffer() const { return backBuffer_; }

    // The window's shape; an empty region removes the shape.
    void SetShape(const QRegion& region);
    QRegion Shape() const { return mask(); }

    // Whole-window alpha, 0-255.
    void SetAlpha(int alpha);
    int Alpha() const;

    void SetAlwaysAtBottom(bool on);

    // Whether the window may take the keyboard focus (off by default; on
    // for a window that has text fields to type in).
    void SetAcceptsFocus(bool on);
    bool AcceptsFocus() const { return !windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus); }

    // Per-pixel presentation (on by default).
    void SetPerPixel(bool on) { perPixel_ = on; }
    bool IsPerPixel() const { return perPixel_; }
    // A per-pixel update failed once; the window now presents through its
    // region for good.
    bool PresentationFailed() const { return presentationFailed_; }

    // The device pixel ratio the window paints at (its screen's; 1 when it
    // has none yet).
    qreal PixelRatio() const;

    // Puts the back buffer on the screen. Returns false when the per-pixel
    // update failed (the first time only; the window falls back to the region
    // mode and is still shown).
    bool Present();

protected:
    // The per-pixel update itself; false when the surface cannot show
    // per-pixel alpha. A seam for tests.
    virtual bool UpdateLayered();
    // Called once when a per-pixel update fails, before the fallback.
    virtual void OnPresentationFailed() {}
    // The window moved to a screen of another pixel ratio than its back
    // buffer's: the owner paints it again (a subclass redraws).
    virtual void OnPixelRatioChanged() {}

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QImage backBuffer_;
    bool perPixel_ = true;
    bool presentationFailed_ = false;
};

}  // namespace platform
