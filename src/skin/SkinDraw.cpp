#include "skin/SkinDraw.h"

#include "skin/GraphRaster.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace {

struct Block
{
    std::int64_t sx, sy, w, h, dx, dy;
};

// Cuts the block to the source and the destination; false when nothing is left.
bool ClipBlock(Block& b, int srcWidth, int srcHeight, int dstWidth, int dstHeight)
{
    if (b.sx >= srcWidth || b.sy >= srcHeight || b.dx >= dstWidth || b.dy >= dstHeight)
        return false;
    if (b.sx < 0) {
        b.dx -= b.sx;
        b.w += b.sx;
        b.sx = 0;
    }
    if (b.sy < 0) {
        b.dy -= b.sy;
        b.h += b.sy;
        b.sy = 0;
    }
    if (b.dx < 0) {
        b.sx -= b.dx;
        b.w += b.dx;
        b.dx = 0;
    }
    if (b.dy < 0) {
        b.sy -= b.dy;
        b.h += b.dy;
        b.dy = 0;
    }
    b.w = std::min({b.w, srcWidth - b.sx, dstWidth - b.dx});
    b.h = std::min({b.h, srcHeight - b.sy, dstHeight - b.dy});
    return b.w > 0 && b.h > 0;
}

std::int64_t ClampToInt(std::int64_t v)
{
    return std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                    std::numeric_limits<int>::max());
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

void PlainCopy(const Bitmap24& src, std::int64_t sx, std::int64_t sy, std::int64_t w,
               std::int64_t h, Bitmap24& dst, std::int64_t dx, std::int64_t dy)
{
    Block b{sx, sy, w, h, dx, dy};
    if (!ClipBlock(b, src.Width(), src.Height(), dst.Width(), dst.Height()))
        return;
    for (std::int64_t r = b.h - 1; r >= 0; --r)
        std::memmove(dst.Row(int(b.dy + r)) + b.dx * 3, src.Row(int(b.sy + r)) + b.sx * 3,
                     std::size_t(b.w) * 3);
}

void MaskedCopy(const Bitmap24& src, const Mask8& mask, std::int64_t sx, std::int64_t sy,
                std::int64_t w, std::int64_t h, Bitmap24& dst, std::int64_t dx, std::int64_t dy)
{
    Block b{sx, sy, w, h, dx, dy};
    // The mask is made from the image, so it has its size; a smaller one only narrows the copy.
    int width = std::min(src.Width(), mask.Width());
    int height = std::min(src.Height(), mask.Height());
    if (!ClipBlock(b, width, height, dst.Width(), dst.Height()))
        return;
    for (std::int64_t r = b.h - 1; r >= 0; --r) {
        const std::uint8_t* s = src.Row(int(b.sy + r)) + b.sx * 3;
        const std::uint8_t* m = mask.Row(int(b.sy + r)) + b.sx;
        std::uint8_t* d = dst.Row(int(b.dy + r)) + b.dx * 3;
        for (std::int64_t c = 0; c < b.w; ++c) {
            if (m[c] == 255) {
                d[c * 3] = s[c * 3];
                d[c * 3 + 1] = s[c * 3 + 1];
                d[c * 3 + 2] = s[c * 3 + 2];
            }
        }
    }
}

int NextMeterPosition(int speed, int position, std::int64_t target, bool linearOff)
{
    const std::int64_t s = std::max(speed, 0);
    const std::int64_t p = position;
    const std::int64_t t = target;
    std::int64_t next = t;
    if (s == 0 || linearOff)
        next = t;
    else if (p < t) {
        if (p + 2 * s < t && s < p)
            next = p + 2 * s;
        else if (p + s < t)
            next = p + s;
    } else if (p - s > t) {
        next = p - s;
    }
    return int(ClampToInt(next));
}

void StepMeter(const TSkinElement& e, int speed, int& position, std::int64_t target, bool linearOff,
               Bitmap24& surface)
{
    if (!e.Enabled)
        return;
    position = NextMeterPosition(speed, position, target, linearOff);
    DrawMeter(e, position, surface);
}

std::int64_t MeterFrame(const TSkinElement& e, std::int64_t value)
{
    if (!e.Enabled || e.Frames <= 0 || e.FrameHeight <= 0)
        return -1;
    const std::int64_t v = std::clamp<std::int64_t>(value, 0, 100);
    return (std::int64_t(e.Frames) - 1) * v / 100;
}

