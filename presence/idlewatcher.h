#pragma once

#include <QObject>
#include <QTimer>

class IdleClock;

// Tells when the owner has given no input for idleAfterMs, and the first
// input after that. It looks at the idle clock rarely while the owner is
// there (when the threshold could first be reached) and every
// lookWhileIdleMs while idle, so that the owner's return is seen soon.
class IdleWatcher : public QObject {
    Q_OBJECT
public:
    IdleWatcher(int idleAfterMs, int lookWhileIdleMs, QObject *parent);

    // Off, it does not look at all; on again, it starts from an owner who is there.
    void setWatching(bool on);

signals:
    void idle();
    void input();

private:
    void look();
    void seeIdleTime(qint64 idleMs);

    IdleClock *m_clock;
    QTimer m_nextLook;
    const int m_idleAfterMs;
    const int m_lookWhileIdleMs;
    bool m_isIdle = false;
    qint64 m_lastIdleMs = 0;
};
