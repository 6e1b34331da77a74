// What an SSTP host sends back. The client takes it the way it takes a direct-mode reply (the
// exchange is the real one, the host's window a double that answers with the input), and the
// rule that tells the socket when a TCP reply is whole is asked of every piece that arrives.

#include "net/FastSstp.h"
#include "net/SstpProtocol.h"
#include "platform/CopyDataMessenger.h"
#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"

namespace {

// A host window that answers every message with the same bytes.
class AnsweringWindow : public CopyDataMessenger
{
public:
    QByteArray Answer;
    std::uintptr_t ReplyWindow() const override { return 0x4242; }
    QByteArray Send(std::uintptr_t, std::uintptr_t, std::uint32_t, const QByteArray&) override
    {
        return Answer;
    }
};

// What arrived never goes back: a reply found whole stays whole as more arrives, and one that
// settles never needs more again, or a host's last bytes could undo it.
void CheckCompleteness(const QByteArray& reply, bool returnsValue)
{
    const TReplyProgress progress = ReplyProgress(reply, returnsValue);
    if (progress != TReplyProgress::Partial)
        FUZZ_CHECK(HasStatusLine(reply), "a whole reply without a status line");
    for (qsizetype cut = 1; cut < reply.size(); cut += 1 + reply.size() / 16)
        FUZZ_CHECK(ReplyProgress(reply.left(cut), returnsValue) <= progress,
                   "a reply goes back as more arrives");
}

void Exchange(const QByteArray& reply)
{
    AnsweringWindow host;
    host.Answer = reply;
    TFastSstp sstp;
    sstp.SstpMethod = TSstpMethod::smDirectSstp;
    sstp.DirectChannel = &host;
    sstp.TargetHWnd = 1;
    sstp.SendScriptNow(QStringLiteral("\\h\\s0Hello\\e"), SstpOption::NoTranslate);
    sstp.SstpExGetName();
    sstp.SstpExQuiet(true);
    // A refused script stays queued for a retry; any other answer takes it off.
    sstp.EnqueueScript(QStringLiteral("\\u\\s0Again\\e"), true, 0);
    FUZZ_CHECK(sstp.QueueCount() == (IsRetryResult(sstp.LastResult()) ? 1 : 0),
               "the queue does not follow the reply");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray reply = FuzzBytes(data, size);
    CheckCompleteness(reply, false);
    CheckCompleteness(reply, true);
    Exchange(reply);
    return 0;
}
