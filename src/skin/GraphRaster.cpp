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

// A graph's outline runs right to left and closes through the bottom corners, so the crossings
// of a row come in falling order but for the last one, from the right-hand closing edge: moved
// to the front and reversed they are sorted already. Any other polygon gets a full sort once an
// insertion sort has done more than a few passes' worth of swaps.
void SortNearlySorted(std::vector<double>& values)
{
    if (values.size() > 1 && values.back() > values.front())
        std::rotate(values.begin(), values.end() - 1, values.end());
    std::reverse(values.begin(), values.end());
    std::size_t budget = 4 * values.size();
    for (std::size_t i = 1; i < values.size(); ++i) {
        for (std::size_t j = i; j > 0 && values[j] < values[j - 1]; --j) {
            std::swap(values[j], values[j - 1]);
            if (--budget == 0) {
                std::sort(values.begin(), values.end());
                return;
            }
        }
    }
}

} // namespace

GraphRaster::GraphRaster(Bitmap24& target, SkinColor color, int penWidth, GraphScratch& scratch)
    : m_pen{target.IsEmpty() ? nullptr : target.Row(0), target.Stride(),
            target.IsEmpty() ? 0 : target.Width(),      target.IsEmpty() ? 0 : target.Height(),
            static_cast<std::uint8_t>(color >> 16),     static_cast<std::uint8_t>(color >> 8),
            static_cast<std::uint8_t>(color),           std::clamp(penWidth, 1, 2)},
      m_scratch(scratch)
{}

inline void GraphRaster::Pen::Plot(std::int64_t x, std::int64_t y) const
{
    if (penWidth == 1) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            Put(bits + y * stride + x * 3);
        return;
    }
    // A 2-pixel pen covers the pixel and the ones left of and above it, as a pen centred on
    // the pixel's corner does.
    if (x >= 1 && y >= 1 && x < width && y < height) {
        std::uint8_t* lower = bits + y * stride + x * 3;
        Put(lower);
        Put(lower - 3);
        Put(lower - stride);
        Put(lower - stride - 3);
        return;
    }
    for (std::int64_t py = y - 1; py <= y; ++py)
        for (std::int64_t px = x - 1; px <= x; ++px)
            if (px >= 0 && px < width && py >= 0 && py < height)
                Put(bits + py * stride + px * 3);
}

void GraphRaster::Dot(RasterPoint p)
{
    m_pen.Plot(p.X, p.Y);
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
    const Pen pen = m_pen;
    const std::int64_t highest = (xMajor ? pen.width : pen.height) - 1 + (pen.penWidth - 1);
    std::int64_t kFrom = 0;
    std::int64_t kTo = length - 1;
    if (step > 0) {
        kFrom = std::max(kFrom, lowest - start);
        kTo = std::min(kTo, highest - start);
    } else {
        kFrom = std::max(kFrom, start - highest);
        kTo = std::min(kTo, start - lowest);
    }
    if (kFrom > kTo)
        return;
    // across(k) = minorStart + round(k * minor / length), stepped without a division per pixel:
    // numerator 2 k minor + length over 2 length, kept as quotient and remainder.
    const std::int64_t twiceLength = 2 * length;
    const Wide numerator = Wide(2) * kFrom * minor + length;
    std::int64_t quotient = RoundDiv(Wide(kFrom) * minor, length);
    std::int64_t remainder = static_cast<std::int64_t>(numerator - Wide(quotient) * twiceLength);
    const std::int64_t increment = 2 * minor;
    for (std::int64_t k = kFrom; k <= kTo; ++k) {
        const std::int64_t along = start + step * k;
        const std::int64_t across = minorStart + quotient;
        if (xMajor)
            pen.Plot(along, across);
        else
            pen.Plot(across, along);
        remainder += increment;
        if (remainder >= twiceLength) {
            remainder -= twiceLength;
            ++quotient;
        } else if (remainder < 0) {
            remainder += twiceLength;
            --quotient;
        }
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
    if (m_pen.penWidth > 1)
        Dot(points.back());
}

void GraphRaster::FillRow(std::int64_t y, std::int64_t from, std::int64_t to)
{
    const Pen pen = m_pen;
    from = std::max<std::int64_t>(from, 0);
    to = std::min<std::int64_t>(to, pen.width);
    std::uint8_t* p = pen.bits + y * pen.stride + from * 3;
    for (std::int64_t x = from; x < to; ++x, p += 3)
        pen.Put(p);
}

void GraphRaster::Polygon(std::span<const RasterPoint> points)
{
    if (points.empty())
        return;
    // Edges that cross some pixel-centre row, each with the x where it meets row y: x(y) =
    // AtZero + y * Slope at centre y + 0.5. Vertices sit on pixel corners.
    using Edge = GraphScratch::Edge;
    std::vector<Edge>& edges = m_scratch.Edges;
    std::vector<double>& crossings = m_scratch.Crossings;
    edges.clear();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const RasterPoint& p = points[i];
        const RasterPoint& q = points[(i + 1) % points.size()];
        if (p.Y == q.Y)
            continue;
        const RasterPoint& upper = p.Y < q.Y ? p : q;
        const RasterPoint& lower = p.Y < q.Y ? q : p;
        const double slope = double(lower.X - upper.X) / double(lower.Y - upper.Y);
        edges.push_back(
            {upper.Y, lower.Y, double(upper.X) + (0.5 - double(upper.Y)) * slope, slope});
    }
    if (edges.empty())
        return OutlinePolygon(points);
    std::int64_t firstRow = edges.front().Top;
    std::int64_t endRow = edges.front().Bottom;
    for (const Edge& e : edges) {
        firstRow = std::min(firstRow, e.Top);
        endRow = std::max(endRow, e.Bottom);
    }
    firstRow = std::max<std::int64_t>(firstRow, 0);
    endRow = std::min<std::int64_t>(endRow, m_pen.height);
    const double width = double(m_pen.width);
    for (std::int64_t y = firstRow; y < endRow; ++y) {
        crossings.clear();
        for (const Edge& e : edges)
            if (e.Top <= y && y < e.Bottom)
                crossings.push_back(e.AtZero + double(y) * e.Slope);
        SortNearlySorted(crossings);
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
            const double from = std::ceil(crossings[i] - 0.5);
            const double to = std::ceil(crossings[i + 1] - 0.5);
            FillRow(y, std::int64_t(std::clamp(from, -1.0, width)),
                    std::int64_t(std::clamp(to, -1.0, width)));
        }
    }
    OutlinePolygon(points);
}

void GraphRaster::OutlinePolygon(std::span<const RasterPoint> points)
{
    for (std::size_t i = 0; i < points.size(); ++i)
        Line(points[i], points[(i + 1) % points.size()]);
}
