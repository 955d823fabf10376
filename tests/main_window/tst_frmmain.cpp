#include "desktop/autostartentry.h"
#include "settings/frmset.h"
#include "support/onscreen.h"
#include "support/startedwindow.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QWebEngineView>

#include <functional>

// On a real desktop: an EWMH window manager and an XEmbed notification area,
// as scripts/test provides (openbox and trayer on Xvfb).
namespace {

const QColor kChatColour(0x2a, 0x7a, 0xb0); // support/pages/chat.html

QWidget *shownWidgetOf(const char *className)
{
    for (QWidget *widget : QApplication::allWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), className) == 0 && widget->isVisible())
            return widget;
    }
    return nullptr;
}

// The icon as the notification area shows it, taken from the screen.
QImage trayPixels()
{
    QWidget *icon = shownWidgetOf("QSystemTrayIconSys");
    return icon ? QGuiApplication::primaryScreen()->grabWindow(icon->winId()).toImage() : QImage();
}

// The texts of the message shown next to the tray icon; empty when none is.
QString balloonText()
{
    QWidget *balloon = shownWidgetOf("QBalloonTip");
    QStringList texts;
    for (QLabel *label : balloon ? balloon->findChildren<QLabel *>() : QList<QLabel *>())
        texts << label->text();
    return texts.join(u' ');
}

} // namespace

