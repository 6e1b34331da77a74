#pragma once

#include "platform/linux/ProcStats.h"

#include <QString>
#include <memory>
#include <string>
#include <vector>

// The counters of the whole disks from sysfs: one small "stat" file per disk, kept open, rather
// than /proc/diskstats, which the kernel builds for every partition, loop and RAM device on each
// read. The folder (normally /sys/block) is looked through again every RescanEvery reads and
// whenever a disk's file fails, so disks that come and go are followed. Disks come in the
// order of their device numbers, as /proc/diskstats lists them.
class SysBlockDisks
{
public:
    static constexpr int RescanEvery = 20;

    explicit SysBlockDisks(const QString& blockFolder);
    ~SysBlockDisks();

    // Fills disks; false when the folder cannot be read, so the caller can fall back.
    bool Read(std::vector<DiskStats>& disks);

private:
    struct Disk;
    bool Rescan();

    QString m_folder;
    std::string m_folderPath;
    std::vector<std::unique_ptr<Disk>> m_disks;
    int m_readsUntilRescan = 0;
    bool m_available = false;
};
