#pragma once

#include <windows.h>

// A hidden top-level window of its own window class, for the system notices
// that come only as window messages (power, session lock). The owner pointer
// is kept with the window (GWLP_USERDATA) for the window procedure.
HWND createNoticeWindow(const wchar_t *className, WNDPROC procedure, void *owner);
void destroyNoticeWindow(HWND window);

template<typename Owner> Owner *noticeWindowOwner(HWND window)
{
    return reinterpret_cast<Owner *>(GetWindowLongPtrW(window, GWLP_USERDATA));
}
