#include "feeder_loop.h"

#include "platform/unique_fd.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace mv::feeder {
namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

int64_t ReceiverTimeNanoseconds(int64_t offsetMilliseconds) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return int64_t(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec +
           offsetMilliseconds * 1'000'000;
}

UniqueFd ListenOnLoopback(uint16_t port) {
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.IsValid())
        return {};
    const int on = 1;
    setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(socket.Get(), 4) != 0)
        return {};
    return socket;
}

uint16_t BoundPort(int socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

class Feeder {
public:
    explicit Feeder(const FeederOptions& options)
        : options_(options), fix_(options.fix), sending_(options.sending), random_(options.seed),
          delay_(options.minDelayMilliseconds * 1000, options.maxDelayMilliseconds * 1000) {}

    int Run() {
        listener_ = ListenOnLoopback(options_.port);
        if (!listener_.IsValid()) {
            std::perror("nmea-feeder: listen");
            return 1;
        }
        std::printf("listening %u\n", unsigned(BoundPort(listener_.Get())));
        std::fflush(stdout);

        const int64_t now = ReceiverTimeNanoseconds(options_.offsetMilliseconds);
        nextSecond_ = now / kNanosecondsPerSecond;
        ScheduleNext();
        if (sendAt_ < now) {
            ++nextSecond_;
            ScheduleNext();
        }
        while (!quit_) {
            const int64_t remaining =
                sendAt_ - ReceiverTimeNanoseconds(options_.offsetMilliseconds);
            if (remaining <= 0) {
                SendCycle();
                ++nextSecond_;
                ScheduleNext();
                continue;
            }
            if (!WaitForInput(remaining))
                return 1;
        }
        return 0;
    }

private:
    void ScheduleNext() {
        sendAt_ = nextSecond_ * kNanosecondsPerSecond + int64_t(delay_(random_)) * 1000;
    }

    void SendCycle() {
        if (!sending_ || !client_.IsValid())
            return;
        const std::string text = CycleSentences(nextSecond_, fix_);
        if (send(client_.Get(), text.data(), text.size(), MSG_NOSIGNAL) != ssize_t(text.size()))
            client_.Reset();
    }

    // Waits at most `nanoseconds` for a connection, the reader's data or a command.
    bool WaitForInput(int64_t nanoseconds) {
        pollfd fds[3] = {{listener_.Get(), POLLIN, 0},
                         {stdinOpen_ ? STDIN_FILENO : -1, POLLIN, 0},
                         {client_.Get(), POLLIN, 0}};
        const timespec timeout{time_t(nanoseconds / kNanosecondsPerSecond),
                               long(nanoseconds % kNanosecondsPerSecond)};
        if (ppoll(fds, 3, &timeout, nullptr) < 0)
            return errno == EINTR;
        if (fds[0].revents & POLLIN) {
            UniqueFd accepted(accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (accepted.IsValid())
                client_ = std::move(accepted); // a restarted gpsd replaces the old connection
        }
        if (fds[1].revents & (POLLIN | POLLHUP))
            ReadCommands();
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR))
            DrainClient();
        return true;
    }

    // gpsd may probe the receiver; what it writes is read and dropped.
    void DrainClient() {
        char scratch[512];
        const ssize_t count = recv(client_.Get(), scratch, sizeof scratch, MSG_DONTWAIT);
        if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR))
            client_.Reset();
    }

    void ReadCommands() {
        char chunk[256];
        const ssize_t count = read(STDIN_FILENO, chunk, sizeof chunk);
        if (count <= 0) {
            if (count == 0 || errno != EINTR)
                stdinOpen_ = false; // keep feeding; nobody controls us any more
            return;
        }
        pending_.append(chunk, size_t(count));
        for (size_t end = pending_.find('\n'); end != std::string::npos;
             end = pending_.find('\n')) {
            Execute(std::string_view(pending_).substr(0, end));
            pending_.erase(0, end + 1);
        }
    }

    void Execute(std::string_view command) {
        if (!command.empty() && command.back() == '\r')
            command.remove_suffix(1);
        if (command.starts_with("fix ")) {
            if (const std::optional<FixKind> fix = ParseFixKind(command.substr(4)))
                fix_ = *fix;
            else
                std::fprintf(stderr, "nmea-feeder: unknown fix in \"%.*s\"\n", int(command.size()),
                             command.data());
        } else if (command == "stop") {
            sending_ = false;
        } else if (command == "start") {
            sending_ = true;
        } else if (command == "quit") {
            quit_ = true;
        } else if (!command.empty()) {
            std::fprintf(stderr, "nmea-feeder: unknown command \"%.*s\"\n", int(command.size()),
                         command.data());
        }
    }

    FeederOptions options_;
    FixKind fix_;
    bool sending_;
    bool quit_ = false;
    bool stdinOpen_ = true;
    std::mt19937 random_;
    std::uniform_int_distribution<uint32_t> delay_; // microseconds
    UniqueFd listener_;
    UniqueFd client_;
    std::string pending_;
    int64_t nextSecond_ = 0;
    int64_t sendAt_ = 0;
};

} // namespace

int RunFeeder(const FeederOptions& options) {
    Feeder feeder(options);
    return feeder.Run();
}

} // namespace mv::feeder
