#pragma once

class QWidget;

// Keeps the window above all windows that are not on top themselves, or
// stops doing so, without moving, resizing, hiding or showing it. On X11
// this is _NET_WM_STATE_ABOVE, on Windows the topmost z-order; Qt's own
// window flag carries both, applied to the live window.
void setTopMost(QWidget *window, bool topMost);
