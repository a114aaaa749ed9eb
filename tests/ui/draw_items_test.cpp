// Draw items painted into an ARGB32-premultiplied image, checked pixel by
// pixel: boxes and frames, text with outline, day cells with their box,
// hover and booked rules, images, lines, hit tests and notifications.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <memory>

#include "model/CalendarStyleInfo.h"
#include "platform/Time.h"
#include "platform/WindowMessages.h"
#include "tests/support/TestSupport.h"
#include "view/DrawBackgroundItem.h"
#include "view/DrawBoxItem.h"
#include "view/DrawDayItem.h"
#include "view/DrawIconButtonItem.h"
#include "view/DrawImageItem.h"
#include "view/DrawLineItem.h"
#include "view/DrawSimpleTextItem.h"
#include "view/DrawTextItem.h"

namespace {

class DrawItems : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "draw_items_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            app_ = new QApplication(argc, argv);
        }
    }

    static QImage Blank(int w = 60, int h = 40) {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        return image;
    }

    static QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y); }

    static bool AllTransparent(const QImage& image) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) != 0) {
                    return false;
                }
            }
        }
        return true;
    }

    static int Count(const QImage& image, const std::function<bool(QRgb)>& match) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                n += match(image.pixel(x, y)) ? 1 : 0;
            }
        }
        return n;
    }

    static void Paint(Draw::CDrawItem& item, QImage& image, bool atOrigin = false) {
        QPainter painter(&image);
        item.Draw(painter, atOrigin);
    }

    static QApplication* app_;
};

QApplication* DrawItems::app_ = nullptr;

bool Reddish(QRgb c) {
    return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90;
}

TEST_F(DrawItems, BoxOfShapeZeroOrInvisibleDrawsNothing) {
    for (int shape : {0, 3, -1}) {
        Draw::CDrawBoxItem box;
        box.SetRect(5, 5, 20, 20);
        box.shape = shape;
        QImage image = Blank();
        Paint(box, image);
        EXPECT_TRUE(AllTransparent(image)) << shape;
    }
    Draw::CDrawBoxItem hidden;
    hidden.SetRect(5, 5, 20, 20);
    hidden.visible = 0;
    QImage image = Blank();
    Paint(hidden, image);
    EXPECT_TRUE(AllTransparent(image));
}

