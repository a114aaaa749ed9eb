#include "controller/Icalendar.h"

#include "controller/RecurrenceSeries.h"
#include "googledata/ICalendarText.h"

void CIcalendar::Initialize() {
    googledata::InitializeLibical();
}

int CIcalendar::GetRecurrenceEvents(const std::string& text, const platform::CTime& from,
                                    const platform::CTime& to,
                                    std::vector<platform::CTime>& occurrences, int& occurrenceCount,
                                    int& error, Utility::CMaintenanceLog* log) {
    occurrenceCount = 0;
    error = kErrorNone;
    const auto series = Controller::CRecurrenceSeries::Parse(text, log);
    if (!series) {
        error = kErrorUnusableText;
        return 0;
    }
    const size_t before = occurrences.size();
    series->Expand(from, to, occurrences);
    occurrenceCount = static_cast<int>(occurrences.size() - before);
    return 1;
}
