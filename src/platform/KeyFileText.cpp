#include "platform/KeyFileText.h"

namespace KeyFileText {

namespace {

struct Line
{
    qsizetype Begin = 0;
    qsizetype End = 0;   // before the line end
    qsizetype After = 0; // after the line end
};

// Where the group and the key are found, as offsets into the text.
struct Place
{
    bool GroupFound = false;
    qsizetype InsertAt = 0; // after the group's last key line, or its header
    std::optional<Line> KeyLine;
    qsizetype ValueBegin = 0;
};

// Walks the lines of the first group named `group` and calls visit(line) for each line of the
// key in it.
template <class Visit>
Place Walk(QByteArrayView text, QByteArrayView group, QByteArrayView key, Visit visit)
{
    Place place;
    bool inGroup = false;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype newline = text.indexOf('\n', at);
        Line line{at, newline < 0 ? text.size() : newline, newline < 0 ? text.size() : newline + 1};
        at = line.After;
        if (line.End > line.Begin && text[line.End - 1] == '\r')
            --line.End;
        const QByteArrayView content = text.sliced(line.Begin, line.End - line.Begin).trimmed();
        if (content.startsWith('[')) {
            if (inGroup)
                break;
            const qsizetype close = content.indexOf(']');
            inGroup = close > 0 && content.sliced(1, close - 1) == group;
            place.GroupFound = place.GroupFound || inGroup;
            place.InsertAt = line.After;
            continue;
        }
        const qsizetype equals = content.indexOf('=');
        if (!inGroup || content.startsWith('#') || equals <= 0)
            continue;
        place.InsertAt = line.After;
        if (content.first(equals).trimmed() != key)
            continue;
        const qsizetype valueBegin = text.sliced(line.Begin).indexOf('=') + line.Begin + 1;
        if (!place.KeyLine) {
            place.KeyLine = line;
            place.ValueBegin = valueBegin;
        }
        visit(line);
    }
    return place;
}

QByteArray LineEndOf(QByteArrayView text)
{
    const qsizetype newline = text.indexOf('\n');
    return newline > 0 && text[newline - 1] == '\r' ? QByteArray("\r\n") : QByteArray("\n");
}

} // namespace

std::optional<QByteArray> Value(QByteArrayView text, QByteArrayView group, QByteArrayView key)
{
    const Place place = Walk(text, group, key, [](const Line&) {});
    if (!place.KeyLine)
        return std::nullopt;
    return text.sliced(place.ValueBegin, place.KeyLine->End - place.ValueBegin).trimmed().toByteArray();
}

QByteArray WithValue(QByteArrayView text, QByteArrayView group, QByteArrayView key,
                     QByteArrayView value)
{
    const Place place = Walk(text, group, key, [](const Line&) {});
    QByteArray result = text.toByteArray();
    if (place.KeyLine)
        return result.replace(place.ValueBegin, place.KeyLine->End - place.ValueBegin,
                              value.toByteArray());
    const QByteArray lineEnd = LineEndOf(text);
    QByteArray added;
    qsizetype at = place.InsertAt;
    if (!place.GroupFound) {
        at = text.size();
        // A blank line apart from the group before.
        if (!text.isEmpty() && !text.endsWith('\n'))
            added += lineEnd;
        if (!text.isEmpty() && !text.endsWith("\n\n") && !text.endsWith("\n\r\n"))
            added += lineEnd;
        added += '[' + group.toByteArray() + ']' + lineEnd;
    } else if (at > 0 && text[at - 1] != '\n') {
        added += lineEnd; // the group's last line had no line end
    }
    added += key.toByteArray() + '=' + value.toByteArray() + lineEnd;
    return result.insert(at, added);
}

QByteArray WithoutKey(QByteArrayView text, QByteArrayView group, QByteArrayView key)
{
    QByteArray result;
    qsizetype copied = 0;
    Walk(text, group, key, [&](const Line& line) {
        result += text.sliced(copied, line.Begin - copied);
        copied = line.After;
    });
    result += text.sliced(copied);
    return result;
}

} // namespace KeyFileText
