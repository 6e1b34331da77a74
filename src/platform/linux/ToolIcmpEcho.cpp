#include "platform/linux/ToolIcmpEcho.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <arpa/inet.h>
#include <cmath>
#include <cstring>

using namespace IcmpLayout;

namespace {

// The field after "name=" in a reply line, up to the next space.
QString FieldOf(const QString& line, QLatin1String name)
{
    const qsizetype at = line.indexOf(name);
    if (at < 0)
        return {};
    const qsizetype start = at + name.size();
    const qsizetype end = line.indexOf(u' ', start);
    return line.mid(start, end < 0 ? -1 : end - start);
}

std::uint32_t AddressOf(const QString& text)
{
    in_addr address{};
    return inet_pton(AF_INET, text.toLatin1().constData(), &address) == 1 ? address.s_addr : 0;
}

// iputils names ICMP errors in words after "From <address> icmp_seq=1".
std::uint32_t StatusOfError(const QString& line)
{
    if (line.contains(QLatin1String("Net Unreachable")))
        return IpDestNetUnreachable;
    if (line.contains(QLatin1String("Host Unreachable")))
        return IpDestHostUnreachable;
    if (line.contains(QLatin1String("Protocol Unreachable")))
        return IpDestProtUnreachable;
    if (line.contains(QLatin1String("Port Unreachable")))
        return IpDestPortUnreachable;
    if (line.contains(QLatin1String("Frag needed")))
        return IpPacketTooBig;
    if (line.contains(QLatin1String("Time to live exceeded")))
        return IpTtlExpiredTransit;
    if (line.contains(QLatin1String("reassembly time exceeded")))
        return IpTtlExpiredReassem;
    if (line.contains(QLatin1String("Source Quench")))
        return IpSourceQuench;
    if (line.contains(QLatin1String("Parameter problem")))
        return IpParamProblem;
    return IpDestHostUnreachable;
}

} // namespace

ToolPingReply ParseToolPingOutput(const QString& output)
{
    ToolPingReply reply;
    for (const QString& line : output.split(u'\n')) {
        // "64 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=0.047 ms"
        const qsizetype from = line.indexOf(QLatin1String(" bytes from "));
        if (from > 0 && line.contains(QLatin1String("time="))) {
            const qsizetype start = from + 12;
            reply.Answered = true;
            reply.Status = IpSuccess;
            reply.Address = AddressOf(line.mid(start, line.indexOf(u':', start) - start));
            reply.Ttl = static_cast<std::uint8_t>(FieldOf(line, QLatin1String("ttl=")).toUInt());
            const double ms = FieldOf(line, QLatin1String("time=")).toDouble();
            reply.RoundTripTime = static_cast<std::uint32_t>(std::lround(std::max(ms, 0.0)));
            return reply;
        }
        // "From 10.0.0.1 icmp_seq=1 Destination Host Unreachable"
        if (line.startsWith(QLatin1String("From ")) && line.contains(QLatin1String("icmp_seq="))) {
            reply.Status = StatusOfError(line);
            reply.Address = AddressOf(line.mid(5, line.indexOf(u' ', 5) - 5));
        }
    }
    return reply;
}

std::unique_ptr<ToolIcmpEcho> ToolIcmpEcho::Find()
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("ping"));
    // Services may run with a search path without the system folders.
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(
            QStringLiteral("ping"), {QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    return program.isEmpty() ? nullptr : std::make_unique<ToolIcmpEcho>(program);
}

ToolIcmpEcho::ToolIcmpEcho(QString program) : m_program(std::move(program))
{}

std::uint32_t ToolIcmpEcho::SendEcho(std::uint32_t destination, const void* requestData,
                                     std::uint16_t requestSize, const IpOptionInformation* options,
                                     void* replyBuffer, std::uint32_t replySize,
                                     std::uint32_t timeoutMs)
{
    if (replySize < sizeof(IcmpEchoReply) + requestSize) {
        m_lastError = IpBufTooSmall;
        return 0;
    }
    in_addr address{destination};
    // One echo, numeric, waiting as long as asked (iputils takes fractions of a second).
    QStringList arguments{QStringLiteral("-n"),
                          QStringLiteral("-c"),
                          QStringLiteral("1"),
                          QStringLiteral("-s"),
                          QString::number(requestSize),
                          QStringLiteral("-W"),
                          QString::number(std::max<std::uint32_t>(timeoutMs, 1) / 1000.0, 'f', 3)};
    if (options) {
        if (options->Ttl != 0)
            arguments << QStringLiteral("-t") << QString::number(options->Ttl);
        if (options->Flags & IpFlagDf)
            arguments << QStringLiteral("-M") << QStringLiteral("do");
    }
    arguments << QString::fromLatin1(inet_ntoa(address));

    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    tool.setProcessEnvironment(environment);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(m_program, arguments);
    // The tool keeps its own limit; ours only stops a tool that hangs.
    if (!tool.waitForFinished(static_cast<int>(timeoutMs) + 5000)) {
        tool.kill();
        tool.waitForFinished(1000);
        m_lastError = tool.error() == QProcess::FailedToStart ? IpGeneralFailure : IpReqTimedOut;
        return 0;
    }
    const ToolPingReply parsed = ParseToolPingOutput(QString::fromLocal8Bit(tool.readAll()));

    IcmpEchoReply reply{};
    reply.Address = parsed.Address;
    reply.Status = parsed.Status;
    if (!parsed.Answered) {
        std::memcpy(replyBuffer, &reply, sizeof reply);
        m_lastError = parsed.Status;
        return parsed.Status == IpReqTimedOut ? 0 : 1;
    }
    reply.RoundTripTime = parsed.RoundTripTime;
    reply.DataSize = requestSize;
    reply.Data = sizeof(IcmpEchoReply);
    reply.Options.Ttl = parsed.Ttl;
    std::memcpy(replyBuffer, &reply, sizeof reply);
    std::memcpy(static_cast<std::uint8_t*>(replyBuffer) + sizeof reply, requestData, requestSize);
    m_lastError = IpSuccess;
    return 1;
}
