// Requests to end on Linux: SIGTERM, SIGINT and SIGHUP, through a self-pipe.
#include "desktop/shutdownsignals.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcShutdown, "talvorin.shutdown", QtWarningMsg)

namespace {

// A signal handler may do next to nothing; it writes the signal's number to a
// socket that the event loop watches (the self-pipe pattern). A signal that
// comes before the event loop runs waits there as a byte.
int g_pipe[2] = { -1, -1 };
const int kSignals[] = { SIGTERM, SIGINT, SIGHUP };

extern "C" void onSignal(int number)
{
    const char byte = char(number);
    // Nothing can be done about a full socket inside a handler; one pending
    // byte is enough to start the Exit.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
}

bool isIgnored(int number)
{
    struct sigaction now = {};
    return ::sigaction(number, nullptr, &now) == 0 && now.sa_handler == SIG_IGN;
}

} // namespace

void ShutdownSignals::keepStandardDescriptors()
{
    // A descriptor closed at start would be the next file or socket opened,
    // and the program's own output would go into it.
    for (int standard = 0; standard < 3; ++standard)
        if (::fcntl(standard, F_GETFD) == -1 && errno == EBADF)
            ::open("/dev/null", O_RDWR); // the lowest free descriptor: this one
}

void ShutdownSignals::catchEarly()
{
    if (g_pipe[0] != -1)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        // Too early for a logging category's rules: this goes to stderr.
        qWarning("talvorin.shutdown: signals not watched: no socket pair");
        return;
    }
    ::fcntl(g_pipe[0], F_SETFL, O_NONBLOCK);
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A signal ignored when the program started stays ignored: `nohup`, or a
    // service manager's setting, is the user's choice.
    for (int number : kSignals)
        if (!isIgnored(number))
            ::sigaction(number, &action, nullptr);
}

void ShutdownSignals::watchPlatform()
{
    if (g_pipe[1] == -1)
        return;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(g_pipe[1], &byte, 1) == 1)
            qCDebug(lcShutdown) << "signal" << int(byte);
        request(Request::Shutdown);
    });
}

ShutdownSignals::~ShutdownSignals()
{
    if (g_pipe[0] == -1)
        return;
    for (int number : kSignals)
        if (!isIgnored(number))
            ::signal(number, SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}
