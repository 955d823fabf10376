#include "main_window/frmmain.h"
#include "support/messageboxes.h"
#include "support/startedwindow.h"
#include "support/testhttpserver.h"
#include "support/testmain.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QScreen>

// The main window's life without a chat: start, the toggles and the file,
// the window states, the status links and Exit, with the owner's site played
// by a local server.
class TestFrmMain : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstRunAndTheMenus();
    void replayedTogglesDoNotSaveHalfReadState();
    void savedSizeComesBackAndIsKeptOnScreen_data();
    void savedSizeComesBackAndIsKeptOnScreen();
    void badStatusLinksNeitherBlockNorKeepTheProgram_data();
    void badStatusLinksNeitherBlockNorKeepTheProgram();
    void unsavableSettingsAreToldOnce();

private:
    frmMain &start(const QByteArray &ini) { return m_program->start(ini); }
    QByteArray link(const char *tag, const QByteArray &path) const
    {
        return "[" + QByteArray(tag) + "]=" + m_server->url(path).toLatin1() + "\r\n";
    }

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<StartedWindow> m_program;
};

void TestFrmMain::init()
{
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->start());
    m_server->setPage("/start", "online");
    m_server->setPage("/exit", "offline");
    m_program = std::make_unique<StartedWindow>();
}

void TestFrmMain::cleanup()
{
    m_program.reset();
    m_server.reset();
}

// A first start, and the owner's day with the menus: the status links, the
// toggles' twins, the window states, and Exit with no exit link.
void TestFrmMain::firstRunAndTheMenus()
{
    frmMain &window = start(link("linkstart", "/start") + link("linkclose", "/exit"));
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *frame = window.findChild<QFrame *>(QStringLiteral("Frame1"));
    QVERIFY(frame->isVisible());
    QString said;
    for (QLabel *label : frame->findChildren<QLabel *>()) {
        // Readable whole: inside the panel, and tall enough for its lines.
        QVERIFY(label->isVisible() && frame->rect().contains(label->geometry()));
        QVERIFY(label->heightForWidth(label->width()) <= label->height());
        said += label->text();
    }
    QVERIFY(said.contains(QLatin1String("File > Settings")));
    window.mnureload_Click(); // no link: nothing to load

    // Neither status item looks at its check mark: each click sends and flips.
    QAction *online = m_program->action("mnuonline");
    QAction *offline = m_program->action("mnuoffline");
    QVERIFY(online->isChecked() && !offline->isChecked());
    online->trigger();
    QVERIFY(!online->isChecked() && offline->isChecked());
    online->trigger();
    offline->trigger();
    QVERIFY(offline->isChecked() && !online->isChecked());
    QTRY_COMPARE(m_server->requests(),
                 (QList<QByteArray> { "/start", "/start", "/start", "/exit" }));

    const QList<QPair<const char *, const char *>> twins = { { "mnutop", "mnuTrayTop" },
                                                             { "mnuShow", "mnutraytask" },
                                                             { "mnuStart", "mnuTrayStart" } };
    for (const auto &[main, tray] : twins) {
        QAction *mainItem = m_program->action(main);
        QAction *trayItem = m_program->action(tray);
        for (QAction *clicked : { trayItem, mainItem, trayItem }) {
            const bool before = mainItem->isChecked();
            clicked->trigger();
            QVERIFY(mainItem->isChecked() != before && trayItem->isChecked() != before);
        }
    }
    // Every toggle saved the whole state at once.
    QCOMPARE(m_program->savedLines().mid(3, 3),
             (QStringList { "[ontop]=True", "[taskbar]=True", "[startwin]=True" }));

    m_program->action("mnuMinimize")->trigger();
    QVERIFY(!window.isVisible());
    m_program->action("mnuMaximize")->trigger();
    QVERIFY(window.isVisible() && window.isMaximized());
    m_program->action("mnuRestore")->trigger();
    QVERIFY(window.isVisible() && !window.isMaximized());
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300); // as a user would: the window manager has done restoring
    QVERIFY(!window.close());
    QVERIFY(!window.isVisible() && m_program->unloadCount() == 0);

    // Exit while hidden in the tray tells the site and saves no size.
    window.mnuExit_Click();
    QTRY_COMPARE(m_program->unloadCount(), 1);
    QCOMPARE(m_server->requests().last(), QByteArray("/exit"));
    QCOMPARE(m_program->savedLines().size(), 6);
}

