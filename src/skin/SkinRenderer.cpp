#include "skin/SkinRenderer.h"

#include "skin/SkinDraw.h"
#include "skin/SkinElements.h"
#include "skin/SkinSystem.h"
#include "skin/SkinText.h"

#include <QString>
#include <algorithm>
#include <cstdlib>
#include <optional>
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

// The background under an area of the surface: from the whole picture while the skin keeps
// it, else from the parts under the elements (the rest of the surface is background already).
void RestoreBackground(const TSkinModeRecord& r, const QRect& area, Bitmap24& surface)
{
    if (r.BackgroundReleased)
        r.BackgroundUnderElements.CopyTo(surface, area);
    else
        PlainCopy(r.Background, area.x(), area.y(), area.width(), area.height(), surface, area.x(),
                  area.y());
}

// A lamp's position or a meter's target or a read-out's number.
std::int64_t InputNumber(const SkinRenderInputs& in, SkinInput input, const TSkinModeRecord& r)
{
    const auto lamp = [](bool on) { return on ? 100 : 0; };
    switch (input) {
    case SkinInput::CpuUsage:
        return Entry(in.CpuUsage, 0, "CpuUsage");
    case SkinInput::MemoryLoad:
        return in.MemoryLoad;
    case SkinInput::SwapLoad:
        return in.SwapLoad;
    case SkinInput::FreeResources:
        return (!in.IsNT && r.ResRevSW) ? std::int64_t(100) - in.FreeResources
                                        : std::int64_t(in.FreeResources);
    case SkinInput::PingTime:
        return in.PingTime;
    case SkinInput::PingLevel:
        return PingLampPosition(in.PingLevel);
    case SkinInput::Pinging:
        return lamp(in.Pinging);
    case SkinInput::DiskReadActive:
        return lamp(in.DiskReadActive);
    case SkinInput::DiskWriteActive:
        return lamp(in.DiskWriteActive);
    case SkinInput::DiskActive:
        return lamp(in.DiskActive);
    case SkinInput::NetXactActive:
        return lamp(in.NetXactActive);
    case SkinInput::NetRecvActive:
        return lamp(in.NetRecvActive);
    case SkinInput::NetSendActive:
        return lamp(in.NetSendActive);
    case SkinInput::NetActive:
        return lamp(in.NetActive);
    case SkinInput::DiskReadPos:
        return in.DiskReadPos;
    case SkinInput::DiskWritePos:
        return in.DiskWritePos;
    case SkinInput::NetRecvPos:
        return in.NetRecvPos;
    case SkinInput::NetSendPos:
        return in.NetSendPos;
    case SkinInput::TempPos:
        return in.TempPos;
    case SkinInput::Temperature:
        return in.Temperature;
    case SkinInput::TempAlarm:
        return lamp(in.TempAlarm);
    case SkinInput::BatteryPercent:
        return in.BatteryPercent;
    case SkinInput::BatteryCharging:
        return lamp(in.BatteryCharging);
    case SkinInput::DiskSpacePercent:
        return in.DiskSpacePercent;
    case SkinInput::GpuLoad:
        return in.GpuLoad;
    case SkinInput::GpuMemoryLoad:
        return in.GpuMemoryLoad;
    case SkinInput::GpuTempPos:
        return in.GpuTempPos;
    case SkinInput::GpuTemperature:
        return in.GpuTemperature;
    case SkinInput::FanPos:
        return in.FanPos;
    case SkinInput::FanRpm:
        return in.FanRpm;
    default:
        return 0;
    }
}

// A sensor the system does not offer gives a negative value, and so do all inputs read with it.
bool InputMissing(const SkinRenderInputs& in, SkinInput input)
{
    switch (input) {
    case SkinInput::TempPos:
    case SkinInput::Temperature:
    case SkinInput::TempAlarm:
    case SkinInput::TempHistory:
        return in.Temperature < 0;
    case SkinInput::BatteryPercent:
    case SkinInput::BatteryCharging:
    case SkinInput::BatteryHistory:
        return in.BatteryPercent < 0;
    case SkinInput::DiskSpacePercent:
        return in.DiskSpacePercent < 0;
    case SkinInput::GpuLoad:
    case SkinInput::GpuHistory:
        return in.GpuLoad < 0;
    case SkinInput::GpuMemoryLoad:
    case SkinInput::GpuMemHistory:
        return in.GpuMemoryLoad < 0;
    case SkinInput::GpuTemperature:
        return in.GpuTemperature < 0;
    case SkinInput::GpuTempPos:
        return in.GpuTemperature < 0 || in.GpuTempPos < 0;
    case SkinInput::FanRpm:
        return in.FanRpm < 0;
    case SkinInput::FanPos:
        return in.FanRpm < 0 || in.FanPos < 0;
    default:
        return false;
    }
}

} // namespace

