// CEventPopupWnd: the small window beside a calendar window that lists the
// holidays and events of the day the mouse rests on. Each calendar window
// owns one, created with it and destroyed with it. A click on a row asks the
// owner to edit that event, a click on the add row (shown once the popup is
// active) asks it to add an event for the day: both as the owner message
// (WM_USER + 103) with code kCodeEditEvent or kCodeAddEvent; the edited
// event's identifier is taken with TakeSelectedEventId().
//
// The operations below are all the calendar window uses. User-interface
// thread only.
#pragma once

#include <QPoint>
#include <string>

#include "platform/Time.h"
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
    // Makes the rows clickable and adds the add row, for the same day.
    void Activate();

    bool IsShowing() const { return showing_; }
    bool IsActive() const { return active_; }
    bool IsFading() const { return fading_; }
    platform::CTime Date() const { return date_; }
    // The screen point lies inside the popup (shown or not).
    bool Contains(const QPoint& screenPoint) const;
    bool ContainsCursor() const;

    // The identifier sent with kCodeEditEvent; empty afterwards.
    std::wstring TakeSelectedEventId();

    void GetShadowParam(int32_t& shown, int32_t& x, int32_t& y) override;
    void Layout() override;

private:
    platform::WindowHandle ownerHandle_;
    uint32_t ownerMessage_;
    const Model::CEventCache& cache_;
    const Model::CCalendarStyleInfo& style_;
    platform::CTime date_;
    QRect rect_;
    bool showing_ = false;
    bool active_ = false;
    bool fading_ = false;
    std::wstring selectedEventId_;
};
