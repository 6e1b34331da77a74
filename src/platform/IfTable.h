#pragma once

#include <cstddef>
#include <cstdint>

// GetIfTable of iphlpapi.dll with its documented table layout (iprtrmib.h).
namespace IfLayout {

inline constexpr std::uint32_t NoError = 0;
inline constexpr std::uint32_t ErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t ErrorInvalidParameter = 87;

struct MibIfRow
{
    char16_t wszName[256];
    std::uint32_t dwIndex;
    std::uint32_t dwType;
    std::uint32_t dwMtu;
    std::uint32_t dwSpeed;
    std::uint32_t dwPhysAddrLen;
    std::uint8_t bPhysAddr[8];
    std::uint32_t dwAdminStatus;
    std::uint32_t dwOperStatus;
    std::uint32_t dwLastChange;
    std::uint32_t dwInOctets;
    std::uint32_t dwInUcastPkts;
    std::uint32_t dwInNUcastPkts;
    std::uint32_t dwInDiscards;
    std::uint32_t dwInErrors;
    std::uint32_t dwInUnknownProtos;
    std::uint32_t dwOutOctets;
    std::uint32_t dwOutUcastPkts;
    std::uint32_t dwOutNUcastPkts;
    std::uint32_t dwOutDiscards;
    std::uint32_t dwOutErrors;
    std::uint32_t dwOutQLen;
    std::uint32_t dwDescrLen;
    std::uint8_t bDescr[256];
};

struct MibIfTable
{
    std::uint32_t dwNumEntries;
    MibIfRow table[1];
};

static_assert(sizeof(MibIfRow) == 860);
static_assert(offsetof(MibIfRow, dwInOctets) == 552);
static_assert(offsetof(MibIfTable, table) == 4);

inline constexpr std::uint32_t TableSize(std::uint32_t rows)
{
    return static_cast<std::uint32_t>(offsetof(MibIfTable, table) + rows * sizeof(MibIfRow));
}

} // namespace IfLayout

// The interface table of Windows 98/ME: iphlpapi.dll loaded with its three entries.
class IfTable
{
public:
    virtual ~IfTable() = default;

    // True only when the library and GetNumberOfInterfaces, GetIfEntry and GetIfTable resolve.
    virtual bool Load() = 0;
    virtual void Unload() = 0;
    // Fills `table` (capacity `size` bytes) and answers NoError, or ErrorInsufficientBuffer
    // with the needed size in `size`. A null table asks for the size.
    virtual std::uint32_t GetIfTable(IfLayout::MibIfTable* table, std::uint32_t& size,
                                     bool sorted) = 0;
};
