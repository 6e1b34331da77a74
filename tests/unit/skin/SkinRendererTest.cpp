#include "skin/SkinRenderer.h"

#include "skin/SkinDraw.h"
#include "skin/SkinSystem.h"
#include "unit/skin/SkinTestFiles.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

constexpr SkinColor Background = 0x101010;

// Frame k of the strip is coloured k + 1.
TSkinElement Strip(int frames, int width = 4, int frameHeight = 3, int x = 0, int y = 0)
{
    TSkinElement e;
    e.Enabled = true;
    e.X = x;
    e.Y = y;
    e.Frames = frames;
    e.Width = width;
    e.FrameHeight = frameHeight;
    Bitmap24 picture(width, frames * frameHeight);
    for (int k = 0; k < frames; ++k)
        for (int r = 0; r < frameHeight; ++r)
            for (int c = 0; c < width; ++c)
                picture.SetPixel(c, k * frameHeight + r, SkinColor(k + 1));
    e.Strip = DeltaStrip(picture, frames, frameHeight);
    return e;
}

// Digits whose glyph i is coloured 0x100 + i.
TSkinFont Font(int glyphWidth = 3, int glyphHeight = 4)
{
    TSkinFont font;
    font.Enabled = true;
    font.GlyphWidth = glyphWidth;
    font.GlyphHeight = glyphHeight;
    for (int i = 0; i <= TSkinFont::FillerGlyph; ++i)
        font.Glyphs[i] = SolidBitmap(glyphWidth, glyphHeight, SkinColor(0x100 + i));
    return font;
}

struct Frame
{
    TSkinSystem skin;
    SkinRenderInputs in;
    CapturedLog log;
    TSkinRenderer renderer{log.Tagged("")};
    Bitmap24 surface;

    Frame(int width = 40, int height = 30)
    {
        skin.Compact.Enable = skin.Full.Enable = true;
        skin.Compact.Background = SolidBitmap(width, height, Background);
        skin.Full.Background = SolidBitmap(width, height, Background);
        surface = Bitmap24(width, height);
    }
    TSkinModeRecord& Mode() { return in.FullMode ? skin.Full : skin.Compact; }
    TSkinModeRecord& Full() { return skin.Full; }
    void Render() { renderer.RenderSkin(skin, in, surface); }
    SkinColor At(int x, int y) const { return surface.Pixel(x, y); }
    // The glyph shown in read-out cell i (0-based) at (x0 + i * 3, y0).
    int GlyphAt(int x0, int y0, int cell) const { return int(At(x0 + cell * 3, y0)) - 0x100; }
    int CountColour(SkinColor color) const
    {
        int n = 0;
        for (int y = 0; y < surface.Height(); ++y)
            for (int x = 0; x < surface.Width(); ++x)
                n += At(x, y) == color;
        return n;
    }
};

std::vector<int> Sequence(int speed, int from, int to, int frames, bool linearOff = false)
{
    std::vector<int> positions;
    int p = from;
    for (int i = 0; i < frames; ++i) {
        p = NextMeterPosition(speed, p, to, linearOff);
        positions.push_back(p);
    }
    return positions;
}

} // namespace

TEST(StepMeter, EasesUpByOneThenTwoStepsAndDownByOne)
{
    EXPECT_EQ(Sequence(10, 0, 100, 8), (std::vector<int>{10, 20, 40, 60, 80, 90, 100, 100}));
    std::vector<int> falling = Sequence(10, 100, 0, 10);
    EXPECT_EQ(falling.back(), 0);
    EXPECT_EQ(falling[8], 10);
    EXPECT_EQ(Sequence(7, 50, 52, 2), (std::vector<int>{52, 52}));
    EXPECT_EQ(Sequence(7, 50, 45, 1), (std::vector<int>{45}));
}

