#pragma once
// The running instance's end of the instance socket: a listening local socket through which a
// later start asks for a window to be brought to the front. One request per connection: a line
// with the window's title.
//
// It is made to outlast any peer: running out of descriptors pauses accepting instead of giving
// up the socket, a peer that says nothing is dropped after a short time, and only a few
// connections are served at once (the others wait in the socket's backlog).

#include "platform/unique_fd.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace mv {

class InstanceServer {
public:
    using RequestHandler = std::function<void(const QString& windowTitle)>;

    InstanceServer();
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // Listens at `socketPath`, replacing a socket left there (the caller holds the instance lock,
    // so nobody else serves it). False, with the system's reason in `error`, when it can't.
    bool Listen(const QString& socketPath, RequestHandler handler, int& error);

private:
    struct Connection;

    void AcceptPending();
    void PauseAccepting();
    void ReadRequest(int fd);
    void Finish(int fd);

    QString socketPath_;
    RequestHandler handler_;
    UniqueFd listening_;
    std::unique_ptr<QSocketNotifier> listenNotifier_;
    QTimer acceptRetry_;
    std::map<int, std::unique_ptr<Connection>> connections_;
    std::vector<std::unique_ptr<Connection>> finished_; // freed once their signals have returned
    QObject context_;                                   // runs the freeing of finished_
};

} // namespace mv
