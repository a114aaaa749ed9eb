// The Qt window base on the offscreen platform: handles, posted and sent
// messages, timers, the layered back buffer with its rounded shape, the
// drop shadow and the presentation fallback of the self-drawn windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/MaintenanceLog.h"
#include "platform/WindowMessages.h"
#include "platform/qt/LayeredWindow.h"
#include "platform/qt/Window.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/TestSupport.h"
#include "view/DrawBackgroundItem.h"
#include "view/DrawBoxItem.h"
#include "view/EventWndBase.h"
#include "view/WrenWndBase.h"

namespace {

using testsupport::App;

void Pump(std::chrono::milliseconds ms = std::chrono::milliseconds(0)) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(ms.count()));
}

bool WaitUntil(const std::function<bool()>& condition) {
    return testsupport::WaitFor([&] {
        Pump();
        return condition();
    });
}

class RecordingWindow : public platform::CWindow {
public:
    struct Got {
        uint32_t message;
        platform::WParam wParam;
        platform::LParam lParam;
    };
    std::vector<Got> got;
    std::vector<uint32_t> ticks;

protected:
    int64_t OnMessage(uint32_t message, platform::WParam wParam, platform::LParam lParam) override {
        got.push_back({message, wParam, lParam});
        return static_cast<int64_t>(message) + 1;
    }
    void OnTimer(uint32_t id) override { ticks.push_back(id); }
};

TEST(WindowMessages, PostFromAnyThreadReachesTheWindowUntilItIsGone) {
    App();
    auto window = std::make_unique<RecordingWindow>();
    const platform::WindowHandle handle = window->Handle();
    ASSERT_NE(handle, 0u);
    EXPECT_NE(handle, RecordingWindow().Handle());

    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                accepted += platform::PostMessage(handle, platform::kWmUser + 100, t, -i) ? 1 : 0;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(accepted, 200);
    EXPECT_TRUE(window->got.empty());  // queued, not called
    ASSERT_TRUE(WaitUntil([&] { return window->got.size() == 200; }));
    EXPECT_EQ(window->got[0].message, platform::kWmUser + 100);

    EXPECT_EQ(platform::SendMessage(handle, 7, 1, 2), 8);
    EXPECT_EQ(window->got.back().message, 7u);

    // Posted, then destroyed before delivery: nothing arrives anywhere.
    EXPECT_TRUE(platform::PostMessage(handle, 9));
    window.reset();
    Pump();
    EXPECT_FALSE(platform::PostMessage(handle, 9));
    EXPECT_EQ(platform::SendMessage(handle, 7), 0);
    EXPECT_EQ(platform::CWindow::FromHandle(handle), nullptr);
    std::thread late([&] { EXPECT_FALSE(platform::PostMessage(handle, 10)); });
    late.join();
    EXPECT_FALSE(platform::PostMessage(0, 1));
}

TEST(WindowTimers, TimersFireByIdUntilKilled) {
    App();
    RecordingWindow window;
    window.SetTimer(6, 5);
    window.SetTimer(2, 5);
    ASSERT_TRUE(WaitUntil([&] {
        return std::count(window.ticks.begin(), window.ticks.end(), 6u) >= 2 &&
               std::count(window.ticks.begin(), window.ticks.end(), 2u) >= 2;
    }));
    window.KillTimer(6);
    EXPECT_FALSE(window.HasTimer(6));
    EXPECT_TRUE(window.HasTimer(2));
    Pump();
    const auto sixes = std::count(window.ticks.begin(), window.ticks.end(), 6u);
    Pump(std::chrono::milliseconds(40));
    EXPECT_EQ(std::count(window.ticks.begin(), window.ticks.end(), 6u), sixes);
}

TEST(RoundRectRegion, CornersAreCutAndEdgesExcluded) {
    // A content rect (3, 5, 100, 40) gives the corners (3, 5) and (104, 46).
    const QRegion r = platform::RoundRectRegion(3, 5, 104, 46, 16, 16);
    EXPECT_EQ(r.boundingRect(), QRect(QPoint(3, 5), QPoint(103, 45)));
    struct Row {
        int x, y;
        bool inside;
    };
    const Row rows[] = {{3, 5, false},  {103, 5, false}, {3, 45, false},  {103, 45, false},
                        {53, 5, true},  {3, 25, true},   {103, 25, true}, {104, 25, false},
                        {53, 45, true}, {53, 46, false}, {11, 5, true},   {5, 7, true}};
    for (const Row& row : rows) {
        EXPECT_EQ(r.contains(QPoint(row.x, row.y)), row.inside) << row.x << "," << row.y;
    }
    EXPECT_TRUE(platform::RoundRectRegion(5, 5, 5, 9, 16, 16).isEmpty());
}

