// CDoubleCheckListCtrl: a report-style list of calendars whose first column
// shows a double check box: the left half says whether the calendar's events
// are shown, the right half whether new events may be written into it. The
// box is one of six images (DoubleCheck::kImageCount) cut from one bitmap,
// "doubleCheck.png" in the image folder, whose magenta (0xFF00FF) pixels are
// transparent. A read-only calendar (any access level below EDITOR) has its
// own two images and can never be marked writable.
//
// The rules of the box are plain functions (DoubleCheck::...), so that the
// list and its tests share them. Used by the calendar settings dialog and
// the setup wizard's calendar panel. User-interface thread only.
#pragma once

#include <QPixmap>
#include <QTreeWidget>
#include <list>
#include <string>
#include <vector>

#include "model/Calendar.h"

namespace DoubleCheck {

inline constexpr int kImageCount = 6;
inline constexpr int kImageWidth = 44;
inline constexpr int kImageHeight = 20;
// A click left of this (within the image) is on the "show" half.
inline constexpr int kShowHalfWidth = 22;

// EDITOR, OWNER and ROOT may be written to; every other listed level is read
// only.
bool IsWritableKind(int32_t accessLevel);
// Image index: show + 2 * write for the writable kind, 4 + show for the
// read-only kind (whose write is always off).
int Encode(bool writableKind, bool show, bool write);
void Decode(int image, bool& show, bool& write);
// The image after a click `x` pixels from the image's left edge.
int Click(int image, bool writableKind, int x);

}  // namespace DoubleCheck

class CDoubleCheckListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    // `imageFolder` holds "doubleCheck.png".
    explicit CDoubleCheckListCtrl(const std::string& imageFolder, QWidget* parent = nullptr);

    // Fills the list: every calendar whose access level is not NONE, in
    // list order, with its title, summary and URI.
    void SetCalendars(const std::list<Model::Calendar>& calendars);

    int RowCount() const { return topLevelItemCount(); }
    std::wstring RowURI(int row) const;
    int RowImage(int row) const;
    bool RowShow(int row) const;
    bool RowWrite(int row) const;
    // Where row `row`'s double check box is drawn, in viewport coordinates.
    QRect ImageRect(int row) const;
    // The pixmap of one image (empty when the bitmap is missing).
    QPixmap Image(int image) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetRowImage(int row, int image);

    std::vector<QPixmap> images;
};
