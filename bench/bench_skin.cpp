// A 320x240 full-mode skin with every meter masked, every lamp, five read-outs and seven graphs
// of 64 samples, drawn as the tick draws it; beside it one memcpy of the same surface, the floor
// any frame has to pay, and the window region of a masked background. The window's region of a
// 4096 x 4096 checkerboard is built both ways: one rectangle per run, as the window once took
// it, and the outline it takes now (the rectangle counts are counters).
#include "skin/SkinCatalogue.h"
#include "skin/SkinImage.h"
#include "skin/SkinRenderer.h"
#include "skin/SkinSystem.h"
#include "skin/WindowShape.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>

namespace {

constexpr SkinColor Magenta = 0xFF00FF;

Bitmap24 Background()
{
    Bitmap24 bg(320, 240);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            bg.SetPixel(x, y, ((x / 7 + y / 5) % 9 == 0) ? Magenta : MakeSkinColor(x, y, 90));
    return bg;
}

TSkinElement Element(int frames, int width, int frameHeight, int x, int y)
{
    TSkinElement e;
    e.Enabled = true;
    e.X = x;
    e.Y = y;
    e.Frames = frames;
    e.Width = width;
    e.FrameHeight = frameHeight;
    Bitmap24 picture(width, frames * frameHeight);
    for (int r = 0; r < picture.Height(); ++r)
        for (int c = 0; c < width; ++c)
            picture.SetPixel(c, r, (c + r) % 5 == 0 ? Magenta : MakeSkinColor(r, c, 200));
    e.Strip = DeltaStrip(picture, frames, frameHeight);
    e.MaskFlag = true;
    e.MaskColor = Magenta;
    return e;
}

// A history as a busy machine leaves it: drifting load with small steps.
std::vector<int> SmoothHistory()
{
    std::vector<int> history(64);
    for (int i = 0; i < 64; ++i)
        history[std::size_t(i)] = 50 + (i % 32 < 16 ? i % 16 : 16 - i % 16) * 2 + (i * 7) % 5;
    return history;
}

// The worst case: every sample jumps by a third of the range or more.
std::vector<int> JaggedHistory()
{
    std::vector<int> history(64);
    for (int i = 0; i < 64; ++i)
        history[std::size_t(i)] = (i * 37) % 101;
    return history;
}

struct BenchSkin
{
    TSkinSystem skin;
    SkinRenderInputs in;
    Bitmap24 surface;

