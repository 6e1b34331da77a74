#include "core/PerfBlock.h"

#include "platform/CivilDate.h"

#include <QDateTime>
#include <algorithm>
#include <cstring>

using namespace PerfLayout;

namespace {

template <typename T> const std::byte* Bytes(const T* p)
{
    return reinterpret_cast<const std::byte*>(p);
}

} // namespace

const PerfDataBlock* PerfBlockView::Header() const
{
    const auto* header = At<PerfDataBlock>(Data);
    if (!header || std::memcmp(header->Signature, u"PERF", sizeof(header->Signature)) != 0)
        return nullptr;
    return header;
}

std::uint32_t PerfBlockView::ObjectCount() const
{
    const PerfDataBlock* header = Header();
    if (!header)
        return 0;
    return std::min<std::uint32_t>(header->NumObjectTypes, Size / sizeof(PerfObjectType));
}

std::uint32_t PerfBlockView::CounterCount(const PerfObjectType* object) const
{
    if (!object)
        return 0;
    return std::min<std::uint32_t>(object->NumCounters,
                                   object->DefinitionLength / sizeof(PerfCounterDefinition));
}

std::int32_t PerfBlockView::InstanceCount(const PerfObjectType* object) const
{
    if (!object || object->NumInstances < 0)
        return NoInstances;
    return std::min<std::int32_t>(object->NumInstances,
                                  static_cast<std::int32_t>(Size / sizeof(PerfInstanceDefinition)));
}

const PerfObjectType* PerfBlockView::FirstObject() const
{
    const PerfDataBlock* header = Header();
    if (!header || header->NumObjectTypes == 0)
        return nullptr;
    return After<PerfObjectType>(Data, header->HeaderLength);
}

const PerfObjectType* PerfBlockView::NextObject(const PerfObjectType* object) const
{
    if (!object || object->TotalByteLength < sizeof(PerfObjectType))
        return nullptr;
    return After<PerfObjectType>(object, object->TotalByteLength);
}

const PerfCounterDefinition* PerfBlockView::FirstCounter(const PerfObjectType* object) const
{
    if (!object || object->NumCounters == 0)
        return nullptr;
    if (std::uint64_t(object->HeaderLength) + sizeof(PerfCounterDefinition) >
        object->DefinitionLength)
        return nullptr;
    return After<PerfCounterDefinition>(object, object->HeaderLength);
}

const PerfCounterDefinition* PerfBlockView::NextCounter(const PerfObjectType* object,
                                                        const PerfCounterDefinition* counter) const
{
    if (!object || !counter || counter->ByteLength < sizeof(PerfCounterDefinition))
        return nullptr;
    const std::uint64_t next =
        static_cast<std::uint64_t>(Bytes(counter) - Bytes(object)) + counter->ByteLength;
    if (next + sizeof(PerfCounterDefinition) > object->DefinitionLength)
        return nullptr;
    return After<PerfCounterDefinition>(object, next);
}

const PerfCounterBlock* PerfBlockView::ObjectCounterBlock(const PerfObjectType* object) const
{
    if (!object)
        return nullptr;
    const auto* block = After<PerfCounterBlock>(object, object->DefinitionLength);
    return block && Contains(block, block->ByteLength) ? block : nullptr;
}

const PerfInstanceDefinition* PerfBlockView::FirstInstance(const PerfObjectType* object) const
{
    if (!object || object->NumInstances <= 0)
        return nullptr;
    const auto* instance = After<PerfInstanceDefinition>(object, object->DefinitionLength);
    return instance && Contains(instance, instance->ByteLength) ? instance : nullptr;
}

const PerfCounterBlock*
PerfBlockView::InstanceCounterBlock(const PerfInstanceDefinition* instance) const
{
    if (!instance || instance->ByteLength < sizeof(PerfInstanceDefinition))
        return nullptr;
    const auto* block = After<PerfCounterBlock>(instance, instance->ByteLength);
    return block && Contains(block, block->ByteLength) ? block : nullptr;
}

const PerfInstanceDefinition*
PerfBlockView::NextInstance(const PerfInstanceDefinition* instance) const
{
    const PerfCounterBlock* block = InstanceCounterBlock(instance);
    if (!block || block->ByteLength < sizeof(PerfCounterBlock))
        return nullptr;
    const auto* next = After<PerfInstanceDefinition>(block, block->ByteLength);
    return next && Contains(next, next->ByteLength) ? next : nullptr;
}

QStringView PerfBlockView::InstanceName(const PerfInstanceDefinition* instance) const
{
    if (!instance || instance->NameLength < sizeof(char16_t))
        return {};
    const std::uint64_t offset =
        static_cast<std::uint64_t>(Bytes(instance) - Data) + instance->NameOffset;
    if (offset + instance->NameLength > Size || offset % alignof(char16_t) != 0)
        return {};
    const std::byte* name = Data + offset;
    const auto* chars = reinterpret_cast<const char16_t*>(name);
    qsizetype length = instance->NameLength / sizeof(char16_t);
    while (length > 0 && chars[length - 1] == u'\0')
        --length;
    return QStringView(chars, length);
}

bool SystemTimeToFileTime(const SystemTimeRecord& time, std::int64_t& fileTime)
{
    // 30827 is the last year whose times fit the 64-bit count of 100-ns units.
    if (!IsValidCivilDate(time.wYear, time.wMonth, time.wDay) || time.wYear < 1601 ||
        time.wYear > 30827 ||
        time.wHour > 23 || time.wMinute > 59 || time.wSecond > 59 || time.wMilliseconds > 999)
        return false;
    constexpr std::int64_t day1601 = DaysFromCivil(1601, 1, 1);
    const std::int64_t days = DaysFromCivil(time.wYear, time.wMonth, time.wDay) - day1601;
    const std::int64_t ms = ((days * 24 + time.wHour) * 60 + time.wMinute) * 60000LL +
                            time.wSecond * 1000LL + time.wMilliseconds;
    fileTime = ms * 10000;
    return true;
}

std::int64_t CurrentFileTime()
{
    return QDateTime::currentMSecsSinceEpoch() * 10000 + 116444736000000000LL;
}
