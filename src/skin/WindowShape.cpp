#include "skin/WindowShape.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

ShapeBitmap MakeShapeBitmap(const Bitmap24& background, bool maskFlag, SkinColor maskColor)
{
    ShapeBitmap shape;
    if (background.IsEmpty() || !Bitmap24::Fits(std::int64_t(background.Width()) + 1,
                                                std::int64_t(background.Height()) + 1))
        return shape;
    const int w = background.Width();
    const int h = background.Height();
    shape.Bitmap = Bitmap24(w + 1, h + 1);
    constexpr SkinColor white = 0xFFFFFF;
    shape.TransparentColor = maskFlag ? maskColor : 0;
    shape.Bitmap.Fill(white);
    for (int x = 0; x <= w; ++x)
        shape.Bitmap.SetPixel(x, 0, shape.TransparentColor);
    for (int y = 0; y <= h; ++y)
        shape.Bitmap.SetPixel(0, y, shape.TransparentColor);
    if (maskFlag) {
        for (int y = 0; y < h; ++y)
            std::memcpy(shape.Bitmap.Row(y + 1) + 3, background.Row(y), std::size_t(w) * 3);
    }
    return shape;
}

namespace {

// A run of opaque pixels (or cells), from First up to Last - 1.
struct Run
{
    int First = 0;
    int Last = 0;
    bool operator==(const Run&) const = default;
};

// The runs of pixels other than the transparent colour in columns left..right of one row.
void RowRuns(const std::uint8_t* row, SkinColor transparent, int left, int right,
             std::vector<Run>& runs)
{
    const std::uint8_t blue = static_cast<std::uint8_t>(transparent >> 16);
    const std::uint8_t green = static_cast<std::uint8_t>(transparent >> 8);
    const std::uint8_t red = static_cast<std::uint8_t>(transparent);
    runs.clear();
    const std::uint8_t* p = row + left * 3;
    int runStart = -1;
    for (int x = left; x <= right; ++x, p += 3) {
        const bool clear = p[0] == blue && p[1] == green && p[2] == red;
        if (!clear && runStart < 0) {
            runStart = x;
        } else if (clear && runStart >= 0) {
            runs.push_back({runStart, x});
            runStart = -1;
        }
    }
    if (runStart >= 0)
        runs.push_back({runStart, right + 1});
}

// Runs of pixels other than the transparent colour in rows bottom..top (bottom first) and
// columns left..right of the bitmap; a run from column a to b - 1 of row y becomes the
// rectangle (a + dx, y + dy, b - a, 1).
void ScanRuns(const Bitmap24& bitmap, SkinColor transparent, int left, int right, int top,
              int bottom, int dx, int dy, std::vector<RegionRect>& rects)
{
    std::vector<Run> runs;
    for (int y = bottom; y >= top; --y) {
        RowRuns(bitmap.Row(y), transparent, left, right, runs);
        for (const Run& run : runs)
            rects.push_back({run.First + dx, y + dy, run.Last - run.First, 1});
    }
}

// Merges rows of equal runs into bands. Rows and runs count in cells of cell x cell pixels,
// clipped to width x height. Gives up (false) as soon as more than maxRects are needed.
class BandBuilder
{
public:
    BandBuilder(int cell, int width, int height, std::size_t maxRects, std::vector<RegionRect>& out)
        : m_cell(cell), m_width(width), m_height(height), m_maxRects(maxRects), m_out(out)
    {
        m_out.clear();
    }

    bool AddRow(int row, const std::vector<Run>& runs)
    {
        if (runs == m_bandRuns)
            return true;
        Flush(row);
        if (m_out.size() + runs.size() > m_maxRects)
            return false;
        m_bandRuns = runs;
        m_bandTop = row;
        return true;
    }

    void Finish(int rows) { Flush(rows); }

private:
    void Flush(int row)
    {
        const int top = m_bandTop * m_cell;
        const int bottom = std::min(row * m_cell, m_height);
        for (const Run& run : m_bandRuns) {
            const int left = run.First * m_cell;
            const int right = std::min(run.Last * m_cell, m_width);
            m_out.push_back({left, top, right - left, bottom - top});
        }
        m_bandRuns.clear();
    }

