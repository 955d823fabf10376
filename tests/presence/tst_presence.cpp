#include "presence/guardianprotocol.h"
#include "presence/plainhttpget.h"
#include "presence/presence.h"
#include "presence/presencerules.h"
#include "presence/presencetimings.h"
#include "presence/sitestatus.h"
#include "presence/statusrequester.h"
#include "support/datatable.h"
#include "support/onscreen.h"
#include "support/testhttpserver.h"

#include <QNetworkAccessManager>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using E = PresenceEvent;

namespace {

// A step in words: the link sent ("-" for none), then "retried" until the
// site answers, "cancels" a retry still waiting, "now" for a waiting retry.
QString words(const PresenceStep &step)
{
    QStringList said { QStringList { "-", "start", "close" }.at(int(step.send)) };
    for (const auto &[on, word] : { std::pair { step.untilAnswered, "retried" },
                                    { step.cancelRetry, "cancels" }, { step.retryNow, "now" } })
        if (on)
            said << word;
    return said.join(u' ');
}

// An event as the site status hears it: an answer ("200"), none ("refused",
// "timeout"), a request (wake, Offline, sleep, lock: SiteStatus::Request's
// order) or an empty link.
void hear(SiteStatus &site, const QString &event, const QDateTime &at)
{
    const int request = QStringList { "wake", "Offline", "sleep", "lock" }.indexOf(event);
    if (request >= 0)
        site.requested(SiteStatus::Request(request), at);
    else if (event == "emptied")
        site.linkMissing(at);
    else if (event.front().isDigit())
        site.answered(event.toInt(), "X", at);
    else
        site.notAnswered(event, at, at.addSecs(4));
}

} // namespace

// The site status: which status link the site gets for which event, what a
// request to it comes to; then the whole with timings short enough to watch
// its retries and the owner's idleness. Sleep, wake and a locked screen reach
// it through the built program in tests/e2e/test_outside.py.
class TestPresence : public QObject {
    Q_OBJECT
    QNetworkAccessManager m_network;
    std::unique_ptr<TestHttpServer> m_site; // a fresh one for each test

    // Started; retries after 50, 100, 200, 200 ... ms, no answer in 300 ms
    // counting as none, unless told otherwise; never idle unless told otherwise.
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
        presence->start();
        return presence;
    }

