#pragma once

#include <QString>

// Tray messages at most one per gap: a chat that writes fast would otherwise
// pile message on message beside the icon. A message within the gap after the
// last one is held; when the gap ends only the latest held one is shown.
// Times are milliseconds on any steady clock.
class TrayMessagePacer {
public:
    explicit TrayMessagePacer(qint64 gapMs) : m_gapMs(gapMs) { }

    // True when the message may be shown now; otherwise it is held.
    bool offer(const QString &text, qint64 now);
    // A message that went out unpaced (a web notification) starts a gap too,
    // so that it stays readable.
    void shown(qint64 now)
    {
        m_hasShown = true;
        m_lastShown = now;
    }

    bool isHolding() const { return m_isHolding; }
    qint64 heldDueIn(qint64 now) const { return qMax<qint64>(0, m_lastShown + m_gapMs - now); }
    // The held message, which is shown now; the gap starts again.
    QString takeHeld(qint64 now);
    void dropHeld() { m_isHolding = false; }

private:
    qint64 m_gapMs;
    qint64 m_lastShown = 0;
    bool m_hasShown = false;
    bool m_isHolding = false;
    QString m_held;
};
