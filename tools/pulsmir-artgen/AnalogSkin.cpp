// "System Analog Meter II(for2.2)", the default skin: a gunmetal case with ivory, backlit
// needle meters, amber seven-segment read-outs and round indicator lamps.
#include "SkinWriter.h"
#include "Skins.h"

#include <QPainterPath>
#include <cmath>

using namespace art;

namespace {

const QColor Key(255, 0, 255);
const QColor Engraving(170, 178, 190);
const QColor LcdBack(22, 16, 8);
const QColor LcdLit(255, 176, 46);
const QColor LcdGhost(38, 28, 13);

constexpr int CompactW = 250, CompactH = 130;
constexpr int FullW = 340, FullH = 292;
constexpr int MeterFrames = 101;
constexpr int SpeedFrames = 51;
constexpr int CellW = 9, CellH = 14;

struct Dial
{
    QRect r;
    QString label;
};

struct DialGeometry
{
    QPointF pivot;
    double radius;
};

DialGeometry Geometry(const Dial& d)
{
    const double pivotY = d.r.bottom() + 1 - 7;
    const double height = pivotY - d.r.top() - 5;
    const double halfWidth = (d.r.width() / 2.0 - 4) / std::cos(40 * M_PI / 180);
    return {QPointF(d.r.left() + d.r.width() / 2.0, pivotY), std::min(height, halfWidth)};
}

// 0 at the left end of the scale, 100 at the right; the scale spans 100 degrees.
QPointF OnScale(const DialGeometry& g, double value, double radius)
{
    const double angle = (140.0 - value) * M_PI / 180;
    return g.pivot + QPointF(radius * std::cos(angle), -radius * std::sin(angle));
}

quint32 Hash(quint32 x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

void DrawCase(QPainter& p, QSize size)
{
    const QRectF outer(0, 0, size.width(), size.height());
    QPainterPath outline;
    outline.addRoundedRect(outer, 12, 12);
    QLinearGradient metal(0, 0, 0, size.height());
    metal.setColorAt(0, QColor(86, 92, 102));
    metal.setColorAt(0.06, QColor(62, 67, 76));
    metal.setColorAt(0.55, QColor(44, 48, 55));
    metal.setColorAt(1, QColor(28, 30, 35));
    p.fillPath(outline, metal);
    // Brushed grain: faint horizontal strokes of varying brightness.
    p.save();
    p.setClipPath(outline);
    for (int y = 0; y < size.height(); ++y) {
        const quint32 h = Hash(quint32(y) * 2654435761U + 17);
        const int alpha = int(h % 14);
        p.setPen(QPen((h & 0x100) ? QColor(255, 255, 255, alpha) : QColor(0, 0, 0, alpha + 4), 1));
        p.drawLine(QPointF(0, y + 0.5), QPointF(size.width(), y + 0.5));
    }
    p.restore();
    // Rim: dark outer edge, bright bevel at the top inside.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(10, 11, 13), 1.2));
    p.drawRoundedRect(outer.adjusted(0.6, 0.6, -0.6, -0.6), 11.5, 11.5);
    QLinearGradient bevel(0, 0, 0, size.height());
    bevel.setColorAt(0, QColor(255, 255, 255, 110));
    bevel.setColorAt(0.25, QColor(255, 255, 255, 25));
    bevel.setColorAt(1, QColor(255, 255, 255, 8));
    p.setPen(QPen(QBrush(bevel), 1));
    p.drawRoundedRect(outer.adjusted(1.8, 1.8, -1.8, -1.8), 10.5, 10.5);
    // Four screws.
    for (QPointF c :
         {QPointF(6.5, 6.5), QPointF(size.width() - 6.5, 6.5), QPointF(6.5, size.height() - 6.5),
          QPointF(size.width() - 6.5, size.height() - 6.5)}) {
        QRadialGradient head(c + QPointF(-0.8, -0.8), 3);
        head.setColorAt(0, QColor(150, 156, 166));
        head.setColorAt(1, QColor(58, 62, 70));
        p.setPen(QPen(QColor(14, 15, 18), 0.8));
        p.setBrush(head);
        p.drawEllipse(c, 2.4, 2.4);
        p.setPen(QPen(QColor(30, 32, 36), 0.9));
        p.drawLine(c + QPointF(-1.5, 1.0), c + QPointF(1.5, -1.0));
    }
}

// A recess in the case: shadow above, a lit lip below.
void DrawWell(QPainter& p, const QRectF& r, double radius)
{
    QLinearGradient lip(r.topLeft(), r.bottomLeft());
    lip.setColorAt(0, QColor(6, 6, 8));
    lip.setColorAt(1, QColor(120, 126, 136));
    p.setPen(Qt::NoPen);
    p.setBrush(lip);
    p.drawRoundedRect(r.adjusted(-2, -2, 2, 2), radius + 2, radius + 2);
    p.setBrush(QColor(8, 9, 11));
    p.drawRoundedRect(r.adjusted(-1, -1, 1, 1), radius + 1, radius + 1);
}

void DrawDialFace(QPainter& p, const Dial& d, bool large)
{
    const QRectF r = d.r;
    DrawWell(p, r, 4);
    const DialGeometry g = Geometry(d);
    QPainterPath clip;
    clip.addRoundedRect(r, 4, 4);
    p.save();
    p.setClipPath(clip);
    // Warm backlit paper, brightest behind the needle's pivot.
    QRadialGradient light(g.pivot + QPointF(0, -r.height() * 0.25), r.width() * 0.85);
    light.setColorAt(0, QColor(255, 247, 224));
    light.setColorAt(0.55, QColor(242, 226, 186));
    light.setColorAt(1, QColor(204, 184, 138));
    p.fillRect(r, light);
    // Red zone from 80 to 100.
    const double R = g.radius;
    QPainterPath zone;
    const QRectF arcOuter(g.pivot.x() - R, g.pivot.y() - R, 2 * R, 2 * R);
    const double band = large ? 3.2 : 2.6;
    const QRectF arcInner = arcOuter.adjusted(band, band, -band, -band);
    zone.arcMoveTo(arcOuter, 60);
    zone.arcTo(arcOuter, 60, -20);
    zone.arcTo(arcInner, 40, 20);
    zone.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 40, 32));
    p.drawPath(zone);
    // Scale arc and ticks.
    const QColor ink(44, 34, 24);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ink, 0.9));
    p.drawArc(arcOuter, 40 * 16, 100 * 16);
    for (int v = 0; v <= 100; v += 5) {
        const bool major = v % 10 == 0;
        const double inner = R - (major ? (large ? 6.0 : 4.5) : (large ? 3.5 : 3.0));
        p.setPen(QPen(v >= 80 ? QColor(150, 24, 18) : ink, major ? 1.2 : 0.8, Qt::SolidLine,
                      Qt::FlatCap));
        p.drawLine(OnScale(g, v, inner), OnScale(g, v, R));
    }
    if (large) {
        const QFont numbers = Font(Face::CondensedBold, 7);
        for (int v : {0, 50, 100})
            CentredText(p, OnScale(g, v, R - 11), QString::number(v), numbers, ink);
    }
    CentredText(p, QPointF(g.pivot.x(), g.pivot.y() - R * (large ? 0.42 : 0.46)), d.label,
                Font(Face::SansBold, large ? 9 : 8), QColor(60, 46, 32));
    p.restore();
}

