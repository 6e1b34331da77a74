#pragma once

#include "skin/Bitmap24.h"

#include <QByteArray>
#include <QRect>
#include <QString>
#include <memory>

// A font of a skin's texts, held whole in memory and drawn through FreeType without hinting
// and without the font's own bitmaps, so that a text comes out the same on every run. Loaded
// once per skin and shared by every element that names it; used on one thread at a time.
class SkinTypeface
{
public:
    // A font file in a skin's folder may be this large.
    static constexpr qint64 MaxFileSize = qint64(4) << 20;
    // A font of the system may be larger (those of East Asian scripts are), but not beyond this.
    static constexpr qint64 MaxSystemFileSize = qint64(64) << 20;
    // Text sizes, in pixels, that a skin may ask for.
    static constexpr int MinSize = 4;
    static constexpr int MaxSize = 256;

    // The font in the bytes, or null when they hold none FreeType can draw.
    static std::shared_ptr<const SkinTypeface> FromBytes(const QByteArray& bytes);
    ~SkinTypeface();
    SkinTypeface(const SkinTypeface&) = delete;
    SkinTypeface& operator=(const SkinTypeface&) = delete;

    // The width in pixels that text takes at a size.
    int Width(const QString& text, int size) const;
    // The text cut at its end, with an ellipsis, to fit a width; as it is when it fits.
    QString Elided(const QString& text, int size, int width) const;
    // Pixels above and below the baseline of a line at a size.
    int Ascent(int size) const;
    int Descent(int size) const;
    // Draws text with its first pen position at (x, baseline), blended in colour onto the
    // surface within clip (which must lie within the surface).
    void Draw(const QString& text, int size, SkinColor color, int x, int baseline, QRect clip,
              Bitmap24& surface) const;

private:
    struct Library;
    SkinTypeface() = default;
    bool SetSize(int size) const;

    QByteArray m_bytes; // FreeType reads the font from here for the face's life
    std::unique_ptr<Library> m_library;
};
