#include "presence/idleclock.h"

#include <windows.h>

IdleClock::IdleClock(QObject *parent) : QObject(parent), m_source(Source::Windows)
{
}

void IdleClock::ask(std::function<void(qint64)> answer)
{
    LASTINPUTINFO last = {};
    last.cbSize = sizeof last;
    if (!GetLastInputInfo(&last))
        return; // asked again at the next look
    // Both in the same 32-bit tick count; the difference survives its wrap.
    answer(qint64(DWORD(GetTickCount() - last.dwTime)));
}
