// CEventWndBase: the base of the event popup. A CWrenWndBase presented
// through its region (not per pixel) and faded with the whole-window alpha,
// which keeps the popup's entry list: one record per listed holiday or event,
// in display order. User-interface thread only.
#pragma once

#include <QFont>
#include <string>
#include <vector>

#include "model/StyleInfo.h"
#include "view/WrenWndBase.h"

class CEventWndBase : public CWrenWndBase {
    Q_OBJECT
public:
    struct Entry {
        std::wstring id;  // the event's identifier; empty for a holiday
        std::wstring text;
        int32_t clickable = 1;
        Model::ArgbColor color = 0xFF000000;
        int32_t height = 18;
    };

    CEventWndBase(Model::CConfigInfo* options, Utility::CMaintenanceLog* log, QWidget* owner);

    // Rows are at least this high, and draw their text this far down.
    static constexpr int32_t kMinEntryHeight = 18;
    static constexpr int32_t kEntryTextOffset = 3;

    // Adds an entry; `colorref` is 0x00BBGGRR and is kept as 0xFFRRGGBB. Its
    // height is measured in `font` over `width` pixels (EntryHeight).
    Entry& AddEntry(const std::wstring& id, const std::wstring& text, uint32_t colorref,
                    const QFont& font, int width);
    // The height of an entry whose wrapped text measures `measured` pixels:
    // 18 for a text lower than that, else the text + 2 and the room the text
    // offset takes (+ 3 more), so that the last line of a wrapped text is
    // neither painted over by the next row nor touches the popup's frame.
    static int32_t EntryHeight(double measured);
    // Total height of the entries.
    int EntriesHeight() const;
    void ClearEntries() { entries_.clear(); }
    const std::vector<Entry>& Entries() const { return entries_; }

    // "%02d:%02d %s" of a timed event's start and title.
    static std::wstring FormatTimedEntry(int hour, int minute, const std::wstring& title);
    // 0x00BBGGRR -> 0xFFRRGGBB.
    static Model::ArgbColor ColorRefToArgb(uint32_t colorref);

private:
    std::vector<Entry> entries_;
};
