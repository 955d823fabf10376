#include "support/testhttpserver.h"

#include <QTcpSocket>
#include <QTimer>

TestHttpServer::TestHttpServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool TestHttpServer::start(quint16 port)
{
    m_clock.start();
    return m_server.listen(QHostAddress::LocalHost, port);
}

QString TestHttpServer::refusedUrl()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        qFatal("no free port on 127.0.0.1");
    return QStringLiteral("http://127.0.0.1:%1/status").arg(probe.serverPort());
}

QString TestHttpServer::url(const QByteArray &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2")
            .arg(m_server.serverPort())
            .arg(QString::fromLatin1(path));
}

void TestHttpServer::setPage(const QByteArray &path, const QByteArray &body, int status,
                             const QByteArray &contentType)
{
    Page page;
    page.status = status;
    page.body = body;
    page.contentType = contentType;
    m_pages.insert(path, page);
}

void TestHttpServer::setRedirect(const QByteArray &path, const QByteArray &location)
{
    Page page;
    page.status = 302;
    page.location = location;
    m_pages.insert(path, page);
}

void TestHttpServer::setSilent(const QByteArray &path)
{
    Page page;
    page.silent = true;
    m_pages.insert(path, page);
}

void TestHttpServer::setDripping(const QByteArray &path)
{
    Page page;
    page.dripping = true;
    m_pages.insert(path, page);
}

qint64 TestHttpServer::firstRequestAt(const QByteArray &path) const
{
    return m_firstAt.value(path, -1);
}

void TestHttpServer::serve(QTcpSocket *socket)
{
    if (socket->property("served").toBool() || !socket->peek(64 * 1024).contains("\r\n\r\n"))
        return; // the header is not complete yet, or this socket had its answer
    socket->setProperty("served", true);
    const QByteArray head = socket->readAll();
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QByteArray path = requestLine.value(1);
    m_requests.append(path);
    if (!m_firstAt.contains(path))
        m_firstAt.insert(path, m_clock.elapsed());
    emit requested(path);

    const auto it = m_pages.constFind(path);
    Page page;
    if (it == m_pages.cend()) {
        page.status = 404;
        page.contentType = "text/plain";
        page.body = "not found";
    } else {
        page = *it;
    }
    if (page.silent)
        return;
    if (page.dripping) {
        socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n");
        auto *drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [socket] { socket->write("."); });
        drip->start(1000);
        return;
    }
    QByteArray reply = "HTTP/1.0 " + QByteArray::number(page.status) + " X\r\n";
    if (!page.location.isEmpty())
        reply += "Location: " + page.location + "\r\n";
    reply += "Content-Type: " + page.contentType + "\r\n";
    reply += "Content-Length: " + QByteArray::number(page.body.size()) + "\r\n";
    reply += "Connection: close\r\n\r\n" + page.body;
    socket->write(reply);
    socket->disconnectFromHost();
}
