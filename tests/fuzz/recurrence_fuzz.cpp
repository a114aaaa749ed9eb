// Fuzz target for the recurrence expander (Controller::CRecurrenceSeries):
// the first two bytes choose a window (its first month, counted from January
// 2020 back and forth, and its length, 1 to 16 months), the rest is the
// recurrence text. The expansion must stay bounded, in order, inside the
// window and free of duplicates.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "controller/RecurrenceSeries.h"
#include "platform/Time.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

platform::CTime MonthStart(int monthsSince2020) {
    const int year =
        2020 + (monthsSince2020 >= 0 ? monthsSince2020 / 12 : -((-monthsSince2020 + 11) / 12));
    const int month = monthsSince2020 - (year - 2020) * 12 + 1;
    return platform::CTime(year, month, 1, 0, 0, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool zoned = [] {
        ::setenv("TZ", "Asia/Tokyo", 1);
        ::tzset();
        return true;
    }();
    (void)zoned;
    if (size < 2) {
        return 0;
    }
    const int first = static_cast<int8_t>(data[0]);
    const int months = 1 + (data[1] & 0x0F);
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    auto series = Controller::CRecurrenceSeries::Parse(text, nullptr);
    if (!series) {
        return 0;
    }
    const platform::CTime from = MonthStart(first);
    const platform::CTime to = MonthStart(first + months);
    std::vector<platform::CTime> starts;
    series->Expand(from, to, starts);
    Check(starts.size() <= 3000);
    for (size_t i = 0; i < starts.size(); ++i) {
        Check(starts[i].GetTime() >= from.GetTime() && starts[i].GetTime() < to.GetTime());
        Check(i == 0 || starts[i - 1].GetTime() < starts[i].GetTime());
    }
    // A second, later window through the same series (its kept instances).
    starts.clear();
    series->Expand(to, MonthStart(first + months + 1), starts);
    series->IsAllDay();
    return 0;
}
