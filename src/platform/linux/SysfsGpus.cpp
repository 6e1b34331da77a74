#include "platform/linux/SysfsGpus.h"

#include "platform/linux/EngineBusyCounter.h"
#include "platform/linux/NvmlGpus.h"
#include "platform/linux/SysfsValues.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

// "0000:03:00.0": the name of a device on the PCI bus, which stays across boots.
bool IsPciAddress(const QString& name)
{
    return name.size() == 12 && name[4] == u':' && name[7] == u':' && name[10] == u'.';
}

QString VendorName(const QString& id)
{
    if (id == u"0x1002")
        return QStringLiteral("AMD");
    if (id == u"0x8086")
        return QStringLiteral("Intel");
    if (id == u"0x10de")
        return QStringLiteral("NVIDIA");
    return id;
}

} // namespace

GpuRoots GpuRoots::Under(const QString& sys)
{
    GpuRoots roots;
    roots.Drm = sys + QStringLiteral("/class/drm");
    roots.PciDevices = sys + QStringLiteral("/bus/pci/devices");
    roots.EventSources = sys + QStringLiteral("/bus/event_source/devices");
    return roots;
}

GpuRoots GpuRoots::FromEnvironment()
{
    const QString sys = qEnvironmentVariable("PULSMIR_SYSFS");
    return sys.isEmpty() ? GpuRoots() : Under(sys);
}

// One card and the files it is read from, found at its first reading awake.
struct SysfsGpus::Card
{
    Card(const QString& cardFolder, const QString& device, GpuReading info, const GpuRoots& roots)
        : CardFolder(cardFolder), Device(device), Info(std::move(info)),
          EventSources(roots.EventSources), Hold(roots.FileHold),
          Status(device + QStringLiteral("/power/runtime_status"), 64, Hold, MaxSysfsFileSize)
    {}

    // Reads the card's runtime power state, the one file of a sleeping card that may be read.
    bool Suspended()
    {
        Sleeping = ReadsSuspended(Status);
        return Sleeping;
    }

    std::unique_ptr<ProcFile> File(const QString& path) const
    {
        if (!QFileInfo::exists(path))
            return nullptr;
        return std::make_unique<ProcFile>(path, 64, Hold, MaxSysfsFileSize);
    }

    void Probe()
    {
        Probed = true;
        Info.Model.clear();
        Info.LoadKind.clear();
        for (std::unique_ptr<ProcFile>* file :
             {&Busy, &ActFreq, &MaxFreq, &VramUsed, &VramTotal, &Temperature, &Fan, &Power})
            file->reset();
        Engine.reset();
        const QString vendor = ReadSysfsLine(Device + QStringLiteral("/vendor"));
        const QString device = ReadSysfsLine(Device + QStringLiteral("/device"));
        if (!vendor.isEmpty())
            Info.Model = device.isEmpty() ? VendorName(vendor) : VendorName(vendor) + u' ' + device;
        Busy = File(Device + QStringLiteral("/gpu_busy_percent"));
        if (Busy) {
            Info.LoadKind = QStringLiteral("busy");
        } else if (Info.Driver == u"i915" && CountEngine()) {
            Info.LoadKind = QStringLiteral("engine busy");
        } else {
            // i915 keeps the frequencies beside the card, xe under each tile's graphics tile.
            ActFreq = File(CardFolder + QStringLiteral("/gt_act_freq_mhz"));
            MaxFreq = File(CardFolder + QStringLiteral("/gt_max_freq_mhz"));
            if (!ActFreq || !MaxFreq) {
                const QString freq = Device + QStringLiteral("/tile0/gt0/freq0/");
                ActFreq = File(freq + QStringLiteral("act_freq"));
                MaxFreq = File(freq + QStringLiteral("max_freq"));
            }
            if (ActFreq && MaxFreq)
                Info.LoadKind = QStringLiteral("frequency");
        }
        VramUsed = File(Device + QStringLiteral("/mem_info_vram_used"));
        VramTotal = File(Device + QStringLiteral("/mem_info_vram_total"));
        const QStringList hwmons =
            NumberedEntries(Device + QStringLiteral("/hwmon"), QStringLiteral("hwmon"));
        if (!hwmons.isEmpty()) {
            const QString hwmon = Device + QStringLiteral("/hwmon/") + hwmons.first() + u'/';
            Temperature = File(hwmon + QStringLiteral("temp1_input"));
            Fan = File(hwmon + QStringLiteral("fan1_input"));
            Power = File(hwmon + QStringLiteral("power1_average"));
            if (!Power)
                Power = File(hwmon + QStringLiteral("power1_input"));
        }
    }

    // The render engine's busy time, from the unit of this card ("i915_0000_03_00.0" for a
    // discrete one) or of the integrated card ("i915").
    bool CountEngine()
    {
        const QString address = Info.Id.section(u'/', 1).replace(u':', u'_');
        for (const QString& unit : {QStringLiteral("i915_") + address, QStringLiteral("i915")}) {
            const QString folder = EventSources + u'/' + unit;
            if (!QFileInfo::exists(folder))
                continue;
            auto counter = std::make_unique<EngineBusyCounter>(folder, QStringLiteral("rcs0-busy"));
            if (counter->Counting())
                Engine = std::move(counter);
            break;
        }
        return Engine != nullptr;
    }

