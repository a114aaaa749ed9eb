// The user-interface state shared by all calendar windows of the process:
// whether the context menu, an event registration window or the event detail
// dialog is open. While any of them is set the calendar windows ignore hover
// and clicks. The calendar window sets the menu and detail flags around its
// calls; the registration window sets its flag when it opens and clears it
// when it closes.
//
// User-interface thread only.
#pragma once

struct CalendarWndFlags {
    static inline bool menuOpen = false;
    static inline bool registWndOpen = false;
    static inline bool detailDialogOpen = false;

    static bool AnyOpen() { return menuOpen || registWndOpen || detailDialogOpen; }
};

// Sets a flag for the life of the object and restores its old value.
class ScopedCalendarWndFlag {
public:
    explicit ScopedCalendarWndFlag(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~ScopedCalendarWndFlag() { flag_ = old_; }
    ScopedCalendarWndFlag(const ScopedCalendarWndFlag&) = delete;
    ScopedCalendarWndFlag& operator=(const ScopedCalendarWndFlag&) = delete;

private:
    bool& flag_;
    bool old_;
};
