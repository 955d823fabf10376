#include "presence/presence.h"

#include "presence/guardian.h"
#include "presence/idlewatcher.h"
#include "presence/lockwatcher.h"
#include "presence/networkwatcher.h"
#include "presence/sleepwatcher.h"
#include "presence/statussender.h"

Presence::Presence(QNetworkAccessManager *network, Links links, const PresenceTimings &timings,
                   QObject *parent)
    : QObject(parent),
      m_links(std::move(links)),
      m_timings(timings),
      m_site(timings.unheardMessageAfterMs),
      m_networkAccess(network),
      m_sender(new StatusSender(network, timings, this))
{
    connect(m_sender, &StatusSender::attemptEnded, this, &Presence::attemptEnded);
    m_unheard.setSingleShot(true);
    m_unheard.setTimerType(Qt::PreciseTimer);
    connect(&m_unheard, &QTimer::timeout, this, [this] {
        if (m_site.takeUnheardMessage(QDateTime::currentDateTime()))
            emit siteUnheard();
        scheduleUnheardMessage();
    });
    // The watchers come with the event loop: the start-up request, sent right
    // after this, does not wait for the buses and the network monitor.
    QMetaObject::invokeMethod(this, &Presence::watch, Qt::QueuedConnection);
}

void Presence::watch()
{
    m_sleep = new SleepWatcher(m_timings.longestSleepHoldMs, this);
    m_lock = new LockWatcher(this);
    m_idle = new IdleWatcher(m_timings.idleAfterMs, m_timings.lookWhileIdleMs, this);
    m_network = new NetworkWatcher(this);
    m_idle->setWatching(m_awayWhenIdle);
    auto on = [this](PresenceEvent event) { return [this, event] { handle(event); }; };
    connect(m_network, &NetworkWatcher::reachable, this, &Presence::networkBack);
    connect(m_sleep, &SleepWatcher::resumed, this, on(PresenceEvent::Resume));
    connect(m_lock, &LockWatcher::locked, this, on(PresenceEvent::Lock));
    connect(m_lock, &LockWatcher::unlocked, this, on(PresenceEvent::Unlock));
    connect(m_idle, &IdleWatcher::idle, this, on(PresenceEvent::Idle));
    connect(m_idle, &IdleWatcher::input, this, on(PresenceEvent::Input));
    // The sleep waits for the exit link's request, or for nothing when
    // there is none to send.
    connect(m_sleep, &SleepWatcher::aboutToSleep, this, [this] {
        if (!handle(PresenceEvent::Sleep, [this] { m_sleep->allowSleep(); }))
            m_sleep->allowSleep();
    });
}

void Presence::start()
{
    handle(PresenceEvent::Start);
}

void Presence::onlineClicked(bool onlineChecked)
{
    m_rules.setChosenOnline(onlineChecked);
    handle(PresenceEvent::OnlineClicked);
}

void Presence::offlineClicked(bool onlineChecked)
{
    m_rules.setChosenOnline(onlineChecked);
    handle(PresenceEvent::OfflineClicked);
}

void Presence::exiting()
{
    // Exit's own request tells the guardian from here on (ExitRequest).
    if (m_guardian)
        m_guardian->exitBegins();
    handle(PresenceEvent::Exit);
}

void Presence::networkBack()
{
    handle(PresenceEvent::NetworkBack);
}

void Presence::setAwayWhenIdle(bool on)
{
    m_awayWhenIdle = on;
    if (m_idle)
        m_idle->setWatching(on);
    handle(on ? PresenceEvent::AwayTurnedOn : PresenceEvent::AwayTurnedOff);
}

bool Presence::handle(PresenceEvent event, std::function<void()> whenSent)
{
    const PresenceStep step = m_rules.apply(event);
    if (step.cancelRetry)
        m_sender->cancelRetry();
    if (step.retryNow)
        m_sender->retryNow();
    QString link;
    if (step.send == StatusLink::Start)
        link = m_links.start();
    else if (step.send == StatusLink::Close)
        link = m_links.close();
    // An empty link is one the owner did not configure: nothing to send.
    const bool sending = !link.isEmpty();
    if (sending)
        m_sender->send(link, step.untilAnswered, std::move(whenSent));
    if (step.send != StatusLink::None)
        noteRequest(event, step.send, sending);
    tellGuardian();
    return sending;
}

void Presence::setGuardian(Guardian *guardian)
{
    m_guardian = guardian;
    tellGuardian();
}

void Presence::tellGuardian()
{
    if (m_guardian)
        m_guardian->setOwedExitLink(m_rules.owesExitLink() ? m_links.close() : QString());
}

// The start-up link says online; the exit link says offline when chosen or
// asleep, and away otherwise (locked or idle).
void Presence::noteRequest(PresenceEvent event, StatusLink link, bool sent)
{
    using Request = SiteStatus::Request;
    const QDateTime now = QDateTime::currentDateTime();
    if (!sent)
        m_site.linkMissing(now);
    else if (link == StatusLink::Start)
        m_site.requested(Request::Online, now);
    else if (event == PresenceEvent::Sleep)
        m_site.requested(Request::Asleep, now);
    else
        m_site.requested(event == PresenceEvent::OfflineClicked ? Request::Offline : Request::Away,
                         now);
    siteChanged();
}

void Presence::attemptEnded(const StatusRequester::Reply &reply, int nextTryInMs)
{
    const QDateTime now = QDateTime::currentDateTime();
    if (reply.outcome == StatusRequester::Outcome::Answered)
        m_site.answered(reply.httpStatus, reply.words, now);
    else
        m_site.notAnswered(reply.words, now,
                           nextTryInMs < 0 ? QDateTime() : now.addMSecs(nextTryInMs));
    siteChanged();
}

void Presence::siteChanged()
{
    scheduleUnheardMessage();
    emit siteStatusChanged(m_site);
}

void Presence::scheduleUnheardMessage()
{
    const QDateTime due = m_site.unheardMessageAt();
    if (!due.isValid()) {
        m_unheard.stop();
        return;
    }
    // Never further off than the wait it was given, so it fits an int.
    m_unheard.start(int(qMax<qint64>(0, QDateTime::currentDateTime().msecsTo(due))));
}
