#include "web/badgerules.h"

#include <QtTest>

// The decisions of the badge automation and of the window's place, apart
// from any browser or screen.
class TestBadgeRules : public QObject {
    Q_OBJECT
private slots:
    // A complete badge is clicked unless "cannot" stands anywhere in its HTML,
    // in that letter case; only the exact title means logged out.
    void clickOrNot_data()
    {
        QTest::addColumn<QString>("readyState");
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("click");
        QTest::addColumn<bool>("loggedOut");
        QTest::newRow("plain badge") << "complete" << "<a>chat</a>" << "Badge" << true << false;
        QTest::newRow("still loading") << "interactive" << "<a>chat</a>" << "" << false << false;
        QTest::newRow("cannot in a tag") << "complete" << "<i class='cannot'>" << "" << false << false;
        QTest::newRow("Cannot capitalised") << "complete" << "<p>Cannot</p>" << "" << true << false;
        QTest::newRow("Not Logged In") << "complete" << "" << "Not Logged In" << true << true;
        QTest::newRow("other letter case") << "complete" << "" << "Not logged in" << true << false;
        QTest::newRow("longer title") << "complete" << "" << "Not Logged In!" << true << false;
    }
    void clickOrNot()
    {
        QFETCH(QString, readyState);
        QFETCH(QString, html);
        QFETCH(QString, title);
        QTEST(shouldClickBadge(readyState, html), "click");
        QTEST(isLoggedOut(title), "loggedOut");
    }

    // The web and blank pages; local files only beside or below a local badge.
    void navigation_data()
    {
        QTest::addColumn<QUrl>("target");
        QTest::addColumn<QUrl>("badge");
        QTest::addColumn<bool>("allowed");
        const QUrl web(QStringLiteral("https://badge.example.com/b"));
        const QUrl local(QStringLiteral("file:///srv/demo/badge.html"));
        const auto row = [](const char *target, const QUrl &badge, bool allowed) {
            QTest::newRow(target) << QUrl(QLatin1String(target)) << badge << allowed;
        };
        row("http://example.com/chat", web, true);
        row("https://example.com/", web, true);
        row("about:blank", web, true);
        row("file:///etc/passwd", web, false);
        row("chrome://settings", web, false);
        row("javascript:alert(1)", web, false);
        row("data:text/html,<b>x</b>", web, false);
        row("file:///srv/demo/chat.html", local, true);
        row("file:///srv/demo/sub/c.html", local, true);
        row("file:///srv/demo/../secret.html", local, false);
        row("file:///srv/demo2/chat.html", local, false);
    }
    void navigation()
    {
        QFETCH(QUrl, target);
        QFETCH(QUrl, badge);
        QTEST(isNavigationAllowed(target, badge), "allowed");
    }
};

QTEST_GUILESS_MAIN(TestBadgeRules)
#include "tst_badgerules.moc"
