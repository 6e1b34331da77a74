#pragma once

#include "doubles/RecordingDialogs.h"
#include "log/DebugLog.h"
#include "skin/Bitmap24.h"
#include "skin/SkinImage.h"
#include "support/TempProgramFolder.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>
#include <initializer_list>

// Small pictures and skins made by the tests themselves.

inline Bitmap24 SolidBitmap(int width, int height, SkinColor color)
{
    Bitmap24 bitmap(width, height);
    bitmap.Fill(color);
    return bitmap;
}

// Frames stacked top to bottom, each one solid colour, plus extra rows of white at the bottom.
inline Bitmap24 FrameStrip(int width, int frameHeight, std::initializer_list<SkinColor> colors,
                           int extraRows = 0)
{
    Bitmap24 bitmap(width, frameHeight * int(colors.size()) + extraRows);
    bitmap.Fill(0xFFFFFF);
    int frame = 0;
    for (SkinColor color : colors) {
        for (int y = 0; y < frameHeight; ++y)
            for (int x = 0; x < width; ++x)
                bitmap.SetPixel(x, frame * frameHeight + y, color);
        ++frame;
    }
    return bitmap;
}

inline QByteArray EncodeWithQt(const Bitmap24& bitmap, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    // An RGB888 image keeps 24 bits in the written BMP.
    writer.write(bitmap.ImageView().convertToFormat(QImage::Format_RGB888));
    return bytes;
}

inline quint32 Crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline QByteArray BigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian<quint32>(value, bytes.data());
    return bytes;
}

inline QByteArray PngChunk(const QByteArray& type, const QByteArray& data)
{
    return BigEndian32(quint32(data.size())) + type + data + BigEndian32(Crc32(type + data));
}

// The PNG signature, an IHDR of the given size (8-bit RGB) and the chunks after it of a real
// small PNG, so only the header lies: a hostile picture of any size in a few hundred bytes.
inline QByteArray PngClaimingSize(quint32 width, quint32 height)
{
    QByteArray real = EncodePng(FrameStrip(4, 1, {0x102030, 0x405060, 0x708090, 0xA0B0C0}));
    QByteArray ihdr =
        BigEndian32(width) + BigEndian32(height) + QByteArray("\x08\x02\x00\x00\x00", 5);
    return real.left(8) + PngChunk("IHDR", ihdr) + real.mid(8 + 25);
}

// Writes a picture in the format its extension names (".prs" is written as PNG).
inline void WriteImage(const TempProgramFolder& folder, const QString& name, const Bitmap24& bitmap)
{
    const QString extension = QFileInfo(name).suffix().toLower();
    if (extension == "bmp")
        folder.Write(name, EncodeWithQt(bitmap, "bmp"));
    else if (extension == "jpg" || extension == "jpeg")
        folder.Write(name, EncodeWithQt(bitmap, "jpeg", 100));
    else
        folder.Write(name, EncodePng(bitmap));
}

// A skin "Skin/<name>.ini" with its image folder "Skin/<name>/".
class TestSkin
{
public:
    explicit TestSkin(const TempProgramFolder& folder, QString name = "Test")
        : m_folder(folder), m_name(std::move(name))
    {}

    QString IniPath() const { return m_folder.File("Skin/" + m_name + ".ini"); }
    void Ini(const QByteArray& text) const { m_folder.Write("Skin/" + m_name + ".ini", text); }
    void Image(const QString& file, const Bitmap24& bitmap) const
    {
        WriteImage(m_folder, "Skin/" + m_name + "/" + file, bitmap);
    }

private:
    const TempProgramFolder& m_folder;
    QString m_name;
};

// A debug log switched on in its own folder, for checking what a part writes.
class CapturedLog
{
public:
    CapturedLog() { m_folder.Write("Debug.log", ""); }
    TaggedLog Tagged(const QString& tag) { return TaggedLog(&m_log, tag); }
    QString Text() const { return QString::fromUtf8(m_folder.Read("Debug.log")); }

private:
    TempProgramFolder m_folder;
    RecordingDialogs m_dialogs;
    DebugLog m_log{m_folder.File("Debug.log"), m_dialogs};
};
