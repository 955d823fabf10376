#include "common/graphics.h"
#include "web/badgepage.h"
#include "main_window/chatscreen.h"
#include "support/answeredmessages.h"
#include "support/datatable.h"
#include "support/onscreen.h"
#include "support/openedurls.h"
#include "support/testhttpserver.h"
#include "support/viewwindow.h"

#include <QWebEngineView>

#include <csignal>

// The chat screen filling a plain window, with the badge service played by a
// local server: every way a badge opens its chat, and the badges that bring
// none at once, as the owner sees them: taken from the screen and typed into
// through the X server (scripts/test gives an X display with a window manager).
class TestChatScreen : public QObject {
    Q_OBJECT
public:
    // The pages drawn as the program draws them.
    static void initMain() { useSoftwareCompositing(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.serveFolder(QStringLiteral(TALVORIN_TEST_PAGES));
    }

    // Each badge page opens its chat another way; see support/pages.
    void everyChatRouteIsPaintedAndTyped_data()
    {
        const auto row = dataTable<QByteArray>("badge");
        for (const char *badge : { "/blank", "/opener", "/open", "/open-sized", "/noopener", "/several" })
            row(badge, badge);
    }

    // The chat comes up painted, fills its place whatever size the page asks
    // for, takes the mouse and the keyboard, and survives hiding.
    void everyChatRouteIsPaintedAndTyped()
    {
        QFETCH(QByteArray, badge);
        const int chats = m_server.count("/chat");
        QWidget &window = start(badge);
        QWebEngineView *chat = m_screen->chatView();
        QVERIFY(showsColour(chat, kChat));
        QCOMPARE(chat->geometry(), window.rect());

        const int keys = m_server.count("/key?i"), h = m_server.count("/key?h");
        QVERIFY(clickAndType(chat, "hi", [&] { return m_server.count("/key?h") > h; }));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/key?i"), keys + 1, 5000);

        window.hide();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window) && showsColour(chat, kChat, 5000));
        QCOMPARE(m_server.count("/chat"), chats + 1); // one click per completed badge
    }

    // Links, permissions and a dying renderer: a visitor's link goes to the
    // user's browser, a page gets no permission but notifications, and those
    // only on its own site, and a killed chat renderer brings the chat back
    // once.
    void pagesStayOnTheWebAndRecover()
    {
        start("/visitor-badge");
        QWebEngineView *chat = m_screen->chatView();
        QVERIFY(showsColour(chat, kChat));
        QVERIFY(clickAndType(chat, {}, {}));
        QTRY_COMPARE_WITH_TIMEOUT(m_outside.all(), QList<QUrl> { QUrl(m_server.url("/visitor")) }, 10000);
        QCOMPARE(m_server.count("/visitor"), 0);
        // The page asked for both at load; location error 1 is a refused permission.
        QTRY_COMPARE_WITH_TIMEOUT(chat->title(), "location 1 notifications granted", 10000);
        // The same chat on a site of its own gets no notifications.
        chat->load(QUrl(m_server.url("/visitor-chat").replace("127.0.0.1", "localhost")));
        QTRY_COMPARE_WITH_TIMEOUT(chat->title(), "location 1 notifications denied", 10000);

        // By now the badge rests (its renderer let go) beside a chat of its
        // own: the chat's renderer dies, and the badge wakes with one fetch,
        // each time the chat has come back.
        for (int fetched : { 2, 3 }) {
            const qint64 renderer = chat->page()->renderProcessPid();
            QVERIFY(renderer > 0 && renderer != m_screen->badgePage()->renderProcessPid());
            QCOMPARE(::kill(pid_t(renderer), SIGKILL), 0);
            QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/visitor-badge"), fetched, 15000);
            QVERIFY(showsColour(chat, kChat));
            QTRY_VERIFY(!chat->page()->isLoading() && chat->page()->renderProcessPid() != renderer);
        }
        QTest::qWait(1000);
        QCOMPARE(m_server.count("/visitor-badge"), 3);
    }

    // Badges that bring no chat at once. Logged out: the message first, then
    // the login window with the keyboard. A chat that closes itself: the
    // badge comes back once and opens the chat again, which closes again;
    // that second close has to wait for the owner's Reload. One that says
    // "cannot" is left alone; when it hangs its page (last: its renderer may
    // spin on), Reload gives it a fresh one and the chat comes.
    void badgesThatBringNoChatAtOnce()
    {
        AnsweredMessages messages;
        QWidget *window = &start("/logged-out");
        const QString told = "Login into your account and click RELOAD in the appliction!";
        QTRY_COMPARE_WITH_TIMEOUT(messages.all().join(u'|'), "TalvorinTool: " + told, 15000);
        auto *login = window->findChild<QWebEngineView *>("LoginWindow");
        QVERIFY(login && QTest::qWaitForWindowActive(login));
        QCOMPARE(login->size(), QSize(420, 380));
        QVERIFY(showsColour(login, QColor(0xc0, 0x50, 0x20))); // support/pages/login.html
        // No click: the keyboard is the login page's.
        QVERIFY(clickAndType(nullptr, "pw", [&] { return m_server.requests().contains("/key?p"); }));
        QTRY_VERIFY_WITH_TIMEOUT(m_server.requests().contains("/key?w"), 5000);
        // It zooms as the chat does (and back, for the chats after it).
        for (auto [key, zoom] : { std::pair("ctrl+minus", 0.9), std::pair("ctrl+0", 1.0) }) {
            QVERIFY(xdotool(QStringLiteral("key ") + key));
            QTRY_COMPARE_WITH_TIMEOUT(login->zoomFactor(), zoom, 5000);
        }

        start("/closing");
        QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/closing-chat"), 2, 15000);
        QTest::qWait(1500);
        QCOMPARE(m_server.count("/closing"), 2);
        QVERIFY(!showsColour(m_screen->chatView(), kChat, 0));

        start("/cannot");
        QTRY_VERIFY_WITH_TIMEOUT(m_screen->badgePage()->badgeHtml().contains("cannot"), 15000);
        QTest::qWait(800);
        QVERIFY(m_server.count("/wrong") == 0 && m_screen->chatView()->url().isEmpty());
        // Its own renderer dies: it is fetched again, each time it had loaded.
        // The third time it hangs before its load completes, and its renderer
        // dying then waits for the owner's Reload.
        BadgePage *badge = m_screen->badgePage();
        qint64 renderer = 0;
        for (int fetched : { 2, 3, 4 }) {
            QTRY_VERIFY(!badge->isLoading() && (renderer = badge->renderProcessPid()) > 0);
            if (fetched == 4)
                m_server.setRedirect("/cannot", "/hung");
            QCOMPARE(::kill(pid_t(renderer), SIGKILL), 0);
            QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/cannot"), fetched, 15000);
        }
        QTRY_VERIFY(m_server.count("/hung") == 1 && badge->renderProcessPid() > 0
                    && badge->renderProcessPid() != renderer);
        QCOMPARE(::kill(pid_t(badge->renderProcessPid()), SIGKILL), 0);
        QTest::qWait(1500);
        QCOMPARE(m_server.count("/hung"), 1);
        m_screen->reload();
        QTRY_COMPARE(m_server.count("/hung"), 2);
        QTest::qWait(5500); // long enough for the page to count as hung
        m_server.setRedirect("/cannot", "/blank");
        m_screen->reload();
        QVERIFY(showsColour(m_screen->chatView(), kChat, 20000));
    }

private:
    // A shown window whose chat screen loads the badge at `badge`.
    QWidget &start(const QByteArray &badge)
    {
        m_window.reset(); // one profile at a time
        m_window = std::make_unique<ViewWindow>(QSize(450, 600));
        const QString link = m_server.url(badge);
        m_screen = new ChatScreen(m_window.get(), m_window.get(), [link] { return link; });
        m_window->fill(m_screen->chatView());
        m_screen->start();
        m_window->show();
        m_screen->loadBadge();
        return *m_window;
    }

    TestHttpServer m_server;
    std::unique_ptr<ViewWindow> m_window;
    ChatScreen *m_screen = nullptr; // the window's
    OpenedUrls m_outside { { "http", "file" } }; // what went to the user's browser
};

QTEST_MAIN(TestChatScreen)
#include "tst_chatscreen.moc"
