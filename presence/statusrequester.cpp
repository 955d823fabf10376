#include "presence/statusrequester.h"

#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

Q_LOGGING_CATEGORY(lcStatus, "talvorin.status", QtWarningMsg)

StatusRequester::StatusRequester(QNetworkAccessManager *network, const QString &name,
                                 QObject *parent)
    : QObject(parent), m_network(network)
{
    setObjectName(name);
}

void StatusRequester::open(const QString &link)
{
    const QUrl url = QUrl::fromUserInput(link);
    if (!url.isValid()) {
        qCDebug(lcStatus).noquote() << objectName() << "skipped: no address in" << link;
        // Reported later, never from inside open(): callers may still be setting up.
        QMetaObject::invokeMethod(
                this, [this, url] { emit completed(url, false); }, Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = m_network->get(request);
    qCDebug(lcStatus).noquote() << objectName() << "requested" << url.toString();
    connect(reply, &QNetworkReply::finished, this, [this, reply, url] {
        reply->deleteLater();
        // The answer itself does not matter to the program; a failed request
        // costs nothing but that request.
        const bool ok = reply->error() == QNetworkReply::NoError;
        qCDebug(lcStatus).noquote() << objectName() << "completed" << url.toString()
                                    << (ok ? QStringLiteral("ok") : reply->errorString());
        emit completed(url, ok);
    });
}
