#include "common/graphics.h"
#include "desktop/autostartentry.h"
#include "web/badgepage.h"
#include "settings/frmset.h"
#include "support/datatable.h"
#include "support/onscreen.h"
#include "support/startedwindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QWebEngineView>

// The main window on a real desktop: an EWMH window manager and an XEmbed
// notification area, as scripts/test provides (openbox and trayer on Xvfb);
// the badge service and the owner's site played by a local server. First one
// owner's day on one window, step by step; then starts from a saved file, and
// the chat placed in the window. The chat's many routes are
// the chat screen's own, in tst_chatscreen.
class TestFrmMain : public QObject {
    Q_OBJECT
public:
    // The pages drawn as the program draws them.
    static void initMain() { useSoftwareCompositing(); }

private slots:
    void initTestCase()
    {
        QVERIFY2(QSystemTrayIcon::isSystemTrayAvailable(), "no tray: use scripts/test");
        QVERIFY(m_server.start());
        m_server.serveFolder(QStringLiteral(TALVORIN_TEST_PAGES));
        m_server.setSilent("/silent");
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    }
    // The login windows go with the main window.
    void cleanup() { m_program.reset(); }

    // The owner's day. No badge link yet: the hint says where it goes; the
    // site's answer to the start-up link in the Status menu. Status, sleep and
    // wake: see tests/e2e/test_outside.py.
    void ownersDay()
    {
        m_program = std::make_unique<StartedWindow>(linkLine("linkstart", m_server, "/start")
                                                + linkLine("linkclose", m_server, "/exit"));
        auto *frame = window().findChild<QFrame *>("Frame1");
        QVERIFY(frame->findChild<QLabel *>("Label2")->text().contains("File > Settings"));
        // Each line shown and readable whole: inside the panel, and tall enough.
        for (QLabel *label : frame->findChildren<QLabel *>())
            QVERIFY(label->isVisible() && frame->rect().contains(label->geometry())
                    && label->heightForWidth(label->width()) <= label->height());

        QTRY_VERIFY(action("mnusite")->text().startsWith("Your site answered 404 X at "));
        QVERIFY(!action("mnusite")->isEnabled());

        // Each toggle and its twin in the tray menu: a click on either sets both
        // check marks, saves the whole file, and shows on the desktop at once and
        // after a stay in the tray, without moving the window.
        const auto seen = [this](int toggle) { // as the desktop sees it
            if (toggle == 0)
                return netWmStateHas(window(), "_NET_WM_STATE_ABOVE");
            if (toggle == 1)
                return !netWmStateHas(window(), "_NET_WM_STATE_SKIP_TASKBAR")
                        && !netWmStateHas(window(), "_NET_WM_STATE_SKIP_PAGER");
            QFile file(m_config.filePath(QStringLiteral("autostart/TalvorinTool.desktop")));
            return file.open(QIODevice::ReadOnly)
                    && file.readAll() == autostartDesktopEntry(qApp->applicationFilePath());
        };
        const char *twins[][2] = { { "mnutop", "mnuTrayTop" }, { "mnuShow", "mnutraytask" },
                                   { "mnuStart", "mnuTrayStart" } };
        QStringList lines { "[ontop]=False", "[taskbar]=False", "[startwin]=False" };
        for (int i = 0; i < 3; ++i) {
            QTRY_VERIFY(!seen(i));
            // On while shown, off from the tray; the twin clicked first and last.
            for (int click = 0; click < 4; ++click) {
                const bool on = click % 2 == 0;
                QTest::qWait(200); // the window manager has placed the window
                const QRect place = window().frameGeometry();
                if (!on)
                    window().close();
                if (i == 2 && click == 3) // an entry removed outside the program
                    QVERIFY(QFile::remove(m_config.filePath("autostart/TalvorinTool.desktop")));
                action(twins[i][click % 3 ? 0 : 1])->trigger();
                QCOMPARE(action(twins[i][0])->isChecked(), on);
                QCOMPARE(action(twins[i][1])->isChecked(), on);
                lines[i] = lines[i].section(u'=', 0, 0) + (on ? "=True" : "=False");
                QCOMPARE(m_program->savedLines().mid(3, 3), lines);
                // Show in taskbar brings the window out of the tray.
                QCOMPARE(window().isVisible(), on || i == 1);
                if (on) {
                    QTRY_VERIFY(seen(i));
                    QTest::qWait(200);
                    QCOMPARE(window().frameGeometry(), place);
                    window().close();
                }
                if (!window().isVisible())
                    emit tray()->activated(QSystemTrayIcon::Trigger);
                QVERIFY(QTest::qWaitForWindowExposed(&window()));
                QTRY_VERIFY2(seen(i) == on, qPrintable(QString("toggle %1 click %2").arg(i).arg(click)));
            }
        }

        // Where the entry cannot be written the owner is told (the first
        // messages of the day: one already gone is no failure), both check
        // marks stay off and nothing is saved.
        QTemporaryFile blocker; // a file where the folder of the entry would go
        QVERIFY(blocker.open() && QFile::resize(m_program->iniPath(), 0));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker.fileName()));
        action("mnuStart")->trigger();
        action("mnuTrayStart")->trigger();
        QVERIFY(!action("mnuStart")->isChecked() && !action("mnuTrayStart")->isChecked());
        QTRY_COMPARE(m_program->messages().size(), 2);
        QVERIFY(m_program->lastMessage().contains(QRegularExpression("at login.\n.*TalvorinTool.desktop")));
        QCOMPARE(QFileInfo(m_program->iniPath()).size(), 0);

        // File > Settings: "Change" wants a badge link, blanks being one; the
        // links go without their line breaks into the file and to the site, the
        // badge is loaded again, and its chat comes, with its messages.
        const QString start = m_server.url("/st") + "\nart";
        changeLinks(start, { "\n\n", "   " });
        QCOMPARE(m_program->lastMessage(), "TalvorinTool: You have to enter badge link");
        QVERIFY(m_program->savedBytes().startsWith(
                "[badgelink]=   \r\n[linkstart]=" + m_server.url("/start").toLatin1() + "\r\n"));
        action("mnuonline")->trigger();
        QTRY_COMPARE(m_server.requests().last(), "/start");
        changeLinks(start, { m_server.url("/bl") + "\r\nank" });
        QCOMPARE(m_program->savedLines().first(), "[badgelink]=" + m_server.url("/blank"));
        QVERIFY(showsColour(window().chatView(), kChat));

        // Shown and looked at: no message. Hidden: the icon carries the count
        // and the message, which brings the window back. Web notifications go
        // beside the icon too, and count as unread, each of them.
        QWebEngineView *chat = window().chatView();
        const QImage ownIcon = trayPixels();
        chat->page()->runJavaScript(QStringLiteral("document.title = 'Visitor: hello'"));
        QTRY_COMPARE(chat->title(), "Visitor: hello");
        QTest::qWait(300);
        QVERIFY(balloonText().isEmpty());
        // The title bar's minimize button, through the window manager.
        QVERIFY(xdotool(QString("windowminimize %1").arg(window().winId())));
        QTRY_VERIFY(!window().isVisible());
        chat->page()->runJavaScript(QStringLiteral("document.title = 'Visitor: are you there?'"));
        QTRY_COMPARE(balloonText(), "Talvorin Tool GoogleTalk|Visitor: are you there?");
        QTRY_VERIFY(trayPixels() != ownIcon);
        QCOMPARE(tray()->toolTip().section(u'\n', 0, 0), "1 new message");
        emit tray()->messageClicked();
        QVERIFY(window().isVisible());
        shownWidgetOf("QBalloonTip")->close();
        QTRY_COMPARE(trayPixels(), ownIcon);
        window().close();
        chat->page()->runJavaScript("Notification.requestPermission().then(function () { for (let i = 0; i < 2; ++i)"
                                    " new Notification('Visitor', {body: 'Knock knock'}); });");
        QTRY_COMPARE(balloonText(), "Visitor|Knock knock");
        QTRY_COMPARE(tray()->toolTip().section(u'\n', 0, 0), "2 new messages");
        QVERIFY(trayPixels() != ownIcon);

        // Maximize in the tray menu brings the hidden window back maximized. A
        // left click on the icon restores, a maximized window to the normal state
        // too; a double-click arrives as a click and then the double-click.
        action("mnuMaximize")->trigger();
        QTRY_VERIFY(window().isMaximized() && netWmStateHas(window(), "_NET_WM_STATE_MAXIMIZED_VERT"));
        QVERIFY(!window().close() && !window().isVisible() && m_program->unloadCount() == 0);
        emit tray()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(window().isVisible() && !window().isMaximized());
        window().close();
        emit tray()->activated(QSystemTrayIcon::Trigger);
        emit tray()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(window().isVisible());
        QTRY_COMPARE(m_program->lastMessage(), "TalvorinTool: Dbl Click in the systray needs event");

        // A folder where the file was: no save can succeed, not even as root.
        // The owner hears of it once a run; the toggles work all the same (see
        // the file saved at Exit).
        QVERIFY(QFile::remove(m_program->iniPath()) && QDir().mkdir(m_program->iniPath()));
        const int told = m_program->messages().size() + 1;
        for (int i = 0; i < 3; ++i)
            action("mnutop")->trigger();
        QTRY_VERIFY(m_program->lastMessage().contains("The settings cannot be saved to "));
        QTest::qWait(200);
        QCOMPARE(m_program->messages().size(), told);
        QVERIFY(QDir().rmdir(m_program->iniPath()));
    }

    void savedStateAndBadStatusLinks_data()
    {
        const auto row = dataTable<QSize, QString, bool>("size", "bad", "hidden");
        row("no links", { 450, 600 }, "", false);
        row("too large, refused", { 9000, 9000 }, TestHttpServer::refusedUrl(), false);
        row("no address, hidden", { 450, 600 }, "http://[::1", true);
        row("never answers", { 450, 600 }, m_server.url("/silent"), false);
    }

    // A start from a saved file: the replayed toggles save no half-read file;
    // the size comes back, kept on the screen, the toggles on the desktop too.
    // Bad status links block nothing: Exit (from the tray) ends on the failure
    // itself, or at its deadline, which choosing Exit again and again does not
    // push back; it takes the icon away and saves the whole state, without a
    // size while hidden.
    void savedStateAndBadStatusLinks()
    {
        QFETCH(QSize, size);
        QFETCH(QString, bad);
        QFETCH(bool, hidden);
        const double twips = 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY();
        const QByteArray saved = "[badgelink]=\r\n[linkstart]=" + bad.toLatin1()
                + "\r\n[linkclose]=" + bad.toLatin1()
                + "\r\n[ontop]=True\r\n[taskbar]=True\r\n[startwin]=True\r\n[height]="
                + QByteArray::number(qRound(size.height() * twips))
                + "\r\n[width]=" + QByteArray::number(qRound(size.width() * twips)) + "\r\n";
        m_program = std::make_unique<StartedWindow>(saved);
        QCOMPARE(m_program->savedBytes(), saved);
        for (const char *name : { "mnutop", "mnuTrayTop", "mnuShow", "mnutraytask", "mnuStart", "mnuTrayStart" })
            QVERIFY2(action(name)->isChecked(), name);
        const QRect area = window().screen()->availableGeometry();
        QTRY_COMPARE(window().frameGeometry().size(), size.boundedTo(area.size()));
        QTRY_VERIFY(area.contains(window().frameGeometry()));
        QTRY_VERIFY(netWmStateHas(window(), "_NET_WM_STATE_ABOVE")
                    && !netWmStateHas(window(), "_NET_WM_STATE_SKIP_TASKBAR"));

        action("mnuoffline")->trigger();
        if (hidden)
            window().close();
        // Only the page that never answers may wait for the deadline.
        window().setExitTimeout(bad.endsWith("/silent") ? 800 : 60000);
        QTimer again;
        connect(&again, &QTimer::timeout, action("mnutrayexit"), &QAction::trigger);
        again.start(300);
        action("mnutrayexit")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_program->unloadCount(), 1, 5000);
        QTRY_VERIFY(!shownWidgetOf("QSystemTrayIconSys"));
        if (size.width() <= area.width())
            QCOMPARE(m_program->savedBytes(), hidden ? saved.left(saved.indexOf("[height]")) : saved);
    }

    // The site hears of the start before the badge is asked for, and the
    // chat fills the window, 60 twips in from each side, whatever size the
    // page asks for.
    void chatComesAfterTheStartAndFillsTheWindow()
    {
        frmMain &window = start("/open-sized", linkLine("linkstart", m_server, "/start"));
        QVERIFY(showsColour(window.chatView(), kChat));
        const QList<QByteArray> asked = m_server.requests();
        QCOMPARE(asked.mid(asked.lastIndexOf("/start"), 2).join(' '), "/start /open-sized");
        const int in = qRound(60.0 * window.logicalDpiX() / 1440);
        QCOMPARE(window.chatView()->geometry(), window.centralWidget()->rect().adjusted(in, in, -in, -in));
    }

    void callQuestion_data()
    {
        const auto row = dataTable<QString, QByteArray>("key", "outcome");
        row("Allow", "alt+a", "ok");
        row("Block", "alt+b", "NotAllowedError");
    }
    // The chat asks for the microphone (support/pages/call.html, on the
    // engine's fake devices): the question stands above the chat, answered
    // with real keys and remembered for the site, so a restarted program
    // answers alike unasked, until "Forget site permissions" in the chat's
    // menu. Hidden, the window gets the question back from a tray message;
    // it stands until answered or its page goes. The badge page, on the same
    // site, is refused each time, unasked.
    void callQuestion()
    {
        QFETCH(QString, key);
        QFETCH(QByteArray, outcome);
        const QByteArray answered = "/media?chat-" + outcome, refused = "/media?badge-NotAllowedError";
        const int answers = m_server.count(answered), refusals = m_server.count(refused);
        const auto bar = [this] { return window().findChild<QToolBar *>("CallQuestionBar"); };
        const auto answer = [&](int count) {
            QTRY_VERIFY_WITH_TIMEOUT(bar()->isVisible(), 15000);
            QCOMPARE(bar()->findChild<QLabel *>()->text(), "127.0.0.1 wants to use your microphone");
            QVERIFY(QTest::qWaitForWindowActive(&window()));
            QVERIFY(xdotool("key " + key));
            QTRY_COMPARE_WITH_TIMEOUT(m_server.count(answered), count, 5000);
            QVERIFY(!bar()->isVisible());
        };
        QWebEngineView *chat = start("/call#badge").chatView();
        answer(answers + 1);
        chat = start("/call#badge").chatView();
        QTRY_COMPARE_WITH_TIMEOUT(m_server.count(answered), answers + 2, 15000);
        QVERIFY(!bar()->isVisible());
        QCOMPARE(m_server.count(refused), refusals + 2);

        const QPoint centre = chat->mapToGlobal(chat->rect().center());
        QVERIFY(xdotool(centre, "click 3"));
        QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
        QAction *forget = QApplication::activePopupWidget()->actions().last();
        QCOMPARE(forget->text(), "Forget site permissions");
        forget->trigger();
        QApplication::activePopupWidget()->close();
        window().close();
        chat->page()->runJavaScript("call()");
        QTRY_COMPARE(balloonText(), "Talvorin Tool GoogleTalk|127.0.0.1 wants to use your microphone");
        QTest::mouseClick(shownWidgetOf("QBalloonTip"), Qt::LeftButton);
        QVERIFY(window().isVisible());
        // Not remembered this time: the next call asks again.
        bar()->findChild<QCheckBox *>()->click();
        answer(answers + 3);
        // Asked under another name: the refusal its page may still report as
        // it goes is not counted as the next row's answer.
        chat->page()->runJavaScript("location.hash = 'gone'; call()");
        QTRY_VERIFY(bar()->isVisible());
        // Its page gone elsewhere, the question goes too.
        chat->load(QUrl(m_server.url("/blank")));
        QTRY_VERIFY(!bar()->isVisible());
    }