    // Reads what the card offers; false when a file it had failed.
    bool Read(GpuReading& reading)
    {
        if (Suspended()) {
            reading = Info; // what was learnt while it was awake
            reading.Asleep = true;
            reading.LoadKind.clear();
            return true;
        }
        if (!Probed)
            Probe();
        reading = Info;
        bool whole = true;
        const auto read = [&](const std::unique_ptr<ProcFile>& file) -> std::optional<double> {
            if (!file)
                return std::nullopt;
            const std::optional<double> value = ReadSysfsNumber(*file);
            whole = whole && value;
            return value;
        };
        if (Busy) {
            reading.LoadPercent = read(Busy);
        } else if (Engine) {
            // Busy time counted across a short idle stretch may run a hair past the clock's.
            if (const auto busy = Engine->Read())
                reading.LoadPercent = std::min(*busy, 100.0);
        } else if (ActFreq && MaxFreq) {
            const std::optional<double> actual = read(ActFreq), highest = read(MaxFreq);
            if (actual && highest && *highest > 0)
                reading.LoadPercent = *actual * 100 / *highest;
        }
        reading.MemoryUsedBytes = read(VramUsed);
        reading.MemoryTotalBytes = read(VramTotal);
        if (const auto milli = read(Temperature))
            reading.Celsius = *milli / 1000;
        reading.FanRpm = read(Fan);
        if (const auto micro = read(Power))
            reading.PowerWatts = *micro / 1e6;
        return whole;
    }

    QString CardFolder, Device;
    GpuReading Info;
    QString EventSources;
    ProcFile::Hold Hold;
    ProcFile Status;
    bool Sleeping = false;
    bool Probed = false;
    std::unique_ptr<ProcFile> Busy, ActFreq, MaxFreq, VramUsed, VramTotal, Temperature, Fan, Power;
    std::unique_ptr<EngineBusyCounter> Engine;
};

SysfsGpus::SysfsGpus(GpuRoots roots) : m_roots(std::move(roots))
{}

SysfsGpus::~SysfsGpus() = default;

void SysfsGpus::Scan()
{
    // A card found again keeps what it holds: its open files, its engine's count.
    std::vector<std::unique_ptr<Card>> known = std::move(m_cards);
    m_cards.clear();
    m_nvidiaCards.clear();
    for (const QString& entry : NumberedEntries(m_roots.Drm, QStringLiteral("card"))) {
        if (entry.contains(u'-')) // a connector ("card0-DP-1"), not a card
            continue;
        const QString folder = m_roots.Drm + u'/' + entry;
        const QString device = folder + QStringLiteral("/device");
        const QString driver = LinkName(device + QStringLiteral("/driver"));
        const QString address = QFileInfo(device).canonicalFilePath().section(u'/', -1);
        // NVIDIA's cards are read through its library; a firmware frame buffer is no card.
        if (driver.isEmpty() || driver == u"nvidia" || !IsPciAddress(address))
            continue;
        GpuReading info;
        info.Id = driver + u'/' + address;
        info.Driver = driver;
        const auto same = std::find_if(known.begin(), known.end(), [&](const auto& card) {
            return card && card->Info.Id == info.Id && card->CardFolder == folder;
        });
        m_cards.push_back(same != known.end()
                              ? std::move(*same)
                              : std::make_unique<Card>(folder, device, info, m_roots));
    }
    const QStringList devices =
        QDir(m_roots.PciDevices)
            .entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& address : devices) {
        const QString device = m_roots.PciDevices + u'/' + address;
        if (LinkName(device + QStringLiteral("/driver")) != u"nvidia")
            continue;
        GpuReading info;
        info.Id = QStringLiteral("nvidia/") + address;
        info.Driver = QStringLiteral("nvidia");
        m_nvidiaCards.push_back(std::make_unique<Card>(device, device, info, m_roots));
    }
}

std::vector<GpuReading> SysfsGpus::ReadGpus()
{
    if (--m_readsUntilRescan < 0) {
        Scan();
        m_readsUntilRescan = RescanEvery - 1;
    }
    std::vector<GpuReading> gpus(m_cards.size());
    for (size_t i = 0; i < m_cards.size(); ++i) {
        if (!m_cards[i]->Read(gpus[i])) {
            m_cards[i]->Probed = false; // its files are looked for again
            m_readsUntilRescan = 0;
        }
    }
    ReadNvidia(gpus);
    return gpus;
}

void SysfsGpus::ReadNvidia(std::vector<GpuReading>& gpus)
{
    if (m_nvidiaCards.empty())
        return;
    // The library opens every card it serves at its start: with one asleep, it is not asked
    // at all. Where the driver may suspend a card, the library is closed again after each
    // reading, since its open handles would keep the card from sleeping.
    bool anyAsleep = false, mayRest = false;
    for (const std::unique_ptr<Card>& card : m_nvidiaCards) {
        if (card->Suspended())
            anyAsleep = true;
        else if (ReadSysfsLine(card->Device + QStringLiteral("/power/control")) == u"auto")
            mayRest = true;
    }
    std::vector<GpuReading> library;
    if (!anyAsleep) {
        if (!m_nvml)
            m_nvml = std::make_unique<NvmlGpus>(m_roots.NvmlLibrary);
        library = m_nvml->Read();
        if (mayRest)
            m_nvml->Close();
    } else if (m_nvml) {
        m_nvml->Close();
    }
    if (!library.empty() && library.size() != m_nvidiaCards.size()) {
        gpus.insert(gpus.end(), library.begin(), library.end());
        return;
    }
    // The library numbers its cards by their PCI addresses, as they are listed here.
    for (size_t i = 0; i < m_nvidiaCards.size(); ++i) {
        const Card& card = *m_nvidiaCards[i];
        GpuReading reading = library.empty() ? card.Info : library[i];
        reading.Id = card.Info.Id;
        reading.Asleep = card.Sleeping;
        gpus.push_back(std::move(reading));
    }
}
