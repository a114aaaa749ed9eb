#include "controller/Agenda.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <list>
#include <ostream>

#include "app/AccountScrambler.h"
#include "controller/CalendarManager.h"
#include "googledata/ProtocolNumbers.h"
#include "model/Event.h"
#include "model/Holiday.h"
#include "platform/Folders.h"
#include "platform/Profile.h"
#include "platform/TextConv.h"

namespace Controller {
namespace {

using platform::CTime;

constexpr int64_t kDay = 86400;
constexpr int kDefaultDaysAfter = 7;
// The longest agenda: ten years (every month of it is read and expanded).
constexpr int64_t kMaxDays = 10 * 366;
constexpr size_t kAccountBuffer = 512;

// Options of the Qt platform that the program accepts (with one or two
// dashes, a value after "=" or in the next argument).
const char* const kQtOptionsWithValue[] = {
    "platform",
    "platformpluginpath",
    "platformtheme",
    "plugin",
    "qmljsdebugger",
    "qwindowgeometry",
    "qwindowicon",
    "qwindowtitle",
    "session",
    "display",
    "geometry",
    "style",
    "stylesheet",
    "title",
    "visual",
    "ncols",
    "cmap",
    "name",
    "fn",
    "font",
    "bg",
    "background",
    "fg",
    "foreground",
    "btn",
    "button",
    "im",
    "inputstyle",
};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// Whether `arg` is an option of the Qt platform; `takesValue` when its value
// is the next argument.
bool IsQtOption(const std::string& arg, bool& takesValue) {
    takesValue = false;
    if (arg.size() < 2 || arg[0] != '-') {
        return false;
    }
    std::string name = arg.substr(arg[1] == '-' ? 2 : 1);
    const size_t equals = name.find('=');
    const bool inlineValue = equals != std::string::npos;
    name = name.substr(0, equals);
    for (const char* option : kQtOptionsWithValue) {
        if (name == option) {
            takesValue = !inlineValue;
            return true;
        }
    }
    for (const char* flag : kQtFlags) {
        if (name == flag && !inlineValue) {
            return true;
        }
    }
    return false;
}

// Local midnight of a "YYYY-MM-DD" date; false for any other text or a day
// the calendar does not have.
bool ParseDay(const std::string& text, CTime& out) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    const int year = std::atoi(text.substr(0, 4).c_str());
    const int month = std::atoi(text.substr(5, 2).c_str());
    const int day = std::atoi(text.substr(8, 2).c_str());
    if (year < 1970 || year > 3000 || month < 1 || month > 12 || day < 1 || day > 31) {
        return false;
    }
    const CTime midnight(year, month, day, 0, 0, 0);
    if (midnight.GetDay() != day || midnight.GetMonth() != month) {
        return false;  // 2026-02-30
    }
    out = midnight;
    return true;
}

// Local midnight `days` days after the local day of `t`.
CTime MidnightAfter(const CTime& t, int days) {
    std::tm tm{};
    t.GetLocalTm(tm);
    tm.tm_mday += days;
    tm.tm_hour = 0;
    tm.tm_min = 0;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    return CTime(static_cast<int64_t>(std::mktime(&tm)));
}

std::string OneLine(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(text[i + 1] & 0xFF) &&
            std::isxdigit(text[i + 2] & 0xFF)) {
            out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

const char* WeekdayName(const CTime& t) {
    static const char* const kNames[] = {"日", "月", "火", "水", "木", "金", "土"};
    std::tm tm{};
    t.GetLocalTm(tm);
    return kNames[tm.tm_wday % 7];
}

std::string Day(const CTime& t) {
    return t.Format("%Y-%m-%d") + " (" + WeekdayName(t) + ")";
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, const CTime& today) {
    CommandLine line;
    bool agenda = false;
    bool help = false;
    int fileActions = 0;
    std::vector<std::string> dates;
    std::string unknown;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool takesValue = false;
        if (arg == "--agenda") {
            agenda = true;
        } else if (arg == "--export" || arg == "--import" || arg == "--calendar") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                if (unknown.empty()) {
                    unknown = arg;  // reported below as a missing value
                }
                continue;
            }
            const std::string& value = args[++i];
            if (arg == "--calendar") {
                line.calendarId = value;
            } else {
                ++fileActions;
                line.file = value;
                line.action =
                    arg == "--export" ? CommandLine::Action::kExport : CommandLine::Action::kImport;
            }
        } else if (arg == "--tsv") {
            line.tsv = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (!arg.empty() && arg[0] != '-') {
            dates.push_back(arg);
        } else if (IsQtOption(arg, takesValue)) {
            if (takesValue) {
                ++i;  // its value
            }
        } else if (unknown.empty()) {
            unknown = arg;
        }
    }
    auto fail = [&line](const std::string& message) {
        line.action = CommandLine::Action::kError;
        line.error = message;
        return line;
    };
    if (help) {
        line.action = CommandLine::Action::kHelp;
        return line;
    }
    if (unknown == "--export" || unknown == "--import" || unknown == "--calendar") {
        return fail(unknown + " の後にファイル名 (--calendar はカレンダー ID) を指定してください");
    }
    if (!unknown.empty()) {
        return fail("不明なオプションです: " + unknown);
    }
    if (fileActions > 0) {
        if (fileActions > 1 || agenda) {
            return fail("--agenda、--export、--import は 1 つだけ指定してください");
        }
        if (line.tsv) {
            return fail("--tsv は --agenda と一緒に指定してください");
        }
        if (!dates.empty()) {
            return fail("不明な引数です: " + dates.front());
        }
        return line;
    }
    if (!line.calendarId.empty()) {
        return fail("--calendar は --export か --import と一緒に指定してください");
    }
    if (!agenda) {
        if (line.tsv) {
            return fail("--tsv は --agenda と一緒に指定してください");
        }
        if (!dates.empty()) {
            return fail("不明な引数です: " + dates.front());
        }
        return line;  // start the program
    }
    if (dates.size() > 2) {
        return fail("日付は 2 つまで指定できます: " + dates[2]);
    }
    line.firstDay = MidnightAfter(today, 0);
    if (!dates.empty() && !ParseDay(dates[0], line.firstDay)) {
        return fail("日付は YYYY-MM-DD の形で指定してください: " + dates[0]);
    }
    line.lastDay = MidnightAfter(line.firstDay, kDefaultDaysAfter);
    if (dates.size() > 1 && !ParseDay(dates[1], line.lastDay)) {
        return fail("日付は YYYY-MM-DD の形で指定してください: " + dates[1]);
    }
    if (line.lastDay < line.firstDay) {
        return fail("終わりの日 " + dates[1] + " が始めの日 " + dates[0] + " より前です");
    }
    if (line.lastDay - line.firstDay > kMaxDays * kDay) {
        return fail("期間は " + std::to_string(kMaxDays / 366) + " 年までです: " + dates[0] + " " +
                    dates[1]);
    }
    line.action = CommandLine::Action::kAgenda;
    return line;
}

