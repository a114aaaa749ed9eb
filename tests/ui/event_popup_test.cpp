// The event popup on the offscreen platform: what a day lists and in which
// order and colour, the height rule, the add row of an active popup, hover
// colours in the back buffer, the click codes its owner receives, the fade
// with its grace ticks, and long Japanese titles that wrap inside the popup
// instead of running off its edge.
#include <gtest/gtest.h>

#include <QCursor>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <memory>

#include "eventwnd/EventPopupLayout.h"
#include "eventwnd/EventPopupWnd.h"
#include "model/CalendarStyleInfo.h"
#include "model/EventCache.h"
#include "platform/qt/Window.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/EventWndTestSupport.h"

namespace {

using evtest::Pump;
using platform::CTime;

// Receives the popup's owner messages.
class OwnerWindow : public platform::CWindow {
public:
    std::vector<std::pair<uint32_t, platform::WParam>> received;

protected:
    int64_t OnMessage(uint32_t message, platform::WParam wParam, platform::LParam) override {
        received.emplace_back(message, wParam);
        return 0;
    }
};

constexpr uint32_t kOwnerMessage = platform::kWmUser + 103;

Model::Event MakeEvent(const std::wstring& id, const std::wstring& title, CTime start,
                       int64_t length, bool allDay, int colorRef) {
    Model::Event e;
    e.localEventID = id;
    e.title = title;
    e.startTime = start;
    e.endTime = start + length;
    e.isAllDay = allDay;
    e.color = colorRef;
    return e;
}

class EventPopup : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        evtest::App();
        tz_ = std::make_unique<testsupport::ScopedTz>(GetParam());
        day_ = CTime(2009, 2, 11, 0, 0, 0);
        ownerWnd_ = std::make_unique<OwnerWindow>();
        popup_ = std::make_unique<CEventPopupWnd>(nullptr, ownerWnd_->Handle(), kOwnerMessage,
                                                  cache_, style_, nullptr, nullptr);
    }
    void TearDown() override { popup_.reset(); }

    // A holiday, an all-day event and three timed events, added out of
    // group order.
    void FillDay() {
        cache_.AddEvent(
            MakeEvent(L"t1", L"歯医者", CTime(2009, 2, 11, 10, 0, 0), 3600, false, 0x00FF0000));
        cache_.AddEvent(MakeEvent(L"a1", L"出張", day_, 86400, true, 0x0000FF00));
        cache_.AddEvent(
            MakeEvent(L"t2", L"会議", CTime(2009, 2, 11, 9, 5, 0), 1800, false, 0x000000FF));
        cache_.AddEvent(
            MakeEvent(L"t3", L"夕食", CTime(2009, 2, 11, 19, 30, 0), 3600, false, 0x00E16941));
        cache_.AddEvent(MakeEvent(L"other", L"翌日", CTime(2009, 2, 12, 9, 0, 0), 3600, false, 0));
        Model::Holiday h;
        h.date = day_;
        h.title = L"建国記念の日";
        cache_.AddHoliday(h);
    }

    std::unique_ptr<OwnerWindow> ownerWnd_;
    std::unique_ptr<testsupport::ScopedTz> tz_;
    CTime day_;
    Model::CEventCache cache_;
    Model::CCalendarStyleInfo style_;
    std::unique_ptr<CEventPopupWnd> popup_;
};

TEST(PopupLayoutRules, HeightRuleAndHeader) {
    struct Row {
        int entries;
        bool active;
        int content;
    };
    const Row rows[] = {{0, false, 101},   {18, false, 101}, {72, false, 101}, {73, false, 102},
                        {200, false, 229}, {0, true, 119},   {72, true, 119},  {73, true, 120}};
    for (const Row& r : rows) {
        EXPECT_EQ(PopupLayout::ContentHeight(r.entries, r.active), r.content)
            << r.entries << (r.active ? " active" : "");
    }
    // One line fits 18 pixels; a wrapped text gets its height + 2 and the
    // room its 3-pixel offset takes.
    EXPECT_EQ(CEventWndBase::EntryHeight(0), 18);
    EXPECT_EQ(CEventWndBase::EntryHeight(17.9), 18);
    EXPECT_EQ(CEventWndBase::EntryHeight(18), 23);
    EXPECT_EQ(CEventWndBase::EntryHeight(26.7), 31);
    EXPECT_EQ(std::wstring(PopupLayout::WeekdayName(1)), L"sun");
    EXPECT_EQ(std::wstring(PopupLayout::WeekdayName(7)), L"sat");
    EXPECT_EQ(PopupLayout::WeekdayNameX(9), 23);
    EXPECT_EQ(PopupLayout::WeekdayNameX(10), 30);
}

