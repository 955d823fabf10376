#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

// A tiny HTTP/1.0 server on 127.0.0.1 for the tests: it serves fixed pages,
// records every request in order, and can play the misbehaving server.
class TestHttpServer : public QObject {
    Q_OBJECT
public:
    explicit TestHttpServer(QObject *parent = nullptr);

    // On a free port, or on the given one (which must be free by then).
    bool start(quint16 port = 0);
    QString url(const QByteArray &path) const;
    // An address on 127.0.0.1 whose port was free a moment ago and is closed
    // now: connecting to it is refused.
    static QString refusedUrl();

    void setPage(const QByteArray &path, const QByteArray &body, int status = 200,
                 const QByteArray &contentType = "text/html; charset=utf-8");
    void setRedirect(const QByteArray &path, const QByteArray &location);
    // Accepts the request and then never answers.
    void setSilent(const QByteArray &path);
    // Answers one byte a second, for ever.
    void setDripping(const QByteArray &path);

    // Paths in the order they were asked for, query included.
    QList<QByteArray> requests() const { return m_requests; }
    int count(const QByteArray &path) const { return int(m_requests.count(path)); }
    // Milliseconds since start() at which the path was first asked for; -1 if never.
    qint64 firstRequestAt(const QByteArray &path) const;

signals:
    void requested(const QByteArray &path);

private:
    struct Page {
        int status = 200;
        QByteArray contentType;
        QByteArray body;
        QByteArray location;
        bool silent = false;
        bool dripping = false;
    };

    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, Page> m_pages;
    QList<QByteArray> m_requests;
    QHash<QByteArray, qint64> m_firstAt;
    QElapsedTimer m_clock;
};