TEST_F(DrawItems, RectangleBoxFillsAndFramesItsPixels) {
    Draw::CDrawBoxItem box;
    box.SetRect(10, 10, 20, 20);
    box.fillColor = 0xFFFFFFFF;
    box.frameColor = 0xFF0000FF;
    box.frameWidth = 1;
    QImage image = Blank();
    Paint(box, image);
    EXPECT_EQ(At(image, 10, 10), 0xFF0000FFu);
    EXPECT_EQ(At(image, 30, 30), 0xFF0000FFu);
    EXPECT_EQ(At(image, 20, 10), 0xFF0000FFu);
    EXPECT_EQ(At(image, 10, 20), 0xFF0000FFu);
    EXPECT_EQ(At(image, 11, 11), 0xFFFFFFFFu);
    EXPECT_EQ(At(image, 20, 20), 0xFFFFFFFFu);
    EXPECT_EQ(qAlpha(At(image, 9, 9)), 0);
    EXPECT_EQ(qAlpha(At(image, 31, 31)), 0);

    // A wider frame, and no frame at all.
    box.frameWidth = 3;
    image = Blank();
    Paint(box, image);
    EXPECT_EQ(At(image, 12, 20), 0xFF0000FFu);
    EXPECT_EQ(At(image, 13, 20), 0xFFFFFFFFu);
    box.frameWidth = 0;
    image = Blank();
    Paint(box, image);
    EXPECT_EQ(At(image, 10, 10), 0xFFFFFFFFu);

    // At origin the box starts at (0, 0).
    box.frameWidth = 1;
    image = Blank();
    Paint(box, image, true);
    EXPECT_EQ(At(image, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(qAlpha(At(image, 25, 25)), 0);
}

TEST_F(DrawItems, BoxWithAnImageIsFramedNotFilled) {
    QImage tile(4, 4, QImage::Format_ARGB32_Premultiplied);
    tile.fill(QColor(255, 0, 0));
    for (int shape : {1, 2}) {
        Draw::CDrawBoxItem box;
        box.SetRect(10, 10, 20, 20);
        box.shape = shape;
        box.fillColor = 0xFF00FF00;
        box.frameColor = 0xFF0000FF;
        box.SetTileImage(tile);
        QImage image = Blank();
        Paint(box, image);
        EXPECT_EQ(At(image, 20, 20), 0xFFFF0000u) << shape;
        EXPECT_EQ(At(image, 29, 20), 0xFFFF0000u) << shape;  // the clipped last tile
        EXPECT_EQ(Count(image, [](QRgb c) { return qGreen(c) > 100; }), 0) << shape;
        EXPECT_GT(Count(image, [](QRgb c) { return qBlue(c) > 100; }), 40) << shape;
    }
}

TEST_F(DrawItems, MissingTileImageLeavesThePlainBox) {
    Draw::CDrawBoxItem box;
    EXPECT_FALSE(box.LoadTileImage(L"/nonexistent/tile.png"));
    EXPECT_TRUE(box.tileImage.isNull());
    EXPECT_TRUE(box.LoadTileImage(L""));
}

TEST_F(DrawItems, RoundedBoxLeavesItsCornersOpen) {
    Draw::CDrawBoxItem box;
    box.SetRect(0, 0, 39, 29);
    box.shape = Model::kShapeRoundRect;
    box.cornerRadius = 8;
    box.fillColor = 0xFF336699;
    box.frameColor = 0xFF112233;
    QImage image = Blank(40, 30);
    Paint(box, image);
    EXPECT_EQ(qAlpha(At(image, 0, 0)), 0);
    EXPECT_EQ(qAlpha(At(image, 39, 29)), 0);
    EXPECT_EQ(At(image, 20, 15), 0xFF336699u);
    EXPECT_EQ(At(image, 20, 0), 0xFF112233u);  // the frame along the top edge
}

TEST_F(DrawItems, BackgroundPaintsThroughItsCacheAndErasesCells) {
    Draw::CDrawBackgroundItem background;
    background.SetRect(0, 0, 60, 40);
    background.Relayout();
    background.fillColor = 0x80FFFFFF;  // translucent: an erase must replace, not blend
    background.frameWidth = 0;
    QImage image = Blank();
    Paint(background, image);
    const QRgb plain = At(image, 30, 20);
    EXPECT_EQ(qAlpha(plain), 0x80);
    EXPECT_EQ(background.Cache().pixel(30, 20), plain);
    {
        QPainter painter(&image);
        painter.fillRect(QRect(20, 10, 10, 10), Qt::red);
        background.EraseRect(painter, QRect(20, 10, 10, 10));
    }
    EXPECT_EQ(At(image, 25, 15), plain);
}

TEST_F(DrawItems, TextIsFilledAndOutlined) {
    Draw::CDrawTextItem text;
    text.SetRect(0, 0, 80, 40);
    Model::TextStyle style;
    style.fontFamily = L"Arial";
    style.fontSize = 28;
    style.fontStyle = Model::kFontBold;
    style.color = 0xFFFF0000;
    style.outline = 1;
    style.outlineThickness = 4;
    style.outlineColor = 0xFF0000FF;
    style.format = {Model::kAlignCenter, Model::kAlignCenter};
    text.SetStyle(style);
    text.SetText(L"88");
    QImage image = Blank(80, 40);
    Paint(text, image);
    EXPECT_GT(Count(image, Reddish), 20);
    EXPECT_GT(Count(image, [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 60; }), 20);
    // Centred: nothing in the outer columns.
    for (int y = 0; y < 40; ++y) {
        EXPECT_EQ(qAlpha(At(image, 1, y)), 0);
        EXPECT_EQ(qAlpha(At(image, 78, y)), 0);
    }

    // Without outline there is no outline colour; hidden style draws nothing.
    style.outline = 0;
    text.SetStyle(style);
    image = Blank(80, 40);
    Paint(text, image);
    EXPECT_EQ(Count(image, [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 60; }), 0);
    style.visible = 0;
    text.SetStyle(style);
    image = Blank(80, 40);
    Paint(text, image);
    EXPECT_TRUE(AllTransparent(image));
}

TEST_F(DrawItems, TextShadowHoverColourAndFixedPosition) {
    Draw::CDrawTextItem text;
    text.SetRect(0, 0, 80, 40);
    Model::TextStyle style;
    style.fontFamily = L"Arial";
    style.fontSize = 24;
    style.color = 0xFFFF0000;
    style.shadow = 1;
    style.shadowColor = 0xFF00FF00;
    style.shadowOffsetX = 3;
    style.shadowOffsetY = 3;
    style.usePosition = 1;
    style.positionX = 40;
    style.positionY = 5;
    text.SetStyle(style);
    text.SetText(L"1");
    QImage image = Blank(80, 40);
    Paint(text, image);
    EXPECT_GT(Count(image, [](QRgb c) { return qGreen(c) > 150 && qRed(c) < 90; }), 5);
    // The fixed point puts the text right of x = 40.
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 38; ++x) {
            ASSERT_EQ(qAlpha(At(image, x, y)), 0) << x << "," << y;
        }
    }
    text.hoverColorOn = 1;
    text.hoverColor = 0xFF0000FF;
    QImage hovered = Blank(80, 40);
    {
        QPainter painter(&hovered);
        const QRect dirty = text.SetHover(&painter);
        EXPECT_EQ(dirty, QRect(QPoint(0, 0), QPoint(80, 40)));
    }
    EXPECT_EQ(Count(hovered, Reddish), 0);
    EXPECT_GT(Count(hovered, [](QRgb c) { return qBlue(c) > 150 && qRed(c) < 90; }), 5);
}

