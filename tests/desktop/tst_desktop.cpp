#include "desktop/autostartentry.h"
#include "main_window/badgepage.h"
#include "main_window/frmmain.h"
#include "support/messageboxes.h"
#include "support/startedwindow.h"
#include "support/testhttpserver.h"
#include "support/testmain.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>

// These tests need a real desktop: an EWMH window manager and an XEmbed
// notification area, as scripts/test provides (openbox and trayer on Xvfb).
namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(5000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QStringList netWmState(const QWidget &window)
{
    const QString out = run(QStringLiteral("xprop"),
                            { QStringLiteral("-id"), QString::number(window.winId()),
                              QStringLiteral("_NET_WM_STATE") });
    const int equals = out.indexOf(u'=');
    if (equals < 0)
        return {};
    QStringList atoms = out.mid(equals + 1).split(u',', Qt::SkipEmptyParts);
    for (QString &atom : atoms)
        atom = atom.trimmed();
    return atoms;
}

QWidget *trayWindow()
{
    for (QWidget *widget : QApplication::allWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), "QSystemTrayIconSys") == 0)
            return widget;
    }
    return nullptr;
}

// The value of a script, waited for; the callback owns what it writes, as a
// page answers pending scripts even while it is being destroyed.
QVariant evaluate(QWebEnginePage *page, const QString &script)
{
    auto result = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, [result](const QVariant &value) { *result = value; });
    if (!QTest::qWaitFor([&] { return result->has_value(); }, 5000))
        qWarning() << "no answer to" << script;
    return result->value_or(QVariant());
}

bool isEmbedded(QWidget *icon)
{
    const QString out = run(
            QStringLiteral("xwininfo"),
            { QStringLiteral("-children"), QStringLiteral("-id"), QString::number(icon->winId()) });
    const QString parent = out.section(QStringLiteral("Parent window id:"), 1).section(u'\n', 0, 0);
    return !parent.isEmpty() && !parent.contains(QLatin1String("the root window"));
}

// The texts of the message shown next to the tray icon; empty when none is.
QString balloonText()
{
    QStringList texts;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), "QBalloonTip") != 0 || !widget->isVisible())
            continue;
        for (QLabel *label : widget->findChildren<QLabel *>())
            texts << label->text();
    }
    return texts.join(u' ');
}

void closeBalloons()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), "QBalloonTip") == 0)
            widget->close();
    }
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void trayIconMenuAndClicks();
    void alwaysOnTopAndTaskbarButton();
    void failedAutostartLeavesTheCheckMarks();
    void hiddenWindowTellsOfNewMessages();

private:
    frmMain &start(const QByteArray &ini = {});
    QSystemTrayIcon *tray() const { return m_program->window().findChild<QSystemTrayIcon *>(); }
    QAction *action(const char *name) const
    {
        return m_program->window().findChild<QAction *>(QLatin1String(name));
    }

    TestHttpServer m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StartedWindow> m_program;
};

void TestDesktop::initTestCase()
{
    QVERIFY2(QSystemTrayIcon::isSystemTrayAvailable(),
             "no notification area: run the tests with scripts/test");
    QVERIFY(m_server.start());
    m_server.setPage("/badge",
                     "<html><body><a href='/chat' target='_blank'>chat</a></body></html>");
    m_server.setPage("/chat", "<html><head><title>Chat</title></head><body>chat</body></html>");
}

void TestDesktop::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_dir->filePath(QStringLiteral("config")).toLocal8Bit());
}

void TestDesktop::cleanup()
{
    m_program.reset();
    m_dir.reset();
}

frmMain &TestDesktop::start(const QByteArray &ini)
{
    m_program = std::make_unique<StartedWindow>();
    return m_program->start(ini);
}

void TestDesktop::trayIconMenuAndClicks()
{
    frmMain &window = start();
    QTRY_VERIFY(trayWindow() && isEmbedded(trayWindow()));
    QStringList captions;
    for (QAction *item : window.trayMenu()->actions())
        captions << item->text();
    QCOMPARE(captions,
             (QStringList { "Restore", "Maizimize", "Minimize", "Always on top",
                            "Start with windows", "Show in taskbar", "Exit" }));
    QCOMPARE(tray()->contextMenu(), window.trayMenu());
    QVERIFY(!window.menuBar()->actions().contains(window.trayMenu()->menuAction()));

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
    QTRY_VERIFY(!trayWindow());
}

