// CEventRegistWnd: the small balloon that opens over a day when the user
// clicks it: one line of input (a time and a title, read by
// Model::ParseInput), a calendar to put the event in (hidden in local
// calendar mode), and three buttons: close, register, and details (the full
// detail dialog). Enter registers, Escape closes, Tab moves between the line
// and the calendar list. Each calendar window owns one, created with it and
// reused.
//
// Registering hands a new event to the calendar manager through the window's
// data source (AddEvent): the day at the parsed times, or all day; the
// account as author; the calendar's default reminders. A line whose end lies
// before its start is refused with a message and the window stays open with
// the line kept.
//
// While it is open the process-wide flag CalendarWndFlags::registWndOpen is
// set. A details request is posted to the owner as its message
// (WM_USER + 102) with lParam 0; the owner then takes the request with
// TakeDetailRequest() and closes this window.
//
// User-interface thread only.
#pragma once

#include <QImage>
#include <QPoint>
#include <array>
#include <string>

#include "platform/Time.h"
#include "platform/qt/Window.h"
#include "view/CalendarWndHost.h"
#include "view/DrawIconButtonItem.h"
#include "view/DrawTextItem.h"

class ICalendarWndSource;
class QComboBox;
class QLineEdit;
namespace Model {
class CConfigInfo;
}
namespace Utility {
class CMaintenanceLog;
}

class CEventRegistWnd : public platform::CWindow {
    Q_OBJECT
public:
    // Button commands.
    static constexpr int kCommandClose = 1;
    static constexpr int kCommandRegist = 2;
    static constexpr int kCommandDetails = 3;
    // The balloon: its body and the pointer below or above it.
    static constexpr int kWidth = 280;
    static constexpr int kBodyHeight = 100;
    static constexpr int kPointerHeight = 12;

    // `source` (the calendar manager; may be null) outlives the window.
    CEventRegistWnd(QWidget* owner, platform::WindowHandle ownerHandle, uint32_t ownerMessage,
                    ICalendarWndSource* source, Model::CConfigInfo* options,
                    Utility::CMaintenanceLog* log);
    ~CEventRegistWnd() override;

    // Opens for the day `date` (local midnight), pointing at the screen point
    // `target` (the middle of the day cell).
    void OpenFor(const platform::CTime& date, const QPoint& target);
    // Closes the window (nothing when it is closed) and clears the flag.
    void Close();
    bool IsOpen() const { return open_; }
    platform::CTime Date() const { return date_; }

    // The details request last posted to the owner; reset afterwards.
    NewEventRequest TakeDetailRequest();

    // The commands (public for tests): register the line (true when an
    // event was handed over; the window then closes), ask for the details.
    bool Regist();
    bool RequestDetails();
    void RunCommand(int command);

    // Where the button images are read from (default: the "image" folder
    // beside the program).
    void SetImageFolder(const std::string& folder) { imageFolder_ = folder; }

    QLineEdit* TitleEdit() const { return edit_; }
    QComboBox* CalendarCombo() const { return combo_; }
    const Draw::CDrawIconButtonItem& Button(int command) const { return buttons_.at(command - 1); }
    // The balloon points down at its target (it lies above the day).
    bool PointsDown() const { return pointsDown_; }
    QPoint PointerTip() const { return tip_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillCalendars();
    void Place(const QPoint& target);
    void LoadImages();
    void SetHovered(int command);
    int ButtonAt(const QPoint& point) const;
    // The request the line makes; false (after the message) when refused.
    bool ReadLine(NewEventRequest& request);
    void Log(const char* level, const std::string& text) const;

    platform::WindowHandle ownerHandle_;
    uint32_t ownerMessage_;
    ICalendarWndSource* source_;
    Model::CConfigInfo* options_;
    Utility::CMaintenanceLog* log_;
    platform::CTime date_;
    bool open_ = false;
    bool modalUp_ = false;
    bool pointsDown_ = true;
    int bodyTop_ = 0;
    QPoint tip_;
    int hovered_ = 0;
    NewEventRequest detailRequest_;
    std::string imageFolder_;
    bool imagesLoaded_ = false;

    QLineEdit* edit_;
    QComboBox* combo_;
    std::array<Draw::CDrawIconButtonItem, 3> buttons_;
    Draw::CDrawTextItem dayItem_;
    Draw::CDrawTextItem weekdayItem_;
};
