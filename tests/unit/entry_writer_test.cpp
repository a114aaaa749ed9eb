// The entry writers: the template of a new event and the edited entry of a
// changed one, read back with the feed reader.
#include "googledata/EntryWriter.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <random>

#include "app/MaintenanceLog.h"
#include "googledata/AtomReader.h"
#include "googledata/XmlContext.h"
#include "tests/support/TestSupport.h"

using namespace googledata;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

const std::string kGd = "http://schemas.google.com/g/2005";

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class EntryWriterTest : public ::testing::Test {
protected:
    EntryWriterTest() { log.SetFolder(dir.path()); }

    // The events of the version 2 fixture page.
    std::vector<PrimitiveEvent> FixtureEvents() {
        std::vector<PrimitiveEvent> events;
        std::string next;
        EXPECT_TRUE(ParseEvents(
            xml, ReadFile(std::string(DAYMARK_SOURCE_DIR) + "/tests/data/event-feed-v2.xml"),
            events, next));
        return events;
    }

    // Reads one written entry back through the feed reader; fails the test
    // when it is not well-formed.
    PrimitiveEvent ReadBack(const std::string& entry) {
        std::vector<PrimitiveEvent> events;
        std::string next;
        EXPECT_TRUE(ParseEvents(xml, "<feed>" + entry + "</feed>", events, next)) << entry;
        return events.empty() ? PrimitiveEvent() : events[0];
    }

    // True when the text is well-formed XML (as the service's parser needs).
    bool WellFormed(const std::string& entry) {
        std::vector<PrimitiveEvent> events;
        std::string next;
        return ParseEvents(xml, "<feed>" + entry + "</feed>", events, next);
    }

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

TEST_F(EntryWriterTest, NewEventTemplate) {
    PrimitiveEvent e;
    e.title = "A & B <1>";
    e.content = "line";
    e.place = "Hall";
    e.transparency = 2;
    e.eventStatus = 3;
    e.flags = 10;
    e.startTime = "2011-05-01T10:00:00.000+09:00";
    e.endTime = "2011-05-01T11:00:00.000+09:00";
    e.reminders.push_back({"alert", 10, false});
    std::string out;
    ASSERT_TRUE(GenerateEventXML(e, out));
    EXPECT_EQ(out,
              "<entry xmlns='http://www.w3.org/2005/Atom' xmlns:gd='" + kGd +
                  "' xmlns:gCal='http://schemas.google.com/gCal/2005'><category scheme='" + kGd +
                  "#kind' term='" + kGd +
                  "#event' /><id></id><title type='text'>A &amp; B &lt;1&gt;</title><content "
                  "type='text'>line</content><gd:transparency value='" +
                  kGd + "#event.transparent'/><gd:eventStatus value='" + kGd +
                  "#event.canceled'/><gd:where valueString='Hall'/><gCal:guestsCanInviteOthers "
                  "value='true'/><gCal:guestsCanModify value='false'/><gCal:guestsCanSeeGuests "
                  "value='true'/><gCal:anyoneCanAddSelf value='false'/><gd:when "
                  "startTime='2011-05-01T10:00:00.000+09:00' "
                  "endTime='2011-05-01T11:00:00.000+09:00'><gd:reminder method='alert' "
                  "minutes='10' /></gd:when></entry>");
}

TEST_F(EntryWriterTest, NewEventEnumerationsAndReminders) {
    struct Row {
        int status;
        int transparency;
        const char* statusText;
        const char* transparencyText;
    };
    const std::array<Row, 4> rows{{
        {1, 1, "event.tentative", "event.opaque"},
        {2, 0, "event.confirmed", "event.opaque"},
        {0, 7, "event.confirmed", "event.opaque"},
        {3, 2, "event.canceled", "event.transparent"},
    }};
    for (const auto& row : rows) {
        PrimitiveEvent e;
        e.eventStatus = row.status;
        e.transparency = row.transparency;
        std::string out;
        GenerateEventXML(e, out);
        EXPECT_NE(out.find("<gd:eventStatus value='" + kGd + "#" + row.statusText + "'/>"),
                  std::string::npos);
        EXPECT_NE(out.find("<gd:transparency value='" + kGd + "#" + row.transparencyText + "'/>"),
                  std::string::npos);
    }
    PrimitiveEvent e;
    e.reminders.push_back({"all", 0, false});
    std::string out;
    GenerateEventXML(e, out);
    EXPECT_EQ(Count(out, "<gd:reminder"), 1u);
    EXPECT_NE(out.find("'><gd:reminder /></gd:when>"), std::string::npos);
    e.reminders.clear();
    GenerateEventXML(e, out);
    EXPECT_EQ(Count(out, "<gd:reminder"), 0u);
}

// A place such as Bob's office must still give well-formed XML.
TEST_F(EntryWriterTest, NewEventWithApostrophesAndQuotesIsWellFormed) {
    PrimitiveEvent e;
    e.id = "";
    e.title = "Bob's \"party\"";
    e.content = "it's <fine> & 'quoted'";
    e.place = "Bob's office \"2F\"";
    e.startTime = "2011-05-01";
    e.endTime = "2011-05-02";
    std::string out;
    GenerateEventXML(e, out);
    // The reader needs the counted elements the template lacks; the text
    // must still parse.
    std::vector<PrimitiveEvent> events;
    std::string next;
    EXPECT_TRUE(ParseEvents(xml, "<feed>" + out + "</feed>", events, next)) << out;
    EXPECT_NE(out.find("valueString='Bob&apos;s office \"2F\"'"), std::string::npos) << out;
    EXPECT_NE(out.find("<title type='text'>Bob's \"party\"</title>"), std::string::npos);
}

TEST_F(EntryWriterTest, UpdatedEventKeepsEntryAndTakesChanges) {
    PrimitiveEvent e = FixtureEvents().at(0);
    e.title = "Dentist \"regular\" & more";
    e.content = "new text";
    e.place = "Bob's \"new\" office";
    e.updated = "2011-05-02T00:00:00.000Z";
    e.startTime = "2011-05-01T12:00:00.000+09:00";
    e.endTime = "2011-05-01T13:00:00.000+09:00";
    e.eventStatus = 1;
    e.transparency = 1;
    e.visibility = 4;
    e.flags = 1 | 4;
    e.sequence = 7;
    e.reminders = {{"sms", 45, false}};
    std::string out;
    ASSERT_TRUE(GenerateUpdatedEventXML(e, xml, out)) << LogText();
    EXPECT_EQ(out.rfind("<entry ", 0), 0u);
    EXPECT_NE(out.find("xmlns=\"http://www.w3.org/2005/Atom\""), std::string::npos);
    EXPECT_NE(out.find("xmlns:gd=\"" + kGd + "\""), std::string::npos);
    EXPECT_NE(out.find("xmlns:gCal=\"http://schemas.google.com/gCal/2005\""), std::string::npos);
    EXPECT_EQ(out.find("app:edited"), std::string::npos);
    EXPECT_NE(out.find("<title>Dentist \"regular\" &amp; more</title>"), std::string::npos);

    const PrimitiveEvent back = ReadBack(out);
    EXPECT_EQ(back.id, e.id);
    EXPECT_EQ(back.uid, e.uid);
    EXPECT_EQ(back.editURI, e.editURI);
    EXPECT_EQ(back.title, e.title);
    EXPECT_EQ(back.content, e.content);
    EXPECT_EQ(back.place, e.place);
    EXPECT_EQ(back.updated, e.updated);
    EXPECT_EQ(back.startTime, e.startTime);
    EXPECT_EQ(back.endTime, e.endTime);
    EXPECT_EQ(back.eventStatus, 1);
    EXPECT_EQ(back.transparency, 1);
    EXPECT_EQ(back.visibility, 4);
    EXPECT_EQ(back.flags, 5);
    EXPECT_EQ(back.sequence, 7);
    ASSERT_EQ(back.reminders.size(), 1u);
    EXPECT_EQ(back.reminders[0].method, "sms");
    EXPECT_EQ(back.reminders[0].minutesBeforeAlarm, 45);
}

TEST_F(EntryWriterTest, UpdatedEventWithoutRemindersGetsMethodNone) {
    PrimitiveEvent e = FixtureEvents().at(0);
    e.reminders.clear();
    std::string out;
    ASSERT_TRUE(GenerateUpdatedEventXML(e, xml, out));
    EXPECT_EQ(Count(out, "<gd:reminder"), 1u) << out;
    EXPECT_NE(out.find("<gd:reminder method=\"none\"/></gd:when>"), std::string::npos) << out;
}

TEST_F(EntryWriterTest, UpdatedSeriesReplacesTopLevelReminders) {
    PrimitiveEvent e = FixtureEvents().at(1);  // two gd:reminder in a row at entry level
    ASSERT_EQ(e.recurrenceType, 1);
    e.recurrence = "DTSTART;VALUE=DATE:20110502\nDTEND;VALUE=DATE:20110503\nRRULE:FREQ=DAILY\n";
    e.reminders = {{"alert", 20, false}, {"email", 60, false}};
    std::string out;
    ASSERT_TRUE(GenerateUpdatedEventXML(e, xml, out));
    const PrimitiveEvent back = ReadBack(out);
    EXPECT_EQ(back.recurrence, e.recurrence);
    ASSERT_EQ(back.reminders.size(), 2u);
    EXPECT_EQ(back.reminders[0].minutesBeforeAlarm, 20);
    EXPECT_EQ(back.reminders[1].method, "email");
    // The old ones (minutes 10 and 15) are gone; the new ones close the entry.
    EXPECT_EQ(out.find("minutes=\"10\""), std::string::npos);
    EXPECT_EQ(out.find("minutes=\"15\""), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 8), "</entry>");
}