void DrawNeedle(QPainter& p, const Dial& d, double value)
{
    const DialGeometry g = Geometry(d);
    const QPointF tip = OnScale(g, value, g.radius + 1);
    const QPointF tail = OnScale(g, value, -4);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(d.r), 4, 4);
    p.save();
    p.setClipPath(clip);
    p.setPen(QPen(QColor(0, 0, 0, 45), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(tail + QPointF(1.2, 1.6), tip + QPointF(1.2, 1.6));
    p.setPen(QPen(QColor(24, 20, 18), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(tail, OnScale(g, value, g.radius * 0.62));
    p.setPen(QPen(QColor(196, 34, 26), 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(OnScale(g, value, g.radius * 0.62), tip);
    p.restore();
}

// Pivot cap and the reflection of the glass; drawn over the needle.
void DrawGlass(QPainter& p, const Dial& d)
{
    const DialGeometry g = Geometry(d);
    const QRectF r = d.r;
    QPainterPath clip;
    clip.addRoundedRect(r, 4, 4);
    p.save();
    p.setClipPath(clip);
    QRadialGradient cap(g.pivot + QPointF(-1.5, -2), 7);
    cap.setColorAt(0, QColor(120, 124, 132));
    cap.setColorAt(0.5, QColor(48, 50, 56));
    cap.setColorAt(1, QColor(16, 17, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(cap);
    p.drawEllipse(g.pivot, 6.5, 6.5);
    p.setBrush(QColor(196, 34, 26));
    p.drawEllipse(g.pivot, 1.3, 1.3);
    // Glass: a soft sheen over the top and a shadow cast by the bezel.
    QLinearGradient sheen(r.topLeft(), QPointF(r.left(), r.top() + r.height() * 0.5));
    sheen.setColorAt(0, QColor(255, 255, 255, 70));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    QPainterPath glare;
    glare.moveTo(r.topLeft());
    glare.lineTo(r.topRight());
    glare.lineTo(r.right(), r.top() + r.height() * 0.18);
    glare.quadTo(r.center().x(), r.top() + r.height() * 0.42, r.left(), r.top() + r.height() * 0.3);
    glare.closeSubpath();
    p.setBrush(sheen);
    p.drawPath(glare);
    QLinearGradient shade(r.topLeft(), QPointF(r.left(), r.top() + 5));
    shade.setColorAt(0, QColor(0, 0, 0, 90));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRectF(r.left(), r.top(), r.width(), 5), shade);
    p.restore();
}

std::vector<QImage> NeedleFrames(const QImage& base, const Dial& d, int frames)
{
    std::vector<QImage> result;
    for (int k = 0; k < frames; ++k) {
        QImage frame = Crop(base, d.r);
        QPainter p(&frame);
        Smooth(p);
        p.translate(-d.r.topLeft());
        DrawNeedle(p, d, 100.0 * k / (frames - 1));
        DrawGlass(p, d);
        result.push_back(frame);
    }
    return result;
}

struct LampSpot
{
    QString prefix;
    QPoint at; // top-left of the 12 x 12 element
    QString label;
    std::vector<QColor> states; // one colour per frame; invalid = off
    QColor hue;
};

constexpr int LampSize = 12;

std::vector<QImage> LampFrames(const QImage& base, const LampSpot& lamp)
{
    std::vector<QImage> result;
    for (const QColor& state : lamp.states) {
        QImage frame = Crop(base, QRect(lamp.at, QSize(LampSize, LampSize)));
        QPainter p(&frame);
        Led(p, QRectF(1.5, 1.5, LampSize - 3, LampSize - 3), state.isValid() ? state : lamp.hue,
            state.isValid());
        result.push_back(frame);
    }
    return result;
}

// An LCD window holding `cells` digits and a unit; returns where the first digit goes.
QPoint DrawLcd(QPainter& p, QPoint at, int cells, const QString& unit, int cellW, int cellH)
{
    const int unitW = unit.isEmpty() ? 0 : 12;
    const QRectF r(at.x(), at.y(), cells * cellW + 6 + unitW, cellH + 4);
    DrawWell(p, r, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(LcdBack);
    p.drawRoundedRect(r, 2, 2);
    if (unitW)
        Text(p, QRectF(r.left() + 3 + cells * cellW, r.top(), unitW + 2, r.height() - 1),
             Qt::AlignCenter, unit, Font(Face::CondensedBold, 7), Mix(LcdLit, LcdBack, 0.45));
    return QPoint(at.x() + 3, at.y() + 2);
}

void Engrave(QPainter& p, const QRectF& rect, int flags, const QString& text, int size = 7)
{
    const QFont font = Font(Face::CondensedBold, size);
    Text(p, rect.translated(0, 1), flags, text, font, QColor(0, 0, 0, 150));
    Text(p, rect, flags, text, font, Engraving);
}

QColor Off()
{
    return QColor();
}

std::vector<LampSpot> Lamps(QPoint disk, QPoint net, QPoint ping)
{
    const QColor green(70, 230, 96), red(255, 84, 56), amber(255, 196, 60);
    const QColor cyan(70, 214, 255), violet(186, 130, 255), ice(170, 232, 255);
    const QColor blue(90, 150, 255);
    auto at = [](QPoint origin, int i) {
        return origin + QPoint(i * 14, 0);
    };
    return {
        {"DR", at(disk, 0), "R", {Off(), green}, green},
        {"DW", at(disk, 1), "W", {Off(), red}, red},
        {"DRW", at(disk, 2), "R/W", {Off(), amber}, amber},
        {"NIn", at(net, 0), "IN", {Off(), cyan}, cyan},
        {"NOut", at(net, 1), "OUT", {Off(), violet}, violet},
        {"NIO", at(net, 2), "I/O", {Off(), ice}, ice},
        {"PNG",
         at(ping, 0),
         "LVL",
         {QColor(230, 40, 30), QColor(255, 130, 40), amber, green},
         green},
        {"PNGING", at(ping, 1), "TX", {Off(), blue}, blue},
    };
}

void DrawLampRow(QPainter& p, const std::vector<LampSpot>& lamps, QPoint disk, QPoint net,
                 QPoint ping)
{
    for (const LampSpot& lamp : lamps) {
        Engrave(p, QRectF(lamp.at.x() - 6, lamp.at.y() - 10, LampSize + 12, 10), Qt::AlignCenter,
                lamp.label, 7);
        Led(p, QRectF(lamp.at.x() + 1.5, lamp.at.y() + 1.5, LampSize - 3, LampSize - 3), lamp.hue,
            false);
    }
    const int flags = Qt::AlignRight | Qt::AlignVCenter;
    Engrave(p, QRectF(disk.x() - 31, disk.y(), 30, LampSize), flags, "DISK");
    Engrave(p, QRectF(net.x() - 31, net.y(), 30, LampSize), flags, "NET");
    Engrave(p, QRectF(ping.x() - 31, ping.y(), 30, LampSize), flags, "PING");
}

void WriteLamps(SkinWriter& skin, const QImage& base, const std::vector<LampSpot>& lamps)
{
    for (const LampSpot& lamp : lamps)
        skin.Lamp(lamp.prefix, lamp.at, LampFrames(base, lamp));
}

// The three big meters with their read-outs, shared by both modes.
std::vector<Dial> MainDials()
{
    return {{QRect(12, 10, 72, 58), "CPU"},
            {QRect(89, 10, 72, 58), "MEM"},
            {QRect(166, 10, 72, 58), "SWP"}};
}

void WriteMainMeters(SkinWriter& skin, const QImage& base, const std::vector<Dial>& dials,
                     const std::vector<QPoint>& readouts)
{
    const char* const prefixes[] = {"CPU", "MEM", "SWP"};
    const char* const speeds[] = {"CPUDownSpeed", "MEMSpeed", "SWPSpeed"};
    const int speedValues[] = {6, 3, 3};
    for (int i = 0; i < 3; ++i) {
        skin.Meter(prefixes[i], dials[std::size_t(i)].r.topLeft(),
                   NeedleFrames(base, dials[std::size_t(i)], MeterFrames), speeds[i],
                   speedValues[i]);
        skin.Readout(prefixes[i], readouts[std::size_t(i)], 3, false);
    }
}

QImage Finished(const QImage& base, const std::vector<Dial>& dials,
                const std::vector<Dial>& more = {})
{
    QImage face = base;
    {
        QPainter p(&face);
        Smooth(p);
        for (const auto* list : {&dials, &more})
            for (const Dial& d : *list) {
                DrawNeedle(p, d, 0);
                DrawGlass(p, d);
            }
    }
    return CutOut(face, QColor(12, 13, 15), Key);
}

std::vector<QPoint> DrawMainReadouts(QPainter& p, const std::vector<Dial>& dials)
{
    std::vector<QPoint> cells;
    for (const Dial& d : dials) {
        const int width = 3 * CellW + 6 + 12;
        cells.push_back(
            DrawLcd(p, QPoint(d.r.left() + (d.r.width() - width) / 2, 75), 3, "%", CellW, CellH));
    }
    return cells;
}

struct GraphSpot
{
    QString prefix;
    QString label;
    QRect rect;
    int type;
    int deep;
    QColor colour;
};

// Sample spacing (width - 1) / (deep - 1) is a whole number of pixels for every graph.
std::vector<GraphSpot> Graphs()
{
    const int left = 16, right = 174, half = 151;
    return {
        {"CPUGrp", "CPU", QRect(left, 166, 309, 30), 2, 78, QColor(86, 214, 110)},
        {"MEMGrp", "MEM", QRect(left, 202, half, 22), 0, 76, QColor(90, 168, 255)},
        {"SwapGrp", "SWAP", QRect(right, 202, half, 22), 1, 51, QColor(196, 140, 255)},
        {"DiskRGrp", "DISK READ", QRect(left, 229, half, 22), 3, 51, QColor(72, 224, 200)},
        {"DiskWGrp", "DISK WRITE", QRect(right, 229, half, 22), 3, 51, QColor(255, 122, 89)},
        {"NetIGrp", "NET IN", QRect(left, 256, half, 22), 2, 76, QColor(236, 196, 64)},
        {"NetOGrp", "NET OUT", QRect(right, 256, half, 22), 1, 51, QColor(255, 96, 162)},
    };
}

// The dark screen behind the graphs: a faint grid per graph and its name in a corner.
void DrawScope(QPainter& p, const QRect& screen, const std::vector<GraphSpot>& graphs)
{
    DrawWell(p, screen, 4);
    p.setPen(Qt::NoPen);
    QLinearGradient glass(screen.topLeft(), screen.bottomLeft());
    glass.setColorAt(0, QColor(14, 22, 26));
    glass.setColorAt(1, QColor(8, 12, 15));
    p.setBrush(glass);
    p.drawRoundedRect(screen, 4, 4);
    for (const GraphSpot& g : graphs) {
        const QRectF r = g.rect;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(16, 26, 31));
        p.drawRect(r.adjusted(-1, -1, 1, 1));
        p.setPen(QPen(QColor(30, 46, 54), 1));
        for (int q = 1; q < 4; ++q) {
            const double y = std::floor(r.top() + (r.height() - 1) * q / 4.0) + 0.5;
            p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
        }
        for (double x = r.right() - 0.5; x > r.left(); x -= 25)
            p.drawLine(QPointF(std::floor(x) + 0.5, r.top()),
                       QPointF(std::floor(x) + 0.5, r.bottom()));
        Text(p, QRectF(r.left() + 3, r.top() + 1, 80, 9), Qt::AlignLeft | Qt::AlignTop, g.label,
             Font(Face::CondensedBold, 7), Mix(g.colour, QColor(16, 26, 31), 0.35));
    }
}

void DrawBanner(const QString& path)
{
    QImage banner = Canvas(200, 40);
    {
        QPainter p(&banner);
        Smooth(p);
        QImage body = Canvas(200, 40);
        {
            QPainter b(&body);
            Smooth(b);
            DrawCase(b, QSize(200, 40));
        }
        p.drawImage(0, 0, body);
        const Dial dial{QRect(8, 6, 36, 28), ""};
        DrawDialFace(p, dial, false);
        DrawNeedle(p, dial, 68);
        DrawGlass(p, dial);
        Text(p, QRectF(52, 5, 146, 18), Qt::AlignLeft | Qt::AlignVCenter, "System Analog Meter II",
             Font(Face::SansBold, 11), QColor(236, 228, 206));
        Text(p, QRectF(52, 21, 146, 14), Qt::AlignLeft | Qt::AlignVCenter,
             "for Pulsmir 2.2  \u00b7  default skin", Font(Face::Sans, 8), LcdLit);
    }
    WritePicture(CutOut(banner, QColor(12, 13, 15), QColor(32, 34, 38)), path);
}

} // namespace

void WriteAnalogSkin(const QString& skinFolder)
{
    SkinWriter skin(skinFolder, "AnalogMeter2");
    skin.Identity("System Analog Meter II, the default skin: compact 250 x 130, full 340 x 292.",
                  "System Analog Meter II(for2.2)");
    DrawBanner(skinFolder + "/AnalogMeter2/banner.png");
    skin.Ini.Set("CreaterBanner", "banner.png");

    const QImage strip = SegmentStrip(CellW, CellH, LcdBack, LcdLit, LcdGhost, true);
    const std::vector<Dial> dials = MainDials();

    // Compact: the three meters, their read-outs and a row of lamps.
    {
        QImage base = Canvas(CompactW, CompactH);
        std::vector<QPoint> readouts;
        const QPoint disk(34, 111), net(98, 111), ping(168, 111);
        const std::vector<LampSpot> lamps = Lamps(disk, net, ping);
        QPoint pingCells;
        {
            QPainter p(&base);
            Smooth(p);
            DrawCase(p, base.size());
            for (const Dial& d : dials)
                DrawDialFace(p, d, true);
            readouts = DrawMainReadouts(p, dials);
            p.setPen(QPen(QColor(0, 0, 0, 120), 1));
            p.drawLine(QPointF(14, 98.5), QPointF(CompactW - 14, 98.5));
            p.setPen(QPen(QColor(255, 255, 255, 28), 1));
            p.drawLine(QPointF(14, 99.5), QPointF(CompactW - 14, 99.5));
            DrawLampRow(p, lamps, disk, net, ping);
            pingCells = DrawLcd(p, QPoint(ping.x() + 33, 108), 3, "", CellW, CellH);
            Engrave(p, QRectF(ping.x() + 33, 99, 33, 8), Qt::AlignCenter, "ms", 6);
        }
        skin.Mode(false);
        skin.Background(Finished(base, dials), Key);
        skin.Font(strip);
        WriteMainMeters(skin, base, dials, readouts);
        WriteLamps(skin, base, lamps);
        skin.Readout("PNG", pingCells, 3, false);
        // Rides on the title bar left of the window buttons of the window in front.
        skin.Floating(true, -(CompactW + 120), 0);
    }

    // Full: the same meters, the lamps in a column, four throughput meters and the graphs.
    {
        QImage base = Canvas(FullW, FullH);
        std::vector<QPoint> readouts;
        const QPoint disk(276, 16), net(276, 37), ping(276, 58);
        const std::vector<LampSpot> lamps = Lamps(disk, net, ping);
        const std::vector<Dial> speedDials = {{QRect(13, 105, 74, 46), "DISK R"},
                                              {QRect(93, 105, 74, 46), "DISK W"},
                                              {QRect(173, 105, 74, 46), "NET IN"},
                                              {QRect(253, 105, 74, 46), "NET OUT"}};
        const std::vector<GraphSpot> graphs = Graphs();
        QPoint pingCells;
        {
            QPainter p(&base);
            Smooth(p);
            DrawCase(p, base.size());
            for (const Dial& d : dials)
                DrawDialFace(p, d, true);
            readouts = DrawMainReadouts(p, dials);
            DrawLampRow(p, lamps, disk, net, ping);
            pingCells = DrawLcd(p, QPoint(262, 75), 3, "ms", CellW, CellH);
            for (const Dial& d : speedDials)
                DrawDialFace(p, d, false);
            for (int y : {99, 157}) {
                p.setPen(QPen(QColor(0, 0, 0, 120), 1));
                p.drawLine(QPointF(14, y + 0.5), QPointF(FullW - 14, y + 0.5));
                p.setPen(QPen(QColor(255, 255, 255, 28), 1));
                p.drawLine(QPointF(14, y + 1.5), QPointF(FullW - 14, y + 1.5));
            }
            DrawScope(p, QRect(12, 162, FullW - 24, 118), graphs);
        }
        skin.Mode(true);
        skin.Background(Finished(base, dials, speedDials), Key);
        skin.Font(strip);
        WriteMainMeters(skin, base, dials, readouts);
        WriteLamps(skin, base, lamps);
        skin.Readout("PNG", pingCells, 3, false);
        for (const GraphSpot& g : graphs)
            skin.Graph(g.prefix, g.rect, g.type, g.deep, g.colour);
        const char* const prefixes[] = {"DRM", "DWM", "NInM", "NOutM"};
        for (int i = 0; i < 4; ++i)
            skin.Meter(prefixes[i], speedDials[std::size_t(i)].r.topLeft(),
                       NeedleFrames(base, speedDials[std::size_t(i)], SpeedFrames),
                       QString(prefixes[i]) + "DownSpeed", 4);
        skin.Floating(false, 0, 0);
    }
    skin.Finish();
}
