#include "support/onscreen.h"
#include "support/startedwindow.h"

#include <QSystemTrayIcon>

// Run on a display without a notification area: hiding the window there
// would lose it for good.
class TestNoTray : public QObject {
    Q_OBJECT
private slots:
    void hidingLeavesTheWindowMinimizedWithATaskbarButton()
    {
        QVERIFY2(!QSystemTrayIcon::isSystemTrayAvailable(), "this test needs a desktop without a tray");
        StartedWindow program({});
        frmMain &window = program.window();
        for (const char *how : { "close", "mnuMinimize" }) {
            if (qstrcmp(how, "close") == 0)
                QVERIFY(!window.close());
            else
                program.action(how)->trigger();
            QTest::qWait(300);
            QVERIFY2(window.isVisible() && window.isMinimized(), how);
            QVERIFY2(!netWmStateHas(window, "_NET_WM_STATE_SKIP_TASKBAR"), how);
            program.action("mnuRestore")->trigger();
            QVERIFY(!window.isMinimized());
            QTest::qWait(300); // the window manager's answer to the restore
        }
    }
};

TALVORIN_TEST_MAIN(TestNoTray)
#include "tst_notray.moc"