const std::vector<int>& SkinInputHistory(const SkinRenderInputs& in, SkinInput input)
{
    switch (input) {
    case SkinInput::MemHistory:
        return in.MemHistory;
    case SkinInput::SwapHistory:
        return in.SwapHistory;
    case SkinInput::DiskReadHistory:
        return in.DiskReadHistory;
    case SkinInput::DiskWriteHistory:
        return in.DiskWriteHistory;
    case SkinInput::NetRecvHistory:
        return in.NetRecvHistory;
    case SkinInput::NetSendHistory:
        return in.NetSendHistory;
    case SkinInput::TempHistory:
        return in.TempHistory;
    case SkinInput::BatteryHistory:
        return in.BatteryHistory;
    case SkinInput::GpuHistory:
        return in.GpuHistory;
    case SkinInput::GpuMemHistory:
        return in.GpuMemHistory;
    default:
        return Entry(in.CpuHistory, 0, "CpuHistory");
    }
}

std::vector<int>& SkinInputHistory(SkinRenderInputs& in, SkinInput input)
{
    return const_cast<std::vector<int>&>(
        SkinInputHistory(static_cast<const SkinRenderInputs&>(in), input));
}

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
        RestoreBackground(mode, QRect(0, 0, surface.Width(), surface.Height()), surface);
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
        RestoreBackground(r, QRect(QPoint(0, 0), size), surface);
        for (FrameOp& op : m_ops)
            op.Redraw = true;
        if (!surface.IsEmpty())
            m_changed.push_back(QRect(QPoint(0, 0), size));
    } else {
        MarkRedraws();
        for (const QRect& a : m_changed)
            RestoreBackground(r, a, surface);
    }
    for (const FrameOp& op : m_ops)
        if (op.Redraw)
            DrawOp(r, in, op, surface);
    // The throughput meters come after the graphs: a graph that fails leaves them where they were.
    for (const SkinElementRow& row : SkinElements())
        if (row.Stage == SkinStage::Throughput)
            MeterPositions[row.Index] = m_nextPositions[row.Index];

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
    for (const SkinElementRow& row : SkinElements()) {
        if (row.Kind != SkinElementKind::Meter)
            continue;
        const int m = row.Index;
        // A missing input drives its meter to 0; an absent meter keeps its position.
        const std::int64_t target = InputMissing(in, row.Input) ? 0 : InputNumber(in, row.Input, r);
        m_nextPositions[m] = r.Meters[m].Enabled
                                 ? NextMeterPosition(r.Speeds[m], p[m], target, in.LinearOFF)
                                 : p[m];
        // The throughput meters move once their frame is drawn (see DrawFrame).
        if (row.Stage != SkinStage::Throughput)
            p[m] = m_nextPositions[m];
    }

    m_ops.clear();
    for (const SkinElementRow* row : SkinElementsByDrawRank()) {
        // The elements that came with the graphics processor and the texts are planned only
        // where the skin has them, so a skin without them draws its frames at the same cost.
        if (row->Stage == SkinStage::Machine && !SkinElementEnabled(r, *row))
            continue;
        const auto index = std::uint8_t(row->Index);
        const bool missing = InputMissing(in, row->Input);
        switch (row->Kind) {
        case SkinElementKind::Meter:
        case SkinElementKind::Lamp: {
            const bool meter = row->Kind == SkinElementKind::Meter;
            const TSkinElement& e = meter ? r.Meters[index] : r.Lamps[index];
            const std::int64_t value =
                meter ? m_nextPositions[index] : (missing ? 0 : InputNumber(in, row->Input, r));
            const std::int64_t frame = MeterFrame(e, value);
            m_ops.push_back({meter ? FrameOp::Meter : FrameOp::Lamp, index, false, missing, value,
                             frame, ElementArea(e, frame, size), {}});
            break;
        }
        case SkinElementKind::Readout: {
            const std::int64_t value = InputNumber(in, row->Input, r);
            m_ops.push_back({FrameOp::Readout, index, false, missing, value, value,
                             ReadoutArea(r.Font, r.Readouts[index], size), {}});
            break;
        }
        case SkinElementKind::Graph:
            if (in.FullMode)
                m_ops.push_back({FrameOp::Graph, index, false, missing, 0,
                                 std::int64_t(in.HistoryStamp), GraphArea(r.Graphs[index], size), {}});
            break;
        case SkinElementKind::Text: {
            const TSkinText& text = r.Texts[index];
            m_ops.push_back({FrameOp::Text, index, false, false, 0, 0, SkinTextArea(text, size),
                             TextLine(r, text, in)});
            break;
        }
        }
    }
}

