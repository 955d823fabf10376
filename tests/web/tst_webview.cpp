#include "common/graphics.h"
#include "support/datatable.h"
#include "support/onscreen.h"
#include "support/testhttpserver.h"
#include "support/viewwindow.h"
#include "web/browserprofile.h"
#include "web/webview.h"
#include "web/dictionaries.h"
#include "web/downloadsaver.h"

#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QWebEngineContextMenuRequest>

// The chat's own view on a real page (support/pages/workbench.html: a text,
// a link, an image and a field), driven through the X server as the owner
// drives it: the zoom as the page sees it (its devicePixelRatio), finding
// as the marks show, the context menu's entries as working actions, and a
// misspelt word put right from the engine's suggestions. Its spelling comes
// from the dictionaries a copy of the program finds: this executable has
// none beside it.
class TestWebView : public QObject {
    Q_OBJECT
public:
    static void initMain() { useSoftwareCompositing(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.serveFolder(QStringLiteral(TALVORIN_TEST_PAGES));
        useProgramDictionaries(); // the build's: the menu's languages show them found
        open();
        m_view->zoom(ZoomChange::ActualSize); // as the zoom's rows may leave it for a next run
    }

    // "Find…" from a link's menu (which the facts of the click make as
    // tst_webrules has it) or Ctrl+F opens the bar; the word is found as it
    // is typed, Enter and F3 go on, with Shift back; Esc takes the bar and
    // the marks away. Keys go to the window as the window system gives them.
    void findInThePage()
    {
        auto *bar = m_view->findChild<QWidget *>("findBar");
        auto *result = m_view->findChild<QLabel *>("findResult");
        const int unmarked = marks("text");
        QMenu *menu = rightClick(spot("link"));
        QVERIFY(menu);
        QCOMPARE(written(menu), "Open link in browser|Copy link address|-|Find…|-|Zoom in|Zoom out|(Actual size)");
        QVERIFY(clickEntry(menu, "Find…"));
        QTRY_VERIFY(bar->isVisible());
        // The keys of each step, and a pattern of what the bar shows after them
        // ("": it is gone; reopened, it finds what it held, at whichever match);
        // the page's marks show while the word is found.
        const std::pair<const char *, QString> steps[] = {
            { "type chat", "1 of 3" }, { "key Return", "2 of 3" }, { "key F3", "3 of 3" },
            { "key shift+F3", "2 of 3" }, { "key Escape", "" }, { "key ctrl+f", "\\d of 3" },
            { "type zz", "No matches" }, { "key Escape", "" },
        };
        for (const auto &[keys, shown] : steps) {
            QVERIFY(xdotool(QCursor::pos(), keys));
            const QRegularExpression pattern(QRegularExpression::anchoredPattern(shown));
            QTRY_VERIFY2_WITH_TIMEOUT(pattern.match(result->text()).hasMatch(),
                                      qPrintable(result->text()), 5000);
            QCOMPARE(bar->isVisible(), !shown.isEmpty());
            QTRY_COMPARE(marks("text") > unmarked, shown.endsWith(" of 3"));
        }
    }

    // The owner's own "Save image" is not a page sending files: the fourth
    // within a minute is saved too.
    void ownersSavesAreNotCounted()
    {
        DownloadSaver saver(m_profile, DownloadSaver::kPace, nullptr);
        QSignalSpy messages(&saver, &DownloadSaver::message);
        for (int saved = 1; saved <= 4; ++saved) {
            QVERIFY(clickEntry(rightClick(spot("image")), "Save image"));
            QTRY_COMPARE_WITH_TIMEOUT(messages.size(), saved, 10000);
            QCOMPARE(messages.last().at(0).toString().section(u' ', 0, 0), "Saved");
        }
    }

    // A word typed wrong gets the engine's suggestions first in the field's
    // menu, with the languages found, and the first one replaces it.
    void misspeltWordIsPutRight()
    {
        QMenu *menu = nullptr;
        const QPoint word = spot("field", 0.1);
        QVERIFY(xdotool(word, "click 1 sleep 0.5 type --delay 80 helo,"));
        // The engine checks a little after the typing.
        QVERIFY(QTest::qWaitFor([&] {
            menu = rightClick(word);
            if (menu && menu->actions().first()->text() != "Undo")
                return true;
            delete menu;
            return false;
        }, 20000));
        QCOMPARE(written(menu->findChild<QMenu *>()),
                 "German (Germany)|English (United States)|French|Off");
        const QStringList suggestions = m_view->lastContextMenuRequest()->spellCheckerSuggestions();
        QVERIFY(suggestions.contains("hello"));
        QCOMPARE(written(menu).section("|-|", 0, 0), suggestions.join(u'|'));
        QVERIFY(clickEntry(menu, suggestions.first()));
        QTRY_COMPARE_WITH_TIMEOUT(script("document.getElementById('field').value").toString(),
                                  suggestions.first() + ",", 5000);
    }

    // From the actual size, over the page's background: every key and the
    // wheel with Ctrl zoom, the same without it (or with Alt) do not. The
    // level holds for a new page in the view, and for a view made after a
    // restart.
    void zoomKeysAndWheel_data()
    {
        const auto row = dataTable<QString, qreal, bool>("input", "ratio", "kept");
        row("keys", "key plus ctrl+alt+plus ctrl+plus ctrl+equal ctrl+KP_Add", 1.5, false);
        row("ctrl+0 between", "key ctrl+plus ctrl+0 ctrl+minus ctrl+minus", 0.8, false);
        row("wheel, kept", "click 4 keydown ctrl click 4 click 4 click 5 keyup ctrl", 1.1, true);
    }
    void zoomKeysAndWheel()
    {
        QFETCH(QString, input);
        QFETCH(qreal, ratio);
        QFETCH(bool, kept);
        m_view->zoom(ZoomChange::ActualSize); // keys and the wheel go on from the level kept
        QVERIFY(xdotool(m_view->mapToGlobal(QPoint(400, 350)), "click 1 " + input));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(script("devicePixelRatio").toReal() - ratio) < 0.01, 5000);
        if (!kept)
            return;
        m_view->setPage(new QWebEnginePage(m_profile->profile(), m_view));
        load();
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(script("devicePixelRatio").toReal() - ratio) < 0.01, 5000);
        open();
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(script("devicePixelRatio").toReal() - ratio) < 0.01, 5000);
    }

