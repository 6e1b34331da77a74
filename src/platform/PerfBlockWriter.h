#pragma once

#include "platform/PerfDataLayout.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Writes a performance data block into a caller's buffer without allocating. Writing goes on
// past the end of the buffer only in the length count, so one pass tells whether the block fit
// (Fits) and how long it is (EndBlock). Objects, instances and counter blocks are 8-aligned.
class PerfBlockWriter
{
public:
    PerfBlockWriter(std::byte* buffer, std::uint32_t capacity);

    void BeginBlock(const PerfLayout::SystemTimeRecord& systemTime, std::int64_t perfTime,
                    std::int64_t perfFreq, std::int64_t perfTime100nSec,
                    std::u16string_view systemName);
    // Counters are declared right after BeginObject; instances or the object's data follow.
    void BeginObject(std::uint32_t nameIndex, std::uint32_t helpIndex, bool hasInstances);
    // Answers the counter's number for SetCounter. Sizes follow the type's size field.
    int AddCounter(std::uint32_t nameIndex, std::uint32_t helpIndex, std::uint32_t type);
    void BeginInstance(std::string_view latin1Name, std::int32_t uniqueId = PerfLayout::NoUniqueId);
    void BeginInstance(std::u16string_view name, std::int32_t uniqueId = PerfLayout::NoUniqueId);
    void BeginObjectData(); // the counter block of an object without instances
    void SetCounter(int counter, std::uint64_t value);
    void EndObject();
    // Answers the block's length; the header is complete only when Fits.
    std::uint32_t EndBlock();

    bool Fits() const { return m_pos <= m_capacity; }

private:
    static constexpr int MaxCounters = 32;

    template <typename T> T* At(std::uint32_t offset)
    {
        return offset + sizeof(T) <= m_capacity ? reinterpret_cast<T*>(m_buffer + offset) : nullptr;
    }
    std::uint32_t Reserve(std::uint32_t bytes); // answers the offset, zero-filled when it fits
    void Align8() { Reserve((8 - m_pos % 8) % 8); }
    PerfLayout::PerfInstanceDefinition*
    StartInstance(std::uint32_t nameChars, std::int32_t uniqueId, std::uint32_t& nameOffset);
    void StartCounterBlock();

    std::byte* m_buffer;
    std::uint32_t m_capacity;
    std::uint32_t m_pos = 0;
    std::uint32_t m_objects = 0;
    std::uint32_t m_objectPos = 0;
    bool m_hasInstances = false;
    std::int32_t m_instances = 0;
    int m_counterCount = 0;
    std::uint32_t m_counterOffset[MaxCounters] = {};
    std::uint32_t m_counterSize[MaxCounters] = {};
    std::uint32_t m_counterDataLength = 0;
    std::uint32_t m_counterBlockPos = 0;
};