    int m_cell;
    int m_width;
    int m_height;
    std::size_t m_maxRects;
    std::vector<RegionRect>& m_out;
    std::vector<Run> m_bandRuns;
    int m_bandTop = 0;
};

bool ExactOutline(const Bitmap24& background, SkinColor maskColor, std::size_t maxRects,
                  std::vector<RegionRect>& out)
{
    BandBuilder bands(1, background.Width(), background.Height(), maxRects, out);
    std::vector<Run> runs;
    for (int y = 0; y < background.Height(); ++y) {
        RowRuns(background.Row(y), maskColor, 0, background.Width() - 1, runs);
        if (!bands.AddRow(y, runs))
            return false;
    }
    bands.Finish(background.Height());
    return true;
}

// Which cells of a grid hold an opaque pixel, a byte a cell.
struct CellGrid
{
    int Cell = 1;
    int Columns = 0;
    int Rows = 0;
    std::vector<std::uint8_t> Opaque;
};

CellGrid GridOfPixels(const Bitmap24& background, SkinColor maskColor, int cell)
{
    CellGrid grid{cell, (background.Width() + cell - 1) / cell,
                  (background.Height() + cell - 1) / cell, {}};
    grid.Opaque.assign(std::size_t(grid.Columns) * std::size_t(grid.Rows), 0);
    std::vector<Run> runs;
    for (int y = 0; y < background.Height(); ++y) {
        RowRuns(background.Row(y), maskColor, 0, background.Width() - 1, runs);
        std::uint8_t* cells = grid.Opaque.data() + std::size_t(y / cell) * std::size_t(grid.Columns);
        for (const Run& run : runs)
            std::fill(cells + run.First / cell, cells + (run.Last - 1) / cell + 1, std::uint8_t(1));
    }
    return grid;
}

CellGrid HalveGrid(const CellGrid& grid)
{
    CellGrid half{grid.Cell * 2, (grid.Columns + 1) / 2, (grid.Rows + 1) / 2, {}};
    half.Opaque.assign(std::size_t(half.Columns) * std::size_t(half.Rows), 0);
    for (int y = 0; y < grid.Rows; ++y) {
        const std::uint8_t* from = grid.Opaque.data() + std::size_t(y) * std::size_t(grid.Columns);
        std::uint8_t* to = half.Opaque.data() + std::size_t(y / 2) * std::size_t(half.Columns);
        for (int x = 0; x < grid.Columns; ++x)
            to[x / 2] |= from[x];
    }
    return half;
}

bool GridOutline(const CellGrid& grid, int width, int height, std::size_t maxRects,
                 std::vector<RegionRect>& out)
{
    BandBuilder bands(grid.Cell, width, height, maxRects, out);
    std::vector<Run> runs;
    for (int y = 0; y < grid.Rows; ++y) {
        const std::uint8_t* cells = grid.Opaque.data() + std::size_t(y) * std::size_t(grid.Columns);
        runs.clear();
        for (int x = 0; x < grid.Columns; ++x) {
            if (!cells[x])
                continue;
            if (!runs.empty() && runs.back().Last == x)
                ++runs.back().Last;
            else
                runs.push_back({x, x + 1});
        }
        if (!bands.AddRow(y, runs))
            return false;
    }
    bands.Finish(grid.Rows);
    return true;
}

} // namespace

std::vector<RegionRect> ScanRegionRuns(const ShapeBitmap& shape, int dx, int dy)
{
    std::vector<RegionRect> rects;
    const Bitmap24& bitmap = shape.Bitmap;
    if (bitmap.Width() < 2 || bitmap.Height() < 2)
        return rects;
    ScanRuns(bitmap, shape.TransparentColor, 1, bitmap.Width() - 1, 1, bitmap.Height() - 1, dx, dy,
             rects);
    return rects;
}

std::vector<RegionRect> BuildSkinRegion(const Bitmap24& background, bool maskFlag,
                                        SkinColor maskColor)
{
    // The same runs as the shape bitmap gives, read straight from the background: this needs
    // no copy, and works for a background as large as a bitmap may be.
    std::vector<RegionRect> rects;
    if (background.IsEmpty())
        return rects;
    const int w = background.Width();
    const int h = background.Height();
    if (!maskFlag) {
        rects.reserve(std::size_t(h));
        for (int y = h - 1; y >= 0; --y)
            rects.push_back({0, y, w, 1});
        return rects;
    }
    ScanRuns(background, maskColor, 0, w - 1, 0, h - 1, 0, 0, rects);
    return rects;
}

