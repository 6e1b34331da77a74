#pragma once

#include <QByteArray>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// How the host answers one request.
struct SstpHostReply
{
    QByteArray Bytes;
    int DelayMs = 0;    // before the answer goes out
    bool Answer = true; // false: say nothing, and wait for the client to go
    // After the answer: close (the way Windows hosts do) or keep the connection open until the
    // client closes it (the way hosts on Linux do).
    bool Close = true;
    // Sent in a packet of their own this long after the answer, as a body that comes late.
    QByteArray Later;
    int LaterDelayMs = 0;
    // After the answer, this many bytes of filler, or -1 for filler without end: a hostile
    // host. It stops when the client goes.
    qint64 Filler = 0;
    int DripMs = 0; // the filler a byte at a time, this long apart
    // Right after the request: the connection is reset instead of answered.
    bool Reset = false;
};

// A real SSTP host on 127.0.0.1, on a thread of its own, for one connection at a time: it reads
// a request up to its empty line (so it serves plain HTTP GETs too), answers as the test's
// responder says, and records every byte each connection brought, in order.
class SstpTestHost
{
public:
    using Responder = std::function<SstpHostReply(const QByteArray& request)>;

    explicit SstpTestHost(Responder responder, unsigned short port = 0)
        : m_responder(std::move(responder))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 8) != 0) {
            ::close(m_listener);
            m_listener = -1;
            return;
        }
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        if (::pipe2(m_stop, O_CLOEXEC) != 0)
            return;
        m_thread = std::thread([this] { Serve(); });
    }

    ~SstpTestHost()
    {
        if (m_thread.joinable()) {
            const char byte = 0;
            [[maybe_unused]] auto written = ::write(m_stop[1], &byte, 1);
            m_thread.join();
        }
        for (int fd : {m_listener, m_stop[0], m_stop[1]})
            if (fd >= 0)
                ::close(fd);
    }

    SstpTestHost(const SstpTestHost&) = delete;
    SstpTestHost& operator=(const SstpTestHost&) = delete;

    // A host as they run on Linux: EXECUTE only as SSTP/1.0 (1.1 gets 501), the name and the
    // version as a body after the headers, Quiet and Restore answered with a status line and
    // the empty line alone, and every connection kept open until the client closes it.
    static Responder KeepOpenHost(const QByteArray& name = "Emily",
                                  const QByteArray& version = "2.6.1")
    {
        return [name, version](const QByteArray& request) {
            SstpHostReply reply;
            reply.Close = false;
            if (request.startsWith("EXECUTE SSTP/1.1"))
                reply.Bytes = "SSTP/1.1 501 Not Implemented\r\n\r\n";
            else if (request.contains("Command: getname"))
                reply.Bytes = "SSTP/1.0 200 OK\r\nCharset: UTF-8\r\n\r\n" + name + "\r\n\r\n";
            else if (request.contains("Command: getversion"))
                reply.Bytes = "SSTP/1.0 200 OK\r\nCharset: UTF-8\r\n\r\n" + version + "\r\n\r\n";
            else if (request.startsWith("EXECUTE"))
                reply.Bytes = "SSTP/1.0 200 OK\r\n\r\n";
            else
                reply.Bytes = "SSTP/1.4 200 OK\r\nCharset: UTF-8\r\n\r\n";
            return reply;
        };
    }

    // A port nobody listens on: bound by a host that is gone again.
    static unsigned short UnusedPort()
    {
        SstpTestHost probe([](const QByteArray&) { return SstpHostReply{}; });
        return probe.Port();
    }

    bool Listening() const { return m_listener >= 0; }
    unsigned short Port() const { return m_port; }

    // Each ended connection's bytes.
    std::vector<QByteArray> Requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    int Connections() const { return m_connections; }

    bool WaitForRequests(std::size_t count, int timeoutMs = 5000) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_requests.size() >= count; });
    }