std::string CalendarIdOfUri(const std::string& uri) {
    static const std::string kFeeds = "/feeds/";
    const size_t at = uri.find(kFeeds);
    if (at == std::string::npos) {
        return uri;
    }
    const std::string rest = uri.substr(at + kFeeds.size());
    return Unescape(rest.substr(0, rest.find('/')));
}

bool CollectAgenda(CCalendarManager& manager, const CTime& firstDay, const CTime& lastDay,
                   std::vector<AgendaEntry>& out) {
    out.clear();
    // The days asked for, by their local midnights, and the months that hold
    // them (a month's reads include the events that began before it and run
    // into it).
    std::vector<CTime> days;
    for (int i = 0;; ++i) {
        const CTime day = MidnightAfter(firstDay, i);
        if (day > lastDay) {
            break;
        }
        days.push_back(day);
    }
    const CTime rangeEnd = MidnightAfter(lastDay, 1);
    const int firstMonth = firstDay.GetYear() * 12 + firstDay.GetMonth() - 1;
    const int lastMonth = lastDay.GetYear() * 12 + lastDay.GetMonth() - 1;
    const int year = firstMonth / 12;
    const int month = firstMonth % 12 + 1;
    const int count = lastMonth - firstMonth + 1;

    std::list<Model::Event> events;
    if (!manager.GetEvents(events, year, month, count)) {
        return false;
    }
    std::list<Model::Holiday> holidays;
    if (!manager.GetHolidays(holidays, year, month, count, L"")) {
        return false;
    }
    for (const Model::Event& e : events) {
        // Only the days near the event can show it.
        const CTime last = std::max(e.startTime, e.endTime) + kDay;
        auto day = std::lower_bound(days.begin(), days.end(), e.startTime - 2 * kDay);
        for (; day != days.end() && *day <= last; ++day) {
            if (e.OccursInDay(*day)) {
                out.push_back({e.startTime, e.endTime, e.isAllDay, false,
                               CalendarIdOfUri(platform::WideToUtf8(e.calendarURI)),
                               platform::WideToUtf8(e.title)});
                break;
            }
        }
    }
    for (const Model::Holiday& h : holidays) {
        if (h.date >= firstDay && h.date < rangeEnd) {
            out.push_back({h.date, MidnightAfter(h.date, 1), true, true,
                           CalendarIdOfUri(platform::WideToUtf8(h.calendarURI)),
                           platform::WideToUtf8(h.title)});
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const AgendaEntry& a, const AgendaEntry& b) {
        if (a.start != b.start) {
            return a.start < b.start;
        }
        if (a.holiday != b.holiday) {
            return a.holiday;
        }
        if (a.allDay != b.allDay) {
            return a.allDay;
        }
        if (a.end != b.end) {
            return a.end < b.end;
        }
        return a.title < b.title;
    });
    return true;
}

