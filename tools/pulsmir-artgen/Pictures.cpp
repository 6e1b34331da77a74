#include "Pictures.h"

#include "ArtKit.h"

#include <QPainterPath>
#include <QtMath>
#include <cmath>

using namespace art;

namespace {

const QColor Night(16, 20, 27);
const QColor Ivory(246, 234, 204);
const QColor AmberInk(255, 176, 46);
const QColor Needle(196, 34, 26);
const QColor Pale(232, 238, 245);

QPointF Polar(QPointF centre, double radius, double degrees)
{
    const double a = degrees * M_PI / 180;
    return centre + QPointF(radius * std::cos(a), -radius * std::sin(a));
}

// A round gauge: bezel, ivory face with a 270-degree scale, needle at value (0..100).
void RoundGauge(QPainter& p, QPointF c, double r, double value, bool numbers)
{
    p.save();
    Smooth(p);
    QLinearGradient rim(c - QPointF(0, r), c + QPointF(0, r));
    rim.setColorAt(0, QColor(150, 156, 166));
    rim.setColorAt(0.5, QColor(60, 64, 72));
    rim.setColorAt(1, QColor(20, 22, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(rim);
    p.drawEllipse(c, r, r);
    p.setBrush(QColor(10, 11, 13));
    p.drawEllipse(c, r * 0.93, r * 0.93);
    const double face = r * 0.88;
    QRadialGradient light(c - QPointF(0, face * 0.3), face * 1.2);
    light.setColorAt(0, QColor(255, 248, 228));
    light.setColorAt(0.6, Ivory);
    light.setColorAt(1, QColor(206, 186, 140));
    p.setBrush(light);
    p.drawEllipse(c, face, face);
    // Scale from 225 degrees (0) clockwise to -45 degrees (100).
    auto angle = [](double v) {
        return 225.0 - 2.7 * v;
    };
    const QColor ink(44, 34, 24);
    QRectF arc(c.x() - face * 0.82, c.y() - face * 0.82, face * 1.64, face * 1.64);
    p.setPen(QPen(QColor(200, 40, 32), std::max(1.5, face * 0.07), Qt::SolidLine, Qt::FlatCap));
    p.drawArc(arc, int(angle(100) * 16), int((angle(80) - angle(100)) * 16));
    for (int v = 0; v <= 100; v += 5) {
        const bool major = v % 10 == 0;
        p.setPen(QPen(v >= 80 ? QColor(150, 24, 18) : ink, major ? std::max(1.0, r * 0.035) : 0.8,
                      Qt::SolidLine, Qt::FlatCap));
        p.drawLine(Polar(c, face * (major ? 0.68 : 0.74), angle(v)),
                   Polar(c, face * 0.86, angle(v)));
    }
    if (numbers) {
        const QFont font = Font(Face::CondensedBold, std::max(7, int(face * 0.14)));
        for (int v = 0; v <= 100; v += 20)
            CentredText(p, Polar(c, face * 0.52, angle(v)), QString::number(v), font, ink);
    }
    p.setPen(QPen(QColor(0, 0, 0, 50), std::max(1.5, r * 0.045), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(Polar(c + QPointF(1.5, 2), -face * 0.15, angle(value)),
               Polar(c + QPointF(1.5, 2), face * 0.86, angle(value)));
    p.setPen(QPen(Needle, std::max(1.2, r * 0.04), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(Polar(c, -face * 0.15, angle(value)), Polar(c, face * 0.86, angle(value)));
    QRadialGradient cap(c - QPointF(r * 0.03, r * 0.04), face * 0.14);
    cap.setColorAt(0, QColor(130, 134, 142));
    cap.setColorAt(1, QColor(18, 19, 22));
    p.setPen(Qt::NoPen);
    p.setBrush(cap);
    p.drawEllipse(c, face * 0.12, face * 0.12);
    // Glass sheen.
    QLinearGradient sheen(c - QPointF(0, face), c);
    sheen.setColorAt(0, QColor(255, 255, 255, 80));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(sheen);
    p.drawEllipse(QRectF(c.x() - face * 0.8, c.y() - face * 0.95, face * 1.6, face * 1.0));
    p.restore();
}

void NightBackground(QPainter& p, QRectF r)
{
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(36, 42, 54));
    g.setColorAt(1, Night);
    p.fillRect(r, g);
}

// The splash outline: a rounded body with the big gauge rising out of its top right.
QPainterPath SplashOutline()
{
    QPainterPath body;
    body.addRoundedRect(QRectF(0, 30, 360, 170), 16, 16);
    QPainterPath gauge;
    gauge.addEllipse(QPointF(282, 86), 78, 78);
    return body.united(gauge);
}

void WriteSplash(const QString& folder)
{
    const QPainterPath outline = SplashOutline();
    QImage image = Canvas(360, 200, Qt::black);
    {
        QPainter p(&image);
        Smooth(p);
        p.setClipPath(outline);
        NightBackground(p, QRectF(0, 0, 360, 200));
        // A quiet rule above the start-up texts, which the splash writes into the lower left.
        p.setPen(QPen(QColor(255, 255, 255, 28), 1));
        p.drawLine(QPointF(18, 116.5), QPointF(190, 116.5));
        p.setClipping(false);
        p.setPen(QPen(QColor(255, 255, 255, 40), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(outline);
        RoundGauge(p, QPointF(282, 86), 74, 68, true);
        Text(p, QRectF(18, 38, 200, 44), Qt::AlignLeft | Qt::AlignVCenter, "Pulsmir",
             Font(Face::SansBold, 36), Pale);
        Text(p, QRectF(20, 80, 190, 18), Qt::AlignLeft | Qt::AlignVCenter, "system status monitor",
             Font(Face::Sans, 12), QColor(160, 172, 190));
        Text(p, QRectF(20, 97, 190, 16), Qt::AlignLeft | Qt::AlignVCenter, "version 2.2",
             Font(Face::SansBold, 10), AmberInk);
    }
    WritePicture(image, folder + "/rl3.prs");
    // The shape: pure red is cut away; every other pixel stays.
    QImage shape = Canvas(360, 200, QColor(255, 0, 0));
    {
        QPainter p(&shape);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(outline);
    }
    WritePicture(shape, folder + "/rl5.prs");
}

void WriteBanner(const QString& path)
{
    QImage image = Canvas(200, 40, Night);
    {
        QPainter p(&image);
        Smooth(p);
        NightBackground(p, QRectF(0, 0, 200, 40));
        p.setPen(QPen(QColor(255, 255, 255, 30), 1));
        p.drawLine(QPointF(0, 0.5), QPointF(200, 0.5));
        RoundGauge(p, QPointF(21, 20), 16, 64, false);
        Text(p, QRectF(44, 3, 150, 20), Qt::AlignLeft | Qt::AlignVCenter, "Pulsmir",
             Font(Face::SansBold, 15), Pale);
        Text(p, QRectF(45, 22, 150, 14), Qt::AlignLeft | Qt::AlignVCenter, "system status monitor",
             Font(Face::Sans, 9), QColor(160, 172, 190));
    }
    WritePicture(image, path);
}

void WriteNoSkin(const QString& path)
{
    QImage image = Canvas(220, 64, Night);
    {
        QPainter p(&image);
        Smooth(p);
        NightBackground(p, QRectF(0, 0, 220, 64));
        p.setPen(QPen(QColor(90, 98, 112), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(3.5, 3.5, 213, 57), 6, 6);
        RoundGauge(p, QPointF(32, 32), 20, 0, false);
        Text(p, QRectF(60, 10, 156, 20), Qt::AlignLeft | Qt::AlignVCenter, "No skin loaded",
             Font(Face::SansBold, 12), Pale);
        Text(p, QRectF(60, 30, 156, 26), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             "Right-click for the menu;\nskins live in the Skin folder.", Font(Face::Sans, 9),
             QColor(160, 172, 190));
    }
    WritePicture(image, path);
}

void WriteAbout(const QString& path)
{
    QImage image = Canvas(240, 64, Night);
    {
        QPainter p(&image);
        Smooth(p);
        NightBackground(p, QRectF(0, 0, 240, 64));
        RoundGauge(p, QPointF(32, 32), 27, 72, false);
        Text(p, QRectF(68, 6, 170, 30), Qt::AlignLeft | Qt::AlignVCenter, "Pulsmir 2.2",
             Font(Face::SansBold, 20), Pale);
        Text(p, QRectF(69, 36, 170, 16), Qt::AlignLeft | Qt::AlignVCenter,
             "skinned system status monitor", Font(Face::Sans, 9), QColor(160, 172, 190));
    }
    WritePicture(image, path);
}

// 48 x 48 tiles for the options dialog: program, language and mascot link.
QImage Tile()
{
    QImage image = Canvas(48, 48, QColor(240, 243, 247));
    QPainter p(&image);
    Smooth(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(36, 42, 54));
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
    return image;
}

void WriteTiles(const QString& folder)
{
    {
        QImage image = Tile();
        QPainter p(&image);
        RoundGauge(p, QPointF(24, 24), 18, 70, false);
        p.end();
        WritePicture(image, folder + "/rm1.prs");
    }
    {
        QImage image = Tile();
        QPainter p(&image);
        Smooth(p);
        p.setPen(QPen(QColor(120, 190, 255), 1.6));
        p.setBrush(Qt::NoBrush);
        const QPointF c(24, 24);
        p.drawEllipse(c, 15, 15);
        p.drawEllipse(c, 6.5, 15);
        p.drawLine(QPointF(9, 24), QPointF(39, 24));
        p.drawLine(QPointF(24, 9), QPointF(24, 39));
        p.drawArc(QRectF(11, 6, 26, 14), 200 * 16, 140 * 16);
        p.drawArc(QRectF(11, 28, 26, 14), 20 * 16, 140 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(AmberInk);
        p.drawRoundedRect(QRectF(27, 27, 18, 16), 3, 3);
        Text(p, QRectF(27, 27, 18, 16), Qt::AlignCenter, "Aa", Font(Face::SansBold, 9), Night);
        p.end();
        WritePicture(image, folder + "/rm2.prs");
    }
    {
        QImage image = Tile();
        QPainter p(&image);
        Smooth(p);
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(8, 10, 32, 22), 7, 7);
        QPainterPath tail;
        tail.moveTo(14, 30);
        tail.lineTo(12, 39);
        tail.lineTo(22, 31);
        tail.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(Pale);
        p.drawPath(bubble.united(tail));
        p.setBrush(QColor(36, 42, 54));
        for (int i = 0; i < 3; ++i)
            p.drawEllipse(QPointF(16 + i * 8, 21), 2.3, 2.3);
        p.end();
        WritePicture(image, folder + "/rm3.prs");
    }
}

// A drive-activity lamp: dark case, read lamp left, write lamp right, a slot below.
QImage TrayLamp(int size, bool read, bool write)
{
    QImage image = Canvas(size, size);
    QPainter p(&image);
    Smooth(p);
    const double s = size / 32.0;
    p.scale(s, s);
    QLinearGradient body(0, 1, 0, 31);
    body.setColorAt(0, QColor(92, 98, 110));
    body.setColorAt(1, QColor(30, 33, 39));
    p.setPen(QPen(QColor(8, 9, 11), 1.6));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 3.5, 29, 25), 5, 5);
    p.setPen(QPen(QColor(8, 9, 11), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 23), QPointF(24, 23));
    auto lamp = [&](QPointF c, QColor colour, bool on) {
        if (on) {
            QRadialGradient glow(c, 8);
            glow.setColorAt(0, QColor(colour.red(), colour.green(), colour.blue(), 160));
            glow.setColorAt(1, QColor(colour.red(), colour.green(), colour.blue(), 0));
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawEllipse(c, 8, 8);
        }
        QRadialGradient lens(c - QPointF(1.5, 1.5), 7);
        if (on) {
            lens.setColorAt(0, Mix(colour, Qt::white, 0.7));
            lens.setColorAt(0.45, colour);
            lens.setColorAt(1, colour.darker(150));
        } else {
            const QColor dim = Mix(colour.darker(320), QColor(30, 32, 36), 0.4);
            lens.setColorAt(0, Mix(dim, Qt::white, 0.15));
            lens.setColorAt(1, dim);
        }
        p.setPen(QPen(QColor(8, 9, 11), 1.2));
        p.setBrush(lens);
        p.drawEllipse(c, 5.2, 5.2);
    };
    lamp(QPointF(10, 13), QColor(70, 230, 96), read);
    lamp(QPointF(22, 13), QColor(255, 84, 56), write);
    return image;
}

} // namespace

void WritePictures(const QString& programFolder)
{
    WriteAbout(programFolder + "/rl1.prs");
    WriteNoSkin(programFolder + "/rl2.prs");
    WriteSplash(programFolder);
    WriteBanner(programFolder + "/rl4.prs");
    WriteTiles(programFolder);
}

// The application's icon: a dark dial with a green-to-red scale and a needle at two thirds.
QImage AppIcon(int size)
{
    QImage image = Canvas(size, size);
    QPainter p(&image);
    Smooth(p);
    const double s = size / 64.0;
    p.scale(s, s);
    QRadialGradient face(QPointF(26, 22), 40);
    face.setColorAt(0, QColor(70, 78, 92));
    face.setColorAt(1, QColor(22, 25, 31));
    p.setPen(QPen(QColor(8, 9, 11), 2.5));
    p.setBrush(face);
    p.drawEllipse(QPointF(32, 32), 29, 29);
    // The scale: from lower left over the top to lower right.
    const QRectF arc(12, 12, 40, 40);
    const struct
    {
        QColor colour;
        int start;
        int span;
    } bands[] = {{QColor(70, 230, 96), 225, -120}, {QColor(240, 200, 60), 105, -60},
                 {QColor(255, 84, 56), 45, -90}};
    for (const auto& band : bands) {
        p.setPen(QPen(band.colour, 5, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(arc, band.start * 16, band.span * 16);
    }
    const double angle = qDegreesToRadians(225.0 - 270.0 * 0.66);
    const QPointF tip(32 + 24 * std::cos(angle), 32 - 24 * std::sin(angle));
    p.setPen(QPen(QColor(250, 250, 250), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 32), tip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 205, 214));
    p.drawEllipse(QPointF(32, 32), 4.5, 4.5);
    return image;
}

void WriteAppIcons(const QString& iconFolder)
{
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        WriteIcon(AppIcon(size), QStringLiteral("%1/pulsmir-%2.png").arg(iconFolder).arg(size));
}

void WriteTrayIcons(const QString& iconFolder)
{
    const struct
    {
        const char* name;
        bool read;
        bool write;
    } states[] = {{"idle", false, false},
                  {"read", true, false},
                  {"write", false, true},
                  {"readwrite", true, true}};
    // Every size a tray asks for, and twice the common ones for HiDPI: scaled art blurs.
    for (int size : {16, 22, 24, 32, 44, 48, 64})
        for (const auto& state : states)
            WriteIcon(TrayLamp(size, state.read, state.write),
                      QStringLiteral("%1/tray-%2-%3.png").arg(iconFolder, state.name).arg(size));
}
