// How the program's self-drawn windows sit on an X11 desktop. Calendar
// windows and their companions (icon bar, event popup, registration balloon,
// sync notice) are desktop widgets: never listed in a taskbar, pager or
// window switcher, and shown on every workspace. Drop shadows bypass the
// window manager and are kept directly below the window they shadow, also
// after the window manager restacks that window (a click, a drag, the
// "always at the bottom" layer).
//
// Qt has no flags for these hints; they are written with xcb through the X11
// application interface. On other platforms (offscreen, Wayland) every call
// does nothing. User-interface thread only.
#pragma once

class QWidget;

namespace platform {

// True when the program talks to an X server.
bool IsX11();

// From now on no window of the program keeps the demands-attention state
// (a window manager sets it on a window it refused the focus): it is taken
// off as soon as it appears. Desktop widgets install this themselves; the
// program calls it once at start-up for its dialogs.
void KeepFromDemandingAttention();

// Makes `window` a desktop widget: skip-taskbar, skip-pager and sticky
// (every workspace), written before each time the window is mapped (a window
// manager reads them then) and at once when it is mapped already.
void MakeDesktopWidget(QWidget& window);

// Keeps `lower`, a window that bypasses the window manager, directly below
// `upper` (below its frame when the window manager framed it) from now on,
// until either is destroyed or StopKeepingBelow(lower). Restacks at once.
void KeepDirectlyBelow(QWidget& lower, QWidget& upper);
void StopKeepingBelow(QWidget& lower);

// Restacks every kept pair now (for instance right after `lower` is shown).
void RestackKeptWindows();

}  // namespace platform
