#include "skin/SkinRenderer.h"
#include "skin/SkinSystem.h"
#include "unit/skin/SkinTestFiles.h"

#include <QDir>
#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

bool SameSurface(const Bitmap24& a, const Bitmap24& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.Row(y), b.Row(y), size_t(a.Width()) * 3) != 0)
            return false;
    return true;
}

// Pixels that differ between two frames and lie outside every reported area.
int ChangesOutside(const Bitmap24& before, const Bitmap24& after, const std::vector<QRect>& areas)
{
    int n = 0;
    for (int y = 0; y < after.Height(); ++y)
        for (int x = 0; x < after.Width(); ++x)
            if (before.Pixel(x, y) != after.Pixel(x, y) &&
                std::none_of(areas.begin(), areas.end(),
                             [&](const QRect& a) { return a.contains(x, y); }))
                ++n;
    return n;
}

std::vector<int> Wave(int depth, int phase)
{
    std::vector<int> values(static_cast<size_t>(depth));
    for (int i = 0; i < depth; ++i)
        values[size_t(i)] = (i * 37 + phase * 11) % 101;
    return values;
}

// Inputs that change the way a running monitor's do: a value or a lamp now and then, the meters
// easing, a graph step every fifth frame.
class InputSequence
{
public:
    explicit InputSequence(bool full, unsigned seed) : m_random(seed)
    {
        in.FullMode = full;
        in.CpuCount = 2;
        in.CpuUsage = {10, 5, 15};
    }

    const SkinRenderInputs& Next(int frame)
    {
        auto sometimes = [&](int percent) {
            return int(m_random() % 100) < percent;
        };
        auto value = [&] {
            return int(m_random() % 101);
        };
        if (sometimes(30))
            in.CpuUsage[0] = std::uint32_t(value());
        if (sometimes(10))
            in.MemoryLoad = value();
        if (sometimes(5))
            in.SwapLoad = value();
        if (sometimes(20))
            in.DiskReadPos = value();
        if (sometimes(20))
            in.NetRecvPos = value();
        if (sometimes(10))
            in.NetSendPos = value();
        if (sometimes(15))
            in.DiskReadActive = !in.DiskReadActive;
        if (sometimes(15))
            in.NetActive = !in.NetActive;
        if (sometimes(5))
            in.PingLevel = int(m_random() % 4);
        if (sometimes(5))
            in.Pinging = !in.Pinging;
        if (sometimes(10))
            in.PingTime = sometimes(20) ? 888888 : value();
        if (frame == 60)
            in.NTMultiCPU = true;
        const int phase = frame / 5;
        const int depth = 128;
        in.CpuHistory = {Wave(depth, phase), Wave(depth, phase + 1), Wave(depth, phase + 2)};
        in.MemHistory = Wave(depth, phase + 3);
        in.SwapHistory = Wave(depth, phase + 4);
        in.DiskReadHistory = Wave(depth, phase + 5);
        in.DiskWriteHistory = Wave(depth, phase + 6);
        in.NetRecvHistory = Wave(depth, phase + 7);
        in.NetSendHistory = Wave(depth, phase + 8);
        in.HistoryStamp = std::uint64_t(phase) + 1;
        return in;
    }

    SkinRenderInputs in;

private:
    std::mt19937 m_random;
};

// Draws the sequence twice, with frames drawn in part and with every frame drawn whole, and
// checks each pair is equal and every change lies inside the areas reported. A third time as
// the window draws it: on a surface made from the background, which the skin then lets go but
// for the elements' areas.
void ExpectPartialFramesEqualWholeOnes(const TSkinSystem& skin, bool full, unsigned seed,
                                       int frames = 120)
{
    const Bitmap24& background = skin.Mode(full).Background;
    Bitmap24 partialSurface(background.Width(), background.Height());
    Bitmap24 wholeSurface(background.Width(), background.Height());
    Bitmap24 windowSurface = background.Copy(0, 0, background.Width(), background.Height());
    TSkinSystem released = skin;
    released.ReleaseBackground(
        full, TSkinRenderer::ElementAreas(skin.Mode(full), QSize(background.Width(),
                                                                 background.Height())));
    ASSERT_TRUE(released.Mode(full).Background.IsEmpty());
    TSkinRenderer partial;
    TSkinRenderer whole;
    TSkinRenderer window;
    InputSequence sequence(full, seed);
    int partialFrames = 0;
    for (int frame = 0; frame < frames; ++frame) {
        const SkinRenderInputs& in = sequence.Next(frame);
        const Bitmap24 before = partialSurface.Copy(0, 0, background.Width(), background.Height());
        const std::vector<QRect> areas = partial.RenderSkin(skin, in, partialSurface);
        whole.Invalidate();
        whole.RenderSkin(skin, in, wholeSurface);
        ASSERT_TRUE(SameSurface(partialSurface, wholeSurface)) << "frame " << frame;
        window.RenderSkin(released, in, windowSurface);
        ASSERT_TRUE(SameSurface(windowSurface, wholeSurface)) << "frame " << frame;
        ASSERT_EQ(ChangesOutside(before, partialSurface, areas), 0) << "frame " << frame;
        ASSERT_EQ(partial.MeterPositions, whole.MeterPositions);
        partialFrames +=
            areas.size() != 1 || areas[0] != QRect(0, 0, background.Width(), background.Height());
    }
    // Most frames are drawn in part, or the test proves nothing.
    EXPECT_GT(partialFrames, frames / 2);
}

} // namespace

