#include "desktop/windowkeeper.h"
#include "support/onscreen.h"

#include <QSystemTrayIcon>

namespace {

// The window's WM_STATE as the window manager set it: "Normal", "Iconic", or
// empty once the window is withdrawn.
QString wmState(const QWidget &window)
{
    QProcess xprop;
    xprop.start("xprop", { "-id", QString::number(window.winId()), "WM_STATE" });
    xprop.waitForFinished(5000);
    const QRegularExpression state("window state: (\\w+)");
    return state.match(QString::fromLatin1(xprop.readAll())).captured(1).replace("Withdrawn", "");
}

} // namespace

// A plain window kept as the main window is, on a desktop with a window
// manager and a notification area (openbox and trayer, as scripts/test has it).
class TestWindowKeeper : public QObject {
    Q_OBJECT
    QWidget m_window;
    WindowKeeper *m_keeper = nullptr;

private slots:
    void initTestCase()
    {
        QVERIFY2(QSystemTrayIcon::isSystemTrayAvailable(), "no tray: use scripts/test");
        m_window.resize(300, 200);
        m_keeper = new WindowKeeper(&m_window);
        m_keeper->restore(Qt::WindowNoState);
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
    }

    // Minimized, whoever asks (the title bar's button through the window
    // manager, or the program), means hidden in the notification area: not
    // iconified. It comes back normal or maximized, and stays so even when
    // the manager reports the old iconic state late.
    void minimizedMeansHiddenInTheTray()
    {
        const auto hiddenInTray = [this] {
            return !m_window.isVisible() && wmState(m_window).isEmpty()
                    && !netWmStateHas(m_window, "_NET_WM_STATE_HIDDEN");
        };
        QTest::qWait(300); // the window manager has framed the window
        QCOMPARE(wmState(m_window), "Normal");
        QCOMPARE(QProcess::execute("xdotool",
                                   { "windowminimize", QString::number(m_window.winId()) }),
                 0);
        QTRY_VERIFY(hiddenInTray());

        m_keeper->restore(Qt::WindowMaximized);
        QTest::qWait(1500); // the window manager has done maximizing
        QVERIFY(m_window.isVisible() && m_window.isMaximized());
        QVERIFY(wmState(m_window) == "Normal"
                && netWmStateHas(m_window, "_NET_WM_STATE_MAXIMIZED_VERT"));

        m_window.showMinimized();
        QTRY_VERIFY(hiddenInTray());
        m_keeper->restore(Qt::WindowNoState);
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
        QTest::qWait(1000);
        QVERIFY(m_window.isVisible() && !m_window.isMaximized() && !m_window.isMinimized());
        QCOMPARE(wmState(m_window), "Normal");
    }
};

QTEST_MAIN(TestWindowKeeper)
#include "tst_windowkeeper.moc"
