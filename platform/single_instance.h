#pragma once
// One running instance per user: a lock held for the life of the process (the kernel drops it
// when the process dies, so a crashed instance never blocks the next start) and a local socket
// named after it, through which a second start asks the running instance to bring its window to
// the front.

#include "platform/instance_server.h"
#include "platform/unique_fd.h"

#include <QString>
#include <QStringView>

namespace mv {

enum class InstanceLockState {
    Held,          // this process is the running instance
    HeldByAnother, // another process holds the lock
    Unavailable,   // the lock could not be made
};

class SingleInstanceLock {
public:
    // Tries to take the lock `name` in the private runtime folder. While held, requests to raise
    // a window are served: the visible dialog whose title the request names comes to the front.
    explicit SingleInstanceLock(QStringView name);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    InstanceLockState State() const { return state_; }
    // While Unavailable: which folder or file failed and the system's reason, for the user.
    const QString& Problem() const { return problem_; }

private:
    InstanceLockState state_ = InstanceLockState::Unavailable;
    QString problem_;
    UniqueFd lockFile_;
    InstanceServer server_;
};

// Asks the instance holding lock `name` to bring its dialog titled `windowTitle` to the front.
// Waits at most a second; false when no instance could be told.
bool AskRunningInstanceToRaise(QStringView name, QStringView windowTitle);

} // namespace mv
