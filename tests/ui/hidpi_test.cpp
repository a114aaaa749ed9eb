// High-density screens: a calendar window on the offscreen platform scaled
// by QT_SCALE_FACTOR 1, 1.5 and 2. Each scale runs in a child process of
// this program (Qt reads the factor once, at start-up) that reports what it
// sees; the parent compares: the back buffer carries the ratio and its
// pixels, digits are as sharp as the screen allows (no more than one
// partial pixel across a stem's edge), and everything logical (the window's
// size, which day a point hits, the position file) is the same at every
// scale.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <list>
#include <map>
#include <sstream>
#include <string>

#include "app/ConfigInfo.h"
#include "controller/qt/CalendarWndManager.h"
#include "model/CalendarStyleInfo.h"
#include "platform/Time.h"
#include "platform/qt/DenseImage.h"
#include "tests/support/TestSupport.h"
#include "view/CalendarWnd.h"
#include "view/CalendarWndSource.h"

namespace {

constexpr const char* kReportVariable = "DAYMARK_HIDPI_REPORT";

QApplication& App() {
    static int argc = 1;
    static char name[] = "hidpi_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class NoData : public ICalendarWndSource {
public:
    bool GetEvents(std::list<Model::Event>&, int, int, int) override { return true; }
    bool GetHolidays(std::list<Model::Holiday>&, int, int, int, const std::wstring&) override {
        return true;
    }
    void AddListener(platform::WindowHandle, uint32_t) override {}
};

// The most partial pixels (neither background nor glyph colour) met between
// a background pixel and a glyph pixel along the rows of `box` (device
// pixels), over the rows of the middle third of the glyph. The glyph colour
// is the one farthest from the background.
int WidestEdge(const QImage& image, const QRect& box, QRgb background) {
    auto distance = [&](QRgb p) {
        return std::abs(qRed(p) - qRed(background)) + std::abs(qGreen(p) - qGreen(background)) +
               std::abs(qBlue(p) - qBlue(background));
    };
    int far = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            far = std::max(far, distance(image.pixel(x, y)));
        }
    }
    if (far == 0) {
        return -1;  // no glyph at all
    }
    auto kindOf = [&](QRgb p) {  // 1 background, 2 glyph, 0 partial
        const int d = distance(p);
        return d * 10 <= far ? 1 : d * 10 >= far * 9 ? 2 : 0;
    };
    int top = box.bottom();
    int bottom = box.top();
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if (kindOf(image.pixel(x, y)) == 2) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    int widest = 0;
    const int third = (bottom - top) / 3;
    for (int y = top + third; y <= bottom - third; ++y) {
        int lastKind = 0;
        int partial = 0;
        for (int x = box.left(); x <= box.right(); ++x) {
            const int kind = kindOf(image.pixel(x, y));
            if (kind == 0) {
                ++partial;
                continue;
            }
            if (lastKind != 0 && kind != lastKind) {
                widest = std::max(widest, partial);
            }
            lastKind = kind;
            partial = 0;
        }
    }
    return widest;
}

