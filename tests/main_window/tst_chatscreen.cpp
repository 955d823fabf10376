#include "main_window/badgepage.h"
#include "main_window/frmmain.h"
#include "support/messageboxes.h"
#include "support/onscreen.h"
#include "support/startedwindow.h"
#include "support/testhttpserver.h"
#include "support/testmain.h"

#include <QDesktopServices>
#include <QWebEngineView>

#include <csignal>

namespace {

const QColor kChatColour(0x2a, 0x7a, 0xb0);
const QColor kLoginColour(0xc0, 0x50, 0x20);

// A page in one solid colour that reports every key it gets to the server.
QByteArray solidPage(const QByteArray &title, const QColor &colour, const QByteArray &script = {})
{
    return "<!DOCTYPE html><html><head><title>" + title + "</title></head>"
           "<body style='margin:0;height:100vh;background:" + colour.name().toLatin1() + "'>"
           "<script>document.addEventListener('keydown', function (e) {"
           " fetch('/key?' + e.key); });" + script + "</script></body></html>";
}

QByteArray badge(const QByteArray &body, const QByteArray &title = "Badge")
{
    return "<!DOCTYPE html><html><head><title>" + title + "</title></head><body>" + body
            + "</body></html>";
}

QByteArray opens(const QByteArray &path, const QByteArray &arguments = {})
{
    return "<a href='#' onclick=\"window.open('" + path + "'" + arguments
            + "); return false\">chat</a>";
}

} // namespace

// The badge page, the chat and the login window as the owner sees them: taken
// from the screen, typed into through the X server.
class TestChatScreen : public QObject {
    Q_OBJECT
public slots:
    void openOutside(const QUrl &url) { m_outside.append(url); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void everyChatRouteIsPaintedAndTyped_data();
    void everyChatRouteIsPaintedAndTyped();
    void badgeThatSaysCannotIsLeftAlone();
    void loginWindowComesAfterTheMessageWithTheKeyboard();
    void chatThatClosesItselfBringsTheBadgeBackOnce();
    void pagesStayOnTheWebAndRecover();
    void hungBadgeRecoversWithReload();

private:
    frmMain &start(const QByteArray &badgePath, const QByteArray &more = {});

    TestHttpServer m_server;
    std::unique_ptr<StartedWindow> m_program;
    QList<QUrl> m_outside;
};

void TestChatScreen::initTestCase()
{
    QVERIFY(m_server.start());
    m_server.setPage("/chat", solidPage("Chat", kChatColour));
    m_server.setPage("/closing-chat", solidPage("Chat", kChatColour,
                                                "setTimeout(function () { window.close(); }, 300);"));
    m_server.setPage("/login", solidPage("Log in", kLoginColour));
    m_server.setPage("/start", "online");
    m_server.setPage("/exit", "offline");
    m_server.setPage("/blank", badge("<a href='/chat' target='_blank'>chat</a>"));
    m_server.setPage("/opener", badge("<a href='/chat' target='_blank' rel='opener'>chat</a>"));
    m_server.setPage("/open", badge(opens("/chat")));
    m_server.setPage("/open-sized", badge(opens("/chat", ", '', 'height=500,width=300'")));
    m_server.setPage("/noopener", badge(opens("/chat", ", '_blank', 'noopener'")));
    // An SVG link's node name is "a", not "A": it is no anchor to click.
    m_server.setPage("/several",
                     badge("<svg><a href='/wrong' target='_blank'><text>s</text></a></svg>"
                           "<div><span><a href='/chat' target='_blank'>1</a></span></div>"
                           "<a href='/wrong' target='_blank'>2</a>"));
    m_server.setPage("/cannot", badge("<script>var why = 'cannot';</script>"
                                      "<a href='/wrong' target='_blank'>c</a>"));
    m_server.setPage("/closing", badge(opens("/closing-chat")));
    m_server.setPage("/logged-out",
                     badge(opens("/login", ", '', 'width=420,height=380'"), "Not Logged In"));
    m_server.setPage("/hung", "<body><script>for (;;) {}</script></body>");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openOutside");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openOutside");
}

