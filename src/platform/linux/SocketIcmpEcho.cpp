#include "platform/linux/SocketIcmpEcho.h"

#include "platform/linux/ToolIcmpEcho.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace IcmpLayout;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t EchoReplyType = 0;
constexpr std::uint8_t UnreachableType = 3;
constexpr std::uint8_t SourceQuenchType = 4;
constexpr std::uint8_t EchoRequestType = 8;
constexpr std::uint8_t TimeExceededType = 11;
constexpr std::uint8_t ParameterProblemType = 12;
constexpr std::size_t IcmpHeaderSize = 8;
constexpr std::size_t MaxPacket = 65536;

std::uint16_t ReadU16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

std::uint16_t Checksum(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        sum += ReadU16(data + i);
    if (size % 2)
        sum += static_cast<std::uint32_t>(data[size - 1]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

std::uint32_t StatusOfIcmpError(std::uint8_t type, std::uint8_t code)
{
    switch (type) {
    case UnreachableType:
        switch (code) {
        case 0:
            return IpDestNetUnreachable;
        case 2:
            return IpDestProtUnreachable;
        case 3:
            return IpDestPortUnreachable;
        case 4:
            return IpPacketTooBig;
        default:
            return IpDestHostUnreachable;
        }
    case SourceQuenchType:
        return IpSourceQuench;
    case TimeExceededType:
        return code == 0 ? IpTtlExpiredTransit : IpTtlExpiredReassem;
    case ParameterProblemType:
        return IpParamProblem;
    default:
        return IpGeneralFailure;
    }
}

std::uint32_t StatusOfErrno(int error)
{
    switch (error) {
    case ENETUNREACH:
        return IpDestNetUnreachable;
    case EHOSTUNREACH:
        return IpDestHostUnreachable;
    case EMSGSIZE:
        return IpPacketTooBig;
    case EACCES:
    case EPERM:
    case EADDRNOTAVAIL:
        return IpBadDestination;
    case ENOBUFS:
    case ENOMEM:
        return IpNoResources;
    default:
        return IpGeneralFailure;
    }
}

std::string SystemText(int error)
{
    return std::strerror(error);
}

} // namespace

std::unique_ptr<IcmpEcho> OpenIcmpEcho(IcmpSocketKind kind)
{
    try {
        return SocketIcmpEcho::Open(kind);
    } catch (const IcmpOpenError& error) {
        if (kind != IcmpSocketKind::Any)
            throw;
        // The system's ping tool may hold the right to send echoes that this process lacks.
        if (std::unique_ptr<ToolIcmpEcho> tool = ToolIcmpEcho::Find())
            return tool;
        throw IcmpOpenError(error.what() + std::string(", and no ping tool (iputils-ping)"));
    }
}

std::unique_ptr<SocketIcmpEcho> SocketIcmpEcho::Open(IcmpSocketKind kind)
{
    std::string datagramFailure, rawFailure;
    if (kind != IcmpSocketKind::Raw) {
        UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
        sockaddr_in local{};
        local.sin_family = AF_INET;
        socklen_t length = sizeof local;
        const int on = 1;
        // Binding to port 0 makes the kernel choose the identifier now, so we can read it.
        if (fd.Valid() &&
            ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
            ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
            ::setsockopt(fd.Get(), SOL_IP, IP_RECVERR, &on, sizeof on) == 0 &&
            ::setsockopt(fd.Get(), SOL_IP, IP_RECVTTL, &on, sizeof on) == 0)
            return std::unique_ptr<SocketIcmpEcho>(
                new SocketIcmpEcho(std::move(fd), IcmpSocketKind::Datagram, ntohs(local.sin_port)));
        datagramFailure = SystemText(errno);
    }
    if (kind != IcmpSocketKind::Datagram) {
        UniqueFd fd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
        // Only echo replies and the errors that may answer an echo reach us.
        icmp_filter filter{~((1u << EchoReplyType) | (1u << UnreachableType) |
                             (1u << SourceQuenchType) | (1u << TimeExceededType) |
                             (1u << ParameterProblemType))};
        if (fd.Valid() &&
            ::setsockopt(fd.Get(), SOL_RAW, ICMP_FILTER, &filter, sizeof filter) == 0) {
            // Distinct per handle, so two handles of one process never take each other's replies.
            static std::atomic<std::uint16_t> nextIdentifier{
                static_cast<std::uint16_t>(::getpid())};
            return std::unique_ptr<SocketIcmpEcho>(
                new SocketIcmpEcho(std::move(fd), IcmpSocketKind::Raw, nextIdentifier++));
        }
        rawFailure = SystemText(errno);
    }
    std::string text;
    if (!datagramFailure.empty())
        text = "no ICMP datagram socket (" + datagramFailure +
               "; the process's group must lie in net.ipv4.ping_group_range)";
    if (!rawFailure.empty())
        text += (text.empty() ? "" : " and ") + std::string("no raw ICMP socket (") + rawFailure +
                "; needs CAP_NET_RAW)";
    throw IcmpOpenError(text);
}

SocketIcmpEcho::SocketIcmpEcho(UniqueFd socket, IcmpSocketKind kind, std::uint16_t identifier)
    : m_socket(std::move(socket)), m_kind(kind), m_identifier(identifier), m_packet(MaxPacket)
{}

std::uint32_t SocketIcmpEcho::Fail(std::uint32_t error)
{
    m_lastError = error;
    return 0;
}

bool SocketIcmpEcho::ApplyOptions(const IpOptionInformation* options)
{
    const int ttl = options && options->Ttl ? options->Ttl : 64;
    const int tos = options ? options->Tos : 0;
    const int discover = options && (options->Flags & IpFlagDf) ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
    return ::setsockopt(m_socket.Get(), SOL_IP, IP_TTL, &ttl, sizeof ttl) == 0 &&
           ::setsockopt(m_socket.Get(), SOL_IP, IP_TOS, &tos, sizeof tos) == 0 &&
           ::setsockopt(m_socket.Get(), SOL_IP, IP_MTU_DISCOVER, &discover, sizeof discover) == 0;
}

std::uint32_t SocketIcmpEcho::SendEcho(std::uint32_t destination, const void* requestData,
                                       std::uint16_t requestSize,
                                       const IpOptionInformation* options, void* replyBuffer,
                                       std::uint32_t replySize, std::uint32_t timeoutMs)
{
    if (!replyBuffer || replySize < sizeof(IcmpEchoReply) + requestSize)
        return Fail(IpBufTooSmall);
    if (requestSize > 0 && !requestData)
        return Fail(IpGeneralFailure);
    auto* reply = static_cast<IcmpEchoReply*>(replyBuffer);
    std::memset(reply, 0, sizeof *reply);
    if (destination == INADDR_NONE || destination == INADDR_ANY)
        return Fail(reply->Status = IpBadDestination);
    if (options && options->OptionsSize > 0) // IP options are not carried
        return Fail(reply->Status = IpBadOption);
    if (!ApplyOptions(options))
        return Fail(reply->Status = IpGeneralFailure);

    const std::uint16_t sequence = ++m_sequence;
    std::vector<std::uint8_t> request(IcmpHeaderSize + requestSize);
    request[0] = EchoRequestType;
    request[4] = static_cast<std::uint8_t>(m_identifier >> 8);
    request[5] = static_cast<std::uint8_t>(m_identifier);
    request[6] = static_cast<std::uint8_t>(sequence >> 8);
    request[7] = static_cast<std::uint8_t>(sequence);
    if (requestSize > 0)
        std::memcpy(request.data() + IcmpHeaderSize, requestData, requestSize);
    const std::uint16_t sum = Checksum(request.data(), request.size());
    request[2] = static_cast<std::uint8_t>(sum >> 8);
    request[3] = static_cast<std::uint8_t>(sum);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    const Clock::time_point start = Clock::now();
    if (::sendto(m_socket.Get(), request.data(), request.size(), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
        return Fail(reply->Status = StatusOfErrno(errno));

    const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto remaining =
            std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        if (remaining.count() <= 0)
            break;
        const timespec wait{static_cast<time_t>(remaining.count() / 1000000000),
                            static_cast<long>(remaining.count() % 1000000000)};
        pollfd watch{m_socket.Get(), POLLIN, 0};
        const int ready = ::ppoll(&watch, 1, &wait, nullptr);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Fail(reply->Status = IpGeneralFailure);
        if (ready == 0)
            break;
        const Match match =
            (watch.revents & POLLERR) ? ReadError(sequence) : ReadPacket(destination, sequence);
        if (!match.Found)
            continue;
        const std::size_t dataSize =
            std::min<std::size_t>(match.DataSize, replySize - sizeof(IcmpEchoReply));
        reply->Address = match.Source;
        reply->Status = match.Status;
        reply->RoundTripTime = static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        reply->DataSize = static_cast<std::uint16_t>(dataSize);
        reply->Data = dataSize > 0 ? sizeof(IcmpEchoReply) : 0;
        reply->Options.Ttl = m_replyTtl;
        if (dataSize > 0)
            std::memcpy(reply + 1, match.Data, dataSize);
        m_lastError = match.Status;
        return 1;
    }
    return Fail(reply->Status = IpReqTimedOut);
}

SocketIcmpEcho::Match SocketIcmpEcho::ReadPacket(std::uint32_t destination, std::uint16_t sequence)
{
    Match match;
    sockaddr_in from{};
    iovec part{m_packet.data(), m_packet.size()};
    alignas(cmsghdr) char control[64];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t received = ::recvmsg(m_socket.Get(), &message, MSG_DONTWAIT);
    if (received <= 0)
        return match;
    const std::uint8_t* packet = m_packet.data();
    std::size_t size = static_cast<std::size_t>(received);
    m_replyTtl = 0;

    if (m_kind == IcmpSocketKind::Raw) {
        // A raw socket gets the IP header too.
        if (size < 20)
            return match;
        const std::size_t headerSize = (packet[0] & 0x0F) * 4u;
        if (headerSize < 20 || size < headerSize + IcmpHeaderSize || packet[9] != IPPROTO_ICMP)
            return match;
        m_replyTtl = packet[8];
        packet += headerSize;
        size -= headerSize;
    } else {
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
            if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL) {
                int ttl = 0;
                std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
                m_replyTtl = static_cast<std::uint8_t>(ttl);
            }
        if (size < IcmpHeaderSize)
            return match;
    }

    const std::uint8_t type = packet[0];
    if (type == EchoReplyType) {
        if (ReadU16(packet + 4) != m_identifier || ReadU16(packet + 6) != sequence)
            return match;
        match.Found = true;
        match.Source = from.sin_addr.s_addr;
        match.Status = IpSuccess;
        match.Data = packet + IcmpHeaderSize;
        match.DataSize = size - IcmpHeaderSize;
        return match;
    }
    if (m_kind != IcmpSocketKind::Raw)
        return match;
    // An ICMP error quotes the IP header and the first 8 bytes of the request it answers.
    const std::uint8_t* quoted = packet + IcmpHeaderSize;
    const std::size_t quotedSize = size - IcmpHeaderSize;
    if (quotedSize < 20)
        return match;
    const std::size_t quotedHeader = (quoted[0] & 0x0F) * 4u;
    if (quotedHeader < 20 || quotedSize < quotedHeader + IcmpHeaderSize ||
        quoted[9] != IPPROTO_ICMP)
        return match;
    std::uint32_t quotedDestination;
    std::memcpy(&quotedDestination, quoted + 16, 4);
    const std::uint8_t* quotedIcmp = quoted + quotedHeader;
    if (quotedDestination != destination || quotedIcmp[0] != EchoRequestType ||
        ReadU16(quotedIcmp + 4) != m_identifier || ReadU16(quotedIcmp + 6) != sequence)
        return match;
    match.Found = true;
    match.Source = from.sin_addr.s_addr;
    match.Status = StatusOfIcmpError(type, packet[1]);
    return match;
}

SocketIcmpEcho::Match SocketIcmpEcho::ReadError(std::uint16_t sequence)
{
    Match match;
    std::uint8_t quoted[64];
    iovec part{quoted, sizeof quoted};
    alignas(cmsghdr) char control[256];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t received = ::recvmsg(m_socket.Get(), &message, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (received < 0) {
        // Not from the queue: clear the pending socket error so the wait does not spin.
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(m_socket.Get(), SOL_SOCKET, SO_ERROR, &error, &length);
        return match;
    }
    m_replyTtl = 0;
    // The queue gives back our own request; its sequence says which echo failed.
    if (received < static_cast<ssize_t>(IcmpHeaderSize) || ReadU16(quoted + 6) != sequence)
        return match;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR)
            continue;
        sock_extended_err error;
        std::memcpy(&error, CMSG_DATA(c), sizeof error);
        match.Found = true;
        match.Status = error.ee_origin == SO_EE_ORIGIN_ICMP
                           ? StatusOfIcmpError(error.ee_type, error.ee_code)
                           : StatusOfErrno(static_cast<int>(error.ee_errno));
        sockaddr_in offender;
        std::memcpy(&offender, reinterpret_cast<const unsigned char*>(CMSG_DATA(c)) + sizeof error,
                    sizeof offender);
        if (offender.sin_family == AF_INET)
            match.Source = offender.sin_addr.s_addr;
    }
    return match;
}
