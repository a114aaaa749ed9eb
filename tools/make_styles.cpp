// make_styles: writes the default styles installed with the program
// ("<name>.style.org") into a folder, through the style writer, so that
// they can be rebuilt whenever the style model changes.
//
//   make_styles <folder>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "model/CalendarStyleInfo.h"
#include "platform/TextConv.h"

using Model::CCalendarStyleInfo;

namespace {

void SetDay(Model::DayTextStyle& day, Model::ArgbColor color) {
    day.color = color;
}

// The default: the style a new window shows.
void Blue(CCalendarStyleInfo& s) {
    s.dropShadow = 1;
    s.dropShadowOffsetX = 3;
    s.dropShadowOffsetY = 3;
}

// Dark, slightly translucent.
void Night(CCalendarStyleInfo& s) {
    s.windowBackground = 0xE81E2226;
    s.windowFrameColor = 0xFF3A4048;
    s.headerBackground = 0xFF2A2F36;
    s.yearText.color = 0xFF9AA4AE;
    for (Model::TextStyle* t : {&s.monthNumText, &s.monthNameText}) {
        t->color = 0xFFF2F4F6;
        t->outlineColor = 0xFF0E1014;
        t->outlineThickness = 4;
    }
    s.monthNameFormat = 0;
    s.weekText.color = 0xFFCBD3DB;
    s.weekRowBackground = 0xFF34404E;
    s.weekRowFrameColor = 0xFF14171A;
    s.weekNumberText.color = 0xFF5C656E;
    SetDay(s.weekdayDayText, 0xFFD6DBE0);
    SetDay(s.saturdayDayText, 0xFF7FA8FF);
    SetDay(s.sundayDayText, 0xFFFF8A80);
    SetDay(s.todayDayText, 0xFFFFFFFF);
    s.todayDayText.boxShape = Model::kShapeRoundRect;
    s.todayDayText.boxFill = 1;
    s.todayDayText.boxFillColor = 0xFF3D7A55;
    s.todayDayText.boxFrame = 1;
    s.todayDayText.boxFrameColor = 0xFF5FB07E;
    SetDay(s.otherMonthDayText, 0xFF555C64);
    s.bookedTextColor = 0xFF8FE3A9;
    s.bookedBackgroundOn = 1;
    s.bookedBackgroundColor = 0xFF2E3846;
    s.dropShadow = 1;
    s.dropShadowOffsetX = 3;
    s.dropShadowOffsetY = 3;
}

// Light and minimal: no header or weekday row backgrounds, thin type.
void Paper(CCalendarStyleInfo& s) {
    s.windowBackground = 0xFAFFFFFF;
    s.windowFrameColor = 0xFFD8D8D8;
    s.headerSameAsWindow = 1;
    s.yearText.color = 0xFF9A9A9A;
    for (Model::TextStyle* t : {&s.monthNumText, &s.monthNameText}) {
        t->fontFamily = L"Arial";
        t->fontSize = 20;
        t->fontStyle = Model::kFontBold;
        t->color = 0xFF333333;
        t->outline = 0;
    }
    s.monthNameFormat = 0;
    s.weekText.color = 0xFF9A9A9A;
    s.weekNameFormat = 3;
    s.weekRowSameAsWindow = 1;
    s.weekRowFrame = 0;
    SetDay(s.weekdayDayText, 0xFF333333);
    SetDay(s.saturdayDayText, 0xFF4A78B0);
    SetDay(s.sundayDayText, 0xFFC8504B);
    SetDay(s.todayDayText, 0xFFFFFFFF);
    s.todayDayText.boxShape = Model::kShapeRoundRect;
    s.todayDayText.boxFill = 1;
    s.todayDayText.boxFillColor = 0xFF333333;
    s.todayDayText.boxFrameColor = 0xFF333333;
    SetDay(s.otherMonthDayText, 0xFFCFCFCF);
    s.bookedTextColor = 0xFF333333;
    s.bookedBackgroundOn = 0;  // booked days are bold; the box would hide today's mark
    s.bookedBackgroundColor = 0xFFEDEDED;
    s.dropShadow = 1;
    s.dropShadowOffsetX = 2;
    s.dropShadowOffsetY = 2;
}

// Warm amber tones.
void Amber(CCalendarStyleInfo& s) {
    s.windowBackground = 0xF5FFF7EC;
    s.windowFrameColor = 0xFFC98A4B;
    s.headerBackground = 0xFFE39B54;
    s.yearText.color = 0xFFFFF1DF;
    for (Model::TextStyle* t : {&s.monthNumText, &s.monthNameText}) {
        t->color = 0xFFFFFFFF;
        t->outlineColor = 0xFF8A4B1A;
        t->outlineThickness = 4;
    }
    s.monthNameFormat = 0;
    s.weekText.color = 0xFF6B3A12;
    s.weekRowBackground = 0xFFF4CB97;
    s.weekRowFrameColor = 0xFFC98A4B;
    s.weekNumberText.color = 0xFFC9A27A;
    SetDay(s.weekdayDayText, 0xFF5A3A22);
    SetDay(s.saturdayDayText, 0xFF3A6EA5);
    SetDay(s.sundayDayText, 0xFFC0392B);
    SetDay(s.todayDayText, 0xFFFFFFFF);
    s.todayDayText.boxShape = Model::kShapeRoundRect;
    s.todayDayText.boxFill = 1;
    s.todayDayText.boxFillColor = 0xFFE07B39;
    s.todayDayText.boxFrame = 1;
    s.todayDayText.boxFrameColor = 0xFFB85C22;
    SetDay(s.otherMonthDayText, 0xFFD9C2A4);
    s.bookedTextColor = 0xFFB85C22;
    s.bookedBackgroundOn = 0;  // booked days are bold; the box would hide today's mark
    s.bookedBackgroundColor = 0xFFFBE2C2;
    s.dropShadow = 1;
    s.dropShadowOffsetX = 3;
    s.dropShadowOffsetY = 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_styles <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<std::pair<const char*, std::function<void(CCalendarStyleInfo&)>>> styles = {
        {"Blue", Blue}, {"Night", Night}, {"Paper", Paper}, {"Amber", Amber}};
    int failures = 0;
    for (const auto& [name, design] : styles) {
        CCalendarStyleInfo style;
        design(style);
        const std::string file = folder + "/" + name + ".style.org";
        if (!style.Save(platform::Utf8ToWide(file))) {
            std::fprintf(stderr, "make_styles: cannot write %s\n", file.c_str());
            ++failures;
        } else {
            std::printf("%s\n", file.c_str());
        }
    }
    return failures == 0 ? 0 : 1;
}