// A day cell of 30 × 24 at (10, 8) with the default weekday style.
class DayItem : public DrawItems {
protected:
    void SetUp() override {
        style_.weekdayDayText.color = 0xFF404040;
        style_.weekdayDayText.fontSize = 14;
        style_.weekdayDayText.boxFill = 0;
        day_.style = &style_.weekdayDayText;
        day_.SetRect(10, 8, 30, 24);
        day_.Relayout();
        day_.SetDate(2009, 2, 18);
    }

    QImage PaintDay() {
        QImage image = Blank();
        Paint(day_, image);
        return image;
    }

    // The underline: a row of the cell with at least `n` pixels of `match`.
    static bool HasBar(const QImage& image, const std::function<bool(QRgb)>& match, int n) {
        for (int y = 8; y < 32; ++y) {
            int run = 0;
            for (int x = 10; x < 40; ++x) {
                run += match(image.pixel(x, y)) ? 1 : 0;
            }
            if (run >= n) {
                return true;
            }
        }
        return false;
    }

    Model::CCalendarStyleInfo style_;
    Draw::CDrawDayItem day_;
};

TEST_F(DayItem, PlainDayShowsOnlyItsNumber) {
    const QImage image = PaintDay();
    EXPECT_EQ(day_.GetText(), L"18");
    EXPECT_EQ(qAlpha(At(image, 12, 10)), 0);  // no box
    EXPECT_GT(Count(image, [](QRgb c) { return qAlpha(c) > 200; }), 10);
}

TEST_F(DayItem, HoveredBookedDayShowsHoverBoxWithBookedFontStyle) {
    day_.booked = 1;
    day_.bookedFontStyle = Model::kFontUnderline;
    day_.bookedTextColorOn = 1;
    day_.bookedTextColor = 0xFFE00000;
    day_.bookedBackgroundOn = 1;
    day_.bookedBackgroundColor = 0xFFFFFF00;
    QImage image = Blank();
    {
        QPainter painter(&image);
        day_.SetHover(&painter);
    }
    // The hover box (fill 0xFFB0E0EE, frame 0xFF669BCC) covers the cell,
    // not the booked box.
    EXPECT_EQ(At(image, 14, 20), 0xFFB0E0EEu);
    EXPECT_EQ(At(image, 24, 8), 0xFF669BCCu);
    EXPECT_EQ(At(image, 39, 20), 0xFF669BCCu);
    EXPECT_EQ(qAlpha(At(image, 40, 20)), 0);
    EXPECT_EQ(Count(image, [](QRgb c) { return c == 0xFFFFFF00u; }), 0);
    // The number keeps the booked colour and the underline.
    EXPECT_GT(Count(image, Reddish), 10);
    EXPECT_TRUE(HasBar(image, Reddish, 8));

    // Not hovered: the booked box.
    image = Blank();
    {
        QPainter painter(&image);
        day_.ClearHover(&painter);
    }
    EXPECT_EQ(At(image, 14, 20), 0xFFFFFF00u);
    EXPECT_TRUE(HasBar(image, Reddish, 8));
}

TEST_F(DayItem, BookedDayWithoutBookedOptionsKeepsItsStyle) {
    day_.booked = 1;
    day_.bookedFontStyle = Model::kFontRegular;
    const QImage image = PaintDay();
    EXPECT_EQ(qAlpha(At(image, 14, 20)), 0);
    EXPECT_EQ(Count(image, Reddish), 0);
    const auto dark = [](QRgb c) { return qAlpha(c) > 200 && qRed(c) < 0x60; };
    EXPECT_FALSE(HasBar(image, dark, 8));
}

