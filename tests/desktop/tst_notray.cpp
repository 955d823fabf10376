#include "desktop/windowkeeper.h"
#include "support/onscreen.h"

#include <QSystemTrayIcon>

// Run on a display without a notification area: hiding the window there
// would lose it for good.
class TestNoTray : public QObject {
    Q_OBJECT
private slots:
    // Hidden in the tray (Close, Minimize) or minimized by the window manager,
    // the window stays minimized, with a taskbar button.
    void hidingLeavesTheWindowMinimizedWithATaskbarButton()
    {
        QVERIFY2(!QSystemTrayIcon::isSystemTrayAvailable(), "needs a desktop without a tray");
        QWidget window;
        window.resize(300, 200);
        WindowKeeper keeper(&window);
        keeper.restore(Qt::WindowNoState);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto minimizedWithButton = [&window] {
            return window.isVisible() && window.isMinimized()
                    && !netWmStateHas(window, "_NET_WM_STATE_SKIP_TASKBAR");
        };
        QTest::qWait(300); // the window manager has framed the window
        keeper.hideInTray();
        QTRY_VERIFY(minimizedWithButton());
        keeper.restore(Qt::WindowNoState);
        QTRY_VERIFY(!window.isMinimized());
        QTest::qWait(300); // the window manager's answer to the restore
        QCOMPARE(
                QProcess::execute("xdotool", { "windowminimize", QString::number(window.winId()) }),
                0);
        QTRY_VERIFY(minimizedWithButton());
    }
};

QTEST_MAIN(TestNoTray)
#include "tst_notray.moc"
