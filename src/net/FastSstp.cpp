#include "net/FastSstp.h"

#include "platform/CopyDataMessenger.h"
#include "platform/TextDecoding.h"

#include <QTimer>
#include <algorithm>

TFastSstp::TFastSstp(QObject* parent) : QObject(parent), m_resendTimer(new QTimer(this))
{
    m_resendTimer->setInterval(m_interval);
    // Only an exchange may run while the timer is off, so a tick never finds one under way
    // unless Sleep was switched during its wait.
    connect(m_resendTimer, &QTimer::timeout, this, [this] {
        if (!m_busy)
            QueueStep();
    });
    m_socket.OnReport = [this](const QString& text) {
        Log(QStringLiteral(".:.:. SSTP Socket : ") + text);
    };
}

TFastSstp::~TFastSstp() = default;

void TFastSstp::SetInterval(int milliseconds)
{
    m_interval = milliseconds;
    m_resendTimer->setInterval(std::max(milliseconds, 1));
}

void TFastSstp::SetSleep(bool sleep)
{
    m_sleep = sleep;
    EnableTimer(false);
    EnableTimer(!sleep);
}

void TFastSstp::Loaded()
{
    m_loaded = true;
    SetInterval(m_interval);
    EnableTimer(true);
    CountChanged();
}

std::uintptr_t TFastSstp::ReplyWindow() const
{
    return DirectChannel ? DirectChannel->ReplyWindow() : 0;
}

TSstpResult TFastSstp::SendScriptLines(const QStringList& lines, std::uint8_t options,
                                       std::uintptr_t replyWnd)
{
    std::uintptr_t hwnd = replyWnd;
    if (hwnd == 0 && SstpMethod == TSstpMethod::smDirectSstp)
        hwnd = ReplyWindow();
    return Transact(BuildSendRequest(lines, SstpSender, options, hwnd), false);
}

TSstpResult TFastSstp::SendScriptNow(const QString& script, std::uint8_t options)
{
    return SendScriptLines(SplitReplyLines(script), options, 0);
}

std::int32_t TFastSstp::EnqueueScript(const QString& script, bool immediate, std::uint8_t options)
{
    const TSendScript item{script, options, ++m_nextId};
    if (immediate) {
        m_queue.push_front(item);
        QueueStep();
    } else {
        m_queue.push_back(item);
        UpdateTimer();
    }
    CountChanged();
    return item.ID;
}

void TFastSstp::ClearQueue()
{
    m_queue.clear();
    UpdateTimer();
    CountChanged();
}

QString TFastSstp::SstpExGetName()
{
    Execute(QStringLiteral("getname"), true);
    return ExecuteReplyBody(m_replyLines);
}

QString TFastSstp::SstpExGetVersion()
{
    Execute(QStringLiteral("getversion"), true);
    return ExecuteReplyBody(m_replyLines);
}

TSstpResult TFastSstp::SstpExQuiet(bool quiet)
{
    return Execute(quiet ? QStringLiteral("Quiet") : QStringLiteral("Restore"), false);
}

TSstpResult TFastSstp::Execute(const QString& command, bool returnsValue)
{
    const bool tcp = SstpMethod == TSstpMethod::smTcpIp;
    const std::uintptr_t replyWindow = tcp ? 0 : ReplyWindow();
    const bool as10 = tcp && m_executeAs10.value(HostKey());
    TSstpResult result = Transact(BuildExecuteRequest(as10 ? ExecuteProtocol10 : ExecuteProtocol11,
                                                      SstpSender, command, replyWindow),
                                  returnsValue);
    // Some hosts take EXECUTE only in the older version; ask them that way from now on.
    if (tcp && !as10 && m_lastStatusCode == 501) {
        m_executeAs10.insert(HostKey(), true);
        Log(QStringLiteral(".:.:. SSTP host %1 refuses EXECUTE SSTP/1.1; using SSTP/1.0 with it")
                .arg(HostKey()));
        result = Transact(BuildExecuteRequest(ExecuteProtocol10, SstpSender, command, replyWindow),
                          returnsValue);
    }
    return result;
}

TSstpResult TFastSstp::Transact(const QStringList& lines, bool returnsValue)
{
    // A second exchange from inside the wait of the first leaves the first as it is.
    if (m_busy)
        return TSstpResult::srUnknown;
    m_sentLines.clear();
    m_replyLines.clear();
    m_receiveBuffer.clear();
    m_charactersReplaced = false;
    EnableTimer(false);
    m_busy = true;

    bool exchanged = true;
    if (SstpMethod == TSstpMethod::smTcpIp)
        ExchangeTcp(lines, returnsValue);
    else if (DirectChannel && TargetHWnd != 0)
        ExchangeDirect(lines);
    else
        exchanged = false;
    if (!exchanged)
        m_lastStatusCode = NoStatusCode;
    if (m_charactersReplaced)
        Log(QStringLiteral(".:.:. SSTP CharSet : characters Shift_JIS cannot hold were sent as "
                           "\"?\""));
    const TSstpResult result = exchanged ? LastResult() : TSstpResult::srUnknown;

    EnableTimer(!m_sleep);
    m_busy = false;
    if (OnAfterConnection)
        OnAfterConnection(this);
    return result;
}

