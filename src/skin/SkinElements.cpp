#include "skin/SkinElements.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

using K = SkinElementKind;
using I = SkinInput;
using S = SkinStage;

constexpr SkinElementRow Rows[] = {
    {K::Meter, MeterCPU, "CPU", S::Base, 0, I::CpuUsage, 0, "CPUDownSpeed"},
    {K::Readout, ReadoutCPU, "CPU", S::Base, 13, I::CpuUsage},
    {K::Meter, MeterMEM, "MEM", S::Base, 1, I::MemoryLoad, 0, "MEMSpeed"},
    {K::Readout, ReadoutMEM, "MEM", S::Base, 14, I::MemoryLoad},
    {K::Meter, MeterSWP, "SWP", S::Base, 2, I::SwapLoad, 0, "SWPSpeed"},
    {K::Readout, ReadoutSWP, "SWP", S::Base, 15, I::SwapLoad},
    {K::Meter, MeterRES, "RES", S::Base, 3, I::FreeResources, 0, "ResSpeed", "ResDelay"},
    {K::Readout, ReadoutRES, "RES", S::Base, 16, I::FreeResources},
    {K::Lamp, LampPNG, "PNG", S::Base, 11, I::PingLevel, 4},
    {K::Lamp, LampPNGING, "PNGING", S::Base, 12, I::Pinging, 2},
    {K::Readout, ReadoutPNG, "PNG", S::Base, 17, I::PingTime},
    {K::Lamp, LampDR, "DR", S::Base, 4, I::DiskReadActive, 2},
    {K::Lamp, LampDW, "DW", S::Base, 5, I::DiskWriteActive, 2},
    {K::Lamp, LampDRW, "DRW", S::Base, 6, I::DiskActive, 2},
    {K::Lamp, LampNTrans, "NTrans", S::Base, 7, I::NetXactActive, 2},
    {K::Lamp, LampNIn, "NIn", S::Base, 8, I::NetRecvActive, 2},
    {K::Lamp, LampNOut, "NOut", S::Base, 9, I::NetSendActive, 2},
    {K::Lamp, LampNIO, "NIO", S::Base, 10, I::NetActive, 2},
    {K::Graph, GraphCPU, "CPUGrp", S::Base, 18, I::CpuHistory},
    {K::Graph, GraphMEM, "MEMGrp", S::Base, 19, I::MemHistory},
    {K::Graph, GraphSwap, "SwapGrp", S::Base, 20, I::SwapHistory},
    {K::Graph, GraphDiskR, "DiskRGrp", S::Base, 21, I::DiskReadHistory},
    {K::Graph, GraphDiskW, "DiskWGrp", S::Base, 22, I::DiskWriteHistory},
    {K::Graph, GraphNetI, "NetIGrp", S::Base, 23, I::NetRecvHistory},
    {K::Graph, GraphNetO, "NetOGrp", S::Base, 24, I::NetSendHistory},
    {K::Meter, MeterDRM, "DRM", S::Throughput, 25, I::DiskReadPos, 0, "DRMDownSpeed"},
    {K::Meter, MeterDWM, "DWM", S::Throughput, 26, I::DiskWritePos, 0, "DWMDownSpeed"},
    {K::Meter, MeterNInM, "NInM", S::Throughput, 27, I::NetRecvPos, 0, "NInMDownSpeed"},
    {K::Meter, MeterNOutM, "NOutM", S::Throughput, 28, I::NetSendPos, 0, "NOutMDownSpeed"},
    {K::Meter, MeterTMP, "TMP", S::Sensor, 29, I::TempPos, 0, "TMPSpeed"},
    {K::Readout, ReadoutTMP, "TMP", S::Sensor, 34, I::Temperature},
    {K::Meter, MeterBAT, "BAT", S::Sensor, 30, I::BatteryPercent, 0, "BATSpeed"},
    {K::Readout, ReadoutBAT, "BAT", S::Sensor, 35, I::BatteryPercent},
    {K::Meter, MeterDSK, "DSK", S::Sensor, 31, I::DiskSpacePercent, 0, "DSKSpeed"},
    {K::Readout, ReadoutDSK, "DSK", S::Sensor, 36, I::DiskSpacePercent},
    {K::Lamp, LampTMPALM, "TMPALM", S::Sensor, 32, I::TempAlarm, 2},
    {K::Lamp, LampBATCHG, "BATCHG", S::Sensor, 33, I::BatteryCharging, 2},
    {K::Graph, GraphTemp, "TempGrp", S::Sensor, 37, I::TempHistory},
    {K::Graph, GraphBatt, "BattGrp", S::Sensor, 38, I::BatteryHistory},
    {K::Meter, MeterGPU, "GPU", S::Machine, 39, I::GpuLoad, 0, "GPUSpeed"},
    {K::Readout, ReadoutGPU, "GPU", S::Machine, 43, I::GpuLoad},
    {K::Meter, MeterGPUMEM, "GPUMEM", S::Machine, 40, I::GpuMemoryLoad, 0, "GPUMEMSpeed"},
    {K::Readout, ReadoutGPUMEM, "GPUMEM", S::Machine, 44, I::GpuMemoryLoad},
    {K::Meter, MeterGPUTMP, "GPUTMP", S::Machine, 41, I::GpuTempPos, 0, "GPUTMPSpeed"},
    {K::Readout, ReadoutGPUTMP, "GPUTMP", S::Machine, 45, I::GpuTemperature},
    {K::Meter, MeterFAN, "FAN", S::Machine, 42, I::FanPos, 0, "FANSpeed"},
    {K::Readout, ReadoutFAN, "FAN", S::Machine, 46, I::FanRpm},
    {K::Graph, GraphGpu, "GpuGrp", S::Machine, 47, I::GpuHistory},
    {K::Graph, GraphGpuMem, "GpuMemGrp", S::Machine, 48, I::GpuMemHistory},
    // Texts come last, so that they are drawn over everything else.
    {K::Text, 0, "Text1", S::Machine, 49, I::Text},
    {K::Text, 1, "Text2", S::Machine, 50, I::Text},
    {K::Text, 2, "Text3", S::Machine, 51, I::Text},
    {K::Text, 3, "Text4", S::Machine, 52, I::Text},
    {K::Text, 4, "Text5", S::Machine, 53, I::Text},
    {K::Text, 5, "Text6", S::Machine, 54, I::Text},
    {K::Text, 6, "Text7", S::Machine, 55, I::Text},
    {K::Text, 7, "Text8", S::Machine, 56, I::Text},
    {K::Text, 8, "Text9", S::Machine, 57, I::Text},
    {K::Text, 9, "Text10", S::Machine, 58, I::Text},
    {K::Text, 10, "Text11", S::Machine, 59, I::Text},
    {K::Text, 11, "Text12", S::Machine, 60, I::Text},
    {K::Text, 12, "Text13", S::Machine, 61, I::Text},
    {K::Text, 13, "Text14", S::Machine, 62, I::Text},
    {K::Text, 14, "Text15", S::Machine, 63, I::Text},
    {K::Text, 15, "Text16", S::Machine, 64, I::Text},
};

