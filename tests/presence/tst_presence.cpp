#include "presence/presence.h"
#include "support/testhttpserver.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSocketNotifier>
#include <QtTest>

#include <unistd.h>

// Everything the owner's site sees, with logind and the screen saver faked on
// buses of the test's own.

namespace {

// Longer than any virtual desktop of a test run has been without input.
constexpr int kNeverIdleMs = 24 * 3600 * 1000;

// A dbus-daemon of the test's own, ended with the test; its address.
QString startPrivateBus(QProcess &daemon)
{
    daemon.start(QStringLiteral("dbus-daemon"),
                 { QStringLiteral("--config-file=" TALVORIN_PRIVATE_BUS_CONFIG),
                   QStringLiteral("--print-address"), QStringLiteral("--nofork") });
    while (!daemon.canReadLine() && daemon.waitForReadyRead(5000)) { }
    return QString::fromLatin1(daemon.readLine().trimmed());
}

// logind's sleep signal and delay inhibitors. An inhibitor is a pipe: the
// program gets the write end, and the read end sees its end of file when the
// program lets the sleep go.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    int taken = 0;
    std::function<void()> onReleased;

public slots:
    Q_SCRIPTABLE QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &,
                                                 const QString &, const QString &mode)
    {
        if (what != QLatin1String("sleep") || mode != QLatin1String("delay"))
            return {};
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        ++taken;
        QDBusUnixFileDescriptor writeEnd(ends[1]); // a copy of its own
        ::close(ends[1]);
        auto *readEnd = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        connect(readEnd, &QSocketNotifier::activated, this, [this, readEnd] {
            readEnd->setEnabled(false); // nothing is written: this is the end of file
            if (onReleased)
                onReleased();
        });
        return writeEnd;
    }

signals:
    Q_SCRIPTABLE void PrepareForSleep(bool start);
};

class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
signals:
    Q_SCRIPTABLE void ActiveChanged(bool active);
};

} // namespace

class TestPresence : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_site = std::make_unique<TestHttpServer>(); }
    void cleanupTestCase()
    {
        for (QProcess *bus : { &m_systemBus, &m_sessionBus }) {
            bus->kill();
            bus->waitForFinished();
        }
    }
    void startUpLinkArrivesOnceTheSiteIsUp();
    void offlineMeanwhileStopsTheStartUpLink();
    void exitLinkLeavesBeforeTheSleep();
    void lockedScreenShowsAway();
    void idleOwnerShowsAway();

private:
    std::unique_ptr<Presence> makePresence(const QString &start, const QString &close,
                                           int idleAfterMs = kNeverIdleMs);

    QProcess m_systemBus;
    QProcess m_sessionBus;
    FakeLogind m_logind;
    FakeScreenSaver m_screenSaver;
    QNetworkAccessManager m_network;
    std::unique_ptr<TestHttpServer> m_site;
};

void TestPresence::initTestCase()
{
    // Before the program's code opens the buses for the first time.
    const QString system = startPrivateBus(m_systemBus);
    const QString session = startPrivateBus(m_sessionBus);
    QVERIFY(!system.isEmpty() && !session.isEmpty());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", system.toLatin1());
    qputenv("DBUS_SESSION_BUS_ADDRESS", session.toLatin1());

    QDBusConnection logind = QDBusConnection::connectToBus(system, QStringLiteral("fake-logind"));
    QVERIFY(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    QVERIFY(logind.registerObject(QStringLiteral("/org/freedesktop/login1"), &m_logind,
                                  QDBusConnection::ExportScriptableContents));
    QDBusConnection saver = QDBusConnection::connectToBus(session, QStringLiteral("fake-saver"));
    QVERIFY(saver.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &m_screenSaver,
                                 QDBusConnection::ExportScriptableContents));
}

