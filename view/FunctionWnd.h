// CFunctionWnd: the icon bar. Seven image buttons (previous month, this
// month, next month, web calendar, synchronise, lock, menu) on a small
// rounded white bar that appears over a calendar window when the mouse rests
// on its header, and fades out (whole-window alpha 255, 191, 127, 63, then
// hidden) once the mouse has left. A click on a button posts the owner
// message (the calendar window's WM_USER + 101) with the button's code. In
// local calendar mode the web calendar and synchronise buttons are left out.
// A hovered button shows its tip in a small balloon after a short rest.
//
// Owned by its calendar window, created and destroyed with it (and again
// when the icon bar options change); user-interface thread only.
#pragma once

#include <QPoint>
#include <QString>
#include <array>
#include <string>

#include "platform/qt/LayeredWindow.h"
#include "platform/qt/WndShadow.h"
#include "view/DrawIconButtonItem.h"

class QLabel;
namespace Utility {
class CMaintenanceLog;
}

class CFunctionWnd : public platform::CLayeredWindow {
    Q_OBJECT
public:
    static constexpr uint32_t kTimerTooltip = 1;
    static constexpr uint32_t kTimerRecapture = 2;  // 100 ms while shown
    static constexpr int kButtonCount = 7;
    static constexpr int kButtonWidth = 24;
    static constexpr int kButtonHeight = 23;
    static constexpr int kCreatedAlpha = 192;
    // Codes posted to the owner, in draw-list order of the buttons.
    enum Code : uint32_t {
        kPrev = 1,
        kToday = 2,
        kNext = 3,
        kWeb = 4,
        kSync = 5,
        kLock = 6,
        kMenu = 7,
    };

    struct Options {
        bool vertical = false;    // "vertical_icon_bar"
        bool localMode = false;   // "calendar_mode" kCalendarModeLocal
        bool locked = false;      // "lock"
        std::string imageFolder;  // with a final "/"
    };

    CFunctionWnd(QWidget* owner, platform::WindowHandle ownerHandle, uint32_t ownerMessage,
                 const Options& options, Utility::CMaintenanceLog* log);
    ~CFunctionWnd() override;

    // The bar's size for the options.
    static QSize BarSize(bool vertical, bool localMode);
    // The tip of a button code; empty for any other code.
    static QString Tooltip(uint32_t code);

    // Fades in at the screen point (x, y): opaque, shown, with its shadow.
    void Show(int x, int y);
    // One fade-out step; true when the bar is now hidden.
    bool FadeStep();
    // Hides at once.
    void Hide();
    // Back on top of its calendar window (which was just raised), with its
    // shadow below it; nothing while hidden.
    void RaiseOverOwner();
    // The lock button's images for the locked or unlocked state.
    void SetLock(bool locked);

    bool IsShowing() const { return showing_; }
    int CurrentAlpha() const { return alpha_; }
    int BarWidth() const { return size_.width(); }
    int BarHeight() const { return size_.height(); }
    // The cursor (or a screen point) lies on the bar while it shows.
    bool Contains(const QPoint& screenPos) const;
    bool ContainsCursor() const;
    // The code of the hovered button, 0 when none.
    uint32_t HoveredCode() const;
    const Draw::CDrawIconButtonItem& Button(uint32_t code) const { return buttons_.at(code - 1); }
    bool TooltipShown() const;

    // The mouse at a screen point: hover, tooltip, full opacity.
    void OnMouseMove(const QPoint& screenPos);
    // The left button released at a screen point: a button's click.
    void OnLeftUp(const QPoint& screenPos);
    // Runs timer `id` now, as if it had elapsed (tests).
    void FireTimer(uint32_t id) { OnTimer(id); }

protected:
    // Another screen's pixel ratio: painted again at it.
    void OnPixelRatioChanged() override { Paint(); }
    void OnTimer(uint32_t id) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void LayoutButtons();
    void Paint();
    void ApplyAlpha(int alpha);
    void SetHovered(int index);
    void CloseTooltip();
    void OpenTooltip();

    platform::WindowHandle ownerHandle_;
    uint32_t ownerMessage_;
    Options options_;
    Utility::CMaintenanceLog* log_;
    QSize size_;
    QRect rect_;  // the bar's screen rectangle
    std::array<Draw::CDrawIconButtonItem, kButtonCount> buttons_;
    int hovered_ = -1;  // index into buttons_
    bool showing_ = false;
    int alpha_ = kCreatedAlpha;
    std::unique_ptr<QLabel> balloon_;
    Utility::CWndShadow shadow_;
};
