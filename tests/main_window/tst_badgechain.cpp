#include "main_window/badgepage.h"
#include "main_window/frmmain.h"
#include "support/messageboxes.h"
#include "support/startedwindow.h"
#include "support/testhttpserver.h"
#include "support/testmain.h"

#include <QDesktopServices>
#include <QWebEngineView>

namespace {

QByteArray page(const QByteArray &title, const QByteArray &body)
{
    return "<!DOCTYPE html><html><head><title>" + title + "</title></head><body>" + body
            + "</body></html>";
}

} // namespace

// Receives the addresses the program hands to the user's own browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestBadgeChain : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void chatOpensInTheMainWindow_data();
    void chatOpensInTheMainWindow();
    void onlyTheFirstAnchorIsClickedOncePerCompletion();
    void clickDependsOnTheBadgeText_data();
    void clickDependsOnTheBadgeText();
    void loggedOutOpensOutside_data();
    void loggedOutOpensOutside();
    void narrowChatLoadsTheBadgeAgain();
    void visitorLinksOpenInTheUsersBrowser();

private:
    frmMain &start(const QByteArray &badgePath);

    TestHttpServer m_server;
    std::unique_ptr<StartedWindow> m_program;
    UrlCatcher m_catcher;
};

void TestBadgeChain::initTestCase()
{
    QVERIFY(m_server.start());
    const QByteArray chat = page("Chat", "<p>chat</p>");
    for (const char *path : { "/chat", "/chat1", "/chat2", "/svg-chat", "/login" })
        m_server.setPage(path, chat);
    m_server.setPage("/badge-blank", page("Badge", "<a href='/chat' target='_blank'>chat</a>"));
    m_server.setPage("/badge-open",
                     page("Badge",
                          "<a href='#' onclick=\"window.open('/chat'); return false\">"
                          "chat</a>"));
    // An SVG link's node name is "a", not "A": it is no anchor to click.
    m_server.setPage("/badge-two",
                     page("Badge",
                          "<svg><a href='/svg-chat' target='_blank'><text>s</text></a>"
                          "</svg><div><span><a href='/chat1' target='_blank'>1</a>"
                          "</span></div><a href='/chat2' target='_blank'>2</a>"));
    m_server.setPage("/badge-none", page("Badge", "<p>nothing to click</p>"));
    m_server.setPage(
            "/badge-cannot-tag",
            page("Badge", "<div class='cannot'><a href='/chat' target='_blank'>c</a></div>"));
    m_server.setPage("/badge-cannot-script",
                     page("Badge",
                          "<script>var why = 'cannot';</script>"
                          "<a href='/chat' target='_blank'>c</a>"));
    m_server.setPage("/badge-Cannot",
                     page("Badge", "<p>Cannot</p><a href='/chat' target='_blank'>c</a>"));
    m_server.setPage("/badge-logged-out",
                     page("Not Logged In", "<a href='/login' target='_blank'>log in</a>"));
    m_server.setPage("/badge-logged-out-case",
                     page("Not logged in", "<a href='/login' target='_blank'>log in</a>"));
    m_server.setPage("/badge-visitor",
                     page("Badge", "<a href='/chat-links' target='_blank'>chat</a>"));
    m_server.setPage("/chat-links",
                     page("Chat",
                          "<a id='v' href='" + m_server.url("/visitor").toLatin1()
                                  + "' target='_blank' style='display:block;height:200px'>"
                                    "visitor link</a>"));
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_catcher, "open");
}

void TestBadgeChain::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void TestBadgeChain::init()
{
    m_catcher.urls.clear();
}

void TestBadgeChain::cleanup()
{
    // The login windows go with the main window.
    m_program.reset();
}

frmMain &TestBadgeChain::start(const QByteArray &badgePath)
{
    m_program = std::make_unique<StartedWindow>();
    return m_program->start("[badgelink]=" + m_server.url(badgePath).toLatin1() + "\r\n");
}

void TestBadgeChain::chatOpensInTheMainWindow_data()
{
    QTest::addColumn<QByteArray>("badge");
    QTest::newRow("link to a new window") << QByteArray("/badge-blank");
    QTest::newRow("window.open") << QByteArray("/badge-open");
}

void TestBadgeChain::chatOpensInTheMainWindow()
{
    QFETCH(QByteArray, badge);
    frmMain &window = start(badge);
    QSignalSpy chatLoaded(window.chatView(), &QWebEngineView::loadFinished);
    QTRY_COMPARE_WITH_TIMEOUT(window.chatView()->url().path(), QStringLiteral("/chat"), 15000);
    QTRY_VERIFY(!chatLoaded.isEmpty());
    QVERIFY(window.isVisible());
    QVERIFY(window.badgePage()->badgeHtml().contains(QLatin1String("chat</a>")));
}

void TestBadgeChain::onlyTheFirstAnchorIsClickedOncePerCompletion()
{
    const int before = m_server.count("/chat1");
    frmMain &window = start("/badge-two");
    QTRY_COMPARE_WITH_TIMEOUT(window.chatView()->url().path(), QStringLiteral("/chat1"), 15000);
    QTest::qWait(500);
    QCOMPARE(m_server.count("/chat1"), before + 1);
    QCOMPARE(m_server.count("/chat2"), 0);
    QCOMPARE(m_server.count("/svg-chat"), 0);

    // Each completion of the badge page clicks again.
    window.mnureload_Click();
    QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/chat1"), before + 2, 15000);
}

