#include "presence/lockwatcher.h"

#include "presence/noticewindow_win.h"
#include "presence/statusrequester.h"

#include <wtsapi32.h>

namespace {

LRESULT CALLBACK sessionNotices(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LockWatcher *watcher = noticeWindowOwner<LockWatcher>(window);
    if (message == WM_WTSSESSION_CHANGE && watcher
        && (wParam == WTS_SESSION_LOCK || wParam == WTS_SESSION_UNLOCK)) {
        QMetaObject::invokeMethod(watcher, "setLocked", Qt::DirectConnection,
                                  Q_ARG(bool, wParam == WTS_SESSION_LOCK));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

LockWatcher::LockWatcher(QObject *parent) : QObject(parent)
{
    HWND window = createNoticeWindow(L"TalvorinToolSessionNotices", sessionNotices, this);
    if (!window || !WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION)) {
        qCDebug(lcStatus) << "no session notices: a locked screen goes unnoticed";
        destroyNoticeWindow(window);
        return;
    }
    m_window = window;
}

LockWatcher::~LockWatcher()
{
    if (!m_window)
        return;
    WTSUnRegisterSessionNotification(static_cast<HWND>(m_window));
    destroyNoticeWindow(static_cast<HWND>(m_window));
}
