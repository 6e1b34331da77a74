#pragma once

#include "platform/Desktop.h"
#include "platform/linux/UniqueFd.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>

// A connection to sway's IPC socket ($SWAYSOCK): the commands of sway's own configuration, and
// its answers as JSON. Each exchange, connecting included, ends within ExchangeLimit however
// the other side writes, and a reply larger than LargestReply is refused. A connection that
// failed is closed and opened again at a later exchange, after a pause that doubles with each
// failure in a row.
class SwayIpc
{
public:
    enum class Message : std::uint32_t
    {
        RunCommand = 0,
        GetWorkspaces = 1,
        GetTree = 4,
        GetVersion = 7
    };

    // Short: the window's own thread waits for the exchanges it makes.
    static constexpr std::chrono::milliseconds ExchangeLimit{250};
    // A tree of a busy session is a few hundred kilobytes.
    static constexpr std::uint32_t LargestReply = 4u << 20;

    // The socket named by $SWAYSOCK when socketPath is empty.
    explicit SwayIpc(const QString& socketPath = {});

    bool Connected() const { return m_socket.Valid(); }
    // The reply's payload; none when the exchange failed or the pause after a failure lasts.
    std::optional<QByteArray> Exchange(Message type, const QByteArray& payload = {});
    // Runs one command; false with sway's error text when it did not take it.
    bool Run(const QString& command, QString* error = nullptr);
    // The pause after the first failure and the longest one.
    void SetRetryPauses(std::chrono::milliseconds first, std::chrono::milliseconds longest);

    // The wire format, both ways: "i3-ipc", the payload's length and the type (native byte
    // order), then the payload.
    static QByteArray Frame(Message type, const QByteArray& payload);
    // Whether a RUN_COMMAND reply says every command succeeded; the first error otherwise.
    static bool CommandSucceeded(const QByteArray& reply, QString* error);
    // The usable area of the focused workspace from a GET_WORKSPACES reply: its output less
    // what panels (waybar and other layer-shell bars) keep for themselves. None without one.
    static std::optional<WindowRect> FocusedWorkspaceArea(const QByteArray& reply);
    // What sway draws of an X11 window from a GET_TREE reply: its container with the borders
    // and the title bar (which sway publishes to X11 clients in no frame extents). None when
    // sway does not manage the window.
    static std::optional<WindowRect> ViewFrame(const QByteArray& tree, unsigned long x11Window);

private:
    using Clock = std::chrono::steady_clock;

    bool Connect(Clock::time_point deadline);
    bool Transfer(const char* data, char* into, std::size_t size, Clock::time_point deadline);
    std::optional<QByteArray> ExchangeOnce(Message type, const QByteArray& payload,
                                           Clock::time_point deadline);
    // Closes the connection and sets the time of the next attempt.
    void Failed();

    QByteArray m_path;
    UniqueFd m_socket;
    std::chrono::milliseconds m_firstPause{500};
    std::chrono::milliseconds m_longestPause{30'000};
    std::chrono::milliseconds m_pause{0};
    Clock::time_point m_retryAt{};
};
