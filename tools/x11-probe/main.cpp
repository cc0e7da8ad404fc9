// marovellastrine-x11-probe: observes and drives the real program under an X server (Xvfb).
//
//   marovellastrine-x11-probe close WINDOW
//       sends the close request (WM_DELETE_WINDOW) to WINDOW (decimal or 0x...).
//   marovellastrine-x11-probe clipboard [--timeout-ms N]
//       prints the text on the CLIPBOARD selection (as UTF-8), as a paste would receive it.
//   marovellastrine-x11-probe first-frame [--timeout-ms N] [--hold-ms N] -- PROGRAM [ARGS...]
//       starts PROGRAM, prints the milliseconds from its start to its first drawn frame (the first
//       moment its first mapped top-level window shows a face: at least 8 distinct colours on the
//       rows at a third and half of its height), waits --hold-ms, prints the program's peak
//       resident memory, closes it with a close request and prints its exit status.
// Exits 0 when everything went as described, 1 otherwise, 2 on a usage error.

#include "x11_probe.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace mv::probe;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kFaceColours = 8;
constexpr milliseconds kPollInterval{1};
constexpr milliseconds kExitWait{5000};

constexpr std::string_view kUsage =
    "usage: marovellastrine-x11-probe close WINDOW\n"
    "       marovellastrine-x11-probe clipboard [--timeout-ms N]\n"
    "       marovellastrine-x11-probe first-frame [--timeout-ms N] [--hold-ms N] -- PROGRAM "
    "[ARGS...]\n";

template <typename Integer>
bool ParseInteger(std::string_view text, Integer& value) {
    int base = 10;
    if (text.starts_with("0x")) {
        text.remove_prefix(2);
        base = 16;
    }
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value, base);
    return !text.empty() && error == std::errc() && last == end;
}

// The peak resident set of a running process in KiB, from the kernel's account (VmHWM).
long PeakResidentKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        long kib = 0;
        if (line.starts_with("VmHWM:") && std::sscanf(line.c_str(), "VmHWM: %ld", &kib) == 1)
            return kib;
    }
    return -1;
}

// Waits for the child to end; its exit status, or nothing when it was still running at the
// deadline (it is then killed and reaped).
std::optional<int> WaitForExit(pid_t pid, milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    int status = 0;
    while (Clock::now() < deadline) {
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (ended < 0 && errno != EINTR)
            return std::nullopt;
        std::this_thread::sleep_for(milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return std::nullopt;
}

int RunClose(xcb_connection_t* connection, std::string_view windowText) {
    xcb_window_t window = 0;
    if (!ParseInteger(windowText, window)) {
        std::fputs(kUsage.data(), stderr);
        return 2;
    }
    if (!SendCloseRequest(connection, window)) {
        std::fprintf(stderr, "x11-probe: could not send the close request to 0x%x\n", window);
        return 1;
    }
    return 0;
}

int RunClipboard(xcb_connection_t* connection, xcb_window_t root, int argc, char** argv) {
    long timeoutMs = 3000;
    if (argc != 0 && (argc != 2 || std::string_view(argv[0]) != "--timeout-ms" ||
                      !ParseInteger(std::string_view(argv[1]), timeoutMs))) {
        std::fputs(kUsage.data(), stderr);
        return 2;
    }
    const std::optional<std::string> text =
        ReadClipboardText(connection, root, milliseconds(timeoutMs));
    if (!text) {
        std::fprintf(stderr, "x11-probe: no text on the clipboard within %ld ms\n", timeoutMs);
        return 1;
    }
    std::fwrite(text->data(), 1, text->size(), stdout);
    return 0;
}

int RunFirstFrame(xcb_connection_t* connection, xcb_window_t root, int argc, char** argv) {
    long timeoutMs = 10'000;
    long holdMs = 1000;
    int i = 0;
    for (; i < argc && std::string_view(argv[i]) != "--"; i += 2) {
        const std::string_view name = argv[i];
        long* target = name == "--timeout-ms" ? &timeoutMs
                       : name == "--hold-ms"  ? &holdMs
                                              : nullptr;
        if (target == nullptr || i + 1 >= argc ||
            !ParseInteger(std::string_view(argv[i + 1]), *target)) {
            std::fputs(kUsage.data(), stderr);
            return 2;
        }
    }
    if (i + 1 >= argc) {
        std::fputs(kUsage.data(), stderr);
        return 2;
    }
    char** command = argv + i + 1;

    WatchTopLevelMaps(connection, root);
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        execvp(command[0], command);
        _exit(127);
    }

    std::optional<xcb_window_t> window;
    std::optional<double> firstFrameMs;
    while (!firstFrameMs && Clock::now() - start < milliseconds(timeoutMs)) {
        if (!window)
            window = PollMappedWindow(connection);
        if (window) {
            if (const auto size = ReadWindowSize(connection, *window);
                size && CountRowColours(connection, *window, *size) >= kFaceColours) {
                firstFrameMs =
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                break;
            }
        }
        if (waitpid(child, nullptr, WNOHANG) == child) {
            std::fprintf(stderr, "x11-probe: the program ended before its first frame\n");
            return 1;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    if (!firstFrameMs) {
        std::fprintf(stderr, "x11-probe: no frame within %ld ms\n", timeoutMs);
        WaitForExit(child, milliseconds(0));
        return 1;
    }
    std::printf("first_frame_ms=%.1f\n", *firstFrameMs);

    std::this_thread::sleep_for(milliseconds(holdMs));
    std::printf("peak_rss_kib=%ld\n", PeakResidentKib(child));
    std::fflush(stdout);

    SendCloseRequest(connection, *window);
    const std::optional<int> exitCode = WaitForExit(child, kExitWait);
    if (!exitCode) {
        std::fprintf(stderr, "x11-probe: the program did not end after the close request\n");
        return 1;
    }
    std::printf("exit=%d\n", *exitCode);
    return *exitCode == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage.data(), stderr);
        return 2;
    }
    xcb_window_t root = 0;
    const XcbConnection connection = ConnectToDisplay(root);
    if (!connection) {
        std::fprintf(stderr, "x11-probe: cannot connect to the X display\n");
        return 1;
    }
    const std::string_view command = argv[1];
    if (command == "close" && argc == 3)
        return RunClose(connection.get(), argv[2]);
    if (command == "clipboard")
        return RunClipboard(connection.get(), root, argc - 2, argv + 2);
    if (command == "first-frame")
        return RunFirstFrame(connection.get(), root, argc - 2, argv + 2);
    std::fputs(kUsage.data(), stderr);
    return 2;
}
