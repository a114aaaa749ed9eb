// Window registry geometry: the position file, the on-screen rule, new
// window positions and lining windows up.
#include <gtest/gtest.h>

#include "model/WindowPositions.h"

using namespace Model;

namespace {

const ScreenRect kScreen{0, 0, 1920, 1080};

TEST(PositionFile, SingleLineForcesTheCurrentMonth) {
    const auto one = ParsePositionFile("3,100,100,2,200,150\n");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].id, 3);
    EXPECT_EQ(one[0].x, 100);
    EXPECT_EQ(one[0].monthOffset, 0);

    const auto two = ParsePositionFile("1,10,20,-1\n2,300,20,1,180,160\n");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].monthOffset, -1);
    EXPECT_EQ(two[0].width, 200);  // missing size: 200 x 150
    EXPECT_EQ(two[0].height, 150);
    EXPECT_EQ(two[1].monthOffset, 1);
    EXPECT_EQ(two[1].height, 160);
    EXPECT_EQ(FormatPositionFile(two), "1,10,20,-1,200,150\n2,300,20,1,180,160\n");
}

TEST(PositionFile, DamagedLinesAreIgnored) {
    const std::string text =
        "garbage\n"
        "1,2,3\n"                         // fewer than four fields
        "x,1,2,3\n"                       // not a number
        "\x01\xff,,,\n"                   // binary
        "7,-99999999999,99999999999,5\n"  // out of range: clamped
        "7,1,1,1\n"                       // repeated id
        "8,5,5,0\r\n";                    // CRLF
    const auto w = ParsePositionFile(text);
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0].id, 7);
    EXPECT_EQ(w[0].x, INT_MIN);
    EXPECT_EQ(w[0].y, INT_MAX);
    EXPECT_EQ(w[0].monthOffset, 5);
    EXPECT_EQ(w[1].id, 8);

    std::string many;
    for (int i = 0; i < 10000; ++i) {
        many += std::to_string(i) + ",10,10,0\n";
    }
    EXPECT_EQ(ParsePositionFile(many).size(), kMaxCalendarWindows);
    EXPECT_TRUE(ParsePositionFile("").empty());
}

TEST(PositionFile, WindowsAreKeptOnTheVirtualScreen) {
    struct Row {
        int x, y, expectedX, expectedY;
    };
    const Row rows[] = {
        {-5, 100, -5, 100},      // may hang 10 pixels off the left edge
        {-20, 100, 0, 100},      // further off: moved to the edge
        {1725, 100, 1725, 100},  // right edge at 1925: within 10 pixels
        {1735, 100, 1720, 100},  // beyond: moved in
        {100, 5, 100, 0},        // near the top: snaps to it
        {100, 920, 100, 920},    // bottom edge 10 pixels above the screen's
        {100, 921, 100, 930},    // closer than 10 pixels to the bottom: snaps
        {INT_MAX, INT_MIN, 1720, 0},
    };
    for (const Row& r : rows) {
        WindowPlacement w;
        w.x = r.x;
        w.y = r.y;
        KeepOnScreen(w, kScreen);
        EXPECT_EQ(w.x, r.expectedX) << r.x << "," << r.y;
        EXPECT_EQ(w.y, r.expectedY) << r.x << "," << r.y;
    }
    // Two monitors side by side with the second left of the first.
    WindowPlacement w;
    w.x = -1500;
    KeepOnScreen(w, ScreenRect{-1920, 0, 1920, 1080});
    EXPECT_EQ(w.x, -1500);
}

TEST(NewWindow, NearTheCursorOrTheTopRightCorner) {
    int x = 0, y = 0;
    NewWindowPosition(false, 500, 500, kScreen, x, y);
    EXPECT_EQ(x, 1600);
    EXPECT_EQ(y, 10);
    NewWindowPosition(true, 500, 400, kScreen, x, y);
    EXPECT_EQ(x, 490);
    EXPECT_EQ(y, 390);
}

TEST(Align, ColumnsAndRowsAreFoundIndependently) {
    std::vector<AlignItem> items{{10, 10}, {60, 300}, {400, 40}};
    AlignWindows(items, 200, 150);
    EXPECT_EQ(items[0].x, 10);
    EXPECT_EQ(items[1].x, 10);
    EXPECT_EQ(items[2].x, 400);
    EXPECT_EQ(items[0].y, 10);
    EXPECT_EQ(items[2].y, 10);
    EXPECT_EQ(items[1].y, 300);
    std::vector<AlignItem> none;
    AlignWindows(none, 200, 150);
}

}  // namespace
