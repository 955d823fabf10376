#include "web/dictionaries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSpelling, "talvorin.spelling", QtWarningMsg)

namespace {

const char kVariable[] = "QTWEBENGINE_DICTIONARIES_PATH";
const char kFolderName[] = "qtwebengine_dictionaries";

} // namespace

QStringList dictionaryFolderCandidates(const QString &executableFolder)
{
    const QDir beside(executableFolder);
    return {
        beside.filePath(QLatin1String(kFolderName)),
        QDir::cleanPath(beside.filePath(QStringLiteral("../share/TalvorinTool/")
                                        + QLatin1String(kFolderName))),
        QStringLiteral(TALVORIN_BUILD_DICTIONARIES_DIR),
        QStringLiteral(TALVORIN_INSTALLED_DICTIONARIES_DIR),
    };
}

QString programDictionaries(const QString &executableFolder)
{
    for (const QString &folder : dictionaryFolderCandidates(executableFolder)) {
        if (!dictionaryLanguages(folder).isEmpty())
            return folder;
    }
    return {};
}

void useProgramDictionaries()
{
    if (qEnvironmentVariableIsSet(kVariable))
        return; // the user's own
    const QString folder = programDictionaries(QCoreApplication::applicationDirPath());
    if (folder.isEmpty())
        qCDebug(lcSpelling) << "no dictionaries in" << dictionaryFolderCandidates(
                QCoreApplication::applicationDirPath()) << "; fields go unchecked";
    else
        qputenv(kVariable, QFile::encodeName(folder));
}

QString dictionariesFolder()
{
    // Without the variable the engine looks beside the executable.
    return qEnvironmentVariableIsSet(kVariable)
            ? qEnvironmentVariable(kVariable)
            : dictionaryFolderCandidates(QCoreApplication::applicationDirPath()).first();
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
