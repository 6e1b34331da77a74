#include "skin/SurfaceSync.h"

#include <algorithm>
#include <cstring>

void SurfaceSync::Reset()
{
    m_shown = Bitmap24();
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
    if (m_shown.Width() != w || m_shown.Height() != h) {
        m_shown = Bitmap24(w, h);
        m_image = QImage(w, h, QImage::Format_RGB32);
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
    const size_t rowBytes = size_t(area.width()) * 3;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const std::uint8_t* source = surface.Row(y);
        std::uint8_t* shown = m_shown.Row(y);
        if (!fresh && std::memcmp(source + x0 * 3, shown + x0 * 3, rowBytes) == 0)
            continue;
        // Needles and lamps far apart on one row leave most of it alone: blocks of 16 pixels
        // that did not change are skipped.
        auto* out = reinterpret_cast<QRgb*>(m_image.scanLine(y));
        constexpr int Block = 16;
        for (int x = x0; x < x1; x += Block) {
            const int n = std::min(Block, x1 - x);
            const std::uint8_t* from = source + x * 3;
            std::uint8_t* kept = shown + x * 3;
            if (!fresh && std::memcmp(from, kept, size_t(n) * 3) == 0)
                continue;
            std::memcpy(kept, from, size_t(n) * 3);
            for (int i = 0; i < n; ++i) {
                const std::uint8_t* p = from + i * 3; // blue, green, red
                out[x + i] = 0xFF000000u | (QRgb(p[2]) << 16) | (QRgb(p[1]) << 8) | p[0];
            }
            left = std::min(left, x);
            right = std::max(right, x + n - 1);
        }
        top = std::min(top, y);
        bottom = y;
    }
    if (bottom < 0)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}
