#include "platform/linux/SysBlockDisks.h"

#include <QDir>
#include <algorithm>
#include <cstdio>
#include <tuple>

struct SysBlockDisks::Disk
{
    Disk(const QString& folder, const QString& name)
        : Name(name.toLocal8Bit().toStdString()),
          Stat(folder + u'/' + name + QStringLiteral("/stat"), 256)
    {}

    std::string Name;
    unsigned Major = 0;
    unsigned Minor = 0;
    ProcFile Stat;
};

SysBlockDisks::SysBlockDisks(const QString& blockFolder) : m_folder(blockFolder)
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
        DiskStats stats;
        if (!disk->Stat.Read() || !ParseBlockStat(disk->Stat.Text(), stats)) {
            m_readsUntilRescan = 0; // gone, most likely: look again next time
            continue;
        }
        std::snprintf(stats.Name, sizeof(stats.Name), "%s", disk->Name.c_str());
        disks.push_back(stats);
    }
    return true;
}

bool SysBlockDisks::Rescan()
{
    const QDir folder(m_folder);
    if (!folder.exists())
        return false;
    std::vector<std::unique_ptr<Disk>> found;
    const QStringList names = folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& name : names) {
        const QByteArray local = name.toLocal8Bit();
        if (!IsWholeDisk(std::string_view(local.constData(), size_t(local.size()))))
            continue;
        ProcFile dev(m_folder + u'/' + name + QStringLiteral("/dev"), 64);
        unsigned major = 0, minor = 0;
        if (!dev.Read() ||
            std::sscanf(std::string(dev.Text()).c_str(), "%u:%u", &major, &minor) != 2)
            continue;
        // A disk seen before keeps its open file.
        auto kept = std::find_if(m_disks.begin(), m_disks.end(), [&](const auto& disk) {
            return disk && disk->Name == local.constData();
        });
        std::unique_ptr<Disk> disk =
            kept != m_disks.end() ? std::move(*kept) : std::make_unique<Disk>(m_folder, name);
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
