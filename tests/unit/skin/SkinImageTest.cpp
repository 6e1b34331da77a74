#include "skin/SkinImage.h"

#include "skin/Bitmap24.h"
#include "skin/Mask8.h"
#include "support/AddressSpace.h"
#include "unit/skin/SkinTestFiles.h"

#include <QImage>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A picture whose pixels differ in every channel, so swapped or altered bytes show.
Bitmap24 Gradient(int width, int height)
{
    Bitmap24 bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, MakeSkinColor(x * 37 + 1, y * 53 + 2, (x + y) * 11 + 3));
    return bitmap;
}

void ExpectSame(const Bitmap24& actual, const Bitmap24& expected)
{
    ASSERT_EQ(actual.Width(), expected.Width());
    ASSERT_EQ(actual.Height(), expected.Height());
    for (int y = 0; y < expected.Height(); ++y)
        for (int x = 0; x < expected.Width(); ++x)
            ASSERT_EQ(actual.Pixel(x, y), expected.Pixel(x, y)) << x << "," << y;
}

} // namespace

TEST(Bitmap24, RefusesSizesOverTheLimits)
{
    EXPECT_TRUE(Bitmap24::Fits(1, 1 << 26)); // a tall strip: 256 MiB in rows of 4 bytes
    EXPECT_FALSE(Bitmap24::Fits(1, (1 << 26) + 1));
    EXPECT_FALSE(Bitmap24::Fits(0, 5));
    EXPECT_FALSE(Bitmap24::Fits(-1, 5));
    EXPECT_TRUE(Bitmap24::Fits(9000, 9000));    // 243 MB
    EXPECT_FALSE(Bitmap24::Fits(16384, 16384)); // 768 MiB
    EXPECT_THROW(Bitmap24(16384, 16384), std::length_error);
    EXPECT_TRUE(Bitmap24(0, 10).IsEmpty());
}

TEST(Bitmap24, RowsAreBlueGreenRedAndPaddedToFourBytes)
{
    Bitmap24 bitmap(3, 2);
    EXPECT_EQ(bitmap.Stride(), 12);
    bitmap.SetPixel(1, 1, MakeSkinColor(0x11, 0x22, 0x33));
    const std::uint8_t* p = bitmap.Row(1) + 3;
    EXPECT_EQ(p[0], 0x33);
    EXPECT_EQ(p[1], 0x22);
    EXPECT_EQ(p[2], 0x11);
    EXPECT_EQ(bitmap.Pixel(1, 1), 0x332211u);
}

TEST(Bitmap24, ImageViewSharesThePixels)
{
    Bitmap24 bitmap = Gradient(5, 3);
    QImage view = bitmap.ImageView();
    EXPECT_EQ(view.constBits(), bitmap.Row(0));
    bitmap.SetPixel(4, 2, MakeSkinColor(1, 2, 3));
    EXPECT_EQ(view.pixelColor(4, 2), QColor(1, 2, 3));
    EXPECT_EQ(Bitmap24::FromImage(view), bitmap);
}

TEST(Bitmap24, CopyOutsideTheBitmapIsBlack)
{
    Bitmap24 bitmap = SolidBitmap(4, 4, 0x00FF00);
    Bitmap24 part = bitmap.Copy(2, -1, 4, 3);
    EXPECT_EQ(part.Pixel(0, 0), 0u);
    EXPECT_EQ(part.Pixel(0, 1), 0x00FF00u);
    EXPECT_EQ(part.Pixel(1, 2), 0x00FF00u);
    EXPECT_EQ(part.Pixel(2, 1), 0u);
}

TEST(SkinImage, PngPixelsAreExactAndGammaIsIgnored)
{
    Bitmap24 original = Gradient(7, 5);
    QByteArray png = EncodePng(original);
    ExpectSame(DecodePng(png), original);

    // gAMA 0.2 and an sRGB chunk would brighten everything if applied.
    QByteArray withGamma = png.left(33) + PngChunk("gAMA", BigEndian32(20000)) +
                           PngChunk("sRGB", QByteArray(1, '\0')) + png.mid(33);
    ExpectSame(DecodePng(withGamma), original);
}

