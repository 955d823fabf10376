#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <optional>

class QTcpSocket;

// The status line and the headers of an HTTP answer, as far as the program
// reads them.
struct HttpHead {
    int status = 0;
    QByteArray reason; // "Internal Server Error", as the site wrote it
    QByteArray location; // empty: none
};

// The head at the start of `received`, once its blank line has come. A first
// line that is no HTTP status line gives status -1.
std::optional<HttpHead> readHttpHead(const QByteArray &received);

// One GET of `url`, asking the site to close the connection after its answer.
QByteArray httpGetOf(const QUrl &url);

// One GET of a plain http:// address over a TCP connection of its own, read
// up to the end of the answer's head and closed then. It never sends the
// request again, whatever the site does: Qt's own client sends it a second
// time when a site answers HTTP/1.0 without a length and closes at once.
class PlainHttpGet : public QObject {
    Q_OBJECT
public:
    PlainHttpGet(const QUrl &url, int answerTimeoutMs);
    // In the thread the request is to run in; its signal never comes from
    // inside start().
    void start();

signals:
    // One of the two, once.
    void answered(const HttpHead &head);
    // SocketTimeoutError: no answer in time; RemoteHostClosedError: closed
    // before a head, or an answer that is not HTTP.
    void failed(QAbstractSocket::SocketError error, const QString &socketWords);

private:
    void read();
    void fail(QAbstractSocket::SocketError error, const QString &socketWords = {});

    const QUrl m_url;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_answerTimeout;
    QByteArray m_received;
    bool m_over = false;
};
