#include "skin/SurfaceSync.h"

#include <array>
#include <gtest/gtest.h>

namespace {

QImage Whole(const SurfaceSync& sync, const Bitmap24& surface)
{
    return sync.Picture(surface, QRect(0, 0, surface.Width(), surface.Height()));
}

} // namespace

TEST(SurfaceSync, FindsOnlyWhatChanged)
{
    Bitmap24 surface(8, 6);
    surface.Fill(0x102030); // blue 0x10, green 0x20, red 0x30 in the platform's colour value
    SurfaceSync sync;
    EXPECT_EQ(sync.Sync(surface), QRect(0, 0, 8, 6));
    EXPECT_FALSE(Whole(sync, surface).hasAlphaChannel());
    EXPECT_EQ(Whole(sync, surface).pixel(3, 3), qRgb(0x30, 0x20, 0x10));
    surface.SetPixel(4, 2, 0x0000FF);
    const QImage part = sync.Picture(surface, QRect(3, 2, 2, 3));
    EXPECT_EQ(part.size(), QSize(2, 3));
    EXPECT_EQ(part.pixel(1, 0), qRgb(0xFF, 0, 0));
    EXPECT_EQ(part.pixel(0, 0), qRgb(0x30, 0x20, 0x10));
    sync.Sync(surface);

    EXPECT_TRUE(sync.Sync(surface).isEmpty());

    surface.SetPixel(2, 1, 0x0000FF);
    surface.SetPixel(5, 4, 0xFF0000);
    // The rectangle holds every change and only the rows that changed.
    const QRect changed = sync.Sync(surface);
    EXPECT_TRUE(changed.contains(2, 1) && changed.contains(5, 4));
    EXPECT_EQ(changed.top(), 1);
    EXPECT_EQ(changed.bottom(), 4);

    // The edges of a row count too.
    surface.SetPixel(7, 5, 0x00FF00);
    const QRect edge = sync.Sync(surface);
    EXPECT_TRUE(edge.contains(7, 5));
    EXPECT_EQ(edge.height(), 1);

    Bitmap24 bigger(10, 6);
    EXPECT_EQ(sync.Sync(bigger), QRect(0, 0, 10, 6));
    EXPECT_TRUE(sync.Sync(Bitmap24()).isEmpty());
    EXPECT_FALSE(sync.InStepWith(bigger));
}

TEST(SurfaceSync, WideRowsGiveOnlyTheBlocksThatChanged)
{
    Bitmap24 surface(100, 2);
    SurfaceSync sync;
    sync.Sync(surface);
    surface.SetPixel(3, 0, 0xFFFFFF);
    surface.SetPixel(90, 0, 0xFFFFFF);
    const QRegion changed = sync.Sync(surface, std::array{QRect(0, 0, 100, 2)});
    EXPECT_TRUE(changed.contains(QPoint(3, 0)) && changed.contains(QPoint(90, 0)));
    EXPECT_FALSE(changed.contains(QPoint(3, 1)));
    EXPECT_TRUE(sync.Sync(surface).isEmpty());

    // Two changes in one block, each in an area of its own: the block is given whole when
    // the first area finds it, so the second change is on the screen too.
    surface.SetPixel(2, 1, 0x0000FF);
    surface.SetPixel(12, 1, 0x0000FF);
    const QRegion both = sync.Sync(surface, std::array{QRect(2, 1, 1, 1), QRect(12, 1, 1, 1)});
    EXPECT_TRUE(both.contains(QPoint(2, 1)) && both.contains(QPoint(12, 1)));
}

TEST(SurfaceSync, AnOutlineMakesTheCutOutsTransparentAndStaysInStepWithTheSurface)
{
    Bitmap24 surface(6, 4);
    surface.Fill(0x102030);
    // The corners of the face are cut out.
    surface.SetPixel(0, 0, 0xFF00FF);
    surface.SetPixel(5, 3, 0xFF00FF);
    SurfaceSync sync;
    sync.Sync(surface);
    sync.SetOutline(MakeMask(surface, 0xFF00FF));
    EXPECT_TRUE(sync.HasOutline());
    EXPECT_EQ(sync.Sync(surface), QRect(0, 0, 6, 4));
    ASSERT_EQ(Whole(sync, surface).format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(Whole(sync, surface).pixel(0, 0), 0u);
    EXPECT_EQ(Whole(sync, surface).pixel(5, 3), 0u);
    EXPECT_EQ(Whole(sync, surface).pixel(1, 0), qRgb(0x30, 0x20, 0x10));

    // Whatever is drawn into a cut-out stays transparent and is no change on the screen.
    surface.SetPixel(0, 0, 0x00FF00);
    EXPECT_TRUE(sync.Sync(surface).isEmpty());
    EXPECT_EQ(Whole(sync, surface).pixel(0, 0), 0u);
    surface.SetPixel(2, 2, 0x00FF00);
    const QRect changed = sync.Sync(surface);
    EXPECT_TRUE(changed.contains(2, 2));
    EXPECT_EQ(changed.height(), 1);
    EXPECT_EQ(Whole(sync, surface).pixel(2, 2), qRgb(0, 0xFF, 0));

    // A surface of another size (a mode without its own outline) is opaque again.
    Bitmap24 other(8, 4);
    other.Fill(0x102030);
    sync.Sync(other);
    EXPECT_FALSE(Whole(sync, other).hasAlphaChannel());
    EXPECT_EQ(Whole(sync, other).pixel(0, 0), qRgb(0x30, 0x20, 0x10));

    // Taking the outline away makes the image opaque at the next look, every pixel.
    sync.SetOutline(MakeMask(surface, 0xFF00FF));
    sync.Sync(surface);
    sync.SetOutline(Mask8());
    EXPECT_EQ(sync.Sync(surface), QRect(0, 0, 6, 4));
    EXPECT_FALSE(Whole(sync, surface).hasAlphaChannel());
    EXPECT_EQ(Whole(sync, surface).pixel(5, 3), qRgb(0xFF, 0, 0xFF));
}