// The main window's life: one owner's day from a first start to Exit, each
// step a test of its own on the same window; then starts from a saved file,
// and Exit with bad status links.
class TestFrmMain : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QSystemTrayIcon::isSystemTrayAvailable(), "no notification area: use scripts/test");
        QVERIFY(m_server.start());
        m_server.serveFolder(QStringLiteral(TALVORIN_TEST_PAGES));
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        m_day = std::make_unique<StartedWindow>(linkLine("linkstart", m_server, "/start")
                                                + linkLine("linkclose", m_server, "/exit"));
        QTRY_VERIFY(!trayPixels().isNull());
    }

    // No badge link yet: the hint says where it goes. Neither status item
    // looks at its check mark: each click sends and flips.
    void firstRunHintAndStatusItems()
    {
        auto *frame = window().findChild<QFrame *>(QStringLiteral("Frame1"));
        QVERIFY(frame->isVisible());
        QString said;
        for (QLabel *label : frame->findChildren<QLabel *>()) {
            // Readable whole: inside the panel, and tall enough for its lines.
            QVERIFY(label->isVisible() && frame->rect().contains(label->geometry()));
            QVERIFY(label->heightForWidth(label->width()) <= label->height());
            said += label->text();
        }
        QVERIFY(said.contains(QLatin1String("File > Settings")));
        window().mnureload_Click(); // no link: nothing to load

        QAction *online = action("mnuonline");
        QAction *offline = action("mnuoffline");
        QVERIFY(online->isChecked() && !offline->isChecked());
        online->trigger();
        QVERIFY(!online->isChecked() && offline->isChecked());
        online->trigger();
        offline->trigger();
        QVERIFY(offline->isChecked() && !online->isChecked());
        QTRY_COMPARE(m_server.requests(),
                     (QList<QByteArray> { "/start", "/start", "/start", "/exit" }));
    }

    // Each toggle and its twin in the tray menu: a click on either sets both
    // check marks, saves the whole file, and shows on the desktop at once and
    // after a stay in the tray, without moving the window.
    void togglesShowOnTheDesktopAndInTheFile()
    {
        QTRY_VERIFY(window().frameGeometry() != window().geometry()); // framed by the manager
        const QString entry = m_config.filePath(QStringLiteral("autostart/TalvorinTool.desktop"));
        const std::function<bool()> seen[] = {
            [this] { return netWmStateHas(window(), "_NET_WM_STATE_ABOVE"); },
            [this] {
                return !netWmStateHas(window(), "_NET_WM_STATE_SKIP_TASKBAR")
                        && !netWmStateHas(window(), "_NET_WM_STATE_SKIP_PAGER");
            },
            [entry] {
                QFile file(entry);
                return file.open(QIODevice::ReadOnly)
                        && file.readAll() == autostartDesktopEntry(QCoreApplication::applicationFilePath());
            },
        };
        const char *twins[][2] = { { "mnutop", "mnuTrayTop" },
                                   { "mnuShow", "mnutraytask" },
                                   { "mnuStart", "mnuTrayStart" } };
        QStringList lines { "[ontop]=False", "[taskbar]=False", "[startwin]=False" };
        for (int i = 0; i < 3; ++i) {
            QTRY_VERIFY(!seen[i]());
            for (const char *clicked : { twins[i][1], twins[i][0], twins[i][0], twins[i][1] }) {
                const bool on = !action(twins[i][0])->isChecked();
                QTest::qWait(200); // the window manager has placed the window
                const QRect place = window().frameGeometry();
                action(clicked)->trigger();
                QVERIFY2(action(twins[i][0])->isChecked() == on
                                 && action(twins[i][1])->isChecked() == on,
                         clicked);
                lines[i] = lines[i].section(u'=', 0, 0) + (on ? "=True" : "=False");
                QCOMPARE(m_day->savedLines().mid(3, 3), lines);
                QCOMPARE(m_day->savedLines().size(), 8); // with the size
                QTRY_COMPARE(seen[i](), on);
                QTest::qWait(200);
                QCOMPARE(window().frameGeometry(), place);
                window().close();
                emit tray()->activated(QSystemTrayIcon::Trigger);
                QVERIFY(QTest::qWaitForWindowExposed(&window()));
                QTRY_COMPARE(seen[i](), on);
            }
        }

        // Where the entry cannot be written the owner is told, both check
        // marks stay off and nothing is saved.
        QVERIFY(QDir(m_config.path()).rmdir(QStringLiteral("autostart")));
        QFile blocker(m_config.filePath(QStringLiteral("autostart")));
        QVERIFY(blocker.open(QIODevice::WriteOnly) && QFile::resize(m_day->iniPath(), 0));
        blocker.close();
        for (const char *item : { "mnuStart", "mnuTrayStart" }) {
            action(item)->trigger();
            QVERIFY(!action("mnuStart")->isChecked() && !action("mnuTrayStart")->isChecked());
        }
        QTRY_COMPARE(m_day->messages().size(), 2);
        QVERIFY2(m_day->messages().first().contains(QLatin1String("start at login"))
                         && m_day->messages().first().contains(QLatin1String("TalvorinTool.desktop")),
                 qPrintable(m_day->messages().first()));
        QCOMPARE(QFileInfo(m_day->iniPath()).size(), 0);
        QVERIFY(blocker.remove());
    }

    // A left click on the icon restores, a maximized window to the normal
    // state too; a double-click arrives as a click and then the double-click.
    void trayIconAndMenu()
    {
        action("mnuMaximize")->trigger();
        QVERIFY(window().isVisible() && window().isMaximized());
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        QTest::qWait(300); // as a user would: the window manager has done maximizing
        QVERIFY(!window().close());
        QVERIFY(!window().isVisible() && m_day->unloadCount() == 0);
        emit tray()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(window().isVisible() && !window().isMaximized());
        action("mnuMinimize")->trigger();
        QVERIFY(!window().isVisible());
        action("mnuRestore")->trigger();
        QVERIFY(window().isVisible() && !window().isMinimized());
        window().close();
        emit tray()->activated(QSystemTrayIcon::Trigger);
        emit tray()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(window().isVisible());
        QTRY_COMPARE(m_day->lastMessage(),
                     QStringLiteral("TalvorinTool: Dbl Click in the systray needs event"));
    }

    // File > Settings: "Change" wants a badge link, blanks being one; the
    // links go without their line breaks into the file and to the site, the
    // badge is loaded again, and its chat comes, with its messages.
    void settingsBringTheChatAndItsMessages()
    {
        const QString start = m_server.url("/st") + "\nart";
        changeLinks(start, { "\n\n", "   " });
        QCOMPARE(m_day->lastMessage(), QStringLiteral("TalvorinTool: You have to enter badge link"));
        QCOMPARE(m_day->savedLines().mid(0, 3),
                 (QStringList { "[badgelink]=   ", "[linkstart]=" + m_server.url("/start"),
                                "[linkclose]=" + m_server.url("/exit") }));
        action("mnuonline")->trigger();
        QTRY_COMPARE(m_server.requests().last(), QByteArray("/start"));
        changeLinks(start, { m_server.url("/bl") + "\r\nank" });
        QCOMPARE(m_day->savedLines().first(), "[badgelink]=" + m_server.url("/blank"));
        QTRY_VERIFY_WITH_TIMEOUT(looksLike(colourOnScreenAt(window().chatView()), kChatColour),
                                 15000);

        // Shown and looked at: no message. Hidden: the icon carries the count
        // and the message, which brings the window back. Web notifications go
        // beside the icon too.
        window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        QWebEnginePage *chat = window().chatView()->page();
        QTest::qWait(300);
        const QImage ownIcon = trayPixels();
        chat->runJavaScript(QStringLiteral("document.title = 'Visitor: hello'"));
        QTRY_COMPARE(window().chatView()->title(), QStringLiteral("Visitor: hello"));
        QTest::qWait(300);
        QVERIFY(balloonText().isEmpty());
        window().close();
        chat->runJavaScript(QStringLiteral("document.title = 'Visitor: are you there?'"));
        QTRY_VERIFY(balloonText().contains(QLatin1String("Visitor: are you there?")));
        QTRY_VERIFY(trayPixels() != ownIcon);
        QCOMPARE(tray()->toolTip(), QStringLiteral("1 new message"));
        emit tray()->messageClicked();
        QVERIFY(window().isVisible());
        shownWidgetOf("QBalloonTip")->close();
        QTRY_COMPARE(trayPixels(), ownIcon);

        window().close();
        chat->runJavaScript(QStringLiteral("Notification.requestPermission().then(function () {"
                                           " new Notification('Visitor', {body: 'Knock knock'}); });"));
        QTRY_VERIFY(balloonText().contains(QLatin1String("Knock knock")));
    }

    // A folder where the file was: no save can succeed, not even as root. The
    // owner hears of it once a run; the toggles work all the same.
    void unsavableSettingsAreToldOnceThenExit()
    {
        QVERIFY(QFile::remove(m_day->iniPath()) && QDir().mkdir(m_day->iniPath()));
        const int told = m_day->messages().size() + 1;
        for (int i = 0; i < 3; ++i)
            action("mnutop")->trigger();
        QTRY_COMPARE(m_day->messages().size(), told);
        QVERIFY2(m_day->lastMessage().startsWith(
                         QStringLiteral("TalvorinTool: The settings cannot be saved to ")),
                 qPrintable(m_day->lastMessage()));
        QVERIFY(action("mnutop")->isChecked());
        QTest::qWait(200);
        QCOMPARE(m_day->messages().size(), told);
        QVERIFY(QDir().rmdir(m_day->iniPath()));

        // Exit from the tray tells the site, takes the icon away and saves
        // the state, without a size while hidden.
        window().close();
        action("mnutrayexit")->trigger();
        QTRY_COMPARE(m_day->unloadCount(), 1);
        QCOMPARE(m_server.count("/exit"), 2);
        QTRY_VERIFY(!shownWidgetOf("QSystemTrayIconSys"));
        QCOMPARE(m_day->savedLines().mid(3), (QStringList { "[ontop]=True", "[taskbar]=False",
                                                            "[startwin]=False" }));
        m_day.reset();
    }

    void savedStateAndBadStatusLinks_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("bad");
        QTest::addColumn<int>("exitTimeoutMs");
        QTest::newRow("no links") << 450 << 600 << "" << 60000;
        QTest::newRow("larger than the screen, refused")
                << 9000 << 9000 << TestHttpServer::refusedUrl() << 60000;
        QTest::newRow("no address") << 450 << 600 << "http://[::1" << 60000;
        QTest::newRow("never answers") << 450 << 600 << m_server.url("/silent") << 800;
    }

    // A start from a saved file: the replayed toggles save no half-read file
    // and show on the desktop; the size comes back, kept on the screen. Bad
    // status links block nothing: Exit ends on the failure itself, or at its
    // deadline, which choosing Exit again and again does not push back; and
    // it saves the whole state.
    void savedStateAndBadStatusLinks()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, bad);
        QFETCH(int, exitTimeoutMs);
        m_server.setSilent("/silent");
        const double twips = 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY();
        const QStringList saved { "[badgelink]=", "[linkstart]=" + bad, "[linkclose]=" + bad,
                                  "[ontop]=True", "[taskbar]=True", "[startwin]=True",
                                  QStringLiteral("[height]=%1").arg(qRound(height * twips)),
                                  QStringLiteral("[width]=%1").arg(qRound(width * twips)) };
        StartedWindow program(saved.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
        QCOMPARE(program.savedLines(), saved);
        for (const char *name :
             { "mnutop", "mnuTrayTop", "mnuShow", "mnutraytask", "mnuStart", "mnuTrayStart" })
            QVERIFY2(program.action(name)->isChecked(), name);
        frmMain &window = program.window();
        QTRY_VERIFY(netWmStateHas(window, "_NET_WM_STATE_ABOVE")
                    && !netWmStateHas(window, "_NET_WM_STATE_SKIP_TASKBAR"));
        const QRect area = window.screen()->availableGeometry();
        QTRY_COMPARE(window.frameGeometry().size(),
                     QSize(qMin(width, area.width()), qMin(height, area.height())));
        QTRY_VERIFY(area.contains(window.frameGeometry()));

        program.action("mnuoffline")->trigger();
        QVERIFY(program.action("mnuoffline")->isChecked());
        window.setExitTimeout(exitTimeoutMs);
        QTimer again;
        connect(&again, &QTimer::timeout, &window, &frmMain::mnuExit_Click);
        again.start(300);
        window.mnuExit_Click();
        QTRY_COMPARE_WITH_TIMEOUT(program.unloadCount(), 1, 5000);
        if (width <= area.width())
            QCOMPARE(program.savedLines(), saved);
    }

private:
    frmMain &window() const { return m_day->window(); }
    QAction *action(const char *name) const { return m_day->action(name); }
    QSystemTrayIcon *tray() const { return window().findChild<QSystemTrayIcon *>(); }

    // File > Settings: types the start link, then each badge link in turn,
    // pressing "Change" after each.
    void changeLinks(const QString &start, const QStringList &badges)
    {
        QTimer::singleShot(0, &window(), [this, start, badges] {
            auto *dialog = window().findChild<frmSet *>();
            dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtLinkStart"))->setPlainText(start);
            for (const QString &badge : badges) {
                dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtBadge"))->setPlainText(badge);
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdSave")),
                                  Qt::LeftButton);
                QTest::qWait(100); // the message box, if any, is answered
            }
            QTimer::singleShot(100, dialog, &QDialog::reject); // should "Change" not close it
        });
        action("mnuSetings")->trigger();
    }

    TestHttpServer m_server;
    QTemporaryDir m_config; // XDG_CONFIG_HOME, where start at login goes
    std::unique_ptr<StartedWindow> m_day;
};

TALVORIN_TEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