std::string FormatAgendaTsv(const std::vector<AgendaEntry>& entries) {
    std::string text;
    for (const AgendaEntry& e : entries) {
        text += e.start.Format("%Y-%m-%dT%H:%M") + '\t' + e.end.Format("%Y-%m-%dT%H:%M") + '\t' +
                (e.allDay ? '1' : '0') + '\t' + (e.holiday ? '1' : '0') + '\t' +
                OneLine(e.calendarId) + '\t' + OneLine(e.title) + '\n';
    }
    return text;
}

std::string FormatAgendaText(const std::vector<AgendaEntry>& entries) {
    std::string text;
    for (const AgendaEntry& e : entries) {
        std::string when;
        if (e.holiday) {
            when = "祝日";
        } else if (e.allDay) {
            const CTime lastDay = MidnightAfter(e.end, -1);
            when = lastDay > e.start ? "終日 〜" + Day(lastDay) : "終日";
        } else if (MidnightAfter(e.start, 0) == MidnightAfter(e.end, 0) ||
                   e.end == MidnightAfter(e.start, 1)) {
            when = e.start.Format("%H:%M") + "-" + e.end.Format("%H:%M");
        } else {
            when = e.start.Format("%H:%M") + "-" + Day(e.end) + " " + e.end.Format("%H:%M");
        }
        text += Day(e.start) + " " + when + "  " + OneLine(e.title) + '\n';
    }
    return text;
}

std::string CommandLineHelp() {
    return "使い方: daymark [--agenda [FROM [TO]] [--tsv]] [--export FILE | --import FILE]\n"
           "               [--calendar ID] [--help]\n"
           "\n"
           "オプションなしで起動すると、カレンダーをデスクトップに表示します。\n"
           "\n"
           "  --agenda [FROM [TO]]  FROM から TO までの日 (両日を含む) に、カレンダーが表示する\n"
           "                        予定と祝日を 1 件 1 行で表示して終了します。日付は "
           "YYYY-MM-DD。\n"
           "                        FROM の既定は今日、TO の既定は FROM の 7 日後です。\n"
           "                        期間は 10 年まで。Daymark の起動中でも使え、何も書きません。\n"
           "  --tsv                 --agenda の出力をタブ区切りにします。列は開始 "
           "(YYYY-MM-DDTHH:MM)、\n"
           "                        終了 (その時刻を含まない)、終日 (0/1)、祝日 (0/1)、カレンダー "
           "ID、\n"
           "                        タイトルです。\n"
           "  --export FILE         すべてのカレンダー (--calendar ID ならその 1 つ) の予定を\n"
           "                        iCalendar (RFC 5545) のファイルに書き出します。\n"
           "  --import FILE         iCalendar のファイルの予定を書き込めるカレンダー (ローカル\n"
           "                        モードではローカルのカレンダー、--calendar ID ならそれ) に\n"
           "                        取り込みます。同じ UID の予定は更新します。次の同期で\n"
           "                        アップロードされます。壊れたファイルは行番号を示して断り、\n"
           "                        何も取り込みません。\n"
           "  --calendar ID         --export と --import のカレンダー (--tsv の ID 列の値)。\n"
           "  -h, --help            この説明を表示して終了します。\n"
           "\n"
           "終了コード: 0 成功、1 データベースがない、2 コマンドラインの誤り、\n"
           "3 ファイルを読めない・断った・書けない。\n";
}

