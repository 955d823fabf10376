#pragma once

class QWidget;

// Two states of the main window that the desktop keeps: whether it stays
// above other windows, and whether it has a taskbar button (and a place in
// the pager). Both are changed on the live window, without moving, resizing,
// hiding or showing it.
//
// On X11 they are _NET_WM_STATE_ABOVE and _NET_WM_STATE_SKIP_TASKBAR /
// _SKIP_PAGER, which a window manager drops when a window is hidden: set
// them again whenever the window is about to be shown, and once more when
// it is on screen. On Windows they are the topmost z-order and the extended
// style WS_EX_APPWINDOW. Wayland offers a client neither request; there they
// do nothing.
void setTopMost(QWidget *window, bool topMost);
void setShowsInTaskbar(QWidget *window, bool shows);
