#pragma once

#include "web/callpermissions.h"
#include "web/permissions.h"

#include <QObject>

class ViewSettings;

// Answers the permission requests of the program's pages (see
// permissionAnswer): at once where the rule or a remembered answer decides,
// else by asking the owner, one question at a time, and keeping the answers
// the owner chose to remember in the view settings.
class SitePermissions : public QObject {
    Q_OBJECT
public:
    SitePermissions(ViewSettings *settings, QObject *parent);

    // Answers the page's requests from now on, until it goes.
    void watch(QWebEnginePage *page, PageRole role);
    // The badge's link, or the first address of a chat the badge opened:
    // its pages may show notifications.
    void addOwnSite(const QUrl &url);

    // The question before the owner, if any.
    std::optional<CallQuestion> question() const { return m_calls.question(); }
    void answer(bool allow, bool remember);

    bool remembers(const QUrl &site) const { return m_calls.remembers(site); }
    // The site's remembered answers go: its pages are asked again.
    void forget(const QUrl &site);

signals:
    // Another question is before the owner, or none is any more.
    void questionChanged();

private:
    void onRequested(QWebEnginePage *page, PageRole role, const QUrl &origin,
                     QWebEnginePage::Feature feature);
    void keepAnswers();
    // Tells of the question before the owner when it is another one.
    void settle();

    ViewSettings *m_settings;
    CallPermissions m_calls;
    QList<QUrl> m_ownSites;
    std::optional<CallQuestion> m_asked; // as last told
};
