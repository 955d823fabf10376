#pragma once

#include <QByteArray>
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
    bool start(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    QString url(const QByteArray &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort())
                + QString::fromLatin1(path);
    }
    // An address on 127.0.0.1 whose port was free a moment ago and is closed
    // now: connecting to it is refused.
    static QString refusedUrl();

    // How a page goes out: extra header lines ("Name: value\r\n" each; a
    // Content-Type among them replaces the usual one), its body in chunks
    // with a pause between them, or cut off: the connection closes after
    // `cutAfter` bytes of the body that Content-Length announced whole.
    struct Delivery {
        QByteArray headers;
        int chunkBytes = 0; // 0: at once
        int gapMs = 0;
        qint64 cutAfter = -1;
        bool sendsLength = true;
        int delayMs = 0; // a slow site: nothing is sent before
    };
    void setPage(const QByteArray &path, const QByteArray &body, int status, const Delivery &delivery)
    {
        m_pages.insert(path, { status, body, {} });
        m_deliveries.insert(path, delivery);
    }
    void setPage(const QByteArray &path, const QByteArray &body, int status = 200)
    {
        setPage(path, body, status, Delivery());
    }
    void setRedirect(const QByteArray &path, const QByteArray &to)
    {
        m_pages.insert(path, { 302, {}, to });
    }
    // Accepts the request and then never answers (status 0).
    void setSilent(const QByteArray &path) { m_pages.insert(path, { 0, {}, {} }); }
    // Accepts the request and closes the connection without an answer.
    void setDropped(const QByteArray &path) { m_pages.insert(path, { -1, {}, {} }); }
    // Serves each NAME.html of the folder as /NAME; a page set above wins.
    void serveFolder(const QString &folder) { m_folder = folder; }

    // Paths in the order they were asked for, query included.
    QList<QByteArray> requests() const { return m_requests; }
    int count(const QByteArray &path) const { return int(m_requests.count(path)); }

private:
    struct Page {
        int status;
        QByteArray body;
        QByteArray location;
    };
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, Page> m_pages;
    QHash<QByteArray, Delivery> m_deliveries;
    QString m_folder;
    QList<QByteArray> m_requests;
};
