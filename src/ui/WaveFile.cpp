#include "ui/WaveFile.h"

#include <QIODevice>
#include <QtEndian>
#include <array>
#include <cstring>

namespace {

struct ChunkHeader
{
    std::array<char, 4> Id{};
    quint32 Size = 0;
};

bool ReadExactly(QIODevice& file, char* data, qint64 bytes)
{
    return file.read(data, bytes) == bytes;
}

std::optional<ChunkHeader> ReadChunkHeader(QIODevice& file)
{
    char raw[8];
    if (!ReadExactly(file, raw, 8))
        return std::nullopt;
    ChunkHeader header;
    std::memcpy(header.Id.data(), raw, 4);
    header.Size = qFromLittleEndian<quint32>(raw + 4);
    return header;
}

bool Is(const ChunkHeader& header, const char* id)
{
    return std::memcmp(header.Id.data(), id, 4) == 0;
}

// Moves to the start of the chunk named `id`, at or after the current position; chunks are
// padded to an even size. Returns its size.
std::optional<quint32> FindChunk(QIODevice& file, const char* id)
{
    while (file.size() - file.pos() >= 9) {
        const std::optional<ChunkHeader> header = ReadChunkHeader(file);
        if (!header)
            return std::nullopt;
        if (Is(*header, id))
            return header->Size;
        if (!file.seek(file.pos() + header->Size + (header->Size & 1)))
            return std::nullopt;
    }
    return std::nullopt;
}

QString FormatName(quint16 tag)
{
    switch (tag) {
    case 2:
        return QStringLiteral("Microsoft ADPCM");
    case 3:
        return QStringLiteral("IEEE float");
    case 6:
        return QStringLiteral("A-law");
    case 7:
        return QStringLiteral("mu-law");
    case 0x11:
        return QStringLiteral("IMA ADPCM");
    case 0x55:
        return QStringLiteral("MPEG Layer 3");
    default:
        return QStringLiteral("format tag 0x%1").arg(tag, 4, 16, QLatin1Char('0'));
    }
}

constexpr quint16 PcmTag = 1;
constexpr quint16 ExtensibleTag = 0xFFFE;
// The sub-format GUID of integer PCM, as it is stored.
constexpr std::array<unsigned char, 16> PcmSubFormat = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Integer PCM the device can be asked for, or a text that says why not.
QString RefusalOf(const WaveFormat& format)
{
    if (format.FormatTag != PcmTag)
        return QStringLiteral("Unsupported sound format: ") + FormatName(format.FormatTag);
    const int bits = format.BitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return QStringLiteral("Unsupported sound format: %1-bit PCM").arg(bits);
    const int container = bits == 24 && format.BlockAlign == format.Channels * 4 ? 4 : bits / 8;
    if (format.Channels == 0 || format.SamplesPerSec == 0 ||
        format.BlockAlign != format.Channels * container)
        return QStringLiteral("Stream.Read(Format)");
    return {};
}

} // namespace

std::optional<WaveFileLayout> ParseWaveFile(QIODevice& file, QString& error)
{
    char riff[12];
    if (!file.seek(0) || !ReadExactly(file, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        error = QStringLiteral("Stream.Read(FileHeader)");
        return std::nullopt;
    }
    // Some writers put other chunks before the format, so it is looked for like "data".
    const std::optional<quint32> formatSize = FindChunk(file, "fmt ");
    if (!formatSize) {
        error = QStringLiteral("Stream.Read(FileHeader)");
        return std::nullopt;
    }
    const qint64 formatStart = file.pos();
    char raw[40] = {};
    const qint64 wanted = std::min<qint64>(*formatSize, sizeof raw);
    if (*formatSize < 16 || !ReadExactly(file, raw, wanted)) {
        error = QStringLiteral("Stream.Read(Format)");
        return std::nullopt;
    }
    WaveFileLayout layout;
    WaveFormat& format = layout.Format;
    format.FormatTag = qFromLittleEndian<quint16>(raw);
    format.Channels = qFromLittleEndian<quint16>(raw + 2);
    format.SamplesPerSec = qFromLittleEndian<quint32>(raw + 4);
    format.AvgBytesPerSec = qFromLittleEndian<quint32>(raw + 8);
    format.BlockAlign = qFromLittleEndian<quint16>(raw + 12);
    format.BitsPerSample = qFromLittleEndian<quint16>(raw + 14);
    format.Size = 0;
    if (format.FormatTag == ExtensibleTag) {
        if (*formatSize < 40 || std::memcmp(raw + 24, PcmSubFormat.data(), 16) != 0) {
            error = QStringLiteral("Unsupported sound format: extensible, not integer PCM");
            return std::nullopt;
        }
        format.FormatTag = PcmTag;
    }
    error = RefusalOf(format);
    if (!error.isEmpty())
        return std::nullopt;

    if (!file.seek(formatStart + *formatSize + (*formatSize & 1))) {
        error = QStringLiteral("FindChunk(data)");
        return std::nullopt;
    }
    const std::optional<quint32> dataSize = FindChunk(file, "data");
    if (!dataSize || *dataSize == 0) {
        error = QStringLiteral("FindChunk(data)");
        return std::nullopt;
    }
    layout.DataStart = file.pos();
    // A chunk that claims more than the file holds plays what is there.
    layout.DataLength = std::min<qint64>(*dataSize, file.size() - layout.DataStart);
    layout.DataLength -= layout.DataLength % format.BlockAlign;
    if (layout.DataLength <= 0) {
        error = QStringLiteral("FindChunk(data)");
        return std::nullopt;
    }
    return layout;
}
