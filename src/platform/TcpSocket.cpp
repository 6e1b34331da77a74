#include "platform/TcpSocket.h"

#include "platform/linux/PollUntil.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// What one turn of the event loop reads from a connection or accepts from the listener.
constexpr qsizetype ReadPerTurn = 64 * 1024;
constexpr int AcceptsPerTurn = 32;

// A descriptor held only to be given up when the process has no other, so that a waiting
// client can still be taken and turned away.
int SpareDescriptor()
{
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

// The accept errors of a connection that went away in the backlog; the next one may be fine.
bool IsPassingAcceptError(int error)
{
    switch (error) {
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
        return true;
    default:
        return false;
    }
}

int NewSocket()
{
    return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
}

sockaddr_in Endpoint(std::uint32_t networkOrderAddress, std::uint16_t port)
{
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_addr.s_addr = networkOrderAddress;
    endpoint.sin_port = htons(port);
    return endpoint;
}

// Closes a descriptor when it goes out of scope, unless released.
class ScopedFd
{
public:
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ~ScopedFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

} // namespace

QString DottedAddress(std::uint32_t networkOrder)
{
    in_addr address{};
    address.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN] = {};
    return QString::fromLatin1(::inet_ntop(AF_INET, &address, text, sizeof text));
}

TcpConnection::TcpConnection(QObject* parent) : QObject(parent) {}

TcpConnection::~TcpConnection()
{
    Close();
}

bool TcpConnection::ConnectTo(std::uint32_t networkOrderAddress, std::uint16_t port)
{
    if (m_fd >= 0)
        return false;
    ScopedFd fd(NewSocket());
    if (fd.Get() < 0)
        return false;
    const sockaddr_in peer = Endpoint(networkOrderAddress, port);
    const int result = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    const int error = result < 0 && errno != EINPROGRESS ? errno : 0;
    m_fd = fd.Release();
    m_state = State::Connecting;
    m_in.clear();
    m_out.clear();
    Watch();
    // Until the connect settles, only its outcome counts: a refusal also makes the socket
    // readable, and would look like the peer's close.
    m_readable->setEnabled(false);
    if (error == 0) {
        // Connected or refused, the socket turns writable; even a connect that completed at
        // once is reported from the event loop, as the caller expects.
        m_writable->setEnabled(true);
    } else {
        // Refused at once (the loopback does that): reported from the event loop all the same.
        const int fdNow = m_fd;
        QMetaObject::invokeMethod(
            this,
            [this, fdNow, error] {
                if (m_state == State::Connecting && m_fd == fdNow)
                    CloseAndEmit(true, error);
            },
            Qt::QueuedConnection);
    }
    return true;
}

void TcpConnection::Adopt(int fd)
{
    m_fd = fd;
    m_state = State::Connected;
    Watch();
    TakeAddresses();
}

void TcpConnection::Watch()
{
    m_readable = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    m_writable = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_readable, &QSocketNotifier::activated, this, &TcpConnection::OnReadable);
    connect(m_writable, &QSocketNotifier::activated, this, &TcpConnection::OnWritable);
}

void TcpConnection::TakeAddresses()
{
    sockaddr_in endpoint{};
    socklen_t size = sizeof endpoint;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&endpoint), &size) == 0) {
        m_localAddress = endpoint.sin_addr.s_addr;
        m_localPort = ntohs(endpoint.sin_port);
    }
    size = sizeof endpoint;
    if (::getpeername(m_fd, reinterpret_cast<sockaddr*>(&endpoint), &size) == 0) {
        m_peerAddress = endpoint.sin_addr.s_addr;
        m_peerPort = ntohs(endpoint.sin_port);
    }
}

void TcpConnection::Write(const QByteArray& data)
{
    if (m_state != State::Connected)
        return;
    m_out.append(data);
    Flush();
}

QByteArray TcpConnection::ReadAll()
{
    QByteArray data = std::exchange(m_in, QByteArray());
    ResumeReading();
    return data;
}

void TcpConnection::SetReadLimit(qsizetype bytes)
{
    m_readLimit = std::max<qsizetype>(bytes, 1);
    ResumeReading();
}

void TcpConnection::ResumeReading()
{
    if (m_readable && m_state == State::Connected && m_in.size() < m_readLimit)
        m_readable->setEnabled(true);
}

void TcpConnection::Close()
{
    delete m_readable;
    delete m_writable;
    m_readable = nullptr;
    m_writable = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_state = State::Unconnected;
    m_out.clear();
}

bool TcpConnection::CloseAndEmit(bool failed, int error)
{
    QPointer<TcpConnection> self(this);
    Close();
    if (failed)
        emit Failed(error);
    else
        emit Disconnected();
    return !self.isNull();
}

void TcpConnection::OnReadable()
{
    if (m_fd < 0)
        return;
    bool arrived = false;
    bool ended = false;
    int error = 0;
    // One turn takes a bounded amount, so a peer that never stops sending leaves the event loop
    // its other work; the notifier calls again for the rest.
    qsizetype budget = ReadPerTurn;
    while (budget > 0) {
        const qsizetype room = m_readLimit - m_in.size();
        if (room <= 0) {
            // Full: the rest stays in the kernel until ReadAll makes room.
            m_readable->setEnabled(false);
            break;
        }
        char buffer[16384];
        const auto want = std::min({qsizetype(sizeof buffer), room, budget});
        const ssize_t got = ::recv(m_fd, buffer, size_t(want), 0);
        if (got > 0) {
            m_in.append(buffer, got);
            budget -= got;
            arrived = true;
            continue;
        }
        if (got == 0) {
            ended = true;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            ended = true;
            error = errno;
        }
        break;
    }
    QPointer<TcpConnection> self(this);
    if (arrived) {
        emit ReadyRead();
        if (self.isNull())
            return;
    }
    // A reset after data counts as the peer's close, as it does for a client that sent its
    // message and went.
    if (ended && m_fd >= 0)
        CloseAndEmit(false, error);
}

