#include "presence/presence.h"
#include "support/testhttpserver.h"

#include <QNetworkAccessManager>
#include <QProcess>
#include <QtTest>

// The site status with timings short enough to watch its retries and the
// owner's idleness. Sleep, wake and a locked screen reach it through the
// built program in tests/e2e/test_outside.py.
class TestPresence : public QObject {
    Q_OBJECT
    QNetworkAccessManager m_network;

    std::unique_ptr<Presence> makePresence(const QString &start, const QString &close,
                                           int idleAfterMs)
    {
        // Retries after 50, 100, 200, 200 ... ms.
        auto presence = std::make_unique<Presence>(
                &m_network,
                Presence::Links { [start] { return start; }, [close] { return close; } },
                PresenceTimings { 50, 200, 10000, idleAfterMs, 50, 300 }, nullptr);
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

    // Meanwhile the status says so, with one message once it has lasted.
    void startUpLinkRetriedUntilTheSiteIsUp()
    {
        QFETCH(bool, offlineMeanwhile);
        TestHttpServer site, other; // the exit link answers at once, from a second host
        QVERIFY(other.start());
        const QUrl down(TestHttpServer::refusedUrl());
        auto presence = makePresence(down.resolved(QUrl("/on")).toString(), other.url("/off"),
                                     24 * 3600 * 1000); // never idle
        QSignalSpy unheard(presence.get(), &Presence::siteUnheard);
        presence->start();
        QTest::qWait(400); // several refused attempts
        QTRY_COMPARE(unheard.count(), 1);
        if (offlineMeanwhile) {
            presence->offlineClicked(false);
            QTRY_COMPARE(other.requests(), QList<QByteArray> { "/off" });
        }
        site.setPage("/on", "ok");
        QVERIFY(site.start(quint16(down.port())));
        QTRY_COMPARE_WITH_TIMEOUT(site.count("/on"), offlineMeanwhile ? 0 : 1, 5000);
        QTest::qWait(600); // longer than the longest pause: no further attempt
        QCOMPARE(site.count("/on"), offlineMeanwhile ? 0 : 1);
        QCOMPARE(presence->siteStatus().state(),
                 offlineMeanwhile ? SiteStatus::State::Offline : SiteStatus::State::Online);
        QCOMPARE(unheard.count(), 1); // none again
    }

    void idleOwnerShownAwayAndBackOnInput()
    {
        TestHttpServer site;
        QVERIFY(site.start());
        auto presence = makePresence(site.url("/on"), site.url("/off"), 300);
        presence->setAwayWhenIdle(true);
        QTRY_COMPARE_WITH_TIMEOUT(site.requests(), QList<QByteArray> { "/off" }, 5000);
        // Two places: the pointer may stand on either already.
        QCOMPARE(QProcess::execute("xdotool", { "mousemove", "17", "23", "mousemove", "40", "50" }), 0);
        QTRY_COMPARE_WITH_TIMEOUT(site.requests(), (QList<QByteArray> { "/off", "/on" }), 2000);
    }
};

QTEST_MAIN(TestPresence)
#include "tst_presence.moc"
