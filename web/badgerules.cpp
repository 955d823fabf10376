#include "web/badgerules.h"

bool shouldClickBadge(const QString &readyState, const QString &bodyHtml)
{
    return readyState == QLatin1String("complete")
            && !bodyHtml.contains(QLatin1String("cannot"), Qt::CaseSensitive);
}

bool isNavigationAllowed(const QUrl &target, const QUrl &badgeLink)
{
    const QString scheme = target.scheme();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return true;
    if (scheme == QLatin1String("about"))
        return target.path() == QLatin1String("blank") || target.path() == QLatin1String("srcdoc");
    if (target.isLocalFile() && badgeLink.isLocalFile()) {
        const QString dir = badgeLink.adjusted(QUrl::RemoveFilename).toLocalFile();
        const QString path = target.adjusted(QUrl::NormalizePathSegments).toLocalFile();
        return !dir.isEmpty() && path.startsWith(dir);
    }
    return false;
}

bool isLoggedOut(const QString &pageTitle)
{
    return pageTitle == QLatin1String("Not Logged In");
}
