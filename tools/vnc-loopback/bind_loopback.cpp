// Preloaded (LD_PRELOAD) into a program whose listening sockets must be reachable from this
// machine only: a bind to the wildcard address becomes a bind to the loopback address. Every other
// bind, and every other socket call, passes through unchanged.

#include <cstring>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

using BindFunction = int (*)(int, const sockaddr*, socklen_t);

int RealBind(int socket, const sockaddr* address, socklen_t length) {
    static const auto bindFunction = reinterpret_cast<BindFunction>(dlsym(RTLD_NEXT, "bind"));
    return bindFunction(socket, address, length);
}

int BindIpv4Loopback(int socket, const sockaddr* address) {
    sockaddr_in loopback{};
    std::memcpy(&loopback, address, sizeof loopback);
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return RealBind(socket, reinterpret_cast<const sockaddr*>(&loopback), sizeof loopback);
}

// A dual-stack socket (IPV6_V6ONLY off) takes IPv4 clients on the v4-mapped 127.0.0.1, which is
// where viewers told "127.0.0.1" or "localhost" arrive; an IPv6-only socket takes ::1.
int BindIpv6Loopback(int socket, const sockaddr* address) {
    sockaddr_in6 loopback{};
    std::memcpy(&loopback, address, sizeof loopback);
    int v6Only = 1;
    socklen_t optionLength = sizeof v6Only;
    getsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &v6Only, &optionLength);
    if (v6Only != 0) {
        loopback.sin6_addr = in6addr_loopback;
    } else {
        constexpr unsigned char kMappedLoopback[16] = {0, 0, 0,    0,    0,   0, 0, 0,
                                                       0, 0, 0xFF, 0xFF, 127, 0, 0, 1};
        std::memcpy(&loopback.sin6_addr, kMappedLoopback, sizeof kMappedLoopback);
    }
    return RealBind(socket, reinterpret_cast<const sockaddr*>(&loopback), sizeof loopback);
}

} // namespace

extern "C" int bind(int socket, const sockaddr* address, socklen_t length) {
    if (address != nullptr && address->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
        sockaddr_in ipv4{};
        std::memcpy(&ipv4, address, sizeof ipv4);
        if (ipv4.sin_addr.s_addr == htonl(INADDR_ANY))
            return BindIpv4Loopback(socket, address);
    }
    if (address != nullptr && address->sa_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
        sockaddr_in6 ipv6{};
        std::memcpy(&ipv6, address, sizeof ipv6);
        if (IN6_IS_ADDR_UNSPECIFIED(&ipv6.sin6_addr))
            return BindIpv6Loopback(socket, address);
    }
    return RealBind(socket, address, length);
}
