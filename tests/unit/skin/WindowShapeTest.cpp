#include "skin/WindowShape.h"

#include "unit/skin/SkinTestFiles.h"

#include <cmath>
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

namespace {

// Squares of side `square`, opaque where the row and column of squares add up to an even number.
Bitmap24 Checkerboard(int width, int height, int square)
{
    Bitmap24 bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const bool opaque = (x / square + y / square) % 2 == 0;
            p[0] = opaque ? 0x40 : 0xFF; // blue, green, red; magenta where transparent
            p[1] = opaque ? 0x30 : 0x00;
            p[2] = opaque ? 0x20 : 0xFF;
        }
    }
    return bitmap;
}

// What the window system needs of an outline: rectangles inside the background, none
// overlapping, bands sorted top to bottom and left to right, every rectangle of a band as high
// as the others, and no two of a band touching.
void ExpectBanded(const std::vector<RegionRect>& rects, int width, int height)
{
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const RegionRect& r = rects[i];
        ASSERT_TRUE(r.X >= 0 && r.Y >= 0 && r.W > 0 && r.H > 0 && r.X + r.W <= width &&
                    r.Y + r.H <= height)
            << i;
        if (i == 0)
            continue;
        const RegionRect& before = rects[i - 1];
        if (before.Y == r.Y) {
            ASSERT_EQ(before.H, r.H) << i;
            ASSERT_LT(before.X + before.W, r.X) << i;
        } else {
            ASSERT_GE(r.Y, before.Y + before.H) << i;
        }
    }
}

// Every opaque pixel lies inside the outline.
void ExpectCovers(const std::vector<RegionRect>& rects, const Bitmap24& bg)
{
    std::vector<std::uint8_t> inside(std::size_t(bg.Width()) * std::size_t(bg.Height()), 0);
    for (const RegionRect& r : rects)
        for (int y = r.Y; y < r.Y + r.H; ++y)
            std::fill_n(inside.begin() + std::ptrdiff_t(y) * bg.Width() + r.X, r.W, 1);
    for (int y = 0; y < bg.Height(); ++y) {
        for (int x = 0; x < bg.Width(); ++x) {
            if (bg.Pixel(x, y) != Magenta) {
                ASSERT_TRUE(inside[std::size_t(y) * std::size_t(bg.Width()) + std::size_t(x)])
                    << x << "," << y;
            }
        }
    }
}

bool SameArea(const std::vector<RegionRect>& a, const std::vector<RegionRect>& b)
{
    return (ToRegion(a) ^ ToRegion(b)).isEmpty();
}

} // namespace

TEST(WindowOutline, IsTheExactOutlineInBandsOfEqualRows)
{
    Bitmap24 bg = Picture({"....", //
                           ".##.", //
                           ".##.", //
                           "#..#", //
                           "#..#", //
                           "#..#"});
    const WindowOutline outline = BuildWindowOutline(bg, true, Magenta);
    EXPECT_EQ(outline.Cell, 1);
    EXPECT_EQ(outline.Rects,
              (std::vector<RegionRect>{{1, 1, 2, 2}, {0, 3, 1, 3}, {3, 3, 1, 3}}));
    EXPECT_TRUE(SameArea(outline.Rects, BuildSkinRegion(bg, true, Magenta)));
    // Without a mask colour, one rectangle; nothing for no background.
    EXPECT_EQ(BuildWindowOutline(bg, false, Magenta).Rects,
              (std::vector<RegionRect>{{0, 0, 4, 6}}));
    EXPECT_TRUE(BuildWindowOutline(Bitmap24(), true, Magenta).Rects.empty());
    EXPECT_TRUE(BuildWindowOutline(SolidBitmap(5, 5, Magenta), true, Magenta).Rects.empty());
}

TEST(WindowOutline, StaysExactUpToTheLimit)
{
    // Rows that all differ: 3 runs a row on 37 rows is 111 rectangles.
    Bitmap24 bg(64, 37);
    for (int y = 0; y < bg.Height(); ++y)
        for (int x = 0; x < bg.Width(); ++x)
            bg.SetPixel(x, y, x == y || x == y + 10 || x == 63 - y % 5 ? Magenta : 0x808080);
    const std::vector<RegionRect> runs = BuildSkinRegion(bg, true, Magenta);
    const WindowOutline exact = BuildWindowOutline(bg, true, Magenta, runs.size());
    EXPECT_EQ(exact.Cell, 1);
    EXPECT_EQ(exact.Rects.size(), runs.size());
    EXPECT_TRUE(SameArea(exact.Rects, runs));
    ExpectBanded(exact.Rects, bg.Width(), bg.Height());
    // One fewer allowed, and it follows cells instead.
    EXPECT_GT(BuildWindowOutline(bg, true, Magenta, runs.size() - 1).Cell, 1);
}