void TestDesktop::alwaysOnTopAndTaskbarButton()
{
    frmMain &window = start();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.frameGeometry() != window.geometry()); // framed by the manager
    QTest::qWait(200);
    const QRect place = window.frameGeometry();
    const QString above = QStringLiteral("_NET_WM_STATE_ABOVE");
    const QString skip = QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR");
    QVERIFY(!netWmState(window).contains(above));
    QTRY_VERIFY(netWmState(window).contains(skip)); // by design: no button
    QVERIFY(netWmState(window).contains(QLatin1String("_NET_WM_STATE_SKIP_PAGER")));

    action("mnutop")->trigger();
    QTRY_VERIFY(netWmState(window).contains(above));
    QTest::qWait(200);
    QCOMPARE(window.frameGeometry(), place);
    action("mnuTrayTop")->trigger();
    QTRY_VERIFY(!netWmState(window).contains(above));
    QCOMPARE(window.frameGeometry(), place);

    // The button comes and goes, and stays so through a stay in the tray.
    for (const char *item : { "mnuShow", "mnutraytask" }) {
        action(item)->trigger();
        const bool shown = action("mnuShow")->isChecked();
        QTRY_COMPARE(netWmState(window).contains(skip), !shown);
        window.close();
        emit tray()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(netWmState(window).contains(skip), !shown);
    }
}

void TestDesktop::failedAutostartLeavesTheCheckMarks()
{
    // A file where the autostart directory should be.
    QDir().mkpath(m_dir->filePath(QStringLiteral("config")));
    QFile blocker(m_dir->filePath(QStringLiteral("config/autostart")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    start();
    MessageBoxWatcher boxes;
    for (const char *item : { "mnuStart", "mnuTrayStart" }) {
        action(item)->trigger();
        QVERIFY(!action("mnuStart")->isChecked());
        QVERIFY(!action("mnuTrayStart")->isChecked());
    }
    QTRY_COMPARE(boxes.seen().size(), 2);
    QVERIFY2(boxes.seen().first().contains(QLatin1String("start at login"))
                     && boxes.seen().first().contains(QLatin1String("TalvorinTool.desktop")),
             qPrintable(boxes.seen().first()));
    QCOMPARE(QFile(m_program->iniPath()).size(), 0); // nothing saved

    // Where it can be written, the entry comes and goes with the check marks.
    blocker.remove();
    const QString entry = m_dir->filePath(QStringLiteral("config/autostart/TalvorinTool.desktop"));
    action("mnuTrayStart")->trigger();
    QVERIFY(action("mnuStart")->isChecked());
    QFile written(entry);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), autostartDesktopEntry(QCoreApplication::applicationFilePath()));
    action("mnuStart")->trigger();
    QVERIFY(!action("mnuTrayStart")->isChecked());
    QVERIFY(!QFile::exists(entry));
}

void TestDesktop::hiddenWindowTellsOfNewMessages()
{
    frmMain &window = start("[badgelink]=" + m_server.url("/badge").toLatin1() + "\r\n");
    QWebEngineView *chat = window.chatView();
    QTRY_COMPARE_WITH_TIMEOUT(chat->url().path(), QStringLiteral("/chat"), 15000);
    QTRY_COMPARE(chat->title(), QStringLiteral("Chat"));
    QTest::qWait(300);
    const auto trayPixels = [] {
        return QGuiApplication::primaryScreen()->grabWindow(trayWindow()->winId()).toImage();
    };
    const QImage ownIcon = trayPixels();

    // Shown: the owner sees the chat, no message.
    chat->page()->runJavaScript(QStringLiteral("document.title = 'Visitor: hello'"));
    QTRY_COMPARE(chat->title(), QStringLiteral("Visitor: hello"));
    QTest::qWait(300);
    QVERIFY(balloonText().isEmpty());

    // Hidden in the notification area: the icon tells, and its message
    // brings the window back.
    window.close();
    chat->page()->runJavaScript(QStringLiteral("document.title = 'Visitor: are you there?'"));
    QTRY_VERIFY(balloonText().contains(QLatin1String("Visitor: are you there?")));
    // The icon as the panel shows it carries the count until the owner looks.
    QTRY_VERIFY(trayPixels() != ownIcon);
    QCOMPARE(tray()->toolTip(), QStringLiteral("1 new message"));
    emit tray()->messageClicked();
    QVERIFY(window.isVisible());
    closeBalloons();
    QTRY_COMPARE(trayPixels(), ownIcon);

    // Web notifications are allowed, to the badge page as well (the two
    // share their origin), and shown by the icon.
    window.close();
    const QString ask = QStringLiteral("Notification.requestPermission().then(function (p) {"
                                       "  window.permission = p;"
                                       "  if (p === 'granted') window.note = new "
                                       "Notification('Visitor', {body: 'Knock knock'});"
                                       "});");
    chat->page()->runJavaScript(ask);
    window.badgePage()->runJavaScript(ask);
    const QString answer = QStringLiteral("window.permission || ''");
    QTRY_VERIFY(!evaluate(chat->page(), answer).toString().isEmpty());
    QTRY_VERIFY(!evaluate(window.badgePage(), answer).toString().isEmpty());
    const QString chatAnswer = evaluate(chat->page(), answer).toString();
    const QString badgeAnswer = evaluate(window.badgePage(), answer).toString();
    QCOMPARE(chatAnswer, QStringLiteral("granted"));
    QCOMPARE(badgeAnswer, QStringLiteral("granted"));
    QTRY_VERIFY(balloonText().contains(QLatin1String("Knock knock")));
}

TALVORIN_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
