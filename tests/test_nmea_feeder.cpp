// The NMEA feeder on its own: when each cycle leaves, and what it says.

#include "gps_test_env.h"

#include <QTemporaryDir>
#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mv {
namespace {

struct Arrival {
    std::chrono::system_clock::time_point time;
    std::string sentence;
};

// The $GPRMC sentences that arrive within `duration`, stamped with their arrival.
std::vector<Arrival> ReceiveRmc(uint16_t port, std::chrono::milliseconds duration) {
    std::vector<Arrival> arrivals;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return arrivals;
    }
    const auto end = std::chrono::steady_clock::now() + duration;
    std::string pending;
    while (std::chrono::steady_clock::now() < end) {
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, 50) <= 0)
            continue;
        char chunk[1024];
        const ssize_t count = recv(fd, chunk, sizeof chunk, 0);
        if (count <= 0)
            break;
        const auto now = std::chrono::system_clock::now();
        pending.append(chunk, size_t(count));
        for (size_t eol = pending.find("\r\n"); eol != std::string::npos;
             eol = pending.find("\r\n")) {
            if (pending.starts_with("$GPRMC"))
                arrivals.push_back({now, pending.substr(0, eol)});
            pending.erase(0, eol + 2);
        }
    }
    close(fd);
    return arrivals;
}

bool ChecksumMatches(std::string_view sentence) {
    const size_t star = sentence.find('*');
    if (!sentence.starts_with('$') || star == std::string_view::npos || star + 3 != sentence.size())
        return false;
    unsigned sum = 0;
    for (char c : sentence.substr(1, star - 1))
        sum ^= static_cast<unsigned char>(c);
    return std::stoul(std::string(sentence.substr(star + 1)), nullptr, 16) == sum;
}

TEST(NmeaFeeder, SendsEachCycleWithinItsDelayRangeStampedWithItsSecond) {
    QTemporaryDir dir;
    test::ChildProcess feeder;
    ASSERT_TRUE(feeder.Start({MV_BIN_DIR "/marovellastrine-nmea-feeder", "--port", "0",
                              "--delay-ms", "250:350", "--seed", "7"},
                             dir.filePath("feeder.log").toStdString(), true));
    std::string line;
    ASSERT_TRUE(feeder.ReadLine(line, 5000) && line.starts_with("listening "));

    const std::vector<Arrival> arrivals =
        ReceiveRmc(uint16_t(std::stoi(line.substr(10))), std::chrono::milliseconds(2500));
    ASSERT_GE(arrivals.size(), 2u);
    for (const Arrival& arrival : arrivals) {
        SCOPED_TRACE(arrival.sentence);
        EXPECT_TRUE(ChecksumMatches(arrival.sentence));
        const auto sinceEpoch = arrival.time.time_since_epoch();
        const auto second = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
        const auto intoSecond =
            std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - second).count();
        EXPECT_GE(intoSecond, 250);
        EXPECT_LT(intoSecond, 350 + 50); // delivery on loopback takes far less
        const std::chrono::hh_mm_ss clock{second % std::chrono::days(1)};
        char stamp[16];
        std::snprintf(stamp, sizeof stamp, "%02d%02d%02d.00", int(clock.hours().count()),
                      int(clock.minutes().count()), int(clock.seconds().count()));
        EXPECT_EQ(arrival.sentence.substr(7, 9), stamp);
    }
}

} // namespace
} // namespace mv
