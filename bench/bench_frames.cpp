// Frames of the clock face with the default skins: a full frame, and the partial frame of a
// second-hand tick with and without smooth motion, at 240 x 320, 480 x 640 and 1080 x 1920 in the
// four drawing modes.
#include "clock/face_renderer.h"
#include "platform/screen.h"
#include "skin/skin_loader.h"

#include <QGuiApplication>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace {

struct Mode {
    const char* name;
    bool smoothShapes;
    bool shadow;
};
constexpr Mode kModes[] = {
    {"plain", false, false},
    {"smooth", true, false},
    {"shadow", false, true},
    {"smooth+shadow", true, true},
};

struct Window {
    int skin;
    int32_t width;
    int32_t height;
};
constexpr Window kWindows[] = {{240, 240, 320}, {480, 480, 640}, {1080, 1080, 1920}};

constexpr double kDegree = std::numbers::pi / 180.0;

// A face at 10:08:00 with its full frame drawn; null when the skin is missing.
std::unique_ptr<mv::FaceRenderer> MakeFace(const Window& window, const Mode& mode) {
    auto face = std::make_unique<mv::FaceRenderer>();
    const QString path = QStringLiteral(MV_BUILD_DATA_DIR "/skins/default_%1.scs").arg(window.skin);
    if (!face->LoadSkin(path, {mode.smoothShapes, false, mode.shadow}))
        return nullptr;
    face->Hands().hands[0].angle = 304.0 * kDegree;
    face->Hands().hands[1].angle = 48.0 * kDegree;
    face->ResizeBackBuffer(window.width, window.height, false);
    return face;
}

void FullFrame(benchmark::State& bench, Window window, Mode mode) {
    const auto face = MakeFace(window, mode);
    if (!face) {
        bench.SkipWithError("default skin missing: build the default_skins target");
        return;
    }
    for (auto _ : bench) {
        face->DrawFullFrame(false);
        benchmark::ClobberMemory();
    }
}

// The second hand goes round in steps of `degrees`: 6 for the ticks without smooth motion, 0.6 for
// those with it (every 100 ms); so every position of the dial is measured.
void SecondHandTick(benchmark::State& bench, Window window, Mode mode, double degrees) {
    const auto face = MakeFace(window, mode);
    if (!face) {
        bench.SkipWithError("default skin missing: build the default_skins target");
        return;
    }
    const int steps = int(std::lround(360.0 / degrees));
    int step = 0;
    std::vector<double> ticks;
    for (auto _ : bench) {
        step = (step + 1) % steps;
        face->Hands().hands[2].angle = degrees * step * kDegree;
        const auto start = std::chrono::steady_clock::now();
        face->DrawPartialFrame(mv::PendingAngles{}, false); // no time read: only the second moved
        benchmark::ClobberMemory();
        ticks.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    // Positions differ a lot (a hand along an axis has a thin dirty rectangle), so the median
    // tick says more than the mean.
    std::nth_element(ticks.begin(), ticks.begin() + ptrdiff_t(ticks.size() / 2), ticks.end());
    if (!ticks.empty())
        bench.counters["median_us"] = ticks[ticks.size() / 2];
}

void RegisterFrames() {
    for (const Window& window : kWindows) {
        for (const Mode& mode : kModes) {
            const std::string suffix = "/" + std::to_string(window.width) + "x" +
                                       std::to_string(window.height) + "/" + mode.name;
            benchmark::RegisterBenchmark(("BM_FullFrame" + suffix).c_str(), FullFrame, window, mode)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(("BM_SecondHandTick" + suffix).c_str(), SecondHandTick,
                                         window, mode, 6.0)
                ->Unit(benchmark::kMicrosecond)
                ->Iterations(3000);
            benchmark::RegisterBenchmark(("BM_SmoothMotionTick" + suffix).c_str(), SecondHandTick,
                                         window, mode, 0.6)
                ->Unit(benchmark::kMicrosecond)
                ->Iterations(3000);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    mv::OverrideScreenDpi(96, 96);
    RegisterFrames();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