TEST(IncrementalRender, PartialFramesEqualWholeFramesOnTheShippedSkins)
{
    const QDir skins(QStringLiteral(PULSMIR_DATA_DIR "/Skin"));
    const QStringList files = skins.entryList({QStringLiteral("*.ini")}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& file : files) {
        TSkinSystem skin;
        ASSERT_TRUE(skin.LoadSkin(skins.filePath(file))) << qPrintable(file);
        for (bool full : {false, true}) {
            if (!skin.Mode(full).Enable)
                continue;
            SCOPED_TRACE(qPrintable(file + (full ? QStringLiteral(" full") : QString())));
            ExpectPartialFramesEqualWholeOnes(skin, full, 7);
        }
    }
}

TEST(IncrementalRender, OverlappingAndOutlyingElementsAreDrawnInOrder)
{
    // A masked needle over a graph, lamps over read-outs, a meter reaching past the edge and
    // graphs given back to front.
    TSkinSystem skin;
    TSkinModeRecord& full = skin.Full;
    full.Enable = skin.Compact.Enable = true;
    full.Background = SolidBitmap(60, 40, 0x203040);
    skin.Compact.Background = full.Background;
    full.Font.Enabled = true;
    full.Font.GlyphWidth = 3;
    full.Font.GlyphHeight = 5;
    for (int i = 0; i <= TSkinFont::FillerGlyph; ++i)
        full.Font.Glyphs[i] = SolidBitmap(3, 5, SkinColor(0x010101 * (i + 1)));
    auto strip = [](int frames, int w, int h, int x, int y, bool masked) {
        TSkinElement e;
        e.Enabled = true;
        e.X = x;
        e.Y = y;
        e.Width = w;
        e.FrameHeight = h;
        e.Frames = frames;
        Bitmap24 picture(w, frames * h);
        for (int k = 0; k < frames; ++k)
            for (int r = 0; r < h; ++r)
                for (int c = 0; c < w; ++c)
                    picture.SetPixel(c, k * h + r, (c + r + k) % 3 == 0 ? 0xFF00FF : 0x000100 * k);
        e.Strip = DeltaStrip(picture, frames, h);
        if (masked) {
            e.MaskFlag = true;
            e.MaskColor = 0xFF00FF;
        }
        return e;
    };
    full.Graphs[GraphMEM] = {true, 5, 5, 30, 20, 0x00FF00, 1, 128};
    full.Graphs[GraphNetI] = {true, 40, 30, -20, -10, 0xFFFF00, 2, 128};
    full.Graphs[GraphCPU] = {true, 0, 0, 60, 40, 0x0000FF, 3, 128};
    full.Meters[MeterCPU] = strip(11, 10, 10, 20, 10, true);
    full.Meters[MeterDRM] = strip(21, 12, 12, 10, 15, true);
    full.Meters[MeterNInM] = strip(21, 20, 8, 50, 35, false);
    full.Meters[MeterNOutM] = strip(5, 8, 8, INT_MAX - 4, 0, false);
    full.Lamps[LampDR] = strip(2, 6, 6, 2, 30, true);
    full.Lamps[LampNIO] = strip(2, 6, 6, 30, 2, false);
    full.Lamps[LampPNG] = strip(4, 5, 5, 45, 10, true);
    full.Readouts[ReadoutCPU] = {true, 0, 31, 4, false};
    full.Readouts[ReadoutPNG] = {true, 40, 8, 6, true};
    full.Speeds[MeterCPU] = 10;
    full.Speeds[MeterDRM] = 3;
    ExpectPartialFramesEqualWholeOnes(skin, true, 11, 150);
}

TEST(IncrementalRender, AFrameRedrawsOnlyWhatChanged)
{
    TSkinSystem skin;
    skin.Compact.Enable = true;
    skin.Compact.Background = SolidBitmap(40, 30, 0x101010);
    TSkinElement meter;
    meter.Enabled = true;
    meter.X = 2;
    meter.Y = 3;
    meter.Width = 4;
    meter.FrameHeight = 5;
    meter.Frames = 11;
    meter.Strip = DeltaStrip(FrameStrip(4, 5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), 11, 5);
    skin.Compact.Meters[MeterCPU] = meter;
    skin.Compact.Lamps[LampDR] = meter;
    skin.Compact.Lamps[LampDR].X = 20;
    Bitmap24 surface(40, 30);
    TSkinRenderer renderer;
    SkinRenderInputs in;
    in.CpuUsage = {30};

    EXPECT_EQ(renderer.RenderSkin(skin, in, surface), std::vector<QRect>{QRect(0, 0, 40, 30)});
    EXPECT_TRUE(renderer.RenderSkin(skin, in, surface).empty());
    in.CpuUsage = {31}; // the same frame of the strip
    EXPECT_TRUE(renderer.RenderSkin(skin, in, surface).empty());
    in.CpuUsage = {50};
    EXPECT_EQ(renderer.RenderSkin(skin, in, surface), std::vector<QRect>{QRect(2, 3, 4, 5)});
    EXPECT_EQ(surface.Pixel(2, 3), 6u);
    in.DiskReadActive = true;
    EXPECT_EQ(renderer.RenderSkin(skin, in, surface), std::vector<QRect>{QRect(20, 3, 4, 5)});

    // Whatever else drew on the surface is drawn over after Invalidate, and only then.
    surface.Fill(0);
    EXPECT_TRUE(renderer.RenderSkin(skin, in, surface).empty());
    renderer.Invalidate();
    EXPECT_EQ(renderer.RenderSkin(skin, in, surface), std::vector<QRect>{QRect(0, 0, 40, 30)});
    EXPECT_EQ(surface.Pixel(0, 0), 0x101010u);
    // So after a skin switch, and for a new surface.
    renderer.ResetMeterPositions();
    EXPECT_EQ(renderer.RenderSkin(skin, in, surface).size(), 1u);
    Bitmap24 other(40, 30);
    EXPECT_EQ(renderer.RenderSkin(skin, in, other), std::vector<QRect>{QRect(0, 0, 40, 30)});
}
