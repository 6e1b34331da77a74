#include "skin/SkinRenderer.h"
#include "skin/SkinSystem.h"

#include <cstring>
#include <gtest/gtest.h>

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

std::vector<int> Wave(int depth, int phase)
{
    std::vector<int> values(static_cast<size_t>(depth));
    for (int i = 0; i < depth; ++i)
        values[size_t(i)] = (i * 37 + phase * 11) % 101;
    return values;
}

} // namespace

// Frames drawn with reused graphs must equal frames drawn from scratch, while the meters move
// every frame and the histories change now and then.
TEST(GraphCache, ReusedGraphsGiveTheSameFrames)
{
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(QStringLiteral(PULSMIR_DATA_DIR "/Skin/AnalogMeter2.ini")));
    ASSERT_TRUE(skin.Full.Enable);
    const Bitmap24& background = skin.Full.Background;
    Bitmap24 cachedSurface = background.Copy(0, 0, background.Width(), background.Height());
    Bitmap24 freshSurface = cachedSurface.Copy(0, 0, background.Width(), background.Height());

    TSkinRenderer cached;
    TSkinRenderer fresh;
    SkinRenderInputs in;
    in.FullMode = true;
    in.CpuCount = 2;
    in.CpuUsage = {10, 5, 15};
    for (int frame = 0; frame < 40; ++frame) {
        const int phase = frame / 7; // a graph step every seventh frame
        const int depth = 128;
        in.CpuHistory = {Wave(depth, phase), Wave(depth, phase + 1), Wave(depth, phase + 2)};
        in.MemHistory = Wave(depth, phase + 3);
        in.SwapHistory = Wave(depth, phase + 4);
        in.DiskReadHistory = Wave(depth, phase + 5);
        in.DiskWriteHistory = Wave(depth, phase + 6);
        in.NetRecvHistory = Wave(depth, phase + 7);
        in.NetSendHistory = Wave(depth, phase + 8);
        in.CpuUsage[0] = (frame * 13) % 101;
        in.MemoryLoad = (frame * 7) % 101;
        in.DiskReadPos = (frame * 29) % 101;
        in.DiskReadActive = frame % 2 == 0;
        in.PingTime = frame;
        in.NTMultiCPU = frame >= 30; // the layout of the CPU graph changes too

        in.HistoryStamp = std::uint64_t(phase) + 1;
        cached.RenderSkin(skin, in, cachedSurface);
        // The first frame after each change draws; the others reuse.
        const bool changed = frame % 7 == 0 || frame == 30;
        EXPECT_EQ(cached.ReusedGraphs(), !changed) << "frame " << frame;
        in.HistoryStamp = 0;
        fresh.RenderSkin(skin, in, freshSurface);
        ASSERT_TRUE(SameSurface(cachedSurface, freshSurface)) << "frame " << frame;
    }
}