TEST_P(EventPopup, ListsHolidaysThenAllDayThenTimedInCacheOrder) {
    FillDay();
    const std::vector<PopupLayout::EntrySource> entries = PopupLayout::EntriesOfDay(cache_, day_);
    ASSERT_EQ(entries.size(), 5u);
    const std::wstring texts[] = {L"建国記念の日", L"出張", L"10:00 歯医者", L"09:05 会議",
                                  L"19:30 夕食"};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].text, texts[i]);
    }
    EXPECT_EQ(entries[0].id, L"");
    EXPECT_EQ(entries[2].id, L"t1");

    popup_->ShowFor(day_, 300, 40, 171);
    ASSERT_TRUE(popup_->IsShowing());
    const auto& shown = popup_->Entries();
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[0].color, 0xFFDC143Cu);  // crimson
    EXPECT_EQ(shown[1].color, 0xFF00FF00u);
    EXPECT_EQ(shown[2].color, 0xFF0000FFu);  // COLORREF blue byte is last
    EXPECT_EQ(shown[3].color, 0xFFFF0000u);
    EXPECT_EQ(popup_->DayItem()->GetText(), L"11");
    EXPECT_EQ(popup_->WeekdayItem()->GetText(), L"wed");
    EXPECT_EQ(popup_->WeekdayItem()->x, 30);
    // The header band in the style's colour, the colour box of the holiday row.
    const QImage& buffer = popup_->BackBuffer();
    EXPECT_EQ(buffer.pixel(popup_->width() - 20, 12) | 0xFF000000u,
              style_.popupHeaderColor | 0xFF000000u);
    EXPECT_EQ(buffer.pixel(8, PopupLayout::kRowsTop + 10), 0xFFDC143Cu);
}

TEST_P(EventPopup, HeightFollowsTheEntriesAndTheAddRow) {
    // Four one-line rows are 72 pixels: the minimum height.
    for (int i = 0; i < 4; ++i) {
        cache_.AddEvent(
            MakeEvent(L"e" + std::to_wstring(i), L"予定", day_ + 3600 * (9 + i), 600, false, 0));
    }
    popup_->ShowFor(day_, 300, 40, 171);
    EXPECT_EQ(popup_->EntriesHeight(), 72);
    EXPECT_EQ(popup_->ContentHeight(), 101);
    EXPECT_EQ(popup_->height(), 101 + 8);
    EXPECT_EQ(popup_->AddRow(), nullptr);

    cache_.AddEvent(MakeEvent(L"e4", L"予定", day_ + 3600 * 15, 600, false, 0));
    popup_->ShowFor(day_, 300, 40, 171);
    EXPECT_EQ(popup_->ContentHeight(), 90 + 29);

    popup_->Activate();
    EXPECT_TRUE(popup_->IsActive());
    EXPECT_EQ(popup_->ContentHeight(), 90 + 29 + 18);
    ASSERT_NE(popup_->AddRow(), nullptr);
    EXPECT_EQ(popup_->AddRow()->GetText(), L"予定を追加");
    EXPECT_EQ(popup_->AddRow()->y, PopupLayout::kRowsTop + 90);  // after the last row
    // Another day is not active any more.
    popup_->ShowFor(day_ + 86400, 300, 40, 171);
    EXPECT_FALSE(popup_->IsActive());
    EXPECT_EQ(popup_->ContentHeight(), 101);
}

TEST_P(EventPopup, HoverColoursAndClickCodes) {
    FillDay();
    popup_->ShowFor(day_, 300, 40, 200);
    popup_->Activate();
    Draw::CDrawSimpleTextItem* row = popup_->Rows().at(2);  // 10:00 歯医者
    const QPoint inRow(row->x + 5, row->y + row->height / 2);
    popup_->OnMouseMove(inRow);
    EXPECT_EQ(popup_->HoveredRow(), row);
    EXPECT_EQ(popup_->BackBuffer().pixel(row->x + row->width - 3, row->y + 2), 0xFFB0E0EEu);
    EXPECT_EQ(popup_->BackBuffer().pixel(row->x, row->y + 2), 0xFF669BCCu);
    // Off the rows: back to paper.
    popup_->OnMouseMove(QPoint(popup_->width() / 2, 10));
    EXPECT_EQ(popup_->HoveredRow(), nullptr);
    EXPECT_EQ(popup_->BackBuffer().pixel(row->x + row->width - 3, row->y + 2), 0xFFFEFEFEu);

    popup_->OnMouseMove(inRow);
    popup_->OnLButtonUp(inRow);
    EXPECT_FALSE(popup_->IsShowing());
    Pump();
    ASSERT_EQ(ownerWnd_->received.size(), 1u);
    EXPECT_EQ(ownerWnd_->received[0], std::make_pair(kOwnerMessage, platform::WParam{1}));
    EXPECT_EQ(popup_->TakeSelectedEventId(), L"t1");
    EXPECT_EQ(popup_->TakeSelectedEventId(), L"");

    popup_->ShowFor(day_, 300, 40, 200);
    popup_->Activate();
    Draw::CDrawSimpleTextItem* add = popup_->AddRow();
    ASSERT_NE(add, nullptr);
    popup_->OnMouseMove(QPoint(add->x + 5, add->y + 5));
    popup_->OnLButtonUp(QPoint(add->x + 5, add->y + 5));
    Pump();
    ASSERT_EQ(ownerWnd_->received.size(), 2u);
    EXPECT_EQ(ownerWnd_->received[1], std::make_pair(kOwnerMessage, platform::WParam{2}));
    EXPECT_EQ(popup_->TakeSelectedEventId(), L"");

    // A release without a row only hides.
    popup_->ShowFor(day_, 300, 40, 200);
    popup_->OnMouseMove(QPoint(popup_->width() / 2, 10));
    popup_->OnLButtonUp(QPoint(popup_->width() / 2, 10));
    Pump();
    EXPECT_FALSE(popup_->IsShowing());
    EXPECT_EQ(ownerWnd_->received.size(), 2u);
}

