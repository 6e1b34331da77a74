#include "ui/WaveFile.h"

#include "support/WaveFiles.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

using namespace WaveFiles;

namespace {

std::optional<WaveFileLayout> Parse(const QByteArray& bytes, QString& error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return ParseWaveFile(buffer, error);
}

} // namespace

TEST(WaveFile, FindsTheFormatAndTheDataPastOtherChunks)
{
    QString error;
    const QByteArray data = Samples(2000);
    std::optional<WaveFileLayout> plain = Parse(Pcm16Mono(data), error);
    ASSERT_TRUE(plain) << error.toStdString();
    EXPECT_EQ(plain->DataStart, 44);
    EXPECT_EQ(plain->DataLength, 2000);
    EXPECT_EQ(plain->Format.SamplesPerSec, 22050u);
    EXPECT_EQ(plain->Format.BlockAlign, 2);
    EXPECT_EQ(plain->Format.Size, 0);

    // An odd-sized chunk before "data" is padded to an even size; a chunk before "fmt " too.
    const QByteArray busy =
        Riff(Chunk("JUNK", QByteArray(5, 'j')) + Chunk("fmt ", PcmFormat(2, 44100, 24)) +
             Chunk("LIST", QByteArray(7, 'l')) + Chunk("data", Samples(600)));
    std::optional<WaveFileLayout> layout = Parse(busy, error);
    ASSERT_TRUE(layout) << error.toStdString();
    EXPECT_EQ(layout->Format.Channels, 2);
    EXPECT_EQ(layout->Format.BitsPerSample, 24);
    EXPECT_EQ(layout->DataLength, 600);
    EXPECT_EQ(busy.mid(layout->DataStart, 600), Samples(600));
}

TEST(WaveFile, ATruncatedDataChunkPlaysWhatIsThere)
{
    QString error;
    QByteArray file = Pcm16Mono(Samples(1000));
    file.chop(301); // leaves 699 bytes: whole frames only
    std::optional<WaveFileLayout> layout = Parse(file, error);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->DataLength, 698);
}

TEST(WaveFile, BrokenFilesNameTheStepThatFailed)
{
    QString error;
    EXPECT_FALSE(Parse("RIFX\0\0\0\0WAVEfmt ", error));
    EXPECT_EQ(error, "Stream.Read(FileHeader)");
    EXPECT_FALSE(Parse("", error));
    EXPECT_EQ(error, "Stream.Read(FileHeader)");
    EXPECT_FALSE(Parse(Riff(Chunk("data", Samples(10))), error));
    EXPECT_EQ(error, "Stream.Read(FileHeader)");
    EXPECT_FALSE(Parse(Riff(Chunk("fmt ", PcmFormat(1, 8000, 16).left(12))), error));
    EXPECT_EQ(error, "Stream.Read(Format)");
    EXPECT_FALSE(Parse(Riff(Chunk("fmt ", PcmFormat(1, 8000, 16)) + Chunk("LIST", "abcd")), error));
    EXPECT_EQ(error, "FindChunk(data)");
    EXPECT_FALSE(Parse(Riff(Chunk("fmt ", PcmFormat(1, 8000, 16)) + Chunk("data", "")), error));
    EXPECT_EQ(error, "FindChunk(data)");
}

TEST(WaveFile, OnlyIntegerPcmIsTakenAndTheRefusalNamesTheFormat)
{
    QString error;
    EXPECT_FALSE(
        Parse(Riff(Chunk("fmt ", PcmFormat(1, 8000, 32, 3)) + Chunk("data", Samples(8))), error));
    EXPECT_EQ(error, "Unsupported sound format: IEEE float");
    EXPECT_FALSE(
        Parse(Riff(Chunk("fmt ", PcmFormat(1, 8000, 4, 2) + U16(0)) + Chunk("data", "xx")), error));
    EXPECT_EQ(error, "Unsupported sound format: Microsoft ADPCM");
    EXPECT_FALSE(
        Parse(Riff(Chunk("fmt ", PcmFormat(1, 8000, 12)) + Chunk("data", Samples(8))), error));
    EXPECT_EQ(error, "Unsupported sound format: 12-bit PCM");

    // The extensible format: integer PCM plays, anything else is refused.
    const auto extensible = [](const QByteArray& guid) {
        return Riff(
            Chunk("fmt ", PcmFormat(2, 48000, 24, 0xFFFE) + U16(22) + U16(24) + U32(3) + guid) +
            Chunk("data", Samples(60)));
    };
    const QByteArray pcm("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    QByteArray floating = pcm;
    floating[0] = 3;
    std::optional<WaveFileLayout> layout = Parse(extensible(pcm), error);
    ASSERT_TRUE(layout) << error.toStdString();
    EXPECT_EQ(layout->Format.FormatTag, 1);
    EXPECT_EQ(layout->DataLength, 60);
    EXPECT_FALSE(Parse(extensible(floating), error));
    EXPECT_EQ(error, "Unsupported sound format: extensible, not integer PCM");
}

TEST(ShippedSounds, EveryEventHasAShortIntegerPcmTone)
{
    const QString folder = QStringLiteral(PULSMIR_DATA_DIR "/sounds/");
    for (const char* name : {"online", "offline", "ping", "start", "skin", "memory", "resources"}) {
        QFile file(folder + name + ".wav");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        QString error;
        const std::optional<WaveFileLayout> layout = ParseWaveFile(file, error);
        ASSERT_TRUE(layout) << name << ": " << error.toStdString();
        EXPECT_EQ(layout->Format.FormatTag, 1);
        EXPECT_GT(layout->DataLength, 1000) << name;
        EXPECT_LT(layout->DataLength, 64 * 1024) << name; // a short tone, well under a second
    }
}
