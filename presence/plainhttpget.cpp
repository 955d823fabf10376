#include "presence/plainhttpget.h"

#include <QTcpSocket>

namespace {

// A head longer than this is no status page's.
const int kLongestHead = 64 * 1024;

} // namespace

std::optional<HttpHead> readHttpHead(const QByteArray &received)
{
    // Some sites' scripts end their lines with a bare LF, as browsers allow.
    qsizetype end = received.indexOf("\r\n\r\n");
    const qsizetype bareEnd = received.indexOf("\n\n");
    if (bareEnd >= 0 && (end < 0 || bareEnd < end))
        end = bareEnd;
    if (end < 0)
        return std::nullopt;
    const QList<QByteArray> lines = received.left(end).split('\n');
    const QByteArray statusLine = lines.first().trimmed();
    const QList<QByteArray> words = statusLine.split(' ');
    bool isNumber = false;
    const int status = words.value(1).toInt(&isNumber);
    HttpHead head;
    if (!statusLine.startsWith("HTTP/") || !isNumber || words.value(1).size() != 3) {
        head.status = -1;
        return head;
    }
    head.status = status;
    head.reason = statusLine.mid(words.first().size() + 1 + 3).trimmed();
    for (const QByteArray &line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare("location", Qt::CaseInsensitive) == 0)
            head.location = line.mid(colon + 1).trimmed();
    }
    return head;
}

QByteArray httpGetOf(const QUrl &url)
{
    QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/'))
        target.prepend('/');
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port(80) != 80)
        host += ':' + QByteArray::number(url.port());
    // The words Qt's own client uses, so that the site sees the program as before.
    return "GET " + target + " HTTP/1.1\r\nHost: " + host
            + "\r\nUser-Agent: Mozilla/5.0\r\nConnection: close\r\n\r\n";
}

PlainHttpGet::PlainHttpGet(const QUrl &url, int answerTimeoutMs)
    : m_url(url), m_answerTimeout(new QTimer(this))
{
    m_answerTimeout->setSingleShot(true);
    m_answerTimeout->setInterval(answerTimeoutMs);
    connect(m_answerTimeout, &QTimer::timeout, this,
            [this] { fail(QAbstractSocket::SocketTimeoutError); });
}

void PlainHttpGet::start()
{
    m_socket = new QTcpSocket(this);
    const QByteArray request = httpGetOf(m_url);
    connect(m_socket, &QTcpSocket::connected, this, [this, request] { m_socket->write(request); });
    connect(m_socket, &QTcpSocket::readyRead, this, &PlainHttpGet::read);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        read(); // an answer and the close may come together
        fail(error, m_socket->errorString());
    });
    m_answerTimeout->start();
    QMetaObject::invokeMethod(
            this, [this] { m_socket->connectToHost(m_url.host(), quint16(m_url.port(80))); },
            Qt::QueuedConnection);
}

void PlainHttpGet::read()
{
    if (m_over)
        return;
    m_received += m_socket->readAll();
    if (const std::optional<HttpHead> head = readHttpHead(m_received); head && head->status > 0) {
        m_over = true;
        m_answerTimeout->stop();
        // The program needs the status only: the rest of the page stays unread.
        m_socket->abort();
        emit answered(*head);
    } else if (head || m_received.size() > kLongestHead) {
        fail(QAbstractSocket::RemoteHostClosedError);
    }
}

void PlainHttpGet::fail(QAbstractSocket::SocketError error, const QString &socketWords)
{
    if (m_over)
        return;
    m_over = true;
    m_answerTimeout->stop();
    m_socket->abort();
    emit failed(error, socketWords);
}
