#include "presence/presence.h"
#include "support/testhttpserver.h"

#include <QNetworkAccessManager>
#include <QProcess>
#include <QtTest>

#include <optional>

// The site status with timings short enough to watch its retries and the
// owner's idleness. Sleep, wake and a locked screen reach it through the
// built program in tests/e2e/test_outside.py.
class TestPresence : public QObject {
    Q_OBJECT
    QNetworkAccessManager m_network;

    // Retries after 50, 100, 200, 200 ... ms, no answer in 300 ms counting as
    // none, unless told otherwise; never idle unless told otherwise.
    std::unique_ptr<Presence> makePresence(const QString &start, const QString &close,
                                           int firstRetryMs = 50, int idleAfterMs = 86400000,
                                           std::optional<PresenceTimings> timings = {})
    {
        auto presence = std::make_unique<Presence>(
                &m_network,
                Presence::Links { [start] { return start; }, [close] { return close; } },
                timings.value_or(PresenceTimings { firstRetryMs, std::max(firstRetryMs, 200), 300,
                                                   10000, idleAfterMs, 50, 300 }),
                nullptr);
        QCoreApplication::processEvents(); // the watchers come with the event loop
        return presence;
    }

private slots:
    void startUpLinkRetriedUntilTheSiteIsUp_data()
    {
        QTest::addColumn<bool>("offlineMeanwhile");
        QTest::newRow("then sent once") << false;
        QTest::newRow("Offline meanwhile cancels it") << true;
    }

    // A site that takes the connection and drops it is out of reach: asked
    // again and again, less and less often up to the longest pause, until it
    // answers or Offline comes. Meanwhile the status says so, with one
    // message once it has lasted.
    void startUpLinkRetriedUntilTheSiteIsUp()
    {
        QFETCH(bool, offlineMeanwhile);
        TestHttpServer site, other; // the exit link answers at once, from a second host
        QVERIFY(site.start() && other.start());
        site.setDropped("/on");
        auto presence = makePresence(site.url("/on"), other.url("/off"));
        QElapsedTimer clock;
        QList<qint64> unheardAt; // ms after the start
        connect(presence.get(), &Presence::siteUnheard, [&] { unheardAt << clock.elapsed(); });
        clock.start();
        presence->start();
        QTest::qWait(1500);
        // At 0, 50, 150, 350, 550 ... 1350 ms: 9. Every 50 ms it would be 30,
        // doubling without a longest pause 5.
        int asked = site.count("/on");
        QVERIFY2(asked >= 7 && asked <= 11, QByteArray::number(asked));
        if (offlineMeanwhile) {
            presence->offlineClicked(false);
            QTRY_COMPARE(other.requests(), QList<QByteArray> { "/off" });
            asked = site.count("/on");
        }
        site.setPage("/on", "on");
        QTRY_COMPARE_WITH_TIMEOUT(site.count("/on"), asked + !offlineMeanwhile, 5000);
        QTest::qWait(600); // longer than the longest pause: no further attempt
        QCOMPARE(site.count("/on"), asked + !offlineMeanwhile);
        QCOMPARE(presence->siteStatus().state(),
                 offlineMeanwhile ? SiteStatus::State::Offline : SiteStatus::State::Online);
        // One message, after the wait it was given, and none again.
        QCOMPARE(unheardAt.size(), 1);
        QVERIFY2(unheardAt.first() >= 300, QByteArray::number(unheardAt.first()));
    }

    // The network's return sends the request waiting for its next attempt at
    // once. A site that never answers: the client itself never asks twice.
    void networkBackSendsTheWaitingRequest()
    {
        TestHttpServer site;
        QVERIFY(site.start());
        site.setSilent("/on");
        auto presence = makePresence(site.url("/on"), {}, 60 * 1000);
        presence->start();
        QTRY_COMPARE(presence->siteStatus().state(), SiteStatus::State::NotReached);
        QTest::qWait(300);
        QCOMPARE(site.count("/on"), 1); // the next attempt waits a minute
        presence->networkBack();
        QTRY_COMPARE_WITH_TIMEOUT(site.count("/on"), 2, 5000);
    }

    // With the program's own timings, a site slow to answer, but well within
    // the time it is given, is heard once, not counted as out of reach.
    void slowSiteHeardWithTheProgramsTimings()
    {
        TestHttpServer site;
        QVERIFY(site.start());
        TestHttpServer::Delivery slow;
        slow.delayMs = 4000;
        site.setPage("/on", "on", 200, slow);
        auto presence = makePresence(site.url("/on"), {}, 0, 0, PresenceTimings());
        presence->start();
        // Cut short, every attempt would end before the answer: never online.
        QTRY_COMPARE_WITH_TIMEOUT(presence->siteStatus().state(), SiteStatus::State::Online, 25000);
    }

    void idleOwnerShownAwayAndBackOnInput_data()
    {
        QTest::addColumn<bool>("offline");
        QTest::newRow("online: away, back") << false;
        QTest::newRow("Offline chosen: nothing") << true;
    }
    void idleOwnerShownAwayAndBackOnInput()
    {
        QFETCH(bool, offline);
        TestHttpServer site;
        QVERIFY(site.start());
        auto presence = makePresence(site.url("/on"), site.url("/off"), 50, 300);
        if (offline)
            presence->offlineClicked(false);
        presence->setAwayWhenIdle(true);
        QTRY_COMPARE_WITH_TIMEOUT(site.requests(), QList<QByteArray> { "/off" }, 5000);
        QTest::qWait(offline ? 1000 : 0); // idle by now
        // Two places: the pointer may stand on either already.
        QCOMPARE(QProcess::execute("xdotool", { "mousemove", "17", "23", "mousemove", "40", "50" }), 0);
        if (offline)
            presence->onlineClicked(true); // the next request comes right after: nothing between
        QTRY_COMPARE_WITH_TIMEOUT(site.requests().last(), "/on", 2000);
        QCOMPARE(site.requests().size(), 2);
    }
};

QTEST_MAIN(TestPresence)
#include "tst_presence.moc"
