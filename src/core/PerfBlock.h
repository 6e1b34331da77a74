#pragma once

#include "platform/PerfDataLayout.h"

#include <QStringView>
#include <cstddef>
#include <cstdint>

// Walks a performance data block by its length fields. Every step checks that what it lands on
// lies inside the block and is aligned, and answers null otherwise, so a damaged block ends a
// walk instead of reading past the buffer.
struct PerfBlockView
{
    const std::byte* Data = nullptr;
    std::uint32_t Size = 0;

    template <typename T> const T* At(const std::byte* p) const
    {
        if (!Data || p < Data || static_cast<size_t>(p - Data) % alignof(T) != 0 ||
            static_cast<size_t>(p - Data) + sizeof(T) > Size)
            return nullptr;
        return reinterpret_cast<const T*>(p);
    }
    // What lies `length` bytes after `from`, computed without forming a pointer past the block.
    template <typename T> const T* After(const void* from, std::uint64_t length) const
    {
        const auto* b = static_cast<const std::byte*>(from);
        if (!Data || b < Data)
            return nullptr;
        const std::uint64_t offset = static_cast<std::uint64_t>(b - Data) + length;
        return offset + sizeof(T) <= Size ? At<T>(Data + offset) : nullptr;
    }
    bool Contains(const void* p, std::uint64_t length) const
    {
        auto b = static_cast<const std::byte*>(p);
        return Data && b >= Data && static_cast<std::uint64_t>(b - Data) + length <= Size;
    }

    const PerfLayout::PerfDataBlock* Header() const;
    // The counts a block declares, cut to what its length could hold: a damaged count neither
    // overflows the arithmetic of a walk nor makes one run for billions of steps.
    std::uint32_t ObjectCount() const;
    std::uint32_t CounterCount(const PerfLayout::PerfObjectType* object) const;
    // NoInstances for an object without instances (any negative count).
    std::int32_t InstanceCount(const PerfLayout::PerfObjectType* object) const;
    const PerfLayout::PerfObjectType* FirstObject() const;
    const PerfLayout::PerfObjectType* NextObject(const PerfLayout::PerfObjectType* object) const;
    const PerfLayout::PerfCounterDefinition*
    FirstCounter(const PerfLayout::PerfObjectType* object) const;
    const PerfLayout::PerfCounterDefinition*
    NextCounter(const PerfLayout::PerfObjectType* object,
                const PerfLayout::PerfCounterDefinition* counter) const;
    // The block after the definitions: the data of an object without instances.
    const PerfLayout::PerfCounterBlock*
    ObjectCounterBlock(const PerfLayout::PerfObjectType* object) const;
    const PerfLayout::PerfInstanceDefinition*
    FirstInstance(const PerfLayout::PerfObjectType* object) const;
    const PerfLayout::PerfCounterBlock*
    InstanceCounterBlock(const PerfLayout::PerfInstanceDefinition* instance) const;
    const PerfLayout::PerfInstanceDefinition*
    NextInstance(const PerfLayout::PerfInstanceDefinition* instance) const;
    // Without the terminating NUL; empty when the name does not fit the block.
    QStringView InstanceName(const PerfLayout::PerfInstanceDefinition* instance) const;
};

// SystemTimeToFileTime: false for a date it cannot convert.
bool SystemTimeToFileTime(const PerfLayout::SystemTimeRecord& time, std::int64_t& fileTime);
// GetSystemTimeAsFileTime: 100-ns units since 1601, UTC.
std::int64_t CurrentFileTime();
