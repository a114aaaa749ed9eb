#include "view/EventWndBase.h"

#include <QFontMetricsF>
#include <cstdio>

CEventWndBase::CEventWndBase(Model::CConfigInfo* options, Utility::CMaintenanceLog* log,
                             QWidget* owner)
    : CWrenWndBase(options, log, owner) {
    SetPerPixel(false);
}

Model::ArgbColor CEventWndBase::ColorRefToArgb(uint32_t colorref) {
    return 0xFF000000u | ((colorref & 0xFF) << 16) | (colorref & 0xFF00) |
           ((colorref >> 16) & 0xFF);
}

std::wstring CEventWndBase::FormatTimedEntry(int hour, int minute, const std::wstring& title) {
    wchar_t prefix[32];
    std::swprintf(prefix, 32, L"%02d:%02d ", hour, minute);
    return prefix + title;
}

CEventWndBase::Entry& CEventWndBase::AddEntry(const std::wstring& id, const std::wstring& text,
                                              uint32_t colorref, const QFont& font, int width) {
    Entry entry;
    entry.id = id;
    entry.text = text;
    entry.color = ColorRefToArgb(colorref);
    const QFontMetricsF metrics(font);
    const QRectF bounds = metrics.boundingRect(QRectF(0, 0, std::max(width, 1), 1000),
                                               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                                               QString::fromStdWString(text));
    entry.height = EntryHeight(bounds.height());
    entries_.push_back(std::move(entry));
    return entries_.back();
}

int32_t CEventWndBase::EntryHeight(double measured) {
    if (measured < kMinEntryHeight) {
        return kMinEntryHeight;
    }
    return static_cast<int32_t>(measured + 2) + kEntryTextOffset;
}

int CEventWndBase::EntriesHeight() const {
    int total = 0;
    for (const Entry& e : entries_) {
        total += e.height;
    }
    return total;
}
