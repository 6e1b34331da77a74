#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// What names this machine to its user, for the texts of a skin. Each is a system call, not a
// file: cheap enough for the window's thread.
struct MachineIdentity
{
    QString HostName;      // "workstation"
    QString KernelRelease; // "6.1.0-27-amd64"

    static MachineIdentity OfThisMachine();
};

// Seconds since the machine started, the time it slept included.
std::optional<std::int64_t> UptimeSeconds();

// The address of the first interface that is up and not the loopback: its IPv4 address, else
// its first global IPv6 address; empty without one.
QString PrimaryInterfaceAddress();