void TestFrmMain::replayedTogglesDoNotSaveHalfReadState()
{
    const QByteArray saved = "[ontop]=True\r\n[taskbar]=True\r\n[startwin]=True\r\n"
                             "[height]=7500\r\n[width]=6000\r\n";
    start(saved);
    QFile file(m_program->iniPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), saved);
    for (const char *name :
         { "mnutop", "mnuTrayTop", "mnuShow", "mnutraytask", "mnuStart", "mnuTrayStart" })
        QVERIFY2(m_program->action(name)->isChecked(), name);

    // The next change writes the whole state, start at login and size included.
    m_program->action("mnutop")->trigger();
    const QStringList lines = m_program->savedLines();
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines.mid(3, 3), (QStringList { "[ontop]=False", "[taskbar]=True", "[startwin]=True" }));
}

void TestFrmMain::savedSizeComesBackAndIsKeptOnScreen_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("as saved") << 450 << 600;
    QTest::newRow("larger than the screen") << 9000 << 9000;
}

void TestFrmMain::savedSizeComesBackAndIsKeptOnScreen()
{
    QFETCH(int, width);
    QFETCH(int, height);
    const double twips = 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    frmMain &window = start("[height]=" + QByteArray::number(qRound(height * twips))
                            + "\r\n[width]=" + QByteArray::number(qRound(width * twips)) + "\r\n");
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect area = window.screen()->availableGeometry();
    const QSize expected(qMin(width, area.width()), qMin(height, area.height()));
    QTRY_COMPARE(window.frameGeometry().size(), expected);
    QTRY_VERIFY(area.contains(window.frameGeometry()));
    if (width > area.width())
        return;
    window.mnuExit_Click();
    QCOMPARE(m_program->savedLines().mid(6),
             (QStringList { QStringLiteral("[height]=%1").arg(qRound(height * twips)),
                            QStringLiteral("[width]=%1").arg(qRound(width * twips)) }));
}

void TestFrmMain::badStatusLinksNeitherBlockNorKeepTheProgram_data()
{
    QTest::addColumn<QString>("bad");
    QTest::addColumn<int>("exitTimeoutMs");
    QTest::newRow("refused") << TestHttpServer::refusedUrl() << 60000;
    QTest::newRow("no address") << "http://[::1" << 60000;
    QTest::newRow("never answers") << "/silent" << 800;
    QTest::newRow("none: Exit ends at once") << "" << 60000;
}

void TestFrmMain::badStatusLinksNeitherBlockNorKeepTheProgram()
{
    QFETCH(QString, bad);
    QFETCH(int, exitTimeoutMs);
    m_server->setSilent("/silent");
    if (bad.startsWith(u'/'))
        bad = m_server->url(bad.toLatin1());
    frmMain &window = start("[linkstart]=" + bad.toLatin1() + "\r\n[linkclose]=" + bad.toLatin1()
                            + "\r\n");
    window.setExitTimeout(exitTimeoutMs);
    m_program->action("mnuoffline")->trigger();
    QVERIFY(m_program->action("mnuoffline")->isChecked());

    // Exit ends on the failure itself, or at its deadline; choosing it again
    // meanwhile does not push the end back.
    QElapsedTimer clock;
    clock.start();
    window.mnuExit_Click();
    QTest::qWait(400);
    window.mnuExit_Click();
    QTRY_COMPARE_WITH_TIMEOUT(m_program->unloadCount(), 1, 5000);
    QVERIFY(clock.elapsed() < qMin(exitTimeoutMs, 5000) + 600);
}

void TestFrmMain::unsavableSettingsAreToldOnce()
{
    start("[ontop]=False\r\n");
    // A folder where the file was: no save can succeed, not even as root.
    QVERIFY(QFile::remove(m_program->iniPath()));
    QVERIFY(QDir().mkdir(m_program->iniPath()));
    MessageBoxWatcher boxes;
    QAction *top = m_program->action("mnutop");
    for (int i = 0; i < 3; ++i)
        top->trigger();
    QTRY_COMPARE(boxes.seen().size(), 1);
    QVERIFY2(boxes.seen().first().startsWith(
                     QStringLiteral("TalvorinTool: The settings cannot be saved to ")),
             qPrintable(boxes.seen().first()));
    QVERIFY(top->isChecked()); // the toggles themselves took effect
    QTest::qWait(200);
    QCOMPARE(boxes.seen().size(), 1);
}

TALVORIN_TEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
