#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// The text side of SSTP: the requests the client writes and the reading of the host's replies.
// Nothing here touches a socket.

enum class TSstpMethod
{
    smTcpIp,
    smDirectSstp
};

// The outcome of one exchange; the ordinals are part of the contract (sr200 is 0, srUnknown 11).
enum class TSstpResult
{
    sr200,
    sr204,
    sr210,
    sr400,
    sr408,
    sr409,
    sr420,
    sr501,
    sr503,
    sr504,
    sr541,
    srUnknown
};

namespace SstpOption {
inline constexpr std::uint8_t NoTranslate = 1;
inline constexpr std::uint8_t NoDescript = 2;
} // namespace SstpOption

// The status code when no status line came at all.
inline constexpr int NoStatusCode = -1000;
// The status code of a first reply line that carries no readable code.
inline constexpr int UnreadableStatusCode = 0;

TSstpResult SstpResultOf(int statusCode);
// 409, 420 and 503 ask the queue to try the same script again later.
bool IsRetryResult(TSstpResult result);

inline constexpr QLatin1StringView ExecuteProtocol11("SSTP/1.1");
inline constexpr QLatin1StringView ExecuteProtocol10("SSTP/1.0");

// SEND: the first script line as "Script: ", the others as "Entry: ", the option words, the
// reply window when there is one, and the empty line that ends the request.
QStringList BuildSendRequest(const QStringList& scriptLines, const QString& sender,
                             std::uint8_t options, std::uintptr_t replyWindow);
// EXECUTE of one command word; the reply window is named only in direct mode (non-zero).
QStringList BuildExecuteRequest(QLatin1StringView protocol, const QString& sender,
                                const QString& command, std::uintptr_t replyWindow);

// The code after the first blank of a status line such as "SSTP/1.4 200 OK"; nothing when the
// line has no blank or no digits after it.
std::optional<int> ReadStatusCode(const QString& statusLine);

// The reply split into lines the way a string list takes a text: CR LF or LF end a line, and a
// final line end makes no empty line after it.
QStringList SplitReplyLines(const QString& text);

// What an EXECUTE reply returns: the lines of its body joined with nothing between them. The
// body follows the empty line that ends the headers; a reply without that empty line is all
// body after the status line.
QString ExecuteReplyBody(const QStringList& replyLines);

// The value of the reply's "Charset:" header, or empty.
QByteArray ReplyCharset(const QByteArray& reply);

// How far the reply of a host that keeps the connection open has come.
enum class TReplyProgress
{
    Partial,  // more is due
    Settling, // whole unless more comes soon: a body may follow in a later packet
    Whole     // nothing more is due
};

// A reply is whole at the empty line after its headers, except the 200 answer to a command
// that returns a value (getname, getversion): that one is whole once its body has ended with
// an empty line too, and settling from the end of its headers until then.
TReplyProgress ReplyProgress(const QByteArray& received, bool returnsValue);

// True when the first line of what arrived is whole, so its code can be read.
bool HasStatusLine(const QByteArray& received);
