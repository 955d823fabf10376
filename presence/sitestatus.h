#pragma once

#include <QDateTime>
#include <QString>

// What the owner's site shows, as far as the program can know it from what
// its status requests really got. Only the owner's coming online waits for
// the site's answer: Offline and away are what the owner (or the computer)
// chose, the moment the request goes. No timers, no network here: times come
// in with each event.
class SiteStatus {
public:
    enum class State {
        Asking, // an online request is on its way, no answer yet
        Online, // answered with a 2xx or 3xx status
        Offline, // Offline chosen, or the exit link sent for sleep
        Away, // the exit link sent while locked or idle
        NotReached, // no HTTP answer at all
        SiteError, // answered with a 4xx or 5xx status
        NotTold, // the link for the current choice is empty: nothing claimed
    };
    // Why a status link is requested.
    enum class Request { Online, Offline, Asleep, Away };

    // One message after an online request has gone unanswered this long.
    explicit SiteStatus(qint64 unheardMessageAfterMs) : m_unheardAfterMs(unheardMessageAfterMs) { }

    void requested(Request why, const QDateTime &now);
    // The current choice's link is empty: no request went.
    void linkMissing(const QDateTime &now);
    // An attempt of the current request came back with an HTTP status, or
    // with httpStatus 0 and none at all ("file:" links, which are answered).
    void answered(int httpStatus, const QString &reason, const QDateTime &now);
    // An attempt got no answer: why, and when the next one goes (invalid: none).
    void notAnswered(const QString &why, const QDateTime &now, const QDateTime &nextTry);

    State state() const { return m_state; }
    QDateTime since() const { return m_since; }
    // One line in the owner's words, e.g. "Your site shows you online since 09:12".
    QString words() const;

    // When the message that the site has not heard of the owner is due;
    // invalid when none will be.
    QDateTime unheardMessageAt() const;
    // True once per outage, when due: none again until the site answers.
    bool takeUnheardMessage(const QDateTime &now);

private:
    void enter(State state, const QDateTime &now);

    const qint64 m_unheardAfterMs;
    State m_state = State::NotTold;
    QDateTime m_since;
    QString m_detail; // "500 Internal Server Error", "connection refused"
    QDateTime m_nextTry;
    bool m_awaitingOnline = false; // the current request is an online one
    QDateTime m_askedAt; // when it went
    bool m_unheardTold = false;
};
