#include "platform/PerfBlockWriter.h"

#include <cstring>

using namespace PerfLayout;

PerfBlockWriter::PerfBlockWriter(std::byte* buffer, std::uint32_t capacity)
    : m_buffer(buffer), m_capacity(buffer ? capacity : 0)
{}

std::uint32_t PerfBlockWriter::Reserve(std::uint32_t bytes)
{
    const std::uint32_t offset = m_pos;
    if (offset + bytes <= m_capacity)
        std::memset(m_buffer + offset, 0, bytes);
    m_pos += bytes;
    return offset;
}

void PerfBlockWriter::BeginBlock(const SystemTimeRecord& systemTime, std::int64_t perfTime,
                                 std::int64_t perfFreq, std::int64_t perfTime100nSec,
                                 std::u16string_view systemName)
{
    m_pos = 0;
    m_objects = 0;
    const std::uint32_t headerPos = Reserve(sizeof(PerfDataBlock));
    const auto nameBytes = static_cast<std::uint32_t>((systemName.size() + 1) * sizeof(char16_t));
    const std::uint32_t namePos = Reserve(nameBytes);
    Align8();
    if (auto* name = At<char16_t>(namePos); name && namePos + nameBytes <= m_capacity)
        std::memcpy(name, systemName.data(), systemName.size() * sizeof(char16_t));
    if (auto* header = At<PerfDataBlock>(headerPos)) {
        std::memcpy(header->Signature, u"PERF", sizeof(header->Signature));
        header->LittleEndian = 1;
        header->Version = 1;
        header->Revision = 1;
        header->HeaderLength = m_pos;
        header->DefaultObject = -1;
        header->SystemTime = systemTime;
        header->PerfTime = perfTime;
        header->PerfFreq = perfFreq;
        header->PerfTime100nSec = perfTime100nSec;
        header->SystemNameLength = nameBytes;
        header->SystemNameOffset = namePos;
    }
}

void PerfBlockWriter::BeginObject(std::uint32_t nameIndex, std::uint32_t helpIndex,
                                  bool hasInstances)
{
    Align8();
    m_objectPos = Reserve(sizeof(PerfObjectType));
    m_hasInstances = hasInstances;
    m_instances = 0;
    m_counterCount = 0;
    m_counterDataLength = sizeof(PerfCounterBlock);
    m_counterBlockPos = 0;
    if (auto* object = At<PerfObjectType>(m_objectPos)) {
        object->HeaderLength = sizeof(PerfObjectType);
        object->DefinitionLength = sizeof(PerfObjectType);
        object->ObjectNameTitleIndex = nameIndex;
        object->ObjectHelpTitleIndex = helpIndex;
        object->DetailLevel = DetailNovice;
        object->DefaultCounter = 0;
        object->NumInstances = hasInstances ? 0 : NoInstances;
        object->PerfFreq = 10000000;
    }
    ++m_objects;
}

int PerfBlockWriter::AddCounter(std::uint32_t nameIndex, std::uint32_t helpIndex,
                                std::uint32_t type)
{
    if (m_counterCount >= MaxCounters)
        return -1;
    const std::uint32_t size = (type & SizeMask) == SizeLarge   ? 8
                               : (type & SizeMask) == SizeDword ? 4
                                                                : 0;
    if (size == 8)
        m_counterDataLength = (m_counterDataLength + 7) / 8 * 8;
    const std::uint32_t pos = Reserve(sizeof(PerfCounterDefinition));
    if (auto* counter = At<PerfCounterDefinition>(pos)) {
        counter->ByteLength = sizeof(PerfCounterDefinition);
        counter->CounterNameTitleIndex = nameIndex;
        counter->CounterHelpTitleIndex = helpIndex;
        counter->DetailLevel = DetailNovice;
        counter->CounterType = type;
        counter->CounterSize = size;
        counter->CounterOffset = m_counterDataLength;
    }
    m_counterOffset[m_counterCount] = m_counterDataLength;
    m_counterSize[m_counterCount] = size;
    m_counterDataLength += size;
    if (auto* object = At<PerfObjectType>(m_objectPos)) {
        object->NumCounters = static_cast<std::uint32_t>(m_counterCount + 1);
        object->DefinitionLength = m_pos - m_objectPos;
    }
    return m_counterCount++;
}

void PerfBlockWriter::StartCounterBlock()
{
    Align8();
    const std::uint32_t length = (m_counterDataLength + 7) / 8 * 8;
    m_counterBlockPos = Reserve(length);
    if (auto* block = At<PerfCounterBlock>(m_counterBlockPos); block && m_pos <= m_capacity)
        block->ByteLength = length;
}

PerfInstanceDefinition* PerfBlockWriter::StartInstance(std::uint32_t nameChars,
                                                       std::int32_t uniqueId,
                                                       std::uint32_t& nameOffset)
{
    Align8();
    const std::uint32_t pos = Reserve(sizeof(PerfInstanceDefinition));
    const auto nameBytes = (nameChars + 1) * static_cast<std::uint32_t>(sizeof(char16_t));
    nameOffset = Reserve(nameBytes);
    Align8();
    ++m_instances;
    auto* instance = m_pos <= m_capacity ? At<PerfInstanceDefinition>(pos) : nullptr;
    if (instance) {
        instance->ByteLength = m_pos - pos;
        instance->UniqueID = uniqueId;
        instance->NameOffset = sizeof(PerfInstanceDefinition);
        instance->NameLength = nameBytes;
    }
    return instance;
}

void PerfBlockWriter::BeginInstance(std::string_view latin1Name, std::int32_t uniqueId)
{
    std::uint32_t nameOffset = 0;
    if (StartInstance(static_cast<std::uint32_t>(latin1Name.size()), uniqueId, nameOffset)) {
        auto* name = reinterpret_cast<char16_t*>(m_buffer + nameOffset);
        for (size_t i = 0; i < latin1Name.size(); ++i)
            name[i] = static_cast<unsigned char>(latin1Name[i]);
    }
    StartCounterBlock();
}

void PerfBlockWriter::BeginInstance(std::u16string_view name, std::int32_t uniqueId)
{
    std::uint32_t nameOffset = 0;
    if (StartInstance(static_cast<std::uint32_t>(name.size()), uniqueId, nameOffset))
        std::memcpy(m_buffer + nameOffset, name.data(), name.size() * sizeof(char16_t));
    StartCounterBlock();
}

void PerfBlockWriter::BeginObjectData()
{
    StartCounterBlock();
}

void PerfBlockWriter::SetCounter(int counter, std::uint64_t value)
{
    if (counter < 0 || counter >= m_counterCount || m_counterBlockPos == 0)
        return;
    const std::uint32_t offset = m_counterBlockPos + m_counterOffset[counter];
    const std::uint32_t size = m_counterSize[counter];
    if (size == 0 || offset + size > m_capacity)
        return;
    if (size == 4) {
        const auto low = static_cast<std::uint32_t>(value);
        std::memcpy(m_buffer + offset, &low, 4);
    } else {
        std::memcpy(m_buffer + offset, &value, 8);
    }
}

void PerfBlockWriter::EndObject()
{
    Align8();
    if (auto* object = At<PerfObjectType>(m_objectPos)) {
        object->TotalByteLength = m_pos - m_objectPos;
        if (m_hasInstances)
            object->NumInstances = m_instances;
    }
}

std::uint32_t PerfBlockWriter::EndBlock()
{
    Align8();
    if (auto* header = At<PerfDataBlock>(0); header && Fits()) {
        header->TotalByteLength = m_pos;
        header->NumObjectTypes = m_objects;
    }
    return m_pos;
}
