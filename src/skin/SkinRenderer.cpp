#include "skin/SkinRenderer.h"

#include "skin/SkinDraw.h"
#include "skin/SkinSystem.h"

#include <QString>
#include <algorithm>
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

// The rectangle from (x, y) to (right, bottom), both inclusive, cut to the surface. Works in
// 64 bits, as skins may place elements anywhere in the int range.
QRect CutToSurface(std::int64_t x, std::int64_t y, std::int64_t right, std::int64_t bottom,
                   QSize size)
{
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    right = std::min<std::int64_t>(right, size.width() - 1);
    bottom = std::min<std::int64_t>(bottom, size.height() - 1);
    if (left > right || top > bottom)
        return {};
    return QRect(QPoint(int(left), int(top)), QPoint(int(right), int(bottom)));
}

QRect ElementArea(const TSkinElement& e, std::int64_t frame, QSize size)
{
    if (frame < 0 || e.Width <= 0)
        return {};
    return CutToSurface(e.X, e.Y, std::int64_t(e.X) + e.Width - 1,
                        std::int64_t(e.Y) + e.FrameHeight - 1, size);
}

QRect ReadoutArea(const TSkinFont& font, const TSkinReadout& r, QSize size)
{
    if (!r.Enabled || r.B <= 0 || font.GlyphWidth <= 0 || font.GlyphHeight <= 0)
        return {};
    return CutToSurface(r.X, r.Y, r.X + std::int64_t(r.B) * font.GlyphWidth - 1,
                        std::int64_t(r.Y) + font.GlyphHeight - 1, size);
}

// Every pixel a graph may touch: its box, whichever way round the skin gives it, and the pixel
// around it that the 2-pixel pen reaches.
QRect GraphArea(const TSkinGraph& g, QSize size)
{
    if (!g.Enabled)
        return {};
    const std::int64_t x0 = g.X, x1 = std::int64_t(g.X) + g.W - 1;
    const std::int64_t y0 = g.Y, y1 = std::int64_t(g.Y) + g.H - 1;
    return CutToSurface(std::min(x0, x1) - 1, std::min(y0, y1) - 1, std::max(x0, x1) + 1,
                        std::max(y0, y1) + 1, size);
}

const std::vector<int>& GraphHistory(const SkinRenderInputs& in, int graph)
{
    switch (graph) {
    case GraphMEM:
        return in.MemHistory;
    case GraphSwap:
        return in.SwapHistory;
    case GraphDiskR:
        return in.DiskReadHistory;
    case GraphDiskW:
        return in.DiskWriteHistory;
    case GraphNetI:
        return in.NetRecvHistory;
    case GraphTemp:
        return in.TempHistory;
    case GraphBatt:
        return in.BatteryHistory;
    default:
        return in.NetSendHistory;
    }
}

constexpr int DrawnGraphs[] = {GraphCPU,   GraphMEM,  GraphSwap, GraphDiskR,
                               GraphDiskW, GraphNetI, GraphNetO};
constexpr int DrawnLamps[] = {LampDR,   LampDW,  LampDRW, LampNTrans, LampNIn,
                              LampNOut, LampNIO, LampPNG, LampPNGING};
constexpr int DrawnReadouts[] = {ReadoutCPU, ReadoutMEM, ReadoutSWP, ReadoutRES, ReadoutPNG};
// Drawn after everything else, so that skins without them draw exactly as before.
constexpr int SensorMeters[] = {MeterTMP, MeterBAT, MeterDSK};
constexpr int SensorReadouts[] = {ReadoutTMP, ReadoutBAT, ReadoutDSK};
constexpr int SensorGraphs[] = {GraphTemp, GraphBatt};

// A sensor the system lacks shows as 0.
int Known(int value)
{
    return std::max(value, 0);
}

} // namespace

const std::vector<QRect>& TSkinRenderer::RenderSkin(const TSkinSystem& skin,
                                                    const SkinRenderInputs& inputs,
                                                    Bitmap24& surface)
{
    const TSkinModeRecord& mode = skin.Mode(inputs.FullMode);
    m_changed.clear();
    m_planned = false;
    QString error;
    try {
        DrawFrame(mode, inputs, surface);
        return m_changed;
    } catch (const ESkinDrawError& e) {
        error =
            QStringLiteral("%1(ContextID:%2)").arg(QString::fromUtf8(e.what())).arg(e.HelpContext);
    } catch (const std::exception& e) {
        error = QStringLiteral("%1(ContextID:0)").arg(QString::fromUtf8(e.what()));
    }
    m_log(QStringLiteral("<< ! >>SkinDrawError : ") + error);
    // A frame begins with the background, so one that failed before drawing anything shows it.
    if (!m_planned)
        PlainCopy(mode.Background, 0, 0, mode.Background.Width(), mode.Background.Height(), surface,
                  0, 0);
    m_shown.Valid = false;
    m_changed.assign(1, QRect(0, 0, surface.Width(), surface.Height()));
    return m_changed;
}

