// A skin definition file loaded, checked and drawn: the input is the .ini, the pictures it may
// name are small valid ones from the test fixtures, so that hostile geometry and frame counts
// reach the renderer.

#include "skin/SkinRenderer.h"
#include "skin/SkinSystem.h"
#include "support/FuzzApplication.h"
#include "support/FuzzInput.h"
#include "support/ScratchFolder.h"

#include <algorithm>

namespace {

QString definition;

void PlacePictures()
{
    const QString golden = QStringLiteral(PULSMIR_SOURCE_DIR "/tests/fixtures/skin/Golden/");
    for (const char* name :
         {"bg_l.bmp", "bg_s.png", "cpu.png", "dr.png", "drm.png", "font.png", "mem.png", "png.png"})
        Scratch().Copy(golden + QLatin1String(name),
                       QStringLiteral("Skin/Fuzz/") + QLatin1String(name));
    // A ".prs" picture, and one in a folder of another letter case, as Windows skins name them.
    Scratch().Copy(QStringLiteral(PULSMIR_SOURCE_DIR "/data/rm3.prs"),
                   QStringLiteral("Skin/Fuzz/Parts/Meter.prs"));
    // A font of the skin's own for its texts, where the system has one to copy.
    Scratch().Copy(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"),
                   QStringLiteral("Skin/Fuzz/sans.ttf"));
}

// Histories as long as each graph's depth, with values outside 0..100 among them.
std::vector<int> History(const TSkinGraph& graph, int seed)
{
    std::vector<int> history(std::size_t(std::clamp(graph.Deep, 1, 256)));
    for (std::size_t i = 0; i < history.size(); ++i)
        history[i] = int((i * 37 + std::size_t(seed)) % 130) - 15;
    return history;
}

SkinRenderInputs Inputs(const TSkinSystem& skin, bool full, int step)
{
    SkinRenderInputs in;
    in.FullMode = full;
    in.CpuCount = 2;
    in.NTMultiCPU = step % 2 == 1;
    in.CpuUsage = {std::uint32_t(40 + step * 30), 10, 130};
    in.MemoryLoad = 55 + step * 40;
    in.SwapLoad = -5 + step * 20;
    in.FreeResources = 70;
    in.IsNT = step == 0;
    in.DiskReadActive = in.NetRecvActive = step == 1;
    in.DiskWriteActive = in.NetSendActive = in.NetXactActive = step == 0;
    in.DiskActive = in.NetActive = true;
    in.PingLevel = step + 1;
    in.PingTime = step == 0 ? 888888 : 12;
    in.Pinging = step == 1;
    in.DiskReadPos = in.NetRecvPos = 100 * step;
    in.DiskWritePos = in.NetSendPos = 100 - 60 * step;
    const auto& graphs = skin.Full.Graphs;
    in.CpuHistory = {History(graphs[GraphCPU], step), History(graphs[GraphCPU], step + 1),
                     History(graphs[GraphCPU], step + 2)};
    in.MemHistory = History(graphs[GraphMEM], step);
    in.SwapHistory = History(graphs[GraphSwap], step);
    in.DiskReadHistory = History(graphs[GraphDiskR], step);
    in.DiskWriteHistory = History(graphs[GraphDiskW], step);
    in.NetRecvHistory = History(graphs[GraphNetI], step);
    in.NetSendHistory = History(graphs[GraphNetO], step);
    in.GpuLoad = in.GpuMemoryLoad = step == 0 ? SkinRenderInputs::NoSensorValue : 140;
    in.GpuTemperature = in.GpuTempPos = in.FanRpm = in.FanPos = 50 * step - 10;
    in.GpuHistory = History(graphs[GraphGpu], step);
    in.GpuMemHistory = History(graphs[GraphGpuMem], step);
    for (std::size_t i = 0; i < in.Texts.size(); ++i)
        in.Texts[i] = step == 0 ? QString() : QStringLiteral("W\u00e9ird \U0001F600 text %1 %n %s").arg(i);
    in.HistoryStamp = std::uint64_t(step + 1);
    return in;
}

// Two frames, the second drawn over the first as the window does: whole, then what changed.
void Draw(const TSkinSystem& skin, bool full, Bitmap24 surface)
{
    TSkinRenderer renderer;
    for (int step = 0; step < 2; ++step)
        renderer.RenderSkin(skin, Inputs(skin, full, step), surface);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    PlacePictures();
    definition = Scratch().File(QStringLiteral("Skin/Fuzz.ini"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Scratch().Write(QStringLiteral("Skin/Fuzz.ini"), FuzzBytes(data, size));
    TSkinSystem::ValidateSkin(definition, SkinPlatform::NT);
    TSkinSystem::FindSkinFault(definition, SkinPlatform::Win9x);

    TSkinSystem skin;
    skin.LoadSkin(definition);
    for (bool full : {false, true}) {
        const TSkinModeRecord& mode = skin.Mode(full);
        // The window takes the background's size; a fixed one catches what lies outside it.
        Draw(skin, full, mode.Background);
        Draw(skin, full, Bitmap24(48, 32));
    }
    return 0;
}
