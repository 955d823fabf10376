// The owner's idle time on Linux: the X11 screen saver extension, or GNOME's idle monitor.
#include "presence/idleclock.h"

#include "presence/statusrequester.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>

#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace {

const QString kMutter = QStringLiteral("org.gnome.Mutter.IdleMonitor");

xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

bool isWaylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
            || QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

IdleClock::IdleClock(QObject *parent) : QObject(parent)
{
    // Under Wayland an X11 program sees only the input of X11 windows, so
    // the compositor is asked first.
    if (isWaylandSession()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected() && bus.interface()->isServiceRegistered(kMutter)) {
            m_source = Source::Mutter;
            return;
        }
        qCDebug(lcStatus) << "a Wayland desktop without GNOME's idle monitor: idleness "
                             "goes unnoticed";
        return;
    }
    xcb_connection_t *connection = x11Connection();
    const xcb_query_extension_reply_t *extension =
            connection ? xcb_get_extension_data(connection, &xcb_screensaver_id) : nullptr;
    if (!extension || !extension->present) {
        qCDebug(lcStatus) << "no X11 screen saver extension: idleness goes unnoticed";
        return;
    }
    m_source = Source::X11;
}

void IdleClock::ask(std::function<void(qint64)> answer)
{
    if (m_source == Source::X11) {
        xcb_connection_t *connection = x11Connection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        xcb_screensaver_query_info_reply_t *info = xcb_screensaver_query_info_reply(
                connection, xcb_screensaver_query_info(connection, root), nullptr);
        if (!info)
            return; // asked again at the next look
        const qint64 idleMs = info->ms_since_user_input;
        std::free(info);
        answer(idleMs);
        return;
    }
    if (m_source != Source::Mutter)
        return;
    const QDBusMessage call = QDBusMessage::createMethodCall(
            kMutter, QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"), kMutter,
            QStringLiteral("GetIdletime"));
    auto *watcher =
            new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [answer](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusPendingReply<quint64> reply = *finished;
                if (reply.isError()) {
                    qCDebug(lcStatus).noquote() << "idle time not known:" << reply.error().message();
                    return;
                }
                answer(qint64(reply.value()));
            });
}
