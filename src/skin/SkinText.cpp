#include "skin/SkinText.h"

#include "skin/SkinTypeface.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int MaxWidth = 64;
constexpr int MaxPrecision = 9;

struct Conversion
{
    bool Left = false;
    bool Zero = false;
    int Width = 0;
    std::optional<int> Precision;
    char16_t Type = 0;
};

// Reads the digits at i: 0 when there are none, none when they go beyond limit.
std::optional<int> Digits(const QString& text, qsizetype& i, int limit)
{
    int value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > limit)
            return std::nullopt;
    }
    return value;
}

QString Pad(QString body, const Conversion& c, bool number)
{
    if (body.size() >= c.Width)
        return body;
    const qsizetype fill = c.Width - body.size();
    if (c.Left)
        return body + QString(fill, u' ');
    if (c.Zero && number) {
        const qsizetype sign = body.startsWith(u'-') ? 1 : 0;
        return body.insert(sign, QString(fill, u'0'));
    }
    return QString(fill, u' ') + body;
}

std::optional<QString> Convert(const Conversion& c, const SkinTextInput& value)
{
    const double* number = std::get_if<double>(&value);
    switch (c.Type) {
    case u'd':
    case u'i':
        if (!number)
            return std::nullopt;
        return Pad(QString::number(std::llround(*number)), c, true);
    case u'f':
        if (!number)
            return std::nullopt;
        return Pad(QString::number(*number, 'f', c.Precision.value_or(6)), c, true);
    case u's':
        if (number)
            return Pad(QString::number(std::llround(*number)), c, false);
        return Pad(c.Precision ? std::get<QString>(value).left(*c.Precision)
                               : std::get<QString>(value),
                   c, false);
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<QString> FormatSkinText(const QString& format, const SkinTextInput& value)
{
    QString out;
    bool converted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != u'%') {
            out += format[i];
            continue;
        }
        if (++i >= format.size())
            return std::nullopt;
        if (format[i] == u'%') {
            out += u'%';
            continue;
        }
        if (converted)
            return std::nullopt;
        Conversion c;
        for (; i < format.size() && (format[i] == u'-' || format[i] == u'0'); ++i)
            (format[i] == u'-' ? c.Left : c.Zero) = true;
        const std::optional<int> width = Digits(format, i, MaxWidth);
        if (!width)
            return std::nullopt;
        c.Width = *width;
        if (i < format.size() && format[i] == u'.') {
            // "%.f" is precision 0, as in C.
            c.Precision = Digits(format, ++i, MaxPrecision);
            if (!c.Precision)
                return std::nullopt;
        }
        if (i >= format.size())
            return std::nullopt;
        c.Type = format[i].unicode();
        const std::optional<QString> part = Convert(c, value);
        if (!part)
            return std::nullopt;
        out += *part;
        converted = true;
    }
    return out;
}

QRect SkinTextArea(const TSkinText& text, QSize surface)
{
    if (!text.Enabled || !text.Face || text.W <= 0 || text.H <= 0)
        return {};
    const std::int64_t left = std::max<std::int64_t>(text.X, 0);
    const std::int64_t top = std::max<std::int64_t>(text.Y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(text.X) + text.W, surface.width()) - 1;
    const std::int64_t bottom =
        std::min<std::int64_t>(std::int64_t(text.Y) + text.H, surface.height()) - 1;
    if (left > right || top > bottom)
        return {};
    return QRect(QPoint(int(left), int(top)), QPoint(int(right), int(bottom)));
}

void DrawSkinText(const TSkinText& text, const QString& line, Bitmap24& surface)
{
    const QRect clip = SkinTextArea(text, QSize(surface.Width(), surface.Height()));
    if (clip.isEmpty() || line.isEmpty())
        return;
    const SkinTypeface& face = *text.Face;
    const QString shown = face.Elided(line, text.Size, text.W);
    const std::int64_t room = std::int64_t(text.W) - face.Width(shown, text.Size);
    std::int64_t x = text.X;
    if (text.Align == TSkinText::Alignment::Center)
        x += room / 2;
    else if (text.Align == TSkinText::Alignment::Right)
        x += room;
    const int ascent = face.Ascent(text.Size);
    const std::int64_t baseline =
        std::int64_t(text.Y) + (std::int64_t(text.H) - ascent - face.Descent(text.Size)) / 2 + ascent;
    // Far outside the surface nothing shows; the clip keeps what is drawn within it.
    if (x < INT32_MIN / 2 || x > INT32_MAX / 2 || baseline < INT32_MIN / 2 || baseline > INT32_MAX / 2)
        return;
    face.Draw(shown, text.Size, text.Color, int(x), int(baseline), clip, surface);
}
