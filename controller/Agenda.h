// The command line of the daymark program and the agenda it prints: what the
// calendar windows would show for a run of days (events with their series
// expanded, and holidays), one line per entry in local time, read from the
// database of the configured account (or of local calendar mode) without
// writing anything, so it works while Daymark runs.
//
// Qt-free. RunCommandLine is called by main before any Qt application object
// or single-instance lock exists; the other functions are its parts, for
// tests. All run on the calling thread; nothing is shared.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/Time.h"

namespace Controller {

class CCalendarManager;

// One line of the agenda.
struct AgendaEntry {
    platform::CTime start;  // local; all-day entries: local midnight
    platform::CTime end;    // exclusive
    bool allDay = false;
    bool holiday = false;
    std::string calendarId;  // the calendar's id ("name@example.com", "localEvent")
    std::string title;       // UTF-8
};

// What the command line asks for.
struct CommandLine {
    enum class Action {
        kStartProgram,  // no option of ours: start the calendar windows
        kAgenda,
        kExport,  // --export FILE [--calendar ID]
        kImport,  // --import FILE [--calendar ID]
        kHelp,
        kError,  // `error` says what is wrong
    };
    Action action = Action::kStartProgram;
    bool tsv = false;
    platform::CTime firstDay;  // local midnights, both days included
    platform::CTime lastDay;
    std::string file;        // of --export / --import
    std::string calendarId;  // of --calendar; empty: every calendar / the default one
    std::string error;
};

// Reads the arguments (argv[1] on; options in any order). `today` is any
// time of the day the agenda starts on by default. Options of the Qt
// platform (-platform, -display, ...) are left for the program.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const platform::CTime& today);

// The entries the windows would show on the days firstDay..lastDay (local
// midnights, both included), through the manager's reads, sorted by start
// (on one start: holidays, then all-day events, then by end and title).
// False when the manager's reads fail.
bool CollectAgenda(CCalendarManager& manager, const platform::CTime& firstDay,
                   const platform::CTime& lastDay, std::vector<AgendaEntry>& out);

// Tab-separated lines: local start and exclusive end (YYYY-MM-DDTHH:MM),
// all-day (0/1), holiday (0/1), calendar id, title (tabs and line breaks as
// blanks).
std::string FormatAgendaTsv(const std::vector<AgendaEntry>& entries);
// Lines for a person to read.
std::string FormatAgendaText(const std::vector<AgendaEntry>& entries);

// The calendar id in a calendar's feed URI (".../feeds/<escaped id>/...",
// unescaped), or the URI itself when it has none ("localEvent").
std::string CalendarIdOfUri(const std::string& calendarURI);

// The usage text of --help.
std::string CommandLineHelp();

// Runs what the command line asks for when it is not to start the program:
// prints the agenda or the help to `out`, exports or imports a file, or a message to `err`. Returns
// the exit status (0 done, 1 no database, 2 a wrong command line, 3 a file that could not be read,
// was refused or could not be written), or nullopt when the program is to start.
std::optional<int> RunCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace Controller
