#include "web/spellinglanguages.h"

namespace {

const QString kFallback = QStringLiteral("en-US");

QString languageOf(const QString &language)
{
    return language.section(u'-', 0, 0);
}

} // namespace

QString spellingLanguageFor(const std::optional<QString> &choice, const QLocale &system,
                            const QStringList &available)
{
    if (choice && (choice->isEmpty() || available.contains(*choice)))
        return *choice;
    const QString own = system.name().replace(u'_', u'-'); // "de-AT"
    if (available.contains(own))
        return own;
    for (const QString &language : available)
        if (languageOf(language) == languageOf(own))
            return language;
    return available.contains(kFallback) ? kFallback : QString();
}

QString spellingLanguageName(const QString &language)
{
    const QLocale locale(QString(language).replace(u'-', u'_'));
    if (locale.language() == QLocale::C)
        return language;
    const QString name = QLocale::languageToString(locale.language());
    if (!language.contains(u'-'))
        return name;
    return QStringLiteral("%1 (%2)").arg(name, QLocale::territoryToString(locale.territory()));
}
