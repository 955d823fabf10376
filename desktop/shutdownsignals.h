#pragma once

#include <QObject>

class QSocketNotifier;

// The requests to end the program that come from outside its menus: on Linux
// a logout or `kill` sends SIGTERM, a terminal SIGINT or SIGHUP; on both
// systems the desktop session's end reaches the application object. They may
// come at any moment, even before the main window exists: caught from the
// first lines of main(), they wait until the window can run Exit and are then
// delivered, on the user-interface thread.
class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    // Catches the signals from now on; before the application object is made,
    // so that no moment of the start is left to the signals' default (death).
    static void catchEarly();
    // Descriptors 0 to 2 closed at start are opened on /dev/null, before
    // anything else is opened. First thing in main().
    static void keepStandardDescriptors();

    // Needs the application object; catchEarly() is run here if it was not.
    explicit ShutdownSignals(QObject *parent = nullptr);
    ~ShutdownSignals() override;

    // The receivers are connected and can run Exit: a request that came
    // earlier is delivered now, from the event loop.
    void open();

signals:
    void shutdownRequested();
    // The desktop session is ending: Exit without holding the logout up.
    void sessionEnding();

private:
    enum class Request { None, Shutdown, SessionEnd };
    void watchPlatform();
    void request(Request which);
    void deliver();

    QSocketNotifier *m_notifier = nullptr;
    bool m_open = false;
    Request m_pending = Request::None;
};
