#include "platform/TextDecoding.h"

#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

class IconvHandle
{
public:
    IconvHandle(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (IsOpen())
            iconv_close(m_handle);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool IsOpen() const { return m_handle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_handle; }

private:
    iconv_t m_handle;
};

} // namespace

bool IsValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

namespace {

// The length of the UTF-8 sequence that starts with this byte (1 for a stray byte).
int Utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// Converts with iconv; what the target cannot take, or the source does not hold, becomes
// `replacement` in place of one source character.
QByteArray Convert(const char* to, const char* from, const QByteArray& bytes,
                   const QByteArray& replacement, bool utf8Source, bool* replaced)
{
    IconvHandle cd(to, from);
    QByteArray out;
    if (!cd.IsOpen())
        return out;
    out.reserve(bytes.size() * 2 + 4);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd.Get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            out.append(replacement);
            if (replaced)
                *replaced = true;
            const size_t skip =
                utf8Source
                    ? std::min<size_t>(Utf8SequenceLength(static_cast<unsigned char>(*in)), inLeft)
                    : 1;
            in += skip;
            inLeft -= skip;
            iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

QByteArray IconvName(const QByteArray& charset)
{
    const QByteArray name = charset.trimmed().toUpper();
    // Windows programs mean CP932 when they say Shift_JIS.
    if (name.isEmpty() || name == "SHIFT_JIS" || name == "SHIFT-JIS" || name == "SJIS" ||
        name == "X-SJIS" || name == "MS_KANJI" || name == "WINDOWS-31J")
        return "CP932";
    return name;
}

} // namespace

QString DecodeCp932(const QByteArray& bytes)
{
    const QByteArray utf8 = Convert("UTF-8", "CP932", bytes, "\xEF\xBF\xBD", false, nullptr);
    if (utf8.isEmpty() && !bytes.isEmpty())
        return QString::fromLatin1(bytes);
    return QString::fromUtf8(utf8);
}

QString DecodeCharset(const QByteArray& bytes, const QByteArray& charset)
{
    const QByteArray name = IconvName(charset);
    if (name == "UTF-8" || name == "UTF8")
        return QString::fromUtf8(bytes);
    {
        IconvHandle probe("UTF-8", name.constData());
        if (!probe.IsOpen())
            return DecodeCp932(bytes);
    }
    return QString::fromUtf8(
        Convert("UTF-8", name.constData(), bytes, "\xEF\xBF\xBD", false, nullptr));
}

QByteArray EncodeCp932(const QString& text, bool* replaced)
{
    if (replaced)
        *replaced = false;
    return Convert("CP932", "UTF-8", text.toUtf8(), "?", true, replaced);
}

QString DecodeText(const QByteArray& bytes)
{
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    // One byte-order mark is the encoding's; any after it are text, which a save writes back.
    if (IsValidUtf8(body))
        return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom)
            .decode(body);
    return DecodeCp932(body);
}
