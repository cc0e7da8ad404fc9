#include "platform/instance_server.h"

#include <QByteArray>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace mv {

namespace {

constexpr int kBacklog = 16;
constexpr size_t kMostConnections = 8;
constexpr qsizetype kLongestRequest = 1024; // bytes; a window title is far shorter
constexpr int kPeerTimeoutMs = 2000;        // a start sends its request at once
constexpr int kAcceptRetryMs = 250;         // after running out of descriptors

bool IsOutOfResources(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

} // namespace

struct InstanceServer::Connection {
    UniqueFd socket;
    QByteArray received;
    std::unique_ptr<QSocketNotifier> readable;
    QTimer deadline;
};

InstanceServer::InstanceServer() = default;

InstanceServer::~InstanceServer() {
    if (listening_.IsValid())
        ::unlink(QFile::encodeName(socketPath_).constData());
}

bool InstanceServer::Listen(const QString& socketPath, RequestHandler handler, int& error) {
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path) {
        error = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    UniqueFd listening(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    ::unlink(path.constData());
    if (!listening.IsValid() ||
        ::bind(listening.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path.constData(), 0600) != 0 || ::listen(listening.Get(), kBacklog) != 0) {
        error = errno;
        return false;
    }
    socketPath_ = socketPath;
    handler_ = std::move(handler);
    listening_ = std::move(listening);
    listenNotifier_ = std::make_unique<QSocketNotifier>(listening_.Get(), QSocketNotifier::Read);
    QObject::connect(listenNotifier_.get(), &QSocketNotifier::activated, &context_,
                     [this] { AcceptPending(); });
    acceptRetry_.setSingleShot(true);
    QObject::connect(&acceptRetry_, &QTimer::timeout, &context_, [this] {
        listenNotifier_->setEnabled(true);
        AcceptPending();
    });
    return true;
}

void InstanceServer::AcceptPending() {
    while (connections_.size() < kMostConnections) {
        const int fd = ::accept4(listening_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO)
                continue;
            if (IsOutOfResources(errno))
                PauseAccepting(); // the waiting peers stay queued; try again shortly
            return;
        }
        auto connection = std::make_unique<Connection>();
        connection->socket.Reset(fd);
        connection->readable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(connection->readable.get(), &QSocketNotifier::activated, &context_,
                         [this, fd] { ReadRequest(fd); });
        connection->deadline.setSingleShot(true);
        QObject::connect(&connection->deadline, &QTimer::timeout, &context_,
                         [this, fd] { Finish(fd); });
        connection->deadline.start(kPeerTimeoutMs);
        connections_[fd] = std::move(connection);
    }
    // As many peers as served at once: the next ones wait until one of these is done.
    listenNotifier_->setEnabled(false);
}

void InstanceServer::PauseAccepting() {
    listenNotifier_->setEnabled(false);
    acceptRetry_.start(kAcceptRetryMs);
}

void InstanceServer::ReadRequest(int fd) {
    const auto found = connections_.find(fd);
    if (found == connections_.end())
        return;
    Connection& connection = *found->second;
    char buffer[256];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return; // the rest of the line is still on its way
        if (got <= 0)
            break; // closed before a whole line, or failed
        connection.received.append(buffer, got);
        const qsizetype end = connection.received.indexOf('\n');
        if (end >= 0) {
            const QString title = QString::fromUtf8(connection.received.first(end));
            Finish(fd);
            handler_(title);
            return;
        }
        if (connection.received.size() > kLongestRequest)
            break;
    }
    Finish(fd);
}

void InstanceServer::Finish(int fd) {
    const auto found = connections_.find(fd);
    if (found == connections_.end())
        return;
    std::unique_ptr<Connection> connection = std::move(found->second);
    connections_.erase(found);
    connection->readable->setEnabled(false);
    connection->deadline.stop();
    ::shutdown(fd, SHUT_RDWR); // the peer sees the end now
    // Freed (and its descriptor closed) later: this may run inside one of its own signals, and
    // while it is open its number can't come back for another connection.
    if (finished_.empty())
        QMetaObject::invokeMethod(
            &context_, [this] { finished_.clear(); }, Qt::QueuedConnection);
    finished_.push_back(std::move(connection));
    if (!acceptRetry_.isActive())
        listenNotifier_->setEnabled(true);
}

} // namespace mv
