#pragma once

#include "platform/IcmpEcho.h"

#include <QString>
#include <memory>

// What one run of the system's ping tool reported.
struct ToolPingReply
{
    bool Answered = false; // an echo reply came back
    std::uint32_t Status = IcmpLayout::IpReqTimedOut;
    std::uint32_t Address = 0;       // of the answering host, network order
    std::uint32_t RoundTripTime = 0; // ms
    std::uint8_t Ttl = 0;
};

// Reads the output of `ping -n -c 1` (iputils, in the C locale).
ToolPingReply ParseToolPingOutput(const QString& output);

// ICMP echo through the system's ping tool, where the process may open neither an ICMP
// datagram socket nor a raw one: Debian gives iputils' ping the capability to send echoes.
// Each echo runs the tool once, so it costs a process start; the data echoed is taken as sent.
class ToolIcmpEcho : public IcmpEcho
{
public:
    // The tool found on the search path; none when there is no ping tool.
    static std::unique_ptr<ToolIcmpEcho> Find();
    explicit ToolIcmpEcho(QString program);

    std::uint32_t SendEcho(std::uint32_t destination, const void* requestData,
                           std::uint16_t requestSize,
                           const IcmpLayout::IpOptionInformation* options, void* replyBuffer,
                           std::uint32_t replySize, std::uint32_t timeoutMs) override;
    std::uint32_t LastError() const override { return m_lastError; }

    const QString& Program() const { return m_program; }

private:
    QString m_program;
    std::uint32_t m_lastError = 0;
};
