#include "net/Powersock.h"

#include "platform/HostLookup.h"
#include "platform/TcpSocket.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

TPowersock::TPowersock(QObject* parent) : QObject(parent), m_socket(new TcpConnection(this))
{
    // One byte more than a reply may hold tells a reply cut short from one that fits.
    m_socket->SetReadLimit(MaxReplyBytes + 1);
    connect(m_socket, &TcpConnection::Connected, this, &TPowersock::Wake);
    connect(m_socket, &TcpConnection::ReadyRead, this, &TPowersock::TakeData);
    connect(m_socket, &TcpConnection::Disconnected, this, [this] {
        TakeData();
        m_closedByPeer = true;
        Wake();
    });
    connect(m_socket, &TcpConnection::Failed, this, [this] {
        TakeData();
        m_failed = true;
        Wake();
    });
}

TPowersock::~TPowersock() = default;

bool TPowersock::Connected() const
{
    return m_socket->GetState() == TcpConnection::State::Connected && !m_closedByPeer;
}

std::uint32_t TPowersock::ResolveHost(int timeoutMs, bool& notFound)
{
    notFound = false;
    const std::string name = Host.toStdString();
    const std::uint32_t dotted = HostLookup::InetAddr(name);
    if (dotted != HostLookup::AddressNone)
        return dotted;
    struct Lookup
    {
        std::atomic<bool> done{false};
        HostLookup::Host result;
    };
    // The thread may outlive this wait (a resolver can take long); it keeps its own state.
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, name] {
        lookup->result = HostLookup::GetHostByName(name);
        lookup->done = true;
    }).detach();
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, &TPowersock::Wake);
    poll.start(10);
    if (!Wait([&] { return lookup->done.load(); }, timeoutMs))
        return 0;
    notFound = lookup->result.Error != 0;
    return notFound ? 0 : lookup->result.Address;
}

void TPowersock::Connect()
{
    if (m_socket->GetState() != TcpConnection::State::Unconnected)
        throw ESockError("Already connected");
    m_received.clear();
    m_closedByPeer = false;
    m_failed = false;
    m_timedOut = false;
    m_cutShort = false;
    Report(QStringLiteral("Connecting to %1:%2").arg(Host).arg(Port));
    QElapsedTimer clock;
    clock.start();
    bool notFound = false;
    const std::uint32_t address = ResolveHost(TimeOut, notFound);
    if (notFound)
        throw ESockError("Host Lookup Failed");
    if (address == 0)
        throw ESockError("Connection Timed out");
    if (!m_socket->ConnectTo(address, static_cast<std::uint16_t>(Port)))
        throw ESockError("Connection Failed");
    const bool settled = Wait(
        [this] { return m_failed || m_socket->GetState() == TcpConnection::State::Connected; },
        TimeOut - int(clock.elapsed()));
    if (m_socket->GetState() == TcpConnection::State::Connected) {
        Report(QStringLiteral("Connected"));
        return;
    }
    m_socket->Close();
    if (!settled)
        throw ESockError("Connection Timed out");
    throw ESockError("Connection Failed");
}

void TPowersock::WriteLn(const QByteArray& text)
{
    if (!Connected())
        throw ESockError("Not connected");
    QByteArray line = text;
    line.append("\r\n");
    m_socket->Write(line);
}

QByteArray TPowersock::ReadAll(const std::function<TReplyProgress(const QByteArray&)>& progress,
                               int boundMs, int settleMs)
{
    QTimer settle;
    settle.setSingleShot(true);
    settle.setInterval(settleMs);
    bool settled = false;
    bool whole = false;
    connect(&settle, &QTimer::timeout, this, [this, &settled] {
        settled = true;
        Wake();
    });
    qsizetype seen = -1;
    const auto done = [&] {
        if (m_closedByPeer || m_failed || m_cutShort || settled || whole)
            return true;
        if (m_received.size() != seen) {
            // New data: a settling reply's quiet moment starts again.
            seen = m_received.size();
            switch (progress(m_received)) {
            case TReplyProgress::Whole:
                whole = true;
                return true;
            case TReplyProgress::Settling:
                settle.start();
                break;
            case TReplyProgress::Partial:
                settle.stop();
                break;
            }
        }
        return false;
    };
    m_timedOut = !Wait(done, boundMs);
    if (m_failed && m_received.isEmpty())
        throw ESockError("Read Failed");
    return m_received;
}

void TPowersock::Disconnect()
{
    if (m_socket->GetState() != TcpConnection::State::Unconnected)
        Report(QStringLiteral("Disconnected"));
    m_socket->Close();
}

bool TPowersock::Wait(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    std::function<void()> outer = std::move(m_wake);
    m_wake = [&] {
        if (done())
            loop.quit();
    };
    limit.start(std::max(timeoutMs, 0));
    // Returns early too when the application quits; `done` then tells that it did not finish.
    loop.exec();
    m_wake = std::move(outer);
    return done();
}

void TPowersock::Wake()
{
    if (m_wake)
        m_wake();
}

void TPowersock::TakeData()
{
    if (!m_cutShort) {
        m_received.append(m_socket->ReadAll());
        if (m_received.size() > MaxReplyBytes) {
            m_received.truncate(MaxReplyBytes);
            m_cutShort = true;
        }
    }
    Wake();
}

void TPowersock::Report(const QString& text) const
{
    if (ReportLevel > 0 && OnReport)
        OnReport(text);
}
