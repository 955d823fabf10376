#pragma once

class QWidget;

// Gives the window a taskbar button (and a place in the pager), or takes it
// away. On X11 this is _NET_WM_STATE_SKIP_TASKBAR and _SKIP_PAGER, which a
// window manager drops when a window is hidden: call it again whenever the
// window is about to be shown. On Windows it is the extended style
// WS_EX_APPWINDOW. Wayland offers a client no such request; there it does
// nothing.
void setShowsInTaskbar(QWidget *window, bool shows);
