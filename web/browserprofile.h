#pragma once

#include <QObject>

class QWebEngineProfile;

// The browser engine's profile that every page of the program lives in,
// kept in the user's data directory so that a login to the badge service
// survives restarts, and what the owner gets from it beside the pages: the
// chat's web notifications. Its pages play sound without a click.
class BrowserProfile : public QObject {
    Q_OBJECT
public:
    explicit BrowserProfile(QObject *parent);

    QWebEngineProfile *profile() const { return m_profile; }

signals:
    void notificationArrived(const QString &title, const QString &text);

private:
    QWebEngineProfile *m_profile;
};
