#include "web/permissions.h"

#include <QLoggingCategory>
#include <QWebEnginePage>

Q_LOGGING_CATEGORY(lcPermissions, "talvorin.permissions", QtWarningMsg)

void answerPermissionRequests(QWebEnginePage *page)
{
    QObject::connect(page, &QWebEnginePage::featurePermissionRequested, page,
                     [page](const QUrl &origin, QWebEnginePage::Feature feature) {
                         const bool granted = feature == QWebEnginePage::Notifications;
                         qCDebug(lcPermissions) << origin << feature << granted;
                         page->setFeaturePermission(
                                 origin, feature,
                                 granted ? QWebEnginePage::PermissionGrantedByUser
                                         : QWebEnginePage::PermissionDeniedByUser);
                     });
}
