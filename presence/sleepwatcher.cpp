#include "presence/sleepwatcher.h"

// The parts both platforms share; the constructor, the destructor and the
// hold itself are in sleepwatcher_logind.cpp and sleepwatcher_win.cpp.

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
