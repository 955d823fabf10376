#include "presence/statusrequester.h"

#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

Q_LOGGING_CATEGORY(lcStatus, "talvorin.status", QtWarningMsg)

namespace {

// A site that takes longer than this to answer is taken as out of reach, so
// the request can be tried again instead of hanging on a dead connection.
constexpr int kAnswerTimeoutMs = QNetworkRequest::DefaultTransferTimeoutConstant;

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

StatusRequester::Outcome outcomeOf(const QNetworkReply &reply)
{
    if (reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()
        || reply.error() == QNetworkReply::NoError)
        return StatusRequester::Outcome::Answered;
    return isOnTheWay(reply.error()) ? StatusRequester::Outcome::Unreachable
                                     : StatusRequester::Outcome::Failed;
}

} // namespace

StatusRequester::StatusRequester(QNetworkAccessManager *network, const QString &name,
                                 QObject *parent)
    : QObject(parent), m_network(network)
{
    setObjectName(name);
}

void StatusRequester::open(const QString &link, std::function<void(Outcome)> whenDone)
{
    const QUrl url = QUrl::fromUserInput(link);
    if (!url.isValid()) {
        qCDebug(lcStatus).noquote() << objectName() << "skipped: no address in" << link;
        // Reported later, never from inside open(): callers may still be setting up.
        QMetaObject::invokeMethod(
                this, [this, url, whenDone] { finish(url, Outcome::Failed, whenDone); },
                Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kAnswerTimeoutMs);
    QNetworkReply *reply = m_network->get(request);
    qCDebug(lcStatus).noquote() << objectName() << "requested" << url.toString();
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, whenDone] {
        reply->deleteLater();
        // The answer itself does not matter to the program; a failed request
        // costs nothing but that request (and, for some, a later attempt).
        qCDebug(lcStatus).noquote() << objectName() << "completed" << url.toString()
                                    << (reply->error() == QNetworkReply::NoError
                                                ? QStringLiteral("ok")
                                                : reply->errorString());
        finish(url, outcomeOf(*reply), whenDone);
    });
}

void StatusRequester::finish(const QUrl &url, Outcome outcome,
                             const std::function<void(Outcome)> &whenDone)
{
    if (whenDone)
        whenDone(outcome);
    emit completed(url, outcome);
}
