// The hot drawing operations of a smooth-mode frame with shadows: filling a hand into the
// supersample surface, the 2 x 2 enlarging copy, the shadow blend and the 2 x 2 averaging.
#include "clock/hand_geometry.h"
#include "clock/hand_raster.h"
#include "platform/draw_blend.h"
#include "platform/draw_scale.h"
#include "platform/draw_shapes.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <random>

namespace {

QImage Noise(int width, int height, uint32_t seed) {
    QImage image(width, height, QImage::Format_RGB555);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = uint16_t(random() & 0x7FFF);
    }
    return image;
}

// The minute hand of the 480-pixel default skin at scale 2, about the centre of an 820 x 820
// supersample surface.
std::array<mv::Point, 4> MinuteHandQuad(double angle) {
    const mv::HandShape shape{0x202020, 190, 6, 4, -25, mv::kCapBase | mv::kCapTip};
    mv::ShapeGeometry geometry;
    mv::ComputeShapeGeometry(shape, geometry, angle, {205, 205}, mv::Point{410, 410}, 2);
    return *geometry.surfaceQuad;
}

void BM_FillHandPolygon(benchmark::State& state) {
    QImage surface = Noise(820, 820, 1);
    const auto quad = MinuteHandQuad(0.9);
    for (auto _ : state) {
        mv::FillPolygon(surface, quad, 0x202020, nullptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillHandPolygon)->Unit(benchmark::kMicrosecond);

// The same fill through QPainter, for comparison.
void BM_FillHandPolygonQPainter(benchmark::State& state) {
    QImage surface = Noise(820, 820, 1);
    const auto quad = MinuteHandQuad(0.9);
    const QPoint points[4] = {{quad[0].x, quad[0].y},
                              {quad[1].x, quad[1].y},
                              {quad[2].x, quad[2].y},
                              {quad[3].x, quad[3].y}};
    for (auto _ : state) {
        QPainter painter(&surface);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x20, 0x20, 0x20));
        painter.drawPolygon(points, 4);
        painter.end();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillHandPolygonQPainter)->Unit(benchmark::kMicrosecond);

void BM_ScaleCopy2x_200(benchmark::State& state) {
    const QImage source = Noise(200, 200, 2);
    QImage target = Noise(400, 400, 3);
    for (auto _ : state) {
        mv::ScaleCopy2x(target, {0, 0}, source, {0, 0, 200, 200}, nullptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ScaleCopy2x_200)->Unit(benchmark::kMicrosecond);

// Range 0: the shadow surface is unrelated noise (every pixel blended); range 1: a copy of the
// target with one black hand in it, as in a frame.
void BM_Blend_400(benchmark::State& state) {
    const QImage target = Noise(400, 400, 4);
    QImage source = state.range(0) == 0 ? Noise(400, 400, 5) : target.copy();
    if (state.range(0) == 1)
        mv::FillPolygon(source, MinuteHandQuad(0.9), 0, nullptr);
    QImage work = target.copy();
    for (auto _ : state) {
        mv::BlendConstantAlpha(work, {0, 0}, source, {0, 0, 400, 400}, 96, nullptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Blend_400)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Downsample2x2_200(benchmark::State& state) {
    mv::HandRenderer renderer;
    renderer.handReach = 100;
    renderer.shadowReach = 100;
    mv::SetPivot(renderer, 100, 100);
    mv::CreateDrawSurface(400, 400, 16, renderer.supersampleSurface);
    renderer.supersampleSurface.bitmap = Noise(400, 400, 6);
    renderer.supersampleSurface.pixels =
        reinterpret_cast<uint16_t*>(renderer.supersampleSurface.bitmap.bits());
    mv::DrawSurface backBuffer;
    mv::CreateDrawSurface(241, 320, 16, backBuffer);
    for (auto _ : state) {
        mv::Downsample2x2(renderer, backBuffer, {0, 0, 200, 200});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Downsample2x2_200)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
