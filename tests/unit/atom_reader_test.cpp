// The feed readers on fixtures modelled on the service's own documents
// (tests/data), and on damaged, hostile and oversized input.
#include "googledata/AtomReader.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "app/MaintenanceLog.h"
#include "googledata/XmlContext.h"
#include "tests/support/TestSupport.h"

using namespace googledata;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

std::string Fixture(const std::string& name) {
    return ReadFile(std::string(DAYMARK_SOURCE_DIR) + "/tests/data/" + name);
}

const std::string kFeed =
    "https://www.google.com/calendar/feeds/hanako.sato%40example.com/private/full/";

class AtomReaderTest : public ::testing::Test {
protected:
    AtomReaderTest() { log.SetFolder(dir.path()); }

    // Everything the log received so far.
    std::string LogText() const {
        std::string all;
        for (const auto& f : std::filesystem::directory_iterator(dir.path())) {
            all += ReadFile(f.path().string());
        }
        return all;
    }

    TempDir dir;
    Utility::CMaintenanceLog log;
    XmlContext xml{&log};
};

TEST_F(AtomReaderTest, CalendarList) {
    std::vector<PrimitiveCalendar> calendars{PrimitiveCalendar{}};
    ASSERT_TRUE(ParseCalendars(xml, Fixture("calendar-list-v2.xml"), calendars));
    ASSERT_EQ(calendars.size(), 4u);  // "Team" has no accesslevel and is dropped

    const PrimitiveCalendar& own = calendars[0];
    EXPECT_EQ(own.calendarURI,
              "https://www.google.com/calendar/feeds/hanako.sato%40example.com/private/full");
    EXPECT_EQ(own.id,
              "http://www.google.com/calendar/feeds/default/calendars/hanako.sato%40example.com");
    EXPECT_EQ(own.title, "Hanako Sato");
    EXPECT_EQ(own.summary, "Work & home");
    EXPECT_EQ(own.author, "Hanako Sato");
    EXPECT_EQ(own.accesslevel, 4);
    EXPECT_EQ(own.color, 0x00A35229);
    EXPECT_TRUE(own.selected);
    EXPECT_FALSE(own.hidden);
    EXPECT_EQ(own.timezone, "Asia/Tokyo");
    EXPECT_EQ(own.place, "Tokyo");
    EXPECT_FALSE(own.isHoliday);
    EXPECT_EQ(own.updated, "2011-04-30T22:10:00.000Z");
    EXPECT_EQ(own.flags, 3);

    struct Row {
        const char* title;
        int accesslevel;
        int color;
        bool selected;
        bool hidden;
        bool isHoliday;
        int flags;
    };
    const std::array<Row, 3> rows{{
        {"日本の祝日", 1, 0x007A367A, true, false, true, 1},
        {"Shared", 3, 0xFFFFFF, false, true, false, 3},  // "2952A3" lacks "#"; "TRUE" is not true
        {"Busy", 0, 0xFFFFFF, false, false, false, 0},   // a later unknown level overwrites
    }};
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& c = calendars[i + 1];
        SCOPED_TRACE(rows[i].title);
        EXPECT_EQ(c.title, rows[i].title);
        EXPECT_EQ(c.accesslevel, rows[i].accesslevel);
        EXPECT_EQ(c.color, rows[i].color);
        EXPECT_EQ(c.selected, rows[i].selected);
        EXPECT_EQ(c.hidden, rows[i].hidden);
        EXPECT_EQ(c.isHoliday, rows[i].isHoliday);
        EXPECT_EQ(c.flags, rows[i].flags);
    }
}

// Every word of gCal:accesslevel, its stored number and the flags it gives
// (shown unless "none"; writable from "editor" up).
TEST_F(AtomReaderTest, AccessLevelWordsKeepTheirStoredNumbers) {
    struct Row {
        const char* word;
        int32_t accesslevel;
        int32_t flags;
    };
    const std::array<Row, 8> rows{{
        {"none", 0, 0},
        {"read", 1, 1},
        {"freebusy", 2, 1},
        {"editor", 3, 3},
        {"owner", 4, 3},
        {"root", 5, 3},
        {"Owner", 0, 0},  // the words are matched exactly
        {"", 0, 0},
    }};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.word);
        const std::string feed =
            "<?xml version='1.0' encoding='UTF-8'?><feed xmlns='http://www.w3.org/2005/Atom' "
            "xmlns:gCal='http://schemas.google.com/gCal/2005'><entry><title>C</title>"
            "<content src='" +
            kFeed + "'/><updated>2011-01-01T00:00:00.000Z</updated><gCal:accesslevel value='" +
            row.word + "'/></entry></feed>";
        std::vector<PrimitiveCalendar> calendars;
        ASSERT_TRUE(ParseCalendars(xml, feed, calendars));
        ASSERT_EQ(calendars.size(), 1u);
        EXPECT_EQ(calendars[0].accesslevel, row.accesslevel);
        EXPECT_EQ(calendars[0].flags, row.flags);
    }
}

