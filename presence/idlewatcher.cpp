#include "presence/idlewatcher.h"

#include "presence/idleclock.h"

#include <algorithm>

IdleWatcher::IdleWatcher(int idleAfterMs, int lookWhileIdleMs, QObject *parent)
    : QObject(parent),
      m_clock(new IdleClock(this)),
      m_idleAfterMs(idleAfterMs),
      m_lookWhileIdleMs(lookWhileIdleMs)
{
    m_nextLook.setSingleShot(true);
    connect(&m_nextLook, &QTimer::timeout, this, &IdleWatcher::look);
}

void IdleWatcher::setWatching(bool on)
{
    m_isIdle = false;
    m_lastIdleMs = 0;
    if (on && m_clock->isAvailable())
        m_nextLook.start(0);
    else
        m_nextLook.stop();
}

void IdleWatcher::look()
{
    // Looked at again even when no answer comes.
    m_nextLook.start(m_isIdle ? m_lookWhileIdleMs : m_idleAfterMs);
    m_clock->ask([this](qint64 idleMs) {
        if (m_nextLook.isActive())
            seeIdleTime(idleMs);
    });
}

void IdleWatcher::seeIdleTime(qint64 idleMs)
{
    // The clock going back is input, however short the look's interval.
    if (m_isIdle && idleMs < m_lastIdleMs) {
        m_isIdle = false;
        emit input();
    } else if (!m_isIdle && idleMs >= m_idleAfterMs) {
        m_isIdle = true;
        emit idle();
    }
    m_lastIdleMs = idleMs;
    m_nextLook.start(m_isIdle ? m_lookWhileIdleMs
                              : std::max<qint64>(m_lookWhileIdleMs, m_idleAfterMs - idleMs));
}
