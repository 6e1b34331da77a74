#pragma once

#include <QString>
#include <cstdint>

// The fixed full scales of the disk and network meters, by range index; 0 is automatic and
// 99 the custom value. An index that is neither listed nor 0 or 99 gives a full scale of 1.
struct SpeedRangeEntry
{
    std::int64_t BytesPerSecond;
    const char* ListText; // as the speed range dialog lists it
    const char* Label;    // as the options dialog shows the chosen one
};

inline constexpr int AutomaticRange = 0;
inline constexpr int CustomRange = 99;

inline constexpr SpeedRangeEntry DiskRanges[] = {
    {786'432'000, "Serial ATA/6000 6Gbps (750MB/sec)", "750MB/sec"},
    {398'458'880, "Serial ATA/3000 3Gbps (380MB/sec)", "380MB/sec"},
    {199'229'440, "Serial ATA/1500 1.5Gbps (190MB/sec)", "190MB/sec"},
    {139'460'608, "ATA/133 (133MB/sec)", "133MB/sec"},
    {104'857'600, "ATA/100 (100MB/sec)", "100MB/sec"},
    {69'206'016, "ATA/66 (66MB/sec)", "66MB/sec"},
    {34'603'008, "ATA (33MB/sec)", "33MB/sec"},
    {671'088'640, "Ultra640 SCSI (640MB/sec)", "640MB/sec"},
    {335'544'320, "Ultra320 SCSI (320MB/sec)", "320MB/sec"},
    {167'772'160, "Ultra160 SCSI (160MB/sec)", "160MB/sec"},
    {83'886'080, "Ultra2 Wide SCSI (80MB/sec)", "80MB/sec"},
    {41'943'040, "Ultra Wide SCSI (40MB/sec)", "40MB/sec"},
    {20'971'520, "Ultra SCSI/Fast Wide SCSI (20MB/sec)", "20MB/sec"},
    {10'485'760, "Fast SCSI (10MB/sec)", "10MB/sec"},
    {5'242'880, "SCSI-1 (5MB/sec)", "5MB/sec"},
    // Later devices come after the first rows, so that stored codes keep their meaning.
    {3'758'096'384, "NVMe PCIe 3.0 x4 (3.5GB/sec)", "3.5GB/sec"},
    {7'516'192'768, "NVMe PCIe 4.0 x4 (7GB/sec)", "7GB/sec"},
    {15'032'385'536, "NVMe PCIe 5.0 x4 (14GB/sec)", "14GB/sec"},
    {524'288'000, "USB 3.2 Gen 1 5Gbps (500MB/sec)", "500MB/sec"},
    {1'288'490'189, "USB 3.2 Gen 2 10Gbps (1.2GB/sec)", "1.2GB/sec"},
    {2'576'980'378, "USB 3.2 Gen 2x2 20Gbps (2.4GB/sec)", "2.4GB/sec"},
};

inline constexpr SpeedRangeEntry NetworkRanges[] = {
    {1'572'864, "12Mbps (1.5MB/sec)", "1.5MB/sec"},
    {1'048'576, "8Mbps (1MB/sec)", "1MB/sec"},
    {131'072, "1Mbps (128KB/sec)", "128KB/sec"},
    {65'536, "512Kbps (64KB/sec)", "64KB/sec"},
    {16'384, "128Kbps (16KB/sec)", "16KB/sec"},
    {8'192, "64Kbps (8KB/sec)", "8KB/sec"},
    {1'288'490'189, "10GBase-LR (1.2GB/sec)", "1.2GB/sec"},
    {134'217'728, "1000Base-SX/LX/LH/ZX (128MB/sec)", "128MB/sec"},
    {12'582'912, "100Base-T/TX (12MB/sec)", "12MB/sec"},
    {1'258'291, "10Base-T (1.2MB/sec)", "1.2MB/sec"},
    {7'025'459, "Wireless 11g 54Mbps (6.7MB/sec)", "6.7MB/sec"},
    {6'291'456, "Wireless 11g 48Mbps (6MB/sec)", "6MB/sec"},
    {4'194'304, "Wireless 11g 36Mbps (4MB/sec)", "4MB/sec"},
    {3'145'728, "Wireless 11g 24Mbps (3MB/sec)", "3MB/sec"},
    {2'306'867, "Wireless 11g 18Mbps (2.2MB/sec)", "2.2MB/sec"},
    {1'468'006, "Wireless 11b 11Mbps (1.4MB/sec)", "1.4MB/sec"},
    {716'800, "Wireless 11b 5.5Mbps (700KB/sec)", "700KB/sec"},
    {262'144, "Wireless 11b 2Mbps (256KB/sec)", "256KB/sec"},
    {131'072, "Wireless 11b 1Mbps (128KB/sec)", "128KB/sec"},
    // Later devices come after the first rows, so that stored codes keep their meaning.
    {312'475'648, "2.5GBase-T (298MB/sec)", "298MB/sec"},
    {624'951'296, "5GBase-T (596MB/sec)", "596MB/sec"},
    {3'113'851'290, "25GBase-R (2.9GB/sec)", "2.9GB/sec"},
    {108'003'328, "Wi-Fi 5 11ac 867Mbps (103MB/sec)", "103MB/sec"},
    {149'946'368, "Wi-Fi 6 11ax 1201Mbps (143MB/sec)", "143MB/sec"},
    {359'661'568, "Wi-Fi 7 11be 2882Mbps (343MB/sec)", "343MB/sec"},
};

// The largest custom value in KB/sec: its bytes still fit the 64-bit full scale.
inline constexpr std::int64_t MaxCustomKib = INT64_MAX / 1024;

// A custom value in KB/sec as bytes per second, held inside what the full scale can hold.
constexpr std::int64_t CustomBytesPerSecond(std::int64_t kib)
{
    return (kib < 0 ? 0 : kib > MaxCustomKib ? MaxCustomKib : kib) * 1024;
}

// The full scale of a fixed or custom range; automatic ranges start at 1.
template <std::size_t N>
std::int64_t FullScaleOf(const SpeedRangeEntry (&table)[N], int range, std::int64_t custom)
{
    if (range == CustomRange)
        return custom;
    if (range >= 1 && range <= static_cast<int>(N))
        return table[range - 1].BytesPerSecond;
    return 1;
}

// The label of a range: "Auto", a listed device's, the custom value + "KB/sec", or "Error".
template <std::size_t N>
QString RangeLabelOf(const SpeedRangeEntry (&table)[N], int range, std::int64_t customKib)
{
    if (range == AutomaticRange)
        return QStringLiteral("Auto");
    if (range == CustomRange)
        return QString::number(customKib) + QStringLiteral("KB/sec");
    if (range >= 1 && range <= static_cast<int>(N))
        return QString::fromLatin1(table[range - 1].Label);
    return QStringLiteral("Error");
}
