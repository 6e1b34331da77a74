#pragma once

#include <QByteArray>
#include <cstdint>

// A copy-data window message to another program's window on the same desktop, answered by that
// program's own copy-data message to our reply window while the call lasts. X11 has no such
// call, so the program never has one; tests use a double that records and answers.
class CopyDataMessenger
{
public:
    virtual ~CopyDataMessenger() = default;

    // The hidden window that takes replies.
    virtual std::uintptr_t ReplyWindow() const = 0;
    // Sends `data` tagged `tag` to `target`; returns what the target sent back during the call.
    virtual QByteArray Send(std::uintptr_t target, std::uintptr_t replyWindow, std::uint32_t tag,
                            const QByteArray& data) = 0;
};
