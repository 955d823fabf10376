#pragma once

#include <QElapsedTimer>

// Lets an action through at most once per interval; what comes sooner is
// refused, not postponed.
class RateLimit {
public:
    explicit RateLimit(qint64 intervalMs) : m_intervalMs(intervalMs) { }

    bool take()
    {
        if (m_last.isValid() && m_last.elapsed() < m_intervalMs)
            return false;
        m_last.start();
        return true;
    }

private:
    qint64 m_intervalMs;
    QElapsedTimer m_last;
};
