#include "main_window/badgepage.h"
#include "main_window/badgerules.h"
#include "main_window/frmmain.h"
#include "support/messageboxes.h"
#include "support/startedwindow.h"
#include "support/testhttpserver.h"
#include "support/testmain.h"

#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QTemporaryDir>
#include <QWebEngineView>

#include <csignal>

// The program under bad links, failing sites and hostile pages: it stays
// responsive, ends within its bound, and its pages go nowhere they should not.
class TestFaults : public QObject {
    Q_OBJECT
public slots:
    void openOutside(const QUrl &url) { m_outside.append(url); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void navigationRule_data();
    void navigationRule();
    void statusLinkFaults_data();
    void statusLinkFaults();
    void pagesCannotLeaveTheWeb();
    void localBadgeStaysInItsFolder();
    void pagesGetNoPermissionButNotifications();
    void crashedRendererReloadsTheBadgeOnce();
    void hungBadgeRecoversWithReload();
    void failingBadgeServiceLeavesTheMenusWorking();
    void unsavableSettingsAreToldOnce();

private:
    frmMain &start(const QByteArray &ini);
    QString link(const QByteArray &path) const { return m_server->url(path); }

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<StartedWindow> m_program;
    QList<QUrl> m_outside;
};

void TestFaults::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openOutside");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openOutside");
}

void TestFaults::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestFaults::init()
{
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->start());
    m_server->setPage("/start", "online");
    m_server->setPage("/badge", "<body><a href='/chat' target='_blank'>chat</a></body>");
    m_server->setPage("/chat", "<title>Chat</title><body>chat</body>");
    m_outside.clear();
}

void TestFaults::cleanup()
{
    m_program.reset();
    m_server.reset();
}

frmMain &TestFaults::start(const QByteArray &ini)
{
    m_program = std::make_unique<StartedWindow>();
    return m_program->start(ini);
}

void TestFaults::navigationRule_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("badge");
    QTest::addColumn<bool>("allowed");
    const QString web = QStringLiteral("https://badge.example.com/b");
    QTest::newRow("http") << "http://example.com/chat" << web << true;
    QTest::newRow("https") << "https://example.com/" << web << true;
    QTest::newRow("blank") << "about:blank" << web << true;
    QTest::newRow("file from a web badge") << "file:///etc/passwd" << web << false;
    QTest::newRow("chrome") << "chrome://settings" << web << false;
    QTest::newRow("javascript") << "javascript:alert(1)" << web << false;
    QTest::newRow("data") << "data:text/html,<b>x</b>" << web << false;
    QTest::newRow("ftp") << "ftp://example.com/" << web << false;
    const QString local = QStringLiteral("file:///srv/demo/badge.html");
    QTest::newRow("beside a local badge") << "file:///srv/demo/chat.html" << local << true;
    QTest::newRow("below a local badge") << "file:///srv/demo/sub/c.html" << local << true;
    QTest::newRow("outside a local badge") << "file:///etc/passwd" << local << false;
    QTest::newRow("climbing out") << "file:///srv/demo/../secret.html" << local << false;
    QTest::newRow("sibling folder") << "file:///srv/demo2/chat.html" << local << false;
}

void TestFaults::navigationRule()
{
    QFETCH(QString, target);
    QFETCH(QString, badge);
    QFETCH(bool, allowed);
    QCOMPARE(isNavigationAllowed(QUrl(target), QUrl(badge)), allowed);
}

void TestFaults::statusLinkFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("refused") << "refused";
    QTest::newRow("unknown host") << "unknown";
    QTest::newRow("500") << "500";
    QTest::newRow("redirect loop") << "loop";
    QTest::newRow("never answers") << "silent";
    QTest::newRow("a byte a second") << "drip";
    QTest::newRow("no address") << "malformed";
}

