#include "skin/SkinBanner.h"

#include "skin/SkinImage.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

TEST(SkinBanners, PositionsFromTheWorkArea)
{
    const QSize size(198, 38);
    const QRect work(0, 0, 1024, 738); // a 30-pixel panel at the bottom
    const QSize screen(1024, 768);
    EXPECT_EQ(BannerPosition(4, size, work, screen), QPoint(1024 - 16 - 198, 738 - 16 - 38));
    EXPECT_EQ(BannerPosition(1, size, work, screen), QPoint(16, 16));
    EXPECT_EQ(BannerPosition(2, size, work, screen), QPoint(1024 - 16 - 198, 16));
    EXPECT_EQ(BannerPosition(3, size, work, screen), QPoint(16, 738 - 16 - 38));
    EXPECT_EQ(BannerPosition(0, size, work, screen), QPoint((1024 - 198) / 2, (768 - 38) / 2));
    EXPECT_EQ(BannerPosition(7, size, work, screen), BannerPosition(0, size, work, screen));
}

TEST(SkinBanners, LoadedFromTheSkinsImageFolder)
{
    TempProgramFolder folder;
    Bitmap24 picture(400, 80);
    folder.Write("Skin/Banner/banner.png", EncodePng(picture));
    folder.Write("Skin/Banner.ini", "[Pulsmir2_Skin]\r\nSkinName=B\r\nCreaterBanner=banner.png\r\n");
    folder.Write("Skin/Plain.ini", "[Pulsmir2_Skin]\r\nSkinName=P\r\n");
    folder.Write("Skin/Lost.ini", "[Pulsmir2_Skin]\r\nCreaterBanner=missing.png\r\n");
    folder.Write("Skin/Broken/bad.png", "not a picture");
    folder.Write("Skin/Broken.ini", "[Pulsmir2_Skin]\r\nCreaterBanner=bad.png\r\n");
    Bitmap24 banner;
    ASSERT_TRUE(LoadSkinBanner(folder.File("Skin/Banner.ini"), banner));
    EXPECT_EQ(banner.Width(), 400);
    EXPECT_EQ(banner.Height(), 80);
    for (const char* without : {"Skin/Plain.ini", "Skin/Lost.ini", "Skin/Broken.ini", "Skin/None.ini"})
        EXPECT_FALSE(LoadSkinBanner(folder.File(without), banner)) << without;
    EXPECT_EQ(banner.Width(), 400); // a failure leaves the last banner
}
