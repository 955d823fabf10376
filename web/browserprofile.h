#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

class QWebEngineProfile;
class SitePermissions;
class ViewSettings;

// The browser engine's profile that every page of the program lives in,
// kept in the user's data directory so that a login to the badge service
// survives restarts, and what the owner gets from it beside the pages: the
// chat's web notifications, the views' settings kept beside it, what its
// pages may use (notifications, calls) and the spelling of the text fields.
// Its pages play sound without a click.
class BrowserProfile : public QObject {
    Q_OBJECT
public:
    explicit BrowserProfile(QObject *parent);

    QWebEngineProfile *profile() const { return m_profile; }
    ViewSettings *viewSettings() const { return m_viewSettings; }
    SitePermissions *permissions() const { return m_permissions; }

    // The dictionaries the program has, and the one in use (empty: off).
    QStringList spellingLanguages() const { return m_spellingLanguages; }
    QString spellingLanguage() const;

    // The owner chose to save `url` from a context menu: its download is the
    // owner's own, which a page's limit on files does not count. Taken once.
    void noteOwnersSave(const QUrl &url) { m_ownersSaves.append(url); }
    bool takeOwnersSave(const QUrl &url) { return m_ownersSaves.removeOne(url); }

signals:
    void notificationArrived(const QString &title, const QString &text);

private:
    void applySpelling();

    QWebEngineProfile *m_profile;
    ViewSettings *m_viewSettings;
    SitePermissions *m_permissions;
    QStringList m_spellingLanguages;
    QList<QUrl> m_ownersSaves;
};