void TSkinRenderer::DrawFrame(const TSkinModeRecord& r, const SkinRenderInputs& in,
                              Bitmap24& surface)
{
    const QSize size(surface.Width(), surface.Height());
    const bool whole = !ShowsSameLayout(r, in, surface);
    PlanFrame(r, in, size);
    m_planned = true;
    m_shown.Valid = false; // until the frame is complete

    if (whole) {
        PlainCopy(r.Background, 0, 0, r.Background.Width(), r.Background.Height(), surface, 0, 0);
        for (FrameOp& op : m_ops)
            op.Redraw = true;
        if (!surface.IsEmpty())
            m_changed.push_back(QRect(QPoint(0, 0), size));
    } else {
        MarkRedraws();
        for (const QRect& a : m_changed)
            PlainCopy(r.Background, a.x(), a.y(), a.width(), a.height(), surface, a.x(), a.y());
    }
    for (const FrameOp& op : m_ops)
        if (op.Redraw)
            DrawOp(r, in, op, surface);
    // The throughput meters come after the graphs: a graph that fails leaves them where they were.
    for (int m = MeterDRM; m <= MeterNOutM; ++m)
        MeterPositions[m] = m_nextPositions[m];

    m_shown.Valid = true;
    m_shown.Mode = &r;
    m_shown.Pixels = surface.IsEmpty() ? nullptr : surface.Row(0);
    m_shown.Size = size;
    m_shown.FullMode = in.FullMode;
    m_shown.MultiCpu = in.NTMultiCPU;
    m_shown.CpuCount = in.CpuCount;
    m_shown.Ops.swap(m_ops);
}

bool TSkinRenderer::ShowsSameLayout(const TSkinModeRecord& r, const SkinRenderInputs& in,
                                    const Bitmap24& surface) const
{
    const ShownFrame& s = m_shown;
    return s.Valid && s.Mode == &r && s.Size == QSize(surface.Width(), surface.Height()) &&
           s.Pixels == (surface.IsEmpty() ? nullptr : surface.Row(0)) &&
           s.FullMode == in.FullMode && s.MultiCpu == in.NTMultiCPU && s.CpuCount == in.CpuCount;
}

void TSkinRenderer::PlanFrame(const TSkinModeRecord& r, const SkinRenderInputs& in, QSize size)
{
    std::array<int, MeterCount>& p = MeterPositions;
    const std::int64_t cpu = Entry(in.CpuUsage, 0, "CpuUsage");
    const std::int64_t res = (!in.IsNT && r.ResRevSW) ? std::int64_t(100) - in.FreeResources
                                                      : std::int64_t(in.FreeResources);
    // An absent meter keeps its position.
    const std::int64_t targets[MeterCount] = {
        cpu,           in.MemoryLoad,  in.SwapLoad,      res,
        in.DiskReadPos, in.DiskWritePos, in.NetRecvPos,   in.NetSendPos,
        in.TempPos,    Known(in.BatteryPercent), Known(in.DiskSpacePercent)};
    for (int m = 0; m < MeterCount; ++m)
        m_nextPositions[m] = r.Meters[m].Enabled
                                 ? NextMeterPosition(r.Speeds[m], p[m], targets[m], in.LinearOFF)
                                 : p[m];
    for (int m = MeterCPU; m <= MeterRES; ++m)
        p[m] = m_nextPositions[m];
    for (int m : SensorMeters)
        p[m] = m_nextPositions[m];

    m_ops.clear();
    auto addElement = [&](FrameOp::Kind what, int index, const TSkinElement& e,
                          std::int64_t value) {
        const std::int64_t frame = MeterFrame(e, value);
        m_ops.push_back(
            {what, std::uint8_t(index), false, value, frame, ElementArea(e, frame, size)});
    };
    for (int m = MeterCPU; m <= MeterRES; ++m)
        addElement(FrameOp::Meter, m, r.Meters[m], m_nextPositions[m]);
    const bool lampOn[] = {in.DiskReadActive, in.DiskWriteActive, in.DiskActive, in.NetXactActive,
                           in.NetRecvActive,  in.NetSendActive,   in.NetActive};
    for (int l : DrawnLamps) {
        const int position = l == LampPNG      ? PingLampPosition(in.PingLevel)
                             : l == LampPNGING ? (in.Pinging ? 100 : 0)
                                               : (lampOn[l] ? 100 : 0);
        addElement(FrameOp::Lamp, l, r.Lamps[l], position);
    }
    const std::int64_t numbers[ReadoutCount] = {cpu, in.MemoryLoad, in.SwapLoad, res, in.PingTime};
    for (int k : DrawnReadouts)
        m_ops.push_back({FrameOp::Readout, std::uint8_t(k), false, numbers[k], numbers[k],
                         ReadoutArea(r.Font, r.Readouts[k], size)});
    if (in.FullMode)
        for (int g : DrawnGraphs)
            m_ops.push_back({FrameOp::Graph, std::uint8_t(g), false, 0,
                             std::int64_t(in.HistoryStamp), GraphArea(r.Graphs[g], size)});
    for (int m = MeterDRM; m <= MeterNOutM; ++m)
        addElement(FrameOp::Meter, m, r.Meters[m], m_nextPositions[m]);

    for (int m : SensorMeters)
        addElement(FrameOp::Meter, m, r.Meters[m], m_nextPositions[m]);
    addElement(FrameOp::Lamp, LampTMPALM, r.Lamps[LampTMPALM], in.TempAlarm ? 100 : 0);
    addElement(FrameOp::Lamp, LampBATCHG, r.Lamps[LampBATCHG], in.BatteryCharging ? 100 : 0);
    const int sensorNumbers[] = {in.Temperature, in.BatteryPercent, in.DiskSpacePercent};
    for (int i = 0; i < 3; ++i) {
        const int k = SensorReadouts[i];
        const int value = sensorNumbers[i];
        // An unknown value draws nothing over the background.
        const QRect area = value < 0 ? QRect() : ReadoutArea(r.Font, r.Readouts[k], size);
        m_ops.push_back({FrameOp::Readout, std::uint8_t(k), false, value, value, area});
    }
    if (in.FullMode)
        for (int g : SensorGraphs)
            m_ops.push_back({FrameOp::Graph, std::uint8_t(g), false, 0,
                             std::int64_t(in.HistoryStamp), GraphArea(r.Graphs[g], size)});
}

