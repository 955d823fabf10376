#pragma once

#include <QObject>

class QSocketNotifier;

// The requests to end the program that come from outside the window system:
// on Linux a logout or `kill` sends SIGTERM, a terminal SIGINT or SIGHUP. They
// arrive here as one signal on the user-interface thread, where the program
// runs its ordinary Exit. (On Windows the session's end reaches the program
// through the window system itself, so there is nothing to catch.)
class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject *parent = nullptr);
    ~ShutdownSignals() override;

signals:
    void shutdownRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};
