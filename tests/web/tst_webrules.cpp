#include "support/datarow.h"
#include "web/badgeclick.h"
#include "web/navigationrules.h"
#include "web/callpermissions.h"
#include "web/contextmenurules.h"
#include "web/permissions.h"
#include "web/dictionaries.h"
#include "web/downloadrules.h"
#include "web/filepicker.h"
#include "web/spellinglanguages.h"
#include "web/zoomsteps.h"

#include <QtTest>

Q_DECLARE_METATYPE(ContextFacts)
using R = QWebEngineContextMenuRequest;

// The decisions of the browser side, apart from any browser or screen: the
// badge's click and where pages may go, the zoom's steps (its keys: see
// tst_webview), the spelling language and where its dictionaries are, what
// the chat's context menu holds, the names and pace of downloads, the file
// picker's filter and what pages may use (the calls as the owner answers
// them: see tst_frmmain).
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
        const auto row = dataRows<QUrl, QUrl, bool>();
        row("http", QUrl("http://example.com/chat"), web, true);
        row("https", QUrl("https://example.com/"), web, true);
        row("blank", QUrl("about:blank"), web, true);
        row("file", QUrl("file:///etc/passwd"), web, false);
        row("javascript", QUrl("javascript:alert(1)"), web, false);
        row("file below", QUrl("file:///srv/demo/sub/c.html"), local, true);
        row("file above", QUrl("file:///srv/demo/../secret.html"), local, false);
        row("file beside", QUrl("file:///srv/demo2/chat.html"), local, false);
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
        const QString zoom = "Find\u2026|-|Zoom in|Zoom out|(Actual size)";
        ContextFacts selected, link, image, field;
        selected.selectedText = "words";
        selected.editFlags = R::EditFlags(R::CanCopy) | R::CanSelectAll;
        selected.zoomFactor = 5.0;
        QTest::newRow("selection, zoomed in fully")
                << selected << "Copy|Select all|-|Find\u2026|-|(Zoom in)|Zoom out|Actual size";
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
        ContextFacts remembered;
        remembered.siteRemembered = true;
        QTest::newRow("site with remembered answers")
                << remembered << "(Select all)|-|" + zoom + "|-|Forget site permissions";
        field.spellingLanguages.clear();
        QTest::newRow("no dictionaries")
                << field << "hello|help|-|" + editing + "Spelling[(No dictionaries found)]";
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

    void permissions_data()
    {
        QTest::addColumn<int>("feature");
        QTest::addColumn<bool>("badge");
        QTest::addColumn<QUrl>("origin");
        QTest::addColumn<int>("answer");
        using P = QWebEnginePage;
        const auto row = [](const char *name, P::Feature feature, bool badge, const char *origin,
                            PermissionAnswer answer) {
            QTest::newRow(name) << int(feature) << badge << QUrl(origin) << int(answer);
        };
        const auto grant = PermissionAnswer::Grant, refuse = PermissionAnswer::Refuse;
        row("notes, chat's site", P::Notifications, false, "https://chat.example.com/", grant);
        row("notes, badge's site", P::Notifications, true, "https://badge.example.com:443", grant);
        row("notes, other port", P::Notifications, false, "https://chat.example.com:8443/", refuse);
        row("notes, elsewhere", P::Notifications, false, "https://elsewhere.example.com/", refuse);
        row("microphone", P::MediaAudioCapture, false, "https://elsewhere.example.com/",
            PermissionAnswer::AskOwner);
        row("screen and sound", P::DesktopAudioVideoCapture, false, "https://chat.example.com/",
            PermissionAnswer::AskOwner);
        row("camera, badge", P::MediaVideoCapture, true, "https://chat.example.com/", refuse);
        row("location", P::Geolocation, false, "https://chat.example.com/", refuse);
        row("mouse lock", P::MouseLock, false, "https://chat.example.com/", refuse);
    }
    // Notifications only for the program's own sites (the badge link's and
    // the chat's first address), calls only as the owner answers and never
    // on the hidden badge page, the rest never.
    void permissions()
    {
        QFETCH(int, feature);
        QFETCH(bool, badge);
        QFETCH(QUrl, origin);
        const QList<QUrl> own { QUrl("https://badge.example.com/b"),
                                QUrl("https://chat.example.com/c?v=1") };
        QTEST(int(permissionAnswer(QWebEnginePage::Feature(feature),
                                   badge ? PageRole::Badge : PageRole::Shown, origin, own)),
              "answer");
    }

    // One question per site and kind however often its pages ask; its answer
    // goes to every page that waits; a remembered one answers at once, until
    // the site's answers are forgotten. A page that goes takes its requests
    // along.
    void callQuestions()
    {
        using P = QWebEnginePage;
        using R = CallPermissions::Reply;
        QObject chat, login;
        const QUrl site("https://chat.example.com/"), other("http://other.example.com:8080/");
        CallPermissions calls({ "camera https://chat.example.com" },
                              { "screen http://other.example.com:8080" });
        QCOMPARE(calls.request({ &chat, site, P::MediaVideoCapture }), R::Allow);
        QCOMPARE(calls.request({ &chat, other, P::DesktopVideoCapture }), R::Block);
        QCOMPARE(calls.request({ &chat, site, P::MediaAudioCapture }), R::Ask);
        QCOMPARE(calls.request({ &login, site, P::MediaAudioCapture }), R::Waits);
        QCOMPARE(calls.request({ &login, other, P::MediaAudioVideoCapture }), R::Ask);
        QCOMPARE(calls.question()->text(), "chat.example.com wants to use your microphone");
        QCOMPARE(calls.answer(true, true).size(), 2);
        QCOMPARE(calls.question()->text(),
                 "other.example.com wants to use your microphone and camera");
        QCOMPARE(calls.drop(&login).size(), 1);
        QVERIFY(!calls.question());
        QCOMPARE(calls.request({ &login, site, P::MediaAudioCapture }), R::Allow);
        QCOMPARE(calls.remembered(true).join(u'|'),
                 "camera https://chat.example.com|microphone https://chat.example.com");

        calls.forget(QUrl("https://chat.example.com/later"));
        QVERIFY(!calls.remembers(site) && calls.remembers(other));
        QCOMPARE(calls.request({ &chat, site, P::MediaAudioCapture }), R::Ask);
        calls.answer(false, false);
        QCOMPARE(calls.request({ &chat, site, P::MediaAudioCapture }), R::Ask);
    }

    // A copy of the program in a folder of its own finds the build's
    // dictionaries; ones in its install's share folder come before, and
    // ones beside it first. A folder without any is passed over.
    void dictionaryFolders()
    {
        QTemporaryDir root;
        const QString bin = root.filePath("bin");
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(dictionaryLanguages(programDictionaries(bin)).contains("en-US"));
        for (const QString &folder : { root.filePath("share/TalvorinTool/qtwebengine_dictionaries"),
                                       bin + "/qtwebengine_dictionaries" }) {
            QVERIFY(QDir().mkpath(folder) && programDictionaries(bin) != folder);
            QVERIFY(QFile(folder + "/xx.bdic").open(QIODevice::WriteOnly));
            QCOMPARE(programDictionaries(bin), folder);
        }
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("suggested");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QStringList>("taken");
        const auto row = dataRows<QString, QString, QStringList>();
        row("plain", "notes.txt", "notes.txt", {});
        row("parent", "../x", "_x", {});
        row("backslashes", "..\\..\\a\\b.txt", "_.._a_b.txt", {});
        // Controls, and an override that would show "bill.exe" as "billexe.txt".
        row("controls", "a\nb\t\x01" "bill\u202Etxt.exe", "a_b__bill_txt.exe", {});
        row("dots and blanks around", " .notes.txt. . ", "notes.txt", {});
        row("nothing left", "..", "download", {});
        row("windows characters", "a<b>:c\"d|e?f*.txt", "a_b__c_d_e_f_.txt", {});
        row("windows device", "con.txt", "_con.txt", {});
        row("taken", "notes.txt", "notes (1).txt", { "notes.txt" });
        row("taken twice", "notes.txt", "notes (2).txt", { "notes (1).txt", "notes.txt" });
        row("taken, other case", "notes.txt", "notes (1).txt", { "NOTES.TXT" });
        row("temporary name taken", "notes.txt", "notes (1).txt", { "notes.txt.part" });
        row("taken, double extension", "b.tar.gz", "b (1).tar.gz", { "b.tar.gz" });
        row("taken, no extension", "README", "README (1)", { "README" });
        // 255 bytes less ".part" and the engine's ".download".
        const QString longName = QString(300, u'a') + ".pdf";
        row("long", longName, QString(237, u'a') + ".pdf", {});
        row("long, taken", longName, QString(233, u'a') + " (1).pdf", { QString(237, u'a') + ".pdf" });
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(100);
        row("long, four bytes each", emoji + ".txt", emoji.left(2 * 59) + ".txt", {});
        row("long extension", "x." + QString(300, u'y'), "x." + QString(239, u'y'), {});
    }
    void fileNames()
    {
        QFETCH(QString, suggested);
        QFETCH(QStringList, taken);
        QTEST(savedFileName(suggested, taken), "saved");
    }

    void progressLines()
    {
        QCOMPARE(progressLine("notes.zip", 5662311, 12582912), "Saving notes.zip: 45 % of 12 MB");
        QCOMPARE(progressLine("notes.zip", 3565158, -1), "Saving notes.zip: 3.4 MB so far");
        QCOMPARE(progressLine("%2.zip", 0, 512), "Saving %2.zip: 0 % of 512 bytes");
    }

    // Three within the window, the fourth refused and told, the fifth
    // refused quietly, a moment before the window ends too; once it has
    // passed, the same again.
    void paceRefusesBursts()
    {
        qint64 now = 1000;
        DownloadPace pace(300, 3, [&now] { return now; });
        for (int round = 0; round < 2; ++round) {
            QList<DownloadPace::Verdict> verdicts;
            for (int i = 0; i < 4; ++i)
                verdicts << pace.take();
            now += 299;
            verdicts << pace.take();
            QCOMPARE(verdicts, QList({ DownloadPace::Save, DownloadPace::Save, DownloadPace::Save,
                                       DownloadPace::RefuseAndTell, DownloadPace::Refuse }));
            now += 1;
        }
    }

    // The input's `accept` types as the picker's filter; "…" stands for
    // whatever the system's MIME types add.
    void pickerFilters_data()
    {
        QTest::addColumn<QStringList>("accepted");
        QTest::addColumn<QString>("filters");
        const QString all = "|All files (*)";
        QTest::newRow("extensions") << QStringList { ".pdf", " .PNG" } << "Accepted files (*.pdf *.png)" + all;
        QTest::newRow("type and its extension")
                << QStringList { "application/pdf", ".pdf" } << "Accepted files (*.pdf)" + all;
        QTest::newRow("a group") << QStringList { ".pdf", "image/*" }
                                 << "Accepted files (*.pdf\u2026 *.png\u2026)" + all;
        QTest::newRow("nothing known") << QStringList { "application/x-unknown" } << "";
    }
    void pickerFilters()
    {
        QFETCH(QStringList, accepted);
        QFETCH(QString, filters);
        const QString got = FilePicker::nameFilters(accepted).join(u'|');
        const QString pattern = QRegularExpression::escape(filters).replace(QRegularExpression::escape("\u2026"), ".*");
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(got).hasMatch(), qPrintable(got));
    }
};

QTEST_GUILESS_MAIN(TestWebRules)
#include "tst_webrules.moc"
