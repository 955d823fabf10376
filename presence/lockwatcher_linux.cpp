// A locked screen on Linux: the desktop's screen saver on the session bus.
#include "presence/lockwatcher.h"

#include "presence/statusrequester.h"

#include <QDBusConnection>

LockWatcher::LockWatcher(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcStatus) << "no session bus: a locked screen goes unnoticed";
        return;
    }
    // Whichever screen saver the desktop has, from whatever sender: the
    // signal alone is listened to, so a missing one costs nothing.
    const struct {
        const char *path;
        const char *interface;
    } screenSavers[] = {
        { "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver" },
        { "/ScreenSaver", "org.freedesktop.ScreenSaver" },
        { "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver" },
    };
    for (const auto &saver : screenSavers) {
        bus.connect(QString(), QString::fromLatin1(saver.path),
                    QString::fromLatin1(saver.interface), QStringLiteral("ActiveChanged"), this,
                    SLOT(setLocked(bool)));
    }
}

LockWatcher::~LockWatcher() = default;