std::optional<int> RunCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    const CommandLine line = ParseCommandLine(args, CTime::GetCurrentTime());
    switch (line.action) {
        case CommandLine::Action::kStartProgram:
            return std::nullopt;
        case CommandLine::Action::kHelp:
            out << CommandLineHelp();
            return 0;
        case CommandLine::Action::kError:
            err << "daymark: " << line.error << "\n"
                << "使い方は daymark --help で表示します。\n";
            return 2;
        case CommandLine::Action::kAgenda:
        case CommandLine::Action::kExport:
        case CommandLine::Action::kImport:
            break;
    }

    // The data folder, its configuration and the account's database, as
    // the program would find them, but creating and writing nothing.
    const std::string folder = platform::FindDataFolder();
    if (folder.empty()) {
        err << "daymark: データベースがありません (データフォルダがありません)\n";
        return 1;
    }
    const std::string config = folder + "/config.ini";
    const int mode = platform::GetPrivateProfileInt("general", "calendar_mode",
                                                    googledata::kCalendarModeNotSetUp, config);
    std::wstring account;
    if (mode == googledata::kCalendarModeLocal) {
        account = L"local";
    } else if (mode == googledata::kCalendarModeAccount) {
        account = Model::UnscrambleAccountValue(
            platform::GetPrivateProfileString("account", "uid", L"", kAccountBuffer, config));
    }
    if (account.empty()) {
        err << "daymark: データベースがありません (まだ設定されていません: " << folder << ")\n";
        return 1;
    }
    CCalendarManager manager(config, folder);
    const bool writes = line.action == CommandLine::Action::kImport;
    if (!(writes ? manager.OpenForWriting(account) : manager.OpenForReading(account))) {
        err << "daymark: データベースがありません (" << folder << ")\n";
        return 1;
    }
    if (line.action != CommandLine::Action::kAgenda) {
        const IcalFileResult result = writes ? manager.ImportIcalendar(line.file, line.calendarId)
                                             : manager.ExportIcalendar(line.file, line.calendarId);
        if (!result.ok) {
            err << "daymark: " << line.file;
            if (result.problem.line > 0) {
                err << " の " << result.problem.line << " 行目";
            }
            err << ": " << result.problem.message << "\n";
            if (writes && result.problem.line > 0) {
                err << "daymark: 何も取り込んでいません\n";
            }
            return result.noSuchCalendar ? 2 : 3;
        }
        if (writes) {
            out << line.file << ": " << result.imported.added << " 件を追加、"
                << result.imported.updated << " 件を更新しました ("
                << CalendarIdOfUri(result.calendarURI) << ")\n";
        } else {
            out << line.file << ": " << result.exported.events << " 件の予定を書き出しました\n";
        }
        return 0;
    }
    std::vector<AgendaEntry> entries;
    if (!CollectAgenda(manager, line.firstDay, line.lastDay, entries)) {
        err << "daymark: データベースを読めません (" << folder << ")\n";
        return 1;
    }
    out << (line.tsv ? FormatAgendaTsv(entries) : FormatAgendaText(entries));
    out.flush();
    return 0;
}

}  // namespace Controller
