#include "web/webpage.h"

#include "web/filepicker.h"

#include <QLoggingCategory>
#include <QWebEngineView>

Q_LOGGING_CATEGORY(lcNavigation, "talvorin.navigation", QtWarningMsg)

WebPage::WebPage(QWebEngineProfile *profile, NavigationRule allows, QObject *parent)
    : QWebEnginePage(profile, parent), m_allows(std::move(allows))
{
}

bool WebPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool)
{
    if (m_allows(url))
        return true;
    qCDebug(lcNavigation) << "refused:" << url.toString(QUrl::RemoveQuery);
    return false;
}

// The engine's own picker opens in the working folder.
QStringList WebPage::chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                                     const QStringList &acceptedMimeTypes)
{
    return FilePicker::choose(QWebEngineView::forPage(this), mode, oldFiles, acceptedMimeTypes);
}