// A self-drawn window with one rounded background box over its content.
class TestWrenWnd : public CWrenWndBase {
public:
    TestWrenWnd(Utility::CMaintenanceLog* log, bool failLayered)
        : CWrenWndBase(nullptr, log, nullptr), failLayered_(failLayered) {
        background.shape = Model::kShapeRoundRect;
        background.cornerRadius = 8;
        background.fillColor = 0xFF3366CC;
        background.frameColor = 0xFF102030;
        DrawItems().push_back(&background);
    }

    void GetShadowParam(int32_t& shown, int32_t& x, int32_t& y) override {
        shown = shadowShown;
        x = shadowX;
        y = shadowY;
    }
    void Layout() override {
        ++layouts;
        if (throwInLayout) {
            throw std::runtime_error("layout");
        }
        SetWindowRect(left, top, left + width, top + height);
        SetContentRect(0, 0, width - 1, height - 1);
        background.SetRect(0, 0, width - 1, height - 1);
        background.Relayout();
    }

    int left = 30, top = 40, width = 120, height = 80;
    int32_t shadowShown = 0, shadowX = 4, shadowY = 4;
    bool throwInLayout = false;
    int layouts = 0;
    int layeredCalls = 0;
    Draw::CDrawBackgroundItem background;

protected:
    bool UpdateLayered() override {
        ++layeredCalls;
        return failLayered_ ? false : CWrenWndBase::UpdateLayered();
    }

private:
    bool failLayered_;
};

struct LogFixture {
    testsupport::TempDir dir;
    Utility::CMaintenanceLog log;
    LogFixture() { log.SetFolder(dir.path()); }
    std::string Text() {
        std::string all;
        for (int d = 1; d <= 7; ++d) {
            const std::string file = dir / ("Log" + std::to_string(d) + ".txt");
            if (FileExists(file)) {
                all += testsupport::ReadFile(file);
            }
        }
        return all;
    }
    static bool FileExists(const std::string& file) { return std::ifstream(file).good(); }
};

TEST(WrenWndBase, RedrawPaintsTheBackBufferAndCutsRoundedCorners) {
    App();
    TestWrenWnd window(nullptr, false);
    window.show();
    window.Redraw();
    EXPECT_EQ(window.layouts, 1);
    EXPECT_EQ(window.geometry(), QRect(30, 40, 120, 80));
    const QImage& buffer = window.BackBuffer();
    ASSERT_EQ(buffer.size(), QSize(120, 80));
    EXPECT_EQ(buffer.format(), QImage::Format_ARGB32_Premultiplied);
    // The corners stay transparent, the middle has the fill, the edge the frame.
    for (QPoint corner : {QPoint(0, 0), QPoint(119, 0), QPoint(0, 79), QPoint(119, 79)}) {
        EXPECT_EQ(qAlpha(buffer.pixel(corner)), 0) << corner.x() << "," << corner.y();
        EXPECT_FALSE(window.Shape().contains(corner));
    }
    EXPECT_EQ(buffer.pixel(60, 40), 0xFF3366CCu);
    EXPECT_EQ(buffer.pixel(60, 0), 0xFF102030u);
    EXPECT_TRUE(window.Shape().contains(QPoint(60, 40)));
    EXPECT_FALSE(window.PresentationFailed());
    // What the window shows is its back buffer, alpha included.
    const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown.pixel(60, 40), 0xFF3366CCu);

    // The whole-window alpha.
    window.SetAlpha(128);
    EXPECT_NEAR(window.Alpha(), 128, 1);
    window.SetAlpha(300);
    EXPECT_EQ(window.Alpha(), 255);
}

