#include "core/PerfMonitor.h"

#include "core/PerfError.h"

using namespace PerfLayout;

TPerfMonitorItem::TPerfMonitorItem(TPerfMonitor& owner) : m_owner(owner)
{}

TPerfMonitorItem::~TPerfMonitorItem()
{
    DiscardKeyItems();
    if (m_item)
        m_owner.Filter().Delete(*m_item);
}

TPerfCounterItem& TPerfMonitorItem::CounterItem()
{
    if (!m_item)
        m_item = &m_owner.Filter().Add();
    return *m_item;
}

QString TPerfMonitorItem::ObjectName() const
{
    return m_owner.Loading || !m_item ? m_objectName : m_item->ObjectName();
}

void TPerfMonitorItem::SetObjectName(const QString& name)
{
    m_objectName = name;
    if (!m_owner.Loading)
        CounterItem().SetObjectName(name);
}

QString TPerfMonitorItem::CounterName() const
{
    return m_owner.Loading || !m_item ? m_counterName : m_item->CounterName();
}

void TPerfMonitorItem::SetCounterName(const QString& name)
{
    m_counterName = name;
    if (!m_owner.Loading)
        CounterItem().SetCounterName(name);
}

std::uint32_t TPerfMonitorItem::CounterType() const
{
    return m_item ? m_item->CounterType() : 0;
}

void TPerfMonitorItem::SetCounterType(std::uint32_t type)
{
    CounterItem().SetCounterType(type);
}

QString TPerfMonitorItem::ObjectKey() const
{
    if (m_owner.Loading || !m_keyItemsBuilt)
        return m_objectKey;
    QStringList names;
    for (const TPerfCounterItem* item : m_keyItems)
        names << item->CounterName();
    return names.join(u';');
}

void TPerfMonitorItem::SetObjectKey(const QString& key)
{
    if (key == m_objectKey)
        return;
    m_objectKey = key;
    DiscardKeyItems();
    if (!m_owner.Loading)
        BuildKeyItems();
}

void TPerfMonitorItem::Assign(const TPerfPersistent& source)
{
    const auto* other = dynamic_cast<const TPerfMonitorItem*>(&source);
    if (!other)
        throw EPerfError(QStringLiteral("Incompatible types"));
    SetObjectName(other->ObjectName());
    SetCounterName(other->CounterName());
}

void TPerfMonitorItem::DiscardKeyItems()
{
    for (TPerfCounterItem* item : m_keyItems)
        m_owner.Filter().Delete(*item);
    m_keyItems.clear();
    m_keyItemsBuilt = false;
}

void TPerfMonitorItem::BuildKeyItems()
{
    if (m_keyItemsBuilt)
        return;
    m_keyItemsBuilt = true;
    for (const QString& part : m_objectKey.split(u';', Qt::SkipEmptyParts)) {
        TPerfCounterItem& item = m_owner.Filter().Add();
        m_keyItems.push_back(&item);
        item.SetObjectName(ObjectName());
        item.SetCounterName(part.trimmed());
    }
}

int TPerfMonitorItem::Count()
{
    return CounterItem().InstanceCount();
}

TPerfMonitorCounterValue& TPerfMonitorItem::Values(int index)
{
    if (m_item && m_item->HasInstances()) {
        if (index < 0 || index >= static_cast<int>(m_values.size()))
            throw EPerfError(QStringLiteral("List index out of bounds (%1)").arg(index));
        return *m_values[static_cast<size_t>(index)];
    }
    if (!m_single)
        throw EPerfError(QStringLiteral("Invalid counter block"));
    return *m_single;
}

QString TPerfMonitorItem::InstanceKey(int instance)
{
    QString key;
    for (size_t k = 0; k < m_keyItems.size(); ++k) {
        if (k > 0)
            key += u';';
        key += QString::number(m_keyItems[k]->InstanceRawValue(instance));
    }
    return key;
}