void TestBadgeChain::clickDependsOnTheBadgeText_data()
{
    QTest::addColumn<QByteArray>("badge");
    QTest::addColumn<bool>("clicked");
    QTest::newRow("no anchor") << QByteArray("/badge-none") << false;
    QTest::newRow("cannot in a tag") << QByteArray("/badge-cannot-tag") << false;
    QTest::newRow("cannot in a script") << QByteArray("/badge-cannot-script") << false;
    QTest::newRow("Cannot capitalised") << QByteArray("/badge-Cannot") << true;
}

void TestBadgeChain::clickDependsOnTheBadgeText()
{
    QFETCH(QByteArray, badge);
    QFETCH(bool, clicked);
    const int before = m_server.count("/chat");
    frmMain &window = start(badge);
    QTRY_VERIFY_WITH_TIMEOUT(!window.badgePage()->badgeHtml().isEmpty(), 15000);
    if (clicked) {
        QTRY_COMPARE_WITH_TIMEOUT(window.chatView()->url().path(), QStringLiteral("/chat"), 15000);
    } else {
        QTest::qWait(800);
        QCOMPARE(m_server.count("/chat"), before);
        QVERIFY(window.chatView()->url().isEmpty());
    }
}

void TestBadgeChain::loggedOutOpensOutside_data()
{
    QTest::addColumn<QByteArray>("badge");
    QTest::addColumn<bool>("outside");
    QTest::newRow("Not Logged In") << QByteArray("/badge-logged-out") << true;
    QTest::newRow("other letter case") << QByteArray("/badge-logged-out-case") << false;
}

void TestBadgeChain::loggedOutOpensOutside()
{
    QFETCH(QByteArray, badge);
    QFETCH(bool, outside);
    MessageBoxWatcher boxes;
    frmMain &window = start(badge);
    QTRY_VERIFY_WITH_TIMEOUT(m_server.count("/login") > 0, 15000);
    QTest::qWait(300);

    QWebEngineView *login = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("LoginWindow"))
            login = qobject_cast<QWebEngineView *>(widget);
    }
    if (outside) {
        QTRY_COMPARE(boxes.seen(),
                     QStringList { QStringLiteral("TalvorinTool: Login into your account and "
                                                  "click RELOAD in the appliction!") });
        QVERIFY(login);
        QVERIFY(login->isVisible());
        QTRY_COMPARE(login->url().path(), QStringLiteral("/login"));
        QVERIFY(window.chatView()->url().isEmpty());
    } else {
        QVERIFY(boxes.seen().isEmpty());
        QVERIFY(!login);
        QTRY_COMPARE(window.chatView()->url().path(), QStringLiteral("/login"));
    }
}

void TestBadgeChain::narrowChatLoadsTheBadgeAgain()
{
    frmMain &window = start("/badge-blank");
    QTRY_COMPARE_WITH_TIMEOUT(window.chatView()->url().path(), QStringLiteral("/chat"), 15000);
    QTest::qWait(300);
    const int badges = m_server.count("/badge-blank");

    // A chat completing at a usable width leaves the badge alone...
    QSignalSpy chatLoaded(window.chatView(), &QWebEngineView::loadFinished);
    window.chatView()->reload();
    QTRY_COMPARE(chatLoaded.count(), 1);
    QTest::qWait(300);
    QCOMPARE(m_server.count("/badge-blank"), badges);

    // ...one narrower than 100 twips has the badge page loaded again.
    window.centralWidget()->resize(10, window.centralWidget()->height());
    QVERIFY(window.chatView()->width() < 100 * window.logicalDpiX() / 1440.0);
    window.chatView()->reload();
    QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/badge-blank"), badges + 1, 15000);
}

void TestBadgeChain::visitorLinksOpenInTheUsersBrowser()
{
    frmMain &window = start("/badge-visitor");
    QWebEngineView *chat = window.chatView();
    QSignalSpy chatLoaded(chat, &QWebEngineView::loadFinished);
    QTRY_COMPARE_WITH_TIMEOUT(chat->url().path(), QStringLiteral("/chat-links"), 15000);
    QTRY_VERIFY(!chatLoaded.isEmpty());
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);

    // A real click of the visitor's link, at its place in the page.
    QTRY_VERIFY(chat->focusProxy());
    QTest::mouseClick(chat->focusProxy(), Qt::LeftButton, {}, QPoint(20, 20));
    QTRY_COMPARE_WITH_TIMEOUT(m_catcher.urls, (QList<QUrl> { QUrl(m_server.url("/visitor")) }),
                              10000);
    QCOMPARE(chat->url().path(), QStringLiteral("/chat-links"));
    QCOMPARE(m_server.count("/visitor"), 0);
}

TALVORIN_TEST_MAIN(TestBadgeChain)
#include "tst_badgechain.moc"
