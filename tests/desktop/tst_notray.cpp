#include "main_window/frmmain.h"
#include "support/testmain.h"

#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

// Run on a display without a notification area: hiding the window there
// would lose it for good.
class TestNoTray : public QObject {
    Q_OBJECT
private slots:
    void hidingLeavesTheWindowMinimizedWithATaskbarButton();
};

void TestNoTray::hidingLeavesTheWindowMinimizedWithATaskbarButton()
{
    QVERIFY2(!QSystemTrayIcon::isSystemTrayAvailable(), "this test needs a desktop without a tray");
    QTemporaryDir dir;
    frmMain window { SettingsFile(dir.filePath(QStringLiteral("talvorin.ini"))) };
    window.load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    for (const char *how : { "close", "mnuMinimize" }) {
        if (qstrcmp(how, "close") == 0)
            QVERIFY(!window.close());
        else
            window.trayMenu()->findChild<QAction *>(QLatin1String(how))->trigger();
        QTest::qWait(300);
        QVERIFY2(window.isVisible(), how);
        QVERIFY2(window.isMinimized(), how);
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
                    { QStringLiteral("-id"), QString::number(window.winId()),
                      QStringLiteral("_NET_WM_STATE") });
        QVERIFY(xprop.waitForFinished());
        QVERIFY2(!xprop.readAll().contains("_NET_WM_STATE_SKIP_TASKBAR"), how);
        window.trayMenu()->findChild<QAction *>(QStringLiteral("mnuRestore"))->trigger();
        QVERIFY(!window.isMinimized());
        QTest::qWait(300); // the window manager's answer to the restore
    }
}

TALVORIN_TEST_MAIN(TestNoTray)
#include "tst_notray.moc"
