#include "desktop/autostart.h"

#include "desktop/autostartentry.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace {

// The machine-wide Run key: every user's logon starts the program.
const char kRunKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kValueName[] = "TalvorinTool";

bool finish(QSettings &run, const char *what, QString *error)
{
    run.sync();
    if (run.status() == QSettings::NoError)
        return true;
    *error = QStringLiteral("The value %1 under %2 could not be %3 (administrator rights are "
                            "needed).")
                     .arg(QLatin1String(kValueName), QLatin1String(kRunKey), QLatin1String(what));
    return false;
}

} // namespace

bool addToStartup(QString *error)
{
    QSettings run(QLatin1String(kRunKey), QSettings::NativeFormat);
    run.setValue(QLatin1String(kValueName),
                 runValueData(QDir::toNativeSeparators(QCoreApplication::applicationDirPath())));
    return finish(run, "written", error);
}

bool removeFromStartup(QString *error)
{
    QSettings run(QLatin1String(kRunKey), QSettings::NativeFormat);
    run.remove(QLatin1String(kValueName));
    return finish(run, "removed", error);
}