constexpr int CountOf(K kind)
{
    int n = 0;
    for (const SkinElementRow& row : Rows)
        n += row.Kind == kind;
    return n;
}
static_assert(CountOf(K::Meter) == MeterCount && CountOf(K::Lamp) == LampCount &&
                  CountOf(K::Readout) == ReadoutCount && CountOf(K::Graph) == GraphCount &&
                  CountOf(K::Text) == TextCount,
              "every element of the model has its row");

constexpr const char* InputNames[] = {
    "CpuUsage",        "MemoryLoad",     "SwapLoad",        "FreeResources",   "PingTime",
    "PingLevel",       "Pinging",        "DiskReadActive",  "DiskWriteActive", "DiskActive",
    "NetXactActive",   "NetRecvActive",  "NetSendActive",   "NetActive",       "DiskReadPos",
    "DiskWritePos",    "NetRecvPos",     "NetSendPos",      "TempPos",         "Temperature",
    "TempAlarm",       "BatteryPercent", "BatteryCharging", "DiskSpacePercent", "CpuHistory",
    "MemHistory",      "SwapHistory",    "DiskReadHistory", "DiskWriteHistory", "NetRecvHistory",
    "NetSendHistory",  "TempHistory",    "BatteryHistory",  "GpuLoad",         "GpuMemoryLoad",
    "GpuTempPos",      "GpuTemperature", "FanPos",          "FanRpm",          "GpuHistory",
    "GpuMemHistory",   "Text"};
