#include "desktop/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcInstance, "talvorin.instance", QtWarningMsg)

namespace {

const int kConnectTimeoutMs = 2000;
const QByteArray kShow = "show\n";

// Per user and per settings file: two copies beside two different files
// may run side by side.
QString keyFor(const QString &settingsPath)
{
    const QByteArray path = QFileInfo(settingsPath).absoluteFilePath().toUtf8();
    return QStringLiteral("TalvorinTool-")
            + QString::fromLatin1(
                    QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(16));
}

QString lockDirectory()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

bool askRunningCopyToShow(const QString &serverName)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kShow);
    return socket.waitForBytesWritten(kConnectTimeoutMs);
}

} // namespace

std::unique_ptr<SingleInstance> SingleInstance::claim(const QString &settingsPath)
{
    const QString key = keyFor(settingsPath);
    auto lock = std::make_unique<QLockFile>(QDir(lockDirectory()).filePath(key + ".lock"));
    // A lock whose process is gone is stale at once, however young it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock()) {
        if (lock->error() == QLockFile::LockFailedError) {
            if (!askRunningCopyToShow(key))
                qCWarning(lcInstance) << "the running copy did not answer";
            return nullptr;
        }
        // The lock cannot be made at all (no writable directory): better a
        // second copy than none.
        qCWarning(lcInstance) << "no single-copy lock:" << lock->error();
    }
    return std::unique_ptr<SingleInstance>(new SingleInstance(std::move(lock), key));
}

SingleInstance::SingleInstance(std::unique_ptr<QLockFile> lock, const QString &serverName)
    : m_lock(std::move(lock)), m_server(new QLocalServer(this))
{
    // Holding the lock, any socket of that name is a dead copy's.
    QLocalServer::removeServer(serverName);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(serverName))
        qCWarning(lcInstance) << "later copies cannot reach this one:" << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(kShow))
                    emit activationRequested();
            });
        }
    });
}

SingleInstance::~SingleInstance() = default;
