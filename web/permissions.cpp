#include "web/permissions.h"

#include "web/callpermissions.h"

#include <algorithm>

namespace {

// A link may write the port its scheme implies; the engine's origins do not.
int portOf(const QUrl &url)
{
    if (url.scheme() == QLatin1String("https"))
        return url.port(443);
    return url.port(url.scheme() == QLatin1String("http") ? 80 : -1);
}

} // namespace

bool isSameSite(const QUrl &one, const QUrl &other)
{
    return one.scheme() == other.scheme() && one.host() == other.host()
            && portOf(one) == portOf(other);
}

PermissionAnswer permissionAnswer(QWebEnginePage::Feature feature, PageRole role,
                                  const QUrl &origin, const QList<QUrl> &ownSites)
{
    if (feature == QWebEnginePage::Notifications) {
        const bool own =
                std::any_of(ownSites.cbegin(), ownSites.cend(),
                            [&origin](const QUrl &site) { return isSameSite(site, origin); });
        return own ? PermissionAnswer::Grant : PermissionAnswer::Refuse;
    }
    if (role == PageRole::Shown && callKindOf(feature))
        return PermissionAnswer::AskOwner;
    return PermissionAnswer::Refuse;
}
