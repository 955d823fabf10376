// Sleep and wake on Linux: logind on the system bus, with its delay inhibitor.
#include "presence/sleepwatcher.h"

#include "presence/statusrequester.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <unistd.h>

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

SleepWatcher::SleepWatcher(int longestHoldMs, QObject *parent) : QObject(parent)
{
    limitHold(longestHoldMs);

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qCDebug(lcStatus) << "no system bus: sleep and wake go unnoticed";
        return;
    }
    if (!bus.interface()->isServiceRegistered(kLogind)) {
        qCDebug(lcStatus) << "no logind on the system bus: sleep and wake go unnoticed";
        return;
    }
    bus.connect(kLogind, kLogindPath, kManager, QStringLiteral("PrepareForSleep"), this,
                SLOT(prepareForSleep(bool)));
    holdNextSleep();
}

SleepWatcher::~SleepWatcher()
{
    releaseSleep();
}

// logind waits before a sleep until every delay inhibitor's descriptor is
// closed, or its own limit has passed.
void SleepWatcher::holdNextSleep()
{
    if (m_handle >= 0)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kLogind, kLogindPath, kManager,
                                                       QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("TalvorinTool")
         << QStringLiteral("Telling the owner's site that the owner is away")
         << QStringLiteral("delay");
    auto *watcher =
            new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                if (reply.isError()) {
                    qCDebug(lcStatus).noquote()
                            << "logind gives no sleep delay; the exit link may not leave "
                               "before a sleep:"
                            << reply.error().message();
                    return;
                }
                // A descriptor of our own: the reply's copy goes with the reply.
                if (m_handle < 0)
                    m_handle = ::dup(reply.value().fileDescriptor());
            });
}

void SleepWatcher::releaseSleep()
{
    if (m_handle < 0)
        return;
    ::close(int(m_handle));
    m_handle = -1;
}
