#include "desktop/windowkeeper.h"
#include "support/onscreen.h"

#include <QSystemTrayIcon>

// A plain window kept as the main window is, on a desktop with a window
// manager: run once with a notification area (openbox and trayer, as
// scripts/test has it) and once without.
class TestWindowKeeper : public QObject {
    Q_OBJECT
private slots:
    // Minimized, whoever asks (the title bar's button through the window
    // manager, or the program), means hidden in the notification area, not
    // iconified. Without one a hidden window could not be brought back: it
    // stays minimized, with a taskbar button. It comes back normal or
    // maximized, and stays so even when the manager reports the old iconic
    // state late.
    void minimizedMeansHiddenInTheTray()
    {
        QWidget window;
        window.resize(300, 200);
        WindowKeeper keeper(&window);
        // Withdrawn, the window manager keeps no _NET_WM_STATE for it at all.
        const auto putAway = [&window] {
            if (!QSystemTrayIcon::isSystemTrayAvailable())
                return window.isVisible() && window.isMinimized()
                        && !netWmStateHas(window, "_NET_WM_STATE_SKIP_TASKBAR");
            return !window.isVisible() && !netWmStateHas(window, "_NET_WM_STATE_HIDDEN");
        };
        // Shown as asked, framed by the window manager and not iconic there.
        const auto shown = [&window](bool maximized) {
            return window.isVisible() && !window.isMinimized() && window.isMaximized() == maximized
                    && window.frameGeometry() != window.geometry()
                    && netWmStateHas(window, "_NET_WM_STATE_MAXIMIZED_VERT") == maximized
                    && !netWmStateHas(window, "_NET_WM_STATE_HIDDEN");
        };
        keeper.restore(Qt::WindowNoState);
        QTRY_VERIFY_WITH_TIMEOUT(shown(false), 10000);
        QVERIFY(xdotool(QString("windowminimize %1").arg(window.winId())));
        QTRY_VERIFY(putAway());

        for (Qt::WindowState state : { Qt::WindowMaximized, Qt::WindowNoState }) {
            keeper.restore(state);
            QTRY_VERIFY_WITH_TIMEOUT(shown(state == Qt::WindowMaximized), 10000);
            keeper.hideInTray();
            QTRY_VERIFY(putAway());
        }
    }
};

QTEST_MAIN(TestWindowKeeper)
#include "tst_windowkeeper.moc"