TEST(WrenWndBase, ResizingRebuildsTheBackBuffer) {
    App();
    TestWrenWnd window(nullptr, false);
    window.Redraw();
    window.width = 200;
    window.height = 50;
    window.Redraw();
    EXPECT_EQ(window.BackBuffer().size(), QSize(200, 50));
    EXPECT_EQ(window.BackBuffer().pixel(150, 25), 0xFF3366CCu);
    EXPECT_EQ(window.Shape().boundingRect(), QRect(0, 0, 200, 50));
}

TEST(WrenWndBase, FailedPerPixelUpdateFallsBackOnceAndStaysVisible) {
    App();
    LogFixture logs;
    TestWrenWnd window(&logs.log, true);
    window.show();
    window.Redraw();
    window.Redraw();
    window.Redraw();
    EXPECT_EQ(window.layeredCalls, 1);
    EXPECT_TRUE(window.PresentationFailed());
    EXPECT_TRUE(window.isVisible());
    const std::string log = logs.Text();
    EXPECT_NE(log.find("<base> UpdateLayeredWindow failed:"), std::string::npos) << log;
    EXPECT_NE(log.find("<base> handle-usage gdi:"), std::string::npos) << log;
    // Painted through the region: the back buffer's colours, opaque.
    const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown.pixel(60, 40), 0xFF3366CCu);
}

TEST(WrenWndBase, ExceptionDuringRedrawIsLoggedAndKeepsThePicture) {
    App();
    LogFixture logs;
    TestWrenWnd window(&logs.log, false);
    window.Redraw();
    window.throwInLayout = true;
    window.Redraw();
    EXPECT_EQ(window.BackBuffer().pixel(60, 40), 0xFF3366CCu);
    EXPECT_NE(logs.Text().find("<wrenwnd> exception!!"), std::string::npos);
}

TEST(WrenWndBase, ShadowOnlyWhenAskedAndWithinRange) {
    App();
    {
        TestWrenWnd window(nullptr, false);
        window.show();
        window.Redraw();
        EXPECT_FALSE(window.Shadow().IsCreated());
        EXPECT_EQ(window.Shadow().Window(), nullptr);
    }
    TestWrenWnd window(nullptr, false);
    window.show();
    window.shadowShown = 1;
    window.shadowX = 3;
    window.shadowY = -2;
    window.Redraw();
    ASSERT_TRUE(window.Shadow().IsCreated());
    QWidget* shadow = window.Shadow().Window();
    ASSERT_NE(shadow, nullptr);
    EXPECT_TRUE(shadow->isVisible());
    EXPECT_EQ(window.Shadow().OffsetX(), 3);
    EXPECT_EQ(window.Shadow().OffsetY(), -2);
    // The shadow image: dark under the middle of the window, fading out.
    const QImage& image = window.Shadow().Image();
    const int margin = (image.width() - 120) / 2;
    EXPECT_GE(margin, 0);
    EXPECT_EQ(qAlpha(image.pixel(margin + 60, margin + 40)), 150);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(shadow->pos(), window.pos() + QPoint(3 - margin, -2 - margin));

    // x = 21 is ignored by the base; y = -21 is refused by the shadow.
    window.shadowX = 21;
    window.Redraw();
    EXPECT_EQ(window.Shadow().OffsetX(), 3);
    window.shadowX = 1;
    window.shadowY = -21;
    window.Redraw();
    EXPECT_EQ(window.Shadow().OffsetX(), 3);
    EXPECT_EQ(window.Shadow().OffsetY(), -2);
    EXPECT_FALSE(window.Shadow().SetPosition(0, 21));
    EXPECT_TRUE(window.Shadow().SetPosition(-20, 20));

    // It follows its window's moves and hides with it.
    window.move(300, 200);
    EXPECT_EQ(shadow->pos(), QPoint(300, 200) + QPoint(-20 - margin, 20 - margin));
    window.hide();
    EXPECT_FALSE(shadow->isVisible());
    window.show();
    EXPECT_TRUE(shadow->isVisible());
}

