#include "skin/SurfaceSync.h"

#include <algorithm>
#include <cstring>

namespace {

// Each step is a bijection of the running value, so a block that differs from before in one
// eight-byte word always gets another fingerprint; blocks that differ in several collide once
// in 2^64.
std::uint64_t Fingerprint(const std::uint8_t* bytes, std::size_t size)
{
    std::uint64_t print = 0x9E3779B97F4A7C15u;
    auto mix = [&print](std::uint64_t word) {
        print = (print ^ word) * 0xFF51AFD7ED558CCDu;
        print ^= print >> 32;
    };
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        mix(word);
    }
    if (i < size) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + i, size - i);
        mix(word);
    }
    return print;
}

} // namespace

void SurfaceSync::Reset()
{
    m_width = m_height = 0;
    m_prints = {};
    m_image = QImage();
}

void SurfaceSync::SetOutline(Mask8 outline)
{
    m_outline = std::move(outline);
    // Every pixel is taken anew at the next look.
    Reset();
}

bool SurfaceSync::InStepWith(const Bitmap24& surface) const
{
    return !surface.IsEmpty() && m_width == surface.Width() && m_height == surface.Height();
}

QImage SurfaceSync::Picture(const Bitmap24& surface, const QRect& area) const
{
    if (m_outlined)
        return QImage(m_image.constScanLine(area.top()) + std::size_t(area.left()) * 4,
                      area.width(), area.height(), m_image.bytesPerLine(), m_image.format());
    QImage picture(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        const std::uint8_t* p = surface.Row(area.top() + y) + std::size_t(area.left()) * 3;
        auto* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < area.width(); ++x, p += 3)
            out[x] = 0xFF000000u | (QRgb(p[2]) << 16) | (QRgb(p[1]) << 8) | p[0];
    }
    return picture;
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
    if (!InStepWith(surface) || outlined != m_outlined) {
        Reset();
        m_width = w;
        m_height = h;
        m_outlined = outlined;
        if (outlined)
            m_image = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
        else
            m_prints.assign(std::size_t((w + Block - 1) / Block) * std::size_t(h), 0);
        return SyncArea(surface, QRect(0, 0, w, h), true);
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
    int left = m_width;
    int right = -1;
    // Blocks sit at fixed places in a row, so that a fingerprint always covers the same
    // pixels; a changed block counts whole, whichever area found it.
    const int x0 = area.left() / Block * Block;
    const int x1 = area.right() + 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        bool rowChanged = false;
        for (int x = x0; x < x1; x += Block) {
            const int n = std::min(Block, m_width - x);
            if (!SyncBlock(surface, x, y, n, fresh))
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

bool SurfaceSync::SyncBlock(const Bitmap24& surface, int x, int y, int n, bool fresh)
{
    const std::uint8_t* source = surface.Row(y) + x * 3; // blue, green, red
    if (!m_outlined) {
        std::uint64_t& kept = m_prints[std::size_t(y) * std::size_t((m_width + Block - 1) / Block) +
                                       std::size_t(x / Block)];
        const std::uint64_t print = Fingerprint(source, std::size_t(n) * 3);
        if (!fresh && kept == print)
            return false;
        kept = print;
        return true;
    }
    const std::uint8_t* inside = m_outline.Row(y) + x;
    auto* out = reinterpret_cast<QRgb*>(m_image.scanLine(y)) + x;
    bool changed = fresh;
    for (int i = 0; i < n; ++i) {
        const std::uint8_t* p = source + i * 3;
        // Transparent premultiplied is all zero.
        const QRgb pixel =
            !inside[i] ? 0u : 0xFF000000u | (QRgb(p[2]) << 16) | (QRgb(p[1]) << 8) | p[0];
        if (out[i] != pixel) {
            out[i] = pixel;
            changed = true;
        }
    }
    return changed;
}
