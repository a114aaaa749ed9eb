#include "googledata/EventColumns.h"

#include <cstdlib>

#include "googledata/PrimitiveTime.h"
#include "googledata/ProtocolNumbers.h"
#include "googledata/SqlText.h"
#include "platform/TextConv.h"

namespace googledata::EventColumns {
namespace {

// Who writes a column besides the INSERT.
constexpr unsigned kServiceOwned = kInsert | kFromService | kLink;
constexpr unsigned kLocalOwned = kInsert | kFromService | kFromLocal;

template <std::string PrimitiveEvent::*Member>
constexpr Column Text(const char* name, unsigned writers) {
    return {
        name, "text", writers, [](const RowValues& v) { return sql::Quote(v.event.*Member); },
        [](PrimitiveEvent& e, const ResultRow& row, size_t i) { e.*Member = sql::Text(row, i); }};
}

template <int32_t PrimitiveEvent::*Member>
constexpr Column Number(const char* name, unsigned writers) {
    return {
        name, "integer", writers, [](const RowValues& v) { return sql::Num(v.event.*Member); },
        [](PrimitiveEvent& e, const ResultRow& row, size_t i) { e.*Member = sql::Int(row, i); }};
}

template <bool PrimitiveEvent::*Member>
constexpr Column Flag(const char* name, unsigned writers) {
    return {name, "integer", writers, [](const RowValues& v) { return sql::Flag(v.event.*Member); },
            [](PrimitiveEvent& e, const ResultRow& row, size_t i) {
                e.*Member = sql::Int(row, i) != 0;
            }};
}

template <uint32_t Derived::*Member>
constexpr Column Computed(const char* name) {
    return {name, "integer", kLocalOwned,
            [](const RowValues& v) { return sql::Num(v.derived.*Member); }, nullptr};
}

}  // namespace

// clang-format off
const std::array<Column, kCount> kColumns = {{
    {"localEventID", "text NOT NULL UNIQUE", kInsert,
     [](const RowValues& v) { return sql::Quote(v.event.localEventID); },
     [](PrimitiveEvent& e, const ResultRow& row, size_t i) { e.localEventID = sql::Text(row, i); }},
    {"calendarURI", "text NOT NULL", kInsert | kFromService | kFromLocal,
     [](const RowValues& v) { return sql::Quote(v.calendarURI); }, nullptr},
    Text<&PrimitiveEvent::id>("id", kServiceOwned),
    Text<&PrimitiveEvent::uid>("uid", kServiceOwned),
    Text<&PrimitiveEvent::editURI>("editURI", kServiceOwned),
    Text<&PrimitiveEvent::published>("published", kServiceOwned),
    Text<&PrimitiveEvent::updated>("updated", kServiceOwned),
    Text<&PrimitiveEvent::startTime>("startTime", kLocalOwned),
    Text<&PrimitiveEvent::endTime>("endTime", kLocalOwned),
    Text<&PrimitiveEvent::title>("title", kLocalOwned),
    Text<&PrimitiveEvent::content>("content", kLocalOwned),
    Text<&PrimitiveEvent::place>("place", kLocalOwned),
    Text<&PrimitiveEvent::author_name>("author_name", kServiceOwned),
    Text<&PrimitiveEvent::author_email>("autohr_email", kServiceOwned),
    Number<&PrimitiveEvent::eventStatus>("eventStatus", kLocalOwned),
    Number<&PrimitiveEvent::transparency>("transparency", kLocalOwned),
    Number<&PrimitiveEvent::visibility>("visibility", kLocalOwned),
    Number<&PrimitiveEvent::flags>("flags", kLocalOwned),
    Number<&PrimitiveEvent::sequence>("sequence", kLocalOwned),
    Flag<&PrimitiveEvent::isSynced>("isSynced", kLocalOwned),
    Text<&PrimitiveEvent::recurrence>("recurrence", kLocalOwned),
    Text<&PrimitiveEvent::originalEvent>("originalEvent", kLocalOwned),
    Text<&PrimitiveEvent::originalStartTime>("originalStartTime", kLocalOwned),
    Text<&PrimitiveEvent::xml>("xml", kServiceOwned),
    Number<&PrimitiveEvent::recurrenceType>("recurrenceType", kLocalOwned),
    Computed<&Derived::utcStartTime>("utcStartTime"),
    Computed<&Derived::utcEndTime>("utcEndTime"),
    Computed<&Derived::selectStartYearMonth>("selectStartYearMonth"),
    Computed<&Derived::selectEndYearMonth>("selectEndYearMonth"),
}};
// clang-format on

Derived Derive(const PrimitiveEvent& e) {
    Derived d;
    if (e.recurrenceType == RECURRENCE_ORIGINAL) {
        return d;
    }
    PrimitiveTime start;
    PrimitiveTime end;
    PrimitiveTime::Parse(platform::Utf8ToWide(e.startTime), start);
    PrimitiveTime::Parse(platform::Utf8ToWide(e.endTime), end);
    d.utcStartTime = static_cast<uint32_t>(PrimitiveTime::PackedUtcKey(start));
    d.utcEndTime = static_cast<uint32_t>(PrimitiveTime::PackedUtcKey(end));
    d.selectStartYearMonth = static_cast<uint32_t>(start.year * 65536 + start.month);
    int endYear = end.year;
    int endMonth = end.month;
    // An all-day event ends (exclusively) at the first of the next month: it
    // belongs to the month before, unless it starts and ends on that 1st.
    const bool sameMonth = start.year == end.year && start.month == end.month;
    if (start.isDate && end.day == 1 && !(sameMonth && start.day == 1)) {
        if (--endMonth == 0) {
            endMonth = 12;
            --endYear;
        }
    }
    d.selectEndYearMonth = static_cast<uint32_t>(endYear * 65536 + endMonth);
    return d;
}

const std::string& List() {
    static const std::string list = [] {
        std::string text;
        for (const Column& c : kColumns) {
            text += std::string(text.empty() ? "" : ",") + "\t" + c.name;
        }
        return text;
    }();
    return list;
}

std::string CreateTable() {
    std::string text = "CREATE TABLE EVENT(";
    for (const Column& c : kColumns) {
        text += std::string("\t") + c.name + " " + c.declaration + ",";
    }
    return text + "\tFOREIGN KEY (calendarURI) REFERENCES CALENDAR (calendarURI));";
}

std::string Insert(const RowValues& values) {
    std::string list;
    for (const Column& c : kColumns) {
        list += (list.empty() ? "" : ",") + c.value(values);
    }
    return "INSERT INTO EVENT(" + List() + ") VALUES (" + list + ")";
}

std::string Assignments(const RowValues& values, Writer writer) {
    std::string text;
    for (const Column& c : kColumns) {
        if ((c.writers & writer) != 0) {
            text += std::string(text.empty() ? "" : ",") + c.name + "=" + c.value(values);
        }
    }
    return text;
}

PrimitiveEvent Read(const ResultRow& row) {
    PrimitiveEvent e;
    for (size_t i = 0; i < kColumns.size(); ++i) {
        if (kColumns[i].read != nullptr) {
            kColumns[i].read(e, row, i);
        }
    }
    if (row.size() > kColumns.size()) {  // the queries that ask for it
        e.localRevision = std::strtoll(row[kColumns.size()].c_str(), nullptr, 10);
    }
    return e;
}

}  // namespace googledata::EventColumns