TEST_F(DayItem, ADayThatBecomesBookedIsRedrawnInTheBookedFontStyle) {
    // Painted unchanged twice, the number is kept as an image; a new event
    // then books the day, which changes only the font.
    const auto ink = [](QRgb c) { return qAlpha(c) > 60; };
    PaintDay();
    EXPECT_FALSE(HasBar(PaintDay(), ink, 12));
    day_.booked = 1;
    day_.bookedFontStyle = Model::kFontUnderline;
    EXPECT_TRUE(HasBar(PaintDay(), ink, 12));
    day_.booked = 0;
    EXPECT_FALSE(HasBar(PaintDay(), ink, 12));
}

TEST_F(DayItem, HoverShowsABoxEvenWithBoxFillOff) {
    day_.hover = 1;
    EXPECT_EQ(PaintDay().pixel(14, 20), 0xFFB0E0EEu);
}

TEST_F(DayItem, StyleBoxAndErasingFromTheBackground) {
    Draw::CDrawBackgroundItem background;
    background.SetRect(0, 0, 60, 40);
    background.Relayout();
    background.fillColor = 0xFF202020;
    background.frameWidth = 0;
    style_.weekdayDayText.boxFill = 1;
    style_.weekdayDayText.boxShape = Model::kShapeRectangle;
    style_.weekdayDayText.boxFillColor = 0xFF00FF00;
    style_.weekdayDayText.boxFrame = 1;
    style_.weekdayDayText.boxFrameColor = 0xFF0000FF;
    day_.background = &background;
    QImage image = Blank();
    Paint(background, image);
    Paint(day_, image);
    EXPECT_EQ(At(image, 10, 8), 0xFF0000FFu);   // frame
    EXPECT_EQ(At(image, 12, 10), 0xFF00FF00u);  // fill
    EXPECT_EQ(At(image, 39, 31), 0xFF0000FFu);  // frame, last pixel of the cell
    EXPECT_EQ(At(image, 40, 20), 0xFF202020u);  // outside the cell: background
    // A hover then un-hover on the same image leaves no trace of the hover box.
    {
        QPainter painter(&image);
        day_.SetHover(&painter);
        day_.ClearHover(&painter);
    }
    EXPECT_EQ(Count(image, [](QRgb c) { return c == 0xFFB0E0EEu || c == 0xFF669BCCu; }), 0);
    // Without a style nothing is drawn.
    day_.style = nullptr;
    EXPECT_TRUE(AllTransparent(PaintDay()));
}

TEST_F(DayItem, DateIsLocalMidnightAndOutOfRangeThrows) {
    for (const char* zone : {"Asia/Tokyo", "America/New_York"}) {
        testsupport::ScopedTz tz(zone);
        day_.SetDate(2009, 3, 8);  // the day daylight saving starts in New York
        EXPECT_EQ(day_.Date(), platform::CTime(2009, 3, 8, 0, 0, 0).GetTime()) << zone;
        EXPECT_EQ(day_.GetText(), L"8");
    }
    const int bad[][3] = {{1899, 1, 1}, {2009, 0, 1}, {2009, 13, 1}, {2009, 1, 0}, {2009, 1, 32}};
    for (const auto& d : bad) {
        EXPECT_THROW(day_.SetDate(d[0], d[1], d[2]), std::invalid_argument);
    }
}

TEST_F(DrawItems, HitTestExcludesRightAndBottomEdges) {
    Draw::CDrawLineItem item;
    item.SetRect(10, 20, 30, 5);
    struct Row {
        int x, y;
        bool inside;
    };
    const Row rows[] = {{10, 20, true},  {39, 24, true}, {40, 22, false},
                        {20, 25, false}, {9, 22, false}, {20, 19, false}};
    for (const Row& r : rows) {
        EXPECT_EQ(item.HitTest(r.x, r.y), r.inside) << r.x << "," << r.y;
    }
}

TEST_F(DrawItems, LineCoversItsWidthOnOneRow) {
    Draw::CDrawLineItem line;
    line.SetRect(5, 7, 20, 0);
    line.color = 0xFF123456;
    QImage image = Blank();
    Paint(line, image);
    EXPECT_EQ(At(image, 5, 7), 0xFF123456u);
    EXPECT_EQ(At(image, 24, 7), 0xFF123456u);
    EXPECT_EQ(qAlpha(At(image, 25, 7)), 0);
    EXPECT_EQ(qAlpha(At(image, 10, 6)), 0);
    EXPECT_EQ(qAlpha(At(image, 10, 8)), 0);
}