QRegion TSkinRenderer::ElementAreas(const TSkinModeRecord& r, QSize size)
{
    QRegion areas;
    for (const SkinElementRow& row : SkinElements()) {
        switch (row.Kind) {
        case SkinElementKind::Meter:
            areas += ElementArea(r.Meters[row.Index], 0, size);
            break;
        case SkinElementKind::Lamp:
            areas += ElementArea(r.Lamps[row.Index], 0, size);
            break;
        case SkinElementKind::Readout:
            areas += ReadoutArea(r.Font, r.Readouts[row.Index], size);
            break;
        case SkinElementKind::Graph:
            areas += GraphArea(r.Graphs[row.Index], size);
            break;
        case SkinElementKind::Text:
            areas += SkinTextArea(r.Texts[row.Index], size);
            break;
        }
    }
    return areas;
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
        op.Redraw = !old || old->Key != op.Key || old->Missing != op.Missing ||
                    old->Area != op.Area || old->Line != op.Line ||
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
    const std::optional<SkinColor> keep =
        r.BgMaskFlag ? std::optional<SkinColor>(r.BgMaskColor) : std::nullopt;
    switch (op.What) {
    case FrameOp::Meter:
    case FrameOp::Lamp: {
        const TSkinElement& e = op.What == FrameOp::Meter ? r.Meters[op.Index] : r.Lamps[op.Index];
        DrawMeter(e, op.Value, surface);
        if (op.Missing && e.Enabled)
            DimArea(surface, e.X, e.Y, e.Width, e.FrameHeight, r.MissingDim, keep);
        break;
    }
    case FrameOp::Readout:
        if (op.Missing)
            DrawMissingReadout(r.Font, r.Readouts[op.Index], surface);
        else
            DrawReadout(r.Font, r.Readouts[op.Index], op.Value, surface);
        break;
    case FrameOp::Graph: {
        const TSkinGraph& g = r.Graphs[op.Index];
        if (op.Missing) {
            // No history to draw: the graph's box is dimmed instead.
            const std::int64_t x0 = g.X, x1 = std::int64_t(g.X) + g.W - 1;
            const std::int64_t y0 = g.Y, y1 = std::int64_t(g.Y) + g.H - 1;
            if (g.Enabled)
                DimArea(surface, std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0) + 1,
                        std::abs(y1 - y0) + 1, r.MissingDim, keep);
        } else if (op.Index != GraphCPU) {
            DrawGraph(g, SkinInputHistory(in, SkinElementOf(SkinElementKind::Graph, op.Index).Input),
                      surface, m_scratch);
        } else if (g.Enabled) {
            if (in.NTMultiCPU && in.CpuCount >= 2) {
                for (int k = 1; k <= in.CpuCount; ++k)
                    DrawGraph(g, Entry(in.CpuHistory, std::size_t(k), "CpuHistory"), surface,
                              m_scratch);
            } else {
                DrawGraph(g, Entry(in.CpuHistory, 0, "CpuHistory"), surface, m_scratch);
            }
        }
        break;
    }
    case FrameOp::Text:
        DrawSkinText(r.Texts[op.Index], op.Line, surface);
        break;
    }
}

QString TSkinRenderer::TextLine(const TSkinModeRecord& mode, const TSkinText& text,
                                const SkinRenderInputs& in)
{
    SkinTextInput value;
    if (text.Number) {
        const SkinInput input = *text.Number;
        const std::int64_t number = InputNumber(in, input, mode);
        // A ping without a reply has its number only so that the read-outs show it.
        if (InputMissing(in, input) || number < 0 ||
            (input == SkinInput::PingTime && number >= SkinRenderInputs::NoPingReply))
            return mode.MissingText;
        value = double(number);
    } else if (text.String) {
        const QString& string = in.Texts[std::size_t(*text.String)];
        if (string.isEmpty())
            return mode.MissingText;
        value = string;
    } else {
        return mode.MissingText;
    }
    if (text.Format.isEmpty())
        return FormatSkinText(QStringLiteral("%s"), value).value_or(QString());
    // A format the validator would refuse shows the value as it is.
    return FormatSkinText(text.Format, value)
        .value_or(FormatSkinText(QStringLiteral("%s"), value).value_or(QString()));
}
