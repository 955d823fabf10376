#include "presence/statussender.h"

#include <algorithm>

StatusSender::StatusSender(QNetworkAccessManager *network, const PresenceTimings &timings,
                           QObject *parent)
    : QObject(parent),
      m_requester(new StatusRequester(network, QStringLiteral("webStart"), timings.answerTimeoutMs,
                                      this)),
      m_firstRetryMs(timings.firstRetryMs),
      m_longestRetryMs(timings.longestRetryMs),
      m_nextPauseMs(timings.firstRetryMs)
{
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, [this] { attempt({}); });
}

void StatusSender::send(const QString &link, bool untilAnswered, std::function<void()> whenDone)
{
    cancelRetry();
    m_link = link;
    m_untilAnswered = untilAnswered;
    m_nextPauseMs = m_firstRetryMs;
    attempt(std::move(whenDone));
}

void StatusSender::cancelRetry()
{
    ++m_generation;
    if (m_pause.isActive())
        qCDebug(lcStatus).noquote() << "no more attempts for" << m_link;
    m_pause.stop();
}

void StatusSender::retryNow()
{
    if (!m_pause.isActive())
        return;
    m_pause.stop();
    m_nextPauseMs = m_firstRetryMs;
    attempt({});
}

void StatusSender::attempt(std::function<void()> whenDone)
{
    const quint64 generation = m_generation;
    m_requester->open(m_link, [this, generation, whenDone](const StatusRequester::Reply &reply) {
        if (whenDone)
            whenDone();
        if (generation != m_generation)
            return;
        if (!m_untilAnswered || reply.outcome != StatusRequester::Outcome::Unreachable) {
            emit attemptEnded(reply, -1);
            return;
        }
        qCDebug(lcStatus).noquote() << "site out of reach; next attempt in" << m_nextPauseMs
                                    << "ms:" << m_link;
        m_pause.start(m_nextPauseMs);
        m_nextPauseMs = std::min(m_nextPauseMs * 2, m_longestRetryMs);
        emit attemptEnded(reply, m_pause.interval());
    });
}
