#pragma once

// Process-wide controls of the operating system.

// High or normal scheduling priority for the whole process; false when refused (raising the
// priority usually is, for a normal user).
bool SetProcessHighPriority(bool high);

// Asks to be shut down first among applications when the session ends. Linux has no such
// order, so this reports failure and the caller logs it.
bool SetShutdownFirst();

// Whether the network stack can hand out a TCP socket (the start-up network check).
bool CanCreateTcpSocket();

// Hands memory the allocator keeps after frees (a skin change drops megabytes of decoded
// pictures) back to the system.
void ReturnFreedMemory();
