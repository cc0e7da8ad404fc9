#include "fake_gpsd.h"

#include <QDateTime>
#include <QTimeZone>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace mv::test {

namespace {

using namespace std::chrono_literals;

constexpr auto kPollInterval = 20ms; // how soon the thread sees a stop request
constexpr char kVersion[] =
    R"({"class":"VERSION","release":"3.22","rev":"3.22","proto_major":3,"proto_minor":14})"
    "\n";
// The device list and the WATCH answer with what a client reads of them.
constexpr char kWatchAnswer[] = R"({"class":"DEVICES","devices":[{"class":"DEVICE",)"
                                R"("path":"/dev/fake0","activated":"2026-01-01T00:00:00.000Z"}]})"
                                "\n"
                                R"({"class":"WATCH","enable":true,"json":true})"
                                "\n";

} // namespace

int64_t UnixNanosecondsNow() {
    return std::chrono::system_clock::now().time_since_epoch() / std::chrono::nanoseconds(1);
}

std::string TpvReport(int64_t unixNanoseconds, int mode, bool withTime) {
    std::string report = R"({"class":"TPV","device":"/dev/fake0","mode":)" + std::to_string(mode);
    if (withTime)
        report += R"(,"time":")" +
                  QDateTime::fromMSecsSinceEpoch(unixNanoseconds / 1'000'000, QTimeZone::utc())
                      .toString(Qt::ISODateWithMs)
                      .toStdString() +
                  '"';
    if (mode >= 2)
        report += R"(,"ept":0.005,"lat":48.117,"lon":11.517)";
    if (mode == 3)
        report += R"(,"alt":545.4)";
    return report + "}\n";
}

FakeGpsd::~FakeGpsd() {
    stop_.store(true);
    if (thread_.joinable())
        thread_.join();
}

bool FakeGpsd::Start() {
    listener_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!listener_.IsValid() ||
        bind(listener_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_.Get(), 4) != 0 ||
        getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void FakeGpsd::Serve() {
    while (!stop_.load()) {
        pollfd fds[2] = {{listener_.Get(), POLLIN, 0}, {client_.Get(), POLLIN, 0}};
        poll(fds, 2, int(kPollInterval.count()));
        if (fds[0].revents & POLLIN) {
            // A client that connects again replaces the old connection.
            client_.Reset(accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            watching_ = false;
            received_.clear();
            if (client_.IsValid() && !SendAll(kVersion))
                client_.Reset();
        }
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && !ReadClient())
            client_.Reset();
        if (!client_.IsValid() || !watching_ || std::chrono::steady_clock::now() < nextStep_)
            continue;
        nextStep_ += interval_;
        if (!SendAll(script_(stepsSent_++)))
            client_.Reset();
    }
}

bool FakeGpsd::ReadClient() {
    char chunk[512];
    const ssize_t count = recv(client_.Get(), chunk, sizeof chunk, 0);
    if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR))
        return false;
    if (count > 0)
        received_.append(chunk, size_t(count));
    if (!watching_ && received_.find("?WATCH") != std::string::npos) {
        watching_ = true;
        nextStep_ = std::chrono::steady_clock::now();
        return SendAll(kWatchAnswer);
    }
    return true;
}

bool FakeGpsd::SendAll(std::string_view text) {
    while (!text.empty() && !stop_.load()) {
        const ssize_t sent = send(client_.Get(), text.data(), text.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            text.remove_prefix(size_t(sent));
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd writable{client_.Get(), POLLOUT, 0};
        poll(&writable, 1, int(kPollInterval.count()));
        if (writable.revents & (POLLHUP | POLLERR))
            return false;
    }
    return text.empty();
}

} // namespace mv::test
