#pragma once

#include <functional>

// Threads that may be held in the kernel for good (a read from a file system that stopped
// answering) and that no one joins. Each keeps what it uses alive itself; the process ends
// without tearing its own objects down under one that still runs.
namespace DetachedThreads {

// Runs `work` on a thread of its own.
void Start(std::function<void()> work);

// For the end of main: waits at most `graceMs` for the threads still running and returns
// `exitCode` when none is left; otherwise ends the process with `exitCode` at once, its
// static objects left as they are.
int Finish(int exitCode, int graceMs);

} // namespace DetachedThreads
