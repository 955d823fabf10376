#include "presence/statusrequester.h"

#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

Q_LOGGING_CATEGORY(lcStatus, "talvorin.status", QtWarningMsg)

namespace {

// Failures on the way to the site, which a later attempt may get past. The
// program never aborts a status request, so a cancelled one is the time-out.
bool isOnTheWay(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return true;
    default:
        return false;
    }
}

StatusRequester::Reply replyOf(const QNetworkReply &reply, int answerTimeoutMs)
{
    using Outcome = StatusRequester::Outcome;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() || reply.error() == QNetworkReply::NoError)
        return { Outcome::Answered, status.toInt(),
                 QString::fromLatin1(
                         reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray()) };
    QString why = reply.error() == QNetworkReply::OperationCanceledError
            ? QStringLiteral("no answer in %1 s").arg(answerTimeoutMs / 1000)
            : reply.errorString();
    if (!why.isEmpty())
        why[0] = why[0].toLower();
    return { isOnTheWay(reply.error()) ? Outcome::Unreachable : Outcome::Failed, 0, why };
}

} // namespace

StatusRequester::StatusRequester(QNetworkAccessManager *network, const QString &name,
                                 int answerTimeoutMs, QObject *parent)
    : QObject(parent), m_network(network), m_answerTimeoutMs(answerTimeoutMs)
{
    setObjectName(name);
}

void StatusRequester::open(const QString &link, std::function<void(const Reply &)> whenDone)
{
    const QUrl url = QUrl::fromUserInput(link);
    if (!url.isValid()) {
        qCDebug(lcStatus).noquote() << objectName() << "skipped: no address in" << link;
        // Reported later, never from inside open(): callers may still be setting up.
        QMetaObject::invokeMethod(
                this,
                [this, url, whenDone] {
                    finish(url, { Outcome::Failed, 0, QStringLiteral("no address in the link") },
                           whenDone);
                },
                Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(m_answerTimeoutMs);
    QNetworkReply *reply = m_network->get(request);
    qCDebug(lcStatus).noquote() << objectName() << "requested" << url.toString();
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, whenDone] {
        reply->deleteLater();
        // The page itself does not matter to the program; a failed request
        // costs nothing but that request (and, for some, a later attempt).
        qCDebug(lcStatus).noquote() << objectName() << "completed" << url.toString()
                                    << (reply->error() == QNetworkReply::NoError
                                                ? QStringLiteral("ok")
                                                : reply->errorString());
        finish(url, replyOf(*reply, m_answerTimeoutMs), whenDone);
    });
}

void StatusRequester::finish(const QUrl &url, const Reply &reply,
                             const std::function<void(const Reply &)> &whenDone)
{
    if (whenDone)
        whenDone(reply);
    emit completed(url, reply.outcome);
}
