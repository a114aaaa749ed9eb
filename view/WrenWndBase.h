// CWrenWndBase: the base of the self-drawn popup windows (the event popup
// and its relatives). It owns the back buffer, the shape and the drop-shadow
// companion, and on Redraw() lets the subclass lay itself out, paints the
// display list (draw items the subclass owns) into a fresh back buffer, cuts
// the window to a rounded rectangle, updates the shadow and presents the
// result per pixel, or through the region when per-pixel presentation is off
// or has failed once.
// User-interface thread only.
#pragma once

#include <QRect>
#include <cstdint>
#include <vector>

#include "platform/qt/LayeredWindow.h"
#include "platform/qt/WndShadow.h"
#include "view/DrawItem.h"

namespace Model {
class CConfigInfo;
}
namespace Utility {
class CMaintenanceLog;
}

class CWrenWndBase : public platform::CLayeredWindow {
    Q_OBJECT
public:
    CWrenWndBase(Model::CConfigInfo* options, Utility::CMaintenanceLog* log, QWidget* owner);
    ~CWrenWndBase() override;

    // Rebuilds and shows the window.
    void Redraw();

    // Shadow wanted (non-zero), and its x and y offsets.
    virtual void GetShadowParam(int32_t& shown, int32_t& x, int32_t& y) = 0;
    // Sizes the window (SetWindowRect, SetContentRect) and updates the items.
    virtual void Layout() = 0;

    void SetWindowRect(int left, int top, int right, int bottom);
    QRect WindowRect() const { return windowRect_; }
    // The part of the window the rounded shape covers.
    void SetContentRect(int x, int y, int width, int height);
    QRect ContentRect() const { return contentRect_; }

    // The display list, painted head to tail; the items are not owned.
    std::vector<Draw::CDrawItem*>& DrawItems() { return drawItems_; }
    // The first clickable item under (x, y), in list order; null when none.
    Draw::CDrawItem* HitTest(int x, int y) const;

    Utility::CWndShadow& Shadow() { return shadow_; }

protected:
    void OnPresentationFailed() override;
    // Another screen's pixel ratio: painted again at it.
    void OnPixelRatioChanged() override { Redraw(); }

    Model::CConfigInfo* options_;
    Utility::CMaintenanceLog* log_;

private:
    void Paint();
    void UpdateShape();
    void UpdateShadow();

    QRect windowRect_{0, 0, 10, 10};
    QRect contentRect_{0, 0, 10, 10};
    QImage content_;  // content width × height, re-created with the back buffer
    std::vector<Draw::CDrawItem*> drawItems_;
    Utility::CWndShadow shadow_;
    QSize shadowShapeSize_;
    QRegion shadowShape_;
};
