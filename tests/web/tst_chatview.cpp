#include "common/graphics.h"
#include "support/onscreen.h"
#include "support/testhttpserver.h"
#include "web/browserprofile.h"
#include "web/chatview.h"

#include <QMenu>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QWebEngineContextMenuRequest>

// The chat's own view on a real page (support/pages/workbench.html: a text,
// a link, an image and a field), driven through the X server as the owner
// drives it: the zoom as the page sees it (its devicePixelRatio), the
// context menu as it pops up, and a misspelt word put right from it.
class TestChatView : public QObject {
    Q_OBJECT
public:
    static void initMain() { useSoftwareCompositing(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.serveFolder(QStringLiteral(TALVORIN_TEST_PAGES));
        open();
    }

    // From the actual size, over the page's background: every key and the
    // wheel with Ctrl zoom, the same without it (or with Alt) do not.
    void zoomKeysAndWheel_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("keys") << "key plus ctrl+alt+plus ctrl+plus ctrl+equal ctrl+KP_Add" << 1.5;
        QTest::newRow("ctrl+0 between") << "key ctrl+plus ctrl+0 ctrl+minus ctrl+minus" << 0.8;
        QTest::newRow("wheel") << "click 4 keydown ctrl click 4 click 4 click 5 keyup ctrl" << 1.1;
    }
    void zoomKeysAndWheel()
    {
        QFETCH(QString, input);
        QFETCH(qreal, ratio);
        m_view->zoom(ZoomChange::ActualSize);
        QTRY_COMPARE_WITH_TIMEOUT(script("devicePixelRatio").toReal(), 1.0, 5000);
        QVERIFY(xdotool(m_view->mapToGlobal(QPoint(400, 350)), "click 1 " + input));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(script("devicePixelRatio").toReal() - ratio) < 0.01, 5000);
    }

    // The level holds for a new page in the view, and for a view made after
    // a restart.
    void zoomOutlivesPageAndView()
    {
        for (ZoomChange change : { ZoomChange::ActualSize, ZoomChange::In, ZoomChange::In })
            m_view->zoom(change); // 125 %
        m_view->setPage(new QWebEnginePage(m_profile->profile(), m_view));
        load();
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(script("devicePixelRatio").toReal() - 1.25) < 0.01, 5000);
        open();
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(script("devicePixelRatio").toReal() - 1.25) < 0.01, 5000);
        m_view->zoom(ZoomChange::ActualSize);
    }

    // Written as in tst_webrules: "(Cut)" greyed, "-" a separator.
    void contextMenus_data()
    {
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("menu");
        const QString zoom = "-|Zoom in|Zoom out|(Actual size)";
        QTest::newRow("plain text") << "text" << "Select all|" + zoom;
        QTest::newRow("link") << "link" << "Open link in browser|Copy link address|" + zoom;
        QTest::newRow("image") << "image" << "Copy image|Save image|" + zoom;
        QTest::newRow("field") << "field"
                << "(Undo)|(Redo)|(Cut)|(Copy)|Paste|(Select all)|" + zoom + "|-|Spelling";
    }
    void contextMenus()
    {
        QFETCH(QString, element);
        QMenu *menu = rightClick(spot(element));
        QVERIFY(menu);
        QTEST(written(menu), "menu");
        menu->close();
    }

    // The language is chosen from the field's menu; a word typed wrong gets
    // the engine's suggestions first, and the first one replaces it.
    void misspeltWordIsPutRight()
    {
        QMenu *menu = rightClick(spot("field"));
        QVERIFY(menu);
        const QList<QAction *> languages = menu->findChild<QMenu *>()->actions();
        QCOMPARE(languages.first()->text(), "German (Germany)");
        QCOMPARE(languages.last()->text(), "Off");
        languages.at(1)->trigger(); // English (United States)
        menu->close();

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
        const QStringList suggestions = m_view->lastContextMenuRequest()->spellCheckerSuggestions();
        QVERIFY(suggestions.contains("hello"));
        QCOMPARE(written(menu).section("|-|", 0, 0), suggestions.join(u'|'));
        const QRect first = menu->actionGeometry(menu->actions().first());
        QVERIFY(xdotool(menu->mapToGlobal(first.center()), "click 1"));
        QTRY_COMPARE_WITH_TIMEOUT(script("document.getElementById('field').value").toString(),
                                  suggestions.first() + ",", 5000);
    }

private:
    // A new profile and view on the workbench page, as after a restart.
    void open()
    {
        m_window.reset(); // one profile at a time
        m_window = std::make_unique<QWidget>();
        m_window->resize(500, 400);
        m_view = new ChatView(m_window.get()); // goes before the profile
        m_profile = new BrowserProfile(m_window.get());
        m_view->setPage(new QWebEnginePage(m_profile->profile(), m_view));
        m_view->useProfile(m_profile);
        (new QVBoxLayout(m_window.get()))->addWidget(m_view);
        m_window->layout()->setContentsMargins(0, 0, 0, 0);
        m_window->show();
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
    // A point halfway down an element of the page, `across` its width, on the screen.
    QPoint spot(const QString &element, qreal across = 0.5)
    {
        const QString get = "var r = document.getElementById('%1').getBoundingClientRect();"
                            "[r.x + r.width * %2, r.y + r.height / 2]";
        const QVariantList r = script(get.arg(element).arg(across)).toList();
        return m_view->mapToGlobal(QPoint(r.value(0).toInt(), r.value(1).toInt()));
    }
    // The mouse to `at` on the screen, then the rest of the commands.
    static bool xdotool(const QPoint &at, const QString &then)
    {
        const QString move = QString("mousemove %1 %2 sleep 0.2 ").arg(at.x()).arg(at.y());
        return QProcess::execute("xdotool", (move + then).split(u' ')) == 0;
    }
    // The menu that pops up there, or null.
    static QMenu *rightClick(const QPoint &at)
    {
        if (!xdotool(at, "click 3"))
            return nullptr;
        (void)QTest::qWaitFor([] { return QApplication::activePopupWidget(); }, 5000);
        return qobject_cast<QMenu *>(QApplication::activePopupWidget());
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
    std::unique_ptr<QWidget> m_window;
    BrowserProfile *m_profile = nullptr; // the window's
    ChatView *m_view = nullptr;
};

QTEST_MAIN(TestChatView)
#include "tst_chatview.moc"
