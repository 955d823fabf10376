#include "desktop/windowkeeper.h"

#include "desktop/screenfit.h"
#include "desktop/trayicon.h"
#include "desktop/windowhints.h"

#include <QEvent>
#include <QLoggingCategory>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

Q_LOGGING_CATEGORY(lcKeeper, "talvorin.window", QtWarningMsg)

namespace {

// How long to wait for the window manager's frame before a saved outer size
// is taken as the window's own size.
const int kFrameWaitMs = 2000;

bool isMaximizedOrFullScreen(const QWidget *window)
{
    return window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
}

} // namespace

WindowKeeper::WindowKeeper(QWidget *window) : QObject(window), m_window(window)
{
    m_window->installEventFilter(this);
}

void WindowKeeper::setAlwaysOnTop(bool on)
{
    m_onTop = on;
    setTopMost(m_window, on);
}

void WindowKeeper::setShowInTaskbar(bool shows)
{
    m_inTaskbar = shows;
    setShowsInTaskbar(m_window, shows);
}

void WindowKeeper::hideInTray()
{
    if (!TrayIcon::isAvailable()) {
        // A hidden window would be lost for good: it stays minimized, with a
        // taskbar button to come back by.
        m_window->showMinimized();
        return;
    }
    m_restoring = false; // a restore still on its way is overtaken
    m_window->hide();
    m_window->setWindowState(Qt::WindowMinimized);
}

void WindowKeeper::restore(Qt::WindowState state)
{
    qCDebug(lcKeeper) << "restored to" << state;
    m_restoring = true;
    m_restoringTo = state;
    m_window->setWindowState(state);
    m_window->show();
    // With always on top on, the window is above the others already.
    if (m_onTop)
        return;
    m_window->raise();
    m_window->activateWindow();
}

void WindowKeeper::showUnlessMinimized()
{
    if (m_window->isMinimized()) {
        if (TrayIcon::isAvailable())
            m_window->hide();
        return;
    }
    if (!m_window->isVisible())
        m_window->show();
}

void WindowKeeper::setWantedOuterWidth(int pixels)
{
    m_wantedOuterWidth = pixels;
    applyWantedOuterSize();
}

void WindowKeeper::setWantedOuterHeight(int pixels)
{
    m_wantedOuterHeight = pixels;
    applyWantedOuterSize();
}

QSize WindowKeeper::outerSize() const
{
    const QSize frame = m_window->frameGeometry().size();
    return { m_wantedOuterWidth ? m_wantedOuterWidth : frame.width(),
             m_wantedOuterHeight ? m_wantedOuterHeight : frame.height() };
}

bool WindowKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::WinIdChange:
            if (m_window->internalWinId())
                watchNativeWindow();
            break;
        case QEvent::Show:
            shown();
            break;
        case QEvent::WindowStateChange:
            windowStateChanged();
            break;
        case QEvent::Resize:
        case QEvent::Move:
            applyWantedOuterSize();
            fitOnceFramed();
            break;
        default:
            break;
        }
    } else if (watched == m_window->windowHandle() && event->type() == QEvent::Expose
               && m_hintsPending && m_window->windowHandle()->isExposed()) {
        m_hintsPending = false;
        m_restoring = false;
        applyHints();
    }
    return false;
}

// The toggles' states live on the native window, which the desktop clears
// when the window is hidden and which Qt replaces now and then (a browser
// view's first showing gives the window a new one). So they are set on every
// new native window and every showing, before the window is mapped for the
// window manager to read, and once more when it is on screen, in case the
// manager was still clearing the state of the window's last hiding.
void WindowKeeper::watchNativeWindow()
{
    applyHints();
    if (QWindow *window = m_window->windowHandle()) {
        window->removeEventFilter(this);
        window->installEventFilter(this);
    }
    m_hintsPending = true;
}

