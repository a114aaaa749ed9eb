#include "eventwnd/EventPopupWnd.h"

#include <QCursor>
#include <QMouseEvent>

#include "app/MaintenanceLog.h"
#include "app/StringTable.h"
#include "eventwnd/EventPopupLayout.h"
#include "model/CalendarStyleInfo.h"
#include "model/EventCache.h"

namespace {

constexpr Model::ArgbColor kPaper = 0xFFFEFEFE;
constexpr Model::ArgbColor kRowText = 0xFE404040;
constexpr Model::ArgbColor kAddRowText = 0xFE0000FF;
constexpr Model::ArgbColor kBoxFrame = 0xFEA8A8A8;
constexpr Model::ArgbColor kHoverFill = 0xFFB0E0EE;
constexpr Model::ArgbColor kHoverFrame = 0xFF669BCC;

}  // namespace

CEventPopupWnd::CEventPopupWnd(QWidget* owner, platform::WindowHandle ownerHandle,
                               uint32_t ownerMessage, const Model::CEventCache& cache,
                               const Model::CCalendarStyleInfo& style, Model::CConfigInfo* options,
                               Utility::CMaintenanceLog* log)
    : CEventWndBase(options, log, owner),
      ownerHandle_(ownerHandle),
      ownerMessage_(ownerMessage),
      cache_(cache),
      style_(style),
      rowFont_(PopupLayout::RowFont()),
      addRowFont_(PopupLayout::RowFont()) {
    setObjectName(QStringLiteral("EventPopupWnd"));
    setWindowTitle(QString::fromWCharArray(app::LoadStringText(703)));
    setMouseTracking(true);
}

CEventPopupWnd::~CEventPopupWnd() {
    DrawItems().clear();
}

template <typename T>
T* CEventPopupWnd::NewItem() {
    auto item = std::make_unique<T>();
    T* raw = item.get();
    items_.push_back(std::move(item));
    DrawItems().push_back(raw);
    return raw;
}

void CEventPopupWnd::ShowFor(const platform::CTime& date, int x, int y, int width) {
    if (date != date_) {
        date_ = date;
        active_ = false;
    }
    KillTimer(kTimerFade);
    SetAlpha(255);
    fading_ = false;
    fadeTicks_ = 0;
    rect_ = QRect(x, y, std::max(width, PopupLayout::kRowMargin + 1), 1);
    Build();
    Redraw();
    showing_ = true;
    show();
    raise();
    SetTimer(kTimerWatch, 100);
}

void CEventPopupWnd::Build() {
    DrawItems().clear();
    items_.clear();
    rowItems_.clear();
    hovered_ = nullptr;
    addRow_ = nullptr;
    ClearEntries();

    const int width = rect_.width();
    const int rowWidth = width - PopupLayout::kRowMargin;
    for (const PopupLayout::EntrySource& e : PopupLayout::EntriesOfDay(cache_, date_)) {
        AddEntry(e.id, e.text, e.colorRef, rowFont_, rowWidth);
    }
    contentHeight_ = PopupLayout::ContentHeight(EntriesHeight(), active_);

    // Paper and header band first (the Layout() fill), then the items.
    background_ = NewItem<Draw::CDrawBoxItem>();
    background_->fillColor = kPaper;
    background_->frameWidth = 0;
    background_->shape = Model::kShapeRectangle;
    header_ = NewItem<Draw::CDrawBoxItem>();
    header_->fillColor = style_.popupHeaderColor;
    header_->frameWidth = 0;
    header_->shape = Model::kShapeRectangle;

    dayItem_ = NewItem<Draw::CDrawTextItem>();
    dayItem_->SetStyle(style_.popupDayText);
    dayItem_->SetText(std::to_wstring(date_.GetDay()));
    dayItem_->SetRect(6, 1, 100, 20);
    weekdayItem_ = NewItem<Draw::CDrawTextItem>();
    weekdayItem_->SetStyle(style_.popupWeekText);
    weekdayItem_->SetText(PopupLayout::WeekdayName(date_.GetDayOfWeek()));
    weekdayItem_->SetRect(PopupLayout::WeekdayNameX(date_.GetDay()), 5, 100, 20);

    int y = PopupLayout::kRowsTop;
    const std::vector<Entry>& entries = Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        auto* box = NewItem<Draw::CDrawBoxItem>();
        box->SetRect(4, y + 4, 8, 12);
        box->fillColor = entry.color;
        box->frameColor = kBoxFrame;
        box->shape = Model::kShapeRoundRect;
        box->cornerRadius = 2;

        auto* row = NewItem<Draw::CDrawSimpleTextItem>();
        row->SetRect(14, y, rowWidth, entry.height - 1);
        row->SetText(entry.text);
        row->clickable = 1;
        row->textColor = kRowText;
        row->fillOn = row->frameOn = 1;
        row->fillColor = row->frameColor = kPaper;
        row->font = &rowFont_;
        row->textOffsetX = 0;
        row->textOffsetY = 3;
        row->lParam = static_cast<uint32_t>(i + 1);  // the entry it carries
        rowItems_.push_back(row);
        y += entry.height;
    }
    if (active_) {
        addRow_ = NewItem<Draw::CDrawSimpleTextItem>();
        addRow_->SetRect(14, y, rowWidth, PopupLayout::kAddRowHeight);
        addRow_->SetText(app::LoadStringText(153));
        addRow_->clickable = 1;
        addRow_->textColor = kAddRowText;
        addRow_->fillOn = addRow_->frameOn = 1;
        addRow_->fillColor = addRow_->frameColor = kPaper;
        addRow_->font = &addRowFont_;
        addRow_->textOffsetY = 3;
        addRow_->lParam = 0;  // no entry
    }
    frame_ = NewItem<Draw::CDrawBoxItem>();
    frame_->noFill = 1;
    frame_->frameColor = kBoxFrame;
    frame_->frameWidth = 1;
    frame_->shape = Model::kShapeRoundRect;
    frame_->cornerRadius = 8;
}