std::unique_ptr<Presence> TestPresence::makePresence(const QString &start, const QString &close,
                                                   int idleAfterMs)
{
    // Retries after 50, 100, 200, 200 ... ms; sleep held for up to 10 s.
    const PresenceTimings timings { 50, 200, 10000, idleAfterMs, 50 };
    auto presence = std::make_unique<Presence>(
            &m_network, Presence::Links { [start] { return start; }, [close] { return close; } },
            timings, nullptr);
    QCoreApplication::processEvents(); // the watchers come with the event loop
    return presence;
}

void TestPresence::startUpLinkArrivesOnceTheSiteIsUp()
{
    const QUrl down(TestHttpServer::refusedUrl());
    auto presence = makePresence(down.resolved(QUrl("/on")).toString(), QString());
    presence->start();
    QTest::qWait(400); // several refused attempts
    QVERIFY(m_site->start(quint16(down.port())));
    QTRY_COMPARE_WITH_TIMEOUT(m_site->count("/on"), 1, 5000);
    QTest::qWait(600); // longer than the longest pause: no further attempt
    QCOMPARE(m_site->requests(), QList<QByteArray> { "/on" });
}

void TestPresence::offlineMeanwhileStopsTheStartUpLink()
{
    // The exit link answers at once, from a second host of the site.
    TestHttpServer other;
    QVERIFY(other.start());
    const QUrl down(TestHttpServer::refusedUrl());
    auto presence = makePresence(down.resolved(QUrl("/on")).toString(), other.url("/off"));
    presence->start();
    QTest::qWait(150);
    presence->offlineClicked(false);
    QTRY_COMPARE(other.count("/off"), 1);
    QVERIFY(m_site->start(quint16(down.port())));
    QTest::qWait(600);
    QCOMPARE(m_site->count("/on"), 0);
}

void TestPresence::exitLinkLeavesBeforeTheSleep()
{
    QVERIFY(m_site->start());
    const int takenBefore = m_logind.taken;
    auto presence = makePresence(m_site->url("/on"), m_site->url("/off"));
    QTRY_COMPARE(m_logind.taken, takenBefore + 1);
    presence->start();
    QTRY_COMPARE(m_site->count("/on"), 1);

    int offWhenReleased = -1;
    m_logind.onReleased = [&] { offWhenReleased = m_site->count("/off"); };
    emit m_logind.PrepareForSleep(true);
    QTRY_COMPARE(offWhenReleased, 1);

    emit m_logind.PrepareForSleep(false);
    QTRY_COMPARE(m_site->count("/on"), 2);
    QTRY_COMPARE(m_logind.taken, takenBefore + 2); // ready for the next sleep
    m_logind.onReleased = nullptr;
    QCOMPARE(m_site->requests(), (QList<QByteArray> { "/on", "/off", "/on" }));
}

void TestPresence::lockedScreenShowsAway()
{
    QVERIFY(m_site->start());
    auto presence = makePresence(m_site->url("/on"), m_site->url("/off"));
    presence->setAwayWhenIdle(true);
    emit m_screenSaver.ActiveChanged(true);
    QTRY_COMPARE(m_site->requests(), QList<QByteArray> { "/off" });
    QVERIFY(presence->isShownAway());
    emit m_screenSaver.ActiveChanged(false);
    QTRY_COMPARE(m_site->requests(), (QList<QByteArray> { "/off", "/on" }));
    QVERIFY(!presence->isShownAway());
}

void TestPresence::idleOwnerShowsAway()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("idleness is measured on X11 here");
    QVERIFY(m_site->start());
    auto presence = makePresence(m_site->url("/on"), m_site->url("/off"), 300);
    presence->setAwayWhenIdle(true);
    QTRY_COMPARE_WITH_TIMEOUT(m_site->count("/off"), 1, 5000);
    QVERIFY(presence->isShownAway());
    QCOMPARE(QProcess::execute("xdotool", { "mousemove", "--sync", "17", "23" }), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_site->count("/on"), 1, 2000);
    QVERIFY(!presence->isShownAway());
}

QTEST_MAIN(TestPresence)
#include "tst_presence.moc"
