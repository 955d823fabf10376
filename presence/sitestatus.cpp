#include "presence/sitestatus.h"

namespace {

QString clock(const QDateTime &time)
{
    return time.toString(QStringLiteral("HH:mm"));
}

} // namespace

void SiteStatus::requested(Request why, const QDateTime &now)
{
    m_awaitingOnline = why == Request::Online;
    if (m_awaitingOnline) {
        m_askedAt = now;
        enter(State::Asking, now);
    } else {
        enter(why == Request::Away ? State::Away : State::Offline, now);
    }
}

void SiteStatus::linkMissing(const QDateTime &now)
{
    m_awaitingOnline = false;
    enter(State::NotTold, now);
}

void SiteStatus::answered(int httpStatus, const QString &reason, const QDateTime &now)
{
    // The answer to a request the owner has since overruled says nothing of now.
    if (!m_awaitingOnline)
        return;
    m_unheardTold = false;
    m_detail = QString::number(httpStatus) + u' ' + reason;
    enter(httpStatus >= 400 ? State::SiteError : State::Online, now);
}

void SiteStatus::notAnswered(const QString &why, const QDateTime &now, const QDateTime &nextTry)
{
    if (!m_awaitingOnline)
        return;
    m_detail = why;
    m_nextTry = nextTry;
    enter(State::NotReached, now);
}

void SiteStatus::enter(State state, const QDateTime &now)
{
    // An outage, an error or a choice began when it first showed, not at
    // its latest attempt.
    if (state != m_state)
        m_since = now;
    m_state = state;
}

QString SiteStatus::words() const
{
    switch (m_state) {
    case State::Asking:
        return QStringLiteral("Waiting for your site to answer since %1").arg(clock(m_since));
    case State::Online:
        return QStringLiteral("Your site shows you online since %1").arg(clock(m_since));
    case State::Offline:
        return QStringLiteral("Offline since %1").arg(clock(m_since));
    case State::Away:
        return QStringLiteral("Away since %1, until you are back").arg(clock(m_since));
    case State::NotReached:
        return QStringLiteral("Your site was not reached since %1 (%2)")
                       .arg(clock(m_since), m_detail)
                + (m_nextTry.isValid() ? QStringLiteral(" \u2014 next try at ") + clock(m_nextTry)
                                       : QString());
    case State::SiteError:
        return QStringLiteral("Your site answered %1 at %2").arg(m_detail, clock(m_since));
    case State::NotTold:
        break;
    }
    return QStringLiteral("Your site is not told: its status link is empty");
}

QDateTime SiteStatus::unheardMessageAt() const
{
    const bool unheard = m_state == State::Asking || m_state == State::NotReached;
    if (!m_awaitingOnline || !unheard || m_unheardTold)
        return {};
    return m_askedAt.addMSecs(m_unheardAfterMs);
}

bool SiteStatus::takeUnheardMessage(const QDateTime &now)
{
    const QDateTime due = unheardMessageAt();
    if (!due.isValid() || now < due)
        return false;
    m_unheardTold = true;
    return true;
}
