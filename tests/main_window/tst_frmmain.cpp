#include "desktop/shutdownsignals.h"
#include "main_window/badgepage.h"
#include "main_window/frmmain.h"
#include "support/startedwindow.h"
#include "support/testhttpserver.h"
#include "support/testmain.h"

#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <csignal>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList fileLines(const QString &path)
{
    QStringList lines = QString::fromLatin1(fileBytes(path)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestFrmMain : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startsWithoutBadgeLink();
    void startsWithBadgeLink();
    void replayedTogglesDoNotSaveHalfReadState();
    void savedSizeComesBackAsSaved();
    void closeOnlyHides();
    void minimizedWindowIsHiddenAndRestored();
    void exitWithoutExitLink();
    void exitEndsWhenTheExitPageNeverAnswers();
    void onlineAndOffline();
    void sigtermRunsExit();
    void trayTwinsKeepCheckMarksEqual();

private:
    frmMain &start(const QByteArray &ini);

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<StartedWindow> m_program;
};

void TestFrmMain::init()
{
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->start());
    m_server->setPage("/start", "online");
    m_server->setPage("/exit", "offline");
    m_server->setPage("/badge", "<html><body><p>badge</p></body></html>");
}

void TestFrmMain::cleanup()
{
    m_program.reset();
    m_server.reset();
}

frmMain &TestFrmMain::start(const QByteArray &ini)
{
    m_program = std::make_unique<StartedWindow>();
    return m_program->start(ini);
}

void TestFrmMain::startsWithoutBadgeLink()
{
    frmMain &window = start("[linkstart]=" + m_server->url("/start").toLatin1() + "\r\n");
    QTRY_COMPARE(m_server->count("/start"), 1);
    QVERIFY(window.isVisible());
    QVERIFY(window.findChild<QFrame *>(QStringLiteral("Frame1"))->isVisible());
    QVERIFY(window.badgePage()->url().isEmpty());
    // Reload without a link only shows the panel again.
    window.mnureload_Click();
    QTest::qWait(200);
    QCOMPARE(m_server->requests(), QList<QByteArray> { "/start" });
}

void TestFrmMain::startsWithBadgeLink()
{
    frmMain &window = start("[badgelink]=" + m_server->url("/badge").toLatin1()
                            + "\r\n[linkstart]=" + m_server->url("/start").toLatin1() + "\r\n");
    QTRY_COMPARE(m_server->count("/badge"), 1);
    // The owner's site hears of the start before the badge page is asked for.
    QCOMPARE(m_server->requests().first(), QByteArray("/start"));
    QVERIFY(!window.findChild<QFrame *>(QStringLiteral("Frame1"))->isVisible());

    // webChat fills the area below the menu bar, 60 twips in from each side.
    const int inset = qRound(60.0 * window.logicalDpiX() / 1440);
    const QRect area = window.centralWidget()->rect();
    QCOMPARE(window.chatView()->geometry(), area.adjusted(inset, inset, -inset, -inset));
    window.resize(window.width() + 50, window.height() + 30);
    QTRY_COMPARE(window.chatView()->geometry(),
                 window.centralWidget()->rect().adjusted(inset, inset, -inset, -inset));

    window.mnureload_Click();
    QTRY_COMPARE(m_server->count("/badge"), 2);
}

void TestFrmMain::replayedTogglesDoNotSaveHalfReadState()
{
    const QByteArray saved = "[ontop]=True\r\n[taskbar]=True\r\n[startwin]=True\r\n"
                             "[height]=7500\r\n[width]=6000\r\n";
    frmMain &window = start(saved);
    QCOMPARE(fileBytes(m_program->iniPath()), saved);
    for (const char *name :
         { "mnutop", "mnuTrayTop", "mnuShow", "mnutraytask", "mnuStart", "mnuTrayStart" })
        QVERIFY2(window.findChild<QAction *>(QLatin1String(name))->isChecked(), name);

    // The next change writes the whole state, start at login and size included.
    window.findChild<QAction *>(QStringLiteral("mnutop"))->trigger();
    const QStringList lines = fileLines(m_program->iniPath());
    QCOMPARE(lines.mid(3, 3),
             (QStringList { QStringLiteral("[ontop]=False"), QStringLiteral("[taskbar]=True"),
                            QStringLiteral("[startwin]=True") }));
    QCOMPARE(lines.size(), 8);
}

void TestFrmMain::savedSizeComesBackAsSaved()
{
    const double twipsPerPixel = 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    const int height = qRound(600 * twipsPerPixel);
    const int width = qRound(450 * twipsPerPixel);
    frmMain &window = start("[height]=" + QByteArray::number(height)
                            + "\r\n[width]=" + QByteArray::number(width) + "\r\n");
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.frameGeometry().size(), QSize(450, 600));
    window.mnuExit_Click();
    QTRY_COMPARE(m_program->unloadCount(), 1);
    const QStringList lines = fileLines(m_program->iniPath());
    QCOMPARE(lines.mid(6),
             (QStringList { QStringLiteral("[height]=%1").arg(height),
                            QStringLiteral("[width]=%1").arg(width) }));
}

