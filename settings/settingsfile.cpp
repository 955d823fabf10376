#include "settings/settingsfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

SettingsFile::SettingsFile(const QString &path) : m_path(path)
{
}

QString SettingsFile::locate(const QString &programDir, const QString &configDir,
                             bool installedCopy)
{
    const QString beside = QDir(programDir).filePath(QString::fromLatin1(fileName));
    if (!installedCopy && (QFileInfo::exists(beside) || QFileInfo(programDir).isWritable()))
        return beside;
    return QDir(configDir).filePath(QString::fromLatin1(fileName));
}

SettingsFile SettingsFile::forThisProgram()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    return SettingsFile(
            locate(programDir, QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                   QDir(programDir) == QDir(QStringLiteral(TALVORIN_INSTALLED_BINDIR))));
}

QByteArray SettingsFile::read() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {}; // a missing file is the usual first start: nothing to apply
    return file.readAll();
}

bool SettingsFile::write(const QByteArray &bytes, QString *error) const
{
    const QString dir = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    // QSaveFile writes a temporary file beside the target and renames it over
    // the old one only when everything was written. Unbuffered, because a
    // buffered short write on a full disk is not reported by commit().
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
