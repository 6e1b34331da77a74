// "Pulsmir Flat Digital": flat panels, segmented bar meters, annunciator lamps and filled
// graphs. "Pulsmir Sensor Deck": the same panel for temperature, battery and disk space.
// "Pulsmir Mini Strip": one light, rectangular strip without any mask colour.
// "Pulsmir Machine Deck": the processor beside the graphics processor, temperatures, a fan and
// the five busiest processes as text.
#include "SkinWriter.h"
#include "Skins.h"

#include <QPainterPath>
#include <cmath>
#include <tuple>

using namespace art;

namespace {

namespace flat {

const QColor Key(255, 0, 255);
const QColor Back(21, 25, 34);
const QColor Panel(14, 17, 23);
const QColor Rule(38, 44, 56);
const QColor Label(141, 152, 173);
const QColor Ink(226, 232, 240);
const QColor Cyan(56, 214, 255), Green(91, 227, 125), Violet(178, 140, 255);
const QColor Amber(255, 179, 71), Pink(255, 93, 143), Teal(64, 224, 196), Red(255, 84, 84);

constexpr int CellW = 8, CellH = 13;
constexpr int BarFrames = 51;

QImage Body(int w, int h)
{
    QImage body = Canvas(w, h);
    QPainter p(&body);
    Smooth(p);
    QPainterPath outline;
    const double c = 7; // chamfer
    outline.moveTo(c, 0);
    outline.lineTo(w - c, 0);
    outline.lineTo(w, c);
    outline.lineTo(w, h - c);
    outline.lineTo(w - c, h);
    outline.lineTo(c, h);
    outline.lineTo(0, h - c);
    outline.lineTo(0, c);
    outline.closeSubpath();
    p.fillPath(outline, Back);
    p.setPen(QPen(Rule, 1));
    p.setBrush(Qt::NoBrush);
    QTransform inset = QTransform::fromTranslate(0.5, 0.5).scale((w - 1.0) / w, (h - 1.0) / h);
    p.drawPath(inset.map(outline));
    // A thin accent along the top edge.
    p.setPen(QPen(Cyan, 1));
    p.drawLine(QPointF(c + 4, 0.5), QPointF(c + 34, 0.5));
    return body;
}

// Segments of width 3 with a gap of 1; frame k lights round(k * segments / (frames - 1)).
int Segments(int width)
{
    return width / 4;
}

void DrawBar(QPainter& p, QRect r, QColor colour, int lit)
{
    p.setPen(Qt::NoPen);
    const int n = Segments(r.width());
    for (int s = 0; s < n; ++s) {
        const QRectF seg(r.left() + s * 4, r.top(), 3, r.height());
        if (s < lit) {
            // Brighter towards the top of the range.
            const double t = double(s) / std::max(1, n - 1);
            p.setBrush(t > 0.85 ? Red : Mix(colour.darker(125), colour, t));
        } else {
            p.setBrush(Mix(colour, Panel, 0.86));
        }
        p.drawRect(seg);
    }
}

std::vector<QImage> BarFramesOf(const QImage& base, QRect r, QColor colour)
{
    std::vector<QImage> frames;
    const int n = Segments(r.width());
    for (int k = 0; k < BarFrames; ++k) {
        QImage frame = Crop(base, r);
        QPainter p(&frame);
        DrawBar(p, QRect(QPoint(0, 0), r.size()), colour,
                int(std::lround(double(k) * n / (BarFrames - 1))));
        frames.push_back(frame);
    }
    return frames;
}

struct Annunciator
{
    QString prefix;
    QString text;
    std::vector<QColor> states; // invalid = dark
};

constexpr int LampW = 20, LampH = 11;

void DrawAnnunciator(QPainter& p, QRectF r, const QString& text, QColor state)
{
    p.save();
    Smooth(p);
    p.setPen(Qt::NoPen);
    p.setBrush(state.isValid() ? state : Panel);
    p.drawRoundedRect(r, 2, 2);
    if (!state.isValid()) {
        p.setPen(QPen(Rule, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    }
    Text(p, r.adjusted(0, 0, 0, -0.5), Qt::AlignCenter, text, Font(Face::CondensedBold, 7),
         state.isValid() ? Panel : Label.darker(130));
    p.restore();
}

std::vector<Annunciator> Annunciators()
{
    const QColor none;
    return {{"DR", "RD", {none, Green}},
            {"DW", "WR", {none, Red}},
            {"DRW", "R/W", {none, Amber}},
            {"NIn", "IN", {none, Cyan}},
            {"NOut", "OUT", {none, Pink}},
            {"NIO", "I/O", {none, Teal}},
            {"PNG", "PING", {QColor(120, 40, 48), Amber.darker(115), Amber, Green}},
            {"PNGING", "TX", {none, Violet}}};
}

// Draws the row of annunciators and the ping read-out; writes them into the mode.
struct AnnunciatorRow
{
    std::vector<QPoint> at;
    QPoint pingCells;
};

AnnunciatorRow DrawAnnunciatorRow(QPainter& p, QPoint origin, const std::vector<Annunciator>& list,
                                  bool pingReadout)
{
    AnnunciatorRow row;
    int x = origin.x();
    for (const Annunciator& a : list) {
        row.at.push_back(QPoint(x, origin.y()));
        DrawAnnunciator(p, QRectF(x, origin.y(), LampW, LampH), a.text, a.states.front());
        x += LampW + 2 + ((a.prefix == "DRW" || a.prefix == "NIO") ? 4 : 0);
    }
    if (pingReadout) {
        row.pingCells = QPoint(x + 3, origin.y() - 1);
        Text(p, QRectF(x + 3 + 3 * CellW, origin.y(), 16, LampH), Qt::AlignLeft | Qt::AlignVCenter,
             "ms", Font(Face::CondensedBold, 8), Label);
    }
    return row;
}

void WriteAnnunciators(SkinWriter& skin, const QImage& base, const AnnunciatorRow& row,
                       const std::vector<Annunciator>& list, bool pingReadout)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::vector<QImage> frames;
        for (const QColor& state : list[i].states) {
            QImage frame = Crop(base, QRect(row.at[i], QSize(LampW, LampH)));
            QPainter p(&frame);
            DrawAnnunciator(p, QRectF(0, 0, LampW, LampH), list[i].text, state);
            frames.push_back(frame);
        }
        skin.Lamp(list[i].prefix, row.at[i], frames);
    }
    if (pingReadout)
        skin.Readout("PNG", row.pingCells, 3, false);
}

struct BarRow
{
    QString prefix;
    QString label;
    QColor colour;
    QString speedKey;
    int speed;
    QString unit; // after the read-out; none without one
};

struct GraphSpot
{
    QString prefix;
    QString label;
    QRect rect;
    int type;
    int deep;
    QColor colour;
};

// One mode of a flat panel: rows of bars with their read-outs, a row of annunciators and the
// graphs below them.
struct FlatLayout
{
    int width;
    int height;
    int barLeft;
    int barWidth;
    std::vector<BarRow> rows;
    std::vector<Annunciator> lamps;
    bool pingReadout;
    std::vector<GraphSpot> graphs;
    bool floats;
};

} // namespace flat

QImage FlatStrip()
{
    return TextStrip(flat::CellW, flat::CellH, flat::Back, flat::Ink, Font(Face::MonoBold, 12));
}

void WriteFlatPanel(SkinWriter& skin, bool full, const flat::FlatLayout& layout)
{
    using namespace flat;
    const int w = layout.width, h = layout.height;
    QImage base = Body(w, h);
    std::vector<QRect> bars;
    AnnunciatorRow row;
    {
        QPainter p(&base);
        Smooth(p);
        int y = 9;
        for (const BarRow& bar : layout.rows) {
            Text(p, QRectF(10, y, layout.barLeft - 14, 14), Qt::AlignLeft | Qt::AlignVCenter,
                 bar.label, Font(Face::CondensedBold, 9), Label);
            const QRect r(layout.barLeft, y + 2, layout.barWidth, 10);
            DrawBar(p, r, bar.colour, 0);
            bars.push_back(r);
            if (!bar.unit.isEmpty())
                Text(p, QRectF(layout.barLeft + layout.barWidth + 6 + 3 * CellW + 1, y, 16, 14),
                     Qt::AlignLeft | Qt::AlignVCenter, bar.unit, Font(Face::CondensedBold, 9),
                     Label);
            y += 16;
        }
        row = DrawAnnunciatorRow(p, QPoint(10, y + 6), layout.lamps, layout.pingReadout);
        for (const GraphSpot& g : layout.graphs) {
            p.setPen(Qt::NoPen);
            p.setBrush(Panel);
            p.drawRect(g.rect.adjusted(-1, -1, 1, 1));
            p.setPen(QPen(Rule, 1));
            const double mid = std::floor(g.rect.top() + (g.rect.height() - 1) / 2.0) + 0.5;
            p.drawLine(QPointF(g.rect.left(), mid), QPointF(g.rect.right(), mid));
            Text(p, QRectF(g.rect.left() + 3, g.rect.top() + 1, 60, 10),
                 Qt::AlignLeft | Qt::AlignTop, g.label, Font(Face::CondensedBold, 7),
                 Mix(g.colour, Panel, 0.4));
        }
    }
    skin.Mode(full);
    skin.Background(CutOut(base, Back, Key), Key);
    skin.Font(FlatStrip());
    for (std::size_t i = 0; i < layout.rows.size(); ++i) {
        const BarRow& bar = layout.rows[i];
        skin.Meter(bar.prefix, bars[i].topLeft(), BarFramesOf(base, bars[i], bar.colour),
                   bar.speedKey, bar.speed);
        if (!bar.unit.isEmpty())
            skin.Readout(bar.prefix, QPoint(layout.barLeft + layout.barWidth + 6, bars[i].top() - 3),
                         3, false);
    }
    WriteAnnunciators(skin, base, row, layout.lamps, layout.pingReadout);
    for (const GraphSpot& g : layout.graphs)
        skin.Graph(g.prefix, g.rect, g.type, g.deep, g.colour);
    if (layout.floats)
        skin.Floating(true, -(w + 120), 0);
    else
        skin.Floating(false, 0, 0);
}

void WriteFlatMode(SkinWriter& skin, bool full)
{
    using namespace flat;
    FlatLayout layout{full ? 322 : 248, full ? 280 : 84, full ? 62 : 42, full ? 200 : 140,
                      {{"CPU", "CPU", Cyan, "CPUDownSpeed", 8, "%"},
                       {"MEM", "MEM", Green, "MEMSpeed", 4, "%"},
                       {"SWP", "SWAP", Violet, "SWPSpeed", 4, "%"}},
                      Annunciators(), true, {}, !full};
    if (full) {
        layout.rows.push_back({"DRM", "DISK R", Teal, "DRMDownSpeed", 6, {}});
        layout.rows.push_back({"DWM", "DISK W", Red.lighter(110), "DWMDownSpeed", 6, {}});
        layout.rows.push_back({"NInM", "NET IN", Amber, "NInMDownSpeed", 6, {}});
        layout.rows.push_back({"NOutM", "NET OUT", Pink, "NOutMDownSpeed", 6, {}});
        const int l = 10, r = 165, pw = 147;
        layout.graphs = {{"CPUGrp", "CPU", QRect(l, 150, 302, 34), 2, 101, Cyan},
                         {"MEMGrp", "MEM", QRect(l, 192, pw, 22), 2, 74, Green},
                         {"SwapGrp", "SWAP", QRect(r, 192, pw, 22), 2, 74, Violet},
                         {"DiskRGrp", "DISK R", QRect(l, 220, pw, 22), 3, 74, Teal},
                         {"DiskWGrp", "DISK W", QRect(r, 220, pw, 22), 3, 74, Red.lighter(110)},
                         {"NetIGrp", "NET IN", QRect(l, 248, pw, 22), 2, 74, Amber},
                         {"NetOGrp", "NET OUT", QRect(r, 248, pw, 22), 2, 74, Pink}};
    }
    WriteFlatPanel(skin, full, layout);
}

// The sensors beside the processor: temperature with its alarm lamp, battery with its mains
// lamp, the disk's used space; the full mode adds memory and the two sensor graphs.
void WriteSensorMode(SkinWriter& skin, bool full)
{
    using namespace flat;
    const QColor none;
    FlatLayout layout{full ? 322 : 268, full ? 210 : 100, full ? 62 : 42, full ? 200 : 160,
                      {{"CPU", "CPU", Cyan, "CPUDownSpeed", 8, "%"}},
                      {{"TMPALM", "HOT", {none, Red}},
                       {"BATCHG", "AC", {none, Green}},
                       {"DR", "RD", {none, Green}},
                       {"DW", "WR", {none, Red}}},
                      false, {}, !full};
    if (full)
        layout.rows.push_back({"MEM", "MEM", Green, "MEMSpeed", 4, "%"});
    layout.rows.push_back({"TMP", "TEMP", Amber, "TMPSpeed", 4, "\u00b0C"});
    layout.rows.push_back({"BAT", "BATT", Teal, "BATSpeed", 4, "%"});
    layout.rows.push_back({"DSK", "DISK", Violet, "DSKSpeed", 4, "%"});
    if (full)
        layout.graphs = {{"TempGrp", "TEMP", QRect(10, 120, 302, 34), 2, 101, Amber},
                         {"BattGrp", "BATT", QRect(10, 166, 302, 34), 2, 101, Teal}};
    WriteFlatPanel(skin, full, layout);
}

// The whole machine: bars with read-outs (the fan's in revolutions per minute), the hot lamp and
// the disk lamps, the full view's two graphs, then the host, the card's name and the five
// busiest processes as lines of text.
void WriteMachineMode(SkinWriter& skin, bool full)
{
    using namespace flat;
    struct Row
    {
        QString prefix, label;
        QColor colour;
        QString speedKey;
        QString unit;
        int cells;
    };
    std::vector<Row> rows = {{"CPU", "CPU", Cyan, "CPUDownSpeed", "%", 3},
                             {"MEM", "MEM", Green, "MEMSpeed", "%", 3},
                             {"GPU", "GPU", Violet, "GPUSpeed", "%", 3},
                             {"GPUMEM", "VRAM", Pink, "GPUMEMSpeed", "%", 3},
                             {"GPUTMP", "GPU \u00b0C", Amber, "GPUTMPSpeed", "\u00b0C", 3},
                             {"TMP", "CPU \u00b0C", Red.lighter(110), "TMPSpeed", "\u00b0C", 3},
                             {"FAN", "FAN", Teal, "FANSpeed", "rpm", 4}};

    const int w = full ? 322 : 268, barLeft = full ? 62 : 50, barWidth = full ? 184 : 136;
    const QFont label = Font(Face::CondensedBold, 9);
    int y = 9;
    std::vector<QRect> bars;
    for (std::size_t i = 0; i < rows.size(); ++i, y += 16)
        bars.push_back(QRect(barLeft, y + 2, barWidth, 10));
    const std::vector<Annunciator> lamps = {
        {"TMPALM", "HOT", {QColor(), Red}}, {"DR", "RD", {QColor(), Green}},
        {"DW", "WR", {QColor(), Red}}};
    const QPoint lampsAt(w - 10 - 3 * (LampW + 2) + 2, y + 4);
    y += full ? 22 : 6;
    const QRect cpuGraph(10, y, 147, 30), gpuGraph(165, y, 147, 30);
    if (full)
        y += 40;
    const int listTop = y + (full ? 16 : 2), lineH = 13, names = full ? 220 : 176;
    const int h = listTop + 5 * lineH + 8 + (full ? 0 : 14);

    QImage base = Body(w, h);
    AnnunciatorRow lampRow;
    {
        QPainter p(&base);
        Smooth(p);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const int rowTop = bars[i].top() - 2;
            Text(p, QRectF(10, rowTop, barLeft - 14, 14), Qt::AlignLeft | Qt::AlignVCenter,
                 rows[i].label, label, Label);
            DrawBar(p, bars[i], rows[i].colour, 0);
            Text(p, QRectF(barLeft + barWidth + 6 + rows[i].cells * CellW + 2, rowTop, 24, 14),
                 Qt::AlignLeft | Qt::AlignVCenter, rows[i].unit, label, Label);
        }
        if (full) {
            lampRow = DrawAnnunciatorRow(p, QPoint(10, bars.back().bottom() + 10), lamps, false);
            for (const auto& [rect, name, colour] :
                 {std::tuple{cpuGraph, QString("CPU"), Cyan}, {gpuGraph, QString("GPU"), Violet}}) {
                p.setPen(Qt::NoPen);
                p.setBrush(Panel);
                p.drawRect(rect.adjusted(-1, -1, 1, 1));
                Text(p, QRectF(rect.left() + 3, rect.top() + 1, 60, 10),
                     Qt::AlignLeft | Qt::AlignTop, name, Font(Face::CondensedBold, 7),
                     Mix(colour, Panel, 0.4));
            }
        }
        // The list of processes sits on a panel of its own.
        p.setPen(Qt::NoPen);
        p.setBrush(Panel);
        p.drawRoundedRect(QRectF(8, listTop - 3, w - 16, 5 * lineH + 6), 3, 3);
        p.setPen(QPen(Rule, 1));
        for (int k = 1; k < 5; ++k)
            p.drawLine(QPointF(14, listTop + k * lineH + 0.5), QPointF(w - 14, listTop + k * lineH + 0.5));
    }
    skin.Mode(full);
    skin.Background(CutOut(base, Back, Key), Key);
    skin.Font(FlatStrip());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        skin.Meter(rows[i].prefix, bars[i].topLeft(), BarFramesOf(base, bars[i], rows[i].colour),
                   rows[i].speedKey, 4);
        skin.Readout(rows[i].prefix, QPoint(barLeft + barWidth + 6, bars[i].top() - 3),
                     rows[i].cells, false);
    }
    if (full) {
        WriteAnnunciators(skin, base, lampRow, lamps, false);
        skin.Graph("CPUGrp", cpuGraph, 2, 101, Cyan);
        skin.Graph("GpuGrp", gpuGraph, 2, 101, Violet);
    }
    const QString family = "DejaVu Sans Condensed";
    int text = 1;
    auto line = [&](const QString& value, QRect box, int size, QColor colour, const QString& align,
                    const QString& format = {}) {
        skin.Text(QString("Text%1").arg(text++), {value, box, family, size, colour, align, format});
    };
    if (full) {
        line("host", QRect(10, listTop - 17, 150, 12), 10, Ink, "left");
        line("gpu.name", QRect(160, listTop - 17, w - 170, 12), 10, Label, "right");
    } else {
        line("host", QRect(10, h - 15, 120, 11), 9, Label, "left");
        line("gpu.name", QRect(130, h - 15, w - 140, 11), 9, Label, "right");
    }
    for (int k = 0; k < 5; ++k) {
        const int top = listTop + k * lineH;
        line(QString("proc%1.name").arg(k + 1), QRect(14, top, names - 14, lineH), 10,
             k == 0 ? Ink : Mix(Ink, Label, 0.5), "left");
        line(QString("proc%1.share").arg(k + 1), QRect(names, top, w - 14 - names, lineH), 10,
             k == 0 ? Cyan : Label, "right");
    }
    skin.Floating(!full, -(w + 120), 0);
}