// The child's part: one calendar window at the process's scale, reported
// as "key value" lines.
TEST(HiDpiProbe, Report) {
    const char* out = std::getenv(kReportVariable);
    if (out == nullptr) {
        GTEST_SKIP() << "run by HiDpi.SameWindowAtEveryScale";
    }
    App();
    testsupport::ScopedTz tz("Asia/Tokyo");
    platform::ScopedClock clock([] { return platform::CTime(2009, 2, 10, 12, 0, 0).GetTime(); });
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "config.ini", "[general]\ncalendar_mode=2\n");
    testsupport::WriteFile(dir / "calWnd.info", "0,100,120,0,197,181\n");
    Model::CConfigInfo config(dir / "config.ini");
    NoData source;
    CalendarWndContext context;
    context.source = &source;
    context.config = &config;
    Model::CCalendarWndManager registry;
    registry.LoadAndCreate(dir.path(), context);
    ASSERT_EQ(registry.WindowCount(), 1u);
    CCalendarWnd& wnd = *registry.Windows().front();
    wnd.Redraw();

    std::ostringstream report;
    const QImage& buffer = wnd.BackBuffer();
    report << "ratio " << wnd.devicePixelRatioF() << "\n";
    report << "bufferRatio " << buffer.devicePixelRatio() << "\n";
    report << "buffer " << buffer.width() << " " << buffer.height() << "\n";
    report << "logical " << wnd.Width() << " " << wnd.Height() << "\n";
    report << "geometry " << wnd.geometry().x() << " " << wnd.geometry().y() << " "
           << wnd.geometry().width() << " " << wnd.geometry().height() << "\n";
    // Which day every fourth logical point hits.
    report << "hits";
    for (int y = 0; y < wnd.Height(); y += 4) {
        for (int x = 0; x < wnd.Width(); x += 4) {
            report << " " << wnd.DayAt(x, y);
        }
    }
    report << "\n";
    // The sharpness of the "1" of February: the edges of its stem.
    const qreal ratio = buffer.devicePixelRatio();
    for (int i = 0; i < 42; ++i) {
        const Draw::CDrawDayItem& day = wnd.Day(i);
        const platform::CTime date(day.Date());
        if (date.GetMonth() != 2 || date.GetDay() != 1) {
            continue;
        }
        const QRect r = day.Rect();
        const QRect device(static_cast<int>(r.x() * ratio), static_cast<int>(r.y() * ratio),
                           static_cast<int>(r.width() * ratio) - 1,
                           static_cast<int>(r.height() * ratio) - 1);
        const QRgb background = buffer.pixel(device.left() + 1, device.top() + 1);
        report << "edge" << date.GetDay() << " " << WidestEdge(buffer, device, background) << "\n";
        if (std::getenv("DAYMARK_HIDPI_DUMP") != nullptr) {
            buffer.copy(device).save(QString::fromStdString(
                std::string(out) + ".day" + std::to_string(date.GetDay()) + ".png"));
        }
    }
    // A program image: its "@2x" variant on a dense screen.
    const QImage today = platform::LoadImageForScreens(
        QStringLiteral(DAYMARK_SOURCE_DIR "/resources/image/today.png"));
    report << "image " << today.devicePixelRatio() << " " << today.deviceIndependentSize().width()
           << " " << today.deviceIndependentSize().height() << "\n";
    ASSERT_TRUE(registry.SavePositions(dir.path()));
    std::string positions = testsupport::ReadFile(dir / "calWnd.info");
    while (!positions.empty() && (positions.back() == '\n' || positions.back() == '\r')) {
        positions.pop_back();
    }
    report << "positions " << positions << "\n";
    testsupport::WriteFile(out, report.str());
}

// The child's part for two screens of ratio 1 and 2 side by side: the
// window moves from one to the other.
TEST(HiDpiProbe, MoveAcrossScreens) {
    const char* out = std::getenv(kReportVariable);
    if (out == nullptr) {
        GTEST_SKIP() << "run by HiDpi.RepaintsOnAScreenOfAnotherRatio";
    }
    App();
    testsupport::ScopedTz tz("Asia/Tokyo");
    platform::ScopedClock clock([] { return platform::CTime(2009, 2, 10, 12, 0, 0).GetTime(); });
    NoData source;
    Model::CCalendarStyleInfo style;
    style.dropShadow = 1;
    CalendarWndContext context;
    context.source = &source;
    context.style = &style;
    CCalendarWnd wnd(0, 100, 120, 0, context);
    wnd.show();
    wnd.Redraw();
    auto pump = [] {
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::processEvents();
        }
    };
    pump();
    std::ostringstream report;
    auto shadowRatio = [&] {
        return wnd.Shadow().Window() != nullptr ? wnd.Shadow().Image().devicePixelRatio() : 0.0;
    };
    report << "before " << wnd.devicePixelRatioF() << " " << wnd.BackBuffer().devicePixelRatio()
           << " " << shadowRatio() << "\n";
    wnd.MoveTo(900, 120);
    pump();
    report << "after " << wnd.devicePixelRatioF() << " " << wnd.BackBuffer().devicePixelRatio()
           << " " << shadowRatio() << "\n";
    report << "logical " << wnd.Width() << " " << wnd.Height() << " " << wnd.BackBuffer().width()
           << "\n";
    testsupport::WriteFile(out, report.str());
}

