#include "skin/GraphRaster.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using Wide = __int128;

// round(numerator / denominator) with halves rounded up; denominator > 0.
std::int64_t RoundDiv(Wide numerator, Wide denominator)
{
    Wide twice = 2 * numerator + denominator;
    Wide q = twice / (2 * denominator);
    if (twice % (2 * denominator) < 0)
        --q;
    return static_cast<std::int64_t>(q);
}

} // namespace

GraphRaster::GraphRaster(Bitmap24& target, SkinColor color, int penWidth)
    : m_target(target), m_blue(static_cast<std::uint8_t>(color >> 16)),
      m_green(static_cast<std::uint8_t>(color >> 8)), m_red(static_cast<std::uint8_t>(color)),
      m_penWidth(std::clamp(penWidth, 1, 2))
{
}

void GraphRaster::Plot(std::int64_t x, std::int64_t y)
{
    // A 2-pixel pen covers the pixel and the ones left of and above it, as a pen centred on
    // the pixel's corner does.
    for (std::int64_t py = y - (m_penWidth - 1); py <= y; ++py) {
        if (py < 0 || py >= m_target.Height())
            continue;
        std::uint8_t* row = m_target.Row(int(py));
        for (std::int64_t px = x - (m_penWidth - 1); px <= x; ++px) {
            if (px < 0 || px >= m_target.Width())
                continue;
            std::uint8_t* p = row + px * 3;
            p[0] = m_blue;
            p[1] = m_green;
            p[2] = m_red;
        }
    }
}

void GraphRaster::Dot(RasterPoint p)
{
    Plot(p.X, p.Y);
}

void GraphRaster::Line(RasterPoint a, RasterPoint b)
{
    const std::int64_t dx = b.X - a.X;
    const std::int64_t dy = b.Y - a.Y;
    if (dx == 0 && dy == 0)
        return;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t major = xMajor ? dx : dy;
    const std::int64_t minor = xMajor ? dy : dx;
    const std::int64_t start = xMajor ? a.X : a.Y;
    const std::int64_t minorStart = xMajor ? a.Y : a.X;
    const std::int64_t length = std::llabs(major);
    const std::int64_t step = major > 0 ? 1 : -1;
    // Only the stretch of the major axis that can reach the bitmap is walked.
    const std::int64_t lowest = 0;
    const std::int64_t highest = (xMajor ? m_target.Width() : m_target.Height()) - 1 +
                                 (m_penWidth - 1);
    std::int64_t kFrom = 0;
    std::int64_t kTo = length - 1;
    if (step > 0) {
        kFrom = std::max(kFrom, lowest - start);
        kTo = std::min(kTo, highest - start);
    } else {
        kFrom = std::max(kFrom, start - highest);
        kTo = std::min(kTo, start - lowest);
    }
    for (std::int64_t k = kFrom; k <= kTo; ++k) {
        std::int64_t along = start + step * k;
        std::int64_t across = minorStart + RoundDiv(Wide(k) * minor, length);
        if (xMajor)
            Plot(along, across);
        else
            Plot(across, along);
    }
}

void GraphRaster::Polyline(std::span<const RasterPoint> points)
{
    if (points.empty())
        return;
    if (points.size() == 1) {
        Dot(points.front());
        return;
    }
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        Line(points[i], points[i + 1]);
    // A wide pen has round caps, so its last point is covered as well.
    if (m_penWidth > 1)
        Dot(points.back());
}

void GraphRaster::FillRow(std::int64_t y, std::int64_t from, std::int64_t to)
{
    from = std::max<std::int64_t>(from, 0);
    to = std::min<std::int64_t>(to, m_target.Width());
    std::uint8_t* p = m_target.Row(int(y)) + from * 3;
    for (std::int64_t x = from; x < to; ++x, p += 3) {
        p[0] = m_blue;
        p[1] = m_green;
        p[2] = m_red;
    }
}

void GraphRaster::Polygon(std::span<const RasterPoint> points)
{
    if (points.empty())
        return;
    std::int64_t top = points[0].Y;
    std::int64_t bottom = points[0].Y;
    for (const RasterPoint& p : points) {
        top = std::min(top, p.Y);
        bottom = std::max(bottom, p.Y);
    }
    top = std::max<std::int64_t>(top, 0);
    bottom = std::min<std::int64_t>(bottom, m_target.Height() - 1);
    std::vector<long double> crossings;
    crossings.reserve(points.size());
    for (std::int64_t y = top; y <= bottom; ++y) {
        // Pixel centres decide what is inside; vertices sit on pixel corners.
        const long double centre = static_cast<long double>(y) + 0.5L;
        crossings.clear();
        for (std::size_t i = 0; i < points.size(); ++i) {
            const RasterPoint& p = points[i];
            const RasterPoint& q = points[(i + 1) % points.size()];
            if ((p.Y < centre) == (q.Y < centre))
                continue;
            crossings.push_back(static_cast<long double>(p.X) +
                                (centre - static_cast<long double>(p.Y)) *
                                    static_cast<long double>(q.X - p.X) /
                                    static_cast<long double>(q.Y - p.Y));
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
            auto from = static_cast<std::int64_t>(std::ceil(crossings[i] - 0.5L));
            auto to = static_cast<std::int64_t>(std::ceil(crossings[i + 1] - 0.5L));
            FillRow(y, from, to);
        }
    }
    for (std::size_t i = 0; i < points.size(); ++i)
        Line(points[i], points[(i + 1) % points.size()]);
}
