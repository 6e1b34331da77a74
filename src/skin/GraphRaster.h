#pragma once

#include "skin/Bitmap24.h"

#include <cstdint>
#include <span>

// Lines and polygons painted the way the skin format's graphs were drawn: a line never paints
// its end point; a polygon is filled (alternate rule, pixel centres) and outlined in one colour.
// Everything is cut to the bitmap before it is walked, so far-out points cost nothing extra.
struct RasterPoint
{
    std::int64_t X = 0;
    std::int64_t Y = 0;
    bool operator==(const RasterPoint&) const = default;
};

class GraphRaster
{
public:
    GraphRaster(Bitmap24& target, SkinColor color, int penWidth);

    // From a to b, b itself not painted.
    void Line(RasterPoint a, RasterPoint b);
    void Polyline(std::span<const RasterPoint> points);
    void Polygon(std::span<const RasterPoint> points);
    // One dot of the pen.
    void Dot(RasterPoint p);

private:
    void Plot(std::int64_t x, std::int64_t y);
    void FillRow(std::int64_t y, std::int64_t from, std::int64_t to);

    Bitmap24& m_target;
    std::uint8_t m_blue;
    std::uint8_t m_green;
    std::uint8_t m_red;
    int m_penWidth;
};