private:
    // A new profile and view on the workbench page, as after a restart.
    void open()
    {
        m_window.reset(); // one profile at a time
        m_window = std::make_unique<ViewWindow>(QSize(500, 400));
        m_view = m_window->fill(new WebView(m_window.get())); // goes before the profile
        m_profile = new BrowserProfile(m_window.get());
        m_view->setPage(new QWebEnginePage(m_profile->profile(), m_view));
        m_view->useProfile(m_profile);
        QVERIFY(m_window->showExposed());
        load();
    }
    void load()
    {
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        m_view->load(QUrl(m_server.url("/workbench")));
        QVERIFY(loaded.wait(15000) && showsColour(m_view, kChat));
    }
    QVariant script(const QString &source)
    {
        QVariant result;
        m_view->page()->runJavaScript(source, [&](const QVariant &value) { result = value; });
        (void)QTest::qWaitFor([&] { return result.isValid(); }, 5000);
        return result;
    }
    // Where an element of the page is, in the view.
    QRect box(const QString &element)
    {
        const QString get = "var r = document.getElementById('%1').getBoundingClientRect();"
                            "[r.x, r.y, r.width, r.height]";
        const QVariantList r = script(get.arg(element)).toList();
        return QRect(r.value(0).toInt(), r.value(1).toInt(), r.value(2).toInt(),
                     r.value(3).toInt());
    }
    // A point halfway down an element of the page, `across` its width, on the screen.
    QPoint spot(const QString &element, qreal across = 0.5)
    {
        const QRect r = box(element);
        return m_view->mapToGlobal(QPoint(r.x() + qRound(r.width() * across), r.center().y()));
    }
    // The menu that pops up there, or null.
    static QMenu *rightClick(const QPoint &at)
    {
        const bool popped = xdotool(at, "click 3")
                && QTest::qWaitFor([] { return QApplication::activePopupWidget(); }, 5000);
        return popped ? qobject_cast<QMenu *>(QApplication::activePopupWidget()) : nullptr;
    }
    // Clicks the menu's entry of that text; false where it has none, or no menu came.
    static bool clickEntry(const QMenu *menu, const QString &text)
    {
        for (QAction *action : menu ? menu->actions() : QList<QAction *>())
            if (action->text() == text)
                return xdotool(menu->mapToGlobal(menu->actionGeometry(action).center()), "click 1");
        return false;
    }
    // How many pixels of an element of the page are painted with the find
    // highlights (yellow, and orange for the match shown).
    int marks(const QString &element)
    {
        const QRect area = box(element).translated(m_view->mapTo(m_window.get(), QPoint()));
        const QImage shot = m_window->screen()->grabWindow(m_window->winId()).toImage().copy(area);
        int count = 0;
        for (int i = 0; i < shot.width() * shot.height(); ++i) {
            const QColor seen = shot.pixelColor(i % shot.width(), i / shot.width());
            count += seen.red() > 200 && qAbs(seen.green() - 200) < 110 && seen.blue() < 90;
        }
        return count;
    }
    static QString written(const QMenu *menu)
    {
        QStringList texts;
        for (const QAction *action : menu->actions()) {
            const QString text = action->isSeparator() ? "-" : action->text();
            texts.append(action->isEnabled() ? text : "(" + text + ")");
        }
        return texts.join(u'|');
    }

    TestHttpServer m_server;
    std::unique_ptr<ViewWindow> m_window;
    BrowserProfile *m_profile = nullptr; // the window's
    WebView *m_view = nullptr;
};

QTEST_MAIN(TestWebView)
#include "tst_webview.moc"
