#pragma once

#include <QElapsedTimer>
#include <QList>

#include <functional>
#include <memory>

// Lets an action through at most `count` times within any window of
// `windowMs`; what comes beyond that is refused, not postponed.
class RateLimit {
public:
    // Milliseconds from any fixed start; the program's is the monotonic clock.
    using Clock = std::function<qint64()>;

    explicit RateLimit(qint64 windowMs, int count = 1, Clock clock = monotonicClock())
        : m_windowMs(windowMs), m_count(count), m_clock(std::move(clock))
    {
    }

    bool take()
    {
        const qint64 now = m_clock();
        while (!m_taken.isEmpty() && now - m_taken.first() >= m_windowMs)
            m_taken.removeFirst();
        if (m_taken.size() >= m_count)
            return false;
        m_taken.append(now);
        return true;
    }

    static Clock monotonicClock()
    {
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        return [started] { return started->elapsed(); };
    }

private:
    qint64 m_windowMs;
    int m_count;
    Clock m_clock;
    QList<qint64> m_taken; // when the actions let through in the current window came
};