void DrawFlatBanner(const QString& path)
{
    QImage banner = flat::Body(200, 40);
    {
        QPainter p(&banner);
        Smooth(p);
        flat::DrawBar(p, QRect(10, 26, 72, 6), flat::Cyan, 13);
        Text(p, QRectF(10, 5, 186, 18), Qt::AlignLeft | Qt::AlignVCenter, "Pulsmir Flat Digital",
             Font(Face::SansBold, 12), flat::Ink);
        Text(p, QRectF(88, 22, 106, 14), Qt::AlignLeft | Qt::AlignVCenter, "bars \u00b7 graphs",
             Font(Face::Sans, 8), flat::Label);
    }
    WritePicture(CutOut(banner, flat::Back, QColor(32, 34, 38)), path);
}

} // namespace

void WriteDigitalSkin(const QString& skinFolder)
{
    SkinWriter skin(skinFolder, "FlatDigital");
    skin.Identity("Pulsmir Flat Digital: compact 248 x 84, full 322 x 280.",
                  "Pulsmir Flat Digital");
    DrawFlatBanner(skinFolder + "/FlatDigital/banner.png");
    skin.Ini.Set("CreaterBanner", "banner.png");
    WriteFlatMode(skin, false);
    WriteFlatMode(skin, true);
    skin.Finish();
}

