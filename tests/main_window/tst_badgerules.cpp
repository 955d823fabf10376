#include "main_window/badgerules.h"
#include "main_window/screenfit.h"

#include <QtTest>

// The decisions of the badge automation and of the window's place, apart
// from any browser or screen.
class TestBadgeRules : public QObject {
    Q_OBJECT
private slots:
    void clickOrNot_data();
    void clickOrNot();
    void navigation_data();
    void navigation();
    void keptOnScreen_data();
    void keptOnScreen();
};

void TestBadgeRules::clickOrNot_data()
{
    QTest::addColumn<QString>("readyState");
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("click");
    QTest::addColumn<bool>("loggedOut");
    QTest::newRow("plain badge") << "complete" << "<a>chat</a>" << "Badge" << true << false;
    QTest::newRow("still loading") << "interactive" << "<a>chat</a>" << "" << false << false;
    QTest::newRow("cannot in a tag") << "complete" << "<div class='cannot'>" << "" << false
                                     << false;
    QTest::newRow("Cannot capitalised") << "complete" << "<p>Cannot</p>" << "" << true << false;
    QTest::newRow("Not Logged In") << "complete" << "" << "Not Logged In" << true << true;
    QTest::newRow("other letter case") << "complete" << "" << "Not logged in" << true << false;
    QTest::newRow("longer title") << "complete" << "" << "Not Logged In!" << true << false;
}

void TestBadgeRules::clickOrNot()
{
    QFETCH(QString, readyState);
    QFETCH(QString, html);
    QFETCH(QString, title);
    QFETCH(bool, click);
    QFETCH(bool, loggedOut);
    QCOMPARE(shouldClickBadge(readyState, html), click);
    QCOMPARE(isLoggedOut(title), loggedOut);
}

void TestBadgeRules::navigation_data()
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
    const QString local = QStringLiteral("file:///srv/demo/badge.html");
    QTest::newRow("beside a local badge") << "file:///srv/demo/chat.html" << local << true;
    QTest::newRow("below a local badge") << "file:///srv/demo/sub/c.html" << local << true;
    QTest::newRow("climbing out") << "file:///srv/demo/../secret.html" << local << false;
    QTest::newRow("sibling folder") << "file:///srv/demo2/chat.html" << local << false;
}

void TestBadgeRules::navigation()
{
    QFETCH(QString, target);
    QFETCH(QString, badge);
    QFETCH(bool, allowed);
    QCOMPARE(isNavigationAllowed(QUrl(target), QUrl(badge)), allowed);
}

void TestBadgeRules::keptOnScreen_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("fitted");
    const QRect area(0, 24, 1280, 1000); // below a panel
    QTest::addColumn<QRect>("area");
    QTest::newRow("inside") << QRect(100, 100, 400, 500) << QRect(100, 100, 400, 500) << area;
    QTest::newRow("too tall") << QRect(100, 100, 400, 2000) << QRect(100, 24, 400, 1000) << area;
    QTest::newRow("bottom off") << QRect(0, 800, 400, 500) << QRect(0, 524, 400, 500) << area;
    QTest::newRow("left off") << QRect(-50, 100, 400, 500) << QRect(0, 100, 400, 500) << area;
    QTest::newRow("larger both ways") << QRect(-9, -9, 9000, 9000) << area << area;
    QTest::newRow("no screen") << QRect(5, 5, 10, 10) << QRect(5, 5, 10, 10) << QRect();
}

void TestBadgeRules::keptOnScreen()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, fitted);
    QFETCH(QRect, area);
    QCOMPARE(fittedInto(frame, area), fitted);
}

QTEST_GUILESS_MAIN(TestBadgeRules)
#include "tst_badgerules.moc"
