#include "platform/linux/SysBlockDisks.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <tuple>

struct SysBlockDisks::Disk
{
    Disk(const QString& folder, const QString& name)
        : Name(name.toLocal8Bit().toStdString()),
          Stat(folder + u'/' + name + QStringLiteral("/stat"), 256)
    {
        std::snprintf(Counters.Name, sizeof(Counters.Name), "%s", Name.c_str());
    }

    std::string Name;
    DiskStats Counters; // named once; the counters are read into it on every sample
    unsigned Major = 0;
    unsigned Minor = 0;
    ProcFile Stat;
};

SysBlockDisks::SysBlockDisks(const QString& blockFolder)
    : m_folder(blockFolder), m_folderPath(blockFolder.toLocal8Bit().toStdString())
{}

SysBlockDisks::~SysBlockDisks() = default;

bool SysBlockDisks::Read(std::vector<DiskStats>& disks)
{
    if (--m_readsUntilRescan < 0) {
        m_available = Rescan();
        m_readsUntilRescan = RescanEvery - 1;
    }
    if (!m_available)
        return false;
    disks.clear();
    for (const std::unique_ptr<Disk>& disk : m_disks) {
        if (!disk->Stat.Read() || !ParseBlockStat(disk->Stat.Text(), disk->Counters)) {
            m_readsUntilRescan = 0; // gone, most likely: look again next time
            continue;
        }
        disks.push_back(disk->Counters);
    }
    return true;
}

bool SysBlockDisks::Rescan()
{
    // Plain readdir: this runs every second, and a QDir listing costs more than the samples.
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(m_folderPath.c_str()), ::closedir);
    if (!folder)
        return false;
    std::vector<std::unique_ptr<Disk>> found;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string_view name(entry->d_name);
        if (name.front() == '.' || !IsWholeDisk(name))
            continue;
        const QString qname = QString::fromLocal8Bit(name.data(), qsizetype(name.size()));
        ProcFile dev(m_folder + u'/' + qname + QStringLiteral("/dev"), 64);
        unsigned major = 0, minor = 0;
        if (!dev.Read() ||
            std::sscanf(std::string(dev.Text()).c_str(), "%u:%u", &major, &minor) != 2)
            continue;
        // A disk seen before keeps its open file.
        auto kept = std::find_if(m_disks.begin(), m_disks.end(),
                                 [&](const auto& disk) { return disk && disk->Name == name; });
        std::unique_ptr<Disk> disk =
            kept != m_disks.end() ? std::move(*kept) : std::make_unique<Disk>(m_folder, qname);
        disk->Major = major;
        disk->Minor = minor;
        found.push_back(std::move(disk));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::tie(a->Major, a->Minor, a->Name) < std::tie(b->Major, b->Minor, b->Name);
    });
    m_disks = std::move(found);
    return true;
}
