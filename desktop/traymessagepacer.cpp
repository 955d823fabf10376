#include "desktop/traymessagepacer.h"

bool TrayMessagePacer::offer(const QString &text, qint64 now)
{
    if (!m_isHolding && (!m_hasShown || now - m_lastShown >= m_gapMs)) {
        m_hasShown = true;
        m_lastShown = now;
        return true;
    }
    m_isHolding = true;
    m_held = text;
    return false;
}

QString TrayMessagePacer::takeHeld(qint64 now)
{
    m_isHolding = false;
    m_hasShown = true;
    m_lastShown = now;
    return m_held;
}
