#include "presence/statusrequester.h"

#include "common/weblink.h"
#include "presence/plainhttpget.h"

#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>

Q_LOGGING_CATEGORY(lcStatus, "talvorin.status", QtWarningMsg)

namespace {

// As many requests at a time as Qt's client makes to one site; a burst of
// status changes waits its turn rather than flood a small site's queue.
const int kPlainAtOnce = 6;

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

QString noAnswerInTime(int answerTimeoutMs)
{
    return QStringLiteral("no answer in %1 s").arg(answerTimeoutMs / 1000);
}

QString startingLow(QString words)
{
    if (!words.isEmpty())
        words[0] = words[0].toLower();
    return words;
}

StatusRequester::Reply replyOf(const QNetworkReply &reply, int answerTimeoutMs)
{
    using Outcome = StatusRequester::Outcome;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() || reply.error() == QNetworkReply::NoError)
        return { Outcome::Answered, status.toInt(),
                 QString::fromLatin1(
                         reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray()) };
    const QString why = reply.error() == QNetworkReply::OperationCanceledError
            ? noAnswerInTime(answerTimeoutMs)
            : startingLow(reply.errorString());
    return { isOnTheWay(reply.error()) ? Outcome::Unreachable : Outcome::Failed, 0, why };
}

// A failure of the program's own GET, in the words Qt's client gives it.
// Each one is on the way to the site.
QString wordsOf(QAbstractSocket::SocketError error, const QString &socketWords, const QUrl &url,
                int answerTimeoutMs)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("connection refused");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("host %1 not found").arg(url.host());
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("connection closed");
    case QAbstractSocket::SocketTimeoutError:
        return noAnswerInTime(answerTimeoutMs);
    default:
        return startingLow(socketWords);
    }
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 305 || status == 307
            || status == 308;
}

// Whether `network` would go to the site of `url` straight, with no proxy
// and no password to offer: asked as it asks itself.
bool goesStraight(const QNetworkAccessManager &network, const QUrl &url)
{
    if (url.scheme() != QLatin1String("http") || !url.userInfo().isEmpty())
        return false;
    const QNetworkProxyQuery query(url);
    QList<QNetworkProxy> proxies;
    if (network.proxyFactory())
        proxies = network.proxyFactory()->queryProxy(query);
    else if (network.proxy().type() == QNetworkProxy::DefaultProxy)
        proxies = QNetworkProxyFactory::proxyForQuery(query);
    else
        proxies = { network.proxy() };
    return proxies.isEmpty() || proxies.first().type() == QNetworkProxy::NoProxy;
}

} // namespace

StatusRequester::StatusRequester(QNetworkAccessManager *network, const QString &name,
                                 int answerTimeoutMs, QObject *parent)
    : QObject(parent), m_network(network), m_answerTimeoutMs(answerTimeoutMs)
{
    setObjectName(name);
}

StatusRequester::~StatusRequester()
{
    if (!m_plainThread)
        return;
    // The GETs still running are deleted as the thread ends.
    m_plainThread->quit();
    m_plainThread->wait();
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

    qCDebug(lcStatus).noquote() << objectName() << "requested" << url.toString();
    request(url, url, QNetworkRequest().maximumRedirectsAllowed(), whenDone);
}

void StatusRequester::request(const QUrl &link, const QUrl &url, int redirectsLeft,
                              const std::function<void(const Reply &)> &whenDone)
{
    if (!goesStraight(*m_network, url))
        return requestThroughNetwork(link, url, redirectsLeft, whenDone);
    // Plain http: a request of the program's own, which reaches the site
    // exactly once. The page itself does not matter to the program; a failed
    // request costs nothing but that request (and, for some, a later attempt).
    if (m_plainInFlight >= kPlainAtOnce) {
        m_plainWaiting.push_back([=] { request(link, url, redirectsLeft, whenDone); });
        return;
    }
    ++m_plainInFlight;
    if (!m_plainThread) {
        m_plainThread = new QThread(this);
        m_plainThread->setObjectName(objectName());
        m_plainThread->start();
    }
    auto *get = new PlainHttpGet(url, m_answerTimeoutMs);
    get->moveToThread(m_plainThread);
    connect(m_plainThread, &QThread::finished, get, &QObject::deleteLater);
    connect(get, &PlainHttpGet::answered, this, [=](const HttpHead &head) {
        get->deleteLater();
        plainGetEnded();
        qCDebug(lcStatus).noquote() << objectName() << "answered" << url.toString() << head.status;
        if (!isRedirect(head.status) || head.location.isEmpty())
            return finish(link, { Outcome::Answered, head.status, QString::fromLatin1(head.reason) },
                          whenDone);
        const QUrl next = url.resolved(QUrl::fromEncoded(head.location));
        if (redirectsLeft <= 0)
            return finish(link, { Outcome::Failed, 0, QStringLiteral("too many redirects") },
                          whenDone);
        if (!isWebLink(next))
            return finish(link, { Outcome::Failed, 0, QStringLiteral("redirected elsewhere than to a web page") },
                          whenDone);
        request(link, next, redirectsLeft - 1, whenDone);
    });
    connect(get, &PlainHttpGet::failed, this,
            [=](QAbstractSocket::SocketError error, const QString &socketWords) {
                get->deleteLater();
                plainGetEnded();
                const QString why = wordsOf(error, socketWords, url, m_answerTimeoutMs);
                qCDebug(lcStatus).noquote() << objectName() << "completed" << url.toString() << why;
                finish(link, { Outcome::Unreachable, 0, why }, whenDone);
            });
    // Only once it is heard: from here on it runs beside this thread.
    QMetaObject::invokeMethod(get, &PlainHttpGet::start, Qt::QueuedConnection);
}

void StatusRequester::plainGetEnded()
{
    --m_plainInFlight;
    if (m_plainWaiting.empty())
        return;
    const std::function<void()> next = m_plainWaiting.front();
    m_plainWaiting.pop_front();
    next();
}

void StatusRequester::requestThroughNetwork(const QUrl &link, const QUrl &url, int redirectsLeft,
                                            const std::function<void(const Reply &)> &whenDone)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(redirectsLeft);
    request.setTransferTimeout(m_answerTimeoutMs);
    QNetworkReply *reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, link, whenDone] {
        reply->deleteLater();
        // The page itself does not matter to the program; a failed request
        // costs nothing but that request (and, for some, a later attempt).
        qCDebug(lcStatus).noquote() << objectName() << "completed" << link.toString()
                                    << (reply->error() == QNetworkReply::NoError
                                                ? QStringLiteral("ok")
                                                : reply->errorString());
        finish(link, replyOf(*reply, m_answerTimeoutMs), whenDone);
    });
}

void StatusRequester::finish(const QUrl &url, const Reply &reply,
                             const std::function<void(const Reply &)> &whenDone)
{
    if (whenDone)
        whenDone(reply);
    emit completed(url, reply.outcome);
}