TEST(ColorFromText, Table) {
    const std::array<std::pair<const char*, int>, 6> rows{{
        {"#2952A3", 0x00A35229},
        {"2952A3", 0xFFFFFF},
        {"x2952A3", 0xFFFFFF},
        {"#2952A", 0xFFFFFF},
        {"", 0xFFFFFF},
        {"#000000", 0},
    }};
    for (const auto& [text, color] : rows) {
        EXPECT_EQ(ColorFromText(text), color) << text;
    }
}

TEST_F(AtomReaderTest, HolidayFeed) {
    std::vector<PrimitiveHoliday> holidays;
    ASSERT_TRUE(ParseHolidays(xml, Fixture("holiday-feed.xml"), holidays));
    ASSERT_EQ(holidays.size(), 3u);  // the entry with only id and date is dropped
    EXPECT_EQ(holidays[0].title, "憲法記念日");
    EXPECT_EQ(holidays[0].date, "2011-05-03");
    EXPECT_EQ(holidays[0].status, 2);
    EXPECT_EQ(
        holidays[0].id,
        "http://www.google.com/calendar/feeds/ja.japanese%23holiday%40group.v.calendar.google.com"
        "/public/full/20110503_60o30dr46oo30e1g60o30dr4ck");
    EXPECT_EQ(holidays[1].title, "みどりの日");
    EXPECT_EQ(holidays[1].status, 0);  // three counted elements are enough
    EXPECT_EQ(holidays[2].status, 3);
}