TEST(SkinImage, PngOfEveryColourTypeBecomes24BitWithAlphaDropped)
{
    QImage palette(2, 1, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
    palette.setPixel(0, 0, 0);
    palette.setPixel(1, 0, 1);
    QImage gray(2, 1, QImage::Format_Grayscale8);
    gray.setPixel(0, 0, qRgb(7, 7, 7));
    gray.setPixel(1, 0, qRgb(250, 250, 250));
    QImage alpha(2, 1, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(10, 20, 30, 0));
    alpha.setPixel(1, 0, qRgba(200, 100, 50, 255));
    QImage deep(2, 1, QImage::Format_RGBX64);
    deep.setPixelColor(0, 0, QColor(10, 20, 30));
    deep.setPixelColor(1, 0, QColor(200, 100, 50));

    struct Case
    {
        const char* name;
        QImage image;
        SkinColor first, second;
    } cases[] = {
        {"palette", palette, MakeSkinColor(10, 20, 30), MakeSkinColor(200, 100, 50)},
        {"gray", gray, MakeSkinColor(7, 7, 7), MakeSkinColor(250, 250, 250)},
        {"alpha", alpha, MakeSkinColor(10, 20, 30), MakeSkinColor(200, 100, 50)},
        {"16-bit", deep, MakeSkinColor(10, 20, 30), MakeSkinColor(200, 100, 50)},
    };
    for (const Case& c : cases) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(c.image.save(&buffer, "png")) << c.name;
        Bitmap24 decoded = DecodePng(bytes);
        ASSERT_EQ(decoded.Width(), 2) << c.name;
        EXPECT_EQ(decoded.Pixel(0, 0), c.first) << c.name;
        EXPECT_EQ(decoded.Pixel(1, 0), c.second) << c.name;
    }
}

TEST(SkinImage, APaletteWithTransparencyDecodesWithTheTransparencyDropped)
{
    QImage palette(2, 1, QImage::Format_Indexed8);
    palette.setColorTable({qRgba(10, 20, 30, 0), qRgba(200, 100, 50, 128)});
    palette.setPixel(0, 0, 0);
    palette.setPixel(1, 0, 1);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(palette.save(&buffer, "png"));
    ASSERT_TRUE(bytes.contains("tRNS"));

    const Bitmap24 decoded = DecodePng(bytes);
    ASSERT_EQ(decoded.Width(), 2);
    EXPECT_EQ(decoded.Pixel(0, 0), MakeSkinColor(10, 20, 30));
    EXPECT_EQ(decoded.Pixel(1, 0), MakeSkinColor(200, 100, 50));
}

TEST(SkinImage, AChunkClaimingMoreThanTheFileHoldsGetsNoBufferOfThatSize)
{
    // A text chunk that says it holds 1.5 GiB, in a file of a few hundred bytes.
    const QByteArray png = EncodePng(Gradient(4, 4));
    const QByteArray lying = png.left(33) + BigEndian32(0x61000003) + "tEXtComment" + png.mid(33);
    EXPECT_TRUE(DecodePng(lying).IsEmpty());
    EXPECT_EXIT(ExitWithPeakGrowthBelow(64 << 20, [&] { DecodePng(lying); }),
                testing::ExitedWithCode(0), "");

    // Skipped unread, a whole text chunk changes nothing.
    const QByteArray text = PngChunk("tEXt", "Comment" + QByteArray(1, '\0') + QByteArray(100000, 'x'));
    ExpectSame(DecodePng(png.left(33) + text + png.mid(33)), Gradient(4, 4));
}

TEST(SkinImage, AFileIsReadIntoABufferOfItsOwnSize)
{
    TempProgramFolder folder;
    folder.Write("small.png", EncodePng(Gradient(4, 4)));
    Bitmap24 loaded;
    LoadSkinImage(loaded, folder.File("small.png"));
    ExpectSame(loaded, Gradient(4, 4));
    // The file limit is 96 MiB; a buffer that large for every picture is no use.
    EXPECT_EXIT(ExitWithPeakGrowthBelow(64 << 20,
                                        [&] {
                                            Bitmap24 picture;
                                            LoadSkinImage(picture, folder.File("small.png"));
                                        }),
                testing::ExitedWithCode(0), "");
}

