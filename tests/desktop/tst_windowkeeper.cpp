#include "desktop/windowkeeper.h"
#include "support/onscreen.h"

#include <QSystemTrayIcon>

namespace {

// The window's WM_STATE as the window manager set it: "Normal", "Iconic", or
// empty once the window is withdrawn.
QString wmState(const QWidget &window)
{
    const QRegularExpression state("window state: (\\w+)");
    return state.match(xprop(window, "WM_STATE")).captured(1).replace("Withdrawn", "");
}

} // namespace

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
        const auto putAway = [&window] {
            if (!QSystemTrayIcon::isSystemTrayAvailable())
                return window.isVisible() && window.isMinimized()
                        && !netWmStateHas(window, "_NET_WM_STATE_SKIP_TASKBAR");
            return !window.isVisible() && wmState(window).isEmpty()
                    && !netWmStateHas(window, "_NET_WM_STATE_HIDDEN");
        };
        keeper.restore(Qt::WindowNoState);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE_WITH_TIMEOUT(wmState(window), "Normal", 10000); // once the manager has framed it
        QVERIFY(xdotool(QString("windowminimize %1").arg(window.winId())));
        QTRY_VERIFY(putAway());

        keeper.restore(Qt::WindowMaximized);
        QTest::qWait(1500); // the window manager has done maximizing
        QVERIFY(window.isVisible() && window.isMaximized());
        QVERIFY(wmState(window) == "Normal" && netWmStateHas(window, "_NET_WM_STATE_MAXIMIZED_VERT"));

        keeper.hideInTray();
        QTRY_VERIFY(putAway());
        keeper.restore(Qt::WindowNoState);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(1000);
        QVERIFY(window.isVisible() && !window.isMaximized() && !window.isMinimized());
        QCOMPARE(wmState(window), "Normal");
    }
};

QTEST_MAIN(TestWindowKeeper)
#include "tst_windowkeeper.moc"
