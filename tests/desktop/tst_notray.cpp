#include "support/onscreen.h"
#include "support/startedwindow.h"

#include <QSystemTrayIcon>

// Run on a display without a notification area: hiding the window there
// would lose it for good.
class TestNoTray : public QObject {
    Q_OBJECT
private slots:
    // Close and Minimize leave the window minimized, with a taskbar button.
    void hidingLeavesTheWindowMinimizedWithATaskbarButton()
    {
        QVERIFY2(!QSystemTrayIcon::isSystemTrayAvailable(), "needs a desktop without a tray");
        StartedWindow program({});
        frmMain &window = program.window();
        const auto minimizedWithButton = [&window] {
            QTest::qWait(300); // the window manager's answer
            return window.isVisible() && window.isMinimized()
                    && !netWmStateHas(window, "_NET_WM_STATE_SKIP_TASKBAR");
        };
        QVERIFY(!window.close());
        QVERIFY(minimizedWithButton());
        program.action("mnuRestore")->trigger();
        QVERIFY(!window.isMinimized());
        QTest::qWait(300); // the window manager's answer to the restore
        program.action("mnuMinimize")->trigger();
        QVERIFY(minimizedWithButton());
    }
};

QTEST_MAIN(TestNoTray)
#include "tst_notray.moc"
