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

    if (in.FullMode)
        DrawGraphs(r, in, surface);

    const int throughput[] = {in.DiskReadPos, in.DiskWritePos, in.NetRecvPos, in.NetSendPos};
    for (int m = MeterDRM; m <= MeterNOutM; ++m)
        StepMeter(r.Meters[m], r.Speeds[m], p[m], throughput[m - MeterDRM], linear, surface);
}

namespace {

// A graph's area and the pixels around it its 2-pixel pen may touch.
QRect GraphArea(const TSkinGraph& graph)
{
    return QRect(graph.X - 1, graph.Y - 1, graph.W + 2, graph.H + 2);
}

QRect ElementArea(const TSkinElement& element)
{
    return element.Enabled ? QRect(element.X, element.Y, element.Width, element.FrameHeight)
                           : QRect();
}

} // namespace

bool TSkinRenderer::GraphsStandAlone(const TSkinModeRecord& r) const
{
    // Everything drawn before the graphs must stay out of their areas, or a reused area would
    // bring back an old frame of it.
    std::vector<QRect> before;
    for (int m = MeterCPU; m <= MeterRES; ++m)
        before.push_back(ElementArea(r.Meters[m]));
    for (const TSkinElement& lamp : r.Lamps)
        before.push_back(ElementArea(lamp));
    for (const TSkinReadout& readout : r.Readouts)
        if (readout.Enabled)
            before.push_back(QRect(
                readout.X, readout.Y,
                int(std::min<std::int64_t>(std::int64_t(readout.B) * r.Font.GlyphWidth, 1 << 20)),
                r.Font.GlyphHeight));
    for (const TSkinGraph& graph : r.Graphs) {
        if (!graph.Enabled)
            continue;
        if (graph.W > 4096 || graph.H > 4096)
            return false;
        for (const QRect& area : before)
            if (area.isValid() && area.intersects(GraphArea(graph)))
                return false;
    }
    return true;
}

void TSkinRenderer::DrawGraphs(const TSkinModeRecord& r, const SkinRenderInputs& in,
                               Bitmap24& surface)
{
    GraphCache& cache = m_graphCache;
    const QSize size(surface.Width(), surface.Height());
    m_reusedGraphs = false;
    if (in.HistoryStamp != 0 && cache.Stamp == in.HistoryStamp && cache.Mode == &r &&
        cache.MultiCpu == in.NTMultiCPU && cache.CpuCount == in.CpuCount &&
        cache.SurfaceSize == size) {
        for (size_t i = 0; i < cache.Areas.size(); ++i) {
            const QRect& a = cache.Areas[i];
            PlainCopy(cache.Pixels[i], 0, 0, a.width(), a.height(), surface, a.x(), a.y());
        }
        m_reusedGraphs = true;
        return;
    }

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

    cache = GraphCache();
    if (in.HistoryStamp == 0 || !GraphsStandAlone(r))
        return;
    const QRect whole(QPoint(0, 0), size);
    for (const TSkinGraph& graph : r.Graphs) {
        if (!graph.Enabled)
            continue;
        const QRect area = GraphArea(graph).intersected(whole);
        if (area.isEmpty())
            continue;
        cache.Areas.push_back(area);
        cache.Pixels.push_back(surface.Copy(area.x(), area.y(), area.width(), area.height()));
    }
    cache.Mode = &r;
    cache.Stamp = in.HistoryStamp;
    cache.MultiCpu = in.NTMultiCPU;
    cache.CpuCount = in.CpuCount;
    cache.SurfaceSize = size;
}