TEST_F(AtomReaderTest, EventFeedVersion2) {
    std::vector<PrimitiveEvent> events;
    std::string next;
    int startIndex = -1;
    int total = -1;
    ASSERT_TRUE(ParseEvents(xml, Fixture("event-feed-v2.xml"), events, next, &startIndex, &total));
    EXPECT_EQ(next,
              "https://www.google.com/calendar/feeds/hanako.sato%40example.com/private/"
              "full?start-index=8&max-results=7&showdeleted=true");
    EXPECT_EQ(startIndex, 1);
    EXPECT_EQ(total, 23);
    ASSERT_EQ(events.size(), 6u);  // the entry without gd:where is dropped

    // A single event: reminders inside gd:when, entities resolved.
    const PrimitiveEvent& single = events[0];
    EXPECT_EQ(single.id,
              "http://www.google.com/calendar/feeds/default/events/q1single0000000000000000aa");
    EXPECT_EQ(single.uid, "q1single0000000000000000aa@google.com");
    EXPECT_EQ(single.editURI, kFeed + "q1single0000000000000000aa");
    EXPECT_EQ(single.published, "2011-04-20T01:00:00.000Z");
    EXPECT_EQ(single.updated, "2011-04-21T02:30:00.000Z");
    EXPECT_EQ(single.title, "歯医者 \"定期\"");
    EXPECT_EQ(single.content, "Bob's note: 3 < 4 & 5 > 2");
    EXPECT_EQ(single.place, "Bob's office, 2F");
    EXPECT_EQ(single.author_name, "Hanako Sato");
    EXPECT_EQ(single.author_email, "hanako.sato@example.com");
    EXPECT_EQ(single.startTime, "2011-05-01T10:00:00.000+09:00");
    EXPECT_EQ(single.endTime, "2011-05-01T11:00:00.000+09:00");
    EXPECT_EQ(single.eventStatus, 2);
    EXPECT_EQ(single.transparency, 2);
    EXPECT_EQ(single.visibility, 3);
    EXPECT_EQ(single.flags, 2 | 8);
    EXPECT_EQ(single.sequence, 3);
    EXPECT_EQ(single.recurrenceType, 0);
    ASSERT_EQ(single.reminders.size(), 2u);
    EXPECT_EQ(single.reminders[0].method, "email");
    EXPECT_EQ(single.reminders[0].minutesBeforeAlarm, 30);
    EXPECT_EQ(single.reminders[1].method, "alert");
    EXPECT_EQ(single.reminders[1].minutesBeforeAlarm, 10);
    EXPECT_FALSE(single.reminders[1].isAlarmed);
    EXPECT_EQ(single.xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<entry ", 0), 0u)
        << single.xml.substr(0, 80);
    EXPECT_NE(single.xml.find("q1single0000000000000000aa@google.com"), std::string::npos);
    EXPECT_EQ(single.xml.find("q2series"), std::string::npos);  // only its own entry

    // A series: the recurrence text as sent (VTIMEZONE, two trailing line
    // ends); entry-level reminders only, not the one of the later gd:when.
    const PrimitiveEvent& series = events[1];
    EXPECT_EQ(series.recurrenceType, 1);
    EXPECT_EQ(series.published, "0001-12-31T00:00:00.000Z");
    EXPECT_EQ(series.recurrence.rfind("DTSTART;TZID=Asia/Tokyo:20110502T190000\nDTEND;", 0), 0u);
    EXPECT_NE(series.recurrence.find("BEGIN:VTIMEZONE\nTZID:Asia/Tokyo\n"), std::string::npos);
    EXPECT_EQ(series.recurrence.substr(series.recurrence.size() - 15), "END:VTIMEZONE\n\n");
    EXPECT_EQ(series.place, "");
    EXPECT_EQ(series.startTime, "2011-05-02T19:00:00.000+09:00");
    ASSERT_EQ(series.reminders.size(), 2u);
    EXPECT_EQ(series.reminders[0].method, "email");
    EXPECT_EQ(series.reminders[1].minutesBeforeAlarm, 15);

    // An exception of that series.
    const PrimitiveEvent& exception = events[2];
    EXPECT_EQ(exception.recurrenceType, 2);
    EXPECT_EQ(exception.originalEvent, kFeed + "q2series000000000000000bbb");
    EXPECT_EQ(exception.originalStartTime, "2011-05-09T19:00:00.000+09:00");
    EXPECT_EQ(exception.startTime, "2011-05-09T20:00:00.000+09:00");
    EXPECT_EQ(exception.eventStatus, 1);
    EXPECT_EQ(exception.visibility, 4);
    EXPECT_EQ(exception.flags, 15);
    ASSERT_EQ(exception.reminders.size(), 1u);
    EXPECT_EQ(exception.reminders[0].minutesBeforeAlarm, 5);

    // A canceled all-day event.
    const PrimitiveEvent& canceled = events[3];
    EXPECT_EQ(canceled.eventStatus, 3);
    EXPECT_EQ(canceled.startTime, "2011-05-03");
    EXPECT_EQ(canceled.endTime, "2011-05-06");
    EXPECT_EQ(canceled.sequence, 2);
    EXPECT_EQ(canceled.visibility, 1);
    EXPECT_TRUE(canceled.reminders.empty());

    // Of two gd:when elements only the first counts.
    const PrimitiveEvent& twoWhens = events[4];
    EXPECT_EQ(twoWhens.title, "Two whens");
    EXPECT_EQ(twoWhens.startTime, "2011-05-10T09:00:00.000+09:00");
    ASSERT_EQ(twoWhens.reminders.size(), 1u);
    EXPECT_EQ(twoWhens.reminders[0].minutesBeforeAlarm, 1);

    // Wrong values read as 0, unknown elements are ignored.
    const PrimitiveEvent& odd = events[5];
    EXPECT_EQ(odd.eventStatus, 0);
    EXPECT_EQ(odd.transparency, 0);
    EXPECT_EQ(odd.visibility, 0);
    EXPECT_EQ(odd.flags, 0);
    EXPECT_EQ(odd.sequence, 12);
    EXPECT_EQ(odd.uid, "imported-123@example.org");
    EXPECT_EQ(odd.content, "<b>bold</b>");
    EXPECT_EQ(odd.endTime, "");
    ASSERT_EQ(odd.reminders.size(), 2u);
    EXPECT_EQ(odd.reminders[0].minutesBeforeAlarm, 0);
    EXPECT_EQ(odd.reminders[1].minutesBeforeAlarm, 0);
}

TEST_F(AtomReaderTest, EventFeedVersion1LastPage) {
    std::vector<PrimitiveEvent> events;
    std::string next;
    int startIndex = -1;
    int total = -1;
    ASSERT_TRUE(ParseEvents(xml, Fixture("event-feed-v1.xml"), events, next, &startIndex, &total));
    EXPECT_EQ(next, "");  // no next link on the last page
    EXPECT_EQ(startIndex, 26);
    EXPECT_EQ(total, 26);
    ASSERT_EQ(events.size(), 1u);
    const PrimitiveEvent& e = events[0];
    EXPECT_EQ(e.editURI,
              "http://www.google.com/calendar/feeds/taro.yamada%40example.com/private/full/"
              "v1event00000000000000000a/63348000000");
    EXPECT_EQ(e.content, "Line one\nLine two");
    EXPECT_EQ(e.author_name, "Taro Yamada");
    EXPECT_EQ(e.startTime, "2008-06-24T13:00:00.000-03:00");
    EXPECT_EQ(e.place, "Sala 3");
    EXPECT_EQ(e.sequence, 4);
    ASSERT_EQ(e.reminders.size(), 2u);
    EXPECT_EQ(e.reminders[1].method, "email");
    EXPECT_EQ(e.reminders[1].minutesBeforeAlarm, 1440);

    // Without places for them, the paging numbers are simply not written.
    EXPECT_TRUE(ParseEvents(xml, Fixture("event-feed-v1.xml"), events, next));
}

TEST_F(AtomReaderTest, EmptyFeedAndOutputsCleared) {
    std::vector<PrimitiveEvent> events(3);
    std::string next;
    EXPECT_TRUE(ParseEvents(xml,
                            "<?xml version='1.0' encoding='UTF-8'?><feed "
                            "xmlns='http://www.w3.org/2005/Atom'><id>x</id></feed>",
                            events, next));
    EXPECT_TRUE(events.empty());
}

// Truncated at every 61st byte: never read as a complete page.
TEST_F(AtomReaderTest, TruncatedFeedIsRefused) {
    const std::string whole = Fixture("event-feed-v2.xml");
    std::vector<PrimitiveEvent> events;
    for (size_t cut = 0; cut + 8 < whole.size(); cut += 61) {
        std::string next;
        ASSERT_FALSE(ParseEvents(xml, whole.substr(0, cut), events, next)) << cut;
        EXPECT_TRUE(events.empty()) << cut;
    }
    EXPECT_NE(LogText().find("Fatal Error at file \"fake_buffer\", line 1, column "),
              std::string::npos);
    EXPECT_NE(LogText().find("[ERR!] ParseEvents: the document is not well-formed"),
              std::string::npos);
}

TEST_F(AtomReaderTest, BadInputIsRefusedAndLogged) {
    struct Row {
        const char* name;
        std::string body;
        const char* logged;
    };
    const std::string head = "<?xml version='1.0' encoding='UTF-8'?>";
    std::string deep = head + "<feed><entry><content>";
    for (int i = 0; i < 100000; ++i) {
        deep += "<a>";
    }
    for (int i = 0; i < 100000; ++i) {
        deep += "</a>";
    }
    deep += "</content></entry></feed>";
    const std::string bomb =
        head +
        "<!DOCTYPE feed [<!ENTITY a '0123456789'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
        "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'><!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'>"
        "<!ENTITY e '&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;'><!ENTITY f '&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;'>]>"
        "<feed><entry><title>&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;</title></entry></feed>";
    const std::array<Row, 7> rows{{
        {"empty", "", "Fatal Error at file \"fake_buffer\""},
        {"html error page",
         "<!DOCTYPE html><html><head><meta charset=utf-8><title>Error 502 (Server "
         "Error)!!1</title></head><body><p>502. That's an error.</body></html>",
         "ParseEvents: the document has a DOCTYPE"},
        {"well-formed html page",
         "<HTML><HEAD><TITLE>Moved Temporarily</TITLE></HEAD><BODY>moved</BODY></HTML>",
         "ParseEvents: the document is a HTML, not a feed"},
        {"invalid utf-8", head + "<feed><entry><title>\xff\xfe\xc3\x28</title></entry></feed>",
         "ParseEvents"},
        {"deeply nested", deep, "ParseEvents: elements nested deeper than 64 levels"},
        {"entity expansion", bomb, "ERR!"},
        {"plain text", "Error=BadAuthentication\n", "Fatal Error"},
    }};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<PrimitiveEvent> events;
        std::string next;
        EXPECT_FALSE(ParseEvents(xml, row.body, events, next));
        EXPECT_TRUE(events.empty());
        EXPECT_NE(LogText().find(row.logged), std::string::npos) << LogText();
        std::vector<PrimitiveCalendar> calendars;
        EXPECT_FALSE(ParseCalendars(xml, row.body, calendars));
        std::vector<PrimitiveHoliday> holidays;
        EXPECT_FALSE(ParseHolidays(xml, row.body, holidays));
    }
}

