#pragma once

#include "log/DebugLog.h"
#include "net/Powersock.h"
#include "net/SstpProtocol.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <functional>

class CopyDataMessenger;
class QTimer;

// One script waiting in the client's queue.
struct TSendScript
{
    QString Script;
    std::uint8_t Options = 0;
    std::int32_t ID = 0;
};

using TSstpResendEvent =
    std::function<void(QObject* sender, std::int32_t id, const QString& script)>;
using TSstpNotifyEvent = std::function<void(QObject* sender)>;

// The client side of SSTP: SEND for scripts, EXECUTE for the host's name and version and its
// quiet mode, and a queue that a timer works through, trying a refused script again later.
// Over TCP each exchange is one connection; in direct mode it is a copy-data message to the
// host's window. One exchange at a time: its waits turn the event loop, and an exchange
// started from inside one is refused with srUnknown.
class TFastSstp : public QObject
{
    Q_OBJECT

public:
    // How long the reply may take after the request went out, and how long a host that keeps
    // the connection open may pause before the body of a value it returns.
    static constexpr int DefaultReplyTimeOut = 3000;
    static constexpr int DefaultReplySettleTime = 100;
    static constexpr std::uint32_t CopyDataTag = 9801;

    explicit TFastSstp(QObject* parent = nullptr);
    ~TFastSstp() override;

    QString SstpSender = QStringLiteral("My Program");
    // The transport's settings, handed to the socket for each exchange.
    QString Host = QStringLiteral("127.0.0.1");
    int Port = 9801;
    int TimeOut = 2000;
    int ReportLevel = 0;
    int ReplyTimeOut = DefaultReplyTimeOut;
    int ReplySettleTime = DefaultReplySettleTime;
    TSstpMethod SstpMethod = TSstpMethod::smTcpIp;
    std::uintptr_t TargetHWnd = 0;
    // The copy-data channel of direct mode; without one direct mode answers srUnknown.
    CopyDataMessenger* DirectChannel = nullptr;
    TaggedLog Log;

    TSstpResendEvent OnResendResend;
    TSstpResendEvent OnResendTrying;
    TSstpResendEvent OnResendEnd;
    TSstpNotifyEvent OnResendCountChange;
    TSstpNotifyEvent OnAfterConnection;

    int Interval() const { return m_interval; }
    void SetInterval(int milliseconds);
    bool Sleep() const { return m_sleep; }
    void SetSleep(bool sleep);
    bool Busy() const { return m_busy; }
    // Starts the resend timer; the owner calls it once it has set the properties.
    void Loaded();

    std::int32_t LastStatusCode() const { return m_lastStatusCode; }
    TSstpResult LastResult() const { return SstpResultOf(m_lastStatusCode); }
    const QStringList& SentLines() const { return m_sentLines; }
    const QStringList& ReplyLines() const { return m_replyLines; }
    std::uintptr_t ReplyWindow() const;

    TSstpResult SendScriptLines(const QStringList& lines, std::uint8_t options,
                                std::uintptr_t replyWnd);
    TSstpResult SendScriptNow(const QString& script, std::uint8_t options);
    std::int32_t EnqueueScript(const QString& script, bool immediate, std::uint8_t options);
    void ClearQueue();
    int QueueCount() const { return static_cast<int>(m_queue.size()); }

    QString SstpExGetName();
    QString SstpExGetVersion();
    TSstpResult SstpExQuiet(bool quiet);

    // True while the resend timer would run: enabled and not asleep.
    bool ResendTimerEnabled() const { return m_timerEnabled; }

private:
    // `returnsValue`: the request asks for a value that comes as the reply's body.
    TSstpResult Transact(const QStringList& lines, bool returnsValue);
    TSstpResult Execute(const QString& command, bool returnsValue);
    void ExchangeTcp(const QStringList& lines, bool returnsValue);
    void ExchangeDirect(const QStringList& lines);
    // Shift_JIS, as the requests say; notes when a character had to be replaced.
    QByteArray EncodeRequestLine(const QString& line);
    void TakeReply(const QByteArray& reply);
    void QueueStep();
    void EnableTimer(bool enabled);
    void UpdateTimer();
    void CountChanged();
    QString HostKey() const;

    TPowersock m_socket;
    QTimer* m_resendTimer;
    int m_interval = 5000;
    bool m_timerEnabled = false;
    bool m_loaded = false;
    bool m_sleep = false;
    bool m_busy = false;
    std::int32_t m_lastStatusCode = NoStatusCode;
    QStringList m_sentLines;
    QStringList m_replyLines;
    QByteArray m_receiveBuffer;
    bool m_charactersReplaced = false;
    std::int32_t m_nextId = 0;
    std::deque<TSendScript> m_queue;
    // Hosts that take EXECUTE only as SSTP/1.0, by "host:port".
    QHash<QString, bool> m_executeAs10;
};
