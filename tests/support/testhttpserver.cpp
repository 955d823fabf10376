#include "support/testhttpserver.h"

#include <QFile>
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

QString TestHttpServer::refusedUrl()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        qFatal("no free port on 127.0.0.1");
    return QStringLiteral("http://127.0.0.1:%1/status").arg(probe.serverPort());
}

void TestHttpServer::serve(QTcpSocket *socket)
{
    if (socket->property("served").toBool() || !socket->peek(64 * 1024).contains("\r\n\r\n"))
        return; // the header is not complete yet, or this socket had its answer
    socket->setProperty("served", true);
    const QByteArray head = socket->readAll();
    const QByteArray path = head.left(head.indexOf("\r\n")).split(' ').value(1);
    m_requests.append(path);
    Page page = m_pages.value(path, { 404, "not found", {} });
    QFile file(m_folder + QString::fromLatin1(path) + QStringLiteral(".html"));
    if (!m_pages.contains(path) && !m_folder.isEmpty() && !path.contains("..")
        && file.open(QIODevice::ReadOnly))
        page = { 200, file.readAll(), {} };
    if (page.status == 0) // silent
        return;
    if (page.status < 0) // dropped
        return socket->disconnectFromHost();
    const Delivery delivery = m_deliveries.value(path);
    QByteArray reply = "HTTP/1.0 " + QByteArray::number(page.status) + " X\r\n";
    if (!page.location.isEmpty())
        reply += "Location: " + page.location + "\r\n";
    if (!delivery.headers.toLower().contains("content-type:"))
        reply += "Content-Type: text/html; charset=utf-8\r\n";
    if (delivery.sendsLength)
        reply += "Content-Length: " + QByteArray::number(page.body.size()) + "\r\n";
    reply += delivery.headers + "Connection: close\r\n\r\n";
    QByteArray body = delivery.cutAfter < 0 ? page.body : page.body.left(delivery.cutAfter);
    QTimer::singleShot(delivery.delayMs, socket, [socket, reply, body, delivery]() mutable {
        socket->write(reply);
        if (delivery.chunkBytes <= 0) {
            socket->write(body);
            return socket->disconnectFromHost();
        }
        auto *sender = new QTimer(socket);
        sender->callOnTimeout(socket, [socket, sender, body, chunk = delivery.chunkBytes]() mutable {
            socket->write(body.left(chunk));
            body.remove(0, chunk);
            if (body.isEmpty()) {
                sender->stop();
                socket->disconnectFromHost();
            }
        });
        sender->start(delivery.gapMs);
    });
}