TEST_P(EventPopup, FadeWaitsSixteenTicksAndAReturnStopsIt) {
    FillDay();
    QCursor::setPos(900, 700);
    if (QCursor::pos() != QPoint(900, 700)) {
        GTEST_SKIP() << "the platform does not move the cursor";
    }
    popup_->ShowFor(day_, 300, 40, 171);
    popup_->FadeOut();
    EXPECT_TRUE(popup_->IsFading());
    // Back inside after about half a second: opaque all along, fade over.
    int lowest = 255;
    testsupport::WaitFor(
        [&] {
            Pump();
            lowest = std::min(lowest, popup_->Alpha());
            return popup_->FadeTicks() >= 10;
        },
        std::chrono::seconds(5));
    QCursor::setPos(320, 60);
    testsupport::WaitFor(
        [&] {
            Pump();
            lowest = std::min(lowest, popup_->Alpha());
            return !popup_->IsFading();
        },
        std::chrono::seconds(5));
    EXPECT_FALSE(popup_->IsFading());
    EXPECT_EQ(lowest, 255);
    EXPECT_TRUE(popup_->IsShowing());

    // Left for good: it fades after the grace ticks and hides.
    QCursor::setPos(900, 700);
    popup_->FadeOut();
    std::vector<int> alphas;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            Pump();
            if (alphas.empty() || alphas.back() != popup_->Alpha()) {
                alphas.push_back(popup_->Alpha());
            }
            return !popup_->IsShowing();
        },
        std::chrono::seconds(5)));
    // 255, then 223 down to 63 (31 hides at once).
    const std::vector<int> expected = {255, 223, 191, 159, 127, 95, 63};
    std::vector<int> seen(alphas.begin(), alphas.end());
    if (!seen.empty() && seen.back() == 255) {
        seen.pop_back();  // the reset when hidden
    }
    EXPECT_EQ(seen, expected);
}

// A long Japanese title wraps within the row; the whole text is painted
// inside the popup's content (nothing beyond the frame or the right edge).
TEST_P(EventPopup, LongJapaneseTitlesWrapInsideThePopup) {
    const std::wstring longTitle =
        L"国際会議場で開かれる年次総会と懇親会、そのあとの二次会と打ち上げ（全員参加）";
    cache_.AddEvent(MakeEvent(L"l1", longTitle, day_ + 9 * 3600, 3600, false, 0));
    cache_.AddEvent(MakeEvent(L"l2", longTitle + L"の続き", day_ + 10 * 3600, 3600, false, 0));
    popup_->ShowFor(day_, 300, 40, 171);
    const auto& entries = popup_->Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_GT(entries[1].height, 36);  // at least three lines

    // Paint the row texts alone onto a large canvas with the same font and
    // width: the popup must show every inked pixel of it.
    const QImage& buffer = popup_->BackBuffer();
    for (Draw::CDrawSimpleTextItem* row : popup_->Rows()) {
        QImage alone(row->width + 40, row->height + 60, QImage::Format_ARGB32_Premultiplied);
        alone.fill(0xFFFEFEFE);
        {
            QPainter p(&alone);
            p.setRenderHint(QPainter::TextAntialiasing, true);
            p.setFont(popup_->RowFont());
            p.setPen(QColor(0x40, 0x40, 0x40));
            p.drawText(QRect(0, 3, row->width, 1000),
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                       QString::fromStdWString(row->GetText()));
        }
        int inkBottom = -1;
        int inkRight = -1;
        for (int y = 0; y < alone.height(); ++y) {
            for (int x = 0; x < alone.width(); ++x) {
                if (qRed(alone.pixel(x, y)) < 0xC0) {
                    inkBottom = std::max(inkBottom, y);
                    inkRight = std::max(inkRight, x);
                }
            }
        }
        ASSERT_GE(inkBottom, 0);
        SCOPED_TRACE(row->y);
        EXPECT_LT(inkRight, row->width);                             // within the row
        EXPECT_LT(row->x + inkRight, popup_->width() - 2);           // inside the frame
        EXPECT_LT(row->y + inkBottom, popup_->ContentHeight() - 1);  // above the bottom frame
        // And the popup really shows it: the lowest inked line is dark there.
        int darkOnLine = 0;
        for (int x = 0; x < row->width; ++x) {
            if (qRed(buffer.pixel(row->x + x, row->y + inkBottom)) < 0xC0) {
                ++darkOnLine;
            }
        }
        EXPECT_GT(darkOnLine, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, EventPopup, testing::Values("Asia/Tokyo", "America/New_York"));

}  // namespace
