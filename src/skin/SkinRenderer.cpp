#include "skin/SkinRenderer.h"

#include "skin/SkinDraw.h"
#include "skin/SkinSystem.h"

#include <QString>
#include <string>

namespace {

template <typename List> const auto& Entry(const List& list, std::size_t index, const char* name)
{
    if (index >= list.size())
        throw ESkinDrawError("List index out of bounds (" + std::string(name) + "[" +
                             std::to_string(index) + "])");
    return list[index];
}

int PingLampPosition(int level)
{
    switch (level) {
    case 1:
        return 40;
    case 2:
        return 70;
    case 3:
        return 100;
    default:
        return 0;
    }
}

} // namespace

void TSkinRenderer::RenderSkin(const TSkinSystem& skin, const SkinRenderInputs& inputs,
                               Bitmap24& surface)
{
    try {
        DrawFrame(skin.Mode(inputs.FullMode), inputs, surface);
    } catch (const ESkinDrawError& error) {
        m_log(QStringLiteral("<< ! >>SkinDrawError : %1(ContextID:%2)")
                  .arg(QString::fromUtf8(error.what()))
                  .arg(error.HelpContext));
    } catch (const std::exception& error) {
        m_log(QStringLiteral("<< ! >>SkinDrawError : %1(ContextID:0)")
                  .arg(QString::fromUtf8(error.what())));
    }
}

void TSkinRenderer::DrawFrame(const TSkinModeRecord& r, const SkinRenderInputs& in,
                              Bitmap24& surface)
{
    std::array<int, MeterCount>& p = MeterPositions;
    const bool linear = in.LinearOFF;
    PlainCopy(r.Background, 0, 0, r.Background.Width(), r.Background.Height(), surface, 0, 0);

    const std::int64_t cpu = Entry(in.CpuUsage, 0, "CpuUsage");
    const std::int64_t res = (!in.IsNT && r.ResRevSW) ? std::int64_t(100) - in.FreeResources
                                                      : std::int64_t(in.FreeResources);
    StepMeter(r.Meters[MeterCPU], r.Speeds[MeterCPU], p[MeterCPU], cpu, linear, surface);
    StepMeter(r.Meters[MeterMEM], r.Speeds[MeterMEM], p[MeterMEM], in.MemoryLoad, linear, surface);
    StepMeter(r.Meters[MeterSWP], r.Speeds[MeterSWP], p[MeterSWP], in.SwapLoad, linear, surface);
    StepMeter(r.Meters[MeterRES], r.Speeds[MeterRES], p[MeterRES], res, linear, surface);

    const bool lampOn[] = {in.DiskReadActive, in.DiskWriteActive, in.DiskActive, in.NetXactActive,
                           in.NetRecvActive,  in.NetSendActive,   in.NetActive};
    for (int l = LampDR; l <= LampNIO; ++l)
        DrawMeter(r.Lamps[l], lampOn[l] ? 100 : 0, surface);
    DrawMeter(r.Lamps[LampPNG], PingLampPosition(in.PingLevel), surface);
    DrawMeter(r.Lamps[LampPNGING], in.Pinging ? 100 : 0, surface);

    DrawReadout(r.Font, r.Readouts[ReadoutCPU], cpu, surface);
    DrawReadout(r.Font, r.Readouts[ReadoutMEM], in.MemoryLoad, surface);
    DrawReadout(r.Font, r.Readouts[ReadoutSWP], in.SwapLoad, surface);
    DrawReadout(r.Font, r.Readouts[ReadoutRES], res, surface);
    DrawReadout(r.Font, r.Readouts[ReadoutPNG], in.PingTime, surface);

    if (in.FullMode) {
        const TSkinGraph& cpuGraph = r.Graphs[GraphCPU];
        if (cpuGraph.Enabled) {
            if (in.NTMultiCPU && in.CpuCount >= 2) {
                for (int k = 1; k <= in.CpuCount; ++k)
                    DrawGraph(cpuGraph, Entry(in.CpuHistory, std::size_t(k), "CpuHistory"), surface,
                              m_scratch);
            } else {
                DrawGraph(cpuGraph, Entry(in.CpuHistory, 0, "CpuHistory"), surface, m_scratch);
            }
        }
        DrawGraph(r.Graphs[GraphMEM], in.MemHistory, surface, m_scratch);
        DrawGraph(r.Graphs[GraphSwap], in.SwapHistory, surface, m_scratch);
        DrawGraph(r.Graphs[GraphDiskR], in.DiskReadHistory, surface, m_scratch);
        DrawGraph(r.Graphs[GraphDiskW], in.DiskWriteHistory, surface, m_scratch);
        DrawGraph(r.Graphs[GraphNetI], in.NetRecvHistory, surface, m_scratch);
        DrawGraph(r.Graphs[GraphNetO], in.NetSendHistory, surface, m_scratch);
    }

    const int throughput[] = {in.DiskReadPos, in.DiskWritePos, in.NetRecvPos, in.NetSendPos};
    for (int m = MeterDRM; m <= MeterNOutM; ++m)
        StepMeter(r.Meters[m], r.Speeds[m], p[m], throughput[m - MeterDRM], linear, surface);
}
