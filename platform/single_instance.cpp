#include "platform/single_instance.h"

#include "platform/folders.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace mv {

namespace {

constexpr int kRequestWaitMs = 1000;
constexpr qsizetype kLongestRequest = 1024; // bytes; a window title is far shorter

bool InstancePaths(QStringView name, QString& lockPath, QString& socketPath) {
    QString folder;
    if (!PrivateRuntimeFolder(folder))
        return false;
    lockPath = folder + name.toString() + QLatin1String(".lock");
    socketPath = folder + name.toString() + QLatin1String(".socket");
    return true;
}

void RaiseDialogTitled(const QString& title) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<QDialog*>(window) == nullptr || !window->isVisible() ||
            window->windowTitle() != title)
            continue;
        window->raise();
        window->activateWindow();
        return;
    }
}

// One request per connection: the window title, then the end of the connection.
void ServeConnection(QLocalSocket* socket) {
    auto serve = [socket] {
        if (socket->bytesAvailable() > kLongestRequest) {
            socket->abort();
            return;
        }
        if (!socket->canReadLine())
            return;
        const QString title = QString::fromUtf8(socket->readLine()).chopped(1);
        socket->disconnectFromServer();
        RaiseDialogTitled(title);
    };
    QObject::connect(socket, &QLocalSocket::readyRead, socket, serve);
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    serve(); // the request may already be here
}

} // namespace

SingleInstanceLock::SingleInstanceLock(QStringView name) {
    QString lockPath;
    QString socketPath;
    if (!InstancePaths(name, lockPath, socketPath))
        return;
    lockFile_.Reset(::open(QFile::encodeName(lockPath).constData(),
                           O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lockFile_.IsValid())
        return;
    if (::flock(lockFile_.Get(), LOCK_EX | LOCK_NB) != 0) {
        state_ = errno == EWOULDBLOCK ? InstanceLockState::HeldByAnother
                                      : InstanceLockState::Unavailable;
        lockFile_.Reset();
        return;
    }
    state_ = InstanceLockState::Held;

    // Holding the lock, nobody else serves the socket: one left by a crashed instance can go.
    QLocalServer::removeServer(socketPath);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer* server = server_.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server] {
        while (QLocalSocket* socket = server->nextPendingConnection())
            ServeConnection(socket);
    });
    // Without the socket the lock still keeps a second instance out; it just can't raise us.
    if (!server_->listen(socketPath))
        server_.reset();
}

SingleInstanceLock::~SingleInstanceLock() {
    if (server_)
        server_->close(); // removes the socket file
}

bool AskRunningInstanceToRaise(QStringView name, QStringView windowTitle) {
    QString lockPath;
    QString socketPath;
    if (!InstancePaths(name, lockPath, socketPath))
        return false;
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(kRequestWaitMs))
        return false;
    socket.write(windowTitle.toUtf8() + '\n');
    const bool sent = socket.waitForBytesWritten(kRequestWaitMs);
    socket.disconnectFromServer();
    return sent;
}

} // namespace mv
