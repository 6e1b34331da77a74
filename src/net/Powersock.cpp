#include "net/Powersock.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

TPowersock::TPowersock(QObject* parent) : QObject(parent), m_socket(new QTcpSocket(this))
{
    connect(m_socket, &QTcpSocket::connected, this, &TPowersock::Wake);
    connect(m_socket, &QTcpSocket::readyRead, this, &TPowersock::TakeData);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        TakeData();
        m_closedByPeer = true;
        Wake();
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        TakeData();
        if (error == QAbstractSocket::RemoteHostClosedError) {
            m_closedByPeer = true;
        } else {
            m_failed = true;
            m_error = error;
        }
        Wake();
    });
}

TPowersock::~TPowersock() = default;

bool TPowersock::Connected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState && !m_closedByPeer;
}

void TPowersock::Connect()
{
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        throw ESockError("Already connected");
    m_received.clear();
    m_closedByPeer = false;
    m_failed = false;
    m_timedOut = false;
    Report(QStringLiteral("Connecting to %1:%2").arg(Host).arg(Port));
    m_socket->connectToHost(Host, static_cast<quint16>(Port));
    const bool settled =
        Wait([this] { return m_failed || m_socket->state() == QAbstractSocket::ConnectedState; },
             TimeOut);
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        Report(QStringLiteral("Connected"));
        return;
    }
    m_socket->abort();
    if (!settled)
        throw ESockError("Connection Timed out");
    if (m_error == QAbstractSocket::HostNotFoundError)
        throw ESockError("Host Lookup Failed");
    throw ESockError("Connection Failed");
}

void TPowersock::WriteLn(const QByteArray& text)
{
    if (!Connected())
        throw ESockError("Not connected");
    QByteArray line = text;
    line.append("\r\n");
    if (m_socket->write(line) != line.size())
        throw ESockError("Write Failed");
    m_socket->flush();
}

QByteArray TPowersock::ReadAll(const std::function<bool(const QByteArray&)>& complete, int boundMs,
                               int settleMs)
{
    QTimer settle;
    settle.setSingleShot(true);
    settle.setInterval(settleMs);
    bool settled = false;
    connect(&settle, &QTimer::timeout, this, [this, &settled] {
        settled = true;
        Wake();
    });
    qsizetype seen = -1;
    const auto done = [&] {
        if (m_closedByPeer || m_failed || settled)
            return true;
        if (m_received.size() != seen) {
            // New data: the quiet moment starts again, and only once the reply is whole.
            seen = m_received.size();
            if (complete(m_received))
                settle.start();
            else
                settle.stop();
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
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        Report(QStringLiteral("Disconnected"));
    m_socket->abort();
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
    if (m_socket->isOpen())
        m_received.append(m_socket->readAll());
    Wake();
}

void TPowersock::Report(const QString& text) const
{
    if (ReportLevel > 0 && OnReport)
        OnReport(text);
}