TEST_F(EntryWriterTest, UpdateRefusesEntriesItCannotEdit) {
    PrimitiveEvent whole = FixtureEvents().at(0);
    struct Row {
        const char* name;
        std::string xmlText;
    };
    std::string noWhere = whole.xml;
    const auto at = noWhere.find("<gd:where");
    noWhere.erase(at, noWhere.find("/>", at) + 2 - at);
    std::string withDtd = whole.xml;
    withDtd.insert(withDtd.find("<entry"), "<!DOCTYPE entry [<!ENTITY t 'x'>]>");
    const std::array<Row, 6> rows{{
        {"empty", ""},
        {"with a DOCTYPE", withDtd},
        {"no gd:where", noWhere},
        {"not xml", "Error=BadAuthentication"},
        {"truncated", whole.xml.substr(0, whole.xml.size() / 2)},
        {"a feed, not an entry", "<feed><entry/></feed>"},
    }};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PrimitiveEvent e = whole;
        e.xml = row.xmlText;
        std::string out = "unchanged";
        EXPECT_FALSE(GenerateUpdatedEventXML(e, xml, out));
        EXPECT_EQ(out, "unchanged");
    }
    EXPECT_NE(LogText().find("GenerateUpdatedEventXML"), std::string::npos);
}

// The new entry lacks the elements the service adds (uid, published, updated,
// author), which the reader counts; they are added before reading it back.
PrimitiveEvent ReadNewEntryBack(XmlContext& xml, const std::string& entry) {
    std::string complete = entry;
    complete.insert(complete.rfind("</entry>"),
                    "<gCal:uid value='u'/><published>p</published><updated>u</updated>"
                    "<author><name>n</name></author>");
    std::vector<PrimitiveEvent> events;
    std::string next;
    EXPECT_TRUE(ParseEvents(xml, "<feed>" + complete + "</feed>", events, next)) << entry;
    return events.empty() ? PrimitiveEvent() : events[0];
}