TEST(WindowOutline, AnIntricateMaskFollowsCellsThatKeepEveryDrawnPixel)
{
    // 1-pixel squares: the exact outline would be 45 x 22 runs; cells of 2 are all inside.
    Bitmap24 fine = Checkerboard(45, 23, 1);
    WindowOutline outline = BuildWindowOutline(fine, true, Magenta, 100);
    EXPECT_EQ(outline.Cell, 2);
    EXPECT_EQ(outline.Rects, (std::vector<RegionRect>{{0, 0, 45, 23}}));

    // 3-pixel squares with a limit that takes larger cells: the edges are clipped to the
    // background, and nothing drawn is cut off.
    Bitmap24 coarse = Checkerboard(100, 61, 3);
    coarse.SetPixel(99, 60, 0x123456);
    outline = BuildWindowOutline(coarse, true, Magenta, 40);
    EXPECT_GT(outline.Cell, 1);
    EXPECT_LE(outline.Rects.size(), 40u);
    ExpectBanded(outline.Rects, coarse.Width(), coarse.Height());
    ExpectCovers(outline.Rects, coarse);
    EXPECT_TRUE(ToRegion(outline.Rects).contains(QPoint(99, 60)));
    // A transparent corner no cell of it reaches stays out.
    Bitmap24 corner = SolidBitmap(64, 64, 0x404040);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            corner.SetPixel(x, y, Magenta);
    for (int x = 16; x < 64; x += 2)
        corner.SetPixel(x, 40, Magenta); // runs enough to need cells
    outline = BuildWindowOutline(corner, true, Magenta, 3);
    EXPECT_EQ(outline.Cell, 2);
    EXPECT_FALSE(ToRegion(outline.Rects).contains(QPoint(0, 0)));
    EXPECT_FALSE(ToRegion(outline.Rects).contains(QPoint(15, 15)));
    EXPECT_TRUE(ToRegion(outline.Rects).contains(QPoint(16, 16)));
}

TEST(WindowOutline, AFineCheckerboardOfFourThousandPixelsASideStaysWithinTheLimit)
{
    // Millions of runs exactly: what froze the X server. The outline is built from a bounded
    // number of bands instead.
    for (int square : {1, 5}) {
        const Bitmap24 bg = Checkerboard(4096, 4096, square);
        const WindowOutline outline = BuildWindowOutline(bg, true, Magenta);
        EXPECT_GT(outline.Cell, 1) << square;
        EXPECT_LE(outline.Rects.size(), MaxOutlineRects) << square;
        ExpectBanded(outline.Rects, bg.Width(), bg.Height());
        ExpectCovers(outline.Rects, bg);
        const QRegion region = ToRegion(outline.Rects);
        EXPECT_LE(std::size_t(region.rectCount()), MaxOutlineRects) << square;
    }
}

TEST(WindowOutline, AtAFractionalDesktopScaleSkinPixelsTakeWholeScreenPixels)
{
    EXPECT_EQ(FaceScale(1.0), 1);
    EXPECT_EQ(FaceScale(1.25), 1);
    EXPECT_EQ(FaceScale(1.5), 1);
    EXPECT_EQ(FaceScale(1.75), 2);
    EXPECT_EQ(FaceScale(2.0), 2);
    EXPECT_EQ(FaceScale(2.5), 2);
    EXPECT_EQ(FaceScale(0.5), 1);
    EXPECT_EQ(FaceScale(std::nan("")), 1);
    // Skin pixels at 1 on a desktop of 1.5: the window's units are 2/3 of them, and the
    // outline keeps every skin pixel inside.
    const QRegion scaled = ScaleRegion(QRegion(3, 0, 4, 2), 1 / 1.5);
    EXPECT_EQ(scaled, QRegion(2, 0, 3, 2));
    EXPECT_EQ(ScaleRegion(QRegion(3, 0, 4, 2), 1.0), QRegion(3, 0, 4, 2));

    // On the screen each skin pixel becomes a square of whole screen pixels, unblended.
    QImage picture(2, 1, QImage::Format_ARGB32_Premultiplied);
    picture.setPixel(0, 0, 0xFF102030);
    picture.setPixel(1, 0, 0x00000000);
    const QImage repeated = RepeatPixels(picture, 3);
    ASSERT_EQ(repeated.size(), QSize(6, 3));
    EXPECT_EQ(repeated.format(), picture.format());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(repeated.pixel(x, y), x < 3 ? 0xFF102030u : 0u) << x << "," << y;
    EXPECT_EQ(RepeatPixels(picture, 1).constBits(), picture.constBits());
}