TEST(SkinImage, TheExtensionChoosesTheDecoder)
{
    TempProgramFolder folder;
    Bitmap24 original = Gradient(6, 4);
    folder.Write("a.png", EncodePng(original));
    folder.Write("b.PNG", EncodePng(original));
    folder.Write("c.bmp", EncodeWithQt(original, "bmp"));
    folder.Write("d.prs", EncodePng(original));
    folder.Write("e.prs", EncodeWithQt(original, "bmp"));
    folder.Write("f.Prs", EncodeWithQt(original, "bmp"));
    for (const char* name : {"a.png", "b.PNG", "c.bmp", "d.prs", "e.prs", "f.Prs"}) {
        Bitmap24 loaded;
        LoadSkinImage(loaded, folder.File(name));
        SCOPED_TRACE(name);
        ExpectSame(loaded, original);
    }

    // Right data, wrong extension: nothing is read.
    folder.Write("g.gif", EncodePng(original));
    folder.Write("h.png", EncodeWithQt(original, "bmp"));
    folder.Write("i", EncodePng(original));
    for (const char* name : {"g.gif", "h.png", "i"}) {
        Bitmap24 loaded;
        LoadSkinImage(loaded, folder.File(name));
        EXPECT_TRUE(loaded.IsEmpty()) << name;
    }
}

TEST(SkinImage, JpegDecodesUnderBothExtensions)
{
    TempProgramFolder folder;
    Bitmap24 original = SolidBitmap(16, 8, MakeSkinColor(200, 40, 90));
    folder.Write("a.jpg", EncodeWithQt(original, "jpeg", 100));
    folder.Write("b.JPEG", EncodeWithQt(original, "jpeg", 100));
    for (const char* name : {"a.jpg", "b.JPEG"}) {
        Bitmap24 loaded;
        LoadSkinImage(loaded, folder.File(name));
        ASSERT_EQ(loaded.Width(), 16) << name;
        ASSERT_EQ(loaded.Height(), 8) << name;
        SkinColor c = loaded.Pixel(5, 5);
        EXPECT_NEAR(int(c & 0xFF), 200, 3) << name;
        EXPECT_NEAR(int(c >> 8 & 0xFF), 40, 3) << name;
        EXPECT_NEAR(int(c >> 16 & 0xFF), 90, 3) << name;
    }
}