void TestChatScreen::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestChatScreen::cleanup()
{
    m_program.reset(); // the login windows go with the main window
    m_outside.clear();
}

frmMain &TestChatScreen::start(const QByteArray &badgePath, const QByteArray &more)
{
    m_program = std::make_unique<StartedWindow>();
    frmMain &window =
            m_program->start("[badgelink]=" + m_server.url(badgePath).toLatin1() + "\r\n" + more);
    if (!QTest::qWaitForWindowExposed(&window))
        qWarning("the main window did not come up");
    return window;
}

void TestChatScreen::everyChatRouteIsPaintedAndTyped_data()
{
    QTest::addColumn<QByteArray>("badge");
    QTest::newRow("target=_blank") << QByteArray("/blank");
    QTest::newRow("target=_blank rel=opener") << QByteArray("/opener");
    QTest::newRow("window.open") << QByteArray("/open");
    QTest::newRow("window.open with a size") << QByteArray("/open-sized");
    QTest::newRow("window.open noopener") << QByteArray("/noopener");
    QTest::newRow("first of several anchors") << QByteArray("/several");
}

// The owner's whole day: the site hears of the start, the chat comes up
// painted and takes the mouse and the keyboard, survives hiding in the tray,
// and Exit tells the site.
void TestChatScreen::everyChatRouteIsPaintedAndTyped()
{
    QFETCH(QByteArray, badge);
    const int chats = m_server.count("/chat");
    frmMain &window = start(badge,
                            "[linkstart]=" + m_server.url("/start").toLatin1()
                                    + "\r\n[linkclose]=" + m_server.url("/exit").toLatin1()
                                    + "\r\n");
    QWebEngineView *chat = window.chatView();
    QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(chat), kChatColour), 15000);
    // A size asked for by the page does not shrink the chat; it fills the
    // window, 60 twips in from each side.
    const int inset = qRound(60.0 * window.logicalDpiX() / 1440);
    QCOMPARE(chat->geometry(), window.centralWidget()->rect().adjusted(inset, inset, -inset, -inset));

    const int keys = m_server.count("/key?i");
    QVERIFY(clickAndType(chat, QStringLiteral("hi")));
    QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/key?i"), keys + 1, 5000);

    window.close();
    QVERIFY(!window.isVisible());
    window.bringBack();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(looksLike(colourOnScreenAt(chat), kChatColour));

    window.mnuExit_Click();
    QTRY_COMPARE(m_program->unloadCount(), 1);
    const QList<QByteArray> asked = m_server.requests();
    QCOMPARE(asked.mid(asked.lastIndexOf("/start"), 2), (QList<QByteArray> { "/start", badge }));
    QVERIFY(asked.contains("/exit"));
    QCOMPARE(m_server.count("/chat"), chats + 1); // one click per completed badge
    QCOMPARE(m_server.count("/wrong"), 0);
}

void TestChatScreen::badgeThatSaysCannotIsLeftAlone()
{
    frmMain &window = start("/cannot");
    QTRY_VERIFY_WITH_TIMEOUT(window.badgePage()->badgeHtml().contains(QLatin1String("cannot")),
                             15000);
    QTest::qWait(800);
    QVERIFY(m_server.count("/wrong") == 0 && window.chatView()->url().isEmpty());
}

