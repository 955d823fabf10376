#include "web/guardedpage.h"

#include "web/permissions.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcNavigation, "talvorin.navigation", QtWarningMsg)

GuardedPage::GuardedPage(QWebEngineProfile *profile, NavigationRule allows, QObject *parent)
    : QWebEnginePage(profile, parent), m_allows(std::move(allows))
{
    answerPermissionRequests(this);
}

bool GuardedPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool)
{
    if (m_allows(url))
        return true;
    qCDebug(lcNavigation) << "refused:" << url.toString(QUrl::RemoveQuery);
    return false;
}
