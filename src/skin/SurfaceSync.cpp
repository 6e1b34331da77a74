#include "skin/SurfaceSync.h"

#include <algorithm>
#include <cstring>

void SurfaceSync::Reset()
{
    m_image = QImage();
}

void SurfaceSync::SetOutline(Mask8 outline)
{
    m_outline = std::move(outline);
    // Every pixel is converted anew at the next look.
    m_image = QImage();
}

QRect SurfaceSync::Sync(const Bitmap24& surface)
{
    const QRect whole(0, 0, surface.Width(), surface.Height());
    return Sync(surface, std::span(&whole, 1)).boundingRect();
}

QRegion SurfaceSync::Sync(const Bitmap24& surface, std::span<const QRect> areas)
{
    const int w = surface.Width();
    const int h = surface.Height();
    if (surface.IsEmpty()) {
        Reset();
        return {};
    }
    const bool outlined = m_outline.Width() == w && m_outline.Height() == h;
    const QImage::Format format =
        outlined ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (m_image.width() != w || m_image.height() != h || m_image.format() != format) {
        m_image = QImage(w, h, format);
        const QRect whole(0, 0, w, h);
        return SyncArea(surface, whole, true);
    }
    QRegion changed;
    const QRect bounds(0, 0, w, h);
    for (const QRect& area : areas) {
        const QRect cut = area.intersected(bounds);
        if (!cut.isEmpty())
            changed += SyncArea(surface, cut, false);
    }
    return changed;
}

QRect SurfaceSync::SyncArea(const Bitmap24& surface, const QRect& area, bool fresh)
{
    int top = area.bottom() + 1;
    int bottom = -1;
    int left = area.right() + 1;
    int right = -1;
    const int x0 = area.left();
    const int x1 = area.right() + 1;
    const bool outlined = m_image.format() == QImage::Format_ARGB32_Premultiplied;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const std::uint8_t* source = surface.Row(y);
        const std::uint8_t* inside = outlined ? m_outline.Row(y) : nullptr;
        auto* out = reinterpret_cast<QRgb*>(m_image.scanLine(y));
        bool rowChanged = false;
        // Needles and lamps far apart on one row leave most of it alone: the changed span is
        // kept in blocks of 16 pixels.
        constexpr int Block = 16;
        for (int x = x0; x < x1; x += Block) {
            const int n = std::min(Block, x1 - x);
            bool changed = fresh;
            for (int i = 0; i < n; ++i) {
                const std::uint8_t* p = source + (x + i) * 3; // blue, green, red
                // Transparent premultiplied is all zero.
                const QRgb pixel = inside && !inside[x + i] ? 0u
                                                            : 0xFF000000u | (QRgb(p[2]) << 16) |
                                                                  (QRgb(p[1]) << 8) | p[0];
                if (out[x + i] != pixel) {
                    out[x + i] = pixel;
                    changed = true;
                }
            }
            if (!changed)
                continue;
            left = std::min(left, x);
            right = std::max(right, x + n - 1);
            rowChanged = true;
        }
        if (!rowChanged)
            continue;
        top = std::min(top, y);
        bottom = y;
    }
    if (bottom < 0)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}
