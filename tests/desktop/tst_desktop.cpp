#include "desktop/autostartentry.h"
#include "main_window/frmmain.h"
#include "support/messageboxes.h"
#include "support/startedwindow.h"
#include "support/testhttpserver.h"
#include "support/testmain.h"

#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWebEngineView>

// On a real desktop: an EWMH window manager and an XEmbed notification area,
// as scripts/test provides (openbox and trayer on Xvfb).
namespace {

bool netWmStateHas(const QWidget &window, const char *atom)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                { "-id", QString::number(window.winId()), "_NET_WM_STATE" });
    xprop.waitForFinished(5000);
    return QRegularExpression(QStringLiteral("[ ,]%1(,|$)").arg(QLatin1String(atom)))
            .match(QString::fromLatin1(xprop.readAll().trimmed()))
            .hasMatch();
}

QWidget *topLevelOf(const char *className)
{
    for (QWidget *widget : QApplication::allWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), className) == 0 && widget->isVisible())
            return widget;
    }
    return nullptr;
}

// The icon as the notification area shows it, taken from the screen.
QImage trayPixels()
{
    QWidget *icon = topLevelOf("QSystemTrayIconSys");
    return icon ? QGuiApplication::primaryScreen()->grabWindow(icon->winId()).toImage() : QImage();
}

// The texts of the message shown next to the tray icon; empty when none is.
QString balloonText()
{
    QWidget *balloon = topLevelOf("QBalloonTip");
    QStringList texts;
    for (QLabel *label : balloon ? balloon->findChildren<QLabel *>() : QList<QLabel *>())
        texts << label->text();
    return texts.join(u' ');
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup() { m_program.reset(); }

    void trayClicksAndIconUntilExit();
    void alwaysOnTopAndTaskbarButton();
    void failedAutostartLeavesTheCheckMarks();
    void hiddenChatShowsItsMessagesOnTheIcon();

private:
    frmMain &start(const QByteArray &ini = {})
    {
        m_program = std::make_unique<StartedWindow>();
        frmMain &window = m_program->start(ini);
        if (!QTest::qWaitForWindowExposed(&window))
            qWarning("the main window did not come up");
        return window;
    }
    QSystemTrayIcon *tray() const { return m_program->window().findChild<QSystemTrayIcon *>(); }
    QAction *action(const char *name) const { return m_program->action(name); }

    TestHttpServer m_server;
    std::unique_ptr<StartedWindow> m_program;
};

void TestDesktop::initTestCase()
{
    QVERIFY2(QSystemTrayIcon::isSystemTrayAvailable(), "no notification area: use scripts/test");
    QVERIFY(m_server.start());
    m_server.setPage("/badge", "<html><body><a href='/chat' target='_blank'>c</a></body></html>");
    m_server.setPage("/chat", "<html><head><title>Chat</title></head><body>chat</body></html>");
}

void TestDesktop::trayClicksAndIconUntilExit()
{
    frmMain &window = start();
    QTRY_VERIFY(!trayPixels().isNull());
    // A left press restores, a maximized window to the normal state too; a
    // double-click arrives as a press and then the double-click.
    window.showMaximized();
    window.close();
    emit tray()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(window.isVisible() && !window.isMaximized());
    MessageBoxWatcher boxes;
    window.close();
    emit tray()->activated(QSystemTrayIcon::Trigger);
    emit tray()->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isVisible());
    QTRY_COMPARE(boxes.seen(), QStringList { "TalvorinTool: Dbl Click in the systray needs event" });

    window.mnuExit_Click();
    QTRY_VERIFY(!topLevelOf("QSystemTrayIconSys"));
}

