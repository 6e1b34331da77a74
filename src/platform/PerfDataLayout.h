#pragma once

#include <cstddef>
#include <cstdint>

// The Windows performance data block as the 32-bit program sees it (winperf.h, packed to 8):
// the layer that builds it and the reader that walks it share these definitions, so a block
// built here is byte for byte what RegQueryValueEx on HKEY_PERFORMANCE_DATA returns.
namespace PerfLayout {

inline constexpr long ErrorSuccess = 0;
inline constexpr long ErrorFileNotFound = 2;
inline constexpr long ErrorMoreData = 234;
inline constexpr long ErrorNoMoreItems = 259;

inline constexpr std::int32_t NoInstances = -1;
inline constexpr std::int32_t NoUniqueId = -1;

// Counter type bit fields.
inline constexpr std::uint32_t SizeMask = 0x00000300;
inline constexpr std::uint32_t SizeDword = 0x00000000;
inline constexpr std::uint32_t SizeLarge = 0x00000100;
inline constexpr std::uint32_t SizeZero = 0x00000200;
inline constexpr std::uint32_t SizeVariableLen = 0x00000300;

inline constexpr std::uint32_t TypeMask = 0x00000C00;
inline constexpr std::uint32_t TypeNumber = 0x00000000;
inline constexpr std::uint32_t TypeCounter = 0x00000400;
inline constexpr std::uint32_t TypeText = 0x00000800;
inline constexpr std::uint32_t TypeZero = 0x00000C00;

inline constexpr std::uint32_t SubtypeMask = 0x000F0000;
inline constexpr std::uint32_t NumberHex = 0x00000000;
inline constexpr std::uint32_t NumberDecimal = 0x00010000;
inline constexpr std::uint32_t NumberDec1000 = 0x00020000;
inline constexpr std::uint32_t CounterValue = 0x00000000;
inline constexpr std::uint32_t CounterRate = 0x00010000;
inline constexpr std::uint32_t CounterFraction = 0x00020000;
inline constexpr std::uint32_t CounterBase = 0x00030000;
inline constexpr std::uint32_t CounterElapsed = 0x00040000;
inline constexpr std::uint32_t CounterQueueLen = 0x00050000;
inline constexpr std::uint32_t CounterHistogram = 0x00060000;
inline constexpr std::uint32_t CounterPrecision = 0x00070000;

inline constexpr std::uint32_t TimerTick = 0x00000000;
inline constexpr std::uint32_t Timer100Ns = 0x00100000;
inline constexpr std::uint32_t ObjectTimer = 0x00200000;
inline constexpr std::uint32_t DeltaCounter = 0x00400000;
inline constexpr std::uint32_t DeltaBase = 0x00800000;
inline constexpr std::uint32_t InverseCounter = 0x01000000;
inline constexpr std::uint32_t MultiCounter = 0x02000000;

inline constexpr std::uint32_t DisplayMask = 0xF0000000;
inline constexpr std::uint32_t DisplayNoSuffix = 0x00000000;
inline constexpr std::uint32_t DisplayPerSec = 0x10000000;
inline constexpr std::uint32_t DisplayPercent = 0x20000000;
inline constexpr std::uint32_t DisplaySeconds = 0x30000000;
inline constexpr std::uint32_t DisplayNoShow = 0x40000000;

// The composite types the program's counters use.
inline constexpr std::uint32_t CounterCounter =
    SizeDword | TypeCounter | CounterRate | TimerTick | DeltaCounter | DisplayPerSec;
inline constexpr std::uint32_t CounterBulkCount =
    SizeLarge | TypeCounter | CounterRate | TimerTick | DeltaCounter | DisplayPerSec;
inline constexpr std::uint32_t Counter100NsTimer =
    SizeLarge | TypeCounter | CounterRate | Timer100Ns | DeltaCounter | DisplayPercent;
inline constexpr std::uint32_t Counter100NsTimerInv = Counter100NsTimer | InverseCounter;
inline constexpr std::uint32_t CounterRawCount =
    SizeDword | TypeNumber | NumberDecimal | DisplayNoSuffix;
inline constexpr std::uint32_t CounterLargeRawCount =
    SizeLarge | TypeNumber | NumberDecimal | DisplayNoSuffix;
inline constexpr std::uint32_t CounterRawFraction =
    SizeDword | TypeCounter | CounterFraction | DisplayPercent;
inline constexpr std::uint32_t CounterRawBase =
    SizeDword | TypeCounter | CounterBase | DisplayNoShow | 0x00000003;

struct SystemTimeRecord
{
    std::uint16_t wYear;
    std::uint16_t wMonth;
    std::uint16_t wDayOfWeek;
    std::uint16_t wDay;
    std::uint16_t wHour;
    std::uint16_t wMinute;
    std::uint16_t wSecond;
    std::uint16_t wMilliseconds;
};

struct alignas(8) PerfDataBlock
{
    char16_t Signature[4];
    std::uint32_t LittleEndian;
    std::uint32_t Version;
    std::uint32_t Revision;
    std::uint32_t TotalByteLength;
    std::uint32_t HeaderLength;
    std::uint32_t NumObjectTypes;
    std::int32_t DefaultObject;
    SystemTimeRecord SystemTime;
    std::int64_t PerfTime;
    std::int64_t PerfFreq;
    std::int64_t PerfTime100nSec;
    std::uint32_t SystemNameLength;
    std::uint32_t SystemNameOffset;
};

struct alignas(8) PerfObjectType
{
    std::uint32_t TotalByteLength;
    std::uint32_t DefinitionLength;
    std::uint32_t HeaderLength;
    std::uint32_t ObjectNameTitleIndex;
    std::uint32_t ObjectNameTitle; // a pointer in the 32-bit layout, unused in the block
    std::uint32_t ObjectHelpTitleIndex;
    std::uint32_t ObjectHelpTitle;
    std::uint32_t DetailLevel;
    std::uint32_t NumCounters;
    std::int32_t DefaultCounter;
    std::int32_t NumInstances;
    std::uint32_t CodePage;
    std::int64_t PerfTime;
    std::int64_t PerfFreq;
};

struct PerfCounterDefinition
{
    std::uint32_t ByteLength;
    std::uint32_t CounterNameTitleIndex;
    std::uint32_t CounterNameTitle;
    std::uint32_t CounterHelpTitleIndex;
    std::uint32_t CounterHelpTitle;
    std::int32_t DefaultScale;
    std::uint32_t DetailLevel;
    std::uint32_t CounterType;
    std::uint32_t CounterSize;
    std::uint32_t CounterOffset;
};

struct PerfInstanceDefinition
{
    std::uint32_t ByteLength;
    std::uint32_t ParentObjectTitleIndex;
    std::uint32_t ParentObjectInstance;
    std::int32_t UniqueID;
    std::uint32_t NameOffset;
    std::uint32_t NameLength; // bytes, terminating NUL included
};

struct PerfCounterBlock
{
    std::uint32_t ByteLength;
};

static_assert(sizeof(SystemTimeRecord) == 16);
static_assert(sizeof(PerfDataBlock) == 88);
static_assert(offsetof(PerfDataBlock, SystemTime) == 36);
static_assert(offsetof(PerfDataBlock, PerfTime) == 56);
static_assert(offsetof(PerfDataBlock, SystemNameOffset) == 84);
static_assert(sizeof(PerfObjectType) == 64);
static_assert(offsetof(PerfObjectType, NumInstances) == 40);
static_assert(offsetof(PerfObjectType, PerfTime) == 48);
static_assert(sizeof(PerfCounterDefinition) == 40);
static_assert(sizeof(PerfInstanceDefinition) == 24);

inline constexpr std::uint32_t DetailNovice = 100;

} // namespace PerfLayout
