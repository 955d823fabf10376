#include "presence/sleepwatcher.h"

#include "presence/statusrequester.h" // lcStatus

// The parts both platforms share; the constructor, the destructor and the
// hold itself are in sleepwatcher_linux.cpp and sleepwatcher_win.cpp.

void SleepWatcher::limitHold(int longestHoldMs)
{
    m_longestHold.setSingleShot(true);
    m_longestHold.setInterval(longestHoldMs);
    connect(&m_longestHold, &QTimer::timeout, this, [this] {
        qCDebug(lcStatus) << "sleep held as long as it may; letting it go";
        releaseSleep();
    });
}

void SleepWatcher::prepareForSleep(bool goingToSleep)
{
    if (!goingToSleep) {
        m_longestHold.stop();
        holdNextSleep();
        emit resumed();
        return;
    }
    // Started first: whoever hears of the sleep may allow it at once.
    m_longestHold.start();
    emit aboutToSleep();
}

void SleepWatcher::allowSleep()
{
    if (!m_longestHold.isActive())
        return;
    m_longestHold.stop();
    releaseSleep();
}
