#include "main_window/badgepage.h"
#include "support/onscreen.h"
#include "support/startedwindow.h"

#include <QDesktopServices>
#include <QWebEngineView>

#include <csignal>

namespace {

// The backgrounds of support/pages/chat.html and login.html.
const QColor kChatColour(0x2a, 0x7a, 0xb0);
const QColor kLoginColour(0xc0, 0x50, 0x20);

} // namespace

// The badge page, the chat and the login window as the owner sees them: taken
// from the screen, typed into through the X server.
class TestChatScreen : public QObject {
    Q_OBJECT
public slots:
    void openOutside(const QUrl &url) { m_outside.append(url); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.serveFolder(QStringLiteral(TALVORIN_TEST_PAGES));
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openOutside");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openOutside");
    }
    void cleanup()
    {
        m_program.reset(); // the login windows go with the main window
        m_outside.clear();
    }

    // Each badge page opens its chat another way; see support/pages.
    void everyChatRouteIsPaintedAndTyped_data()
    {
        QTest::addColumn<QByteArray>("badge");
        for (const char *badge : { "/blank", "/opener", "/open", "/open-sized", "/noopener", "/several" })
            QTest::newRow(badge) << QByteArray(badge);
    }

    // The owner's whole day: the site hears of the start, the chat comes up
    // painted and takes the mouse and the keyboard, survives hiding in the
    // tray, and Exit tells the site.
    void everyChatRouteIsPaintedAndTyped()
    {
        QFETCH(QByteArray, badge);
        const int chats = m_server.count("/chat");
        frmMain &window = start(badge, linkLine("linkstart", m_server, "/start")
                                               + linkLine("linkclose", m_server, "/exit"));
        QWebEngineView *chat = window.chatView();
        QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(chat), kChatColour), 15000);
        // A size asked for by the page does not shrink the chat; it fills the
        // window, 60 twips in from each side.
        const int inset = qRound(60.0 * window.logicalDpiX() / 1440);
        QCOMPARE(chat->geometry(),
                 window.centralWidget()->rect().adjusted(inset, inset, -inset, -inset));

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

    // A badge that says "cannot" is left alone. One that hangs its page is
    // given a fresh page by Reload, and the chat comes.
    void badgeThatSaysCannotOrHangs()
    {
        frmMain &window = start("/cannot");
        QTRY_VERIFY_WITH_TIMEOUT(window.badgePage()->badgeHtml().contains(QLatin1String("cannot")),
                                 15000);
        QTest::qWait(800);
        QVERIFY(m_server.count("/wrong") == 0 && window.chatView()->url().isEmpty());

        m_server.setRedirect("/cannot", "/hung");
        window.mnureload_Click();
        QTRY_COMPARE(m_server.count("/hung"), 1);
        QTest::qWait(5500); // long enough for the page to count as hung
        m_server.setRedirect("/cannot", "/blank");
        window.mnureload_Click();
        QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(window.chatView()), kChatColour),
                                 20000);
    }

    void loginWindowComesAfterTheMessageWithTheKeyboard()
    {
        frmMain &window = start("/logged-out");
        QTRY_COMPARE_WITH_TIMEOUT(m_program->messages(),
                                  QStringList { "TalvorinTool: Login into your account and click "
                                                "RELOAD in the appliction!" },
                                  15000);
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

    void chatThatClosesItselfBringsTheBadgeBackOnce()
    {
        frmMain &window = start("/closing");
        // The badge comes back once and opens the chat again, which closes
        // again: that second close has to wait for the owner's Reload.
        QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/closing-chat"), 2, 15000);
        QTest::qWait(1500);
        QCOMPARE(m_server.count("/closing"), 2);
        QVERIFY(!looksLike(colourOnScreenAt(window.chatView()), kChatColour));
    }

    // Links, permissions and a dying renderer: a visitor's link goes to the
    // user's browser, a page gets no permission but notifications and goes
    // nowhere but the web, and a killed chat renderer brings the chat back once.
    void pagesStayOnTheWebAndRecover()
    {
        frmMain &window = start("/visitor-badge");
        QWebEngineView *chat = window.chatView();
        QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(chat), kChatColour), 15000);
        QVERIFY(clickAndType(chat, {}));
        QTRY_COMPARE_WITH_TIMEOUT(m_outside, QList<QUrl> { QUrl(m_server.url("/visitor")) }, 10000);
        QCOMPARE(m_server.count("/visitor"), 0);

        // The page asked for both at load; location error 1 is a refused permission.
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

        // By now the badge rests (its renderer let go) beside a chat of its
        // own: the chat's renderer dies, and the badge wakes with one fetch.
        const qint64 renderer = chat->page()->renderProcessPid();
        QVERIFY(renderer > 0 && renderer != window.badgePage()->renderProcessPid());
        QCOMPARE(::kill(pid_t(renderer), SIGKILL), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/visitor-badge"), 2, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(chat), kChatColour), 15000);
        QTest::qWait(1000);
        QCOMPARE(m_server.count("/visitor-badge"), 2);
    }

private:
    frmMain &start(const QByteArray &badge, const QByteArray &more = {})
    {
        m_program = std::make_unique<StartedWindow>(linkLine("badgelink", m_server, badge) + more);
        return m_program->window();
    }

    TestHttpServer m_server;
    std::unique_ptr<StartedWindow> m_program;
    QList<QUrl> m_outside;
};

TALVORIN_TEST_MAIN(TestChatScreen)
#include "tst_chatscreen.moc"
