#include "net/SstpProtocol.h"

#include <climits>

TSstpResult SstpResultOf(int statusCode)
{
    switch (statusCode) {
    case 200:
        return TSstpResult::sr200;
    case 204:
        return TSstpResult::sr204;
    case 210:
        return TSstpResult::sr210;
    case 400:
        return TSstpResult::sr400;
    case 408:
        return TSstpResult::sr408;
    case 409:
        return TSstpResult::sr409;
    case 420:
        return TSstpResult::sr420;
    case 501:
        return TSstpResult::sr501;
    case 503:
        return TSstpResult::sr503;
    case 504:
        return TSstpResult::sr504;
    case 541:
        return TSstpResult::sr541;
    default:
        return TSstpResult::srUnknown;
    }
}

bool IsRetryResult(TSstpResult result)
{
    return result == TSstpResult::sr409 || result == TSstpResult::sr420 ||
           result == TSstpResult::sr503;
}

QStringList BuildSendRequest(const QStringList& scriptLines, const QString& sender,
                             std::uint8_t options, std::uintptr_t replyWindow)
{
    QStringList request;
    request << QStringLiteral("SEND SSTP/1.0") << QStringLiteral("Sender: ") + sender
            << QStringLiteral("CharSet: Shift_JIS");
    for (qsizetype i = 0; i < scriptLines.size(); ++i)
        request << (i == 0 ? QStringLiteral("Script: ") : QStringLiteral("Entry: ")) +
                       scriptLines[i];
    QStringList words;
    if (options & SstpOption::NoTranslate)
        words << QStringLiteral("notranslate");
    if (options & SstpOption::NoDescript)
        words << QStringLiteral("nodescript");
    request << QStringLiteral("Option: ") + words.join(u',');
    if (replyWindow != 0)
        request << QStringLiteral("HWnd: ") + QString::number(replyWindow);
    request << QString();
    return request;
}

QStringList BuildExecuteRequest(QLatin1StringView protocol, const QString& sender,
                                const QString& command, std::uintptr_t replyWindow)
{
    QStringList request;
    request << QStringLiteral("EXECUTE ") + protocol << QStringLiteral("Sender: ") + sender
            << QStringLiteral("Command: ") + command << QStringLiteral("CharSet: Shift_JIS");
    if (replyWindow != 0)
        request << QStringLiteral("HWnd: ") + QString::number(replyWindow);
    return request;
}

std::optional<int> ReadStatusCode(const QString& statusLine)
{
    const qsizetype blank = statusLine.indexOf(u' ');
    if (blank < 0)
        return std::nullopt;
    qint64 code = 0;
    qsizetype digits = 0;
    for (qsizetype i = blank + 1; i < statusLine.size(); ++i, ++digits) {
        const QChar c = statusLine[i];
        if (c < u'0' || c > u'9')
            break;
        code = code * 10 + (c.unicode() - u'0');
        if (code > INT_MAX)
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    return static_cast<int>(code);
}

QStringList SplitReplyLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0) {
            lines << text.mid(start);
            break;
        }
        qsizetype cut = end;
        if (cut > start && text[cut - 1] == u'\r')
            --cut;
        lines << text.mid(start, cut - start);
        start = end + 1;
    }
    return lines;
}

namespace {

bool IsHeaderLine(const QString& line)
{
    const qsizetype colon = line.indexOf(u':');
    if (colon <= 0)
        return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const QChar c = line[i];
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'-' && c != u'_')
            return false;
    }
    return true;
}

// Where the body of a reply begins, and where its header block ends when it has one: the
// lines after the status line up to the first empty line, if all of them look like headers.
// Hosts that send no headers put the body straight after the status line.
struct ReplyShape
{
    qsizetype BodyStart = 1;
    qsizetype HeaderEnd = -1;
};

ReplyShape ShapeOf(const QStringList& lines)
{
    ReplyShape shape;
    const qsizetype empty = lines.indexOf(QString(), 1);
    if (empty < 0)
        return shape;
    for (qsizetype i = 1; i < empty; ++i)
        if (!IsHeaderLine(lines[i]))
            return shape;
    shape.HeaderEnd = empty;
    shape.BodyStart = empty + 1;
    return shape;
}

} // namespace

QString ExecuteReplyBody(const QStringList& replyLines)
{
    if (replyLines.size() < 2)
        return {};
    QString body;
    for (qsizetype i = ShapeOf(replyLines).BodyStart; i < replyLines.size(); ++i)
        body += replyLines[i];
    return body;
}

namespace {

// The whole lines of what arrived, without their line ends; a part line at the end is left out.
QStringList WholeLines(const QByteArray& received)
{
    const qsizetype end = received.lastIndexOf('\n');
    if (end < 0)
        return {};
    // Only the header names and the empty lines matter here, which Latin-1 keeps as they are.
    return SplitReplyLines(QString::fromLatin1(received.left(end + 1)));
}

} // namespace

QByteArray ReplyCharset(const QByteArray& reply)
{
    const QStringList lines = WholeLines(reply);
    const ReplyShape shape = ShapeOf(lines);
    for (qsizetype i = 1; i < shape.HeaderEnd; ++i) {
        const QString& line = lines[i];
        const qsizetype colon = line.indexOf(u':');
        if (QStringView(line).left(colon).trimmed().compare(u"charset", Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed().toLatin1();
    }
    return {};
}

bool HasStatusLine(const QByteArray& received)
{
    return received.contains('\n');
}

TReplyProgress ReplyProgress(const QByteArray& received, bool returnsValue)
{
    const QStringList lines = WholeLines(received);
    const qsizetype firstEmpty = lines.indexOf(QString(), 1);
    if (firstEmpty < 0)
        return TReplyProgress::Partial;
    const bool hasBody = returnsValue && ReadStatusCode(lines[0]).value_or(0) == 200;
    const ReplyShape shape = ShapeOf(lines);
    // Without a header block the first empty line already ends the body.
    if (!hasBody || shape.HeaderEnd < 0)
        return TReplyProgress::Whole;
    return lines.indexOf(QString(), shape.BodyStart) >= 0 ? TReplyProgress::Whole
                                                          : TReplyProgress::Settling;
}