void TPerfMonitorItem::Collect()
{
    TPerfCounterItem& item = CounterItem();
    const std::int64_t time = m_owner.CurrentTime();
    const std::int64_t interval = m_owner.Interval();
    const std::int64_t elapsed = m_owner.Elapsed();

    if (!item.HasInstances()) {
        const bool isNew = !m_single;
        if (isNew) {
            m_single = std::make_unique<TPerfMonitorCounterValue>();
            m_single->HasBase = item.HasBase();
        }
        const std::int64_t base = m_single->HasBase ? item.BaseRawValue() : 0;
        m_single->Sample(item.RawValue(), base, item.CounterDefinition().CounterType, isNew, time,
                         interval, elapsed);
        return;
    }

    BuildKeyItems();
    for (auto& value : m_values)
        value->Seen = false;
    const int count = item.InstanceCount();
    const std::uint32_t type = item.CounterDefinition().CounterType;
    for (int i = 0; i < count; ++i) {
        const QString key = m_keyItems.empty() ? QString() : InstanceKey(i);
        const QStringView name = item.InstanceNameView(i);
        TPerfMonitorCounterValue* record = nullptr;
        for (auto& value : m_values) {
            // Case folding keeps lengths, so most records are told apart without it.
            if (value->InstanceName.size() == name.size() &&
                value->InstanceName.compare(name, Qt::CaseInsensitive) == 0 &&
                value->InstanceKey.compare(key, Qt::CaseInsensitive) == 0) {
                record = value.get();
                break;
            }
        }
        const bool isNew = record == nullptr;
        if (isNew) {
            auto created = std::make_unique<TPerfMonitorCounterValue>();
            created->HasBase = item.HasBase();
            created->InstanceName = name.toString();
            created->InstanceKey = key;
            record = created.get();
            m_values.push_back(std::move(created));
        }
        const std::int64_t base = record->HasBase ? item.InstanceBaseValue(i) : 0;
        record->Sample(item.InstanceRawValue(i), base, type, isNew, time, interval, elapsed);
        record->Seen = true;
    }
    for (size_t i = m_values.size(); i-- > 0;)
        if (!m_values[i]->Seen)
            m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(i));
}

TPerfMonitor::TPerfMonitor(PerfDataSource& source) : m_filter(source)
{}

TPerfMonitor::~TPerfMonitor()
{
    Clear();
}

void TPerfMonitor::SetLocaleID(const QString& localeId)
{
    m_filter.SetLocaleID(localeId);
}

TPerfMonitorItem& TPerfMonitor::Add()
{
    m_items.push_back(std::make_unique<TPerfMonitorItem>(*this));
    return *m_items.back();
}

TPerfMonitorItem& TPerfMonitor::Items(int index)
{
    if (index < 0 || index >= Count())
        throw EPerfError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return *m_items[static_cast<size_t>(index)];
}

void TPerfMonitor::AssignItems(TPerfMonitor& other)
{
    if (&other == this)
        return;
    Clear();
    for (auto& item : other.m_items) {
        TPerfMonitorItem& copy = Add();
        copy.Assign(*item);
        copy.SetObjectKey(item->ObjectKey());
    }
}

void TPerfMonitor::Delete(TPerfMonitorItem& item)
{
    std::erase_if(m_items, [&](const auto& owned) { return owned.get() == &item; });
}

void TPerfMonitor::Clear()
{
    m_items.clear();
}

void TPerfMonitor::Collect()
{
    m_filter.Refresh();
    m_previousTime = m_currentTime;
    if (const PerfLayout::PerfDataBlock* header = m_filter.Data().Block().Header()) {
        std::int64_t fileTime = 0;
        if (SystemTimeToFileTime(header->SystemTime, fileTime))
            m_currentTime = fileTime;
    }
    if (m_firstSample) {
        m_startTime = m_currentTime;
        m_firstSample = false;
    }
    m_interval = m_currentTime - m_previousTime;
    m_elapsed = m_currentTime - m_startTime;
    for (auto& item : m_items)
        item->Collect();
}
