#pragma once

#include "platform/DynStats.h"
#include "platform/FreeResources.h"
#include "platform/IfTable.h"
#include "platform/SystemInfo.h"

#include <QHash>
#include <cstring>
#include <deque>
#include <vector>

// A machine of given version, processors and memory; the ntdll times come from a script.
class FakeSystemInfo : public SystemInfo
{
public:
    OsVersion Version() override { return OsVersionValue; }
    std::uint32_t NumberOfProcessors() override { return Processors; }
    MemoryStatus GlobalMemoryStatus() override
    {
        ++MemoryQueries;
        return Memory;
    }
    bool NtDllAvailable() override { return NtDll; }
    long NtQuerySystemInformation(int infoClass, void* buffer, std::uint32_t length) override
    {
        auto* bytes = static_cast<unsigned char*>(buffer);
        std::memset(bytes, 0, length);
        if (infoClass == BasicInformation) {
            bytes[40] = static_cast<unsigned char>(Processors);
        } else if (infoClass == PerformanceInformation) {
            std::memcpy(bytes, &Idle, 8);
        } else if (infoClass == TimeOfDayInformation) {
            std::memcpy(bytes + 8, &Now, 8);
        }
        return StatusSuccess;
    }
    std::uint32_t TickCount() override { return Tick; }

    OsVersion OsVersionValue{5, 1, 2600, 2};
    std::uint32_t Processors = 2;
    MemoryStatus Memory;
    bool NtDll = true;
    std::int64_t Idle = 0;
    std::int64_t Now = 0;
    std::uint32_t Tick = 0;
    int MemoryQueries = 0;
};

// The HKEY_DYN_DATA statistics of a Windows 9x machine.
class FakeDynStats : public DynStats
{
public:
    bool Open(Key key) override
    {
        m_key = key;
        Opens.push_back(key);
        return !FailOpen;
    }
    std::uint32_t Read(const QString& name, std::uint32_t& value) override
    {
        if (m_key == Key::StatData) {
            value = Values.value(name);
            return 4;
        }
        Started << name;
        return 4;
    }
    void Close() override {}

    bool FailOpen = false;
    QHash<QString, std::uint32_t> Values;
    QStringList Started;
    std::vector<Key> Opens;

private:
    Key m_key = Key::StatData;
};

class FakeFreeResources : public FreeResources
{
public:
    Step Load() override { return LoadResult; }
    int GetFreeSystemResources(int which) override
    {
        ++Calls;
        return Percent[which];
    }

    Step LoadResult = Step::Ok;
    int Percent[3] = {80, 70, 60};
    int Calls = 0;
};

// An interface table whose rows carry scripted octet counts.
class FakeIfTable : public IfTable
{
public:
    bool Load() override { return Loads; }
    void Unload() override { ++Unloads; }
    std::uint32_t GetIfTable(IfLayout::MibIfTable* table, std::uint32_t& size, bool) override
    {
        const std::uint32_t needed = IfLayout::TableSize(static_cast<std::uint32_t>(In.size()));
        if (!table || size < needed) {
            size = SizeAnswer >= 0 ? static_cast<std::uint32_t>(SizeAnswer) : needed;
            return IfLayout::ErrorInsufficientBuffer;
        }
        if (Fail)
            return IfLayout::ErrorInvalidParameter;
        std::memset(table, 0, needed);
        table->dwNumEntries = static_cast<std::uint32_t>(In.size());
        for (size_t i = 0; i < In.size(); ++i) {
            table->table[i].dwInOctets = In[i];
            table->table[i].dwOutOctets = Out[i];
        }
        return IfLayout::NoError;
    }

    bool Loads = true;
    int SizeAnswer = -1;
    bool Fail = false;
    int Unloads = 0;
    std::vector<std::uint32_t> In{0};
    std::vector<std::uint32_t> Out{0};
};
