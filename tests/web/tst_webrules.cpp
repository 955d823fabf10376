#include "web/badgerules.h"
#include "web/contextmenurules.h"
#include "web/spellinglanguages.h"
#include "web/zoomsteps.h"

#include <QtTest>

Q_DECLARE_METATYPE(ContextFacts)
using R = QWebEngineContextMenuRequest;

// The decisions of the browser side, apart from any browser or screen: the
// badge's click and where pages may go, the zoom's steps (its keys: see
// tst_chatview), the
// spelling language and what the chat's context menu holds.
class TestWebRules : public QObject {
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
        row("javascript:alert(1)", web, false);
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

    // A browser's steps; a level between two goes to the nearer step that way.
    void zoomSteps_data()
    {
        QTest::addColumn<qreal>("from");
        QTest::addColumn<qreal>("in");
        QTest::addColumn<qreal>("out");
        QTest::newRow("actual size") << 1.0 << 1.1 << 0.9;
        QTest::newRow("smallest") << 0.25 << 0.33 << 0.25;
        QTest::newRow("largest") << 5.0 << 5.0 << 4.0;
        QTest::newRow("between steps") << 1.05 << 1.1 << 1.0;
        QTest::newRow("as the engine gives it back") << 1.0999999 << 1.25 << 1.0;
        QTest::newRow("out of range") << 0.1 << 0.33 << 0.25;
        QTest::newRow("no number") << qQNaN() << 1.1 << 0.9;
    }
    void zoomSteps()
    {
        QFETCH(qreal, from);
        QTEST(zoomed(from, ZoomChange::In), "in");
        QTEST(zoomed(from, ZoomChange::Out), "out");
        QList<int> upward { 25 }; // every step on the way
        for (qreal level = 0.25; level < 5.0; upward.append(qRound(level * 100)))
            level = zoomed(level, ZoomChange::In);
        QCOMPARE(upward, zoomStepsPercent());
    }

    // The owner's choice ("" is Off), else the system's language, else English (US).
    void spellingLanguage_data()
    {
        QTest::addColumn<QVariant>("choice"); // none: never chosen
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("language");
        QTest::newRow("system's own") << QVariant() << "de_DE" << "de-DE";
        QTest::newRow("other region") << QVariant() << "fr_CA" << "fr";
        QTest::newRow("not there") << QVariant() << "it_IT" << "en-US";
        QTest::newRow("chosen") << QVariant("fr") << "de_DE" << "fr";
        QTest::newRow("off") << QVariant("") << "de_DE" << "";
        QTest::newRow("chosen one gone") << QVariant("es-ES") << "de_DE" << "de-DE";
    }
    void spellingLanguage()
    {
        QFETCH(QVariant, choice);
        QFETCH(QString, system);
        const auto chosen = choice.isValid() ? std::optional(choice.toString()) : std::nullopt;
        QTEST(spellingLanguageFor(chosen, QLocale(system), { "de-DE", "en-US", "fr" }), "language");
    }

    // What the menu holds, written as the owner reads it: "(Cut)" is greyed,
    // "*" checked, "-" a separator, a submenu in brackets.
    void contextMenu_data()
    {
        QTest::addColumn<ContextFacts>("facts");
        QTest::addColumn<QString>("menu");
        const QString zoom = "Zoom in|Zoom out|(Actual size)";
        ContextFacts selected, link, image, field; // plain text and a link: see tst_chatview
        selected.selectedText = "words";
        selected.editFlags = R::EditFlags(R::CanCopy) | R::CanSelectAll;
        selected.zoomFactor = 5.0;
        QTest::newRow("selection, zoomed in fully")
                << selected << "Copy|Select all|-|(Zoom in)|Zoom out|Actual size";
        link.link = QUrl("mailto:owner@example.com");
        QTest::newRow("mail link") << link << "Copy link address|-|" + zoom;
        image.image = true;
        image.link = QUrl("http://example.com/");
        QTest::newRow("linked image")
                << image << "Open link in browser|Copy link address|-|Copy image|Save image|-|" + zoom;
        field.editable = true;
        field.editFlags = R::EditFlags(R::CanPaste) | R::CanSelectAll | R::CanUndo;
        field.spellingLanguages = QStringList { "en-US", "fr" };
        field.spellingLanguage = "en-US";
        const QString editing = "Undo|(Redo)|(Cut)|(Copy)|Paste|Select all|-|" + zoom + "|-|";
        QTest::newRow("field")
                << field << editing + "Spelling[*English (United States)|French|Off]";
        field.misspelledWord = "helo";
        field.suggestions = QStringList { "hello", "help" };
        field.spellingLanguage.clear();
        QTest::newRow("misspelt word, spelling off")
                << field << "hello|help|-|" + editing + "Spelling[English (United States)|French|*Off]";
    }
    void contextMenu()
    {
        QFETCH(ContextFacts, facts);
        const std::function<QString(const QList<MenuEntry> &)> written = [&](const auto &entries) {
            QStringList texts;
            for (const MenuEntry &entry : entries) {
                QString text = entry.kind == MenuEntry::Separator ? "-" : entry.text;
                text = (entry.checked ? "*" : "") + (entry.enabled ? text : "(" + text + ")");
                if (!entry.submenu.empty())
                    text += "[" + written({ entry.submenu.cbegin(), entry.submenu.cend() }) + "]";
                texts.append(text);
            }
            return texts.join(u'|');
        };
        QTEST(written(contextMenuEntries(facts)), "menu");
    }
};

QTEST_GUILESS_MAIN(TestWebRules)
#include "tst_webrules.moc"
