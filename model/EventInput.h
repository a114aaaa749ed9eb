// Model::ParseInput: reads the one line typed into the event registration
// window ("10:00 歯医者", "１０時００－１２時３０ 会議") into a time range of
// the day and a title. Plain text in, plain values out; no window, no clock.
// Any thread.
#pragma once

#include <string>

namespace Model {

struct ParsedInput {
    // The end lies before the start: the line is refused as a whole (no
    // time, the whole line as the title).
    bool error = false;
    // The line starts with a time part; without one the event is all-day.
    bool hasTime = false;
    int startHour = 0;
    int startMinute = 0;
    int endHour = 0;
    int endMinute = 0;
    // The rest of the line (the whole trimmed line when it has no time part).
    std::wstring title;
};

// Parses a line:
//  - blanks (ASCII space, tab, ideographic space U+3000) around the line are
//    dropped; the first ASCII or ideographic space splits the time part from
//    the title;
//  - the time part is a start, optionally a separator ("-", "－", "ー", "～",
//    "〜" or "から") and an end; a separator with nothing after it leaves the
//    start alone ("10時から");
//  - a time is hours and minutes joined by ":", "：" or "時" (after "時" the
//    minutes may be left out and may be followed by "分"); full-width digits
//    count as digits; hours 0-23, minutes 0-59;
//  - with a start alone the end is one hour later, or the start itself when
//    the start hour is 23;
//  - an end before the start is an error; an end equal to the start is not.
// A time part that does not read as a time is no error: the whole line is
// the title.
ParsedInput ParseInput(const std::wstring& line);

}  // namespace Model