void CEventPopupWnd::Layout() {
    const int width = rect_.width();
    SetWindowRect(rect_.x(), rect_.y(), rect_.x() + width,
                  rect_.y() + contentHeight_ + PopupLayout::kWindowExtra);
    SetContentRect(0, 0, width, contentHeight_);
    if (background_ != nullptr) {
        background_->SetRect(0, 0, width - 1, contentHeight_ - 1);
        header_->SetRect(0, 0, width - 1, PopupLayout::kHeaderHeight - 1);
        frame_->SetRect(0, 0, width - 1, contentHeight_ - 1);
    }
}

void CEventPopupWnd::FadeOut() {
    if (!showing_ || fading_) {
        return;
    }
    SetTimer(kTimerFade, 50);
    fading_ = true;
}

void CEventPopupWnd::Hide() {
    if (!showing_) {
        return;
    }
    KillTimer(kTimerWatch);
    KillTimer(kTimerFade);
    showing_ = false;
    active_ = false;
    fading_ = false;
    fadeTicks_ = 0;
    SetAlpha(255);
    if (hovered_ != nullptr) {
        SetHovered(nullptr);
    }
    hide();
    Shadow().Show(false);
}

void CEventPopupWnd::Activate() {
    active_ = true;
    ShowFor(date_, rect_.x(), rect_.y(), rect_.width());
    QCursor::setPos(rect_.x() + rect_.width() / 2, rect_.y() + 39 + EntriesHeight());
}

bool CEventPopupWnd::Contains(const QPoint& screenPoint) const {
    return showing_ && WindowRect().contains(screenPoint);
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

void CEventPopupWnd::StopFade() {
    KillTimer(kTimerFade);
    SetAlpha(255);
    fading_ = false;
    fadeTicks_ = 0;
}

Draw::CDrawSimpleTextItem* CEventPopupWnd::RowAt(const QPoint& point) const {
    // The last clickable row in list order that holds the point.
    Draw::CDrawSimpleTextItem* found = nullptr;
    for (Draw::CDrawSimpleTextItem* row : rowItems_) {
        if (row->HitTest(point.x(), point.y())) {
            found = row;
        }
    }
    if (addRow_ != nullptr && addRow_->HitTest(point.x(), point.y())) {
        found = addRow_;
    }
    return found;
}

void CEventPopupWnd::SetHovered(Draw::CDrawSimpleTextItem* row) {
    if (hovered_ != nullptr) {
        hovered_->hover = 0;
        hovered_->fillColor = hovered_->frameColor = kPaper;
    }
    hovered_ = row;
    if (row != nullptr) {
        row->hover = 1;
        row->fillColor = kHoverFill;
        row->frameColor = kHoverFrame;
    }
    if (showing_) {
        Redraw();
    }
    setCursor(row != nullptr ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CEventPopupWnd::OnMouseMove(const QPoint& point) {
    if (!showing_ || !rect().contains(point)) {
        if (hovered_ != nullptr) {
            SetHovered(nullptr);
        }
        return;
    }
    if (Alpha() != 255 || fading_) {
        StopFade();
    }
    Draw::CDrawSimpleTextItem* row = RowAt(point);
    if (row != hovered_) {
        SetHovered(row);
    }
}

void CEventPopupWnd::OnLButtonUp(const QPoint& point) {
    if (!showing_) {
        return;
    }
    if (rect().contains(point) && hovered_ != nullptr) {
        if (hovered_ == addRow_) {
            platform::PostMessage(ownerHandle_, ownerMessage_, kCodeAddEvent, 0);
        } else {
            const size_t index = hovered_->lParam;
            if (index >= 1 && index <= Entries().size()) {
                selectedEventId_ = Entries()[index - 1].id;
            }
            platform::PostMessage(ownerHandle_, ownerMessage_, kCodeEditEvent, 0);
        }
    }
    Hide();
}

void CEventPopupWnd::OnTimer(uint32_t id) {
    if (id == kTimerFade) {
        if (ContainsCursor()) {
            StopFade();
            return;
        }
        ++fadeTicks_;
        if (fadeTicks_ <= kFadeGraceTicks) {
            return;
        }
        const int alpha = Alpha() - kFadeStep;
        if (alpha < 33) {
            Hide();
        } else {
            SetAlpha(alpha);
        }
    } else if (id == kTimerWatch) {
        if (!ContainsCursor() && hovered_ != nullptr) {
            SetHovered(nullptr);
        }
    } else {
        CEventWndBase::OnTimer(id);
    }
}

void CEventPopupWnd::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->position().toPoint());
}

void CEventPopupWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonUp(event->position().toPoint());
    }
}

void CEventPopupWnd::leaveEvent(QEvent* event) {
    CEventWndBase::leaveEvent(event);
    OnMouseMove(QPoint(-1, -1));
}
