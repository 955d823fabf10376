// Start at login on Linux: an XDG autostart entry in the user's configuration folder.
#include "desktop/autostart.h"

#include "desktop/autostartentry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// $XDG_CONFIG_HOME/autostart/TalvorinTool.desktop
QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + QStringLiteral("/autostart/TalvorinTool.desktop");
}

} // namespace

bool addToStartup(QString *error)
{
    const QString path = entryPath();
    const QString dir = QFileInfo(path).absolutePath();
    QSaveFile file(path);
    const QByteArray entry = autostartDesktopEntry(QCoreApplication::applicationFilePath());
    if (!QDir().mkpath(dir) || !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        || file.write(entry) != entry.size() || !file.commit()) {
        *error = QStringLiteral("%1 could not be written: %2")
                         .arg(QDir::toNativeSeparators(path),
                              file.errorString().isEmpty() ? QStringLiteral("no directory")
                                                           : file.errorString());
        return false;
    }
    return true;
}

bool removeFromStartup(QString *error)
{
    QFile file(entryPath());
    if (!file.exists() || file.remove())
        return true;
    *error = QStringLiteral("%1 could not be removed: %2")
                     .arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
    return false;
}
