#include "platform/TextDecoding.h"

#include <QStringDecoder>
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

QString DecodeCp932(const QByteArray& bytes)
{
    IconvHandle cd("UTF-8", "CP932");
    if (!cd.IsOpen())
        return QString::fromLatin1(bytes);

    // Worst case three UTF-8 bytes per input byte; undecodable bytes become U+FFFD.
    QByteArray out;
    out.reserve(bytes.size() * 3 + 4);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd.Get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            out.append("\xEF\xBF\xBD");
            ++in;
            --inLeft;
            iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return QString::fromUtf8(out);
}

QString DecodeText(const QByteArray& bytes)
{
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    if (IsValidUtf8(body))
        return QString::fromUtf8(body);
    return DecodeCp932(body);
}