void WriteSensorSkin(const QString& skinFolder)
{
    SkinWriter skin(skinFolder, "SensorDeck");
    skin.Identity("Pulsmir Sensor Deck: temperature, battery and disk space; compact 268 x 100, "
                  "full 322 x 210.",
                  "Pulsmir Sensor Deck");
    WriteSensorMode(skin, false);
    WriteSensorMode(skin, true);
    skin.Finish();
}

void WriteMiniSkin(const QString& skinFolder)
{
    const QColor paper(233, 236, 240), ink(38, 44, 58), rule(196, 202, 212);
    const QColor blue(47, 125, 225), teal(22, 160, 133), read(46, 170, 80), write(214, 64, 52);
    constexpr int w = 234, h = 22, cellW = 7, cellH = 12, frames = 41;
    SkinWriter skin(skinFolder, "MiniStrip");
    skin.Identity("Pulsmir Mini Strip: compact only, 234 x 22, no mask colours.",
                  "Pulsmir Mini Strip");

    QImage base = Canvas(w, h, paper);
    const QRect cpuBar(28, 8, 40, 6), memBar(134, 8, 40, 6);
    const QRect dr(211, 6, 9, 9), dw(222, 6, 9, 9);
    auto bar = [&](QPainter& p, QRect r, QColor colour, double fill) {
        p.fillRect(r, rule);
        p.fillRect(QRectF(r.left(), r.top(), r.width() * fill, r.height()), colour);
    };
    auto lamp = [&](QPainter& p, QRect r, QColor colour, bool on) {
        Smooth(p);
        p.setPen(QPen(on ? colour.darker(140) : rule.darker(115), 1));
        p.setBrush(on ? colour : paper.darker(106));
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    };
    {
        QPainter p(&base);
        Smooth(p);
        p.setPen(QPen(rule.darker(110), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
        p.setPen(QPen(Qt::white, 1));
        p.drawLine(QPointF(1.5, 1.5), QPointF(w - 2, 1.5));
        const QFont label = Font(Face::CondensedBold, 9);
        Text(p, QRectF(4, 0, 22, h), Qt::AlignLeft | Qt::AlignVCenter, "CPU", label, ink);
        Text(p, QRectF(110, 0, 24, h), Qt::AlignLeft | Qt::AlignVCenter, "MEM", label, ink);
        Text(p, QRectF(72 + 3 * cellW + 1, 0, 10, h), Qt::AlignLeft | Qt::AlignVCenter, "%", label,
             ink.lighter(160));
        Text(p, QRectF(178 + 3 * cellW + 1, 0, 10, h), Qt::AlignLeft | Qt::AlignVCenter, "%", label,
             ink.lighter(160));
        bar(p, cpuBar, blue, 0);
        bar(p, memBar, teal, 0);
        lamp(p, dr, read, false);
        lamp(p, dw, write, false);
    }
    auto meter = [&](QRect r, QColor colour) {
        std::vector<QImage> result;
        for (int k = 0; k < frames; ++k) {
            QImage frame = Crop(base, r);
            QPainter p(&frame);
            bar(p, QRect(QPoint(0, 0), r.size()), colour, double(k) / (frames - 1));
            result.push_back(frame);
        }
        return result;
    };
    auto lampFrames = [&](QRect r, QColor colour) {
        std::vector<QImage> result;
        for (bool on : {false, true}) {
            QImage frame = Crop(base, r);
            QPainter p(&frame);
            p.translate(-r.topLeft());
            lamp(p, r, colour, on);
            result.push_back(frame);
        }
        return result;
    };
    skin.Mode(false);
    skin.Background(base, std::nullopt);
    skin.Font(TextStrip(cellW, cellH, paper, ink, Font(Face::MonoBold, 11)));
    skin.Meter("CPU", cpuBar.topLeft(), meter(cpuBar, blue), "CPUDownSpeed", 10);
    skin.Readout("CPU", QPoint(72, 5), 3, false);
    skin.Meter("MEM", memBar.topLeft(), meter(memBar, teal), "MEMSpeed", 5);
    skin.Readout("MEM", QPoint(178, 5), 3, false);
    skin.Lamp("DR", dr.topLeft(), lampFrames(dr, read));
    skin.Lamp("DW", dw.topLeft(), lampFrames(dw, write));
    skin.Floating(true, -(w + 120), 4);
    skin.Ini.Section("Pulsmir2_SkinL");
    skin.Ini.Set("Enable", 0);
    skin.Finish();
}

void WriteMachineSkin(const QString& skinFolder)
{
    SkinWriter skin(skinFolder, "MachineDeck");
    skin.Identity("Pulsmir Machine Deck: processor, memory, graphics processor, temperatures, a fan "
                  "and the five busiest processes.",
                  "Pulsmir Machine Deck");
    WriteMachineMode(skin, false);
    WriteMachineMode(skin, true);
    skin.Finish();
}
