#include "skin/DeltaStrip.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// A needle strip: a grey face with a dark line whose column moves with the frame.
Bitmap24 NeedleStrip(int width, int frameHeight, int frames)
{
    Bitmap24 strip(width, frameHeight * frames);
    strip.Fill(0x808080);
    for (int f = 0; f < frames; ++f)
        for (int y = 0; y < frameHeight; ++y)
            strip.SetPixel((f + y / 2) % width, f * frameHeight + y, 0x101010);
    return strip;
}

void ExpectFramesEqual(const DeltaStrip& strip, const Bitmap24& picture)
{
    for (int f = 0; f < strip.Frames(); ++f)
        ASSERT_EQ(strip.Frame(f), picture.Copy(0, f * strip.FrameHeight(), strip.Width(),
                                               strip.FrameHeight()))
            << "frame " << f;
}

} // namespace

TEST(DeltaStrip, EveryFrameComesBackAsItWasAndNeedleStripsShrink)
{
    const Bitmap24 needle = NeedleStrip(72, 58, 101);
    const DeltaStrip strip(needle, 101, 58);
    EXPECT_EQ(strip.Frames(), 101);
    EXPECT_EQ(strip.Width(), 72);
    EXPECT_EQ(strip.FrameHeight(), 58);
    ExpectFramesEqual(strip, needle);
    // Each frame costs its own needle, not also the one of the frame it is told apart from.
    EXPECT_LT(strip.ByteSize(), needle.ByteSize() / 12);

    // Frames that differ everywhere, and differences at both edges of rows and frames; also
    // in frames of more differing pixels than a run can count (kept whole).
    std::mt19937 random(7);
    for (const QSize frame : {QSize(13, 7), QSize(300, 250)}) {
        Bitmap24 noise(frame.width(), frame.height() * 3);
        for (int y = 0; y < noise.Height(); ++y)
            for (int x = 0; x < noise.Width(); ++x)
                noise.SetPixel(x, y, random() % 3 == 0 ? 0 : SkinColor(random() & 0xFFFFFF));
        ExpectFramesEqual(DeltaStrip(noise, 3, frame.height()), noise);
    }
}

TEST(DeltaStrip, PartsOfRowsComposeTheSameAsWholeRows)
{
    Bitmap24 picture(9, 4 * 3);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            picture.SetPixel(x, y, (x * y) % 4 == 1 ? SkinColor(x + 16 * y) : 0x123456);
    const DeltaStrip strip(picture, 3, 4);
    for (int f = 0; f < 3; ++f) {
        for (int y = 0; y < 4; ++y) {
            std::uint8_t whole[9 * 3];
            strip.ComposeRow(f, y, 0, 9, whole);
            for (int x = 0; x < 9; ++x) {
                for (int count = 1; x + count <= 9; ++count) {
                    std::uint8_t part[9 * 3] = {};
                    strip.ComposeRow(f, y, x, count, part);
                    ASSERT_EQ(0, std::memcmp(part, whole + x * 3, std::size_t(count) * 3))
                        << f << " " << y << " " << x << " " << count;
                }
            }
        }
    }
}

TEST(DeltaStrip, LeftoverRowsAreDroppedAndImpossibleLayoutsGiveAnEmptyStrip)
{
    const Bitmap24 picture = NeedleStrip(5, 3, 4); // 12 rows
    const DeltaStrip three(picture, 3, 4);       // 3 frames of 4 rows, none left over
    ExpectFramesEqual(three, picture);
    const DeltaStrip tall(picture, 2, 5); // rows 10 and 11 are never shown
    EXPECT_EQ(tall.Frames(), 2);
    ExpectFramesEqual(tall, picture);
    EXPECT_TRUE(DeltaStrip(picture, 0, 3).IsEmpty());
    EXPECT_TRUE(DeltaStrip(picture, 3, 0).IsEmpty());
    EXPECT_TRUE(DeltaStrip(picture, -1, 3).IsEmpty());
    EXPECT_TRUE(DeltaStrip(picture, 5, 3).IsEmpty()); // more frames than the picture holds
    EXPECT_TRUE(DeltaStrip(Bitmap24(), 1, 1).IsEmpty());
    EXPECT_EQ(DeltaStrip().ByteSize(), 0);
}
