#include "eventwnd/EventPopupLayout.h"

#include <QFontDatabase>
#include <ctime>

#include "app/StringTable.h"
#include "model/EventCache.h"
#include "view/EventWndBase.h"

namespace PopupLayout {

std::vector<EntrySource> EntriesOfDay(const Model::CEventCache& cache,
                                      const platform::CTime& date) {
    std::vector<EntrySource> entries;
    std::vector<Model::Holiday> holidays;
    cache.GetHolidaysOfDay(date, holidays);
    for (const Model::Holiday& h : holidays) {
        entries.push_back({std::wstring(), h.title, kHolidayColorRef});
    }
    std::vector<Model::Event> events;
    cache.GetEventsOfDay(date, events);
    for (const Model::Event& e : events) {
        if (e.isAllDay) {
            entries.push_back({e.localEventID, e.title, static_cast<uint32_t>(e.color)});
        }
    }
    for (const Model::Event& e : events) {
        if (e.isAllDay) {
            continue;
        }
        std::tm local{};
        const bool ok = e.startTime.GetLocalTm(local);
        entries.push_back({e.localEventID,
                           CEventWndBase::FormatTimedEntry(ok ? local.tm_hour : -1,
                                                           ok ? local.tm_min : -1, e.title),
                           static_cast<uint32_t>(e.color)});
    }
    return entries;
}

int ContentHeight(int entriesHeight, bool active) {
    const int base = entriesHeight > 72 ? entriesHeight + kRowsTop : 101;
    return base + (active ? kAddRowHeight : 0);
}

const wchar_t* WeekdayName(int dayOfWeek) {
    static const wchar_t* const names[] = {L"sun", L"mon", L"tue", L"wed", L"thu", L"fri", L"sat"};
    return dayOfWeek >= 1 && dayOfWeek <= 7 ? names[dayOfWeek - 1] : L"";
}

int WeekdayNameX(int day) {
    return day < 10 ? 23 : 30;
}

QFont RowFont() {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        const QString named = QString::fromWCharArray(app::LoadStringText(154));
        for (const QString& candidate :
             {named, QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
              QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic")}) {
            if (!candidate.isEmpty() && installed.contains(candidate)) {
                return candidate;
            }
        }
        return QString();
    }();
    QFont font;
    if (family.isEmpty()) {
        font.setFamily(QStringLiteral("sans-serif"));
        font.setStyleHint(QFont::SansSerif);
    } else {
        font.setFamily(family);
    }
    font.setPixelSize(11);
    return font;
}

}  // namespace PopupLayout
