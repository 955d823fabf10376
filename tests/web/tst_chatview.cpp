#include "common/graphics.h"
#include "support/onscreen.h"
#include "support/testhttpserver.h"
#include "web/browserprofile.h"
#include "web/chatview.h"

#include <QSignalSpy>
#include <QMenu>
#include <QVBoxLayout>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineProfile>

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

    // From the actual size; keys and the wheel over the page.
    void zoomKeysAndWheel_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("ctrl+plus") << "key ctrl+plus" << 1.1;
        QTest::newRow("ctrl+=") << "key ctrl+equal" << 1.1;
        QTest::newRow("ctrl+keypad plus") << "key ctrl+KP_Add" << 1.1;
        QTest::newRow("ctrl+minus") << "key ctrl+minus" << 0.9;
        QTest::newRow("ctrl+0 between") << "key ctrl+plus ctrl+plus ctrl+0 ctrl+minus" << 0.9;
        QTest::newRow("ctrl+wheel up") << "keydown ctrl click 4 keyup ctrl" << 1.1;
        QTest::newRow("ctrl+wheel down") << "keydown ctrl click 5 keyup ctrl" << 0.9;
        QTest::newRow("down to 25 %") << "key" + QString(" ctrl+minus").repeated(9) << 0.25;
        QTest::newRow("up to 500 %") << "key" + QString(" ctrl+plus").repeated(10) << 5.0;
    }
    void zoomKeysAndWheel()
    {
        QFETCH(QString, input);
        QFETCH(qreal, ratio);
        m_view->zoom(ZoomChange::ActualSize);
        QTRY_COMPARE_WITH_TIMEOUT(pageRatio(), 1.0, 5000);
        QVERIFY(clickAt(m_view->mapToGlobal(QPoint(400, 350)), 1)); // the page's background
        QCOMPARE(QProcess::execute("xdotool", input.split(u' ')), 0);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(pageRatio() - ratio) < 0.01, 5000);
    }

    // The level holds for the next page, and for a view made after a restart.
    void zoomOutlivesPageAndView()
    {
        m_view->zoom(ZoomChange::ActualSize);
        m_view->zoom(ZoomChange::In);
        m_view->zoom(ZoomChange::In);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(pageRatio() - 1.25) < 0.01, 5000);
        m_view->setPage(new QWebEnginePage(m_profile->profile(), m_view));
        load();
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(pageRatio() - 1.25) < 0.01, 5000);
        open();
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(pageRatio() - 1.25) < 0.01, 5000);
        m_view->zoom(ZoomChange::ActualSize);
        QTRY_COMPARE_WITH_TIMEOUT(pageRatio(), 1.0, 5000);
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
        QMenu *menu = rightClick(centreOf(element));
        QVERIFY(menu);
        QTEST(written(menu), "menu");
        menu->close();
    }

    // The owner's language is chosen from the field's menu; a word typed
    // wrong gets the engine's suggestions first, and the first one replaces it.
    void misspeltWordIsPutRight()
    {
        QMenu *menu = rightClick(centreOf("field"));
        QVERIFY(menu);
        QMenu *spelling = menu->findChild<QMenu *>();
        const QList<QAction *> languages = spelling->actions();
        QCOMPARE(languages.first()->text(), "German (Germany)");
        QVERIFY(languages.last()->text() == "Off" && languages.last()->isChecked() == false);
        languages.at(1)->trigger(); // English (United States)
        menu->close();

        const QPoint word = m_view->mapToGlobal(fieldRect().topLeft() + QPoint(14, 10));
        QVERIFY(clickAt(word, 1));
        QCOMPARE(QProcess::execute("xdotool", { "type", "--delay", "80", "helo " }), 0);
        // The engine checks a little after the typing.
        QVERIFY(QTest::qWaitFor([&] {
            menu = rightClick(word);
            if (menu && menu->actions().first()->text() != "Undo")
                return true;
            delete menu;
            QTest::qWait(500);
            return false;
        }, 20000));
        const QStringList suggestions = m_view->lastContextMenuRequest()->spellCheckerSuggestions();
        QVERIFY(suggestions.contains("hello"));
        QCOMPARE(written(menu).section("|-|", 0, 0), suggestions.join(u'|'));
        const QRect first = menu->actionGeometry(menu->actions().first());
        QVERIFY(clickAt(menu->mapToGlobal(first.center()), 1));
        QTRY_COMPARE_WITH_TIMEOUT(script("document.getElementById('field').value").toString(),
                                  suggestions.first() + " ", 5000);
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
        auto *layout = new QVBoxLayout(m_window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_view);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
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
        bool done = false;
        m_view->page()->runJavaScript(source, [&](const QVariant &value) {
            result = value;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 5000))
            qWarning("the page did not answer");
        return result;
    }
    qreal pageRatio() { return script("window.devicePixelRatio").toReal(); }
    QRect fieldRect()
    {
        const QVariantList r = script("var r = document.getElementById('field')"
                                      ".getBoundingClientRect(); [r.x, r.y, r.width, r.height]")
                                       .toList();
        return QRect(r.value(0).toInt(), r.value(1).toInt(), r.value(2).toInt(), r.value(3).toInt());
    }
    QPoint centreOf(const QString &element)
    {
        const QVariantList r = script("var r = document.getElementById('" + element
                                      + "').getBoundingClientRect(); [r.x + r.width / 2,"
                                        " r.y + r.height / 2]")
                                       .toList();
        return m_view->mapToGlobal(QPoint(r.value(0).toInt(), r.value(1).toInt()));
    }
    static bool clickAt(const QPoint &at, int button)
    {
        return QProcess::execute("xdotool", { "mousemove", QString::number(at.x()),
                                              QString::number(at.y()), "sleep", "0.2", "click",
                                              QString::number(button) })
                == 0;
    }
    // The menu that pops up there, or null.
    static QMenu *rightClick(const QPoint &at)
    {
        if (!clickAt(at, 3))
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
