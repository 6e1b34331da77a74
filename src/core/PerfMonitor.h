#pragma once

#include "core/PerfFilter.h"
#include "core/PerfMonitorCounterValue.h"

#include <QString>
#include <memory>
#include <vector>

class TPerfMonitor;

// A counter the monitor samples, with one value record per instance (told apart by name and
// by the ObjectKey counters) or a single record for an object without instances.
class TPerfMonitorItem : public TPerfPersistent
{
public:
    explicit TPerfMonitorItem(TPerfMonitor& owner);
    ~TPerfMonitorItem() override;

    QString ObjectName() const;
    void SetObjectName(const QString& name);
    QString CounterName() const;
    void SetCounterName(const QString& name);
    std::uint32_t CounterType() const;
    void SetCounterType(std::uint32_t type);
    // Counter names of the same object, separated by ";".
    QString ObjectKey() const;
    void SetObjectKey(const QString& key);
    void Assign(const TPerfPersistent& source);

    int Count(); // raises for an object without instances
    TPerfMonitorCounterValue& Values(int index);
    int ValueCount() const { return static_cast<int>(m_values.size()); }
    TPerfCounterItem& CounterItem();

    void Collect();

private:
    void BuildKeyItems();
    void DiscardKeyItems();
    QString InstanceKey(int instance);

    TPerfMonitor& m_owner;
    QString m_objectName;
    QString m_counterName;
    QString m_objectKey;
    TPerfCounterItem* m_item = nullptr; // owned by the monitor's filter
    std::vector<TPerfCounterItem*> m_keyItems;
    bool m_keyItemsBuilt = false;
    std::unique_ptr<TPerfMonitorCounterValue> m_single;
    std::vector<std::unique_ptr<TPerfMonitorCounterValue>> m_values;
};

// Samples its items from the shared block and keeps the times that rates are taken against:
// the wall-clock SystemTime stamps of successive blocks, in 100-ns units.
class TPerfMonitor
{
public:
    explicit TPerfMonitor(PerfDataSource& source);
    ~TPerfMonitor();

    QString LocaleID() { return m_filter.LocaleID(); }
    void SetLocaleID(const QString& localeId);
    TPerfHelps* Helps() const { return m_filter.Helps; }
    void SetHelps(TPerfHelps* helps) { m_filter.Helps = helps; }
    bool Loading = false;

    TPerfMonitorItem& Add();
    int Count() const { return static_cast<int>(m_items.size()); }
    TPerfMonitorItem& Items(int index);
    // Replaces the items with copies of another monitor's.
    void AssignItems(TPerfMonitor& other);
    void Delete(TPerfMonitorItem& item);
    void Clear();

    void Collect();

    std::int64_t CurrentTime() const { return m_currentTime; }
    std::int64_t PreviousTime() const { return m_previousTime; }
    std::int64_t StartTime() const { return m_startTime; }
    std::int64_t Interval() const { return m_interval; }
    std::int64_t Elapsed() const { return m_elapsed; }
    bool FirstSample() const { return m_firstSample; }

    TPerfFilter& Filter() { return m_filter; }

private:
    TPerfFilter m_filter;
    std::vector<std::unique_ptr<TPerfMonitorItem>> m_items;
    std::int64_t m_currentTime = 0;
    std::int64_t m_previousTime = 0;
    std::int64_t m_startTime = 0;
    std::int64_t m_interval = 0;
    std::int64_t m_elapsed = 0;
    bool m_firstSample = true;
};
