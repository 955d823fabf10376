#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QUrl>

class QNetworkAccessManager;

Q_DECLARE_LOGGING_CATEGORY(lcStatus)

// Opens a status link of the owner's site (a script that changes the status
// shown there) and forgets the answer: the site only needs to receive the
// request. Redirects are followed; file:// links work too.
class StatusRequester : public QObject {
    Q_OBJECT
public:
    StatusRequester(QNetworkAccessManager *network, const QString &name, QObject *parent);

    // A link is taken as a browser's address bar takes it ("www.example.com/on"
    // is an http address). A link that names no address sends nothing but is
    // still reported as completed, so that whoever waits for it goes on.
    void open(const QString &link);

    QNetworkAccessManager *network() const { return m_network; }

signals:
    // Once for every open(), whatever the outcome: an error is a completion too.
    void completed(const QUrl &url, bool succeeded);

private:
    QNetworkAccessManager *m_network;
};
