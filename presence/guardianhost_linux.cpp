// The guardian's side on Linux: its socket, its signals and the sender it starts.
#include "presence/guardianhost.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

extern char **environ;

// The program starts the guardian as "talvorin-guardian PROGRAM" with its
// line to it as descriptor 3 and /dev/null as the standard ones.

namespace {

const int kProgram = 3;
const int kEndSignals[] = { SIGTERM, SIGINT, SIGHUP };
const char kSendSwitch[] = "--talvorin-send-exit-link";

volatile sig_atomic_t g_signalled = 0;
const char *g_program = nullptr;
sigset_t g_unblocked;
std::int64_t g_wordWaitMs = 10000;

extern "C" void onEndSignal(int)
{
    g_signalled = 1;
}

} // namespace

bool GuardianHost::setUp(int argc, char **argv)
{
    if (argc != 2 || ::fcntl(kProgram, F_GETFD) == -1)
        return false;
    g_program = argv[1];
    ::fcntl(kProgram, F_SETFD, FD_CLOEXEC); // the sender has no business with it
    // Nothing but the line to the program, whatever the starter left open.
    if (::close_range(kProgram + 1, ~0U, 0) != 0) // a kernel older than 5.9
        for (int descriptor = kProgram + 1; descriptor < 4096; ++descriptor)
            ::close(descriptor);
    // Shorter for the tests only: they wait out what this wait decides.
    if (const char *wait = std::getenv("TALVORIN_GUARDIAN_WAIT_MS"))
        g_wordWaitMs = std::strtol(wait, nullptr, 10);
    // Blocked but while waiting, so a signal cannot slip in between a look
    // at the flag and the wait. A signal that was ignored when the program
    // started (nohup, a service manager's setting) came here ignored and
    // stays so.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    for (int number : kEndSignals)
        sigaddset(&endSignals, number);
    ::sigprocmask(SIG_BLOCK, &endSignals, &g_unblocked);
    struct sigaction action = {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    for (int number : kEndSignals) {
        struct sigaction was = {};
        ::sigaction(number, nullptr, &was);
        if (was.sa_handler != SIG_IGN) {
            ::sigaction(number, &action, nullptr);
            sigdelset(&g_unblocked, number);
        }
    }
    return true;
}

GuardianHost::Heard GuardianHost::wait(char *bytes, std::size_t size, std::size_t *count,
                                       std::int64_t timeoutMs)
{
    for (;;) {
        if (g_signalled) {
            g_signalled = 0;
            return Heard::EndSignalled;
        }
        const timespec left { time_t(timeoutMs / 1000), long(timeoutMs % 1000) * 1000000 };
        pollfd watched { kProgram, POLLIN, 0 };
        const int ready = ::ppoll(&watched, 1, timeoutMs < 0 ? nullptr : &left, &g_unblocked);
        if (ready == 0)
            return Heard::TimedOut;
        if (ready < 0)
            continue; // a signal: looked at above
        const ssize_t read = ::recv(kProgram, bytes, size, 0);
        if (read < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (read <= 0)
            return Heard::ProgramEnded;
        *count = std::size_t(read);
        return Heard::Words;
    }
}

std::int64_t GuardianHost::msecsNow()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::int64_t GuardianHost::wordWaitMs()
{
    return g_wordWaitMs;
}

void GuardianHost::tellProgram(const char *word)
{
    // A program that cannot hear it any more has ended: nothing to tell.
    [[maybe_unused]] const ssize_t sent =
            ::send(kProgram, word, std::strlen(word), MSG_NOSIGNAL | MSG_DONTWAIT);
}

int GuardianHost::sendExitLink(const char *link)
{
    // The link goes out even when a logout is what ended the program: the
    // sender inherits these ignored and ends by itself within 10 seconds.
    for (int number : kEndSignals)
        ::signal(number, SIG_IGN);
    int toSender[2];
    if (::pipe2(toSender, O_CLOEXEC) != 0)
        return 1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toSender[0], 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    char sendSwitch[sizeof kSendSwitch];
    std::memcpy(sendSwitch, kSendSwitch, sizeof kSendSwitch);
    char *arguments[] = { const_cast<char *>(g_program), sendSwitch, nullptr };
    pid_t sender = 0;
    const int failed = ::posix_spawn(&sender, g_program, &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(toSender[0]);
    if (failed != 0) { // no executable to send with (removed by an update, say)
        ::close(toSender[1]);
        return 127;
    }
    // A pipe holds far more than the longest link: this never waits.
    const std::size_t length = std::strlen(link);
    std::size_t written = 0;
    while (written < length) {
        const ssize_t now = ::write(toSender[1], link + written, length - written);
        if (now < 0 && errno == EINTR)
            continue;
        if (now <= 0)
            break; // the sender is gone already: it has nothing to send then
        written += std::size_t(now);
    }
    ::close(toSender[1]);
    return 0;
}
