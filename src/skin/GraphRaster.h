#pragma once

#include "skin/Bitmap24.h"

#include <cstdint>
#include <span>
#include <vector>

// Lines and polygons painted the way the skin format's graphs were drawn: a line never paints
// its end point; a polygon is filled (alternate rule, pixel centres) and outlined in one colour.
// Everything is cut to the bitmap before it is walked, so far-out points cost nothing extra.
struct RasterPoint
{
    std::int64_t X = 0;
    std::int64_t Y = 0;
    bool operator==(const RasterPoint&) const = default;
};

// Working memory of polygon fills and graph points, kept by the caller so that frames after
// the first allocate nothing.
struct GraphScratch
{
    struct Edge
    {
        std::int64_t Top;    // first row whose centre it crosses
        std::int64_t Bottom; // first row below it
        double AtZero;       // x where it would cross the centre of row 0
        double Slope;
    };
    std::vector<RasterPoint> Points;
    std::vector<Edge> Edges;
    std::vector<double> Crossings;
};

class GraphRaster
{
public:
    GraphRaster(Bitmap24& target, SkinColor color, int penWidth, GraphScratch& scratch);

    // From a to b, b itself not painted.
    void Line(RasterPoint a, RasterPoint b);
    void Polyline(std::span<const RasterPoint> points);
    void Polygon(std::span<const RasterPoint> points);
    // One dot of the pen.
    void Dot(RasterPoint p);

private:
    // The colour and the bitmap's geometry by value, so that byte stores into the pixels do
    // not make the compiler reload them for every pixel.
    struct Pen
    {
        std::uint8_t* bits;
        std::int64_t stride;
        std::int64_t width;
        std::int64_t height;
        std::uint8_t blue, green, red;
        int penWidth;
        [[gnu::always_inline]] inline void Plot(std::int64_t x, std::int64_t y) const;
        void Put(std::uint8_t* p) const
        {
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    };

    void FillRow(std::int64_t y, std::int64_t from, std::int64_t to);
    void OutlinePolygon(std::span<const RasterPoint> points);

    Pen m_pen;
    GraphScratch& m_scratch;
};
