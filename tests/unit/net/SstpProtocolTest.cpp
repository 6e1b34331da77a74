#include "net/SstpProtocol.h"

#include "platform/TextDecoding.h"

#include <gtest/gtest.h>

TEST(SstpRequests, SendCarriesTheScriptAsScriptAndEntryLinesAndTheOptionWords)
{
    const QStringList three =
        BuildSendRequest({"\\0one", "\\1two", "three\\e"}, "Pulsmir II", SstpOption::NoDescript, 0);
    EXPECT_EQ(three, QStringList({"SEND SSTP/1.0", "Sender: Pulsmir II", "CharSet: Shift_JIS",
                                  "Script: \\0one", "Entry: \\1two", "Entry: three\\e",
                                  "Option: nodescript", ""}));

    const QStringList none = BuildSendRequest({"x"}, "S", 0, 0);
    EXPECT_EQ(none[4], "Option: ");
    const QStringList both =
        BuildSendRequest({"x"}, "S", SstpOption::NoTranslate | SstpOption::NoDescript, 0);
    EXPECT_EQ(both[4], "Option: notranslate,nodescript");
    EXPECT_EQ(BuildSendRequest({"x"}, "S", SstpOption::NoTranslate, 0)[4], "Option: notranslate");

    // A reply window is named only when there is one, before the closing empty line.
    EXPECT_FALSE(none.join('\n').contains("HWnd"));
    const QStringList withWindow = BuildSendRequest({"x"}, "S", 2, 4242);
    EXPECT_EQ(withWindow.mid(withWindow.size() - 2), QStringList({"HWnd: 4242", ""}));
}

TEST(SstpRequests, ExecuteNamesItsCommandAndVersion)
{
    EXPECT_EQ(BuildExecuteRequest(ExecuteProtocol11, "Pulsmir II", "getname", 0),
              QStringList({"EXECUTE SSTP/1.1", "Sender: Pulsmir II", "Command: getname",
                           "CharSet: Shift_JIS"}));
    EXPECT_EQ(BuildExecuteRequest(ExecuteProtocol10, "S", "Quiet", 77),
              QStringList({"EXECUTE SSTP/1.0", "Sender: S", "Command: Quiet", "CharSet: Shift_JIS",
                           "HWnd: 77"}));
}

TEST(SstpReplies, StatusCodesAndTheirResults)
{
    EXPECT_EQ(ReadStatusCode("SSTP/1.4 200 OK"), 200);
    EXPECT_EQ(ReadStatusCode("SSTP/1.4 409 Conflict"), 409);
    EXPECT_EQ(ReadStatusCode("X 5031"), 5031);
    EXPECT_EQ(ReadStatusCode("SSTP/1.4"), std::nullopt);
    EXPECT_EQ(ReadStatusCode("SSTP/1.4 OK"), std::nullopt);
    EXPECT_EQ(ReadStatusCode("SSTP/1.4  200"), std::nullopt); // only the first blank is skipped
    EXPECT_EQ(ReadStatusCode("SSTP/1.4 99999999999999"), std::nullopt);
    EXPECT_EQ(ReadStatusCode(""), std::nullopt);

    EXPECT_EQ(static_cast<int>(SstpResultOf(200)), 0);
    EXPECT_EQ(static_cast<int>(SstpResultOf(NoStatusCode)), 11);
    EXPECT_EQ(SstpResultOf(UnreadableStatusCode), TSstpResult::srUnknown);
    EXPECT_EQ(SstpResultOf(541), TSstpResult::sr541);
    EXPECT_EQ(SstpResultOf(404), TSstpResult::srUnknown);
    for (int code : {409, 420, 503})
        EXPECT_TRUE(IsRetryResult(SstpResultOf(code))) << code;
    for (int code : {200, 204, 210, 400, 408, 501, 504, 541, -1000})
        EXPECT_FALSE(IsRetryResult(SstpResultOf(code))) << code;
}

