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

    auto row = [](const char *name, bool online, QList<E> before, E event, PresenceStep step) {
        QTest::newRow(name) << online << before << event << step;
    };
    const E on = E::AwayTurnedOn;
    row("start", true, {}, E::Start, { StatusLink::Start, true, false, false });
    row("Online, even when chosen", true, {}, E::OnlineClicked, kOnline);
    row("Offline", false, {}, E::OfflineClicked, kAway);
    row("Exit", true, {}, E::Exit, { StatusLink::None, false, true, false });
    row("nothing after Exit", true, { E::Exit }, E::OnlineClicked, kNothing);
    row("network back", true, {}, E::NetworkBack, { StatusLink::None, false, false, true });

    row("sleep", true, {}, E::Sleep, kAway);
    row("sleep, offline", false, {}, E::Sleep, kNothing);
    row("sleep while away", true, { on, E::Idle }, E::Sleep, kNothing);
    row("resume", true, { E::Sleep }, E::Resume, kOnline);
    row("resume, offline", false, { E::Sleep }, E::Resume, kNothing);
    row("resume, still locked", true, { on, E::Lock, E::Sleep }, E::Resume, kNothing);

    row("lock, away off", true, {}, E::Lock, kNothing);
    row("lock", true, { on }, E::Lock, kAway);
    row("lock, offline", false, { on }, E::Lock, kNothing);
    row("unlock", true, { on, E::Lock }, E::Unlock, kOnline);
    row("unlock, offline", false, { on, E::Lock }, E::Unlock, kNothing);
    row("idle", true, { on }, E::Idle, kAway);
    row("idle, away off", true, {}, E::Idle, kNothing);
    row("idle while locked", true, { on, E::Lock }, E::Idle, kNothing);
    row("input", true, { on, E::Idle }, E::Input, kOnline);
    row("input while locked", true, { on, E::Lock, E::Idle }, E::Input, kNothing);
    row("away off while idle", true, { on, E::Idle }, E::AwayTurnedOff, kOnline);
    row("away on again: present", true, { on, E::Idle, E::AwayTurnedOff }, on, kNothing);
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