// A series made here (or imported) goes up as a series: its rule text in
// gd:recurrence, no gd:when, its reminders in the entry; the reader sees the
// same series again.
TEST_F(EntryWriterTest, NewSeriesCarriesItsRecurrenceAndReminders) {
    PrimitiveEvent e;
    e.title = "weekly";
    e.startTime = "2026-01-05T10:00:00.000+09:00";
    e.endTime = "2026-01-05T11:00:00.000+09:00";
    e.recurrence =
        "DTSTART;TZID=Asia/Tokyo:20260105T100000\nDTEND;TZID=Asia/Tokyo:20260105T110000\n"
        "RRULE:FREQ=WEEKLY;BYDAY=MO;COUNT=4\n";
    e.reminders.push_back({"alert", 15, false});
    std::string out;
    ASSERT_TRUE(GenerateEventXML(e, out));
    EXPECT_EQ(out.find("<gd:when"), std::string::npos) << out;
    EXPECT_NE(out.find("<gd:recurrence>DTSTART;TZID=Asia/Tokyo:20260105T100000\n"),
              std::string::npos)
        << out;
    const PrimitiveEvent back = ReadNewEntryBack(xml, out);
    EXPECT_EQ(back.recurrence, e.recurrence);
    ASSERT_EQ(back.reminders.size(), 1u);
    EXPECT_EQ(back.reminders[0].method, "alert");
    EXPECT_EQ(back.reminders[0].minutesBeforeAlarm, 15);
}

// Both writers carry every title, description and place that XML can carry:
// texts made of control characters XML allows, template markers, CJK and
// astral characters, quotes, ampersands and things that look like references
// or markup are written, read back through the feed reader and compared.
TEST_F(EntryWriterTest, EveryXmlTextRoundTripsThroughBothWriters) {
    const std::array<const char*, 30> pieces{{
        "a",       " ",        "\t",           "\n",     "\r",           "\r\n", "\n\r", "[@0]",
        "[@1]",    "[@4]",     "[@ID]",        "[@8]",   "日本語",       "𠮷",   "😀",    "'",
        "\"",      "&",        "&amp;",        "&quot;", "&#xD;",        "<",    ">",    "]]>",
        "<title>", "\xC2\x85", "\xE2\x80\xA8", "\x7F",   "\xEF\xBF\xBD", "  ",
    }};
    std::mt19937 random(20261210);
    auto generate = [&] {
        std::string text;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            text += pieces[random() % pieces.size()];
        }
        return text;
    };
    const PrimitiveEvent stored = FixtureEvents().at(0);
    for (int round = 0; round < 400; ++round) {
        PrimitiveEvent e = stored;
        e.title = generate();
        e.content = generate();
        e.place = generate();
        SCOPED_TRACE(::testing::PrintToString(e.title) + " / " +
                     ::testing::PrintToString(e.content) + " / " +
                     ::testing::PrintToString(e.place));
        std::string added;
        ASSERT_TRUE(GenerateEventXML(e, added));
        const PrimitiveEvent fromNew = ReadNewEntryBack(xml, added);
        EXPECT_EQ(fromNew.title, e.title) << added;
        EXPECT_EQ(fromNew.content, e.content) << added;
        EXPECT_EQ(fromNew.place, e.place) << added;

        std::string updated;
        ASSERT_TRUE(GenerateUpdatedEventXML(e, xml, updated)) << LogText();
        const PrimitiveEvent fromUpdate = ReadBack(updated);
        EXPECT_EQ(fromUpdate.title, e.title) << updated;
        EXPECT_EQ(fromUpdate.content, e.content) << updated;
        EXPECT_EQ(fromUpdate.place, e.place) << updated;
    }
}