TEST(StepMeter, JumpsWithSpeedZeroLinearOffOrANegativeSpeed)
{
    EXPECT_EQ(Sequence(0, 0, 73, 1), (std::vector<int>{73}));
    EXPECT_EQ(Sequence(10, 0, 73, 1, true), (std::vector<int>{73}));
    EXPECT_EQ(Sequence(-5, 90, 10, 1), (std::vector<int>{10}));
    // Huge values neither overflow nor wrap.
    EXPECT_EQ(NextMeterPosition(INT_MAX, INT_MAX - 1, 0, false), 0);
    EXPECT_EQ(NextMeterPosition(INT_MAX, 5, std::int64_t(UINT_MAX), false), INT_MAX);
}

TEST(RenderSkin, MeterShowsFrameOfItsPositionAndKeepsMovingPastHundred)
{
    Frame f;
    f.Mode().Meters[MeterCPU] = Strip(11, 4, 3, 2, 2);
    f.in.CpuUsage = {55};
    f.Render();
    EXPECT_EQ(f.At(2, 2), 6u); // frame 5
    EXPECT_EQ(f.At(1, 2), Background);
    f.in.CpuUsage = {150};
    f.Render();
    EXPECT_EQ(f.At(5, 4), 11u); // frame 10
    EXPECT_EQ(f.renderer.MeterPositions[MeterCPU], 150);
    f.in.CpuUsage = {100};
    f.Render();
    EXPECT_EQ(f.At(5, 4), 11u);
}

TEST(RenderSkin, MetersEaseFrameByFrameAndAbsentOnesKeepTheirPosition)
{
    Frame f;
    f.Mode().Meters[MeterMEM] = Strip(101, 2, 1);
    f.Mode().Speeds[MeterMEM] = 10;
    f.in.MemoryLoad = 100;
    f.renderer.MeterPositions[MeterSWP] = 42;
    std::vector<SkinColor> shown;
    for (int i = 0; i < 7; ++i) {
        f.Render();
        shown.push_back(f.At(0, 0) - 1);
    }
    EXPECT_EQ(shown, (std::vector<SkinColor>{10, 20, 40, 60, 80, 90, 100}));
    EXPECT_EQ(f.renderer.MeterPositions[MeterSWP], 42);
    f.in.LinearOFF = true;
    f.in.MemoryLoad = 3;
    f.Render();
    EXPECT_EQ(f.At(0, 0), 4u);
    f.renderer.ResetMeterPositions();
    EXPECT_EQ(f.renderer.MeterPositions[MeterSWP], 0);
}

TEST(RenderSkin, ThroughputMetersFollowTheirPositions)
{
    Frame f;
    auto& m = f.Mode().Meters;
    m[MeterDRM] = Strip(101, 1, 1, 0, 0);
    m[MeterDWM] = Strip(101, 1, 1, 1, 0);
    m[MeterNInM] = Strip(101, 1, 1, 2, 0);
    m[MeterNOutM] = Strip(101, 1, 1, 3, 0);
    f.in.DiskReadPos = 11;
    f.in.DiskWritePos = 22;
    f.in.NetRecvPos = 33;
    f.in.NetSendPos = 44;
    f.Render();
    EXPECT_EQ(f.At(0, 0), 12u);
    EXPECT_EQ(f.At(1, 0), 23u);
    EXPECT_EQ(f.At(2, 0), 34u);
    EXPECT_EQ(f.At(3, 0), 45u);
}

TEST(RenderSkin, LampsShowOffAndOnFrames)
{
    Frame f;
    for (int l = LampDR; l <= LampNIO; ++l)
        f.Mode().Lamps[l] = Strip(2, 1, 1, l, 0);
    f.Mode().Lamps[LampPNGING] = Strip(2, 1, 1, 9, 0);
    f.in.DiskWriteActive = true;
    f.in.NetActive = true;
    f.in.Pinging = true;
    f.Render();
    const SkinColor expected[] = {1, 2, 1, 1, 1, 1, 2};
    for (int l = LampDR; l <= LampNIO; ++l)
        EXPECT_EQ(f.At(l, 0), expected[l]) << l;
    EXPECT_EQ(f.At(9, 0), 2u);
}

TEST(RenderSkin, PingLampShowsOneFramePerLevel)
{
    Frame f;
    f.Mode().Lamps[LampPNG] = Strip(4, 2, 2, 5, 5);
    const std::pair<int, SkinColor> cases[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {7, 1}, {-1, 1}};
    for (auto [level, frame] : cases) {
        f.in.PingLevel = level;
        f.Render();
        EXPECT_EQ(f.At(6, 6), frame) << level;
    }
}

