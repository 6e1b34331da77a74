#include "skin/WindowShape.h"

#include <algorithm>
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

// Runs of pixels other than the transparent colour in rows bottom..top (bottom first) and
// columns left..right of the bitmap; a run from column a to b - 1 of row y becomes the
// rectangle (a + dx, y + dy, b - a, 1).
void ScanRuns(const Bitmap24& bitmap, SkinColor transparent, int left, int right, int top,
              int bottom, int dx, int dy, std::vector<RegionRect>& rects)
{
    const std::uint8_t blue = static_cast<std::uint8_t>(transparent >> 16);
    const std::uint8_t green = static_cast<std::uint8_t>(transparent >> 8);
    const std::uint8_t red = static_cast<std::uint8_t>(transparent);
    for (int y = bottom; y >= top; --y) {
        const std::uint8_t* p = bitmap.Row(y) + left * 3;
        int runStart = -1;
        for (int x = left; x <= right; ++x, p += 3) {
            const bool clear = p[0] == blue && p[1] == green && p[2] == red;
            if (!clear && runStart < 0) {
                runStart = x;
            } else if (clear && runStart >= 0) {
                rects.push_back({runStart + dx, y + dy, x - runStart, 1});
                runStart = -1;
            }
        }
        if (runStart >= 0)
            rects.push_back({runStart + dx, y + dy, right + 1 - runStart, 1});
    }
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
