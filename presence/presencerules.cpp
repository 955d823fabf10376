#include "presence/presencerules.h"

namespace {

PresenceStep comingBack()
{
    return { StatusLink::Start, true, true, false };
}

PresenceStep goingAway()
{
    return { StatusLink::Close, false, true, false };
}

} // namespace

PresenceStep PresenceRules::apply(PresenceEvent event)
{
    const PresenceStep step = decide(event);
    if (step.send != StatusLink::None)
        m_toldOnline = step.send == StatusLink::Start;
    return step;
}

PresenceStep PresenceRules::decide(PresenceEvent event)
{
    // Once Exit has sent the exit link, nothing may contradict it.
    if (m_exiting)
        return {};

    const bool wasShownOnline = isShownOnline();
    switch (event) {
    case PresenceEvent::Start:
        return { StatusLink::Start, true, false, false };
    case PresenceEvent::OnlineClicked:
        // Whatever the check marks say, the Online item sends the start-up
        // link; a click is input, too.
        m_idle = false;
        return comingBack();
    case PresenceEvent::OfflineClicked:
        return goingAway();
    case PresenceEvent::Exit:
        m_exiting = true;
        return { StatusLink::None, false, true, false };
    case PresenceEvent::NetworkBack:
        return { StatusLink::None, false, false, true };
    case PresenceEvent::Sleep:
        m_asleep = true;
        break;
    case PresenceEvent::Resume:
        m_asleep = false;
        break;
    case PresenceEvent::Lock:
        m_locked = true;
        break;
    case PresenceEvent::Unlock:
        m_locked = false;
        break;
    case PresenceEvent::Idle:
        m_idle = true;
        break;
    case PresenceEvent::Input:
        m_idle = false;
        break;
    case PresenceEvent::AwayTurnedOn:
        m_awayWhenIdle = true;
        break;
    case PresenceEvent::AwayTurnedOff:
        // Idleness is not watched while the item is off; the next watch
        // starts from an owner who is there.
        m_awayWhenIdle = false;
        m_idle = false;
        break;
    }
    const bool shownOnline = isShownOnline();
    if (shownOnline == wasShownOnline)
        return {};
    return shownOnline ? comingBack() : goingAway();
}

bool PresenceRules::isShownAway() const
{
    return m_chosenOnline && !m_asleep && m_awayWhenIdle && (m_locked || m_idle);
}

bool PresenceRules::isShownOnline() const
{
    return m_chosenOnline && !m_asleep && !(m_awayWhenIdle && (m_locked || m_idle));
}
