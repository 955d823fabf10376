#include "presence/noticewindow_win.h"

HWND createNoticeWindow(const wchar_t *className, WNDPROC procedure, void *owner)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    // A second watcher finds the class registered already; that is fine.
    RegisterClassW(&windowClass);
    // Top-level and never shown: message-only windows miss broadcasts.
    HWND window = CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window)
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return window;
}

void destroyNoticeWindow(HWND window)
{
    if (window)
        DestroyWindow(window);
}
