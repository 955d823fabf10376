#include "web/navigationrules.h"

#include "common/weblink.h"

bool isNavigationAllowed(const QUrl &target, const QUrl &badgeLink)
{
    if (isWebLink(target))
        return true;
    if (target.scheme() == QLatin1String("about"))
        return target.path() == QLatin1String("blank") || target.path() == QLatin1String("srcdoc");
    if (target.isLocalFile() && badgeLink.isLocalFile()) {
        const QString dir = badgeLink.adjusted(QUrl::RemoveFilename).toLocalFile();
        const QString path = target.adjusted(QUrl::NormalizePathSegments).toLocalFile();
        return !dir.isEmpty() && path.startsWith(dir);
    }
    return false;
}
