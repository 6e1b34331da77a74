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

// Keeps large blocks (decoded pictures, surfaces) out of the heap for the whole run. The
// allocator otherwise raises its threshold after the first large free, and the next skin's
// pictures land in the heap, which keeps them after they are freed.
void KeepLargeBlocksOutOfTheHeap();