void TSkinRenderer::MarkRedraws()
{
    // What changed is drawn again, on the background, together with everything drawn over any
    // part of it, until no element reaches into the areas from outside them.
    const std::vector<FrameOp>& before = m_shown.Ops;
    const bool sameOps = before.size() == m_ops.size();
    for (size_t i = 0; i < m_ops.size(); ++i) {
        FrameOp& op = m_ops[i];
        const FrameOp* old = sameOps ? &before[i] : nullptr;
        const bool stamped = op.What == FrameOp::Graph && op.Key != 0;
        op.Redraw = !old || old->Key != op.Key || old->Area != op.Area ||
                    (op.What == FrameOp::Graph && !stamped);
        if (!op.Redraw)
            continue;
        if (!op.Area.isEmpty())
            m_changed.push_back(op.Area);
        if (old && old->Area != op.Area && !old->Area.isEmpty())
            m_changed.push_back(old->Area);
    }
    for (bool grew = true; grew;) {
        grew = false;
        for (FrameOp& op : m_ops) {
            if (op.Redraw || op.Area.isEmpty())
                continue;
            op.Redraw = std::any_of(m_changed.begin(), m_changed.end(),
                                    [&](const QRect& a) { return a.intersects(op.Area); });
            if (op.Redraw) {
                m_changed.push_back(op.Area);
                grew = true;
            }
        }
    }
}

void TSkinRenderer::DrawOp(const TSkinModeRecord& r, const SkinRenderInputs& in, const FrameOp& op,
                           Bitmap24& surface)
{
    switch (op.What) {
    case FrameOp::Meter:
        DrawMeter(r.Meters[op.Index], op.Value, surface);
        break;
    case FrameOp::Lamp:
        DrawMeter(r.Lamps[op.Index], op.Value, surface);
        break;
    case FrameOp::Readout:
        if (op.Value >= 0 || op.Index < ReadoutTMP)
            DrawReadout(r.Font, r.Readouts[op.Index], op.Value, surface);
        break;
    case FrameOp::Graph:
        if (op.Index != GraphCPU) {
            DrawGraph(r.Graphs[op.Index], GraphHistory(in, op.Index), surface, m_scratch);
        } else if (r.Graphs[GraphCPU].Enabled) {
            if (in.NTMultiCPU && in.CpuCount >= 2) {
                for (int k = 1; k <= in.CpuCount; ++k)
                    DrawGraph(r.Graphs[GraphCPU],
                              Entry(in.CpuHistory, std::size_t(k), "CpuHistory"), surface,
                              m_scratch);
            } else {
                DrawGraph(r.Graphs[GraphCPU], Entry(in.CpuHistory, 0, "CpuHistory"), surface,
                          m_scratch);
            }
        }
        break;
    }
}
