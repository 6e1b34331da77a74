#pragma once

#include "platform/PerfBlockWriter.h"
#include "platform/PerfDataSource.h"

#include <QHash>
#include <deque>
#include <string>
#include <utility>
#include <vector>

// A performance data source that answers every query from the snapshot set as Current; a test
// moves the machine on by setting the next one.
class ScriptedPerfSource : public PerfDataSource
{
public:
    struct Counter
    {
        std::uint32_t NameIndex;
        std::uint32_t Type;
    };
    struct Instance
    {
        std::u16string Name;
        std::vector<std::uint64_t> Values; // one per counter
        std::int32_t UniqueId = PerfLayout::NoUniqueId;
    };
    struct Object
    {
        std::uint32_t NameIndex;
        std::vector<Counter> Counters;
        bool HasInstances = true;
        std::vector<Instance> Instances;
        std::vector<std::uint64_t> Values; // an object without instances
    };
    struct Snapshot
    {
        int Milliseconds = 0; // after 2026-12-08 12:00:00 UTC
        std::vector<Object> Objects;
    };

    static PerfLayout::SystemTimeRecord TimeAt(int milliseconds)
    {
        const int seconds = milliseconds / 1000;
        return {2026,
                12,
                2,
                8,
                static_cast<std::uint16_t>(12 + seconds / 3600),
                static_cast<std::uint16_t>(seconds / 60 % 60),
                static_cast<std::uint16_t>(seconds % 60),
                static_cast<std::uint16_t>(milliseconds % 1000)};
    }

    long Query(const QString&, std::byte* buffer, std::uint32_t& size) override
    {
        ++Queries;
        if (Result != PerfLayout::ErrorSuccess)
            return Result;
        PerfBlockWriter writer(buffer, size);
        writer.BeginBlock(TimeAt(Current.Milliseconds), 0, 10000000, 0, u"TESTBOX");
        for (const Object& object : Current.Objects) {
            writer.BeginObject(object.NameIndex, object.NameIndex + 1, object.HasInstances);
            for (const Counter& counter : object.Counters)
                writer.AddCounter(counter.NameIndex, counter.NameIndex + 1, counter.Type);
            if (object.HasInstances) {
                for (const Instance& instance : object.Instances) {
                    writer.BeginInstance(std::u16string_view(instance.Name), instance.UniqueId);
                    for (size_t c = 0; c < instance.Values.size(); ++c)
                        writer.SetCounter(static_cast<int>(c), instance.Values[c]);
                }
            } else {
                writer.BeginObjectData();
                for (size_t c = 0; c < object.Values.size(); ++c)
                    writer.SetCounter(static_cast<int>(c), object.Values[c]);
            }
            writer.EndObject();
        }
        const std::uint32_t length = writer.EndBlock();
        if (!writer.Fits()) {
            ++MoreDataAnswers;
            return PerfLayout::ErrorMoreData;
        }
        size = length;
        return PerfLayout::ErrorSuccess;
    }

    QStringList PerflibLocales() override { return Locales; }
    QStringList LoopbackInterfaces() override { return Loopbacks; }

    std::optional<QByteArray> TitleTable(const QString& locale, const QString& valueName) override
    {
        if (!Locales.contains(locale))
            return std::nullopt;
        const bool help = valueName == u"Help";
        QByteArray table;
        const auto& titles = LocaleTitles.contains(locale) ? LocaleTitles[locale] : Titles;
        for (const auto& [index, name] : titles) {
            table += QByteArray::number(index + (help ? 1 : 0)) + '\0';
            table += (help ? QByteArray("Help of ") : QByteArray()) + name.toUtf8() + '\0';
        }
        return table + '\0';
    }

    std::vector<PerfServiceInfo> Services() override { return ServiceList; }
    bool SetCountersDisabled(const QString& service, std::uint32_t value) override
    {
        Writes.emplace_back(service, value);
        return true;
    }

    // The usual titles of the objects and counters the program reads.
    std::vector<std::pair<std::uint32_t, QString>> Titles = {{238, "Processor"},
                                                             {6, "% Processor Time"},
                                                             {142, "% User Time"},
                                                             {234, "PhysicalDisk"},
                                                             {220, "Disk Read Bytes/sec"},
                                                             {222, "Disk Write Bytes/sec"},
                                                             {510, "Network Interface"},
                                                             {264, "Bytes Received/sec"},
                                                             {506, "Bytes Sent/sec"},
                                                             {2, "System"},
                                                             {10, "File Read Operations/sec"},
                                                             {12, "Queue"},
                                                             {14, "Fraction"},
                                                             {16, "Fraction Base"},
                                                             {18, "Hex"},
                                                             {20, "Thousandths"},
                                                             {22, "Elapsed"},
                                                             {24, "Histogram"},
                                                             {26, "Text"},
                                                             {28, "Zero"},
                                                             {30, "Base Only"},
                                                             {32, "Raw"},
                                                             {34, "Odd Size"},
                                                             {36, "Key"}};
    QStringList Locales = {QStringLiteral("009")};
    QStringList Loopbacks = {QStringLiteral("lo")};
    // Tables of other locales; any locale not here reads Titles.
    QHash<QString, std::vector<std::pair<std::uint32_t, QString>>> LocaleTitles;
    Snapshot Current;
    long Result = PerfLayout::ErrorSuccess;
    int Queries = 0;
    int MoreDataAnswers = 0;
    std::vector<PerfServiceInfo> ServiceList;
    std::vector<std::pair<QString, std::uint32_t>> Writes;
};
