#include "controller/RecurrenceCache.h"

#include "googledata/ICalendarText.h"

namespace Controller {

CRecurrenceCache::CRecurrenceCache(Utility::CMaintenanceLog* log) : log_(log) {}

CRecurrenceCache::~CRecurrenceCache() = default;

bool CRecurrenceCache::GetOccurrences(const std::string& localId, const std::string& text,
                                      const platform::CTime& from, const platform::CTime& to,
                                      std::vector<platform::CTime>& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = EntryFor(localId, text);
    if (!entry.series) {
        return false;
    }
    entry.series->Expand(from, to, out);
    return true;
}

CRecurrenceCache::Entry& CRecurrenceCache::EntryFor(const std::string& localId,
                                                    const std::string& text) {
    auto it = entries_.find(localId);
    if (it == entries_.end() || it->second.text != text) {
        if (it == entries_.end() && entries_.size() >= kMaxEntries) {
            entries_.clear();
        }
        Entry entry;
        entry.text = text;
        entry.series = CRecurrenceSeries::Parse(text, log_);
        ++parseCount_;
        it = entries_.insert_or_assign(localId, std::move(entry)).first;
    }
    return it->second;
}

bool CRecurrenceCache::GetSeriesTimes(const std::string& localId, const std::string& text,
                                      std::string& startTime, std::string& endTime) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = EntryFor(localId, text);
    if (!entry.timesRead) {
        entry.timesRead = true;
        entry.haveTimes = googledata::ReadSeriesTimes(text, entry.startTime, entry.endTime);
    }
    if (entry.haveTimes) {
        startTime = entry.startTime;
        endTime = entry.endTime;
    }
    return entry.haveTimes;
}

void CRecurrenceCache::Invalidate(const std::string& localId) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.erase(localId);
}

void CRecurrenceCache::SetLog(Utility::CMaintenanceLog* log) {
    std::lock_guard<std::mutex> lock(mutex_);
    log_ = log;
}

void CRecurrenceCache::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

size_t CRecurrenceCache::GetSize() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

size_t CRecurrenceCache::GetParseCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return parseCount_;
}

}  // namespace Controller
