#include "platform/single_instance.h"

#include "platform/file_write.h"
#include "platform/folders.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLocalSocket>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace mv {

namespace {

constexpr int kRequestWaitMs = 1000;

bool InstancePaths(QStringView name, QString& lockPath, QString& socketPath,
                   QString* whyNot = nullptr) {
    QString folder;
    if (!PrivateRuntimeFolder(folder, whyNot))
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

} // namespace

SingleInstanceLock::SingleInstanceLock(QStringView name) {
    QString lockPath;
    QString socketPath;
    QString whyNot;
    if (!InstancePaths(name, lockPath, socketPath, &whyNot)) {
        problem_ = QStringLiteral("no private runtime folder (") + whyNot + QLatin1Char(')');
        return;
    }
    lockFile_.Reset(::open(QFile::encodeName(lockPath).constData(),
                           O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lockFile_.IsValid()) {
        problem_ = lockPath + QStringLiteral(": ") + SystemErrorText(errno);
        return;
    }
    if (::flock(lockFile_.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK)
            state_ = InstanceLockState::HeldByAnother;
        else
            problem_ = lockPath + QStringLiteral(": ") + SystemErrorText(error);
        lockFile_.Reset();
        return;
    }
    state_ = InstanceLockState::Held;
    // Without the socket the lock still keeps a second instance out; it just can't raise us.
    int error = 0;
    server_.Listen(socketPath, RaiseDialogTitled, error);
}

SingleInstanceLock::~SingleInstanceLock() = default;

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