private:
    frmMain &window() const { return m_program->window(); }
    QAction *action(const char *name) const { return m_program->action(name); }
    QSystemTrayIcon *tray() const { return window().findChild<QSystemTrayIcon *>(); }
    // The icon as the notification area shows it, taken from the screen.
    static QImage trayPixels()
    {
        QWidget *icon = shownWidgetOf("QSystemTrayIconSys");
        return icon ? QGuiApplication::primaryScreen()->grabWindow(icon->winId()).toImage() : QImage();
    }

    frmMain &start(const QByteArray &badge, const QByteArray &more = {})
    {
        m_program.reset(); // one profile at a time
        m_program = std::make_unique<StartedWindow>(linkLine("badgelink", m_server, badge) + more);
        return window();
    }

    // File > Settings: types the start link, then each badge link in turn,
    // pressing "Change" after each.
    void changeLinks(const QString &start, const QStringList &badges)
    {
        QTimer::singleShot(0, &window(), [this, start, badges] {
            auto *dialog = window().findChild<frmSet *>();
            dialog->findChild<QPlainTextEdit *>("txtLinkStart")->setPlainText(start);
            for (const QString &badge : badges) {
                dialog->findChild<QPlainTextEdit *>("txtBadge")->setPlainText(badge);
                QTest::mouseClick(dialog->findChild<QPushButton *>("cmdSave"), Qt::LeftButton);
                QTest::qWait(100); // the message box, if any, is answered
            }
            QTimer::singleShot(100, dialog, &QDialog::reject); // should "Change" not close it
        });
        action("mnuSetings")->trigger();
    }

    TestHttpServer m_server;
    QTemporaryDir m_config; // XDG_CONFIG_HOME, where start at login goes
    std::unique_ptr<StartedWindow> m_program;
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