void TestFaults::statusLinkFaults()
{
    QFETCH(QString, fault);
    m_server->setPage("/500", "oops", 500);
    m_server->setRedirect("/loop", "/loop");
    m_server->setSilent("/silent");
    m_server->setDripping("/drip");
    QString bad;
    if (fault == QLatin1String("refused")) {
        bad = TestHttpServer::refusedUrl();
    } else if (fault == QLatin1String("malformed")) {
        bad = QStringLiteral("http://[::1");
    } else if (fault == QLatin1String("unknown")) {
        bad = QStringLiteral("http://no-such-host.invalid/status");
    } else {
        bad = link('/' + fault.toLatin1());
    }
    frmMain &window =
            start("[linkstart]=" + bad.toLatin1() + "\r\n[linkclose]=" + bad.toLatin1() + "\r\n");
    window.setExitTimeout(2000);
    auto *online = window.findChild<QAction *>(QStringLiteral("mnuonline"));
    auto *offline = window.findChild<QAction *>(QStringLiteral("mnuoffline"));

    // Online and Offline come back at once and the window goes on with its events.
    online->trigger();
    offline->trigger();
    QVERIFY(online->isChecked() && !offline->isChecked());
    QTimer tick;
    QSignalSpy ticks(&tick, &QTimer::timeout);
    tick.start(10);
    QTRY_VERIFY(ticks.count() >= 3);
    QCOMPARE(m_program->unloadCount(), 0);

    // Exit ends the program, at the latest at its deadline.
    window.mnuExit_Click();
    QTRY_COMPARE_WITH_TIMEOUT(m_program->unloadCount(), 1, 8000);
}

