#include "presence/sleepwatcher.h"

#include "presence/noticewindow_win.h"
#include "presence/statusrequester.h"

#include <QEventLoop>

namespace {

// Windows suspends once every window has answered its suspend notice, or
// after about two seconds. The notice is answered only when the exit link
// has left (or the hold is over): meanwhile a local event loop runs, and the
// loop waiting is kept with the window under this name.
const wchar_t kWaiting[] = L"TalvorinToolSleepHeld";

LRESULT CALLBACK powerNotices(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SleepWatcher *watcher = noticeWindowOwner<SleepWatcher>(window);
    if (message != WM_POWERBROADCAST || !watcher)
        return DefWindowProcW(window, message, wParam, lParam);
    if (wParam == PBT_APMSUSPEND) {
        QEventLoop held;
        SetPropW(window, kWaiting, &held);
        QMetaObject::invokeMethod(watcher, "prepareForSleep", Qt::DirectConnection,
                                  Q_ARG(bool, true));
        // Gone already when the sleep was allowed at once.
        if (GetPropW(window, kWaiting))
            held.exec();
        RemovePropW(window, kWaiting);
    } else if (wParam == PBT_APMRESUMEAUTOMATIC) {
        // Sent at every wake, with or without the owner at the keyboard.
        QMetaObject::invokeMethod(watcher, "prepareForSleep", Qt::DirectConnection,
                                  Q_ARG(bool, false));
    }
    return TRUE;
}

} // namespace

SleepWatcher::SleepWatcher(int longestHoldMs, QObject *parent) : QObject(parent)
{
    limitHold(longestHoldMs);
    HWND window = createNoticeWindow(L"TalvorinToolPowerNotices", powerNotices, this);
    if (!window)
        qCDebug(lcStatus) << "no window for power notices: sleep and wake go unnoticed";
    m_handle = reinterpret_cast<qintptr>(window);
}

SleepWatcher::~SleepWatcher()
{
    releaseSleep();
    destroyNoticeWindow(reinterpret_cast<HWND>(m_handle));
}

void SleepWatcher::holdNextSleep()
{
    // Every suspend notice can be held; there is nothing to take beforehand.
}

void SleepWatcher::releaseSleep()
{
    HWND window = reinterpret_cast<HWND>(m_handle);
    if (!window)
        return;
    if (auto *held = static_cast<QEventLoop *>(GetPropW(window, kWaiting))) {
        RemovePropW(window, kWaiting);
        held->quit();
    }
}
