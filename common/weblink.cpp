#include "common/weblink.h"

bool isWebLink(const QUrl &link)
{
    return link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https");
}