private:
    // Waits for the connection or the stop pipe; false when the host is told to stop.
    bool WaitReadable(int fd, int timeoutMs) const
    {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        const int n = ::poll(fds, 2, timeoutMs);
        return n > 0 && !(fds[1].revents & POLLIN);
    }

    bool Stopping() const
    {
        pollfd fd{m_stop[0], POLLIN, 0};
        return ::poll(&fd, 1, 0) > 0;
    }

    void Serve()
    {
        while (WaitReadable(m_listener, -1)) {
            const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0)
                continue;
            ++m_connections;
            QByteArray received = Converse(connection);
            ::close(connection);
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(std::move(received));
            }
            m_changed.notify_all();
        }
    }

    // Reads into `received` until the client closes or the host stops; false when it closed.
    bool ReadSome(int connection, QByteArray& received, int timeoutMs) const
    {
        if (!WaitReadable(connection, timeoutMs))
            return !Stopping();
        char buffer[4096];
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        received.append(buffer, n);
        return true;
    }

    QByteArray Converse(int connection)
    {
        QByteArray received;
        while (!received.contains("\r\n\r\n"))
            if (!ReadSome(connection, received, 10000) || Stopping())
                return received;
        const SstpHostReply reply = m_responder(received);
        if (reply.Reset) {
            const linger abort{1, 0};
            ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            return received;
        }
        if (reply.DelayMs > 0)
            WaitReadableFor(connection, received, reply.DelayMs);
        if (reply.Answer && !reply.Bytes.isEmpty())
            SendAll(connection, reply.Bytes.constData(), reply.Bytes.size());
        if (reply.Answer && !reply.Later.isEmpty()) {
            WaitReadableFor(connection, received, reply.LaterDelayMs);
            SendAll(connection, reply.Later.constData(), reply.Later.size());
        }
        if (reply.Answer && reply.Filler != 0)
            SendFiller(connection, reply.Filler, reply.DripMs);
        if (reply.Answer && reply.Close)
            ::shutdown(connection, SHUT_WR);
        // Whatever the client still sends is recorded until it closes.
        while (!Stopping() && ReadSome(connection, received, 10000)) {
        }
        return received;
    }

    // Sends while the client takes it; false once it went or the host stops.
    bool SendAll(int connection, const char* data, qint64 size) const
    {
        while (size > 0) {
            pollfd fds[2] = {{connection, POLLOUT, 0}, {m_stop[0], POLLIN, 0}};
            if (::poll(fds, 2, 10000) <= 0 || (fds[1].revents & POLLIN))
                return false;
            const ssize_t n = ::send(connection, data, size_t(size), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= n;
        }
        return true;
    }

    void SendFiller(int connection, qint64 bytes, int dripMs)
    {
        const QByteArray chunk(dripMs > 0 ? 1 : 64 * 1024, 'x');
        while (bytes != 0) {
            const qint64 now = bytes < 0 ? chunk.size() : std::min<qint64>(bytes, chunk.size());
            if (!SendAll(connection, chunk.constData(), now))
                break;
            if (dripMs > 0) {
                QByteArray ignored;
                WaitReadableFor(connection, ignored, dripMs);
                if (Stopping())
                    break;
            }
            m_fillerSent += now;
            if (bytes > 0)
                bytes -= now;
        }
    }

public:
    // The filler bytes that went out, all connections together.
    qint64 FillerSent() const { return m_fillerSent; }

private:
    // Sleeps for the delay while still taking what the client sends.
    void WaitReadableFor(int connection, QByteArray& received, int delayMs) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  end - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0 || Stopping())
                return;
            pollfd fds[2] = {{connection, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
            if (::poll(fds, 2, static_cast<int>(left)) > 0 && (fds[0].revents & POLLIN)) {
                char buffer[4096];
                const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
                if (n <= 0)
                    return;
                received.append(buffer, n);
            }
        }
    }

    Responder m_responder;
    int m_listener = -1;
    int m_stop[2] = {-1, -1};
    unsigned short m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<QByteArray> m_requests;
    std::atomic<int> m_connections{0};
    std::atomic<qint64> m_fillerSent{0};
};