static_assert(std::size(InputNames) == std::size_t(SkinInput::Text) + 1);

constexpr const char* TextValueNames[] = {
    "host",       "kernel",     "uptime",     "time",       "gpu.name",   "temp.name",
    "battery.state", "net.address", "proc1.name", "proc2.name", "proc3.name", "proc4.name",
    "proc5.name", "proc1.share", "proc2.share", "proc3.share", "proc4.share", "proc5.share"};
static_assert(std::size(TextValueNames) == SkinTextValueCount);

struct NumberName
{
    const char* Name;
    SkinInput Input;
};
// The throughputs are their meters' positions, as the measurement core gives no more.
constexpr NumberName NumberNames[] = {
    {"cpu", I::CpuUsage},         {"memory", I::MemoryLoad},      {"swap", I::SwapLoad},
    {"disk.read", I::DiskReadPos}, {"disk.write", I::DiskWritePos}, {"net.recv", I::NetRecvPos},
    {"net.send", I::NetSendPos},   {"ping", I::PingTime},          {"temp", I::Temperature},
    {"battery", I::BatteryPercent}, {"diskspace", I::DiskSpacePercent}, {"gpu.load", I::GpuLoad},
    {"gpu.memory", I::GpuMemoryLoad}, {"gpu.temp", I::GpuTemperature}, {"fan", I::FanRpm}};

} // namespace

std::span<const SkinElementRow> SkinElements()
{
    return Rows;
}

std::span<const SkinElementRow* const> SkinElementsByDrawRank()
{
    static const auto sorted = [] {
        std::array<const SkinElementRow*, std::size(Rows)> rows{};
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = &Rows[i];
        std::stable_sort(rows.begin(), rows.end(),
                         [](const auto* a, const auto* b) { return a->DrawRank < b->DrawRank; });
        return rows;
    }();
    return sorted;
}

const SkinElementRow& SkinElementOf(SkinElementKind kind, int index)
{
    for (const SkinElementRow& row : Rows)
        if (row.Kind == kind && row.Index == index)
            return row;
    throw std::out_of_range("no such skin element");
}

QString SkinElementPrefix(const SkinElementRow& row)
{
    return QString::fromLatin1(row.Prefix);
}

bool SkinElementEnabled(const TSkinModeRecord& mode, const SkinElementRow& row)
{
    const std::size_t i = std::size_t(row.Index);
    switch (row.Kind) {
    case K::Meter:
        return mode.Meters[i].Enabled;
    case K::Lamp:
        return mode.Lamps[i].Enabled;
    case K::Readout:
        return mode.Readouts[i].Enabled;
    case K::Graph:
        return mode.Graphs[i].Enabled;
    case K::Text:
        return mode.Texts[i].Enabled;
    }
    return false;
}

const char* SkinInputName(SkinInput input)
{
    return InputNames[std::size_t(input)];
}

const char* SkinTextValueName(SkinTextValue value)
{
    return TextValueNames[std::size_t(value)];
}

std::optional<SkinTextValue> SkinTextValueNamed(const QString& name)
{
    for (std::size_t i = 0; i < SkinTextValueCount; ++i)
        if (name.compare(QLatin1String(TextValueNames[i]), Qt::CaseInsensitive) == 0)
            return SkinTextValue(i);
    return std::nullopt;
}

std::optional<SkinInput> SkinTextNumberNamed(const QString& name)
{
    for (const NumberName& number : NumberNames)
        if (name.compare(QLatin1String(number.Name), Qt::CaseInsensitive) == 0)
            return number.Input;
    return std::nullopt;
}

QStringList SkinTextNames()
{
    QStringList names;
    for (const NumberName& number : NumberNames)
        names << QString::fromLatin1(number.Name);
    for (const char* name : TextValueNames)
        names << QString::fromLatin1(name);
    return names;
}
