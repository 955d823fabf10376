// The guardian on Linux: talvorin-guardian started with posix_spawn, told over a socket.
#include "presence/guardian.h"

#include "presence/guardianprotocol.h"
#include "presence/statusrequester.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

// The line is a socket of packets: a word goes whole or not at all, so one
// that would wait is simply kept for later.

std::unique_ptr<Guardian> Guardian::start()
{
    const QString helper = executable();
    if (helper.isEmpty()) {
        qCDebug(lcStatus) << "no guardian: " TALVORIN_GUARDIAN_NAME " not found";
        return nullptr;
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        qCDebug(lcStatus) << "no guardian: no socket pair";
        return nullptr;
    }
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    // Its line as descriptor 3 and /dev/null as the standard ones: no
    // terminal or output pipe of the caller's, no descriptor of the program's.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&actions, 0, 1);
    posix_spawn_file_actions_adddup2(&actions, 0, 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 4);
    // The signals the program catches are the default again after exec; those
    // ignored since the program started stay ignored.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, reset;
    sigemptyset(&none);
    sigemptyset(&reset);
    sigaddset(&reset, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &reset);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const QByteArray path = helper.toLocal8Bit();
    const QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
    char *arguments[] = { const_cast<char *>(path.constData()),
                          const_cast<char *>(program.constData()), nullptr };
    pid_t process = 0;
    const int failed =
            ::posix_spawn(&process, path.constData(), &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);
    if (failed != 0) {
        qCDebug(lcStatus) << "no guardian: not started:" << std::strerror(failed);
        ::close(ends[0]);
        return nullptr;
    }
    return std::unique_ptr<Guardian>(new Guardian(ends[0], process));
}

Guardian::Guardian(qintptr line, qint64 process) : m_line(line), m_process(process)
{
    s_running = this;
    m_readable = std::make_unique<QSocketNotifier>(line, QSocketNotifier::Read);
    QObject::connect(m_readable.get(), &QSocketNotifier::activated, m_readable.get(),
                     [this] { listen(); });
    m_writable = std::make_unique<QSocketNotifier>(line, QSocketNotifier::Write);
    m_writable->setEnabled(false);
    QObject::connect(m_writable.get(), &QSocketNotifier::activated, m_writable.get(),
                     [this] { flush(); });
}

Guardian::~Guardian()
{
    s_running = nullptr;
    m_readable.reset();
    m_writable.reset();
    ::close(int(m_line));
    // Ended already, it is let go of here; else it ends with the line, after the program.
    ::waitpid(pid_t(m_process), nullptr, WNOHANG);
}

void Guardian::flush()
{
    if (m_gone || m_unsent.empty())
        return;
    if (::send(int(m_line), m_unsent.data(), m_unsent.size(), MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) {
        m_unsent.clear();
        m_writable->setEnabled(false);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        m_writable->setEnabled(true); // stopped or slow: the latest word goes when it can
    } else {
        lost();
    }
}

void Guardian::listen()
{
    char bytes[64];
    for (;;) {
        const ssize_t read = ::recv(int(m_line), bytes, sizeof bytes, MSG_DONTWAIT);
        if (read > 0) {
            if (std::size_t(read) == std::strlen(GuardianProtocol::kSent)
                && std::memcmp(bytes, GuardianProtocol::kSent, std::size_t(read)) == 0)
                m_sent = true;
            continue;
        }
        if (read == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            lost();
        return;
    }
}

// The guardian ended: reaped at once, never left a zombie.
void Guardian::lost()
{
    if (m_gone)
        return;
    m_gone = true;
    m_readable->setEnabled(false);
    m_writable->setEnabled(false);
    qCDebug(lcStatus) << "the guardian is gone: an end without Exit goes unreported";
    reap();
}

// Its line closes a moment before it has ended for good: looked at again until it has.
void Guardian::reap()
{
    if (::waitpid(pid_t(m_process), nullptr, WNOHANG) == 0)
        QTimer::singleShot(100, m_readable.get(), [this] { reap(); });
}