TEST(SstpReplies, LinesAndTheBodyOfAnExecuteReply)
{
    EXPECT_EQ(SplitReplyLines("a\r\nb\n\r\nc"), QStringList({"a", "b", "", "c"}));
    EXPECT_EQ(SplitReplyLines("a\r\n"), QStringList({"a"}));
    EXPECT_TRUE(SplitReplyLines("").isEmpty());

    EXPECT_EQ(ExecuteReplyBody({"SSTP/1.1 200 OK"}), "");
    // Without headers every line after the status line is body, joined with nothing between.
    EXPECT_EQ(ExecuteReplyBody({"SSTP/1.1 200 OK", "Emily", "Teddy"}), "EmilyTeddy");
    EXPECT_EQ(ExecuteReplyBody({"SSTP/1.1 200 OK", "Emily", ""}), "Emily");
    // A header block ends at its empty line and is not part of the body.
    EXPECT_EQ(ExecuteReplyBody({"SSTP/1.1 200 OK", "Charset: UTF-8", "X-Note: a", "", "Emily", ""}),
              "Emily");
    EXPECT_EQ(ExecuteReplyBody({"SSTP/1.1 200 OK", "", "2.4.1"}), "2.4.1");
}

TEST(SstpReplies, ProgressOnAConnectionTheHostKeepsOpen)
{
    const auto progress = [](const QByteArray& received, bool returnsValue) {
        return ReplyProgress(received, returnsValue);
    };
    using enum TReplyProgress;
    EXPECT_EQ(progress("", false), Partial);
    EXPECT_EQ(progress("SSTP/1.4 200 OK", false), Partial);
    EXPECT_EQ(progress("SSTP/1.4 200 OK\r\n", false), Partial);
    EXPECT_EQ(progress("SSTP/1.4 200 OK\r\nCharset: UTF-8\r\n", false), Partial);
    EXPECT_EQ(progress("SSTP/1.4 200 OK\r\nCharset: UTF-8\r\n\r\n", false), Whole);
    EXPECT_EQ(progress("SSTP/1.4 204 No Content\r\n\r\n", false), Whole);
    // Quiet and Restore return nothing: a 200 is whole at the empty line.
    EXPECT_EQ(progress("SSTP/1.0 200 OK\r\n\r\n", false), Whole);

    // The 200 answer to getname or getversion also needs its body and the empty line after
    // it; until then a body may come in a later packet.
    EXPECT_EQ(progress("SSTP/1.0 200 OK\r\n", true), Partial);
    EXPECT_EQ(progress("SSTP/1.0 200 OK\r\n\r\n", true), Settling);
    EXPECT_EQ(progress("SSTP/1.1 200 OK\r\nCharset: UTF-8\r\n\r\n", true), Settling);
    EXPECT_EQ(progress("SSTP/1.1 200 OK\r\nCharset: UTF-8\r\n\r\nEmily\r\n", true), Settling);
    EXPECT_EQ(progress("SSTP/1.1 200 OK\r\nCharset: UTF-8\r\n\r\nEmily\r\n\r\n", true), Whole);
    // ...without headers the first empty line ends the body...
    EXPECT_EQ(progress("SSTP/1.1 200 OK\r\nEmily\r\n\r\n", true), Whole);
    // ...and any other answer has none.
    EXPECT_EQ(progress("SSTP/1.1 501 Not Implemented\r\n\r\n", true), Whole);

    EXPECT_FALSE(HasStatusLine("SSTP/1.4 200"));
    EXPECT_TRUE(HasStatusLine("SSTP/1.4 200 OK\r\n"));
}

TEST(SstpReplies, CharsetHeaderIsReadFromTheHeadersOnly)
{
    EXPECT_EQ(ReplyCharset("SSTP/1.1 200 OK\r\ncharset:  UTF-8 \r\n\r\nx\r\n"), "UTF-8");
    EXPECT_EQ(ReplyCharset("SSTP/1.1 200 OK\r\n\r\nCharset: UTF-8\r\n"), "");
    EXPECT_EQ(ReplyCharset("SSTP/1.1 200 OK\r\n"), "");
}

TEST(SstpText, Cp932BothWaysWithReplacement)
{
    bool replaced = true;
    const QByteArray sjis = EncodeCp932(QString::fromUtf8("ピカチュウ"), &replaced);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(sjis, QByteArray("\x83\x73\x83\x4A\x83\x60\x83\x85\x83\x45"));
    EXPECT_EQ(DecodeCharset(sjis, "Shift_JIS"), QString::fromUtf8("ピカチュウ"));
    EXPECT_EQ(DecodeCharset(QString::fromUtf8("ピカ").toUtf8(), "utf-8"),
              QString::fromUtf8("ピカ"));
    // A name iconv does not know is read as Shift_JIS.
    EXPECT_EQ(DecodeCharset(sjis, "no-such-charset"), QString::fromUtf8("ピカチュウ"));

    EXPECT_EQ(EncodeCp932(QString::fromUtf8("a\U0001F600b\u00E9c"), &replaced), "a?b?c");
    EXPECT_TRUE(replaced);
}
