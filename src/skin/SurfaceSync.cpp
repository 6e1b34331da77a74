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
    const int w = surface.Width();
    const int h = surface.Height();
    if (surface.IsEmpty()) {
        Reset();
        return {};
    }
    const bool fresh = m_shown.Width() != w || m_shown.Height() != h;
    if (fresh) {
        m_shown = Bitmap24(w, h);
        m_image = QImage(w, h, QImage::Format_RGB32);
    }

    int top = h;
    int bottom = -1;
    int left = w;
    int right = -1;
    const size_t rowBytes = size_t(w) * 3;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* source = surface.Row(y);
        std::uint8_t* shown = m_shown.Row(y);
        if (!fresh && std::memcmp(source, shown, rowBytes) == 0)
            continue;
        // Needles and lamps far apart on one row leave most of it alone: blocks of 16 pixels
        // that did not change are skipped.
        auto* out = reinterpret_cast<QRgb*>(m_image.scanLine(y));
        constexpr int Block = 16;
        for (int x = 0; x < w; x += Block) {
            const int n = std::min(Block, w - x);
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
