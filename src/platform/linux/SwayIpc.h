#pragma once

#include "platform/Desktop.h"
#include "platform/linux/UniqueFd.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// A connection to sway's IPC socket ($SWAYSOCK): the commands of sway's own configuration, and
// its answers as JSON. Each exchange blocks for at most a second; a connection that failed once
// stays closed.
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

    // The socket named by $SWAYSOCK when socketPath is empty.
    explicit SwayIpc(const QString& socketPath = {});

    bool Connected() const { return m_socket.Valid(); }
    // The reply's payload; none when the exchange failed.
    std::optional<QByteArray> Exchange(Message type, const QByteArray& payload = {});
    // Runs one command; false with sway's error text when it did not take it.
    bool Run(const QString& command, QString* error = nullptr);

    // The wire format, both ways: "i3-ipc", the payload's length and the type (native byte
    // order), then the payload.
    static QByteArray Frame(Message type, const QByteArray& payload);
    // Whether a RUN_COMMAND reply says every command succeeded; the first error otherwise.
    static bool CommandSucceeded(const QByteArray& reply, QString* error);
    // The usable area of the focused workspace from a GET_WORKSPACES reply: its output less
    // what panels (waybar and other layer-shell bars) keep for themselves. None without one.
    static std::optional<WindowRect> FocusedWorkspaceArea(const QByteArray& reply);

private:
    bool WriteAll(const QByteArray& data);
    bool ReadAll(char* data, std::size_t size);

    UniqueFd m_socket;
};