void TestDesktop::alwaysOnTopAndTaskbarButton()
{
    frmMain &window = start();
    QTRY_VERIFY(window.frameGeometry() != window.geometry()); // framed by the manager
    QTest::qWait(200);
    const QRect place = window.frameGeometry();
    QVERIFY(!netWmStateHas(window, "_NET_WM_STATE_ABOVE"));
    QTRY_VERIFY(netWmStateHas(window, "_NET_WM_STATE_SKIP_TASKBAR")); // by design: no button
    QVERIFY(netWmStateHas(window, "_NET_WM_STATE_SKIP_PAGER"));

    action("mnutop")->trigger();
    QTRY_VERIFY(netWmStateHas(window, "_NET_WM_STATE_ABOVE"));
    QTest::qWait(200);
    QCOMPARE(window.frameGeometry(), place);
    action("mnuTrayTop")->trigger();
    QTRY_VERIFY(!netWmStateHas(window, "_NET_WM_STATE_ABOVE"));
    QCOMPARE(window.frameGeometry(), place);

    // The button comes and goes, and stays so through a stay in the tray.
    for (const char *item : { "mnuShow", "mnutraytask" }) {
        action(item)->trigger();
        const bool shown = action("mnuShow")->isChecked();
        QTRY_COMPARE(netWmStateHas(window, "_NET_WM_STATE_SKIP_TASKBAR"), !shown);
        window.close();
        emit tray()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(netWmStateHas(window, "_NET_WM_STATE_SKIP_TASKBAR"), !shown);
    }
}

void TestDesktop::failedAutostartLeavesTheCheckMarks()
{
    // A file where the autostart directory should be.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QFile blocker(config.filePath(QStringLiteral("autostart")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    start();
    MessageBoxWatcher boxes;
    for (const char *item : { "mnuStart", "mnuTrayStart" }) {
        action(item)->trigger();
        QVERIFY(!action("mnuStart")->isChecked() && !action("mnuTrayStart")->isChecked());
    }
    QTRY_COMPARE(boxes.seen().size(), 2);
    QVERIFY2(boxes.seen().first().contains(QLatin1String("start at login"))
                     && boxes.seen().first().contains(QLatin1String("TalvorinTool.desktop")),
             qPrintable(boxes.seen().first()));
    QCOMPARE(QFile(m_program->iniPath()).size(), 0); // nothing saved

    // Where it can be written, the entry comes and goes with the check marks.
    blocker.remove();
    QFile entry(config.filePath(QStringLiteral("autostart/TalvorinTool.desktop")));
    action("mnuTrayStart")->trigger();
    QVERIFY(action("mnuStart")->isChecked() && entry.open(QIODevice::ReadOnly));
    QCOMPARE(entry.readAll(), autostartDesktopEntry(QCoreApplication::applicationFilePath()));
    action("mnuStart")->trigger();
    QVERIFY(!action("mnuTrayStart")->isChecked() && !entry.exists());
}

void TestDesktop::hiddenChatShowsItsMessagesOnTheIcon()
{
    frmMain &window = start("[badgelink]=" + m_server.url("/badge").toLatin1() + "\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(window.chatView()->title(), QStringLiteral("Chat"), 15000);
    QWebEnginePage *chat = window.chatView()->page();
    QTest::qWait(300);
    const QImage ownIcon = trayPixels();

    // Shown and looked at: no message. Hidden: the icon carries the count and
    // the message, which brings the window back.
    chat->runJavaScript(QStringLiteral("document.title = 'Visitor: hello'"));
    QTRY_COMPARE(window.chatView()->title(), QStringLiteral("Visitor: hello"));
    QTest::qWait(300);
    QVERIFY(balloonText().isEmpty());
    window.close();
    chat->runJavaScript(QStringLiteral("document.title = 'Visitor: are you there?'"));
    QTRY_VERIFY(balloonText().contains(QLatin1String("Visitor: are you there?")));
    QTRY_VERIFY(trayPixels() != ownIcon);
    QCOMPARE(tray()->toolTip(), QStringLiteral("1 new message"));
    emit tray()->messageClicked();
    QVERIFY(window.isVisible());
    topLevelOf("QBalloonTip")->close();
    QTRY_COMPARE(trayPixels(), ownIcon);

    // Web notifications go beside the icon too.
    window.close();
    chat->runJavaScript(QStringLiteral("Notification.requestPermission().then(function () {"
                                       " new Notification('Visitor', {body: 'Knock knock'}); });"));
    QTRY_VERIFY(balloonText().contains(QLatin1String("Knock knock")));
}

TALVORIN_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
