// CEventPopupWnd: the small window beside a calendar window that lists the
// holidays and events of the day the mouse rests on. Each calendar window
// owns one, created with it and destroyed with it. A click on a row asks the
// owner to edit that event, a click on the add row (shown once the popup is
// active) asks it to add an event for the day: both as the owner message
// (WM_USER + 103) with code kCodeEditEvent or kCodeAddEvent; the edited
// event's identifier is taken with TakeSelectedEventId().
//
// The popup is presented through its region and faded with the whole-window
// alpha: once the mouse has left it for 16 ticks of 50 ms it loses 32 of
// alpha per tick and hides below 33; a mouse move into it makes it opaque
// again. What it lists and how tall it is are decided by
// eventwnd/EventPopupLayout.h.
//
// User-interface thread only.
#pragma once

#include <QFont>
#include <QPoint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Time.h"
#include "view/DrawBoxItem.h"
#include "view/DrawSimpleTextItem.h"
#include "view/DrawTextItem.h"
#include "view/EventWndBase.h"

namespace Model {
class CCalendarStyleInfo;
class CEventCache;
}  // namespace Model

class CEventPopupWnd : public CEventWndBase {
    Q_OBJECT
public:
    // Codes of the owner message (its wParam).
    static constexpr uint32_t kCodeEditEvent = 1;
    static constexpr uint32_t kCodeAddEvent = 2;
    // Timers: the capture watch and the fade.
    static constexpr uint32_t kTimerWatch = 1;
    static constexpr uint32_t kTimerFade = 2;
    static constexpr int kFadeGraceTicks = 16;
    static constexpr int kFadeStep = 32;

    // `cache` and `style` are the owner's and outlive the popup.
    CEventPopupWnd(QWidget* owner, platform::WindowHandle ownerHandle, uint32_t ownerMessage,
                   const Model::CEventCache& cache, const Model::CCalendarStyleInfo& style,
                   Model::CConfigInfo* options, Utility::CMaintenanceLog* log);
    ~CEventPopupWnd() override;

    // Shows the entries of the day `date` (local midnight) with the top-left
    // corner at the screen point (x, y) and `width` pixels wide, opaque.
    void ShowFor(const platform::CTime& date, int x, int y, int width);
    // Starts fading out (nothing when hidden or already fading).
    void FadeOut();
    // Hides at once.
    void Hide();
    // Makes the rows clickable and adds the add row, for the same day, and
    // puts the cursor on the add row.
    void Activate();

    bool IsShowing() const { return showing_; }
    bool IsActive() const { return active_; }
    bool IsFading() const { return fading_; }
    int FadeTicks() const { return fadeTicks_; }
    platform::CTime Date() const { return date_; }
    // The screen point lies inside the shown popup.
    bool Contains(const QPoint& screenPoint) const;
    bool ContainsCursor() const;

    // The identifier sent with kCodeEditEvent; empty afterwards.
    std::wstring TakeSelectedEventId();

    // Input, in window coordinates (public so that tests can drive them).
    void OnMouseMove(const QPoint& point);
    void OnLButtonUp(const QPoint& point);

    // Inspection (tests, benchmarks).
    int ContentHeight() const { return contentHeight_; }
    const std::vector<Draw::CDrawSimpleTextItem*>& Rows() const { return rowItems_; }
    Draw::CDrawSimpleTextItem* AddRow() const { return addRow_; }
    Draw::CDrawSimpleTextItem* HoveredRow() const { return hovered_; }
    const Draw::CDrawTextItem* DayItem() const { return dayItem_; }
    const Draw::CDrawTextItem* WeekdayItem() const { return weekdayItem_; }
    const QFont& RowFont() const { return rowFont_; }

    void GetShadowParam(int32_t& shown, int32_t& x, int32_t& y) override;
    void Layout() override;

protected:
    void OnTimer(uint32_t id) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Build();
    void StopFade();
    Draw::CDrawSimpleTextItem* RowAt(const QPoint& point) const;
    void SetHovered(Draw::CDrawSimpleTextItem* row);
    template <typename T>
    T* NewItem();

    platform::WindowHandle ownerHandle_;
    uint32_t ownerMessage_;
    const Model::CEventCache& cache_;
    const Model::CCalendarStyleInfo& style_;
    QFont rowFont_;
    QFont addRowFont_;
    platform::CTime date_;
    QRect rect_;  // screen rectangle asked for: x, y and width
    int contentHeight_ = 101;
    bool showing_ = false;
    bool active_ = false;
    bool fading_ = false;
    int fadeTicks_ = 0;
    std::wstring selectedEventId_;

    // Draw items of the current show.
    std::vector<std::unique_ptr<Draw::CDrawItem>> items_;
    Draw::CDrawBoxItem* background_ = nullptr;
    Draw::CDrawBoxItem* header_ = nullptr;
    Draw::CDrawTextItem* dayItem_ = nullptr;
    Draw::CDrawTextItem* weekdayItem_ = nullptr;
    std::vector<Draw::CDrawSimpleTextItem*> rowItems_;  // in entry order
    Draw::CDrawSimpleTextItem* addRow_ = nullptr;
    Draw::CDrawBoxItem* frame_ = nullptr;
    Draw::CDrawSimpleTextItem* hovered_ = nullptr;
};