QRegion ToRegion(const std::vector<RegionRect>& rects)
{
    std::vector<QRect> qrects;
    qrects.reserve(rects.size());
    for (const RegionRect& r : rects)
        qrects.emplace_back(r.X, r.Y, r.W, r.H);
    QRegion region;
    // One call builds the region from all bands at once instead of one union per run.
    std::sort(qrects.begin(), qrects.end(), [](const QRect& a, const QRect& b) {
        return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x();
    });
    region.setRects(qrects.data(), int(qrects.size()));
    return region;
}

WindowOutline BuildWindowOutline(const Bitmap24& background, bool maskFlag, SkinColor maskColor,
                                 std::size_t maxRects)
{
    WindowOutline outline;
    if (background.IsEmpty())
        return outline;
    const int w = background.Width();
    const int h = background.Height();
    if (!maskFlag) {
        outline.Rects.push_back({0, 0, w, h});
        return outline;
    }
    if (ExactOutline(background, maskColor, maxRects, outline.Rects))
        return outline;
    // A grid of one cell has at most one rectangle, so this ends.
    CellGrid grid = GridOfPixels(background, maskColor, 2);
    while (!GridOutline(grid, w, h, std::max<std::size_t>(maxRects, 1), outline.Rects))
        grid = HalveGrid(grid);
    outline.Cell = grid.Cell;
    return outline;
}

int FaceScale(double devicePixelRatio)
{
    if (!(devicePixelRatio > 1.0))
        return 1;
    return std::max(1, int(std::ceil(std::min(devicePixelRatio, 64.0) - 0.5)));
}

QRegion ScaleRegion(const QRegion& region, double factor)
{
    if (factor == 1.0)
        return region;
    QRegion scaled;
    for (const QRect& r : region) {
        const int left = int(std::floor(r.left() * factor));
        const int top = int(std::floor(r.top() * factor));
        const int right = int(std::ceil((r.right() + 1) * factor));
        const int bottom = int(std::ceil((r.bottom() + 1) * factor));
        scaled += QRect(left, top, right - left, bottom - top);
    }
    return scaled;
}

QImage RepeatPixels(const QImage& picture, int factor)
{
    if (factor <= 1 || picture.isNull())
        return picture;
    QImage repeated(picture.width() * factor, picture.height() * factor, picture.format());
    for (int y = 0; y < picture.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(repeated.scanLine(y * factor));
        for (int x = 0; x < picture.width(); ++x)
            std::fill_n(to + x * factor, factor, from[x]);
        for (int copy = 1; copy < factor; ++copy)
            std::memcpy(repeated.scanLine(y * factor + copy), to,
                        std::size_t(repeated.bytesPerLine()));
    }
    return repeated;
}

ScreenRect PlaceSkinWindow(const ScreenRect& window, int width, int height,
                           const ScreenRect& workArea)
{
    const std::int64_t w = width;
    const std::int64_t h = height;
    const bool touchesLeft = window.Left < 1;
    const bool touchesTop = window.Top < 1;
    const bool touchesRight = std::int64_t(window.Right) >= workArea.Right;
    const bool touchesBottom = std::int64_t(window.Bottom) >= workArea.Bottom;
    std::int64_t left = window.Left;
    std::int64_t top = window.Top;
    if (touchesLeft)
        left = 0;
    if (touchesTop)
        top = 0;
    if (touchesRight)
        left = workArea.Right - w;
    if (touchesBottom)
        top = workArea.Bottom - h;
    constexpr int snap = 8;
    if (left + w + snap > workArea.Right)
        left = workArea.Right - w;
    if (top + h + snap > workArea.Bottom)
        top = workArea.Bottom - h;
    if (left - snap < workArea.Left)
        left = workArea.Left;
    if (top - snap < workArea.Top)
        top = workArea.Top;
    auto toInt = [](std::int64_t v) {
        return int(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                            std::numeric_limits<int>::max()));
    };
    return {toInt(left), toInt(top), toInt(left + w), toInt(top + h)};
}
