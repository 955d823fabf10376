#pragma once

#include <QElapsedTimer>
#include <QList>

// Lets an action through at most `count` times within any window of
// `windowMs`; what comes beyond that is refused, not postponed.
class RateLimit {
public:
    explicit RateLimit(qint64 windowMs, int count = 1) : m_windowMs(windowMs), m_count(count)
    {
        m_clock.start();
    }

    bool take()
    {
        const qint64 now = m_clock.elapsed();
        while (!m_taken.isEmpty() && now - m_taken.first() >= m_windowMs)
            m_taken.removeFirst();
        if (m_taken.size() >= m_count)
            return false;
        m_taken.append(now);
        return true;
    }

private:
    qint64 m_windowMs;
    int m_count;
    QElapsedTimer m_clock;
    QList<qint64> m_taken; // when the actions let through in the current window came
};