void TestFaults::pagesCannotLeaveTheWeb()
{
    QTemporaryDir files;
    QFile secret(files.filePath(QStringLiteral("secret.html")));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("<title>secret</title>");
    secret.close();
    const QByteArray fileUrl = QUrl::fromLocalFile(secret.fileName()).toEncoded();
    m_server->setPage("/badge", "<body><a href='/chat' target='_blank'>chat</a></body>");
    m_server->setPage("/chat",
                      "<title>Chat</title><body><a id='v' href='" + fileUrl
                              + "' target='_blank' style='display:block;height:300px'>"
                                "x</a></body>");
    frmMain &window = start("[badgelink]=" + link("/badge").toLatin1() + "\r\n");
    QWebEngineView *chat = window.chatView();
    QTRY_COMPARE_WITH_TIMEOUT(chat->title(), QStringLiteral("Chat"), 15000);

    // The chat and the badge page try to go to a local file, and to chrome:.
    for (QWebEnginePage *page :
         { chat->page(), static_cast<QWebEnginePage *>(window.badgePage()) }) {
        page->runJavaScript(
                QStringLiteral("location.href = '%1'").arg(QString::fromLatin1(fileUrl)));
        page->runJavaScript(QStringLiteral(
                "setTimeout(function () { location.href = 'chrome://version'; }, 100)"));
    }
    // A visitor's link to a local file in a new window opens nowhere.
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(chat->focusProxy(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::qWait(1500);
    QCOMPARE(chat->url().path(), QStringLiteral("/chat"));
    QCOMPARE(window.badgePage()->url().path(), QStringLiteral("/badge"));
    QVERIFY(m_outside.isEmpty());
}

void TestFaults::localBadgeStaysInItsFolder()
{
    QTemporaryDir site;
    auto write = [&](const QString &name, const QByteArray &text) {
        QFile file(site.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    write(QStringLiteral("badge.html"),
          "<body><a href='chat.html' target='_blank'>chat</a></body>");
    write(QStringLiteral("chat.html"), "<title>Local chat</title><body>chat</body>");
    frmMain &window =
            start("[badgelink]="
                  + QUrl::fromLocalFile(site.filePath(QStringLiteral("badge.html"))).toEncoded()
                  + "\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(window.chatView()->title(), QStringLiteral("Local chat"), 15000);
    window.chatView()->page()->runJavaScript(
            QStringLiteral("location.href = 'file:///etc/hostname'"));
    QTest::qWait(1000);
    QCOMPARE(window.chatView()->title(), QStringLiteral("Local chat"));
}

void TestFaults::pagesGetNoPermissionButNotifications()
{
    m_server->setPage("/chat", "<title>Chat</title><body>chat</body>");
    frmMain &window = start("[badgelink]=" + link("/badge").toLatin1() + "\r\n");
    QWebEngineView *chat = window.chatView();
    QTRY_COMPARE_WITH_TIMEOUT(chat->title(), QStringLiteral("Chat"), 15000);
    chat->page()->runJavaScript(QStringLiteral(R"(
        var answers = [];
        function answer(text) {
            answers.push(text);
            if (answers.length == 2)
                document.title = answers.sort().join(' ');
        }
        Notification.requestPermission().then(function (p) { answer('notifications ' + p); });
        navigator.geolocation.getCurrentPosition(function () { answer('location granted'); },
                                                 function (e) { answer('location ' + e.code); });
    )"));
    // Location error 1 is a refused permission.
    QTRY_COMPARE_WITH_TIMEOUT(chat->title(), QStringLiteral("location 1 notifications granted"),
                              10000);
}

void TestFaults::crashedRendererReloadsTheBadgeOnce()
{
    frmMain &window = start("[badgelink]=" + link("/badge").toLatin1() + "\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(window.chatView()->title(), QStringLiteral("Chat"), 15000);
    QTest::qWait(300);
    const int badges = m_server->count("/badge");

    QVERIFY(window.badgePage()->renderProcessPid() > 0);
    QCOMPARE(::kill(pid_t(window.badgePage()->renderProcessPid()), SIGKILL), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_server->count("/badge"), badges + 1, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(window.chatView()->title(), QStringLiteral("Chat"), 15000);
    QTest::qWait(1000);
    QCOMPARE(m_server->count("/badge"), badges + 1);
    QVERIFY(window.isVisible());
}

void TestFaults::hungBadgeRecoversWithReload()
{
    m_server->setPage("/badge", "<body><script>for (;;) {}</script></body>");
    frmMain &window = start("[badgelink]=" + link("/badge").toLatin1() + "\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_server->count("/badge"), 1, 15000);
    QTest::qWait(5500); // long enough for the page to count as hung

    // The menus still work meanwhile; Reload gets a fresh page going.
    m_server->setPage("/badge", "<body><a href='/chat' target='_blank'>chat</a></body>");
    window.mnureload_Click();
    QTRY_COMPARE_WITH_TIMEOUT(window.chatView()->title(), QStringLiteral("Chat"), 20000);
}

void TestFaults::failingBadgeServiceLeavesTheMenusWorking()
{
    m_server->setPage("/badge", "service down", 500);
    frmMain &window = start("[badgelink]=" + link("/badge").toLatin1()
                            + "\r\n[linkstart]=" + link("/start").toLatin1() + "\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_server->count("/badge"), 1, 15000);
    QVERIFY(!window.findChild<QFrame *>(QStringLiteral("Frame1"))->isVisible());
    window.findChild<QAction *>(QStringLiteral("mnuonline"))->trigger();
    QTRY_COMPARE(m_server->count("/start"), 2);
    window.mnureload_Click();
    QTRY_COMPARE_WITH_TIMEOUT(m_server->count("/badge"), 2, 15000);
    QVERIFY(window.chatView()->url().isEmpty());
}

void TestFaults::unsavableSettingsAreToldOnce()
{
    frmMain &window = start("[ontop]=False\r\n");
    // A folder where the file was: no save can succeed, not even as root.
    QVERIFY(QFile::remove(m_program->iniPath()));
    QVERIFY(QDir().mkdir(m_program->iniPath()));
    MessageBoxWatcher boxes;
    auto *top = window.findChild<QAction *>(QStringLiteral("mnutop"));
    top->trigger();
    top->trigger();
    top->trigger();
    QTRY_COMPARE(boxes.seen().size(), 1);
    QVERIFY2(boxes.seen().first().startsWith(
                     QStringLiteral("TalvorinTool: The settings cannot be saved to ")),
             qPrintable(boxes.seen().first()));
    // The toggles themselves took effect.
    QVERIFY(top->isChecked());
    QTest::qWait(200);
    QCOMPARE(boxes.seen().size(), 1);
}

TALVORIN_TEST_MAIN(TestFaults)
#include "tst_faults.moc"
