#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>

class QSocketNotifier;

// TCP over IPv4 on the event loop of the thread that owns the object: non-blocking sockets
// watched by QSocketNotifier. The monitor keeps one listening port and makes one short client
// connection at a time; QtNetwork would serve the same at the cost of about 2 MiB of resident
// libraries for the whole run.

// Dotted text of a network-order IPv4 address.
QString DottedAddress(std::uint32_t networkOrder);

// One connection, made with ConnectTo() or accepted by a TcpListener. Every signal may delete
// the connection; it touches nothing of itself after emitting one.
class TcpConnection : public QObject
{
    Q_OBJECT

public:
    enum class State { Unconnected, Connecting, Connected };

    explicit TcpConnection(QObject* parent = nullptr);
    ~TcpConnection() override;

    // Starts connecting; Connected() or Failed() follows. False when no socket could be made
    // (then nothing follows) or one is already in use.
    bool ConnectTo(std::uint32_t networkOrderAddress, std::uint16_t port);
    State GetState() const { return m_state; }

    // Sends as soon as the socket takes it; what it cannot take yet is kept and sent later.
    // Ignored unless connected.
    void Write(const QByteArray& data);
    // What arrived and was not read yet.
    QByteArray ReadAll();
    // What arrived and was not read yet never holds more than this: reading stops when it is
    // full and goes on once ReadAll has taken it, so a peer that pours data costs no memory.
    void SetReadLimit(qsizetype bytes);
    // Closes at once; pending output is dropped and no signal follows.
    void Close();

    std::uint32_t LocalAddress() const { return m_localAddress; }
    std::uint16_t LocalPort() const { return m_localPort; }
    std::uint32_t PeerAddress() const { return m_peerAddress; }
    std::uint16_t PeerPort() const { return m_peerPort; }

signals:
    void Connected();
    void ReadyRead();
    // The peer closed or reset the connection; the socket is closed. What arrived before can
    // still be read.
    void Disconnected();
    // The connect was refused or failed, or the connection broke: errno's value.
    void Failed(int error);

private:
    friend class TcpListener;
    void Adopt(int fd);
    void Watch();
    void OnReadable();
    void OnWritable();
    void ResumeReading();
    void Flush();
    void TakeAddresses();
    // Closes and reports; false when a handler deleted this object.
    bool CloseAndEmit(bool failed, int error);

    int m_fd = -1;
    State m_state = State::Unconnected;
    qsizetype m_readLimit = 1 << 20;
    QByteArray m_in;
    QByteArray m_out;
    QSocketNotifier* m_readable = nullptr;
    QSocketNotifier* m_writable = nullptr;
    std::uint32_t m_localAddress = 0;
    std::uint16_t m_localPort = 0;
    std::uint32_t m_peerAddress = 0;
    std::uint16_t m_peerPort = 0;
};

// A listening port on every IPv4 address. Accepted connections are children of the listener
// until the caller gives them another parent or deletes them. When the process runs out of
// descriptors, waiting clients are turned away for a while (accepted on a spare descriptor kept
// for that, and closed) or, without a spare, the listener rests a while: it never spins on a
// backlog it cannot take.
class TcpListener : public QObject
{
    Q_OBJECT

public:
    explicit TcpListener(QObject* parent = nullptr);
    ~TcpListener() override;

    // Port 0 takes any free port. False when the port is in use or cannot be opened, with the
    // reason's errno in ListenError().
    bool Listen(std::uint16_t port);
    int ListenError() const { return m_listenError; }
    bool Listening() const { return m_fd >= 0; }
    std::uint16_t Port() const { return m_port; }
    // The next accepted connection, or null when none waits.
    TcpConnection* NextPendingConnection();

    // How long the listener rests when it can take no connection at all.
    static constexpr int RestMs = 1000;

signals:
    void NewConnection();
    // Connections could not be taken for want of descriptors (errno's value): for RestMs the
    // listener turns every client away, or rests. Reported once for that while, at a moment
    // one descriptor is free where there was a spare; a handler that holds connections should
    // let some go. It must not delete the listener.
    void AcceptFailed(int error);

private:
    void OnReadable();
    // Out of descriptors: takes the next client on the spare and closes it, and turns every
    // client away for RestMs. False when the listener has to rest instead.
    bool TurnAway(int error);
    void Rest();

    int m_fd = -1;
    std::uint16_t m_port = 0;
    int m_listenError = 0;
    int m_spare = -1;
    bool m_shedding = false;
    QSocketNotifier* m_notifier = nullptr;
    QList<TcpConnection*> m_pending;
};

// Connects to 127.0.0.1:port, sends the data and closes, waiting at most timeoutMs for each
// step without an event loop. False when nobody listens or a step failed.
bool SendToLocalPort(std::uint16_t port, const QByteArray& data, int timeoutMs);