    explicit BenchSkin(const std::vector<int>& history)
    {
        TSkinModeRecord& m = skin.Full;
        m.Enable = true;
        m.Background = Background();
        for (int i = 0; i < MeterCount; ++i) {
            m.Meters[i] = Element(21, 60, 8, 4 + (i % 2) * 160, 4 + (i / 2) * 12);
            m.Speeds[i] = 5;
        }
        for (int i = 0; i < LampCount; ++i)
            m.Lamps[i] = Element(i == LampPNG ? 4 : 2, 8, 8, 4 + i * 12, 56);
        m.Font.Enabled = true;
        m.Font.GlyphWidth = 6;
        m.Font.GlyphHeight = 9;
        m.Font.MaskFlag = true;
        for (int g = 0; g <= TSkinFont::FillerGlyph; ++g) {
            m.Font.Glyphs[g] = Element(1, 6, 9, 0, 0).Strip.Frame(0);
            m.Font.GlyphMasks[g] = MakeMask(m.Font.Glyphs[g], Magenta);
        }
        for (int r = 0; r < ReadoutCount; ++r)
            m.Readouts[r] = {true, 130 + r * 38, 56, 4, r % 2 == 0};
        for (int g = 0; g < GraphCount; ++g)
            m.Graphs[g] = {true,
                           4 + (g % 4) * 79,
                           72 + (g / 4) * 84,
                           75,
                           80,
                           MakeSkinColor(40 * g, 255 - 30 * g, 120),
                           g % 4,
                           64};
        in.FullMode = true;
        in.CpuUsage = {57, 40, 74};
        in.CpuCount = 2;
        in.MemoryLoad = 63;
        in.SwapLoad = 12;
        in.FreeResources = 80;
        in.DiskReadActive = in.NetActive = in.Pinging = true;
        in.PingLevel = 2;
        in.PingTime = 23;
        in.DiskReadPos = 35;
        in.NetSendPos = 90;
        in.CpuHistory = {history, history, history};
        in.MemHistory = in.SwapHistory = in.DiskReadHistory = in.DiskWriteHistory = history;
        in.NetRecvHistory = in.NetSendHistory = history;
        surface = m.Background;
    }
};

// Whole frames, or frames drawn in part as in the running monitor: there two meters and their
// read-outs move every frame and a graph step comes every 10th.
void RenderFrames(benchmark::State& state, const std::vector<int>& history, bool whole)
{
    BenchSkin b(history);
    TSkinRenderer renderer;
    int frame = 0;
    for (auto _ : state) {
        // Moving targets keep the meters easing as they do on a live system.
        b.in.CpuUsage[0] = std::uint32_t(frame * 7 % 101);
        b.in.MemoryLoad = frame * 13 % 101;
        b.in.HistoryStamp = std::uint64_t(frame / 10 + 1);
        if (whole)
            renderer.Invalidate();
        benchmark::DoNotOptimize(renderer.RenderSkin(b.skin, b.in, b.surface).data());
        ++frame;
    }
}

void BM_RenderSkinFull320x240(benchmark::State& state)
{
    RenderFrames(state, SmoothHistory(), true);
}
BENCHMARK(BM_RenderSkinFull320x240)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RenderSkinFull320x240JaggedGraphs(benchmark::State& state)
{
    RenderFrames(state, JaggedHistory(), true);
}
BENCHMARK(BM_RenderSkinFull320x240JaggedGraphs)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RenderSkinFull320x240JaggedGraphsPartial(benchmark::State& state)
{
    RenderFrames(state, JaggedHistory(), false);
}
BENCHMARK(BM_RenderSkinFull320x240JaggedGraphsPartial)->Repetitions(5)->ReportAggregatesOnly(true);

// The first shipped skin, the one a fresh install shows, in the running monitor's frames: the
// processor and memory move every frame, a graph step comes every 10th.
void RenderShippedSkin(benchmark::State& state, bool full)
{
    TSkinSystem skin;
    if (!skin.LoadSkin(QStringLiteral(PULSMIR_DATA_DIR "/Skin/AnalogMeter2.ini"))) {
        state.SkipWithError("the shipped skin does not load");
        return;
    }
    SkinRenderInputs in;
    in.FullMode = full;
    const std::vector<int> history = SmoothHistory();
    in.CpuHistory = {history};
    in.MemHistory = in.SwapHistory = in.DiskReadHistory = in.DiskWriteHistory = history;
    in.NetRecvHistory = in.NetSendHistory = history;
    Bitmap24 surface = skin.Mode(full).Background;
    TSkinRenderer renderer;
    int frame = 0;
    for (auto _ : state) {
        in.CpuUsage[0] = std::uint32_t(frame * 7 % 101);
        in.MemoryLoad = frame * 13 % 101;
        in.HistoryStamp = std::uint64_t(frame / 10 + 1);
        benchmark::DoNotOptimize(renderer.RenderSkin(skin, in, surface).data());
        ++frame;
    }
}

void BM_RenderShippedSkinCompact(benchmark::State& state)
{
    RenderShippedSkin(state, false);
}
BENCHMARK(BM_RenderShippedSkinCompact)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RenderShippedSkinFull(benchmark::State& state)
{
    RenderShippedSkin(state, true);
}
BENCHMARK(BM_RenderShippedSkinFull)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_MemcpySurface320x240(benchmark::State& state)
{
    Bitmap24 from = Background();
    Bitmap24 to(320, 240);
    for (auto _ : state) {
        std::memcpy(to.Row(0), from.Row(0), std::size_t(from.ByteSize()));
        benchmark::DoNotOptimize(to.Row(0));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpySurface320x240)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RegionOfMaskedBackground320x240(benchmark::State& state)
{
    Bitmap24 bg = Background();
    for (auto _ : state) {
        std::vector<RegionRect> rects = BuildSkinRegion(bg, true, Magenta);
        benchmark::DoNotOptimize(rects.data());
    }
}
BENCHMARK(BM_RegionOfMaskedBackground320x240)->Repetitions(5)->ReportAggregatesOnly(true);

Bitmap24 Checkerboard4096()
{
    Bitmap24 bg(4096, 4096);
    for (int y = 0; y < bg.Height(); ++y)
        for (int x = 0; x < bg.Width(); ++x)
            bg.SetPixel(x, y, (x + y) % 2 ? Magenta : 0x203040);
    return bg;
}

// Both window regions, each as the window is given it: the rectangles made into a QRegion.
void BM_WindowRegionPerRun(benchmark::State& state, const Bitmap24& bg)
{
    std::size_t rects = 0;
    for (auto _ : state) {
        const QRegion region = ToRegion(BuildSkinRegion(bg, true, Magenta));
        rects = std::size_t(region.rectCount());
        benchmark::DoNotOptimize(rects);
    }
    state.counters["rects"] = double(rects);
}

void BM_WindowRegionOutline(benchmark::State& state, const Bitmap24& bg)
{
    std::size_t rects = 0;
    int cell = 0;
    for (auto _ : state) {
        const WindowOutline outline = BuildWindowOutline(bg, true, Magenta);
        const QRegion region = ToRegion(outline.Rects);
        rects = std::size_t(region.rectCount());
        cell = outline.Cell;
        benchmark::DoNotOptimize(rects);
    }
    state.counters["rects"] = double(rects);
    state.counters["cell"] = cell;
}

void BM_WindowRegionCheckerboard4096PerRun(benchmark::State& state)
{
    static const Bitmap24 bg = Checkerboard4096();
    BM_WindowRegionPerRun(state, bg);
}
BENCHMARK(BM_WindowRegionCheckerboard4096PerRun)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_WindowRegionCheckerboard4096Outline(benchmark::State& state)
{
    static const Bitmap24 bg = Checkerboard4096();
    BM_WindowRegionOutline(state, bg);
}
BENCHMARK(BM_WindowRegionCheckerboard4096Outline)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// A real skin's outline costs what it cost before.
void BM_WindowRegionMasked320x240PerRun(benchmark::State& state)
{
    static const Bitmap24 bg = Background();
    BM_WindowRegionPerRun(state, bg);
}
BENCHMARK(BM_WindowRegionMasked320x240PerRun)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_WindowRegionMasked320x240Outline(benchmark::State& state)
{
    static const Bitmap24 bg = Background();
    BM_WindowRegionOutline(state, bg);
}
BENCHMARK(BM_WindowRegionMasked320x240Outline)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

// Copied an hour ago: a file written within the last seconds is read until it stands still.
bool CopySettled(const QString& from, const QString& to)
{
    QFile copy(to);
    return QFile::copy(from, to) && copy.open(QIODevice::ReadWrite) &&
           copy.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600),
                            QFileDevice::FileModificationTime);
}

