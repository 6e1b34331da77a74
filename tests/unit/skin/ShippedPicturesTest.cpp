#include "skin/SkinImage.h"
#include "skin/WindowShape.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

// The pictures beside the program: every one decodes through the skin image loader, the splash
// shape fits its picture, and the tray lamps exist in every size with a transparent corner.

namespace {

const QString Data = QStringLiteral(PULSMIR_DATA_DIR) + "/";

Bitmap24 Load(const QString& name)
{
    Bitmap24 bitmap;
    LoadSkinImage(bitmap, Data + name);
    return bitmap;
}

} // namespace

TEST(ShippedPictures, EveryResourcePictureIsPngData)
{
    for (const char* name :
         {"rl1.prs", "rl2.prs", "rl3.prs", "rl4.prs", "rl5.prs", "rm1.prs", "rm2.prs", "rm3.prs"}) {
        QFile file(Data + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        EXPECT_FALSE(DecodePng(file.readAll()).IsEmpty()) << name << " is not PNG data";
    }
}

TEST(ShippedPictures, TheSplashShapeCutsOnlyWithPureRedAndKeepsTheTextCorner)
{
    const Bitmap24 picture = Load("rl3.prs");
    const Bitmap24 shape = Load("rl5.prs");
    ASSERT_FALSE(picture.IsEmpty());
    ASSERT_EQ(shape.Width(), picture.Width());
    ASSERT_EQ(shape.Height(), picture.Height());
    const SkinColor red = MakeSkinColor(255, 0, 0);
    int cut = 0;
    for (int y = 0; y < shape.Height(); ++y)
        for (int x = 0; x < shape.Width(); ++x)
            cut += shape.Pixel(x, y) == red;
    EXPECT_GT(cut, 0);
    EXPECT_LT(cut, shape.Width() * shape.Height() / 4);
    // The splash window takes exactly that outline.
    const WindowOutline outline = BuildWindowOutline(shape, true, red);
    EXPECT_EQ(outline.Cell, 1);
    EXPECT_TRUE((ToRegion(outline.Rects) ^ ToRegion(BuildSkinRegion(shape, true, red))).isEmpty());
    // The start-up texts are written light on the lower left: that area stays whole and dark.
    const int h = picture.Height();
    for (int y = h - 78; y < h - 14; ++y)
        for (int x = 16; x < 200; ++x) {
            ASSERT_NE(shape.Pixel(x, y), red) << x << "," << y;
            const SkinColor c = picture.Pixel(x, y);
            const int brightness = int(c & 0xFF) + int(c >> 8 & 0xFF) + int(c >> 16 & 0xFF);
            ASSERT_LT(brightness, 3 * 90) << x << "," << y;
        }
}

TEST(ShippedPictures, TrayLampsComeInThreeSizesForEachState)
{
    for (const char* state : {"idle", "read", "write", "readwrite"})
        for (int size : {16, 22, 32}) {
            const QString name = QStringLiteral("icons/tray-%1-%2.png").arg(state).arg(size);
            const QImage icon(Data + name);
            ASSERT_FALSE(icon.isNull()) << qPrintable(name);
            EXPECT_EQ(icon.size(), QSize(size, size)) << qPrintable(name);
            EXPECT_TRUE(icon.hasAlphaChannel()) << qPrintable(name);
            EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << qPrintable(name);
        }
    // The states differ from one another.
    EXPECT_NE(QImage(Data + "icons/tray-idle-16.png"), QImage(Data + "icons/tray-read-16.png"));
    EXPECT_NE(QImage(Data + "icons/tray-read-16.png"), QImage(Data + "icons/tray-write-16.png"));
    EXPECT_NE(QImage(Data + "icons/tray-write-16.png"),
              QImage(Data + "icons/tray-readwrite-16.png"));
}