// The shadow of a window kept at the bottom must stay at the bottom too, or
// it floats, dark, over the other programs' windows.
TEST(WndShadow, ShadowLivesInItsParentsLayer) {
    App();
    platform::CLayeredWindow parent;
    parent.setGeometry(50, 50, 80, 60);
    parent.SetAlwaysAtBottom(true);
    parent.show();
    Utility::CWndShadow shadow;
    shadow.Create(&parent);
    shadow.Show(true);
    ASSERT_NE(shadow.Window(), nullptr);
    EXPECT_TRUE(shadow.Window()->isVisible());
    EXPECT_TRUE(shadow.Window()->windowFlags().testFlag(Qt::WindowStaysOnBottomHint));
    EXPECT_TRUE(parent.isVisible());

    // Its parent leaves the bottom (re-shown by the flag change): so does it.
    parent.SetAlwaysAtBottom(false);
    EXPECT_TRUE(parent.isVisible());
    EXPECT_TRUE(shadow.Window()->isVisible());
    EXPECT_FALSE(shadow.Window()->windowFlags().testFlag(Qt::WindowStaysOnBottomHint));
}

TEST(WndShadow, FallOffIsSmoothAndFollowsTheShape) {
    App();
    const QRegion round = platform::RoundRectRegion(0, 0, 60, 40, 16, 16);
    const QImage image =
        Utility::CWndShadow::Compute(QSize(60, 40), round, 5, 150, 5, 0, QColor(Qt::black));
    ASSERT_EQ(image.size(), QSize(70, 50));
    EXPECT_EQ(qAlpha(image.pixel(35, 25)), 150);
    // Monotonic fall-off from the edge outwards along the middle row.
    int previous = 256;
    for (int x = 5; x >= 0; --x) {
        const int a = qAlpha(image.pixel(x, 25));
        EXPECT_LE(a, previous);
        previous = a;
    }
    EXPECT_EQ(qAlpha(image.pixel(0, 25)), 0);
    // The rounded corner shows: less shadow there than along the edge.
    EXPECT_LT(qAlpha(image.pixel(6, 6)), qAlpha(image.pixel(35, 6)));
}

TEST(EventWndBase, PresentsThroughItsRegionAndKeepsEntries) {
    App();
    class Popup : public CEventWndBase {
    public:
        Popup() : CEventWndBase(nullptr, nullptr, nullptr) {}
        void GetShadowParam(int32_t& shown, int32_t& x, int32_t& y) override {
            shown = 1;
            x = 2;
            y = 2;
        }
        void Layout() override {
            SetWindowRect(0, 0, 100, 60);
            SetContentRect(0, 0, 99, 59);
        }
    } popup;
    popup.setObjectName("EventPopupWnd");
    EXPECT_FALSE(popup.IsPerPixel());
    popup.show();
    popup.Redraw();
    EXPECT_FALSE(popup.Shape().contains(QPoint(0, 0)));
    EXPECT_TRUE(popup.Shape().contains(QPoint(50, 30)));

    QFont font;
    font.setPixelSize(11);
    const auto& holiday = popup.AddEntry(L"", L"元日", 0x3C14DC, font, 82);
    EXPECT_EQ(holiday.color, 0xFFDC143Cu);
    EXPECT_EQ(holiday.height, 18);
    std::wstring longText;
    for (int i = 0; i < 30; ++i) {
        longText += L"word ";
    }
    const auto& tall = popup.AddEntry(L"ev1", longText, 0x00FF00, font, 82);
    EXPECT_GT(tall.height, 18);
    EXPECT_EQ(popup.EntriesHeight(), 18 + tall.height);
    EXPECT_EQ(CEventWndBase::FormatTimedEntry(9, 5, L"Lunch"), L"09:05 Lunch");
    EXPECT_EQ(CEventWndBase::FormatTimedEntry(-1, -1, L"x"), L"-1:-1 x");
}

TEST(WrenWndBase, HitTestFindsTheFirstClickableItem) {
    App();
    TestWrenWnd window(nullptr, false);
    Draw::CDrawBoxItem a;
    Draw::CDrawBoxItem b;
    a.SetRect(0, 0, 50, 50);
    b.SetRect(10, 10, 20, 20);
    b.clickable = 1;
    window.DrawItems().push_back(&a);
    window.DrawItems().push_back(&b);
    EXPECT_EQ(window.HitTest(15, 15), &b);
    EXPECT_EQ(window.HitTest(30, 15), nullptr);
    a.clickable = 1;
    EXPECT_EQ(window.HitTest(15, 15), &a);
}

}  // namespace