bool CopySkin(const QDir& from, const QString& skin, const QDir& to, const QString& name)
{
    const QString base = QFileInfo(skin).completeBaseName();
    if (!CopySettled(from.filePath(skin), to.filePath(name + ".ini")) || !to.mkdir(name))
        return false;
    for (const QFileInfo& entry : QDir(from.filePath(base)).entryInfoList(QDir::Files))
        if (!CopySettled(entry.filePath(), to.filePath(name + u'/' + entry.fileName())))
            return false;
    return true;
}

// One refresh of the skin list of the shipped skins and 50 copies of them, with nothing changed
// since the last one.
void BM_RefreshSkinListUnchanged(benchmark::State& state)
{
    QTemporaryDir temporary;
    const QDir folder(temporary.path());
    const QDir shipped(QStringLiteral(PULSMIR_DATA_DIR "/Skin"));
    const QStringList skins = shipped.entryList({QStringLiteral("*.ini")}, QDir::Files);
    for (int copy = 0; copy < skins.size() + 50; ++copy) {
        const QString skin = skins[copy % skins.size()];
        if (!CopySkin(shipped, skin, folder, QStringLiteral("skin%1").arg(copy))) {
            state.SkipWithError("the skins could not be copied");
            return;
        }
    }
    SkinDefinitionCache cache;
    ListSkins({folder.path()}, SkinPlatform::NT, &cache);
    const std::size_t first = cache.FilesRead() + cache.PicturesRead();
    for (auto _ : state)
        benchmark::DoNotOptimize(ListSkins({folder.path()}, SkinPlatform::NT, &cache).size());
    state.counters["files_read_per_refresh"] =
        double(cache.FilesRead() + cache.PicturesRead() - first) / double(state.iterations());
}
BENCHMARK(BM_RefreshSkinListUnchanged)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
