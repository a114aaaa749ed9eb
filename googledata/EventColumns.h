// googledata::EventColumns: the columns of the EVENT table, described once
// in table order: each column's name, its declaration in CREATE TABLE, the
// statements that write it, how its SQL value is made from an event and how
// a row's text is read back. CalendarEventDB builds its column list, the
// CREATE TABLE, the INSERT, the two UPDATEs, the link of a local row to its
// service entry and the row read from this one table (docs/store.md).
//
// The names, order and declarations are those of every database file
// written so far; a column is only ever added at the end (by ALTER TABLE,
// like localRevision, which is not in this table). Constants and pure
// functions; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "googledata/PrimitiveEvent.h"
#include "googledata/WrenSQLite.h"

namespace googledata::EventColumns {

// The four columns computed from an event's times when its row is written:
// packed UTC keys of start and end, and year * 65536 + month of the first
// and last month it touches. All 0 for a recurring series.
struct Derived {
    uint32_t utcStartTime = 0;
    uint32_t utcEndTime = 0;
    uint32_t selectStartYearMonth = 0;
    uint32_t selectEndYearMonth = 0;
};

Derived Derive(const PrimitiveEvent& event);

// What a row is written from.
struct RowValues {
    const PrimitiveEvent& event;
    const std::string& calendarURI;  // the calendar the statement names
    Derived derived;
};

// The statements that write a column.
enum Writer : unsigned {
    kInsert = 1,       // a new row (AddEvent)
    kFromService = 2,  // an entry from the service (UpdateEventFromGoogleSide)
    kFromLocal = 4,    // a local edit (UpdateEventFromLocalSide)
    kLink = 8,         // a local row linked to its service entry (LinkServiceEntry)
};

struct Column {
    const char* name;
    const char* declaration;                        // what follows the name in CREATE TABLE
    unsigned writers;                               // Writer bits
    std::string (*value)(const RowValues& values);  // the SQL literal
    // Takes column `index` of `row` into the event; null for columns not
    // read back (the calendar is the query's, the computed columns the
    // store's).
    void (*read)(PrimitiveEvent& event, const ResultRow& row, size_t index);
};

inline constexpr size_t kCount = 29;
extern const std::array<Column, kCount> kColumns;

// "\tlocalEventID,\tcalendarURI,..." in table order (SELECT and INSERT).
const std::string& List();
// The table's CREATE TABLE statement.
std::string CreateTable();
// The INSERT of a whole new row.
std::string Insert(const RowValues& values);
// "name=value,..." of the columns `writer` writes, in table order.
std::string Assignments(const RowValues& values, Writer writer);
// An event from a row of List() (and localRevision after it when the query
// asked for it).
PrimitiveEvent Read(const ResultRow& row);

}  // namespace googledata::EventColumns
