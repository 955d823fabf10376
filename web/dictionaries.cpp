#include "web/dictionaries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSpelling, "talvorin.spelling", QtWarningMsg)

namespace {

const char kVariable[] = "QTWEBENGINE_DICTIONARIES_PATH";

// Where the engine looks by itself when the variable is not set.
QString besideExecutable()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/qtwebengine_dictionaries");
}

} // namespace

void useProgramDictionaries()
{
    if (qEnvironmentVariableIsSet(kVariable))
        return; // the user's own
    const QStringList candidates {
        besideExecutable(),
        QCoreApplication::applicationDirPath()
                + QStringLiteral("/../share/TalvorinTool/qtwebengine_dictionaries"),
    };
    for (const QString &folder : candidates) {
        if (QFileInfo(folder).isDir()) {
            qputenv(kVariable, QFile::encodeName(QDir::cleanPath(folder)));
            return;
        }
    }
    qCDebug(lcSpelling) << "no dictionaries beside the program; fields go unchecked";
}

QString dictionariesFolder()
{
    return qEnvironmentVariableIsSet(kVariable) ? qEnvironmentVariable(kVariable)
                                                : besideExecutable();
}

QStringList dictionaryLanguages(const QString &folder)
{
    QStringList languages;
    const QStringList files =
            QDir(folder).entryList({ QStringLiteral("*.bdic") }, QDir::Files, QDir::Name);
    for (const QString &file : files)
        languages.append(QFileInfo(file).completeBaseName());
    return languages;
}