void TFastSstp::ExchangeTcp(const QStringList& lines, bool returnsValue)
{
    m_socket.Host = Host;
    m_socket.Port = Port;
    m_socket.TimeOut = TimeOut;
    m_socket.ReportLevel = ReportLevel;
    try {
        if (!m_socket.Connected())
            m_socket.Connect();
        for (const QString& line : lines) {
            if (!m_socket.Connected())
                break;
            m_socket.WriteLn(EncodeRequestLine(line));
            m_sentLines << line;
        }
        if (m_socket.Connected())
            m_socket.WriteLn({});
        QByteArray reply = m_socket.ReadAll(
            [returnsValue](const QByteArray& received) {
                return ReplyProgress(received, returnsValue);
            },
            ReplyTimeOut, ReplySettleTime);
        if (m_socket.CutShort())
            Log(QStringLiteral(".:.:. SSTP Reply cut at %1 bytes").arg(TPowersock::MaxReplyBytes));
        if (m_socket.TimedOut()) {
            Log(QStringLiteral(".:.:. SSTP Reply Timed out (%1 ms)").arg(ReplyTimeOut));
            // A status line cut short carries no code.
            if (!HasStatusLine(reply))
                reply.clear();
        }
        m_socket.Disconnect();
        TakeReply(reply);
    } catch (const ESockError& e) {
        m_socket.Disconnect();
        m_lastStatusCode = NoStatusCode;
        if (ReportLevel > 0)
            Log(QStringLiteral(".:.:. SSTP Socket : ") + QString::fromUtf8(e.what()));
    }
}

void TFastSstp::ExchangeDirect(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    m_sentLines << text;
    QByteArray reply =
        DirectChannel->Send(TargetHWnd, ReplyWindow(), CopyDataTag, EncodeRequestLine(text));
    // The reply record is taken as a NUL-terminated string.
    const qsizetype nul = reply.indexOf('\0');
    if (nul >= 0)
        reply.truncate(nul);
    reply.truncate(TPowersock::MaxReplyBytes);
    TakeReply(reply);
}

QByteArray TFastSstp::EncodeRequestLine(const QString& line)
{
    bool replaced = false;
    QByteArray bytes = EncodeCp932(line, &replaced);
    m_charactersReplaced = m_charactersReplaced || replaced;
    return bytes;
}

void TFastSstp::TakeReply(const QByteArray& reply)
{
    m_receiveBuffer = reply;
    const QByteArray charset = ReplyCharset(reply);
    m_replyLines = SplitReplyLines(DecodeCharset(reply, charset.isEmpty() ? "CP932" : charset));
    m_lastStatusCode = m_replyLines.isEmpty()
                           ? NoStatusCode
                           : ReadStatusCode(m_replyLines.first()).value_or(UnreadableStatusCode);
}

void TFastSstp::QueueStep()
{
    if (m_queue.empty() || m_sleep)
        return;
    EnableTimer(false);
    const TSendScript item = m_queue.front();
    if (OnResendTrying)
        OnResendTrying(this, item.ID, item.Script);
    const TSstpResult result = SendScriptNow(item.Script, item.Options);
    if (IsRetryResult(result)) {
        if (OnResendResend)
            OnResendResend(this, item.ID, item.Script);
    } else {
        if (OnResendEnd)
            OnResendEnd(this, item.ID, item.Script);
        // Found by its ID: what ran during the exchange may have changed the queue.
        const auto it = std::find_if(m_queue.begin(), m_queue.end(),
                                     [&item](const TSendScript& s) { return s.ID == item.ID; });
        if (it != m_queue.end()) {
            m_queue.erase(it);
            CountChanged();
        }
    }
    EnableTimer(!m_sleep);
}

void TFastSstp::EnableTimer(bool enabled)
{
    m_timerEnabled = enabled;
    UpdateTimer();
}

void TFastSstp::UpdateTimer()
{
    // The timer only wakes the program while there is something to send.
    const bool run = m_loaded && m_timerEnabled && !m_queue.empty();
    if (!run)
        m_resendTimer->stop();
    else if (!m_resendTimer->isActive())
        m_resendTimer->start();
}

void TFastSstp::CountChanged()
{
    if (OnResendCountChange)
        OnResendCountChange(this);
}

QString TFastSstp::HostKey() const
{
    return Host + u':' + QString::number(Port);
}