void TestFrmMain::closeOnlyHides()
{
    frmMain &window = start({});
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.close());
    QVERIFY(!window.isVisible());
    QVERIFY(!window.isExitRequested());
    QCOMPARE(m_program->unloadCount(), 0);

    // Exit while hidden in the notification area saves no size.
    window.mnuExit_Click();
    QTRY_COMPARE(m_program->unloadCount(), 1);
    QCOMPARE(fileLines(m_program->iniPath()).size(), 6);
}

void TestFrmMain::minimizedWindowIsHiddenAndRestored()
{
    frmMain &window = start({});
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.showMinimized();
    QTRY_VERIFY(!window.isVisible());
    QTest::qWait(300); // as a user would: the window manager has done iconifying

    window.trayMenu()->findChild<QAction *>(QStringLiteral("mnuRestore"))->trigger();
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    window.trayMenu()->findChild<QAction *>(QStringLiteral("mnuMinimize"))->trigger();
    QVERIFY(!window.isVisible());
    window.trayMenu()->findChild<QAction *>(QStringLiteral("mnuMaximize"))->trigger();
    QVERIFY(window.isVisible());
    QVERIFY(window.isMaximized());
}

void TestFrmMain::exitWithoutExitLink()
{
    frmMain &window = start("[badgelink]=" + m_server->url("/badge").toLatin1() + "\r\n");
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.mnuExit_Click();
    QCOMPARE(m_program->unloadCount(), 1);
    QVERIFY(window.isExitRequested());
    QVERIFY(!window.isVisible());
    QCOMPARE(fileLines(m_program->iniPath()).first(), "[badgelink]=" + m_server->url("/badge"));
    QCOMPARE(fileLines(m_program->iniPath()).size(), 8);
}

void TestFrmMain::exitEndsWhenTheExitPageNeverAnswers()
{
    m_server->setSilent("/hang");
    frmMain &window = start("[linkclose]=" + m_server->url("/hang").toLatin1() + "\r\n");
    window.setExitTimeout(800);
    QElapsedTimer clock;
    clock.start();
    window.mnuExit_Click();
    // Until then the program goes on as it was; choosing Exit again sends the
    // request again but does not push the end back.
    QTest::qWait(400);
    QCOMPARE(m_program->unloadCount(), 0);
    QVERIFY(window.isVisible());
    window.mnuExit_Click();
    QTRY_COMPARE_WITH_TIMEOUT(m_program->unloadCount(), 1, 5000);
    QVERIFY(clock.elapsed() < 1500);
    QCOMPARE(m_server->count("/hang"), 2);
}

void TestFrmMain::onlineAndOffline()
{
    frmMain &window = start("[linkstart]=" + m_server->url("/start").toLatin1()
                            + "\r\n[linkclose]=" + m_server->url("/exit").toLatin1() + "\r\n");
    QTRY_COMPARE(m_server->count("/start"), 1);
    auto *online = window.findChild<QAction *>(QStringLiteral("mnuonline"));
    auto *offline = window.findChild<QAction *>(QStringLiteral("mnuoffline"));
    QVERIFY(online->isChecked());
    QVERIFY(!offline->isChecked());

    // Neither item looks at its check mark: each click sends and flips.
    online->trigger();
    QVERIFY(!online->isChecked());
    QVERIFY(offline->isChecked());
    online->trigger();
    QVERIFY(online->isChecked());
    QVERIFY(!offline->isChecked());
    QTRY_COMPARE(m_server->count("/start"), 3);

    offline->trigger();
    QTRY_COMPARE(m_server->count("/exit"), 1);
    QVERIFY(offline->isChecked());
    QVERIFY(!online->isChecked());
    // Going offline tells the site, but only Exit ends the program.
    QTest::qWait(200);
    QCOMPARE(m_program->unloadCount(), 0);
}

void TestFrmMain::sigtermRunsExit()
{
    frmMain &window = start("[linkclose]=" + m_server->url("/exit").toLatin1() + "\r\n");
    ShutdownSignals shutdown;
    connect(&shutdown, &ShutdownSignals::shutdownRequested, &window, &frmMain::mnuExit_Click);
    QVERIFY(::raise(SIGTERM) == 0);
    QTRY_COMPARE(m_program->unloadCount(), 1);
    QCOMPARE(m_server->count("/exit"), 1);
}

void TestFrmMain::trayTwinsKeepCheckMarksEqual()
{
    frmMain &window = start({});
    const QList<QPair<const char *, const char *>> twins = { { "mnutop", "mnuTrayTop" },
                                                             { "mnuShow", "mnutraytask" },
                                                             { "mnuStart", "mnuTrayStart" } };
    for (const auto &[main, tray] : twins) {
        auto *mainItem = window.findChild<QAction *>(QLatin1String(main));
        auto *trayItem = window.findChild<QAction *>(QLatin1String(tray));
        for (QAction *clicked : { trayItem, mainItem, trayItem }) {
            const bool before = mainItem->isChecked();
            clicked->trigger();
            QCOMPARE(mainItem->isChecked(), !before);
            QCOMPARE(trayItem->isChecked(), mainItem->isChecked());
        }
    }
    // Every toggle saved the whole state at once.
    QCOMPARE(fileLines(m_program->iniPath()).mid(3, 3),
             (QStringList { QStringLiteral("[ontop]=True"), QStringLiteral("[taskbar]=True"),
                            QStringLiteral("[startwin]=True") }));
}

TALVORIN_TEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
