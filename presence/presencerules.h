#pragma once

// What the owner's site is told, and when. The owner chooses Online or
// Offline; the computer and the owner's absence may hide a chosen Online for
// a while: asleep, or (with "Away when idle") locked or idle. Each event
// gives one step: which status link to request and what becomes of a request
// still being retried. No timers, no network, no platform here.

enum class PresenceEvent {
    Start, // the program starts
    OnlineClicked,
    OfflineClicked,
    Exit,
    Sleep,
    Resume,
    Lock,
    Unlock,
    Idle,
    Input, // the first input after Idle
    NetworkBack,
    AwayTurnedOn,
    AwayTurnedOff,
};

enum class StatusLink { None, Start, Close };

struct PresenceStep {
    StatusLink send = StatusLink::None;
    // Sent again until the site answers: the start-up link, which the owner
    // would otherwise miss for as long as the site was out of reach.
    bool untilAnswered = false;
    // A request still being retried is dropped, so the site never receives an
    // older status after a newer one.
    bool cancelRetry = false;
    // A request waiting for its next attempt goes now.
    bool retryNow = false;
};

class PresenceRules {
public:
    // The "Online" check mark, as it stands after a click of Online or Offline.
    void setChosenOnline(bool online) { m_chosenOnline = online; }
    bool isChosenOnline() const { return m_chosenOnline; }

    PresenceStep apply(PresenceEvent event);

    // Chosen Online, but shown as away because the owner is locked out or idle.
    bool isShownAway() const;
    // The site may show the owner online (the last link sent was the
    // start-up link): should the program end now without Exit, the exit link
    // is owed. Offline, asleep, away or Exit owe nothing.
    bool owesExitLink() const { return !m_exiting && m_toldOnline; }

private:
    PresenceStep decide(PresenceEvent event);
    bool isShownOnline() const;

    bool m_chosenOnline = true;
    bool m_awayWhenIdle = false;
    bool m_asleep = false;
    bool m_locked = false;
    bool m_idle = false;
    bool m_exiting = false;
    // The last status link sent was the start-up link: the site may show the
    // owner online, whatever the check marks say (Online flips them even
    // when it was checked already).
    bool m_toldOnline = false;
};
