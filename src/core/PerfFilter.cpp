#include "core/PerfFilter.h"

#include "core/PerfError.h"

#include <algorithm>
#include <cstring>

using namespace PerfLayout;

TPerfCounterItem::TPerfCounterItem(TPerfFilter& owner) : m_owner(owner)
{}

TPerfCounterItem::~TPerfCounterItem()
{
    if (m_owner.OnItemDestroy)
        m_owner.OnItemDestroy(m_owner, *this);
}

void TPerfCounterItem::ClearBinding()
{
    m_block = {};
    m_object = nullptr;
    m_counter = nullptr;
    m_base = nullptr;
    m_counterBlock = nullptr;
    m_firstInstance = nullptr;
    m_cursorIndex = -1;
    m_cursor = nullptr;
}

int TPerfCounterItem::ResolveIndex(int& cached, const QString& name)
{
    if (cached == Unresolved) {
        bool ok = false;
        const int index = m_owner.m_titles.IndexOfName(name).toInt(&ok);
        cached = ok ? index : NoName;
    }
    return cached;
}

int TPerfCounterItem::ObjectIndex()
{
    return ResolveIndex(m_objectIndex, m_objectName);
}

int TPerfCounterItem::CounterIndex()
{
    return ResolveIndex(m_counterIndex, m_counterName);
}

void TPerfCounterItem::SetObjectName(const QString& name)
{
    if (name.compare(m_objectName, Qt::CaseInsensitive) == 0)
        return;
    if (m_owner.Loading) {
        m_objectName = name;
        return;
    }
    m_objectIndex = Unresolved;
    m_counterName.clear();
    m_counterIndex = Unresolved;
    ClearBinding();
    m_objectName = name;
    if (!name.isEmpty() && ObjectIndex() < 0) {
        m_objectName.clear();
        m_objectIndex = Unresolved;
        throw EPerfError(QStringLiteral("Invalid performance object name"));
    }
}

void TPerfCounterItem::SetCounterName(const QString& name)
{
    if (name.compare(m_counterName, Qt::CaseInsensitive) == 0)
        return;
    if (m_owner.Loading) {
        m_counterName = name;
        return;
    }
    m_counterIndex = Unresolved;
    ClearBinding();
    m_counterName = name;
    if (!name.isEmpty() && CounterIndex() < 0)
        throw EPerfError(QStringLiteral("Invalid performance counter name : %1").arg(name));
}

std::uint32_t TPerfCounterItem::CounterType() const
{
    return m_counter ? m_counter->CounterType : m_counterType;
}

void TPerfCounterItem::Assign(const TPerfPersistent& source)
{
    const auto* other = dynamic_cast<const TPerfCounterItem*>(&source);
    if (!other)
        throw EPerfError(QStringLiteral("Incompatible types"));
    SetObjectName(other->m_objectName);
    SetCounterName(other->m_counterName);
    m_counterType = other->m_counterType;
}

bool TPerfCounterItem::Bind(const PerfBlockView& block)
{
    ClearBinding();
    m_block = block;
    const int objectIndex = ObjectIndex();
    const int counterIndex = CounterIndex();
    if (objectIndex < 0 || counterIndex < 0)
        return false;

    const std::uint32_t count = block.ObjectCount();
    const PerfObjectType* object = block.FirstObject();
    for (std::uint32_t i = 0; i < count && object; ++i, object = block.NextObject(object))
        if (object->ObjectNameTitleIndex == static_cast<std::uint32_t>(objectIndex)) {
            m_object = object;
            break;
        }
    if (!m_object)
        return false;

    const PerfCounterDefinition* counter = block.FirstCounter(object);
    for (std::uint32_t i = 0; i < block.CounterCount(object) && counter;
         ++i, counter = block.NextCounter(object, counter)) {
        if (counter->CounterNameTitleIndex == static_cast<std::uint32_t>(counterIndex)) {
            m_counter = counter;
            break;
        }
    }
    if (!m_counter)
        return false;

    if ((counter->CounterType & SubtypeMask) == CounterFraction) {
        const PerfCounterDefinition* next = block.NextCounter(object, counter);
        if (next && (next->CounterType & TypeMask) == TypeCounter &&
            (next->CounterType & SubtypeMask) == CounterBase)
            m_base = next;
    }

    const std::int32_t instances = block.InstanceCount(object);
    if (instances > 0) {
        m_firstInstance = block.FirstInstance(object);
        m_counterBlock = block.InstanceCounterBlock(m_firstInstance);
    } else if (instances == NoInstances) {
        m_counterBlock = block.ObjectCounterBlock(object);
    }
    return true;
}

void TPerfCounterItem::NamesToIndexes()
{
    ObjectIndex();
    CounterIndex();
}

void TPerfCounterItem::IndexesToNames()
{
    if (m_objectIndex >= 0)
        m_objectName = m_owner.m_titles.NameOfIndex(QString::number(m_objectIndex));
    if (m_counterIndex >= 0)
        m_counterName = m_owner.m_titles.NameOfIndex(QString::number(m_counterIndex));
}

