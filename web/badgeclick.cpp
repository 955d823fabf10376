#include "web/badgeclick.h"

bool shouldClickBadge(const QString &readyState, const QString &bodyHtml)
{
    return readyState == QLatin1String("complete")
            && !bodyHtml.contains(QLatin1String("cannot"), Qt::CaseSensitive);
}

bool isLoggedOut(const QString &pageTitle)
{
    return pageTitle == QLatin1String("Not Logged In");
}
