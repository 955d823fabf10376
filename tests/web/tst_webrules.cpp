#include "web/badgerules.h"
#include "web/contextmenurules.h"
#include "web/spellinglanguages.h"
#include "web/zoomsteps.h"

#include <QtTest>

Q_DECLARE_METATYPE(ContextFacts)

// The decisions of the browser side, apart from any browser or screen: the
// badge's click and where pages may go, the zoom's steps and keys, the
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

    // A browser's steps; a level between two goes to the nearer step that way.
    void zoomSteps_data()
    {
        QTest::addColumn<qreal>("from");
        QTest::addColumn<qreal>("in");
        QTest::addColumn<qreal>("out");
        QTest::newRow("actual size") << 1.0 << 1.1 << 0.9;
        QTest::newRow("smallest") << 0.25 << 0.33 << 0.25;
        QTest::newRow("largest") << 5.0 << 5.0 << 4.0;
        QTest::newRow("two thirds") << 0.67 << 0.75 << 0.5;
        QTest::newRow("between steps") << 1.05 << 1.1 << 1.0;
        QTest::newRow("as the engine gives it back") << 1.0999999 << 1.25 << 1.0;
        QTest::newRow("below the range") << 0.1 << 0.33 << 0.25;
        QTest::newRow("no number") << qQNaN() << 1.1 << 0.9;
    }
    void zoomSteps()
    {
        QFETCH(qreal, from);
        QTEST(zoomed(from, ZoomChange::In), "in");
        QTEST(zoomed(from, ZoomChange::Out), "out");
        QCOMPARE(zoomed(from, ZoomChange::ActualSize), 1.0);
        if (from == 0.25) { // every step on the way up
            QList<int> seen { 25 };
            for (qreal level = from; level < 5.0; seen.append(qRound(level * 100)))
                level = zoomed(level, ZoomChange::In);
            QCOMPARE(seen, zoomStepsPercent());
        }
    }

    void zoomKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("change");
        const int ctrl = Qt::ControlModifier, in = int(ZoomChange::In), none = int(ZoomChange::None);
        QTest::newRow("ctrl plus") << int(Qt::Key_Plus) << int(ctrl | Qt::ShiftModifier) << in;
        QTest::newRow("ctrl =") << int(Qt::Key_Equal) << ctrl << in;
        QTest::newRow("ctrl keypad plus") << int(Qt::Key_Plus) << int(ctrl | Qt::KeypadModifier) << in;
        QTest::newRow("ctrl minus") << int(Qt::Key_Minus) << ctrl << int(ZoomChange::Out);
        QTest::newRow("ctrl 0") << int(Qt::Key_0) << ctrl << int(ZoomChange::ActualSize);
        QTest::newRow("plus alone") << int(Qt::Key_Plus) << 0 << none;
        QTest::newRow("ctrl alt plus") << int(Qt::Key_Plus) << int(ctrl | Qt::AltModifier) << none;
        QTest::newRow("ctrl 1") << int(Qt::Key_1) << ctrl << none;
    }
    void zoomKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QTEST(int(zoomChangeForKey(key, Qt::KeyboardModifiers(modifiers))), "change");
        const auto wheel = [&](int delta) {
            return zoomChangeForWheel(delta, Qt::KeyboardModifiers(modifiers));
        };
        const bool ctrlOnly = (modifiers & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == Qt::ControlModifier;
        QCOMPARE(wheel(120), ctrlOnly ? ZoomChange::In : ZoomChange::None);
        QCOMPARE(wheel(-120), ctrlOnly ? ZoomChange::Out : ZoomChange::None);
    }

    // The owner's choice, else the system's language, else English (US).
    void spellingLanguage_data()
    {
        QTest::addColumn<QVariant>("choice"); // none: never chosen
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("language");
        QTest::newRow("system's own") << QVariant() << "de_DE" << "de-DE";
        QTest::newRow("other region") << QVariant() << "de_AT" << "de-DE";
        QTest::newRow("language alone") << QVariant() << "fr_CA" << "fr";
        QTest::newRow("not there") << QVariant() << "it_IT" << "en-US";
        QTest::newRow("C locale") << QVariant() << "C" << "en-US";
        QTest::newRow("chosen") << QVariant("fr") << "de_DE" << "fr";
        QTest::newRow("off") << QVariant("") << "de_DE" << "";
        QTest::newRow("chosen one gone") << QVariant("es-ES") << "de_DE" << "de-DE";
    }
    void spellingLanguage()
    {
        QFETCH(QVariant, choice);
        QFETCH(QString, system);
        const QStringList available { "de-DE", "en-US", "fr" };
        const auto chosen = choice.isValid() ? std::optional(choice.toString()) : std::nullopt;
        QTEST(spellingLanguageFor(chosen, QLocale(system), available), "language");
        QCOMPARE(spellingLanguageFor(std::nullopt, QLocale(system), { "de-DE" }),
                 system.startsWith("de") ? "de-DE" : "");
        QCOMPARE(spellingLanguageName("en-US"), "English (United States)");
        QCOMPARE(spellingLanguageName("fr"), "French");
    }

    // What the menu holds, written as the owner reads it: "(Cut)" is greyed,
    // "*" checked, "-" a separator, a submenu in brackets.
    void contextMenu_data()
    {
        using R = QWebEngineContextMenuRequest;
        QTest::addColumn<ContextFacts>("facts");
        QTest::addColumn<QString>("menu");
        const QString zoom = "Zoom in|Zoom out|(Actual size)";
        const QString spelling = "Spelling[*English (United States)|French|Off]";
        ContextFacts text;
        text.editFlags = R::CanSelectAll;
        QTest::newRow("plain text") << text << "Select all|-|" + zoom;
        ContextFacts selected = text;
        selected.selectedText = "words";
        selected.editFlags |= R::CanCopy;
        selected.zoomFactor = 5.0;
        QTest::newRow("selection, zoomed in fully")
                << selected << "Copy|Select all|-|(Zoom in)|Zoom out|Actual size";
        ContextFacts link = text;
        link.link = QUrl("https://example.com/");
        QTest::newRow("link") << link << "Open link in browser|Copy link address|-|" + zoom;
        link.link = QUrl("mailto:owner@example.com");
        QTest::newRow("mail link") << link << "Copy link address|-|" + zoom;
        ContextFacts image = text;
        image.image = true;
        image.link = QUrl("http://example.com/");
        QTest::newRow("linked image") << image
                << "Open link in browser|Copy link address|-|Copy image|Save image|-|" + zoom;
        ContextFacts field;
        field.editable = true;
        field.editFlags = R::EditFlags(R::CanPaste) | R::CanSelectAll | R::CanUndo;
        field.spellingLanguages = QStringList { "en-US", "fr" };
        field.spellingLanguage = "en-US";
        QTest::newRow("field") << field
                << "Undo|(Redo)|(Cut)|(Copy)|Paste|Select all|-|" + zoom + "|-|" + spelling;
        ContextFacts misspelt = field;
        misspelt.misspelledWord = "helo";
        misspelt.suggestions = QStringList { "hello", "help" };
        misspelt.spellingLanguage.clear();
        QTest::newRow("misspelt word, spelling off") << misspelt
                << "hello|help|-|Undo|(Redo)|(Cut)|(Copy)|Paste|Select all|-|" + zoom
                        + "|-|Spelling[English (United States)|French|*Off]";
    }
    void contextMenu()
    {
        QFETCH(ContextFacts, facts);
        const std::function<QString(const QList<MenuEntry> &)> written = [&](const auto &entries) {
            QStringList texts;
            for (const MenuEntry &entry : entries) {
                QString text = entry.kind == MenuEntry::Separator ? "-" : entry.text;
                text = entry.enabled ? text : "(" + text + ")";
                text = entry.checked ? "*" + text : text;
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
