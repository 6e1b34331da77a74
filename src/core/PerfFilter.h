#pragma once

#include "core/PerfData.h"
#include "core/PerfTitles.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class PerfDataSource;
class TPerfFilter;

// Base of the collection items, so that Assign can refuse a foreign type as the original did.
class TPerfPersistent
{
public:
    virtual ~TPerfPersistent() = default;
};

// One (object, counter) pair bound to the shared block. The pointers into the block are valid
// until the next Refresh of the filter, which binds them again.
class TPerfCounterItem : public TPerfPersistent
{
public:
    static constexpr int Unresolved = -2;
    static constexpr int NoName = -1;

    explicit TPerfCounterItem(TPerfFilter& owner);
    ~TPerfCounterItem() override;

    QString ObjectName() const { return m_objectName; }
    void SetObjectName(const QString& name);
    QString CounterName() const { return m_counterName; }
    void SetCounterName(const QString& name);
    std::uint32_t CounterType() const;
    void SetCounterType(std::uint32_t type) { m_counterType = type; }
    void Assign(const TPerfPersistent& source);

    std::int64_t RawValue();
    std::int64_t BaseRawValue();
    std::int64_t InstanceRawValue(int index);
    std::int64_t InstanceBaseValue(int index);
    QString InstanceName(int index);
    QStringView InstanceNameView(int index);
    int InstanceCount();
    bool HasInstances();
    bool HasBase() const { return m_base != nullptr; }
    const PerfLayout::PerfCounterDefinition& CounterDefinition() const;

    // Binding, done by the filter.
    void ClearBinding();
    bool Bind(const PerfBlockView& block);
    void NamesToIndexes();
    void IndexesToNames();
    int ObjectIndex();
    int CounterIndex();

private:
    int ResolveIndex(int& cached, const QString& name);
    const PerfLayout::PerfInstanceDefinition* InstanceAt(int index);
    std::int64_t ReadCounter(const PerfLayout::PerfCounterDefinition* definition,
                             const PerfLayout::PerfCounterBlock* block, const char* missing);

    TPerfFilter& m_owner;
    QString m_objectName;
    QString m_counterName;
    std::uint32_t m_counterType = 0;
    int m_objectIndex = Unresolved;
    int m_counterIndex = Unresolved;
    PerfBlockView m_block;
    const PerfLayout::PerfObjectType* m_object = nullptr;
    const PerfLayout::PerfCounterDefinition* m_counter = nullptr;
    const PerfLayout::PerfCounterDefinition* m_base = nullptr;
    const PerfLayout::PerfCounterBlock* m_counterBlock = nullptr;
    const PerfLayout::PerfInstanceDefinition* m_firstInstance = nullptr;
    // The last instance reached, so that walking the instances in order stays linear.
    int m_cursorIndex = -1;
    const PerfLayout::PerfInstanceDefinition* m_cursor = nullptr;
};

// Binds its items to the shared block; Refresh queries the block again and re-binds them.
class TPerfFilter
{
public:
    using ItemNotifyEvent = std::function<void(TPerfFilter& sender, TPerfCounterItem& item)>;

    explicit TPerfFilter(PerfDataSource& source);
    ~TPerfFilter();

    QString LocaleID() { return m_titles.LocaleID(); }
    void SetLocaleID(const QString& localeId);
    TPerfHelps* Helps = nullptr;
    ItemNotifyEvent OnItemDestroy;
    bool Loading = false;

    TPerfCounterItem& Add();
    int Count() const { return static_cast<int>(m_items.size()); }
    TPerfCounterItem& Items(int index);
    void Delete(TPerfCounterItem& item);
    void Clear();

    // Raises "Performance data query failed (N)" when the source reports an error.
    void Refresh();

    TPerfTitles& Titles() { return m_titles; }
    TPerfData& Data() { return m_data.Get(); }

private:
    friend class TPerfCounterItem;

    TPerfTitles m_titles;
    PerfDataRef m_data;
    std::vector<std::unique_ptr<TPerfCounterItem>> m_items;
};
