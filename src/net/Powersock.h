#pragma once

#include "net/SstpProtocol.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <stdexcept>

class TcpConnection;

// Every failure of the socket layer.
class ESockError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A small TCP client for one exchange at a time on the main thread: connect, write lines, read
// the reply. Its waits turn the caller's event loop, so timers, repaints and the hand-offs of
// other threads go on while it waits; the caller guards against being re-entered.
class TPowersock : public QObject
{
    Q_OBJECT

public:
    explicit TPowersock(QObject* parent = nullptr);
    ~TPowersock() override;

    QString Host = QStringLiteral("127.0.0.1");
    int Port = 9801;
    int TimeOut = 2000; // milliseconds for the name lookup and the connect together
    // 0 reports nothing; 1 and more report connects and closes through OnReport.
    int ReportLevel = 0;
    std::function<void(const QString&)> OnReport;

    bool Connected() const;
    // Throws ESockError: "Already connected", "Host Lookup Failed", "Connection Failed",
    // "Connection Timed out".
    void Connect();
    // Hands the text and CR LF to the socket. Throws ESockError when not connected.
    void WriteLn(const QByteArray& text);

    // A reply is never held beyond this many bytes; whatever a host sends after them is not read.
    static constexpr qsizetype MaxReplyBytes = 8192;

    // Collects what the host sends until it closes the connection, `progress` finds what
    // arrived whole, or settling and nothing more comes for `settleMs`, MaxReplyBytes have
    // arrived (then CutShort() is true), or `boundMs` have passed (then TimedOut() is true).
    // Returns what arrived. Throws ESockError when the connection fails before anything arrived.
    QByteArray ReadAll(const std::function<TReplyProgress(const QByteArray&)>& progress,
                       int boundMs, int settleMs);
    bool TimedOut() const { return m_timedOut; }
    bool CutShort() const { return m_cutShort; }

    void Disconnect();

private:
    // Turns the event loop until `done` holds or `timeoutMs` pass; true when `done` holds.
    bool Wait(const std::function<bool()>& done, int timeoutMs);
    void Wake();
    void TakeData();
    void Report(const QString& text) const;

    // The host's address, looked up on a thread of its own when it is a name, so that a slow
    // resolver holds up nothing; 0 when the wait ran out first.
    std::uint32_t ResolveHost(int timeoutMs, bool& notFound);

    TcpConnection* m_socket;
    QByteArray m_received;
    bool m_closedByPeer = false;
    bool m_failed = false;
    bool m_timedOut = false;
    bool m_cutShort = false;
    std::function<void()> m_wake;
};
