#include "platform/linux/SwayIpc.h"

#include "platform/linux/PollUntil.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

constexpr char Magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t HeaderSize = sizeof(Magic) + 2 * sizeof(std::uint32_t);

WindowRect RectOf(const QJsonObject& node, const QString& key, QPoint origin = {})
{
    const QJsonObject rect = node.value(key).toObject();
    const int x = origin.x() + rect.value(QStringLiteral("x")).toInt();
    const int y = origin.y() + rect.value(QStringLiteral("y")).toInt();
    return {x, y, x + rect.value(QStringLiteral("width")).toInt(),
            y + rect.value(QStringLiteral("height")).toInt()};
}

// Sway's trees nest a few levels; anything far deeper is not sway talking.
constexpr int DeepestNode = 64;

std::optional<WindowRect> FindView(const QJsonObject& node, const QJsonObject& parent, double window,
                                   int depth)
{
    if (node.value(QStringLiteral("window")).toDouble() == window) {
        WindowRect frame = RectOf(node, QStringLiteral("rect"));
        // The title bar's place is given from the parent's corner; in a tabbed or stacked
        // parent it lies above the container.
        const WindowRect parentRect = RectOf(parent, QStringLiteral("rect"));
        const WindowRect title = RectOf(node, QStringLiteral("deco_rect"),
                                        QPoint(parentRect.Left, parentRect.Top));
        if (title.Width() > 0 && title.Height() > 0)
            frame = {std::min(frame.Left, title.Left), std::min(frame.Top, title.Top),
                     std::max(frame.Right, title.Right), std::max(frame.Bottom, title.Bottom)};
        return frame;
    }
    if (depth >= DeepestNode)
        return std::nullopt;
    for (const QString& key : {QStringLiteral("nodes"), QStringLiteral("floating_nodes")})
        for (const QJsonValue child : node.value(key).toArray())
            if (auto found = FindView(child.toObject(), node, window, depth + 1))
                return found;
    return std::nullopt;
}

} // namespace

SwayIpc::SwayIpc(const QString& socketPath)
    : m_path(socketPath.isEmpty() ? qgetenv("SWAYSOCK") : QFile::encodeName(socketPath))
{
    if (!Connect(Clock::now() + ExchangeLimit))
        Failed();
}

void SwayIpc::SetRetryPauses(std::chrono::milliseconds first, std::chrono::milliseconds longest)
{
    m_firstPause = first;
    m_longestPause = longest;
    if (m_pause.count() > 0)
        m_retryAt = Clock::now() + (m_pause = first);
}

bool SwayIpc::Connect(Clock::time_point deadline)
{
    sockaddr_un address{};
    if (m_path.isEmpty() || std::size_t(m_path.size()) >= sizeof(address.sun_path))
        return false;
    // Non-blocking throughout: every wait is a poll that knows the deadline.
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid())
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, m_path.constData(), std::size_t(m_path.size()));
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        int error = errno;
        if (error == EINPROGRESS && PollUntil(fd.Get(), POLLOUT, deadline)) {
            socklen_t size = sizeof(error);
            if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
        if (error != 0)
            return false;
    }
    m_socket = std::move(fd);
    return true;
}

QByteArray SwayIpc::Frame(Message type, const QByteArray& payload)
{
    QByteArray frame(Magic, sizeof(Magic));
    const std::uint32_t header[] = {std::uint32_t(payload.size()), std::uint32_t(type)};
    frame.append(reinterpret_cast<const char*>(header), sizeof(header));
    frame.append(payload);
    return frame;
}

// Sends data, or receives into `into` when data is null.
bool SwayIpc::Transfer(const char* data, char* into, std::size_t size, Clock::time_point deadline)
{
    std::size_t done = 0;
    while (done < size) {
        if (Clock::now() >= deadline)
            return false;
        const ssize_t n = data ? ::send(m_socket.Get(), data + done, size - done, MSG_NOSIGNAL)
                               : ::recv(m_socket.Get(), into + done, size - done, 0);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            return false;
        if (errno != EINTR && !PollUntil(m_socket.Get(), data ? POLLOUT : POLLIN, deadline))
            return false;
    }
    return true;
}

std::optional<QByteArray> SwayIpc::ExchangeOnce(Message type, const QByteArray& payload,
                                                Clock::time_point deadline)
{
    const QByteArray frame = Frame(type, payload);
    char header[HeaderSize];
    if (!Transfer(frame.constData(), nullptr, std::size_t(frame.size()), deadline) ||
        !Transfer(nullptr, header, HeaderSize, deadline) ||
        std::memcmp(header, Magic, sizeof(Magic)) != 0)
        return std::nullopt;
    std::uint32_t length = 0;
    std::uint32_t replyType = 0;
    std::memcpy(&length, header + sizeof(Magic), sizeof(length));
    std::memcpy(&replyType, header + sizeof(Magic) + sizeof(length), sizeof(replyType));
    // Events are not subscribed to, so the next message is the reply.
    if (replyType != std::uint32_t(type) || length > LargestReply)
        return std::nullopt;
    QByteArray reply(qsizetype(length), Qt::Uninitialized);
    if (!Transfer(nullptr, reply.data(), length, deadline))
        return std::nullopt;
    return reply;
}

std::optional<QByteArray> SwayIpc::Exchange(Message type, const QByteArray& payload)
{
    const Clock::time_point deadline = Clock::now() + ExchangeLimit;
    if (!m_socket.Valid()) {
        if (Clock::now() < m_retryAt)
            return std::nullopt;
        if (!Connect(deadline)) {
            Failed();
            return std::nullopt;
        }
    }
    std::optional<QByteArray> reply = ExchangeOnce(type, payload, deadline);
    if (reply)
        m_pause = std::chrono::milliseconds(0);
    else
        Failed(); // out of step, or too slow: a late answer would be taken for the next one's
    return reply;
}

void SwayIpc::Failed()
{
    m_socket.Reset();
    m_pause = m_pause.count() > 0 ? std::min(2 * m_pause, m_longestPause) : m_firstPause;
    m_retryAt = Clock::now() + m_pause;
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

std::optional<WindowRect> SwayIpc::ViewFrame(const QByteArray& tree, unsigned long x11Window)
{
    if (x11Window == 0)
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(tree).object();
    const std::optional<WindowRect> frame = FindView(root, {}, double(x11Window), 0);
    if (!frame || frame->Width() <= 0 || frame->Height() <= 0)
        return std::nullopt;
    return frame;
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
