#pragma once

#include <QString>
#include <cstdint>

// The fixed full scales of the disk and network meters, by range index; 0 is automatic and
// 99 the custom value. An index that is neither listed nor 0 or 99 gives a full scale of 1.
struct SpeedRangeEntry
{
    std::int64_t BytesPerSecond;
    const char* Label;
};

inline constexpr int AutomaticRange = 0;
inline constexpr int CustomRange = 99;

inline constexpr SpeedRangeEntry DiskRanges[] = {
    {786'432'000, "Serial ATA/6000 (750 MiB/s)"},
    {398'458'880, "Serial ATA/3000 (380 MiB/s)"},
    {199'229'440, "Serial ATA/1500 (190 MiB/s)"},
    {139'460'608, "ATA/133 (133 MiB/s)"},
    {104'857'600, "ATA/100 (100 MiB/s)"},
    {69'206'016, "ATA/66 (66 MiB/s)"},
    {34'603'008, "ATA (33 MiB/s)"},
    {671'088'640, "Ultra640 SCSI (640 MiB/s)"},
    {335'544'320, "Ultra320 SCSI (320 MiB/s)"},
    {167'772'160, "Ultra160 SCSI (160 MiB/s)"},
    {83'886'080, "Ultra2 Wide SCSI (80 MiB/s)"},
    {41'943'040, "Ultra Wide SCSI (40 MiB/s)"},
    {20'971'520, "Ultra SCSI / Fast Wide SCSI (20 MiB/s)"},
    {10'485'760, "Fast SCSI (10 MiB/s)"},
    {5'242'880, "SCSI-1 (5 MiB/s)"},
};

inline constexpr SpeedRangeEntry NetworkRanges[] = {
    {1'572'864, "12 Mbps (1.5 MiB/s)"},
    {1'048'576, "8 Mbps (1 MiB/s)"},
    {131'072, "1 Mbps (128 KiB/s)"},
    {65'536, "512 Kbps (64 KiB/s)"},
    {16'384, "128 Kbps (16 KiB/s)"},
    {8'192, "64 Kbps (8 KiB/s)"},
    {1'288'490'189, "10GBase-LR (1.2 GiB/s)"},
    {134'217'728, "1000Base (128 MiB/s)"},
    {12'582'912, "100Base-T (12 MiB/s)"},
    {1'258'291, "10Base-T (1.2 MiB/s)"},
    {7'025'459, "wireless 54 Mbps (6.7 MiB/s)"},
    {6'291'456, "wireless 48 Mbps (6 MiB/s)"},
    {4'194'304, "wireless 36 Mbps (4 MiB/s)"},
    {3'145'728, "wireless 24 Mbps (3 MiB/s)"},
    {2'306'867, "wireless 18 Mbps (2.2 MiB/s)"},
    {1'468'006, "wireless 11 Mbps (1.4 MiB/s)"},
    {716'800, "wireless 5.5 Mbps (700 KiB/s)"},
    {262'144, "wireless 2 Mbps (256 KiB/s)"},
    {131'072, "wireless 1 Mbps (128 KiB/s)"},
};

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
