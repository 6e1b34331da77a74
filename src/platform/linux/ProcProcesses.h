#pragma once

#include "platform/Processes.h"
#include "platform/linux/ProcStats.h"

#include <QString>
#include <string_view>
#include <vector>

// Reads every process's name and times from <root>/<pid>/stat and the machine's time from
// <root>/stat. Each stat file is opened anew (holding hundreds open would cost as many
// descriptors), without blocking, regular files only and at most MaxStatSize bytes. A process
// that ends between the listing and its read is left out.
class ProcProcesses : public ProcessSource
{
public:
    // A real line is some 300 bytes, its name at most 15.
    static constexpr size_t MaxStatSize = 4096;
    static constexpr size_t MaxNameBytes = 64;
    // Twice the kernel's default range of pids (32768) and far beyond what even a large machine
    // runs: it only keeps a forged tree of endless entries finite.
    static constexpr size_t MaxProcesses = 65536;

    explicit ProcProcesses(const QString& root = QStringLiteral("/proc"));

    // /proc, or the tree PULSMIR_PROCFS names (the end-to-end tests' machines).
    static QString RootFromEnvironment();

    void Read(ProcessSnapshot& snapshot) override;

private:
    std::string m_root;
    ProcFile m_stat;
    std::vector<CpuTimes> m_cpus;
    std::vector<char> m_buffer;
};

// The fields of a "stat" line the shares need. The name lies between the first '(' and the
// last ')', since it may itself hold parentheses, blanks and line breaks.
bool ParseProcessStat(std::string_view text, ProcessTimes& process);