void TcpConnection::OnWritable()
{
    if (m_state == State::Connecting) {
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) < 0)
            error = errno;
        if (error != 0) {
            CloseAndEmit(true, error);
            return;
        }
        m_state = State::Connected;
        m_readable->setEnabled(true);
        m_writable->setEnabled(!m_out.isEmpty());
        TakeAddresses();
        emit Connected();
        return;
    }
    Flush();
}

void TcpConnection::Flush()
{
    while (!m_out.isEmpty()) {
        const ssize_t sent = ::send(m_fd, m_out.constData(), size_t(m_out.size()), MSG_NOSIGNAL);
        if (sent > 0) {
            m_out.remove(0, sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        CloseAndEmit(true, sent < 0 ? errno : EPIPE);
        return;
    }
    if (m_writable)
        m_writable->setEnabled(!m_out.isEmpty());
}

TcpListener::TcpListener(QObject* parent) : QObject(parent) {}

TcpListener::~TcpListener()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_spare >= 0)
        ::close(m_spare);
}

bool TcpListener::Listen(std::uint16_t port)
{
    if (m_fd >= 0) {
        m_listenError = EISCONN;
        return false;
    }
    ScopedFd fd(NewSocket());
    if (fd.Get() < 0) {
        m_listenError = errno;
        return false;
    }
    // A port the last run left in TIME_WAIT is free for this one.
    const int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in endpoint = Endpoint(htonl(INADDR_ANY), port);
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) < 0 ||
        ::listen(fd.Get(), SOMAXCONN) < 0) {
        m_listenError = errno;
        return false;
    }
    m_listenError = 0;
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&bound), &size);
    m_port = ntohs(bound.sin_port);
    m_fd = fd.Release();
    m_spare = SpareDescriptor();
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TcpListener::OnReadable);
    return true;
}

TcpConnection* TcpListener::NextPendingConnection()
{
    return m_pending.isEmpty() ? nullptr : m_pending.takeFirst();
}

void TcpListener::OnReadable()
{
    bool accepted = false;
    int unreported = 0;
    // A bounded number a turn, so a crowd at the door leaves the event loop its other work.
    for (int turn = 0; turn < AcceptsPerTurn; ++turn) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0 && m_shedding) {
            ::close(fd);
            continue;
        }
        if (fd >= 0) {
            auto* connection = new TcpConnection(this);
            connection->Adopt(fd);
            m_pending.push_back(connection);
            accepted = true;
            continue;
        }
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK)
            break;
        if (IsPassingAcceptError(error))
            continue;
        // Out of descriptors or memory (or an error no retry mends): the backlog stays
        // readable, and retrying at once would spin.
        if ((error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) &&
            TurnAway(error))
            continue;
        Rest();
        unreported = m_shedding ? 0 : error;
        break;
    }
    QPointer<TcpListener> self(this);
    if (accepted && !m_pending.isEmpty())
        emit NewConnection();
    if (unreported != 0 && !self.isNull())
        emit AcceptFailed(unreported);
}

bool TcpListener::TurnAway(int error)
{
    if (m_spare < 0)
        return false;
    ::close(m_spare);
    m_spare = -1;
    const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
    if (!m_shedding) {
        // For this moment a descriptor is free, and whoever hears of the shortage may need
        // one (a log line does). Then everyone is turned away for a while: taking clients up
        // to the limit again would leave the rest of the program without descriptors.
        m_shedding = true;
        QTimer::singleShot(RestMs, this, [this] { m_shedding = false; });
        emit AcceptFailed(error);
    }
    // Another thread may have taken the slot meanwhile; then the next shortage rests instead.
    m_spare = SpareDescriptor();
    return fd >= 0;
}

void TcpListener::Rest()
{
    m_notifier->setEnabled(false);
    QTimer::singleShot(RestMs, this, [this] {
        if (m_spare < 0)
            m_spare = SpareDescriptor();
        m_notifier->setEnabled(true);
    });
}

bool SendToLocalPort(std::uint16_t port, const QByteArray& data, int timeoutMs)
{
    const auto deadline = [timeoutMs] {
        return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    };
    ScopedFd fd(NewSocket());
    if (fd.Get() < 0)
        return false;
    const sockaddr_in peer = Endpoint(htonl(INADDR_LOOPBACK), port);
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) < 0) {
        if (errno != EINPROGRESS || !PollUntil(fd.Get(), POLLOUT, deadline()))
            return false;
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) < 0 || error != 0)
            return false;
    }
    qsizetype done = 0;
    const auto until = deadline();
    while (done < data.size()) {
        const ssize_t sent =
            ::send(fd.Get(), data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (sent > 0)
            done += sent;
        else if (sent < 0 && errno == EINTR)
            continue;
        else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
                 PollUntil(fd.Get(), POLLOUT, until))
            continue;
        else
            return false;
    }
    // An orderly close: the peer reads everything before it sees the end.
    ::shutdown(fd.Get(), SHUT_WR);
    return true;
}
