#pragma once

#include <QObject>
#include <QTimer>

// Tells before the computer goes to sleep and after it wakes. Before sleep
// the program may hold the sleep back until allowSleep(), at most for the
// longest hold, so that a status request leaves first: on Linux through a
// delay inhibitor of logind (system bus), on Windows by answering the
// suspend notice late. Without logind or a system bus, nothing is told.
class SleepWatcher : public QObject {
    Q_OBJECT
public:
    SleepWatcher(int longestHoldMs, QObject *parent);
    ~SleepWatcher() override;

public slots:
    // What had to leave before the sleep has left; also fine when nothing waits.
    void allowSleep();

signals:
    void aboutToSleep();
    void resumed();

private slots:
    // From the platform: true just before the sleep, false after the wake.
    void prepareForSleep(bool goingToSleep);

private:
    // Platform: be ready to hold the next sleep back; let the held one go.
    void holdNextSleep();
    void releaseSleep();
    // A sleep is held at most this long, whatever the request does.
    void limitHold(int longestHoldMs);

    QTimer m_longestHold;
    // The logind inhibitor's file descriptor, or the Windows window that
    // hears the power notices.
    qintptr m_handle = -1;
};