// Runs the probe at `scale` and returns its report by key.
std::map<std::string, std::string> Probe(const std::string& scale,
                                         const std::string& test = "Report",
                                         const std::string& platform = "offscreen") {
    testsupport::TempDir dir;
    const std::string out = dir / "report.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QT_SCALE_FACTOR", scale.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
        ::setenv(kReportVariable, out.c_str(), 1);
        const std::string self = "/proc/self/exe";
        const std::string filter = "--gtest_filter=HiDpiProbe." + test;
        ::execl(self.c_str(), "hidpi_test", filter.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "probe at " << scale;
    std::map<std::string, std::string> values;
    std::istringstream in(testsupport::ReadFile(out));
    std::string line;
    while (std::getline(in, line)) {
        const size_t space = line.find(' ');
        values[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
    }
    return values;
}

TEST(HiDpi, SameWindowAtEveryScale) {
    auto one = Probe("1");
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(one["ratio"], "1");
    EXPECT_EQ(one["image"], "1 24 23");
    std::string size = one["logical"];
    size.replace(size.find(' '), 1, ",");
    for (const char* scale : {"1.5", "2"}) {
        SCOPED_TRACE(scale);
        auto dense = Probe(scale);
        ASSERT_FALSE(dense.empty());
        const double ratio = std::stod(scale);
        EXPECT_EQ(std::stod(dense["ratio"]), ratio);
        EXPECT_EQ(std::stod(dense["bufferRatio"]), ratio);
        // The back buffer holds the logical size times the ratio in pixels.
        int lw = 0, lh = 0, bw = 0, bh = 0;
        std::istringstream(dense["logical"]) >> lw >> lh;
        std::istringstream(dense["buffer"]) >> bw >> bh;
        EXPECT_EQ(bw, static_cast<int>(std::ceil(lw * ratio)));
        EXPECT_EQ(bh, static_cast<int>(std::ceil(lh * ratio)));
        // Logical things do not move.
        EXPECT_EQ(dense["logical"], one["logical"]);
        EXPECT_EQ(dense["geometry"], one["geometry"]);
        EXPECT_EQ(dense["hits"], one["hits"]);
        EXPECT_EQ(dense["positions"], one["positions"]);
        EXPECT_EQ(dense["positions"], "0,100,120,0," + size);
        // Images from their denser variant, covering the same logical size.
        EXPECT_EQ(dense["image"], "2 24 23");
        // Digits drawn at the screen's resolution, not enlarged.
        ASSERT_FALSE(dense["edge1"].empty());
        EXPECT_GE(std::stoi(dense["edge1"]), 0);  // a glyph was found
        EXPECT_LE(std::stoi(dense["edge1"]), 1);
    }
}

// Two offscreen screens, the second of twice the density (its logical DPI
// twice the base): a window moved onto it paints again at ratio 2, its
// shadow too, and keeps its logical size.
TEST(HiDpi, RepaintsOnAScreenOfAnotherRatio) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "screens.json", R"({"screens": [
        {"name": "one", "x": 0, "y": 0, "width": 800, "height": 600,
         "logicalDpi": 96, "logicalBaseDpi": 96},
        {"name": "two", "x": 800, "y": 0, "width": 800, "height": 600,
         "logicalDpi": 192, "logicalBaseDpi": 96}]})");
    auto r = Probe("1", "MoveAcrossScreens", "offscreen:configfile=" + (dir / "screens.json"));
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r["before"], "1 1 1");
    EXPECT_EQ(r["after"], "2 2 2");
    EXPECT_EQ(r["logical"], "197 181 394");
}

}  // namespace