TEST_F(DrawItems, ImagesAndIconButtons) {
    testsupport::TempDir dir;
    QImage red(6, 4, QImage::Format_ARGB32);
    red.fill(QColor(255, 0, 0));
    const std::string redFile = dir / "red.png";
    ASSERT_TRUE(red.save(QString::fromStdString(redFile)));
    QImage blue(6, 4, QImage::Format_ARGB32);
    blue.fill(QColor(0, 0, 255));
    const std::string blueFile = dir / "blue.png";
    ASSERT_TRUE(blue.save(QString::fromStdString(blueFile)));

    Draw::CDrawImageItem image;
    image.SetRect(3, 2, 10, 10);
    EXPECT_TRUE(image.LoadImage(std::wstring(redFile.begin(), redFile.end())));
    QImage out = Blank();
    Paint(image, out);
    EXPECT_EQ(At(out, 3, 2), 0xFFFF0000u);
    EXPECT_EQ(At(out, 8, 5), 0xFFFF0000u);
    EXPECT_EQ(qAlpha(At(out, 9, 5)), 0);  // unscaled
    EXPECT_FALSE(image.LoadImage(L"/nonexistent/x.png"));
    out = Blank();
    Paint(image, out);
    EXPECT_TRUE(AllTransparent(out));

    Draw::CDrawIconButtonItem button;
    button.SetRect(20, 10, 6, 4);
    EXPECT_TRUE(button.LoadImages(std::wstring(redFile.begin(), redFile.end()),
                                  std::wstring(blueFile.begin(), blueFile.end())));
    out = Blank();
    Paint(button, out);
    EXPECT_EQ(At(out, 22, 11), 0xFFFF0000u);
    button.hover = 1;
    out = Blank();
    Paint(button, out);
    EXPECT_EQ(At(out, 22, 11), 0xFF0000FFu);
    // No size: not drawn at all, not even its background.
    button.backgroundFillOn = 1;
    button.SetRect(20, 10, 0, 0);
    out = Blank();
    Paint(button, out);
    EXPECT_TRUE(AllTransparent(out));
    // A missing hover image leaves only the background while hovered.
    EXPECT_FALSE(button.LoadImages(std::wstring(redFile.begin(), redFile.end()), L"/none.png"));
    button.SetRect(20, 10, 6, 4);
    button.backgroundColor = 0xFF00FF00;
    out = Blank();
    Paint(button, out);
    EXPECT_EQ(At(out, 22, 11), 0xFF00FF00u);
}

TEST_F(DrawItems, SimpleTextFillsFramesAndWrites) {
    Draw::CDrawSimpleTextItem row;
    row.SetRect(0, 0, 60, 20);
    row.fillOn = 1;
    row.frameOn = 1;
    row.fillColor = 0xFFFEFEFE;
    row.frameColor = 0xFF669BCC;
    row.textColor = 0xFFE00000;
    row.textOffsetY = 3;
    row.SetText(L"Meeting");
    QImage image = Blank();
    Paint(row, image);
    EXPECT_EQ(At(image, 0, 0), 0xFF669BCCu);
    EXPECT_EQ(At(image, 59, 19), 0xFF669BCCu);  // the frame of (width - 1) × (height - 1)
    EXPECT_EQ(At(image, 58, 18), 0xFFFEFEFEu);
    EXPECT_EQ(qAlpha(At(image, 59, 20)), 0);
    EXPECT_GT(Count(image, Reddish), 5);
}

TEST_F(DrawItems, NotifyPostsTheItemsMessage) {
    platform::CRecordingPoster poster;
    platform::ScopedMessagePoster installed(&poster);
    poster.AddWindow(42);
    Draw::CDrawLineItem item;
    item.targetWindow = 42;
    item.message = platform::kWmUser + 3;
    item.wParam = 7;
    item.lParam = 9;
    item.Notify();
    item.targetWindow = 43;  // not a window
    item.Notify();
    ASSERT_EQ(poster.Messages().size(), 1u);
    EXPECT_EQ(poster.Messages()[0],
              (platform::CRecordingPoster::Message{42, platform::kWmUser + 3, 7, 9}));
}

}  // namespace
