#include "presence/presencerules.h"

#include <QtTest>

using E = PresenceEvent;
Q_DECLARE_METATYPE(PresenceEvent)
Q_DECLARE_METATYPE(PresenceStep)

class TestPresenceRules : public QObject {
    Q_OBJECT
private slots:
    void decisions_data();
    void decisions();
};

namespace {

const PresenceStep kNothing {};
const PresenceStep kOnline { StatusLink::Start, true, true, false };
const PresenceStep kAway { StatusLink::Close, false, true, false };

} // namespace

void TestPresenceRules::decisions_data()
{
    QTest::addColumn<bool>("chosenOnline");
    QTest::addColumn<QList<PresenceEvent>>("before");
    QTest::addColumn<PresenceEvent>("event");
    QTest::addColumn<PresenceStep>("step");

    const QList<E> awayOn { E::AwayTurnedOn };
    QTest::newRow("start") << true << QList<E> {} << E::Start
                           << PresenceStep { StatusLink::Start, true, false, false };
    QTest::newRow("Online, even when chosen") << true << QList<E> {} << E::OnlineClicked << kOnline;
    QTest::newRow("Offline cancels a retry") << false << QList<E> {} << E::OfflineClicked << kAway;
    QTest::newRow("Exit cancels a retry") << true << QList<E> {} << E::Exit
                                          << PresenceStep { StatusLink::None, false, true, false };
    QTest::newRow("nothing after Exit") << true << QList<E> { E::Exit } << E::OnlineClicked
                                        << kNothing;
    QTest::newRow("network back") << true << QList<E> {} << E::NetworkBack
                                  << PresenceStep { StatusLink::None, false, false, true };

    QTest::newRow("sleep, online") << true << QList<E> {} << E::Sleep << kAway;
    QTest::newRow("sleep, offline") << false << QList<E> {} << E::Sleep << kNothing;
    QTest::newRow("resume, online") << true << QList<E> { E::Sleep } << E::Resume << kOnline;
    QTest::newRow("resume, offline") << false << QList<E> { E::Sleep } << E::Resume << kNothing;
    QTest::newRow("resume, still locked")
            << true << QList<E> { E::AwayTurnedOn, E::Lock, E::Sleep } << E::Resume << kNothing;

    QTest::newRow("lock, away off") << true << QList<E> {} << E::Lock << kNothing;
    QTest::newRow("lock") << true << awayOn << E::Lock << kAway;
    QTest::newRow("lock, offline") << false << awayOn << E::Lock << kNothing;
    QTest::newRow("unlock") << true << QList<E> { E::AwayTurnedOn, E::Lock } << E::Unlock
                            << kOnline;
    QTest::newRow("unlock, offline")
            << false << QList<E> { E::AwayTurnedOn, E::Lock } << E::Unlock << kNothing;
    QTest::newRow("idle") << true << awayOn << E::Idle << kAway;
    QTest::newRow("idle, away off") << true << QList<E> {} << E::Idle << kNothing;
    QTest::newRow("input") << true << QList<E> { E::AwayTurnedOn, E::Idle } << E::Input
                           << kOnline;
    QTest::newRow("input while locked")
            << true << QList<E> { E::AwayTurnedOn, E::Lock, E::Idle } << E::Input << kNothing;
    QTest::newRow("idle while locked")
            << true << QList<E> { E::AwayTurnedOn, E::Lock } << E::Idle << kNothing;
    QTest::newRow("away off while idle")
            << true << QList<E> { E::AwayTurnedOn, E::Idle } << E::AwayTurnedOff << kOnline;
    QTest::newRow("away on again starts present")
            << true << QList<E> { E::AwayTurnedOn, E::Idle, E::AwayTurnedOff } << E::AwayTurnedOn
            << kNothing;
    QTest::newRow("sleep while away")
            << true << QList<E> { E::AwayTurnedOn, E::Idle } << E::Sleep << kNothing;
}

void TestPresenceRules::decisions()
{
    QFETCH(bool, chosenOnline);
    QFETCH(QList<PresenceEvent>, before);
    QFETCH(PresenceEvent, event);
    QFETCH(PresenceStep, step);

    PresenceRules rules;
    rules.setChosenOnline(chosenOnline);
    for (PresenceEvent earlier : before)
        rules.apply(earlier);
    const PresenceStep got = rules.apply(event);
    QCOMPARE(int(got.send), int(step.send));
    QCOMPARE(got.untilAnswered, step.untilAnswered);
    QCOMPARE(got.cancelRetry, step.cancelRetry);
    QCOMPARE(got.retryNow, step.retryNow);
}

QTEST_APPLESS_MAIN(TestPresenceRules)
#include "tst_presencerules.moc"
