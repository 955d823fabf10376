#include "presence/presencerules.h"
#include "settings/settingsformat.h"

#include <QtTest>

using E = PresenceEvent;
Q_DECLARE_METATYPE(PresenceEvent)
Q_DECLARE_METATYPE(PresenceStep)

class TestPresenceRules : public QObject {
    Q_OBJECT
private slots:
    void decisions_data();
    void decisions();
    void awayLineRead_data();
    void awayLineRead();
    void awayLineWritten_data();
    void awayLineWritten();
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

namespace {

// Records the one setting these lines are about.
class AwayTarget : public SettingsTarget {
public:
    std::optional<bool> away;
    void setLink(Link, const QString &) override { }
    void toggleAlwaysOnTop() override { }
    void toggleShowInTaskbar() override { }
    void setStartWithWindowsChecked(bool) override { }
    void setOuterHeight(double) override { }
    void setOuterWidth(double) override { }
    void setAwayWhenIdle(bool on) override { away = on; }
};

} // namespace

void TestPresenceRules::awayLineRead_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("away"); // -1: left as it was

    QTest::newRow("True") << "[away]=True" << 1;
    QTest::newRow("False") << "[away]=False" << 0;
    QTest::newRow("number") << "[away]=1" << 1;
    QTest::newRow("no Boolean") << "[away]=yes" << -1;
    QTest::newRow("tag in the middle") << "x[away]=true" << -1;
    QTest::newRow("case-sensitive tag") << "[Away]=True" << -1;
    QTest::newRow("an older tag decides") << "[ontop]=False[away]=True" << -1;
}

void TestPresenceRules::awayLineRead()
{
    QFETCH(QString, line);
    QFETCH(int, away);
    AwayTarget target;
    applySettingLine(line, target);
    QCOMPARE(target.away.has_value() ? int(*target.away) : -1, away);
}

void TestPresenceRules::awayLineWritten_data()
{
    QTest::addColumn<bool>("away");
    QTest::addColumn<bool>("hasSize");
    QTest::addColumn<QByteArray>("ending");

    QTest::newRow("off: the file as before") << false << true << QByteArray("[width]=6330\r\n");
    QTest::newRow("on: after the eight lines")
            << true << true << QByteArray("[width]=6330\r\n[away]=True\r\n");
    QTest::newRow("on: after the six lines")
            << true << false << QByteArray("[startwin]=False\r\n[away]=True\r\n");
}

void TestPresenceRules::awayLineWritten()
{
    QFETCH(bool, away);
    QFETCH(bool, hasSize);
    QFETCH(QByteArray, ending);
    SettingsState state;
    state.hasSize = hasSize;
    state.height = 8835;
    state.width = 6330;
    state.awayWhenIdle = away;
    const QByteArray bytes = formatSettings(state);
    QVERIFY2(bytes.endsWith(ending), bytes.constData());
    QCOMPARE(bytes.count("[away]="), int(away));
}

QTEST_APPLESS_MAIN(TestPresenceRules)
#include "tst_presencerules.moc"