void DrawMeter(const TSkinElement& e, std::int64_t value, Bitmap24& surface)
{
    const std::int64_t frame = MeterFrame(e, value);
    if (frame < 0 || e.Strip.IsEmpty())
        return;
    const int strip = static_cast<int>(std::min<std::int64_t>(frame, e.Strip.Frames() - 1));
    Block b{0, 0, e.Strip.Width(), e.Strip.FrameHeight(), e.X, e.Y};
    if (!ClipBlock(b, e.Strip.Width(), e.Strip.FrameHeight(), surface.Width(), surface.Height()))
        return;
    const std::uint8_t blue = static_cast<std::uint8_t>(e.MaskColor >> 16);
    const std::uint8_t green = static_cast<std::uint8_t>(e.MaskColor >> 8);
    const std::uint8_t red = static_cast<std::uint8_t>(e.MaskColor);
    for (std::int64_t r = 0; r < b.h; ++r) {
        std::uint8_t* d = surface.Row(int(b.dy + r)) + b.dx * 3;
        if (!e.MaskFlag) {
            e.Strip.ComposeRow(strip, int(b.sy + r), int(b.sx), int(b.w), d);
            continue;
        }
        // A masked row is composed in pieces beside the surface, then copied where opaque.
        constexpr int Piece = 256;
        std::uint8_t piece[Piece * 3];
        for (std::int64_t c0 = 0; c0 < b.w; c0 += Piece) {
            const int count = int(std::min<std::int64_t>(Piece, b.w - c0));
            e.Strip.ComposeRow(strip, int(b.sy + r), int(b.sx + c0), count, piece);
            const std::uint8_t* s = piece;
            for (int c = 0; c < count; ++c, s += 3, d += 3) {
                if (s[0] != blue || s[1] != green || s[2] != red) {
                    d[0] = s[0];
                    d[1] = s[1];
                    d[2] = s[2];
                }
            }
        }
    }
}

namespace {

struct Digits
{
    char text[24];
    std::int64_t size;
};

Digits ToDigits(std::int64_t value)
{
    Digits d{};
    auto result = std::to_chars(d.text, d.text + sizeof d.text, std::max<std::int64_t>(value, 0));
    d.size = result.ptr - d.text;
    return d;
}

// The first and last character cells that reach the surface; only they are visited, however
// many the skin asks for.
std::pair<std::int64_t, std::int64_t> VisibleCells(const TSkinReadout& readout, std::int64_t gw,
                                                   const Bitmap24& surface)
{
    return {std::max<std::int64_t>(1, FloorDiv(-std::int64_t(readout.X), gw) + 1),
            std::min<std::int64_t>(readout.B,
                                   FloorDiv(std::int64_t(surface.Width()) - readout.X + gw - 1, gw))};
}

int GlyphOfCell(const TSkinReadout& readout, const Digits& digits, std::int64_t cell)
{
    // Cells left of the number hold the padding; the number is cut from the left.
    const std::int64_t firstDigitCell = std::int64_t(readout.B) - digits.size + 1;
    if (cell < firstDigitCell)
        return readout.FZ ? 0 : TSkinFont::FillerGlyph;
    if (cell - firstDigitCell >= digits.size)
        return TSkinFont::FillerGlyph;
    return digits.text[cell - firstDigitCell] - '0';
}

} // namespace

int ReadoutGlyph(const TSkinReadout& readout, std::int64_t value, std::int64_t cell)
{
    return GlyphOfCell(readout, ToDigits(value), cell);
}

void DrawReadout(const TSkinFont& font, const TSkinReadout& readout, std::int64_t value,
                 Bitmap24& surface)
{
    if (!readout.Enabled || readout.B <= 0 || font.GlyphWidth <= 0)
        return;
    const std::int64_t gw = font.GlyphWidth;
    const Digits digits = ToDigits(value);
    const auto [firstVisible, lastVisible] = VisibleCells(readout, gw, surface);
    for (std::int64_t i = lastVisible; i >= firstVisible; --i) {
        const int glyph = GlyphOfCell(readout, digits, i);
        const std::int64_t x = readout.X + (i - 1) * gw;
        if (font.MaskFlag)
            MaskedCopy(font.Glyphs[glyph], font.GlyphMasks[glyph], 0, 0, gw, font.GlyphHeight,
                       surface, x, readout.Y);
        else
            PlainCopy(font.Glyphs[glyph], 0, 0, gw, font.GlyphHeight, surface, x, readout.Y);
    }
}

namespace {

// The colour of the digits: the pixel of the "8", which every digit face draws with most of its
// strokes, that stands out most from the glyph's corner.
SkinColor InkOf(const TSkinFont& font)
{
    const Bitmap24& eight = font.Glyphs[8];
    if (eight.IsEmpty())
        return 0xFFFFFF;
    const SkinColor corner = eight.Pixel(0, 0);
    const auto distance = [](SkinColor a, SkinColor b) {
        int sum = 0;
        for (int shift : {0, 8, 16})
            sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
        return sum;
    };
    SkinColor ink = corner;
    for (int y = 0; y < eight.Height(); ++y)
        for (int x = 0; x < eight.Width(); ++x) {
            const SkinColor pixel = eight.Pixel(x, y);
            if (!(font.MaskFlag && pixel == font.MaskColor) &&
                distance(pixel, corner) > distance(ink, corner))
                ink = pixel;
        }
    return ink;
}

} // namespace

