#pragma once

#include <QWebEnginePage>

#include <functional>

// Every page of the program: it goes only where the navigation rule lets it
// (what else it may use, its profile's SitePermissions answer). Its file
// inputs open the program's file picker.
class WebPage : public QWebEnginePage {
    Q_OBJECT
public:
    using NavigationRule = std::function<bool(const QUrl &)>;

    WebPage(QWebEngineProfile *profile, NavigationRule allows, QObject *parent);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;

private:
    NavigationRule m_allows;
};
