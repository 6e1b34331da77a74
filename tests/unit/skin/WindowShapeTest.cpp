#include "skin/WindowShape.h"

#include "unit/skin/SkinTestFiles.h"

#include <gtest/gtest.h>

namespace {

constexpr SkinColor Magenta = 0xFF00FF;

// A background drawn from text rows: '#' opaque, '.' the mask colour.
Bitmap24 Picture(std::initializer_list<const char*> rows)
{
    const int width = int(strlen(*rows.begin()));
    Bitmap24 bitmap(width, int(rows.size()));
    int y = 0;
    for (const char* row : rows) {
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, row[x] == '.' ? Magenta : 0x203040);
        ++y;
    }
    return bitmap;
}

} // namespace

TEST(SkinRegion, WithoutMaskColourTheWindowIsTheWholeRectangle)
{
    Bitmap24 bg = Picture({"#..#", "...."});
    std::vector<RegionRect> rects = BuildSkinRegion(bg, false, 0);
    EXPECT_EQ(rects, (std::vector<RegionRect>{{0, 1, 4, 1}, {0, 0, 4, 1}}));
    // Black pixels in an unmasked background stay part of the window.
    EXPECT_EQ(BuildSkinRegion(SolidBitmap(3, 2, 0), false, 0).size(), 2u);
    EXPECT_TRUE((ToRegion(rects) ^ QRegion(0, 0, 4, 2)).isEmpty());
}

TEST(SkinRegion, MaskColourCutsRunsBottomRowFirst)
{
    Bitmap24 bg = Picture({"....", //
                           ".##.", //
                           "#.##", //
                           "####"});
    std::vector<RegionRect> rects = BuildSkinRegion(bg, true, Magenta);
    EXPECT_EQ(rects,
              (std::vector<RegionRect>{{0, 3, 4, 1}, {0, 2, 1, 1}, {2, 2, 2, 1}, {1, 1, 2, 1}}));
    QRegion region = ToRegion(rects);
    EXPECT_FALSE(region.contains(QPoint(0, 0)));
    EXPECT_FALSE(region.contains(QPoint(3, 1)));
    EXPECT_TRUE(region.contains(QPoint(3, 2)));
    EXPECT_FALSE(region.contains(QPoint(4, 3)));
    EXPECT_FALSE(region.contains(QPoint(-1, 3)));
}

TEST(SkinRegion, OneBitOffTheMaskColourStaysOpaque)
{
    Bitmap24 bg = SolidBitmap(3, 1, Magenta);
    bg.SetPixel(1, 0, Magenta ^ 0x010000);
    EXPECT_EQ(BuildSkinRegion(bg, true, Magenta), (std::vector<RegionRect>{{1, 0, 1, 1}}));
    EXPECT_TRUE(BuildSkinRegion(SolidBitmap(3, 3, Magenta), true, Magenta).empty());
    EXPECT_TRUE(BuildSkinRegion(Bitmap24(), true, Magenta).empty());
}

TEST(SkinRegion, ShapeBitmapFramesTheBackgroundOnePixelIn)
{
    Bitmap24 bg = Picture({"#.", "##"});
    ShapeBitmap masked = MakeShapeBitmap(bg, true, Magenta);
    EXPECT_EQ(masked.Bitmap.Width(), 3);
    EXPECT_EQ(masked.Bitmap.Height(), 3);
    EXPECT_EQ(masked.TransparentColor, Magenta);
    EXPECT_EQ(masked.Bitmap.Pixel(0, 0), Magenta);
    EXPECT_EQ(masked.Bitmap.Pixel(0, 2), Magenta);
    EXPECT_EQ(masked.Bitmap.Pixel(1, 1), bg.Pixel(0, 0));
    EXPECT_EQ(masked.Bitmap.Pixel(2, 1), Magenta);
    ShapeBitmap plain = MakeShapeBitmap(bg, false, Magenta);
    EXPECT_EQ(plain.TransparentColor, 0u);
    EXPECT_EQ(plain.Bitmap.Pixel(2, 1), 0xFFFFFFu);
    EXPECT_EQ(plain.Bitmap.Pixel(2, 0), 0u);
    // The scan moves runs by the offsets it is given.
    EXPECT_EQ(ScanRegionRuns(masked, 10, 20),
              (std::vector<RegionRect>{{11, 22, 2, 1}, {11, 21, 1, 1}}));
}

TEST(PlaceSkinWindow, FreeWindowKeepsItsPlace)
{
    const ScreenRect work{0, 0, 1024, 740};
    EXPECT_EQ(PlaceSkinWindow({100, 200, 200, 260}, 120, 80, work),
              (ScreenRect{100, 200, 220, 280}));
}

TEST(PlaceSkinWindow, TouchedEdgesStayTouchedWhenTheSizeChanges)
{
    const ScreenRect work{0, 0, 1024, 740};
    // Docked right and bottom: grows to the left and up.
    EXPECT_EQ(PlaceSkinWindow({924, 690, 1024, 740}, 200, 100, work),
              (ScreenRect{824, 640, 1024, 740}));
    // Docked left and top.
    EXPECT_EQ(PlaceSkinWindow({0, 0, 100, 50}, 300, 200, work), (ScreenRect{0, 0, 300, 200}));
    // Left of the screen: to 0.
    EXPECT_EQ(PlaceSkinWindow({-50, 300, 50, 350}, 100, 50, work), (ScreenRect{0, 300, 100, 350}));
}

TEST(PlaceSkinWindow, EdgesWithinEightPixelsSnap)
{
    const ScreenRect work{0, 30, 1024, 740};
    EXPECT_EQ(PlaceSkinWindow({7, 37, 107, 87}, 100, 50, work), (ScreenRect{0, 30, 100, 80}));
    EXPECT_EQ(PlaceSkinWindow({8, 38, 108, 88}, 100, 50, work), (ScreenRect{8, 38, 108, 88}));
    EXPECT_EQ(PlaceSkinWindow({917, 683, 1017, 733}, 100, 50, work),
              (ScreenRect{924, 690, 1024, 740}));
    EXPECT_EQ(PlaceSkinWindow({916, 682, 1016, 732}, 100, 50, work),
              (ScreenRect{916, 682, 1016, 732}));
    // Wider than the work area: the left edge wins.
    EXPECT_EQ(PlaceSkinWindow({100, 100, 200, 200}, 2000, 50, work),
              (ScreenRect{0, 100, 2000, 150}));
}

TEST(SkinRegion, ReadingTheBackgroundGivesTheShapeBitmapsRuns)
{
    Bitmap24 bg(37, 23);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            bg.SetPixel(x, y, (x * 7 + y * 3) % 5 == 0 || x == 36 ? Magenta : SkinColor(x * y));
    for (bool masked : {true, false}) {
        EXPECT_EQ(BuildSkinRegion(bg, masked, Magenta),
                  ScanRegionRuns(MakeShapeBitmap(bg, masked, Magenta), -1, -1))
            << masked;
    }
}
