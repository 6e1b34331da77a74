#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

// Drawing helpers shared by the skins and pictures pulsmir-artgen writes. Everything is drawn
// with QPainter on fixed-size images, with the DejaVu fonts only, so that a run gives the same
// files on every machine with the same Qt and FreeType.
namespace art {

class ArtError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class Face
{
    Sans,
    SansBold,
    CondensedBold,
    MonoBold,
};

// Registers the DejaVu TTF files; throws ArtError naming the first one that is missing.
void LoadFonts(const QString& fontFolder);
QFont Font(Face face, int pixelSize);

// A transparent ARGB canvas, or one filled with a colour.
QImage Canvas(int width, int height, QColor fill = Qt::transparent);
// A painter with antialiasing on.
void Smooth(QPainter& painter);

// Writes an opaque picture as a 24-bit PNG through the program's own encoder (alpha is
// composited over black first); throws ArtError when the file cannot be written.
void WritePicture(const QImage& image, const QString& path);
// Writes a picture with its alpha channel (tray icons).
void WriteIcon(const QImage& image, const QString& path);

// Frames stacked top to bottom, all of the first frame's size.
QImage Stack(const std::vector<QImage>& frames);
QImage Crop(const QImage& image, const QRect& rect);

// Turns an ARGB drawing into a skin background: pixels at least half covered are composited
// over edgeColour and kept, the rest become exactly keyColour (cut out of the window).
QImage CutOut(const QImage& drawing, QColor edgeColour, QColor keyColour);

// A seven-segment digit strip: 11 cells (0..9, then the filler), each cellWidth x cellHeight,
// drawn on back. The filler shows every segment in ghost when ghostFiller is set, else nothing;
// unlit segments of the digits are drawn in ghost too.
QImage SegmentStrip(int cellWidth, int cellHeight, QColor back, QColor lit, QColor ghost,
                    bool ghostFiller, double thickness = 2, double skew = 0);
// A digit strip of font glyphs; the filler is an empty cell.
QImage TextStrip(int cellWidth, int cellHeight, QColor back, QColor ink, const QFont& font);

// A round indicator lamp filling rect, with a dark bezel; lit or not.
void Led(QPainter& painter, const QRectF& rect, QColor colour, bool on);
// A rectangular flat lamp (for the digital skins).
void FlatLamp(QPainter& painter, const QRectF& rect, QColor colour, bool on);

// Text centred on a point, or aligned within a rectangle.
void CentredText(QPainter& painter, QPointF centre, const QString& text, const QFont& font,
                 QColor colour);
void Text(QPainter& painter, const QRectF& rect, int flags, const QString& text, const QFont& font,
          QColor colour);

QColor Mix(QColor a, QColor b, double t);

// The definition file, written in key order as added.
class IniText
{
public:
    void Section(const QString& name);
    void Set(const QString& key, const QString& value);
    void Set(const QString& key, int value);
    void Comment(const QString& text);
    QString Text() const { return m_lines.join("\r\n") + "\r\n"; }

private:
    QStringList m_lines;
};

QString ColourText(QColor colour);

} // namespace art
