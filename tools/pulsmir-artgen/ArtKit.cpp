#include "ArtKit.h"

#include "platform/AtomicFile.h"
#include "skin/Bitmap24.h"
#include "skin/SkinImage.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImageWriter>
#include <QPainterPath>
#include <QRadialGradient>
#include <array>
#include <cmath>
#include <map>

namespace art {

namespace {

std::map<Face, QString>& Families()
{
    static std::map<Face, QString> families;
    return families;
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    try {
        WriteFileAtomically(path, bytes);
    } catch (const std::exception& error) {
        throw ArtError(QStringLiteral("cannot write %1: %2").arg(path, error.what()).toStdString());
    }
}

} // namespace

void LoadFonts(const QString& fontFolder)
{
    const std::array<std::pair<Face, const char*>, 4> files = {{
        {Face::Sans, "DejaVuSans.ttf"},
        {Face::SansBold, "DejaVuSans-Bold.ttf"},
        {Face::CondensedBold, "DejaVuSansCondensed-Bold.ttf"},
        {Face::MonoBold, "DejaVuSansMono-Bold.ttf"},
    }};
    for (const auto& [face, file] : files) {
        const QString path = fontFolder + "/" + file;
        const int id = QFontDatabase::addApplicationFont(path);
        const QStringList names =
            id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        if (names.isEmpty())
            throw ArtError(QStringLiteral("font %1 is missing (install fonts-dejavu-core)")
                               .arg(path)
                               .toStdString());
        Families()[face] = names.first();
    }
}

QFont Font(Face face, int pixelSize)
{
    QFont font(Families().at(face));
    font.setPixelSize(pixelSize);
    font.setBold(face == Face::SansBold || face == Face::CondensedBold || face == Face::MonoBold);
    if (face == Face::CondensedBold)
        font.setStretch(QFont::SemiCondensed);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoFontMerging));
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(true);
    return font;
}

QImage Canvas(int width, int height, QColor fill)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void Smooth(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

void WritePicture(const QImage& image, const QString& path)
{
    QImage opaque = Canvas(image.width(), image.height(), Qt::black);
    {
        QPainter p(&opaque);
        p.drawImage(0, 0, image);
    }
    WriteBytes(path, EncodePng(Bitmap24::FromImage(opaque)));
}

void WriteIcon(const QImage& image, const QString& path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image.convertToFormat(QImage::Format_ARGB32)))
        throw ArtError(QStringLiteral("cannot encode %1").arg(path).toStdString());
    WriteBytes(path, bytes);
}

QImage Stack(const std::vector<QImage>& frames)
{
    if (frames.empty())
        throw ArtError("a strip without frames");
    const QSize size = frames.front().size();
    QImage strip = Canvas(size.width(), size.height() * int(frames.size()), Qt::black);
    QPainter p(&strip);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (std::size_t i = 0; i < frames.size(); ++i)
        p.drawImage(0, int(i) * size.height(), frames[i]);
    return strip;
}

QImage Crop(const QImage& image, const QRect& rect)
{
    return image.copy(rect).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage CutOut(const QImage& drawing, QColor edgeColour, QColor keyColour)
{
    QImage under = Canvas(drawing.width(), drawing.height(), edgeColour);
    {
        QPainter p(&under);
        p.drawImage(0, 0, drawing);
    }
    const QImage source = drawing.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < under.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(under.scanLine(y));
        for (int x = 0; x < under.width(); ++x) {
            if (qAlpha(in[x]) < 128) {
                out[x] = keyColour.rgb();
            } else if ((out[x] & 0xFFFFFF) == (keyColour.rgb() & 0xFFFFFF)) {
                // A drawn pixel that happens to equal the key would be cut out; nudge it.
                out[x] ^= 1;
            }
        }
    }
    return under;
}

namespace {

// Segment polygons of a seven-segment cell, in order a b c d e f g.
std::array<QPolygonF, 7> Segments(const QRectF& cell, double thickness, double skew)
{
    const double w = cell.width();
    const double h = cell.height();
    const double t = thickness;
    const double g = 0.35; // gap between segments
    const double l = cell.left();
    const double top = cell.top();
    const double r = l + w;
    const double mid = top + h / 2;
    const double bottom = top + h;
    auto horizontal = [&](double y, double x0, double x1) {
        return QPolygonF({QPointF(x0 + g, y), QPointF(x0 + g + t / 2, y - t / 2),
                          QPointF(x1 - g - t / 2, y - t / 2), QPointF(x1 - g, y),
                          QPointF(x1 - g - t / 2, y + t / 2), QPointF(x0 + g + t / 2, y + t / 2)});
    };
    auto vertical = [&](double x, double y0, double y1) {
        return QPolygonF({QPointF(x, y0 + g), QPointF(x + t / 2, y0 + g + t / 2),
                          QPointF(x + t / 2, y1 - g - t / 2), QPointF(x, y1 - g),
                          QPointF(x - t / 2, y1 - g - t / 2), QPointF(x - t / 2, y0 + g + t / 2)});
    };
    const double xl = l + t / 2;
    const double xr = r - t / 2;
    const double yt = top + t / 2;
    const double yb = bottom - t / 2;
    std::array<QPolygonF, 7> s = {
        horizontal(yt, xl, xr),  vertical(xr, yt, mid), vertical(xr, mid, yb),
        horizontal(yb, xl, xr),  vertical(xl, mid, yb), vertical(xl, yt, mid),
        horizontal(mid, xl, xr),
    };
    // Lean the digits a little, like a real display.
    for (QPolygonF& polygon : s)
        for (QPointF& point : polygon)
            point.setX(point.x() + (mid - point.y()) * skew);
    return s;
}

constexpr std::array<int, 10> SegmentBits = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                             0x6D, 0x7D, 0x07, 0x7F, 0x6F};

} // namespace

