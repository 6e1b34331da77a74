#include "platform/linux/SwayIpc.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

constexpr char Magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t HeaderSize = sizeof(Magic) + 2 * sizeof(std::uint32_t);
constexpr int ExchangeLimitMs = 1000;
// A tree of a busy session is a few hundred kilobytes; anything far larger is not sway talking.
constexpr std::uint32_t LargestReply = 64u << 20;

bool WaitFor(int fd, short events)
{
    pollfd p{fd, events, 0};
    int result;
    do
        result = ::poll(&p, 1, ExchangeLimitMs);
    while (result < 0 && errno == EINTR);
    return result > 0 && (p.revents & events);
}

} // namespace

SwayIpc::SwayIpc(const QString& socketPath)
{
    const QByteArray path =
        socketPath.isEmpty() ? qgetenv("SWAYSOCK") : QFile::encodeName(socketPath);
    sockaddr_un address{};
    if (path.isEmpty() || std::size_t(path.size()) >= sizeof(address.sun_path))
        return;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid())
        return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return;
    m_socket = std::move(fd);
}

QByteArray SwayIpc::Frame(Message type, const QByteArray& payload)
{
    QByteArray frame(Magic, sizeof(Magic));
    const std::uint32_t header[] = {std::uint32_t(payload.size()), std::uint32_t(type)};
    frame.append(reinterpret_cast<const char*>(header), sizeof(header));
    frame.append(payload);
    return frame;
}

bool SwayIpc::WriteAll(const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        if (!WaitFor(m_socket.Get(), POLLOUT))
            return false;
        const ssize_t n = ::send(m_socket.Get(), data.constData() + done,
                                 std::size_t(data.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool SwayIpc::ReadAll(char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        if (!WaitFor(m_socket.Get(), POLLIN))
            return false;
        const ssize_t n = ::recv(m_socket.Get(), data + done, size - done, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

std::optional<QByteArray> SwayIpc::Exchange(Message type, const QByteArray& payload)
{
    if (!m_socket.Valid())
        return std::nullopt;
    char header[HeaderSize];
    std::uint32_t length = 0;
    std::uint32_t replyType = 0;
    bool ok = WriteAll(Frame(type, payload));
    // Events are not subscribed to, so the next message is the reply.
    if (ok)
        ok = ReadAll(header, HeaderSize) && std::memcmp(header, Magic, sizeof(Magic)) == 0;
    if (ok) {
        std::memcpy(&length, header + sizeof(Magic), sizeof(length));
        std::memcpy(&replyType, header + sizeof(Magic) + sizeof(length), sizeof(replyType));
        ok = replyType == std::uint32_t(type) && length <= LargestReply;
    }
    QByteArray reply;
    if (ok) {
        reply.resize(qsizetype(length));
        ok = ReadAll(reply.data(), length);
    }
    if (!ok) {
        // Out of step with the other side: nothing later on this connection could be trusted.
        m_socket.Reset();
        return std::nullopt;
    }
    return reply;
}

bool SwayIpc::CommandSucceeded(const QByteArray& reply, QString* error)
{
    const QJsonDocument document = QJsonDocument::fromJson(reply);
    const QJsonArray results = document.array();
    if (results.isEmpty()) {
        if (error)
            *error = QStringLiteral("no answer");
        return false;
    }
    for (const QJsonValue& result : results) {
        const QJsonObject object = result.toObject();
        if (!object.value(QStringLiteral("success")).toBool()) {
            if (error)
                *error = object.value(QStringLiteral("error")).toString();
            return false;
        }
    }
    return true;
}

std::optional<WindowRect> SwayIpc::FocusedWorkspaceArea(const QByteArray& reply)
{
    const QJsonArray workspaces = QJsonDocument::fromJson(reply).array();
    for (const QJsonValue& workspace : workspaces) {
        const QJsonObject object = workspace.toObject();
        if (!object.value(QStringLiteral("focused")).toBool())
            continue;
        const QJsonObject rect = object.value(QStringLiteral("rect")).toObject();
        const int x = rect.value(QStringLiteral("x")).toInt();
        const int y = rect.value(QStringLiteral("y")).toInt();
        const int width = rect.value(QStringLiteral("width")).toInt();
        const int height = rect.value(QStringLiteral("height")).toInt();
        if (width <= 0 || height <= 0)
            return std::nullopt;
        return WindowRect{x, y, x + width, y + height};
    }
    return std::nullopt;
}

bool SwayIpc::Run(const QString& command, QString* error)
{
    const std::optional<QByteArray> reply = Exchange(Message::RunCommand, command.toUtf8());
    if (!reply) {
        if (error)
            *error = QStringLiteral("no connection");
        return false;
    }
    return CommandSucceeded(*reply, error);
}