// A document may not make the parser read files or the network.
TEST_F(AtomReaderTest, ExternalEntitiesAreNotLoaded) {
    TempDir secret;
    testsupport::WriteFile(secret / "secret.txt", "TOP SECRET");
    const std::string body =
        "<?xml version='1.0'?><!DOCTYPE feed [<!ENTITY x SYSTEM 'file://" + secret.path() +
        "/secret.txt'>]><feed><entry><id>1</id><gCal:uid value='u'/><published>p</published>"
        "<updated>u</updated><title>&x;</title><author><name>n</name></author>"
        "<gd:eventStatus value='v'/><gd:where valueString=''/></entry></feed>";
    std::vector<PrimitiveEvent> events;
    std::string next;
    ParseEvents(xml, body, events, next);
    for (const auto& e : events) {
        EXPECT_EQ(e.title.find("TOP SECRET"), std::string::npos);
        EXPECT_EQ(e.xml.find("TOP SECRET"), std::string::npos);
    }
}

// The protocol never carries a DTD. A document with one is refused before
// its internal subset is read: no content model is built (validating the
// two fixtures took seconds and gigabytes), no entity is declared (the
// multiplying one below turned 92 KB into 89 MB of text) and nothing is
// loaded from outside. A well-formed feed with a harmless DOCTYPE is refused
// too: nothing the service sends has one.
TEST_F(AtomReaderTest, DocumentsWithADoctypeAreRefused) {
    const std::string head = "<?xml version='1.0' encoding='UTF-8'?>";
    const std::string multiplying = head + "<!DOCTYPE feed [<!ENTITY a '" +
                                    std::string(89000, 'x') +
                                    "'>]><feed xmlns='http://www.w3.org/2005/Atom'><entry><title>" +
                                    [] {
                                        std::string refs;
                                        for (int i = 0; i < 999; ++i) {
                                            refs += "&a;";
                                        }
                                        return refs;
                                    }() +
                                    "</title></entry></feed>";
    const std::string valid = Fixture("event-feed-v2.xml");
    const std::string withDoctype = valid.substr(0, valid.find("<feed")) + "<!DOCTYPE feed>" +
                                    valid.substr(valid.find("<feed"));
    struct Row {
        const char* name;
        std::string body;
    };
    const std::array<Row, 6> rows{{
        {"content model, 16 steps", Fixture("hostile/dtd-content-model-16.xml")},
        {"content model, 20 steps", Fixture("hostile/dtd-content-model-20.xml")},
        {"multiplying entity", multiplying},
        {"external subset", head + "<!DOCTYPE feed SYSTEM 'http://127.0.0.1:9/feed.dtd'><feed/>"},
        {"element declaration", head + "<!DOCTYPE feed [<!ELEMENT feed ANY>]><feed/>"},
        {"service feed with a DOCTYPE", withDoctype},
    }};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<PrimitiveEvent> events;
        std::string next;
        EXPECT_FALSE(ParseEvents(xml, row.body, events, next));
        EXPECT_TRUE(events.empty());
        std::vector<PrimitiveCalendar> calendars;
        EXPECT_FALSE(ParseCalendars(xml, row.body, calendars));
        std::vector<PrimitiveHoliday> holidays;
        EXPECT_FALSE(ParseHolidays(xml, row.body, holidays));
    }
    const std::string text = LogText();
    EXPECT_NE(text.find("[ERR!] ParseEvents: the document has a DOCTYPE, which is refused"),
              std::string::npos);
    EXPECT_NE(text.find("[ERR!] ParseHolidays: the document has a DOCTYPE, which is refused"),
              std::string::npos);
    // Refused before any validation: not one complaint about the content.
    EXPECT_EQ(text.find("Message: "), std::string::npos) << text;
    // The parser is whole afterwards.
    std::vector<PrimitiveEvent> events;
    std::string next;
    EXPECT_TRUE(ParseEvents(xml, valid, events, next));
    EXPECT_FALSE(events.empty());
}

TEST_F(AtomReaderTest, TwentyMegabyteFeedIsReadWhole) {
    const std::string page = Fixture("event-feed-v2.xml");
    const auto first = page.find("<entry");
    const auto end = page.find("</entry>", first) + 8;
    const std::string entry = page.substr(first, end - first);
    std::string big = page.substr(0, first);
    size_t count = 0;
    while (big.size() < 20u * 1024 * 1024) {
        big += entry;
        ++count;
    }
    big += "</feed>";
    std::vector<PrimitiveEvent> events;
    std::string next;
    ASSERT_TRUE(ParseEvents(xml, big, events, next));
    EXPECT_EQ(events.size(), count);
    EXPECT_EQ(events.back().title, "歯医者 \"定期\"");
}

}  // namespace
