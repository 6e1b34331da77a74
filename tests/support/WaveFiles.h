#pragma once

#include <QByteArray>
#include <QtEndian>

// WAV files made by the tests themselves.
namespace WaveFiles {

inline QByteArray U32(quint32 value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    return QByteArray(raw, 4);
}

inline QByteArray U16(quint16 value)
{
    char raw[2];
    qToLittleEndian(value, raw);
    return QByteArray(raw, 2);
}

inline QByteArray Chunk(const char* id, const QByteArray& body, bool pad = true)
{
    QByteArray chunk = QByteArray(id, 4) + U32(static_cast<quint32>(body.size())) + body;
    if (pad && body.size() % 2)
        chunk.append('\0');
    return chunk;
}

inline QByteArray PcmFormat(quint16 channels, quint32 rate, quint16 bits, quint16 tag = 1)
{
    const quint16 align = static_cast<quint16>(channels * bits / 8);
    return U16(tag) + U16(channels) + U32(rate) + U32(rate * align) + U16(align) + U16(bits);
}

inline QByteArray Riff(const QByteArray& chunks)
{
    return "RIFF" + U32(static_cast<quint32>(4 + chunks.size())) + "WAVE" + chunks;
}

// Sample bytes that differ from one frame to the next, so a lost or doubled buffer shows.
inline QByteArray Samples(qsizetype bytes)
{
    QByteArray data(bytes, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes; ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return data;
}

inline QByteArray Pcm16Mono(const QByteArray& data, quint32 rate = 22050)
{
    return Riff(Chunk("fmt ", PcmFormat(1, rate, 16)) + Chunk("data", data));
}

} // namespace WaveFiles