std::int64_t TPerfCounterItem::ReadCounter(const PerfCounterDefinition* definition,
                                           const PerfCounterBlock* block, const char* missing)
{
    if (!block || !definition)
        throw EPerfError(QString::fromLatin1(missing));
    const std::uint32_t sizeField = definition->CounterType & SizeMask;
    const bool dword = sizeField == SizeDword && definition->CounterSize == 4;
    const bool large = sizeField == SizeLarge && definition->CounterSize == 8;
    if (!dword && !large)
        throw EPerfError(QStringLiteral("Invalid counter block size"));
    if (std::uint64_t(definition->CounterOffset) + definition->CounterSize > block->ByteLength ||
        !m_block.Contains(block,
                          std::uint64_t(definition->CounterOffset) + definition->CounterSize))
        throw EPerfError(QString::fromLatin1(missing));
    const std::byte* at = reinterpret_cast<const std::byte*>(block) + definition->CounterOffset;
    if (dword) {
        std::uint32_t value = 0;
        std::memcpy(&value, at, 4);
        return value;
    }
    std::int64_t value = 0;
    std::memcpy(&value, at, 8);
    return value;
}

std::int64_t TPerfCounterItem::RawValue()
{
    if (!m_counterBlock || !m_counter)
        throw EPerfError(QStringLiteral("Invalid counter block"));
    if (m_object && m_block.InstanceCount(m_object) != NoInstances)
        throw EPerfError(QStringLiteral("Instance not specified"));
    return ReadCounter(m_counter, m_counterBlock, "Invalid counter block");
}

std::int64_t TPerfCounterItem::BaseRawValue()
{
    if (m_object && m_block.InstanceCount(m_object) != NoInstances)
        throw EPerfError(QStringLiteral("Instance not specified"));
    return ReadCounter(m_base, m_counterBlock, "Invalid counter base block");
}

const PerfInstanceDefinition* TPerfCounterItem::InstanceAt(int index)
{
    if (!m_object)
        throw EPerfError(QStringLiteral("Invalid counter block"));
    if (m_block.InstanceCount(m_object) == NoInstances)
        throw EPerfError(
            QStringLiteral("Performance object \"%1\" has no instances").arg(m_objectName));
    if (index < 0 || index >= m_block.InstanceCount(m_object))
        throw EPerfError(QStringLiteral("Index \"%1\" out of bounds [%2..%3]")
                             .arg(index)
                             .arg(0)
                             .arg(m_block.InstanceCount(m_object)));
    if (!m_cursor || index < m_cursorIndex) {
        m_cursor = m_firstInstance;
        m_cursorIndex = 0;
    }
    while (m_cursor && m_cursorIndex < index) {
        m_cursor = m_block.NextInstance(m_cursor);
        ++m_cursorIndex;
    }
    if (!m_cursor) {
        m_cursorIndex = -1;
        throw EPerfError(QStringLiteral("Invalid counter block"));
    }
    return m_cursor;
}

std::int64_t TPerfCounterItem::InstanceRawValue(int index)
{
    const PerfInstanceDefinition* instance = InstanceAt(index);
    return ReadCounter(m_counter, m_block.InstanceCounterBlock(instance), "Invalid counter block");
}

std::int64_t TPerfCounterItem::InstanceBaseValue(int index)
{
    const PerfInstanceDefinition* instance = InstanceAt(index);
    return ReadCounter(m_base, m_block.InstanceCounterBlock(instance),
                       "Invalid counter base block");
}

QStringView TPerfCounterItem::InstanceNameView(int index)
{
    return m_block.InstanceName(InstanceAt(index));
}

QString TPerfCounterItem::InstanceName(int index)
{
    return InstanceNameView(index).toString();
}

int TPerfCounterItem::InstanceCount()
{
    if (!m_object)
        throw EPerfError(QStringLiteral("Invalid performance object name"));
    if (m_block.InstanceCount(m_object) == NoInstances)
        throw EPerfError(QStringLiteral("Performance object has no instances"));
    return m_block.InstanceCount(m_object);
}

bool TPerfCounterItem::HasInstances()
{
    if (!m_object)
        throw EPerfError(QStringLiteral("Invalid performance object name"));
    return m_block.InstanceCount(m_object) != NoInstances;
}

const PerfCounterDefinition& TPerfCounterItem::CounterDefinition() const
{
    if (!m_counter)
        throw EPerfError(QStringLiteral("Invalid performance counter name"));
    return *m_counter;
}

TPerfFilter::TPerfFilter(PerfDataSource& source) : m_titles(source), m_data(source)
{}

TPerfFilter::~TPerfFilter()
{
    Clear();
}

void TPerfFilter::SetLocaleID(const QString& localeId)
{
    if (!Loading)
        for (auto& item : m_items)
            item->NamesToIndexes();
    m_titles.SetLocaleID(localeId);
    if (Helps)
        Helps->SetLocaleID(localeId);
    if (!Loading)
        for (auto& item : m_items)
            item->IndexesToNames();
}

TPerfCounterItem& TPerfFilter::Add()
{
    m_items.push_back(std::make_unique<TPerfCounterItem>(*this));
    return *m_items.back();
}

TPerfCounterItem& TPerfFilter::Items(int index)
{
    if (index < 0 || index >= Count())
        throw EPerfError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return *m_items[static_cast<size_t>(index)];
}

void TPerfFilter::Delete(TPerfCounterItem& item)
{
    std::erase_if(m_items, [&](const auto& owned) { return owned.get() == &item; });
}

void TPerfFilter::Clear()
{
    // Items leave one at a time, so that OnItemDestroy sees a consistent collection.
    while (!m_items.empty()) {
        std::unique_ptr<TPerfCounterItem> item = std::move(m_items.back());
        m_items.pop_back();
    }
}

void TPerfFilter::Refresh()
{
    TPerfData& data = m_data.Get();
    const long result = data.Query();
    const PerfBlockView block = data.Block();
    for (auto& item : m_items) {
        item->ClearBinding();
        if (!item->Bind(block))
            item->ClearBinding();
    }
    if (result != ErrorSuccess)
        throw EPerfError(QStringLiteral("Performance data query failed (%1)").arg(result));
}