// The reported cases: a title holding a later marker was rewritten with the
// description; CR in text and TAB and LF in the place came back changed.
TEST_F(EntryWriterTest, NewEventKeepsMarkersAndLineEnds) {
    PrimitiveEvent e;
    e.title = "Lunch [@1]";
    e.content = "line1\r\nline2";
    e.place = "Bldg 2\n\tRoom 5";
    std::string out;
    ASSERT_TRUE(GenerateEventXML(e, out));
    EXPECT_NE(out.find("<title type='text'>Lunch [@1]</title>"), std::string::npos) << out;
    EXPECT_NE(out.find("<content type='text'>line1&#xD;\nline2</content>"), std::string::npos)
        << out;
    EXPECT_NE(out.find("valueString='Bldg 2&#xA;&#x9;Room 5'"), std::string::npos) << out;
    const PrimitiveEvent back = ReadNewEntryBack(xml, out);
    EXPECT_EQ(back.title, e.title);
    EXPECT_EQ(back.content, e.content);
    EXPECT_EQ(back.place, e.place);
}

// Text XML 1.0 cannot carry is refused by both writers, whichever field holds
// it; nothing is written.
TEST_F(EntryWriterTest, TextXmlCannotCarryIsRefused) {
    struct Row {
        const char* name;
        std::string text;
    };
    const std::array<Row, 9> rows{{
        {"vertical tab", "a\vb"},
        {"escape", "\x1b[31mred"},
        {"nul", std::string("a\0b", 3)},
        {"U+FFFE", "\xEF\xBF\xBE"},
        {"U+FFFF", "x\xEF\xBF\xBF"},
        {"surrogate", "\xED\xA0\x80"},
        {"stray byte", "caf\xE9"},
        {"overlong slash", "\xC0\xAF"},
        {"cut sequence", "\xE6\x97"},
    }};
    const PrimitiveEvent stored = FixtureEvents().at(0);
    for (const auto& row : rows) {
        for (const char* field : {"title", "content", "place"}) {
            SCOPED_TRACE(std::string(row.name) + " in " + field);
            PrimitiveEvent e = stored;
            std::string& target = std::string(field) == "title"     ? e.title
                                  : std::string(field) == "content" ? e.content
                                                                    : e.place;
            target = "Lunch " + row.text;
            EXPECT_FALSE(IsXmlText(target));
            EXPECT_STREQ(FindUnsendableField(e), field);
            std::string out = "unchanged";
            EXPECT_FALSE(GenerateEventXML(e, out));
            EXPECT_EQ(out, "unchanged");
            EXPECT_FALSE(GenerateUpdatedEventXML(e, xml, out));
            EXPECT_EQ(out, "unchanged");
        }
    }
    EXPECT_NE(LogText().find("GenerateUpdatedEventXML: the event's place holds characters that "
                             "XML 1.0 cannot carry"),
              std::string::npos);
    EXPECT_EQ(FindUnsendableField(stored), nullptr);
}

TEST(EscapeForTemplate, Table) {
    EXPECT_EQ(EscapeForTemplate("A & B <1>", false), "A &amp; B &lt;1&gt;");
    EXPECT_EQ(EscapeForTemplate("Bob's", false), "Bob's");
    EXPECT_EQ(EscapeForTemplate("Bob's", true), "Bob&apos;s");
    EXPECT_EQ(EscapeForTemplate("\"q\"", true), "\"q\"");
    EXPECT_EQ(EscapeForTemplate("", true), "");
    EXPECT_EQ(EscapeForTemplate("a\r\n\tb", false), "a&#xD;\n\tb");
    EXPECT_EQ(EscapeForTemplate("a\r\n\tb", true), "a&#xD;&#xA;&#x9;b");
}

}  // namespace
