#include "support/datatable.h"
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
Q_DECLARE_METATYPE(PermissionAnswer)
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
        const auto row = dataTable<QString, QString, QString, bool, bool>("readyState", "html", "title",
                                                                      "click", "loggedOut");
        // Each row a badge and a title: the two are read apart.
        row("loading, other case", "interactive", "<a>chat</a>", "Not logged in", false, false);
        row("cannot, longer title", "complete", "<i class=cannot>", "Not Logged In!", false, false);
        row("Cannot, logged out", "complete", "<p>Cannot</p>", "Not Logged In", true, true);
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
        const auto row = dataTable<QUrl, bool, bool>("target", "besideWebBadge", "besideLocalBadge");
        row("https", QUrl("https://example.com/"), true, true);
        row("blank", QUrl("about:blank"), true, true);
        row("file below", QUrl("file:///srv/demo/sub/c.html"), false, true);
        row("file above", QUrl("file:///srv/demo/../secret.html"), false, false);
        row("file beside", QUrl("file:///srv/demo2/chat.html"), false, false);
    }
    void navigation()
    {
        QFETCH(QUrl, target);
        QTEST(isNavigationAllowed(target, QUrl("https://badge.example.com/b")), "besideWebBadge");
        QTEST(isNavigationAllowed(target, QUrl("file:///srv/demo/badge.html")), "besideLocalBadge");
    }

    // A browser's steps; a level between two goes to the nearer step that way.
    void zoomSteps_data()
    {
        const auto row = dataTable<qreal, qreal, qreal>("from", "in", "out");
        row("largest", 5.0, 5.0, 4.0);
        row("between steps", 1.05, 1.1, 1.0);
        row("as the engine gives it back", 1.0999999, 1.25, 1.0);
        row("out of range", 0.1, 0.33, 0.25);
        row("no number", qQNaN(), 1.1, 0.9);
    }
    void zoomSteps()
    {
        QFETCH(qreal, from);
        QTEST(zoomed(from, ZoomChange::In), "in");
        QTEST(zoomed(from, ZoomChange::Out), "out");
    }

    // The owner's choice ("" is Off), else the system's language, else English (US).
    void spellingLanguage_data()
    {
        // choice: none where never chosen
        const auto row = dataTable<QVariant, QString, QString>("choice", "system", "language");
        row("other region", QVariant(), "fr_CA", "fr");
        row("not there", QVariant(), "it_IT", "en-US");
        row("chosen", QVariant("fr"), "de_DE", "fr");
        row("off", QVariant(""), "de_DE", "");
        row("chosen one gone, system's own", QVariant("es-ES"), "de_DE", "de-DE");
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
        const auto row = dataTable<ContextFacts, QString>("facts", "menu");
        const QString zoom = "Find\u2026|-|Zoom in|Zoom out|(Actual size)";
        ContextFacts selected, link, image, field;
        selected.selectedText = "words";
        selected.editFlags = R::EditFlags(R::CanCopy) | R::CanSelectAll;
        selected.zoomFactor = 5.0;
        row("selection, zoomed in fully", selected,
            "Copy|Select all|-|Find\u2026|-|(Zoom in)|Zoom out|Actual size");
        link.link = QUrl("mailto:owner@example.com");
        row("mail link", link, "Copy link address|-|" + zoom);
        image.image = true;
        image.link = QUrl("http://example.com/");
        row("linked image", image,
            "Open link in browser|Copy link address|-|Copy image|Save image|-|" + zoom);
        field.editable = true;
        field.editFlags = R::EditFlags(R::CanPaste) | R::CanSelectAll | R::CanUndo;
        field.spellingLanguages = QStringList { "en-US", "fr" };
        field.spellingLanguage = "en-US";
        const QString editing = "Undo|(Redo)|(Cut)|(Copy)|Paste|Select all|-|" + zoom + "|-|";
        row("field", field, editing + "Spelling[*English (United States)|French|Off]");
        field.misspelledWord = "helo";
        field.suggestions = QStringList { "hello", "help" };
        field.spellingLanguage.clear();
        row("misspelt word, spelling off", field,
            "hello|help|-|" + editing + "Spelling[English (United States)|French|*Off]");
        ContextFacts remembered;
        remembered.siteRemembered = true;
        row("site with remembered answers", remembered,
            "(Select all)|-|" + zoom + "|-|Forget site permissions");
        field.spellingLanguages.clear();
        row("no dictionaries", field,
            "hello|help|-|" + editing + "Spelling[(No dictionaries found)]");
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
        using P = QWebEnginePage;
        using A = PermissionAnswer;
        const auto row = dataTable<P::Feature, bool, QUrl, A>("feature", "badge", "origin", "answer");
        const QUrl chat("https://chat.example.com/"), elsewhere("https://elsewhere.example.com/");
        row("notes, chat's site", P::Notifications, false, chat, A::Grant);
        row("notes, badge's site", P::Notifications, true, QUrl("https://badge.example.com:443"),
            A::Grant);
        row("notes, other port", P::Notifications, false, QUrl("https://chat.example.com:8443/"),
            A::Refuse);
        row("notes, elsewhere", P::Notifications, false, elsewhere, A::Refuse);
        row("screen and sound", P::DesktopAudioVideoCapture, false, elsewhere, A::AskOwner);
        row("camera, badge", P::MediaVideoCapture, true, chat, A::Refuse);
        row("location", P::Geolocation, false, chat, A::Refuse);
    }
    // Notifications only for the program's own sites (the badge link's and
    // the chat's first address), calls only as the owner answers and never
    // on the hidden badge page, the rest never.
    void permissions()
    {
        QFETCH(QWebEnginePage::Feature, feature);
        QFETCH(bool, badge);
        QFETCH(QUrl, origin);
        const QList<QUrl> own { QUrl("https://badge.example.com/b"),
                                QUrl("https://chat.example.com/c?v=1") };
        QTEST(permissionAnswer(feature, badge ? PageRole::Badge : PageRole::Shown, origin, own),
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
        QCOMPARE(calls.remembered(true).join(u'|'),
                 "camera https://chat.example.com|microphone https://chat.example.com");

        calls.forget(QUrl("https://chat.example.com/later"));
        QVERIFY(!calls.remembers(site) && calls.remembers(other));
    }

    // A copy of the program in a folder of its own finds the build's
    // dictionaries; ones in its install's share folder come before, and
    // ones beside it first. A folder without any is passed over.
    void dictionaryFolders()
    {
        QTemporaryDir root;
        const QString bin = root.filePath("bin");
        const QStringList own { root.filePath("share/TalvorinTool/qtwebengine_dictionaries"),
                                bin + "/qtwebengine_dictionaries" };
        QVERIFY(QDir().mkpath(own.at(0)) && QDir().mkpath(own.at(1))); // empty yet
        QVERIFY(dictionaryLanguages(programDictionaries(bin)).contains("en-US"));
        for (const QString &folder : own) {
            QVERIFY(QFile(folder + "/xx.bdic").open(QIODevice::WriteOnly));
            QCOMPARE(programDictionaries(bin), folder);
        }
    }

    void fileNames_data()
    {
        const auto row = dataTable<QString, QString, QStringList>("suggested", "saved", "taken");
        // Controls, and an override that would show "bill.exe" as "billexe.txt",
        // within dots and blanks.
        row("controls", " .a\nb\t\x01" "bill\u202Etxt.exe. . ", "a_b__bill_txt.exe", {});
        row("nothing left, taken", "..", "download (1)", { "download" });
        // Slashes and what Windows refuses, and a device's name.
        row("unsafe", "con.a<b>:c\"d|e?f*g/h\\i.txt", "_con.a_b__c_d_e_f_g_h_i.txt", {});
        // Taken as the temporary name, then in another letter case.
        row("taken twice", "notes.txt", "notes (2).txt", { "notes.txt.part", "NOTES (1).TXT" });
        row("taken, double extension", "b.tar.gz", "b (1).tar.gz", { "b.tar.gz" });
        // 255 bytes less ".part" and the engine's ".download", in whole characters.
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(100);
        row("long, four bytes each", emoji + ".pdf", emoji.left(2 * 59) + ".pdf", {});
        row("long, taken", emoji + ".pdf", emoji.left(2 * 58) + " (1).pdf",
            { emoji.left(2 * 59) + ".pdf" });
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
        QList<DownloadPace::Verdict> verdicts;
        for (const int later : { 0, 0, 0, 0, 299, 1, 0, 0, 0, 299 }) {
            now += later;
            verdicts << pace.take();
        }
        const QList burst { DownloadPace::Save, DownloadPace::Save, DownloadPace::Save,
                            DownloadPace::RefuseAndTell, DownloadPace::Refuse };
        QCOMPARE(verdicts, burst + burst);
    }

    // The input's `accept` types as the picker's filter; "…" stands for
    // whatever the system's MIME types add.
    void pickerFilters_data()
    {
        const auto row = dataTable<QStringList, QString>("accepted", "filters");
        const QString all = "|All files (*)";
        row("types and extensions", { "application/pdf", " .PNG", ".PDF" },
            "Accepted files (*.pdf *.png)" + all);
        row("a group", { ".pdf", "image/*" }, "Accepted files (*.pdf\u2026 *.png\u2026)" + all);
        row("nothing known", { "application/x-unknown" }, "");
    }
    void pickerFilters()
    {
        QFETCH(QStringList, accepted);
        QFETCH(QString, filters);
        const QString got = FilePicker::nameFilters(accepted).join(u'|');
        const QString pattern = QRegularExpression::escape(filters).replace("\\\u2026", ".*");
        QVERIFY2(got.contains(QRegularExpression('^' + pattern + '$')), qPrintable(got));
    }
};

QTEST_GUILESS_MAIN(TestWebRules)
#include "tst_webrules.moc"
