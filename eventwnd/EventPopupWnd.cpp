// A plain first version: the popup shows an empty box of the asked size; the
// entry list, the fade and the clicks come with the event windows.
#include "eventwnd/EventPopupWnd.h"

#include <QCursor>

CEventPopupWnd::CEventPopupWnd(QWidget* owner, platform::WindowHandle ownerHandle,
                               uint32_t ownerMessage, const Model::CEventCache& cache,
                               const Model::CCalendarStyleInfo& style, Model::CConfigInfo* options,
                               Utility::CMaintenanceLog* log)
    : CEventWndBase(options, log, owner),
      ownerHandle_(ownerHandle),
      ownerMessage_(ownerMessage),
      cache_(cache),
      style_(style) {
    setObjectName(QStringLiteral("EventPopupWnd"));
    setWindowTitle(QStringLiteral("EventPopupWnd"));
}

CEventPopupWnd::~CEventPopupWnd() = default;

void CEventPopupWnd::ShowFor(const platform::CTime& date, int x, int y, int width) {
    if (date != date_) {
        date_ = date;
        active_ = false;
    }
    fading_ = false;
    rect_ = QRect(x, y, width, active_ ? 119 : 101);
    SetWindowRect(rect_.x(), rect_.y(), rect_.x() + rect_.width(), rect_.y() + rect_.height());
    SetContentRect(0, 0, rect_.width(), rect_.height());
    setGeometry(rect_);
    SetAlpha(255);
    showing_ = true;
    show();
    Redraw();
}

void CEventPopupWnd::FadeOut() {
    if (!showing_ || fading_) {
        return;
    }
    Hide();
}

void CEventPopupWnd::Hide() {
    if (showing_) {
        hide();
    }
    showing_ = false;
    active_ = false;
    fading_ = false;
}

void CEventPopupWnd::Activate() {
    active_ = true;
    if (showing_) {
        ShowFor(date_, rect_.x(), rect_.y(), rect_.width());
    }
}

bool CEventPopupWnd::Contains(const QPoint& screenPoint) const {
    return showing_ && rect_.contains(screenPoint);
}

bool CEventPopupWnd::ContainsCursor() const {
    return Contains(QCursor::pos());
}

std::wstring CEventPopupWnd::TakeSelectedEventId() {
    std::wstring id;
    id.swap(selectedEventId_);
    return id;
}

void CEventPopupWnd::GetShadowParam(int32_t& shown, int32_t& x, int32_t& y) {
    shown = 1;
    x = 2;
    y = 2;
}

void CEventPopupWnd::Layout() {
    BackBuffer().fill(0xFFFEFEFE);
}
