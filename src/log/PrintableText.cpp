#include "log/PrintableText.h"

namespace {

bool IsControl(QChar c)
{
    // C0, DEL and C1, and the two Unicode line breaks that some readers split on.
    return c.category() == QChar::Other_Control || c.unicode() == 0x2028 || c.unicode() == 0x2029;
}

} // namespace

QString EscapeControls(const QString& text)
{
    qsizetype first = 0;
    while (first < text.size() && !IsControl(text[first]))
        ++first;
    if (first == text.size())
        return text;

    QString escaped = text.left(first);
    for (qsizetype i = first; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!IsControl(c)) {
            escaped += c;
            continue;
        }
        switch (c.unicode()) {
        case u'\n':
            escaped += QLatin1String("\\n");
            break;
        case u'\r':
            escaped += QLatin1String("\\r");
            break;
        case u'\t':
            escaped += QLatin1String("\\t");
            break;
        default:
            escaped += c.unicode() < 0x100
                           ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                           : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    return escaped;
}