void WindowKeeper::applyHints()
{
    qCDebug(lcKeeper) << "window hints: on top" << m_onTop << "in taskbar" << m_inTaskbar;
    setTopMost(m_window, m_onTop);
    // Without a notification area the way back to a minimized window is its
    // taskbar button, however it was minimized.
    setShowsInTaskbar(m_window,
                      m_inTaskbar || (m_window->isMinimized() && !TrayIcon::isAvailable()));
}

// Minimized lives only in the notification area. A window the program has
// hidden already hears of its minimized state too, and so may a window
// being shown again, when the manager reports its old iconic state late.
void WindowKeeper::windowStateChanged()
{
    if (!m_window->isVisible())
        return;
    if (!TrayIcon::isAvailable()) {
        applyHints();
        return;
    }
    if (!m_window->isMinimized())
        return;
    if (m_restoring && !m_window->windowHandle()->isExposed()) {
        // The manager still iconifies the window it is asked to show: ask
        // once more, for the state asked for then.
        m_restoring = false;
        QMetaObject::invokeMethod(
                this,
                [this, state = m_restoringTo] {
                    m_window->setWindowState(state);
                    m_window->show();
                },
                Qt::QueuedConnection);
        return;
    }
    // Minimized on screen (showMinimized) or by the window manager (the title
    // bar's button), which unmaps the window before it says so. Queued:
    // showMinimized() makes the window visible after announcing the state.
    QMetaObject::invokeMethod(this, &WindowKeeper::hideIfMinimized, Qt::QueuedConnection);
}

void WindowKeeper::hideIfMinimized()
{
    if (!m_window->isMinimized() || !m_window->isVisible())
        return;
    qCDebug(lcKeeper) << "minimized: hidden in the notification area";
    m_window->hide();
}

void WindowKeeper::shown()
{
    watchNativeWindow();
    // Its frame is still to come; once it is known the window is fitted again,
    // unless it was shown maximized: while the window manager maximizes it,
    // the state may read normal for a moment.
    keepOnScreen();
    m_fitPending = !isMaximizedOrFullScreen(m_window);
    if (m_wantedOuterWidth || m_wantedOuterHeight) {
        QTimer::singleShot(kFrameWaitMs, this, [this] {
            // No window manager framed the window: its inside is its outside.
            m_wantedOuterWidth = 0;
            m_wantedOuterHeight = 0;
        });
    }
}

void WindowKeeper::fitOnceFramed()
{
    if (!m_fitPending || m_window->frameGeometry().size() == m_window->geometry().size())
        return;
    m_fitPending = false;
    keepOnScreen();
}

// Shrinks and moves the window into the screen's available area.
void WindowKeeper::keepOnScreen()
{
    // The window manager places a maximized window; a resize would take it
    // out of that state.
    if (isMaximizedOrFullScreen(m_window))
        return;
    const QRect frame = m_window->frameGeometry();
    const QSize margins = frame.size() - m_window->geometry().size();
    const QRect fitted = fittedInto(frame, m_window->screen()->availableGeometry());
    if (fitted == frame)
        return;
    qCDebug(lcKeeper) << "kept on screen:" << frame << "->" << fitted;
    m_window->resize(fitted.size() - margins);
    m_window->move(fitted.topLeft());
}

// The outer size includes the frame, but a window is sized by its inside.
// The frame is known only once the window manager has framed the shown
// window: until then the inside takes the whole size, and the first move or
// resize that shows a frame corrects it.
void WindowKeeper::applyWantedOuterSize()
{
    if (!m_wantedOuterWidth && !m_wantedOuterHeight)
        return;
    const QSize frame = m_window->frameGeometry().size() - m_window->geometry().size();
    const bool framed = !frame.isNull();
    if (m_window->isVisible() && !framed)
        return;
    const int width = m_wantedOuterWidth ? m_wantedOuterWidth - frame.width() : m_window->width();
    const int height =
            m_wantedOuterHeight ? m_wantedOuterHeight - frame.height() : m_window->height();
    if (framed) {
        m_wantedOuterWidth = 0;
        m_wantedOuterHeight = 0;
    }
    m_window->resize(qMax(1, width), qMax(1, height));
}