QImage SegmentStrip(int cellWidth, int cellHeight, QColor back, QColor lit, QColor ghost,
                    bool ghostFiller, double thickness, double skew)
{
    QImage strip = Canvas(cellWidth * 11, cellHeight, back);
    QPainter p(&strip);
    Smooth(p);
    p.setPen(Qt::NoPen);
    for (int cell = 0; cell < 11; ++cell) {
        // Whole-pixel box and segment widths keep the strokes sharp at small sizes.
        const QRectF box(cell * cellWidth + 1, 1, cellWidth - 2, cellHeight - 2);
        const auto segments = Segments(box, thickness, skew);
        const int bits = cell < 10 ? SegmentBits[std::size_t(cell)] : 0;
        for (int s = 0; s < 7; ++s) {
            const bool on = bits & (1 << s);
            if (!on && cell == 10 && !ghostFiller)
                continue;
            p.setBrush(on ? lit : ghost);
            p.drawPolygon(segments[std::size_t(s)]);
        }
    }
    return strip;
}

QImage TextStrip(int cellWidth, int cellHeight, QColor back, QColor ink, const QFont& font)
{
    QImage strip = Canvas(cellWidth * 11, cellHeight, back);
    QPainter p(&strip);
    Smooth(p);
    for (int cell = 0; cell < 10; ++cell)
        Text(p, QRectF(cell * cellWidth, 0, cellWidth, cellHeight), Qt::AlignCenter,
             QString::number(cell), font, ink);
    return strip;
}

void Led(QPainter& p, const QRectF& rect, QColor colour, bool on)
{
    p.save();
    Smooth(p);
    p.setPen(Qt::NoPen);
    const QPointF c = rect.center();
    const double r = std::min(rect.width(), rect.height()) / 2;
    // Bezel: a dark ring lit from above.
    QLinearGradient bezel(rect.topLeft(), rect.bottomLeft());
    bezel.setColorAt(0, QColor(12, 13, 15));
    bezel.setColorAt(1, QColor(92, 98, 108));
    p.setBrush(bezel);
    p.drawEllipse(c, r, r);
    const double lens = r - 1.3;
    QRadialGradient body(c + QPointF(-lens * 0.3, -lens * 0.35), lens * 1.4);
    if (on) {
        body.setColorAt(0, Mix(colour, Qt::white, 0.75));
        body.setColorAt(0.35, colour);
        body.setColorAt(1, colour.darker(160));
    } else {
        const QColor dim = Mix(colour.darker(300), QColor(30, 32, 36), 0.45);
        body.setColorAt(0, Mix(dim, Qt::white, 0.18));
        body.setColorAt(1, dim.darker(150));
    }
    p.setBrush(body);
    p.drawEllipse(c, lens, lens);
    // Specular spot of the lens.
    QRadialGradient spot(c + QPointF(-lens * 0.35, -lens * 0.45), lens * 0.55);
    spot.setColorAt(0, QColor(255, 255, 255, on ? 200 : 90));
    spot.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(spot);
    p.drawEllipse(c, lens, lens);
    p.restore();
}

void FlatLamp(QPainter& p, const QRectF& rect, QColor colour, bool on)
{
    p.save();
    Smooth(p);
    p.setPen(Qt::NoPen);
    if (on) {
        p.setBrush(QColor(colour.red(), colour.green(), colour.blue(), 70));
        p.drawRoundedRect(rect, 2.5, 2.5);
        p.setBrush(colour);
        p.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), 1.5, 1.5);
        p.setBrush(QColor(255, 255, 255, 90));
        p.drawRoundedRect(QRectF(rect.left() + 2, rect.top() + 2, rect.width() - 4, 1.5), 0.7, 0.7);
    } else {
        p.setBrush(Mix(colour, QColor(28, 31, 38), 0.82));
        p.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), 1.5, 1.5);
    }
    p.restore();
}

void CentredText(QPainter& p, QPointF centre, const QString& text, const QFont& font, QColor colour)
{
    Text(p, QRectF(centre.x() - 200, centre.y() - 50, 400, 100), Qt::AlignCenter, text, font,
         colour);
}

void Text(QPainter& p, const QRectF& rect, int flags, const QString& text, const QFont& font,
          QColor colour)
{
    p.save();
    p.setFont(font);
    p.setPen(colour);
    p.drawText(rect, flags, text);
    p.restore();
}

QColor Mix(QColor a, QColor b, double t)
{
    auto lerp = [t](int x, int y) {
        return int(std::lround(x + (y - x) * t));
    };
    return QColor(lerp(a.red(), b.red()), lerp(a.green(), b.green()), lerp(a.blue(), b.blue()),
                  lerp(a.alpha(), b.alpha()));
}

void IniText::Section(const QString& name)
{
    if (!m_lines.isEmpty())
        m_lines << QString();
    m_lines << "[" + name + "]";
}

void IniText::Set(const QString& key, const QString& value)
{
    m_lines << key + "=" + value;
}

void IniText::Set(const QString& key, int value)
{
    Set(key, QString::number(value));
}

void IniText::Comment(const QString& text)
{
    m_lines << "; " + text;
}

QString ColourText(QColor colour)
{
    return QStringLiteral("#%1%2%3")
        .arg(colour.red(), 2, 16, QChar('0'))
        .arg(colour.green(), 2, 16, QChar('0'))
        .arg(colour.blue(), 2, 16, QChar('0'))
        .toUpper();
}

} // namespace art