void TestChatScreen::loginWindowComesAfterTheMessageWithTheKeyboard()
{
    MessageBoxWatcher boxes;
    frmMain &window = start("/logged-out");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.seen().size(), 1, 15000);
    QCOMPARE(boxes.seen().first(), QStringLiteral("TalvorinTool: Login into your account and "
                                                  "click RELOAD in the appliction!"));
    auto *login = window.findChild<QWebEngineView *>(QStringLiteral("LoginWindow"));
    QVERIFY(login && QTest::qWaitForWindowActive(login));
    QCOMPARE(login->size(), QSize(420, 380));
    QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(login), kLoginColour), 15000);

    // Typed without a click: the keyboard is the login page's already.
    QTRY_VERIFY(!login->page()->isLoading());
    QTest::qWait(700); // as a user would: the window has only just appeared
    QVERIFY(clickAndType(nullptr, QStringLiteral("pw")));
    QTRY_VERIFY_WITH_TIMEOUT(m_server.requests().contains("/key?w"), 5000);
    QVERIFY(window.chatView()->url().isEmpty());
}

void TestChatScreen::chatThatClosesItselfBringsTheBadgeBackOnce()
{
    frmMain &window = start("/closing");
    // The badge comes back once and opens the chat again, which closes again:
    // that second close has to wait for the owner's Reload.
    QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/closing-chat"), 2, 15000);
    QTest::qWait(1500);
    QCOMPARE(m_server.count("/closing"), 2);
    QVERIFY(!looksLike(colourOnScreenAt(window.chatView()), kChatColour));
}

// Links, permissions and a dying renderer: a visitor's link goes to the
// user's browser, a page gets no permission but notifications and goes
// nowhere but the web, and a killed chat renderer brings the chat back once.
void TestChatScreen::pagesStayOnTheWebAndRecover()
{
    m_server.setPage("/visitor-chat",
                     solidPage("Chat", kChatColour).replace(
                             "<script>", "<a href='" + m_server.url("/visitor").toLatin1()
                                             + "' target='_blank' style='display:block;"
                                               "height:100vh'>visitor link</a><script>"));
    m_server.setPage("/visitor-badge", badge("<a href='/visitor-chat' target='_blank'>c</a>"));
    frmMain &window = start("/visitor-badge");
    QWebEngineView *chat = window.chatView();
    QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(chat), kChatColour), 15000);
    QVERIFY(clickAndType(chat, {}));
    QTRY_COMPARE_WITH_TIMEOUT(m_outside, (QList<QUrl> { QUrl(m_server.url("/visitor")) }), 10000);
    QCOMPARE(m_server.count("/visitor"), 0);

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
    for (QWebEnginePage *page : { chat->page(), static_cast<QWebEnginePage *>(window.badgePage()) })
        page->runJavaScript(QStringLiteral("location.href = 'file:///etc/hostname';"
                                           "setTimeout(function () {"
                                           " location.href = 'chrome://version'; }, 100)"));
    QTest::qWait(1500);
    QCOMPARE(chat->url().path(), QStringLiteral("/visitor-chat"));
    QCOMPARE(window.badgePage()->url().path(), QStringLiteral("/visitor-badge"));
    QCOMPARE(m_outside.size(), 1);

    // By now the badge rests (its renderer let go) beside a chat of its own:
    // the chat's renderer dies, and the badge wakes with a single fetch.
    const qint64 renderer = chat->page()->renderProcessPid();
    QVERIFY(renderer > 0 && renderer != window.badgePage()->renderProcessPid());
    QCOMPARE(::kill(pid_t(renderer), SIGKILL), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/visitor-badge"), 2, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(chat), kChatColour), 15000);
    QTest::qWait(1000);
    QCOMPARE(m_server.count("/visitor-badge"), 2);
}

void TestChatScreen::hungBadgeRecoversWithReload()
{
    frmMain &window = start("/hung");
    QTest::qWait(5500); // long enough for the page to count as hung
    m_server.setPage("/hung", badge("<a href='/chat' target='_blank'>chat</a>"));
    window.mnureload_Click();
    QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(window.chatView()), kChatColour), 20000);
}

TALVORIN_TEST_MAIN(TestChatScreen)
#include "tst_chatscreen.moc"
