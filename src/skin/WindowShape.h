#pragma once

#include "skin/Bitmap24.h"

#include <QImage>
#include <QRegion>
#include <vector>

// The main window's outline and placement for a skin background, as pure functions; the window
// applies the results.

struct RegionRect
{
    int X = 0;
    int Y = 0;
    int W = 0;
    int H = 0;
    bool operator==(const RegionRect&) const = default;
};

// The shape bitmap: the background shifted one pixel right and down inside a frame, one pixel
// larger each way. With a mask colour the frame has that colour and it is the transparent
// colour; without one the background's area is all white and black is transparent, so the
// window is the whole rectangle.
struct ShapeBitmap
{
    Bitmap24 Bitmap;
    SkinColor TransparentColor = 0;
};
ShapeBitmap MakeShapeBitmap(const Bitmap24& background, bool maskFlag, SkinColor maskColor);

// One rectangle per run of non-transparent pixels, bottom row first, runs left to right;
// rows 1..h and columns 1..w of the shape are scanned and moved by (dx, dy).
std::vector<RegionRect> ScanRegionRuns(const ShapeBitmap& shape, int dx, int dy);

// The window region of a background in window coordinates: background pixel (i, j) is window
// pixel (i, j). Empty for an empty background.
std::vector<RegionRect> BuildSkinRegion(const Bitmap24& background, bool maskFlag,
                                        SkinColor maskColor);
QRegion ToRegion(const std::vector<RegionRect>& rects);

// The most rectangles a window outline is given: far more than any real skin's outline needs,
// and what one plain X request carries.
inline constexpr std::size_t MaxOutlineRects = 16384;

// The window's outline as the window system takes it: rows with the same runs merged into one
// band, top band first, runs left to right. A mask that would need more than maxRects
// rectangles (a fine checkerboard makes millions, which freeze the X server) is followed on a
// grid of square cells instead, the cell's side doubling until the outline fits; a cell is
// inside when any of its pixels is, so every pixel the skin draws stays inside. Either way the
// work is one pass over the pixels and a few over smaller grids.
struct WindowOutline
{
    std::vector<RegionRect> Rects;
    int Cell = 1; // 1: the exact outline
};
WindowOutline BuildWindowOutline(const Bitmap24& background, bool maskFlag, SkinColor maskColor,
                                 std::size_t maxRects = MaxOutlineRects);

// The whole number of screen pixels a skin pixel takes at a desktop scale (Qt's device pixel
// ratio): the nearest, the lower one when halfway, at least 1. Pixel art drawn at 1.25 or 1.5
// comes out with pixels of uneven sizes.
int FaceScale(double devicePixelRatio);
// A region scaled by factor, each rectangle grown to whole units.
QRegion ScaleRegion(const QRegion& region, double factor);
// A 32-bit picture with each pixel repeated into a square of factor x factor; the picture
// itself for a factor of 1.
QImage RepeatPixels(const QImage& picture, int factor);

// A screen rectangle with the right and bottom edges excluded.
struct ScreenRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const ScreenRect&) const = default;
};

// Where the window goes when its size becomes width x height: an edge of the work area it
// touched stays touched, and an edge within 8 pixels snaps.
ScreenRect PlaceSkinWindow(const ScreenRect& window, int width, int height,
                           const ScreenRect& workArea);