private slots:
    void init()
    {
        m_site = std::make_unique<TestHttpServer>();
        QVERIFY(m_site->start());
    }

    void decisions_data()
    {
        // After the step, "owed" when an end without Exit owes the site the
        // exit link (the guardian is armed), "-" when it owes nothing.
        const auto row = dataTable<QList<E>, E, QString, QString>("before", "event", "step", "owed");
        const E on = E::AwayTurnedOn, offline = E::OfflineClicked;
        const char *online = "start retried cancels", *away = "close cancels";
        row("start", {}, E::Start, "start retried", "owed");
        // A click on a checked Online flips the check marks to Offline, and
        // still tells the site the owner is online.
        row("Online while checked", { offline }, E::OnlineClicked, online, "owed");
        row("Offline", {}, offline, away, "-");
        row("Exit", {}, E::Exit, "- cancels", "-");
        row("nothing after Exit", { E::Exit }, E::OnlineClicked, "-", "-");
        row("network back", {}, E::NetworkBack, "- now", "owed");

        row("sleep", {}, E::Sleep, away, "-");
        row("sleep while away", { on, E::Idle }, E::Sleep, "-", "-");
        row("resume", { E::Sleep }, E::Resume, online, "owed");
        row("resume, offline", { offline, E::Sleep }, E::Resume, "-", "-");
        row("resume, still locked", { on, E::Lock, E::Sleep }, E::Resume, "-", "-");

        row("lock, away off", {}, E::Lock, "-", "owed");
        row("lock", { on }, E::Lock, away, "-");
        row("unlock", { on, E::Lock }, E::Unlock, online, "owed");
        row("unlock, offline", { offline, on, E::Lock }, E::Unlock, "-", "-");
        row("idle", { on }, E::Idle, away, "-");
        row("idle while locked", { on, E::Lock }, E::Idle, "-", "-");
        row("input", { on, E::Idle }, E::Input, online, "owed");
        row("input, offline", { offline, on, E::Idle }, E::Input, "-", "-");
        row("input while locked", { on, E::Lock, E::Idle }, E::Input, "-", "-");
        row("away off while idle", { on, E::Idle }, E::AwayTurnedOff, online, "owed");
        row("away on again: present", { on, E::Idle, E::AwayTurnedOff }, on, "-", "owed");
    }
    void decisions()
    {
        QFETCH(QList<PresenceEvent>, before);
        QFETCH(PresenceEvent, event);
        // Every run starts so; an Offline click among the events chose Offline.
        PresenceRules rules;
        rules.apply(PresenceEvent::Start);
        rules.setChosenOnline(!(before + QList { event }).contains(E::OfflineClicked));
        for (PresenceEvent earlier : before)
            rules.apply(earlier);
        QTEST(words(rules.apply(event)), "step");
        QTEST(QString::fromLatin1(rules.owesExitLink() ? "owed" : "-"), "owed");
    }

    // What the program tells its guardian, as the guardian reads it: in
    // pieces of any size, the latest word counting; Exit's request owes the
    // link until it is done.
    void guardianProtocol_data()
    {
        using State = GuardianProtocol::State;
        const auto said = [](const std::string &link, State state = State::Armed) {
            return QByteArray::fromStdString(
                    GuardianProtocol::message(link.empty() ? State::Disarmed : state, link));
        };
        const std::string longest(GuardianProtocol::kLongestLine - 6, 'x');
        const QByteArray off = said("http://s/off"), tooLong = said(longest + "x");
        // The link owed, empty when disarmed.
        const auto row = dataTable<QByteArrayList, QByteArray>("pieces", "owed");
        row("in pieces", { "arm", "ed http://s/o", "ff", "\n" }, "http://s/off");
        row("line not ended", { "armed http://s/off" }, "");
        row("disarmed", { off + said("") }, "");
        row("escapes", { said("a\\b\nc\\n") }, "a\\b\nc\\n");
        row("unknown line kept out", { off, "hello\n" }, "http://s/off");
        row("longest link", { said(longest) }, QByteArray::fromStdString(longest));
        row("too long: disarmed", { off, tooLong }, "");
        row("armed after one too long", { tooLong, off }, "http://s/off");
        row("Exit sending", { off, said(""), said("http://s/x", State::Sending) }, "http://s/x");
        row("Exit done", { off, said("http://s/x", State::Sending), said("x", State::Done) }, "");
    }
    void guardianProtocol()
    {
        QFETCH(QByteArrayList, pieces);
        GuardianProtocol said;
        for (const QByteArray &piece : pieces)
            said.take(piece.constData(), std::size_t(piece.size()));
        QTEST(QByteArray(said.owesExitLink() ? said.exitLink() : ""), "owed");
    }

    // What the owner is told the site shows, from each state (rows, each
    // reached by its events) after each event (columns). Only the owner's
    // coming online waits for an answer; any other answer changes nothing.
    void siteStatus_data()
    {
        const auto row = dataTable<QStringList, QString, QString>("before", "event", "after");
        const QStringList events =
                QString("200 302 404 500 refused timeout Offline sleep wake lock emptied").split(u' ');
        const char *grid[][2] = {
            { "wake", "online online error error unreached unreached" },
            { "wake 200", "online online error error unreached unreached" },
            { "Offline", "offline offline offline offline offline offline" },
            { "lock", "away away away away away away" },
            { "wake refused", "online online error error unreached unreached" },
            { "emptied", "nottold nottold nottold nottold nottold nottold" },
        };
        for (const auto &[before, answers] : grid) {
            const QStringList after = QString("%1 offline offline asking away nottold")
                                              .arg(answers).split(u' ');
            for (int i = 0; i < events.size(); ++i)
                row(qPrintable(QString("%1, %2").arg(before, events[i])), QString(before).split(u' '),
                    events[i], after[i]);
        }
    }
    void siteStatus()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, event);
        SiteStatus site(120000);
        for (const QString &earlier : before + QStringList { event })
            hear(site, earlier, QDateTime::currentDateTime());
        const QString states = "asking online offline away unreached error nottold";
        QTEST(states.split(u' ').at(int(site.state())), "after");
    }

    // An outage began at its first attempt, not its latest; one message per
    // outage, and none again until the site has answered.
    void siteStatusSinceAndUnheardMessage()
    {
        SiteStatus site(120000);
        const QDateTime nine(QDate(2026, 1, 5), QTime(9, 12));
        for (int second : { 0, 1, 100 })
            hear(site, second ? "refused" : "wake", nine.addSecs(second));
        QCOMPARE(site.words(),
                 "Your site was not reached since 09:12 (refused) \u2014 next try at 09:13");
        QVERIFY(!site.takeUnheardMessage(nine.addSecs(119)));
        QVERIFY(site.takeUnheardMessage(nine.addSecs(120)));
        hear(site, "wake", nine.addSecs(180)); // still out of reach: told already
        QVERIFY(!site.unheardMessageAt().isValid());
        hear(site, "500", nine.addSecs(240));
        hear(site, "wake", nine.addSecs(300)); // reached meanwhile: due again
        QCOMPARE(site.unheardMessageAt(), nine.addSecs(420));
    }

    // Any status from the site means it was reached; only a failure on the
    // way is worth another attempt. Links are taken as a browser's address
    // bar takes them.
    // The head of an answer as "status|reason|location"; "-" while incomplete.
    void httpHead_data()
    {
        const auto row = dataTable<QByteArray, QString>("received", "head");
        row("reason in words", "HTTP/1.0 500 Internal Server Error\r\n\r\nbody", "500|Internal Server Error|");
        row("location, any case", "HTTP/1.1 302 Found\r\nlOcation:  /on?a=b \r\n\r\n", "302|Found|/on?a=b");
        row("not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", "-1||");
        row("bare line feeds", "HTTP/1.0 200 OK\nX: y\n\nbody", "200|OK|");
    }
    void httpHead()
    {
        QFETCH(QByteArray, received);
        const std::optional<HttpHead> head = readHttpHead(received);
        QTEST(head ? QStringLiteral("%1|%2|%3").arg(head->status).arg(head->reason, head->location)
                   : QStringLiteral("-"),
              "head");
    }

    void requestOutcome_data()
    {
        using O = StatusRequester::Outcome;
        // The words as the status shows them; the paths the site saw.
        const auto row = dataTable<QString, O, QString, QList<QByteArray>>("link", "outcome", "words", "seen");
        row("answered", "/on", O::Answered, "X", { "/on" });
        row("redirect followed", "/moved", O::Answered, "X", { "/moved", "/on" });
        row("404", "/missing", O::Answered, "X", { "/missing" });
        row("500", "/broken", O::Answered, "X", { "/broken" });
        row("dropped", "/dropped", O::Unreachable, "connection closed", { "/dropped" });
        row("empty", "", O::Failed, "no address in the link", {});
        row("blanks only", "   ", O::Failed, "no address in the link", {});
        row("refused", "refused", O::Unreachable, "connection refused", {});
        row("no answer in time", "/silent", O::Unreachable, "no answer in 0 s", { "/silent" });
        row("no scheme", "noscheme", O::Answered, "X", { "/on" });
        row("file", "file", O::Answered, "", {});
        row("through the environment's proxy", "proxied", O::Answered, "X", { "http://talvorin.invalid/on" });
    }
    void requestOutcome()
    {
        QFETCH(QString, link);
        TestHttpServer site;
        QVERIFY(site.start());
        site.setPage("/on", "ok");
        site.setRedirect("/moved", "/on");
        site.setPage("/broken", "oops", 500);
        site.setSilent("/silent");
        site.setDropped("/dropped");
        QTemporaryDir dir;
        QFile page(dir.filePath("online.html"));
        if (link.startsWith(u'/'))
            link = site.url(link.toLatin1());
        else if (link == "refused")
            link = TestHttpServer::refusedUrl();
        else if (link == "noscheme")
            link = site.url("/on").mid(int(strlen("http://")));
        else if (link == "file" && page.open(QIODevice::WriteOnly) && page.write("on"))
            link = QUrl::fromLocalFile(page.fileName()).toString();
        const auto noProxyAfter = qScopeGuard([] { qunsetenv("http_proxy"); });
        if (link == "proxied" && qputenv("http_proxy", site.url({}).toLatin1()))
            link = "http://talvorin.invalid/on";

        QNetworkAccessManager network;
        StatusRequester requester(&network, "webStart", 500, nullptr);
        QSignalSpy completed(&requester, &StatusRequester::completed);
        QString words;
        requester.open(link, [&](const StatusRequester::Reply &reply) { words = reply.words; });
        QCOMPARE(completed.count(), 0); // never from inside open(): the caller is not ready
        QVERIFY(completed.wait(10000));
        QTest::qWait(100);
        QCOMPARE(completed.count(), 1);
        QTEST(completed.first().at(1).value<StatusRequester::Outcome>(), "outcome");
        QTEST(words, "words");
        QTEST(site.requests(), "seen");
    }

    // A site that answers HTTP/1.0 with no length and closes at once hears
    // every request once: one after another and several at a time, directly
    // and at the end of a redirect. It answers on a thread of its own, as
    // fast as a server of its own process does.
    void bareAnswerHeardOncePerRequest_data()
    {
        const auto row = dataTable<int>("hops");
        row("direct", 1);
        row("redirected", 2);
    }
    void bareAnswerHeardOncePerRequest()
    {
        QFETCH(int, hops);
        QTcpServer site;
        QVERIFY(site.listen(QHostAddress::LocalHost));
        std::atomic<int> seen = 0, bare = 0;
        std::atomic<bool> over = false;
        std::unique_ptr<QThread> answering(QThread::create([&] {
            while (!over) {
                const bool waiting = site.hasPendingConnections() || site.waitForNewConnection(50);
                std::unique_ptr<QTcpSocket> socket(waiting ? site.nextPendingConnection() : nullptr);
                if (!socket || !socket->waitForReadyRead(5000))
                    continue; // a request comes in one piece
                const bool moved = socket->readAll().startsWith("GET /moved ");
                ++seen;
                bare += !moved;
                socket->write(moved ? "HTTP/1.0 302 Found\r\nLocation: /bare\r\n\r\n"
                                    : "HTTP/1.0 200 OK\r\n\r\nbody");
                socket->disconnectFromHost();
                socket->waitForDisconnected(5000);
            }
        }));
        site.moveToThread(answering.get());
        answering->start();
        const auto stop = qScopeGuard([&] {
            over = true;
            answering->wait();
        });
        QNetworkAccessManager network;
        StatusRequester requester(&network, "webStart", 5000, nullptr);
        QSignalSpy completed(&requester, &StatusRequester::completed);
        const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(site.serverPort())
                + (hops == 1 ? "bare" : "moved");
        const int oneByOne = 20, atOnce = 4;
        for (int i = 1; i <= oneByOne + atOnce; ++i) {
            requester.open(url);
            if (i <= oneByOne)
                QTRY_COMPARE_WITH_TIMEOUT(completed.count(), i, 10000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), oneByOne + atOnce, 10000);
        QTest::qWait(200);
        QCOMPARE(int(bare), oneByOne + atOnce);
        QCOMPARE(int(seen), (oneByOne + atOnce) * hops);
    }

    void startUpLinkRetriedUntilTheSiteIsUp_data()
    {
        const auto row = dataTable<bool>("offlineMeanwhile");
        row("then sent once", false);
        row("Offline meanwhile cancels it", true);
    }

    // A site that takes the connection and drops it is out of reach: asked
    // again and again, less and less often up to the longest pause, until it
    // answers or Offline comes. Meanwhile the status says so, with one
    // message once it has lasted.
    void startUpLinkRetriedUntilTheSiteIsUp()
    {
        QFETCH(bool, offlineMeanwhile);
        m_site->setDropped("/on");
        m_site->setPage("/off", "off");
        QElapsedTimer clock;
        clock.start();
        auto presence = makePresence(m_site->url("/on"), m_site->url("/off"));
        QList<qint64> unheardAt; // ms after the start
        connect(presence.get(), &Presence::siteUnheard, [&] { unheardAt << clock.elapsed(); });
        // Attempts at 0, 50, 150, 350, 550 ... ms: eleven requests (one may be
        // the client's own second try) no sooner than 1.55 s. Every 50 ms they
        // would come by 0.5 s, doubling without a longest pause after 25 s.
        QTRY_VERIFY_WITH_TIMEOUT(m_site->count("/on") >= 11, 10000);
        QVERIFY2(clock.elapsed() >= 1400, QByteArray::number(clock.elapsed()));
        if (offlineMeanwhile) {
            presence->offlineClicked(false);
            QTRY_COMPARE(m_site->count("/off"), 1);
        }
        const int asked = m_site->count("/on") + !offlineMeanwhile;
        m_site->setPage("/on", "on");
        QTRY_COMPARE_WITH_TIMEOUT(m_site->count("/on"), asked, 5000);
        QTest::qWait(600); // longer than the longest pause: no further attempt
        QCOMPARE(m_site->count("/on"), asked);
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
        m_site->setSilent("/on");
        auto presence = makePresence(m_site->url("/on"), {}, 60 * 1000);
        // Out of reach once its 300 ms have passed without an answer.
        QTRY_COMPARE(presence->siteStatus().state(), SiteStatus::State::NotReached);
        QCOMPARE(m_site->count("/on"), 1); // the next attempt waits a minute
        presence->networkBack();
        QTRY_COMPARE_WITH_TIMEOUT(m_site->count("/on"), 2, 5000);
    }

    // A program started before the name service knows the site's host:
    // that is a failure on the way like any other, and the start-up link
    // goes out once the name is found. The host file is the test's own
    // (TALVORIN_TEST_HOSTS, bound over /etc/hosts in a mount namespace of
    // the test's, see tests/CMakeLists.txt).
    void startUpLinkSentOnceTheSitesNameIsFound()
    {
        QFile hosts(qEnvironmentVariable("TALVORIN_TEST_HOSTS"));
        if (hosts.fileName().isEmpty())
            QSKIP("needs a host file of the test's own (root and unshare)");
        m_site->setPage("/on", "on");
        QUrl link(m_site->url("/on"));
        link.setHost("talvorin-site.test");
        auto presence = makePresence(link.toString(), {}, 200);
        QTRY_COMPARE_WITH_TIMEOUT(presence->siteStatus().state(), SiteStatus::State::NotReached, 10000);
        QVERIFY(hosts.open(QIODevice::Append) && hosts.write("127.0.0.1 talvorin-site.test\n") > 0);
        hosts.close();
        QTRY_COMPARE_WITH_TIMEOUT(m_site->count("/on"), 1, 10000);
        QTRY_COMPARE(presence->siteStatus().state(), SiteStatus::State::Online);
    }

    // With the program's own timings, a site slow to answer, but well within
    // the time it is given, is heard once, not counted as out of reach.
    void slowSiteHeardWithTheProgramsTimings()
    {
        TestHttpServer::Delivery slow;
        slow.delayMs = 4000;
        m_site->setPage("/on", "on", 200, slow);
        auto presence = makePresence(m_site->url("/on"), {}, 0, 0, PresenceTimings());
        // Cut short, every attempt would end before the answer: never online.
        QTRY_COMPARE_WITH_TIMEOUT(presence->siteStatus().state(), SiteStatus::State::Online, 25000);
    }

    // The owner's idleness as the X server counts it: away once idle, back at
    // the first input. (Offline chosen, neither sends: see decisions.)
    void idleOwnerShownAwayAndBackOnInput()
    {
        auto presence = makePresence(m_site->url("/on"), m_site->url("/off"), 50, 300);
        presence->setAwayWhenIdle(true);
        using Seen = QList<QByteArray>;
        QTRY_COMPARE_WITH_TIMEOUT(m_site->requests(), (Seen { "/on", "/off" }), 5000);
        // Two places: the pointer may stand on either already.
        QVERIFY(xdotool("mousemove 17 23 mousemove 40 50"));
        QTRY_COMPARE_WITH_TIMEOUT(m_site->requests(), (Seen { "/on", "/off", "/on" }), 2000);
    }
};

QTEST_MAIN(TestPresence)
#include "tst_presence.moc"
