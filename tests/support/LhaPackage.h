#pragma once

// Add-in packages written at test time, byte for byte after the LHA header layouts (as
// tests/fixtures/addin/make_packages.py writes the committed ones), for packages too large or
// too many to commit: level-0 stored entries, level-1 entries carrying a UNIX mode, and -lh5-
// entries of one repeated byte whose Huffman trees each hold a single code, so that a block of
// 52 bits decodes to 16 MiB.

#include <QByteArray>
#include <QtGlobal>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace LhaPackage {

inline std::uint16_t Crc16Step(std::uint16_t crc, unsigned char byte)
{
    crc ^= byte;
    for (int i = 0; i < 8; ++i)
        crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    return crc;
}

inline std::uint16_t Crc16(const QByteArray& data)
{
    std::uint16_t crc = 0;
    for (char c : data)
        crc = Crc16Step(crc, static_cast<unsigned char>(c));
    return crc;
}

// The CRC of `count` copies of one byte: the states repeat within 65536 steps.
inline std::uint16_t Crc16OfRun(unsigned char byte, qint64 count)
{
    std::vector<qint64> seen(65536, -1);
    std::vector<std::uint16_t> states;
    std::uint16_t crc = 0;
    for (qint64 i = 0; i < count; ++i) {
        if (seen[crc] >= 0) {
            const qint64 start = seen[crc];
            const qint64 period = i - start;
            return states[static_cast<std::size_t>(start + (count - start) % period)];
        }
        seen[crc] = i;
        states.push_back(crc);
        crc = Crc16Step(crc, byte);
    }
    return crc;
}

inline void PutLe(QByteArray& out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline QByteArray Level0Header(const char* method, const QByteArray& name, qint64 packed,
                               qint64 original, std::uint16_t crc)
{
    QByteArray body(method, 5);
    PutLe(body, static_cast<quint64>(packed), 4);
    PutLe(body, static_cast<quint64>(original), 4);
    PutLe(body, 12u << 11, 2);                           // 12:00
    PutLe(body, ((2020 - 1980) << 9) | (1 << 5) | 1, 2); // 2020-01-01
    body += QByteArray("\x20\x00", 2);                   // attribute, level 0
    body += static_cast<char>(name.size());
    body += name;
    PutLe(body, crc, 2);
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    return static_cast<char>(body.size()) + QByteArray(1, static_cast<char>(sum & 0xFF)) + body;
}

// A stored entry; "\" or "/" between folders as given.
inline QByteArray Stored(const QByteArray& name, const QByteArray& data)
{
    return Level0Header("-lh0-", name, data.size(), data.size(), Crc16(data)) + data;
}

// A stored entry from a UNIX archiver, with its file mode.
inline QByteArray StoredWithMode(const QByteArray& name, const QByteArray& data, unsigned mode)
{
    QByteArray extension("\x50", 1);
    PutLe(extension, mode, 2);
    PutLe(extension, 0, 2); // no next extension
    QByteArray body("-lh0-");
    PutLe(body, static_cast<quint64>(data.size() + extension.size()), 4);
    PutLe(body, static_cast<quint64>(data.size()), 4);
    PutLe(body, 12u << 11, 2);
    PutLe(body, ((2020 - 1980) << 9) | (1 << 5) | 1, 2);
    body += QByteArray("\x20\x01", 2);
    body += static_cast<char>(name.size());
    body += name;
    PutLe(body, Crc16(data), 2);
    body += 'U';
    PutLe(body, static_cast<quint64>(extension.size()), 2);
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    return static_cast<char>(body.size()) + QByteArray(1, static_cast<char>(sum & 0xFF)) + body +
           extension + data;
}

class BitWriter
{
public:
    void Put(unsigned value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            m_byte = static_cast<unsigned char>((m_byte << 1) | ((value >> i) & 1));
            if (++m_used == 8) {
                m_bytes += static_cast<char>(m_byte);
                m_byte = 0;
                m_used = 0;
            }
        }
    }
    // Zero bits up to the byte; nothing after, or the decoder takes it for another block.
    QByteArray Finish()
    {
        if (m_used > 0)
            Put(0, 8 - m_used);
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    unsigned char m_byte = 0;
    int m_used = 0;
};

// One -lh5- block of `codes` codes that are all `symbol` (a literal byte, or 256 + length - 3 for
// a match): the pre-tree, the code tree and the position tree each a single code of no bits.
// Position code 0 copies from one byte back; code 2 reads one more bit per match and copies
// from three (bit 0) back.
inline void SingleCodeBlock(BitWriter& bits, unsigned codes, unsigned symbol, unsigned position = 0)
{
    bits.Put(codes, 16);
    bits.Put(0, 5);
    bits.Put(0, 5);
    bits.Put(0, 9);
    bits.Put(symbol, 9);
    bits.Put(0, 4);
    bits.Put(position, 4);
    if (position == 2 && symbol > 255)
        for (unsigned i = 0; i < codes; ++i)
            bits.Put(0, 1);
}

// An -lh5- entry decoding to `size` (at least 16388) copies of `byte`; its header claims
// `claimed` bytes (at most 4 GiB - 1 in a level-0 header), `size` when not given. libarchive
// takes a block count only when it can read 64 bits ahead (or already holds 16), so the last
// block spends a bit on each of its codes to keep that much behind every block before it.
inline QByteArray RepeatedByte(const QByteArray& name, unsigned char byte, qint64 size,
                               qint64 claimed = -1)
{
    constexpr qint64 MatchLength = 256; // the longest match: symbol 509
    constexpr qint64 MaxCodes = 65535;
    constexpr qint64 LastCodes = 64;
    const qint64 rest = (size - 4) % MatchLength;
    BitWriter bits;
    SingleCodeBlock(bits, static_cast<unsigned>(4 + (rest < 3 ? rest : 0)), byte);
    if (rest >= 3)
        SingleCodeBlock(bits, 1, static_cast<unsigned>(256 + rest - 3));
    qint64 matches = (size - 4) / MatchLength;
    while (matches > 0) {
        qint64 codes = std::min(matches, MaxCodes);
        if (matches - codes > 0 && matches - codes < LastCodes)
            codes -= LastCodes;
        matches -= codes;
        SingleCodeBlock(bits, static_cast<unsigned>(codes), 509, matches == 0 ? 2 : 0);
    }
    const QByteArray data = bits.Finish();
    return Level0Header("-lh5-", name, data.size(), claimed < 0 ? size : claimed,
                        Crc16OfRun(byte, size)) +
           data;
}

inline QByteArray Descriptor(const char* component, const char* name)
{
    return QByteArray("[PulsmirAddin]\r\nComponent=") + component + "\r\nName=" + name + "\r\n";
}

inline QByteArray End()
{
    return QByteArray(1, '\0');
}

} // namespace LhaPackage