void DrawMissingReadout(const TSkinFont& font, const TSkinReadout& readout, Bitmap24& surface)
{
    if (!readout.Enabled || readout.B <= 0 || font.GlyphWidth <= 0)
        return;
    const std::int64_t gw = font.GlyphWidth;
    const std::int64_t gh = font.GlyphHeight;
    const auto [firstVisible, lastVisible] = VisibleCells(readout, gw, surface);
    const std::int64_t margin = gw / 5;
    const std::int64_t thickness = std::max<std::int64_t>(1, gh / 8);
    const std::int64_t top = std::int64_t(readout.Y) + (gh - thickness) / 2;
    const SkinColor ink = InkOf(font);
    const int filler = TSkinFont::FillerGlyph;
    for (std::int64_t i = lastVisible; i >= firstVisible; --i) {
        const std::int64_t x = readout.X + (i - 1) * gw;
        if (font.MaskFlag)
            MaskedCopy(font.Glyphs[filler], font.GlyphMasks[filler], 0, 0, gw, gh, surface, x,
                       readout.Y);
        else
            PlainCopy(font.Glyphs[filler], 0, 0, gw, gh, surface, x, readout.Y);
        const std::int64_t left = std::max<std::int64_t>(x + margin, 0);
        const std::int64_t right = std::min<std::int64_t>(
            x + std::max(gw - margin, margin + 1), surface.Width());
        for (std::int64_t y = std::max<std::int64_t>(top, 0);
             y < std::min<std::int64_t>(top + thickness, surface.Height()); ++y)
            for (std::int64_t dx = left; dx < right; ++dx)
                surface.SetPixel(int(dx), int(y), ink);
    }
}

void DimArea(Bitmap24& surface, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h,
             int percent, std::optional<SkinColor> keep)
{
    Block b{x, y, w, h, x, y};
    if (!ClipBlock(b, surface.Width(), surface.Height(), surface.Width(), surface.Height()))
        return;
    const int p = std::clamp(percent, 0, 100);
    for (std::int64_t r = 0; r < b.h; ++r) {
        std::uint8_t* d = surface.Row(int(b.dy + r)) + b.dx * 3;
        for (std::int64_t c = 0; c < b.w; ++c, d += 3) {
            const SkinColor pixel = SkinColor(d[0]) << 16 | SkinColor(d[1]) << 8 | d[2];
            if (keep && pixel == *keep)
                continue;
            for (int k = 0; k < 3; ++k)
                d[k] = std::uint8_t(d[k] * p / 100);
            if (keep && (SkinColor(d[0]) << 16 | SkinColor(d[1]) << 8 | d[2]) == *keep)
                d[0] ^= 1;
        }
    }
}

void DrawGraph(const TSkinGraph& graph, std::span<const int> history, Bitmap24& surface)
{
    GraphScratch scratch;
    DrawGraph(graph, history, surface, scratch);
}

void DrawGraph(const TSkinGraph& graph, std::span<const int> history, Bitmap24& surface,
               GraphScratch& scratch)
{
    if (!graph.Enabled || history.empty() || graph.Type < 0 || graph.Type > 3)
        return;
    const std::int64_t n = std::int64_t(history.size());
    const std::int64_t right = std::int64_t(graph.X) + graph.W - 1;
    const std::int64_t bottom = std::int64_t(graph.Y) + graph.H - 1;
    std::vector<RasterPoint>& points = scratch.Points;
    points.clear();
    for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t x = n == 1 ? right : right - (std::int64_t(graph.W) - 1) * i / (n - 1);
        const std::int64_t v = std::clamp(history[std::size_t(i)], 0, 100);
        points.push_back({x, bottom - (std::int64_t(graph.H) - 1) * v / 100});
    }
    GraphRaster raster(surface, graph.Color, graph.Type == 1 ? 2 : 1, scratch);
    switch (graph.Type) {
    case 0:
    case 1:
        raster.Polyline(points);
        break;
    case 2:
        points.push_back({graph.X, bottom});
        points.push_back({right, bottom});
        raster.Polygon(points);
        break;
    case 3:
        for (const RasterPoint& p : points)
            if (p.Y != bottom)
                raster.Line(p, {p.X, bottom});
        break;
    }
}