TEST(RenderSkin, ReadoutsPadCutAndFill)
{
    Frame f(120, 30);
    f.Mode().Font = Font();
    auto& r = f.Mode().Readouts;
    r[ReadoutCPU] = {true, 0, 0, 3, false};
    r[ReadoutMEM] = {true, 0, 5, 3, true};
    r[ReadoutSWP] = {true, 0, 10, 3, false};
    r[ReadoutPNG] = {true, 0, 15, 3, false};
    r[ReadoutRES] = {true, 0, 20, 20, false}; // more cells than the 15 of padding
    f.in.CpuUsage = {7};
    f.in.MemoryLoad = 7;
    f.in.SwapLoad = 1234;
    f.in.PingTime = 888888;
    f.in.FreeResources = 5;
    f.Render();
    auto glyphs = [&](int y, int cells) {
        std::vector<int> g;
        for (int i = 0; i < cells; ++i)
            g.push_back(f.GlyphAt(0, y, i));
        return g;
    };
    EXPECT_EQ(glyphs(0, 3), (std::vector<int>{10, 10, 7}));
    EXPECT_EQ(glyphs(5, 3), (std::vector<int>{0, 0, 7}));
    EXPECT_EQ(glyphs(10, 3), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(glyphs(15, 3), (std::vector<int>{8, 8, 8}));
    std::vector<int> wide = glyphs(20, 20);
    EXPECT_EQ(wide.back(), 5);
    EXPECT_EQ(std::count(wide.begin(), wide.end(), 10), 19);
    EXPECT_EQ(f.At(60, 20), Background);
}

TEST(RenderSkin, ReadoutEdgeCasesDrawNothingWrongAndFinish)
{
    Frame f(30, 10);
    f.Mode().Font = Font();
    auto& r = f.Mode().Readouts;
    r[ReadoutCPU] = {true, -3, 0, INT_MAX, false}; // billions of cells, two of them visible
    r[ReadoutMEM] = {true, 0, 5, 0, false};
    r[ReadoutSWP] = {true, INT_MIN, 5, 2, false};
    f.in.CpuUsage = {UINT_MAX};
    f.in.MemoryLoad = 5;
    f.Render();
    EXPECT_EQ(f.At(0, 0), SkinColor(0x100 + 10));
    EXPECT_EQ(f.At(29, 0), SkinColor(0x100 + 10));
    EXPECT_EQ(f.At(0, 5), Background);
    // A negative value shows 0.
    TSkinReadout one{true, 0, 0, 2, false};
    Bitmap24 surface = SolidBitmap(6, 4, Background);
    DrawReadout(Font(), one, -12, surface);
    EXPECT_EQ(surface.Pixel(3, 0), 0x100u);
    EXPECT_EQ(ReadoutGlyph(one, -12, 1), TSkinFont::FillerGlyph);
}

TEST(RenderSkin, ResourceValueIsReversedOnlyOn9xWithResRevSW)
{
    Frame f(40, 30);
    f.Mode().Meters[MeterRES] = Strip(101, 1, 1, 0, 0);
    f.Mode().Font = Font();
    f.Mode().Readouts[ReadoutRES] = {true, 0, 5, 2, false};
    f.Mode().ResRevSW = true;
    f.in.FreeResources = 30;
    f.in.IsNT = false;
    f.Render();
    EXPECT_EQ(f.At(0, 0), 71u);
    EXPECT_EQ(f.GlyphAt(0, 5, 0), 7);
    EXPECT_EQ(f.GlyphAt(0, 5, 1), 0);
    f.in.IsNT = true;
    f.Render();
    EXPECT_EQ(f.At(0, 0), 31u);
    EXPECT_EQ(f.GlyphAt(0, 5, 0), 3);
}

TEST(RenderSkin, CopiesAreCutAtEveryEdge)
{
    Frame f(10, 8);
    auto& m = f.Mode().Meters;
    m[MeterCPU] = Strip(1, 4, 4, -2, -3); // top-left corner
    m[MeterMEM] = Strip(1, 4, 4, 8, 6);   // bottom-right corner
    m[MeterSWP] = Strip(1, 4, 4, 10, 0);  // just right of the window
    m[MeterRES] = Strip(1, 4, 4, INT_MIN, INT_MAX);
    m[MeterDRM] = Strip(1, 4, 4, INT_MAX, INT_MIN);
    m[MeterDWM] = Strip(1, 4, 4, 0, -4); // just above
    f.Render();
    EXPECT_EQ(f.At(0, 0), 1u);
    EXPECT_EQ(f.At(1, 0), 1u);
    EXPECT_EQ(f.At(2, 0), Background);
    EXPECT_EQ(f.At(1, 1), Background);
    EXPECT_EQ(f.At(9, 7), 1u);
    EXPECT_EQ(f.At(8, 6), 1u);
    EXPECT_EQ(f.At(7, 7), Background);
    EXPECT_EQ(f.CountColour(1), 2 + 4);

    // The same through the plain and masked copies directly, source cut as well.
    Bitmap24 src = SolidBitmap(3, 3, 0xAA);
    Bitmap24 pattern = SolidBitmap(3, 3, 0xFFFFFF);
    pattern.SetPixel(1, 1, 0);
    const Mask8 mask = MakeMask(pattern, 0);
    Bitmap24 dst = SolidBitmap(3, 3, 0);
    MaskedCopy(src, mask, -1, -1, 5, 5, dst, 0, 0);
    EXPECT_EQ(dst.Pixel(0, 0), 0u);
    EXPECT_EQ(dst.Pixel(1, 1), 0xAAu); // source (0, 0)
    EXPECT_EQ(dst.Pixel(2, 2), 0u);    // source (1, 1) is masked out
    dst.Fill(0);
    PlainCopy(src, 2, 2, 9, 9, dst, 0, 0);
    EXPECT_EQ(dst.Pixel(0, 0), 0xAAu);
    EXPECT_EQ(dst.Pixel(1, 0), 0u);
    PlainCopy(src, 3, 0, 1, 1, dst, 1, 0);
    PlainCopy(src, 0, 0, 0, 3, dst, 1, 0);
    PlainCopy(src, 0, 0, -2, 3, dst, 1, 0);
    EXPECT_EQ(dst.Pixel(1, 0), 0u);
}

TEST(RenderSkin, MaskedElementsLeaveTheBackgroundShowing)
{
    Frame f(10, 10);
    TSkinElement e = Strip(2, 3, 3, 1, 1);
    Bitmap24 picture = e.Strip.Frame(0);
    picture.SetPixel(1, 1, 0xFF00FF);
    e.Strip = DeltaStrip(picture, 1, 3);
    e.MaskFlag = true;
    e.MaskColor = 0xFF00FF;
    f.Mode().Lamps[LampDR] = e;
    f.Render();
    EXPECT_EQ(f.At(1, 1), 1u);
    EXPECT_EQ(f.At(2, 2), Background);
}

TEST(RenderSkin, BrokenElementsDrawNothing)
{
    Frame f(10, 10);
    TSkinElement negative = Strip(2, 3, 3);
    negative.Frames = -3;
    negative.FrameHeight = -2;
    TSkinElement zero = Strip(2, 3, 3);
    zero.Frames = 0;
    zero.FrameHeight = 0;
    TSkinElement empty;
    empty.Enabled = true;
    empty.Frames = 1;
    empty.FrameHeight = 5;
    empty.Width = 5;
    empty.MaskFlag = true;
    f.Mode().Meters[MeterCPU] = negative;
    f.Mode().Meters[MeterMEM] = zero;
    f.Mode().Meters[MeterSWP] = empty;
    f.in.CpuUsage = {100};
    f.in.MemoryLoad = 100;
    f.Render();
    EXPECT_EQ(f.CountColour(Background), 100);
}

namespace {

struct GraphFrame : Frame
{
    GraphFrame() : Frame(80, 40) { in.FullMode = true; }
    TSkinGraph& Graph(int type, int deep)
    {
        TSkinGraph& g = skin.Full.Graphs[GraphMEM];
        g = {true, 10, 5, 64, 21, 0x00FF00, type, deep};
        in.MemHistory.assign(std::size_t(deep), 50);
        return g;
    }
    bool Green(int x, int y) const { return At(x, y) == 0x00FF00; }
    // Painted pixels outside the graph's rectangle grown by the given margin.
    int Outside(int margin) const
    {
        int n = 0;
        for (int y = 0; y < surface.Height(); ++y)
            for (int x = 0; x < surface.Width(); ++x)
                if (Green(x, y) && (x < 10 - margin || x > 73 || y < 5 - margin || y > 25))
                    ++n;
        return n;
    }
};

} // namespace

TEST(DrawGraph, LinesAtDepthOneAndFull)
{
    GraphFrame f;
    f.Graph(0, 1);
    f.Render();
    // The single sample sits at the right edge, (H - 1) * 50 div 100 = 10 rows up.
    EXPECT_TRUE(f.Green(73, 15));
    EXPECT_EQ(f.CountColour(0x00FF00), 1);

    // The polyline ends at the oldest sample, and the end point of a line is not painted.
    f.Graph(0, 256);
    f.Render();
    for (int x = 11; x <= 73; ++x)
        EXPECT_TRUE(f.Green(x, 15)) << x;
    EXPECT_FALSE(f.Green(10, 15));
    EXPECT_EQ(f.CountColour(0x00FF00), 63);
    EXPECT_EQ(f.Outside(0), 0);

    // Newest at the right, 100 at the top row, 0 at the bottom row.
    f.Graph(0, 2);
    f.in.MemHistory = {100, 0};
    f.Render();
    EXPECT_TRUE(f.Green(73, 5));
    EXPECT_TRUE(f.Green(11, 25));
    EXPECT_FALSE(f.Green(10, 25));
    EXPECT_EQ(f.CountColour(0x00FF00), 63);
}

TEST(DrawGraph, TwoPixelPenCoversTwoRows)
{
    GraphFrame f;
    f.Graph(1, 256);
    f.Render();
    for (int x = 10; x <= 73; ++x) {
        EXPECT_TRUE(f.Green(x, 15)) << x;
        EXPECT_TRUE(f.Green(x, 14)) << x;
    }
    EXPECT_FALSE(f.Green(40, 16));
    EXPECT_FALSE(f.Green(40, 13));
    EXPECT_EQ(f.Outside(1), 0);

    f.Graph(1, 1);
    f.Render();
    EXPECT_TRUE(f.Green(73, 15));
    EXPECT_TRUE(f.Green(72, 14));
    EXPECT_EQ(f.CountColour(0x00FF00), 4);
}

TEST(DrawGraph, FilledAreaReachesTheBottomRow)
{
    GraphFrame f;
    f.Graph(2, 256);
    f.Render();
    for (int x = 10; x <= 73; ++x)
        for (int y = 15; y <= 25; ++y)
            ASSERT_TRUE(f.Green(x, y)) << x << "," << y;
    EXPECT_EQ(f.CountColour(0x00FF00), 64 * 11);

    // Depth 1: a triangle from the sample down to both bottom corners.
    f.Graph(2, 1);
    f.in.MemHistory = {100};
    f.Render();
    EXPECT_TRUE(f.Green(73, 5));
    EXPECT_TRUE(f.Green(10, 25));
    EXPECT_TRUE(f.Green(73, 25));
    EXPECT_TRUE(f.Green(60, 20));
    EXPECT_FALSE(f.Green(12, 6));
    EXPECT_EQ(f.Outside(0), 0);
}

TEST(DrawGraph, BarsStopAboveTheBottomRow)
{
    GraphFrame f;
    f.Graph(3, 256);
    f.in.MemHistory.assign(256, 100);
    // Samples 0 to 4 share the rightmost column.
    std::fill_n(f.in.MemHistory.begin(), 5, 0);
    f.Render();
    for (int y = 5; y <= 24; ++y)
        EXPECT_TRUE(f.Green(10, y)) << y;
    EXPECT_FALSE(f.Green(10, 25));
    EXPECT_FALSE(f.Green(73, 24)); // samples of 0 draw no bar
    EXPECT_TRUE(f.Green(72, 5));
    EXPECT_EQ(f.Outside(0), 0);

    f.Graph(3, 1);
    f.in.MemHistory = {50};
    f.Render();
    EXPECT_EQ(f.CountColour(0x00FF00), 10); // rows 15 to 24
}

TEST(DrawGraph, UnknownTypeDrawsNothingAndTheFrameGoesOn)
{
    GraphFrame f;
    f.Graph(5, 32);
    f.Full().Meters[MeterNOutM] = Strip(1, 2, 2, 0, 0);
    f.Render();
    EXPECT_EQ(f.CountColour(0x00FF00), 0);
    EXPECT_EQ(f.At(0, 0), 1u);
}

TEST(DrawGraph, FarOutGraphsAreCutAndFinish)
{
    GraphFrame f;
    TSkinGraph& g = f.Graph(0, 256);
    g.X = INT_MIN;
    g.W = INT_MAX;
    g.Y = -5;
    g.H = INT_MAX;
    f.in.MemHistory.assign(256, 100);
    f.Render();
    g.Type = 2;
    f.Render();
    g.Type = 3;
    f.Render();
    g = {true, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0x00FF00, 2, 256};
    f.Render();
    g = {true, 5, 5, -30, -30, 0x00FF00, 1, 256};
    f.Render();
    SUCCEED();
}

TEST(RenderSkin, GraphsOnlyInFullModeAndPerProcessorWhenAsked)
{
    GraphFrame f;
    f.skin.Compact.Graphs[GraphMEM] = {true, 0, 0, 10, 10, 0x00FF00, 2, 4};
    f.in.MemHistory = {100, 100, 100, 100};
    f.in.FullMode = false;
    f.Render();
    EXPECT_EQ(f.CountColour(0x00FF00), 0);

    f.in.FullMode = true;
    f.skin.Full.Graphs[GraphCPU] = {true, 0, 0, 10, 11, 0x0000FF, 0, 2};
    f.in.CpuCount = 2;
    f.in.CpuHistory = {{0, 0}, {50, 50}, {100, 100}};
    f.in.NTMultiCPU = true;
    f.Render();
    EXPECT_EQ(f.At(5, 10), Background);
    EXPECT_EQ(f.At(5, 5), 0x0000FFu);
    EXPECT_EQ(f.At(5, 0), 0x0000FFu);
    f.in.NTMultiCPU = false;
    f.Render();
    EXPECT_EQ(f.At(5, 10), 0x0000FFu);
    EXPECT_EQ(f.At(5, 5), Background);
}

TEST(RenderSkin, AnErrorEndsTheFrameAndIsLogged)
{
    GraphFrame f;
    f.skin.Full.Graphs[GraphCPU] = {true, 0, 0, 10, 11, 0x0000FF, 0, 2};
    f.Full().Meters[MeterDRM] = Strip(1, 2, 2, 0, 20);
    f.in.CpuCount = 4;
    f.in.NTMultiCPU = true;
    f.in.CpuHistory = {{0, 0}, {50, 50}}; // processors 2 to 4 have no history
    f.Render();
    EXPECT_TRUE(f.log.Text().contains("<< ! >>SkinDrawError : List index out of bounds"))
        << qPrintable(f.log.Text());
    EXPECT_TRUE(f.log.Text().contains("(ContextID:0)\r\n"));
    EXPECT_EQ(f.At(5, 5), 0x0000FFu);   // what was drawn stays
    EXPECT_EQ(f.At(0, 20), Background); // the rest of the frame is not drawn

    f.in.NTMultiCPU = false;
    f.in.CpuUsage.clear();
    f.Render();
    EXPECT_EQ(f.log.Text().count("SkinDrawError"), 2);
    f.in.CpuUsage = {0};
    f.Render();
    EXPECT_EQ(f.At(0, 20), 1u);
    EXPECT_EQ(f.log.Text().count("SkinDrawError"), 2);
}
