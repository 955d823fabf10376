#include "presence/guardian.h"

#include "presence/guardianprotocol.h"
#include "presence/statusrequester.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <link.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

// Everything the guardian does between fork() and exec() runs in a copy of a
// program that had every library loaded but no thread yet. It uses the C
// library alone: it lets go of the other libraries' memory, so none of their
// code may run. This file and GuardianProtocol are compiled without lazy
// binding (see CMakeLists.txt), so no call of theirs needs the dynamic linker
// to look a name up in a library that is gone.

namespace {

const char kSendSwitch[] = "--talvorin-guardian-exit-link";
const int kWordWaitSeconds = 10;
const int kEndSignals[] = { SIGTERM, SIGINT, SIGHUP };

volatile sig_atomic_t g_signalled = 0;

extern "C" void onEndSignal(int)
{
    g_signalled = 1;
}

// Places of the loaded libraries the guardian never calls.
struct Place {
    std::uintptr_t start, length;
};
struct Places {
    Place at[1024];
    int count = 0;
};

bool isKept(const char *name)
{
    const char *base = std::strrchr(name, '/');
    base = base ? base + 1 : name;
    // The program itself (no name), the C library, the dynamic linker, the kernel's vDSO.
    return !*name || std::strncmp(base, "libc.so", 7) == 0 || std::strncmp(base, "ld-", 3) == 0
            || std::strncmp(base, "linux-vdso", 10) == 0 || std::strncmp(base, "linux-gate", 10) == 0;
}

extern "C" int notePlaces(dl_phdr_info *info, size_t, void *data)
{
    auto *places = static_cast<Places *>(data);
    if (isKept(info->dlpi_name))
        return 0;
    const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    for (int i = 0; i < info->dlpi_phnum && places->count < 1024; ++i) {
        const ElfW(Phdr) &segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD)
            continue;
        const std::uintptr_t start = (info->dlpi_addr + segment.p_vaddr) & ~(page - 1);
        const std::uintptr_t end = info->dlpi_addr + segment.p_vaddr + segment.p_memsz;
        places->at[places->count++] = { start, end - start };
    }
    return 0;
}

// The relocated data of the hundred libraries the program uses is the bulk
// of what the copy shares with the program; the guardian keeps its own few
// pages only.
void letGoOfLibraries()
{
    Places places;
    dl_iterate_phdr(notePlaces, &places);
    for (int i = 0; i < places.count; ++i)
        ::munmap(reinterpret_cast<void *>(places.at[i].start), places.at[i].length);
}

// No terminal, no output pipe of whoever started the program, no descriptor
// of the program's: the pipe alone, as descriptor 3.
int keepOnly(int pipe)
{
    const int null = ::open("/dev/null", O_RDWR);
    for (int standard = 0; standard < 3; ++standard)
        ::dup2(null, standard);
    ::dup2(pipe, 3); // close-on-exec, as the pipe was: the sender does not hold it
    ::fcntl(3, F_SETFD, FD_CLOEXEC);
    if (::close_range(4, ~0U, 0) != 0) // a kernel older than 5.9
        for (int descriptor = 4; descriptor < 4096; ++descriptor)
            ::close(descriptor);
    return 3;
}

// The program's executable by its name, so that the sender is called as the
// program is; read before the libraries go.
char g_executable[4096];

void noteExecutable()
{
    const ssize_t length = ::readlink("/proc/self/exe", g_executable, sizeof g_executable - 1);
    g_executable[length > 0 ? length : 0] = '\0';
}

[[noreturn]] void sendAndEnd(const GuardianProtocol &said, char *program)
{
    if (!said.isArmed())
        ::_exit(0);
    // The link goes out even when a logout is what ended the program; the
    // sender ends by itself within 10 seconds.
    for (int number : kEndSignals)
        ::signal(number, SIG_IGN);
    char sendSwitch[sizeof kSendSwitch];
    std::memcpy(sendSwitch, kSendSwitch, sizeof kSendSwitch);
    char *arguments[] = { program, sendSwitch, const_cast<char *>(said.exitLink()), nullptr };
    ::execv(g_executable, arguments);
    // Replaced or removed since it started (an update, say): the copy still running.
    ::execv("/proc/self/exe", arguments);
    ::_exit(127); // no executable to send with: nothing else can be done
}

std::int64_t msecsNow()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

[[noreturn]] void guard(int pipe, char *program)
{
    sigset_t endSignals, unblocked;
    sigemptyset(&endSignals);
    for (int number : kEndSignals)
        sigaddset(&endSignals, number);
    // Blocked but while waiting, so a signal cannot slip in between a look
    // at the flag and the wait.
    ::sigprocmask(SIG_BLOCK, &endSignals, &unblocked);
    sigdelset(&unblocked, SIGTERM);
    sigdelset(&unblocked, SIGINT);
    sigdelset(&unblocked, SIGHUP);
    struct sigaction action = {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    for (int number : kEndSignals)
        ::sigaction(number, &action, nullptr);
    pipe = keepOnly(pipe);
    noteExecutable();
    letGoOfLibraries();

    // On the stack: a static one would be guarded by the C++ library, which is gone.
    GuardianProtocol said;
    std::int64_t wordDue = -1;
    char bytes[4096];
    for (;;) {
        if (g_signalled && wordDue < 0) {
            // Owed nothing, it has nothing to wait for.
            if (!said.isArmed())
                ::_exit(0);
            wordDue = msecsNow() + kWordWaitSeconds * 1000;
        }
        const std::int64_t msecsLeft = wordDue < 0 ? 0 : wordDue - msecsNow();
        if (wordDue >= 0 && msecsLeft <= 0)
            sendAndEnd(said, program); // the program did not speak: taken to be hung
        timespec left { time_t(msecsLeft / 1000), long(msecsLeft % 1000) * 1000000 };
        pollfd watched { pipe, POLLIN, 0 };
        if (::ppoll(&watched, 1, wordDue < 0 ? nullptr : &left, &unblocked) <= 0)
            continue; // a signal, or the wait is over: both looked at above
        const ssize_t count = ::read(pipe, bytes, sizeof bytes);
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (count <= 0)
            sendAndEnd(said, program); // the program has ended
        said.take(bytes, std::size_t(count));
        if (wordDue >= 0 && !said.isArmed())
            ::_exit(0); // the program's Exit has the site told
    }
}

} // namespace

std::optional<int> Guardian::runIfAsked(int argc, char **argv)
{
    if (argc != 3 || std::strcmp(argv[1], kSendSwitch) != 0)
        return std::nullopt;
    return sendExitLink(argc, argv, QString::fromUtf8(argv[2]));
}

std::unique_ptr<Guardian> Guardian::start(char *argv0)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        qCDebug(lcStatus) << "no guardian: no socket pair";
        return nullptr;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        guard(ends[1], argv0);
    }
    ::close(ends[1]);
    if (child < 0) {
        qCDebug(lcStatus) << "no guardian: fork failed";
        ::close(ends[0]);
        return nullptr;
    }
    return std::unique_ptr<Guardian>(new Guardian(ends[0]));
}

Guardian::~Guardian()
{
    ::close(int(m_pipe));
}

bool Guardian::tell(const std::string &message)
{
    const char *next = message.data();
    std::size_t left = message.size();
    while (left > 0) {
        const ssize_t sent = ::send(int(m_pipe), next, left, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        next += sent;
        left -= std::size_t(sent);
    }
    return true;
}
