// A skin window's shape as the X server on $DISPLAY takes it through Qt, as the program gives
// it: a 1-pixel checkerboard of mask colour, N x N, set on a shown window as one rectangle per
// run (as the window once took it) and as the outline it takes now. Each time includes making
// the region and the server's work (QGuiApplication::sync). The rectangle counts are counters.
// Run it on an Xvfb of its own, large enough for the windows, e.g.
//   Xvfb :77 -screen 0 4096x4096x24 & DISPLAY=:77 build/bench/bench_shape
#include "skin/WindowShape.h"

#include <QApplication>
#include <QWidget>
#include <benchmark/benchmark.h>

namespace {

constexpr SkinColor Magenta = 0xFF00FF;

Bitmap24 Checkerboard(int side)
{
    Bitmap24 bg(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            bg.SetPixel(x, y, (x + y) % 2 ? Magenta : 0x203040);
    return bg;
}

template <typename MakeRects> void Shape(benchmark::State& state, MakeRects makeRects)
{
    const int side = int(state.range(0));
    const Bitmap24 bg = Checkerboard(side);
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setFixedSize(side, side);
    window.show();
    QGuiApplication::sync();
    std::size_t rects = 0;
    for (auto _ : state) {
        const std::vector<RegionRect> made = makeRects(bg);
        rects = made.size();
        window.setMask(ToRegion(made));
        QGuiApplication::sync();
        state.PauseTiming();
        window.clearMask();
        QGuiApplication::sync();
        state.ResumeTiming();
    }
    state.counters["rects"] = double(rects);
}

void BM_ShapeCheckerboardPerRun(benchmark::State& state)
{
    Shape(state, [](const Bitmap24& bg) { return BuildSkinRegion(bg, true, Magenta); });
}
// At 2048 the 2.1 million rectangles (16.8 MB) are more than one X request may carry: the
// server drops the connection, and the program with it.
BENCHMARK(BM_ShapeCheckerboardPerRun)
    ->Arg(512)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_ShapeCheckerboardOutline(benchmark::State& state)
{
    Shape(state, [](const Bitmap24& bg) { return BuildWindowOutline(bg, true, Magenta).Rects; });
}
BENCHMARK(BM_ShapeCheckerboardOutline)
    ->Arg(512)
    ->Arg(1024)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