TEST(SkinImage, AFailedLoadLeavesTheBitmapAsItWas)
{
    TempProgramFolder folder;
    folder.Write("corrupt.png", "\x89PNG\r\n\x1a\nnot really");
    folder.Write("corrupt.bmp", "BMxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
    folder.Write("corrupt.jpg", "\xFF\xD8\xFF\xE0 garbage");
    folder.Write("corrupt.prs", "neither");
    QDir(folder.Path()).mkdir("folder.png");
    ASSERT_EQ(mkfifo(folder.File("pipe.png").toLocal8Bit().constData(), 0600), 0);
    const Bitmap24 before = Gradient(3, 3);
    for (const char* name : {"missing.png", "corrupt.png", "corrupt.bmp", "corrupt.jpg",
                             "corrupt.prs", "folder.png", "pipe.png"}) {
        Bitmap24 bitmap = before;
        LoadSkinImage(bitmap, folder.File(name));
        EXPECT_EQ(bitmap, before) << name;
    }
}

TEST(SkinImage, TruncatedAndDamagedFilesNeverCrash)
{
    const Bitmap24 original = Gradient(20, 12);
    struct Format
    {
        const char* name;
        QByteArray bytes;
        Bitmap24 (*decode)(const QByteArray&);
    } formats[] = {
        {"png", EncodePng(original), DecodePng},
        {"bmp", EncodeWithQt(original, "bmp"), DecodeBmp},
        {"jpeg", EncodeWithQt(original, "jpeg", 90), DecodeJpeg},
    };
    for (const Format& f : formats) {
        ASSERT_FALSE(f.decode(f.bytes).IsEmpty()) << f.name;
        for (qsizetype length = 0; length < f.bytes.size(); ++length) {
            Bitmap24 decoded = f.decode(f.bytes.left(length));
            // A JPEG decoder may fill what is missing; it must never invent another size.
            if (!decoded.IsEmpty()) {
                EXPECT_EQ(decoded.Width(), 20) << f.name << " cut at " << length;
                EXPECT_EQ(decoded.Height(), 12) << f.name << " cut at " << length;
            }
        }
        for (qsizetype at = 0; at < f.bytes.size(); at += 3) {
            QByteArray damaged = f.bytes;
            damaged[at] = char(damaged[at] ^ 0x5A);
            Bitmap24 decoded = f.decode(damaged);
            if (!decoded.IsEmpty()) {
                EXPECT_TRUE(Bitmap24::Fits(decoded.Width(), decoded.Height()));
            }
        }
    }
    EXPECT_TRUE(DecodePng(EncodePng(original).left(8 + 25 + 20)).IsEmpty());
}

TEST(SkinImage, HeadersClaimingHugeSizesAreRefused)
{
    EXPECT_TRUE(DecodePng(PngClaimingSize(16384, 16384)).IsEmpty());
    EXPECT_TRUE(DecodePng(PngClaimingSize(0x7FFFFFFF, 0x7FFFFFFF)).IsEmpty());

    // BMP: width and height of the info header at offsets 18 and 22.
    QByteArray bmp = EncodeWithQt(Gradient(4, 4), "bmp");
    ASSERT_FALSE(DecodeBmp(bmp).IsEmpty());
    qToLittleEndian<qint32>(20000, bmp.data() + 18);
    qToLittleEndian<qint32>(20000, bmp.data() + 22);
    EXPECT_TRUE(DecodeBmp(bmp).IsEmpty());

    // JPEG: the height and width of the frame header follow its precision byte.
    QByteArray jpeg = EncodeWithQt(Gradient(8, 8), "jpeg", 90);
    qsizetype sof = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    qToBigEndian<quint16>(60000, jpeg.data() + sof + 5);
    qToBigEndian<quint16>(60000, jpeg.data() + sof + 7);
    EXPECT_TRUE(DecodeJpeg(jpeg).IsEmpty());
}

TEST(SkinImage, PicturesAreLimitedFarBelowTheBitmapsLimits)
{
    // The sides follow from the decoded size alone: 101 frames of 82 pixels fit.
    EXPECT_TRUE(PictureFits(80, 101 * 82));
    EXPECT_TRUE(PictureFits(1, MaxPictureBytes / 4));
    EXPECT_FALSE(PictureFits(1, MaxPictureBytes / 4 + 1));
    EXPECT_FALSE(PictureFits(0, 1));
    EXPECT_TRUE(PictureFits(4096, 4096));  // 48 MiB
    EXPECT_TRUE(PictureFits(8192, 2730));  // just under 64 MiB
    EXPECT_FALSE(PictureFits(8192, 2731)); // just over
    EXPECT_TRUE(Bitmap24::Fits(16384, 5400));
    EXPECT_FALSE(PictureFits(16384, 5400));

    // A picture within the bitmap's limits but over the picture limits is not decoded, in any
    // format; its header still tells its size.
    const QByteArray png = PngClaimingSize(16384, 5400);
    EXPECT_TRUE(DecodePng(png).IsEmpty());
    EXPECT_EQ(PictureHeaderSize(png, PictureFormat::Png), QSize(16384, 5400));
    QByteArray bmp = EncodeWithQt(Gradient(4, 4), "bmp");
    qToLittleEndian<qint32>(9000, bmp.data() + 18);
    qToLittleEndian<qint32>(3000, bmp.data() + 22);
    EXPECT_TRUE(DecodeBmp(bmp).IsEmpty());
    EXPECT_EQ(PictureHeaderSize(bmp, PictureFormat::Bmp), QSize(9000, 3000));
    QByteArray jpeg = EncodeWithQt(Gradient(8, 8), "jpeg", 90);
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    qToBigEndian<quint16>(5400, jpeg.data() + sof + 5);
    qToBigEndian<quint16>(16384, jpeg.data() + sof + 7);
    EXPECT_TRUE(DecodeJpeg(jpeg).IsEmpty());
    EXPECT_EQ(PictureHeaderSize(jpeg, PictureFormat::Jpeg), QSize(16384, 5400));
    EXPECT_TRUE(PictureLimitText("bg.png", QSize(16384, 5400))
                    .startsWith("bg.png is 16384 x 5400 pixels; a picture may take at most 64 MiB "
                                "decoded"));
}

TEST(SkinImage, HeaderSizesComeWithoutDecoding)
{
    const Bitmap24 picture = Gradient(7, 3);
    const QByteArray png = EncodePng(picture);
    const QByteArray bmp = EncodeWithQt(picture, "bmp");
    EXPECT_EQ(PictureHeaderSize(png, PictureFormat::Png), QSize(7, 3));
    EXPECT_EQ(PictureHeaderSize(bmp, PictureFormat::Bmp), QSize(7, 3));
    EXPECT_EQ(PictureHeaderSize(EncodeWithQt(picture, "jpeg", 90), PictureFormat::Jpeg),
              QSize(7, 3));
    EXPECT_EQ(PictureHeaderSize(png, PictureFormat::PngOrBmp), QSize(7, 3));
    EXPECT_EQ(PictureHeaderSize(bmp, PictureFormat::PngOrBmp), QSize(7, 3));
    // The header alone is enough.
    EXPECT_EQ(PictureHeaderSize(png.left(24), PictureFormat::Png), QSize(7, 3));
    EXPECT_EQ(PictureHeaderSize(png, PictureFormat::Bmp), std::nullopt);
    EXPECT_EQ(PictureHeaderSize(bmp, PictureFormat::Png), std::nullopt);
    EXPECT_EQ(PictureHeaderSize(png, PictureFormat::None), std::nullopt);
    EXPECT_EQ(PictureHeaderSize(png.left(20), PictureFormat::Png), std::nullopt);
    EXPECT_EQ(PictureHeaderSize("", PictureFormat::Jpeg), std::nullopt);

    EXPECT_EQ(PictureFormatOf("a/b.PrS"), PictureFormat::PngOrBmp);
    EXPECT_EQ(PictureFormatOf("b.jpeg"), PictureFormat::Jpeg);
    EXPECT_EQ(PictureFormatOf("b.gif"), PictureFormat::None);
    ExpectSame(DecodePicture(bmp, PictureFormat::PngOrBmp), picture);
}

TEST(SkinImage, AFileOverTheSizeLimitIsNotRead)
{
    TempProgramFolder folder;
    // A BMP header for 8 x 8 pixels at the start of a file that goes on, sparse, past the limit.
    QByteArray bmp = EncodeWithQt(Gradient(8, 8), "bmp");
    folder.Write("huge.bmp", bmp);
    QFile file(folder.File("huge.bmp"));
    ASSERT_TRUE(file.resize(MaxPictureFileSize + 1));
    Bitmap24 kept = SolidBitmap(2, 2, 0x00FF00);
    EXPECT_EXIT(ExitWithPeakGrowthBelow(16 << 20, [&] { LoadSkinImage(kept, file.fileName()); }),
                testing::ExitedWithCode(0), "");
    LoadSkinImage(kept, file.fileName());
    EXPECT_EQ(kept.Width(), 2);
    // At the limit it is read.
    ASSERT_TRUE(file.resize(MaxPictureFileSize));
    LoadSkinImage(kept, file.fileName());
    EXPECT_EQ(kept.Width(), 8);
}

TEST(SkinImage, MaskIsBlackExactlyWhereTheColourMatches)
{
    Bitmap24 image(4, 1);
    image.SetPixel(0, 0, MakeSkinColor(255, 0, 255));
    image.SetPixel(1, 0, MakeSkinColor(254, 0, 255)); // one bit off in red
    image.SetPixel(2, 0, MakeSkinColor(255, 0, 254)); // one bit off in blue
    image.SetPixel(3, 0, MakeSkinColor(0, 0, 0));
    const Bitmap24 before = image;
    Mask8 mask = MakeMask(image, MakeSkinColor(255, 0, 255));
    EXPECT_EQ(mask.ByteSize(), 4); // one byte a pixel
    EXPECT_EQ(mask.Pixel(0, 0), 0x000000u);
    EXPECT_EQ(mask.Pixel(1, 0), 0xFFFFFFu);
    EXPECT_EQ(mask.Pixel(2, 0), 0xFFFFFFu);
    EXPECT_EQ(mask.Pixel(3, 0), 0xFFFFFFu);
    EXPECT_EQ(image, before);
    EXPECT_TRUE(MakeMask(Bitmap24(), 0).IsEmpty());
}

TEST(SkinImage, CopiesShareTheirPixelsUntilOneIsWritten)
{
    Bitmap24 original(8, 2);
    original.SetPixel(1, 1, 0x123456);
    Bitmap24 copy = original;
    EXPECT_EQ(copy.DataId(), original.DataId());
    copy.SetPixel(1, 1, 0xABCDEF);
    EXPECT_NE(copy.DataId(), original.DataId());
    EXPECT_EQ(original.Pixel(1, 1), 0x123456u);
    EXPECT_EQ(copy.Pixel(1, 1), 0xABCDEFu);

    Bitmap24 moved = std::move(copy);
    EXPECT_TRUE(copy.IsEmpty()); // a bitmap moved from is empty, not half there
    EXPECT_EQ(moved.Pixel(1, 1), 0xABCDEFu);
    EXPECT_TRUE(copy.ImageView().isNull());
}
