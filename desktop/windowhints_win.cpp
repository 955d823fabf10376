#include "desktop/windowhints.h"

#include <QWidget>

#include <windows.h>

void setTopMost(QWidget *widget, bool topMost)
{
    SetWindowPos(reinterpret_cast<HWND>(widget->winId()), topMost ? HWND_TOPMOST : HWND_NOTOPMOST,
                 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void setShowsInTaskbar(QWidget *widget, bool shows)
{
    const auto window = reinterpret_cast<HWND>(widget->winId());
    LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    // A window that stands alone gets a button unless it is a tool window.
    style = shows ? (style | WS_EX_APPWINDOW) & ~LONG_PTR(WS_EX_TOOLWINDOW)
                  : (style & ~LONG_PTR(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW;
    // The taskbar looks at the style only when the window is shown.
    const bool visible = IsWindowVisible(window);
    if (visible)
        ShowWindow(window, SW_HIDE);
    SetWindowLongPtrW(window, GWL_EXSTYLE, style);
    if (visible)
        ShowWindow(window, SW_SHOW);
}
