#include "main_window/frmmain.h"
#include "support/messageboxes.h"
#include "support/onscreen.h"
#include "support/startedwindow.h"
#include "support/testhttpserver.h"
#include "support/testmain.h"

#include <QFrame>
#include <QLabel>
#include <QWebEngineView>

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

QByteArray badge(const QByteArray &title, const QByteArray &anchor)
{
    return "<!DOCTYPE html><html><head><title>" + title + "</title></head><body>" + anchor
            + "</body></html>";
}

} // namespace

class TestChatScreen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void everyChatRouteIsPaintedAndTyped_data();
    void everyChatRouteIsPaintedAndTyped();
    void loginWindowComesAfterTheMessageWithTheKeyboard();
    void chatThatClosesItselfBringsTheBadgeBackOnce();
    void firstRunTellsWhatToDo();
    void storedSizeLargerThanTheScreenIsFitted();

private:
    frmMain &start(const QByteArray &ini);

    TestHttpServer m_server;
    std::unique_ptr<StartedWindow> m_program;
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
    m_server.setPage("/blank", badge("Badge", "<a href='/chat' target='_blank'>chat</a>"));
    m_server.setPage("/opener",
                     badge("Badge", "<a href='/chat' target='_blank' rel='opener'>chat</a>"));
    m_server.setPage("/open", badge("Badge", "<a href='#' onclick=\"window.open('/chat'); "
                                             "return false\">chat</a>"));
    m_server.setPage("/open-sized",
                     badge("Badge", "<a href='#' onclick=\"window.open('/chat', '', "
                                    "'height=500,width=300'); return false\">chat</a>"));
    m_server.setPage("/noopener",
                     badge("Badge", "<a href='#' onclick=\"window.open('/chat', '_blank', "
                                    "'noopener'); return false\">chat</a>"));
    m_server.setPage("/closing",
                     badge("Badge", "<a href='#' onclick=\"window.open('/closing-chat'); "
                                    "return false\">chat</a>"));
    m_server.setPage("/logged-out",
                     badge("Not Logged In", "<a href='#' onclick=\"window.open('/login', '', "
                                            "'width=420,height=380'); return false\">in</a>"));
}

void TestChatScreen::cleanup()
{
    m_program.reset();
}

frmMain &TestChatScreen::start(const QByteArray &ini)
{
    m_program = std::make_unique<StartedWindow>();
    return m_program->start(ini);
}

void TestChatScreen::everyChatRouteIsPaintedAndTyped_data()
{
    QTest::addColumn<QByteArray>("badge");
    QTest::newRow("target=_blank") << QByteArray("/blank");
    QTest::newRow("target=_blank rel=opener") << QByteArray("/opener");
    QTest::newRow("window.open") << QByteArray("/open");
    QTest::newRow("window.open with a size") << QByteArray("/open-sized");
    QTest::newRow("window.open noopener") << QByteArray("/noopener");
}

// The owner's whole day: the chat comes up painted and takes the keyboard,
// survives hiding in the tray, and Exit tells the site.
void TestChatScreen::everyChatRouteIsPaintedAndTyped()
{
    QFETCH(QByteArray, badge);
    frmMain &window = start("[badgelink]=" + m_server.url(badge).toLatin1() + "\r\n[linkclose]="
                            + m_server.url("/exit").toLatin1() + "\r\n");
    QWebEngineView *chat = window.chatView();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(chat), kChatColour), 15000);
    // A size asked for by the page does not shrink the chat.
    QCOMPARE(chat->width(), window.centralWidget()->width() - 2 * chat->x());

    QVERIFY(clickAndType(chat, QStringLiteral("hi")));
    QTRY_VERIFY_WITH_TIMEOUT(m_server.requests().contains("/key?i"), 5000);
    QVERIFY(m_server.requests().contains("/key?h"));

    window.close();
    QVERIFY(!window.isVisible());
    window.bringBack();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(looksLike(colourOnScreenAt(chat), kChatColour));

    window.mnuExit_Click();
    QTRY_COMPARE(m_program->unloadCount(), 1);
    QCOMPARE(m_server.requests().last(), QByteArray("/exit"));
}

void TestChatScreen::loginWindowComesAfterTheMessageWithTheKeyboard()
{
    MessageBoxWatcher boxes;
    frmMain &window = start("[badgelink]=" + m_server.url("/logged-out").toLatin1() + "\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.seen().size(), 1, 15000);
    QCOMPARE(boxes.seen().first(), QStringLiteral("TalvorinTool: Login into your account and "
                                                  "click RELOAD in the appliction!"));
    auto *login = window.findChild<QWebEngineView *>(QStringLiteral("LoginWindow"));
    QVERIFY(login);
    QVERIFY(QTest::qWaitForWindowActive(login));
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
    frmMain &window = start("[badgelink]=" + m_server.url("/closing").toLatin1() + "\r\n");
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The badge comes back once and opens the chat again, which closes again:
    // that second close has to wait for the owner's Reload.
    QTRY_COMPARE_WITH_TIMEOUT(m_server.count("/closing-chat"), 2, 15000);
    QTRY_VERIFY(window.chatView()->url().path().isEmpty());
    QTest::qWait(1500);
    QCOMPARE(m_server.count("/closing"), 2);
    QVERIFY(!looksLike(colourOnScreenAt(window.chatView()), kChatColour));
}

void TestChatScreen::firstRunTellsWhatToDo()
{
    frmMain &window = start({});
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *frame = window.findChild<QFrame *>(QStringLiteral("Frame1"));
    QVERIFY(frame->isVisible());
    QString said;
    for (QLabel *label : frame->findChildren<QLabel *>()) {
        QVERIFY(label->isVisible());
        // Readable whole: inside the panel, and tall enough for its lines.
        QVERIFY(frame->rect().contains(label->geometry()));
        QVERIFY(label->heightForWidth(label->width()) <= label->height());
        said += label->text();
    }
    QVERIFY(said.contains(QLatin1String("File > Settings")));
}

void TestChatScreen::storedSizeLargerThanTheScreenIsFitted()
{
    frmMain &window = start("[height]=99999\r\n[width]=99999\r\n");
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect area = window.screen()->availableGeometry();
    QTRY_VERIFY2(area.contains(window.frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                    .arg(window.frameGeometry().x())
                                    .arg(window.frameGeometry().y())
                                    .arg(window.frameGeometry().width())
                                    .arg(window.frameGeometry().height())));
    QVERIFY(window.frameGeometry().height() > area.height() * 3 / 4);
}

TALVORIN_TEST_MAIN(TestChatScreen)
#include "tst_chatscreen.moc"
