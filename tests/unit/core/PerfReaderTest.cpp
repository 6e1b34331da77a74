#include "core/PerfError.h"
#include "core/PerfFilter.h"
#include "core/PerfObjects.h"
#include "doubles/ScriptedPerfSource.h"

#include <gtest/gtest.h>
#include <limits>

using namespace PerfLayout;
using Source = ScriptedPerfSource;

namespace {

Source::Object Processors(std::vector<std::u16string> names)
{
    Source::Object object{238, {{6, Counter100NsTimerInv}, {142, Counter100NsTimer}}, true, {}, {}};
    std::uint64_t value = 1000;
    for (auto& name : names)
        object.Instances.push_back({name, {value++, value++}});
    return object;
}

Source::Object SystemObject()
{
    // No instances; a fraction followed by its base, then a fraction whose next is no base.
    return {2,
            {{32, CounterRawCount},
             {14, CounterRawFraction},
             {16, CounterRawBase},
             {10, CounterRawFraction},
             {32 + 2, SizeZero | TypeNumber}},
            false,
            {},
            {7, 30, 120, 5, 0}};
}

template <typename F> QString MessageOf(F f)
{
    try {
        f();
    } catch (const EPerfError& e) {
        return e.Message();
    }
    return QStringLiteral("(no exception)");
}

class PerfReader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TPerfInfo::ResetLocales();
        source.Current.Objects = {Processors({u"0", u"1", u"_Total"}), SystemObject()};
    }
    void TearDown() override { EXPECT_EQ(TPerfData::References(source), 0); }

    Source source;
};

} // namespace

TEST_F(PerfReader, SharedBlockGrowsIn4096StepsUntilALargeBlockFitsAndIsFreedWithItsLastHolder)
{
    std::vector<std::u16string> many;
    for (int i = 0; i < 300; ++i)
        many.push_back(u"cpu" + QString::number(i).toStdU16String());
    source.Current.Objects = {Processors(many)};

    TPerfData* data = TPerfData::Acquire(source);
    TPerfData* again = TPerfData::Acquire(source);
    EXPECT_EQ(data, again);
    EXPECT_EQ(TPerfData::References(source), 2);
    EXPECT_GT(data->Block().Size, 8192u);
    EXPECT_EQ((data->Capacity() - TPerfData::InitialCapacity) % TPerfData::GrowStep, 0u);
    EXPECT_GE(data->Capacity(), data->Block().Size);
    EXPECT_LT(data->Capacity() - data->Block().Size, TPerfData::GrowStep);
    EXPECT_GT(source.MoreDataAnswers, 0);

    TPerfObjects objects(source);
    TPerfInstances instances(source);
    instances.SetObjectName("Processor");
    EXPECT_EQ(instances.Count(), 300);
    EXPECT_EQ(instances.Names(299), "cpu299");

    // The previous header is the first 88 bytes of the block before the last query.
    const PerfBlockView before = data->Block();
    QByteArray headerBefore(reinterpret_cast<const char*>(before.Data), 88);
    data->Query();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(data->PreviousHeader().data()), 88),
              headerBefore);

    TPerfData::Release(data);
    TPerfData::Release(again);
}

TEST_F(PerfReader, AFailedQueryIsReturnedAndLeavesAnEmptyBlock)
{
    TPerfData* data = TPerfData::Acquire(source);
    source.Result = ErrorFileNotFound;
    EXPECT_EQ(data->Query(), ErrorFileNotFound);
    EXPECT_EQ(data->Block().ObjectCount(), 0u);
    TPerfData::Release(data);
}

TEST_F(PerfReader, ASourceThatAlwaysWantsMoreIsGivenUpOnAtTheCapacityLimit)
{
    TPerfData* data = TPerfData::Acquire(source);
    source.Result = ErrorMoreData;
    EXPECT_EQ(data->Query(), ErrorMoreData);
    EXPECT_GE(data->Capacity(), TPerfData::MaxCapacity);
    EXPECT_LT(data->Capacity(), TPerfData::MaxCapacity + TPerfData::GrowStep);
    EXPECT_EQ(data->Block().ObjectCount(), 0u);
    TPerfData::Release(data);
}

TEST_F(PerfReader, TitlesMapBothWaysFirstMatchWinsAndCacheIsShared)
{
    source.Titles.push_back({900, "processor"}); // a duplicate name, later in the table
    source.Titles.push_back({901, "   "});       // an empty name is dropped
    {
        TPerfTitles titles(source);
        TPerfTitles other(source);
        EXPECT_EQ(titles.LocaleID(), "009");
        EXPECT_EQ(titles.IndexOfName("PROCESSOR"), "238");
        EXPECT_EQ(titles.IndexOfName("No such thing"), "-1");
        EXPECT_EQ(titles.NameOfIndex("510"), "Network Interface");
        EXPECT_EQ(titles.NameOfIndex("901"), "");
        EXPECT_EQ(titles.NameOfIndex("12345"), "");
        EXPECT_EQ(other.Count(), titles.Count());
        EXPECT_EQ(TPerfInfoData::CachedTables(), 1);
        TPerfHelps helps(source);
        EXPECT_EQ(helps.NameOfIndex("239"), "Help of Processor");
        EXPECT_EQ(TPerfInfoData::CachedTables(), 2);
    }
    EXPECT_EQ(TPerfInfoData::CachedTables(), 0);
}

TEST_F(PerfReader, LocalesAreReadOnceAndALongNameFailsOnceKeepingTheEarlierOnes)
{
    source.Locales = {"009", "011", "0123456789", "007"};
    TPerfTitles titles(source);
    EXPECT_EQ(MessageOf([&] { titles.Locales(); }), "More data is available.");
    TPerfTitles later(source);
    EXPECT_EQ(later.Locales(), QStringList({"009", "011"}));
    later.SetLocaleID("ZZZ");
    EXPECT_EQ(later.LocaleID(), "009");
    later.SetLocaleID("011");
    EXPECT_EQ(later.LocaleID(), "011");
}

TEST_F(PerfReader, NonNumericTitleIndexRaisesTheConversionError)
{
    source.Titles.push_back({0, "x"});
    struct BadSource : Source
    {
        std::optional<QByteArray> TitleTable(const QString&, const QString&) override
        {
            return QByteArray("238\0Processor\0abc\0Broken\0\0", 27);
        }
    } bad;
    TPerfTitles titles(bad);
    EXPECT_EQ(MessageOf([&] { titles.Count(); }), "'abc' is not a valid integer value");
    EXPECT_EQ(TPerfInfoData::CachedTables(), 0);
}

TEST_F(PerfReader, ObjectsCountersAndInstancesByNameAndPosition)
{
    TPerfObjects objects(source);
    ASSERT_EQ(objects.Count(), 2);
    EXPECT_EQ(objects.Names(0), "Processor");
    EXPECT_EQ(objects.Names(1), "System");
    EXPECT_EQ(objects.IndexOf("system"), 1);
    EXPECT_EQ(MessageOf([&] { objects.IndexOf("Nothing"); }),
              "Unknown performance object : \"Nothing\"");
    EXPECT_EQ(MessageOf([&] { objects.Names(2); }), "Index out of bounds");
    EXPECT_EQ(MessageOf([&] { objects.Names(-1); }), "Index out of bounds");

    TPerfCounters counters(source);
    EXPECT_EQ(MessageOf([&] { counters.SetObjectName("Nothing"); }),
              "Unknown performance object : \"Nothing\"");
    counters.SetObjectName("Processor");
    ASSERT_EQ(counters.Count(), 2);
    EXPECT_EQ(counters.Names(1), "% User Time");
    EXPECT_EQ(MessageOf([&] { counters.Names(2); }), "Index out of bounds");

    TPerfInstances instances(source);
    instances.SetObjectName("Processor");
    ASSERT_EQ(instances.Count(), 3);
    EXPECT_EQ(instances.Names(2), "_Total");
    EXPECT_EQ(MessageOf([&] { instances.Names(3); }), "Index out of bounds");
    EXPECT_EQ(MessageOf([&] { instances.SetObjectName("System"); }),
              "Object \"System\" has no instances");
    EXPECT_EQ(instances.ObjectName(), "");
}

TEST_F(PerfReader, ObjectWithZeroInstancesHasInstancesButNoData)
{
    source.Current.Objects = {Processors({})};
    TPerfFilter filter(source);
    TPerfCounterItem& item = filter.Add();
    item.SetObjectName("Processor");
    item.SetCounterName("% Processor Time");
    filter.Refresh();
    EXPECT_TRUE(item.HasInstances());
    EXPECT_EQ(item.InstanceCount(), 0);
    EXPECT_EQ(MessageOf([&] { item.InstanceRawValue(0); }), "Index \"0\" out of bounds [0..0]");
    EXPECT_EQ(MessageOf([&] { item.RawValue(); }), "Invalid counter block");
}

TEST_F(PerfReader, CounterItemReadsValuesAndRaisesItsMessages)
{
    TPerfFilter filter(source);
    TPerfCounterItem& cpu = filter.Add();
    EXPECT_EQ(MessageOf([&] { cpu.SetObjectName("Nothing"); }), "Invalid performance object name");
    EXPECT_EQ(cpu.ObjectName(), "");
    cpu.SetObjectName("Processor");
    EXPECT_EQ(MessageOf([&] { cpu.SetCounterName("Bogus"); }),
              "Invalid performance counter name : Bogus");
    EXPECT_EQ(cpu.CounterName(), "Bogus");
    cpu.SetCounterName("% User Time");
    filter.Refresh();

    EXPECT_EQ(cpu.InstanceCount(), 3);
    EXPECT_EQ(cpu.InstanceRawValue(0), 1001);
    EXPECT_EQ(cpu.InstanceRawValue(2), 1005);
    EXPECT_EQ(cpu.InstanceRawValue(1), 1003); // walking back
    EXPECT_EQ(cpu.InstanceName(1), "1");
    EXPECT_EQ(MessageOf([&] { cpu.InstanceRawValue(3); }), "Index \"3\" out of bounds [0..3]");
    EXPECT_EQ(MessageOf([&] { cpu.InstanceRawValue(-1); }), "Index \"-1\" out of bounds [0..3]");
    EXPECT_EQ(MessageOf([&] { cpu.RawValue(); }), "Instance not specified");
    EXPECT_EQ(MessageOf([&] { cpu.InstanceBaseValue(0); }), "Invalid counter base block");

    TPerfCounterItem& raw = filter.Add();
    raw.SetObjectName("System");
    raw.SetCounterName("Raw");
    TPerfCounterItem& fraction = filter.Add();
    fraction.SetObjectName("System");
    fraction.SetCounterName("Fraction");
    TPerfCounterItem& lone = filter.Add();
    lone.SetObjectName("System");
    lone.SetCounterName("File Read Operations/sec");
    TPerfCounterItem& odd = filter.Add();
    odd.SetObjectName("System");
    odd.SetCounterName("Odd Size");
    filter.Refresh();

    EXPECT_EQ(raw.RawValue(), 7);
    EXPECT_FALSE(raw.HasInstances());
    EXPECT_EQ(MessageOf([&] { raw.InstanceCount(); }), "Performance object has no instances");
    EXPECT_EQ(MessageOf([&] { raw.InstanceRawValue(0); }),
              "Performance object \"System\" has no instances");
    EXPECT_TRUE(fraction.HasBase());
    EXPECT_EQ(fraction.BaseRawValue(), 120);
    EXPECT_FALSE(lone.HasBase()); // followed by a counter that is no base
    EXPECT_EQ(MessageOf([&] { lone.BaseRawValue(); }), "Invalid counter base block");
    EXPECT_EQ(MessageOf([&] { odd.RawValue(); }), "Invalid counter block size");

    TPerfCounterItem& other = filter.Add();
    other.Assign(cpu);
    EXPECT_EQ(other.ObjectName(), "Processor");
    EXPECT_EQ(other.CounterName(), "% User Time");
    struct Foreign : TPerfPersistent
    {
    } foreign;
    EXPECT_EQ(MessageOf([&] { other.Assign(foreign); }), "Incompatible types");
}

TEST_F(PerfReader, RefreshRebindsAndAnItemWhoseObjectVanishedYieldsNoData)
{
    TPerfFilter filter(source);
    TPerfCounterItem& raw = filter.Add();
    raw.SetObjectName("System");
    raw.SetCounterName("Raw");
    filter.Refresh();
    EXPECT_EQ(raw.RawValue(), 7);

    source.Current.Objects = {Processors({u"0"})};
    filter.Refresh();
    EXPECT_EQ(MessageOf([&] { raw.RawValue(); }), "Invalid counter block");
    EXPECT_EQ(MessageOf([&] { raw.CounterDefinition(); }), "Invalid performance counter name");

    source.Result = ErrorFileNotFound;
    EXPECT_EQ(MessageOf([&] { filter.Refresh(); }), "Performance data query failed (2)");
}

TEST_F(PerfReader, ItemDestroyIsReported)
{
    TPerfFilter filter(source);
    int destroyed = 0;
    filter.OnItemDestroy = [&](TPerfFilter&, TPerfCounterItem&) {
        ++destroyed;
    };
    filter.Add();
    TPerfCounterItem& second = filter.Add();
    filter.Delete(second);
    EXPECT_EQ(destroyed, 1);
    filter.Clear();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(MessageOf([&] { filter.Items(0); }), "List index out of bounds (0)");
}

TEST_F(PerfReader, DamagedBlockEndsTheWalkInsteadOfReadingPastIt)
{
    TPerfData* data = TPerfData::Acquire(source);
    PerfBlockView block = data->Block();
    // An object that claims to be longer than the block.
    std::vector<std::byte> copy(block.Data, block.Data + block.Size);
    auto* first = reinterpret_cast<PerfObjectType*>(copy.data() + block.Header()->HeaderLength);
    first->TotalByteLength = 0x7FFFFFF0;
    PerfBlockView damaged{copy.data(), block.Size};
    const PerfObjectType* object = damaged.FirstObject();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(damaged.NextObject(object), nullptr);
    // An instance name that runs off the end.
    const PerfInstanceDefinition* instance = damaged.FirstInstance(object);
    ASSERT_NE(instance, nullptr);
    const_cast<PerfInstanceDefinition*>(instance)->NameLength = 0x10000000;
    EXPECT_TRUE(damaged.InstanceName(instance).isEmpty());
    PerfBlockView truncated{copy.data(), 40};
    EXPECT_EQ(truncated.Header(), nullptr);
    EXPECT_EQ(truncated.ObjectCount(), 0u);
    TPerfData::Release(data);
}

TEST_F(PerfReader, DamagedCountsAreCutToWhatTheBlockCanHold)
{
    TPerfData* data = TPerfData::Acquire(source);
    const PerfBlockView block = data->Block();
    std::vector<std::byte> copy(block.Data, block.Data + block.Size);
    auto* header = reinterpret_cast<PerfDataBlock*>(copy.data());
    auto* first = reinterpret_cast<PerfObjectType*>(copy.data() + header->HeaderLength);
    const PerfBlockView damaged{copy.data(), block.Size};
    EXPECT_EQ(damaged.ObjectCount(), 2u);
    EXPECT_EQ(damaged.CounterCount(first), 2u);
    EXPECT_EQ(damaged.InstanceCount(first), 3);

    // Counts past what int holds once made a walk's last index overflow.
    header->NumObjectTypes = 0x80000000u;
    first->NumCounters = 0xFFFFFFFFu;
    EXPECT_LE(damaged.ObjectCount(), block.Size / sizeof(PerfObjectType));
    EXPECT_LE(damaged.CounterCount(first), first->DefinitionLength / sizeof(PerfCounterDefinition));
    first->NumInstances = std::numeric_limits<std::int32_t>::max();
    EXPECT_LE(damaged.InstanceCount(first),
              static_cast<std::int32_t>(block.Size / sizeof(PerfInstanceDefinition)));
    // The sampler's walk over a counter's instances sees the same cut count.
    TPerfFilter filter(source);
    TPerfCounterItem& cpu = filter.Add();
    cpu.SetObjectName("Processor");
    cpu.SetCounterName("% User Time");
    header->NumObjectTypes = 2;
    ASSERT_TRUE(cpu.Bind(damaged));
    EXPECT_EQ(cpu.InstanceCount(), damaged.InstanceCount(first));
    EXPECT_EQ(cpu.InstanceName(0), "0");
    first->NumInstances = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(damaged.InstanceCount(first), NoInstances);
    TPerfData::Release(data);
}

TEST_F(PerfReader, LocaleChangeTranslatesNamesThroughTheirIndexes)
{
    source.Locales = {"009", "011"};
    source.LocaleTitles["011"] = {{238, QString::fromUtf8("プロセッサ")},
                                  {142, QString::fromUtf8("ユーザー時間")},
                                  {2, QString::fromUtf8("システム")}};
    TPerfCounters counters(source);
    counters.SetObjectName("Processor");
    TPerfFilter filter(source);
    TPerfCounterItem& item = filter.Add();
    item.SetObjectName("Processor");
    item.SetCounterName("% User Time");
    const int tables = TPerfInfoData::CachedTables();

    counters.SetLocaleID("011");
    EXPECT_EQ(counters.ObjectName(), QString::fromUtf8("プロセッサ"));
    EXPECT_EQ(counters.Names(1), QString::fromUtf8("ユーザー時間"));
    filter.SetLocaleID("011");
    EXPECT_EQ(item.ObjectName(), QString::fromUtf8("プロセッサ"));
    EXPECT_EQ(item.CounterName(), QString::fromUtf8("ユーザー時間"));
    filter.Refresh();
    EXPECT_EQ(item.InstanceRawValue(0), 1001);
    // Both now share the "011" table; the "009" one was released by both.
    EXPECT_EQ(TPerfInfoData::CachedTables(), tables);
}

TEST(PerfBlockTime, SystemTimesBeyondTheLastYearAFileTimeHoldsAreRefused)
{
    std::int64_t fileTime = 0;
    ASSERT_TRUE(SystemTimeToFileTime({1601, 1, 1, 1, 0, 0, 0, 0}, fileTime));
    EXPECT_EQ(fileTime, 0);
    // The last millisecond of 30827 still fits the signed 64-bit count of 100 ns.
    ASSERT_TRUE(SystemTimeToFileTime({30827, 12, 0, 31, 23, 59, 59, 999}, fileTime));
    EXPECT_EQ(fileTime, 9223149887999990000LL);
    fileTime = 42;
    EXPECT_FALSE(SystemTimeToFileTime({30828, 1, 0, 1, 0, 0, 0, 0}, fileTime));
    EXPECT_FALSE(SystemTimeToFileTime({65535, 12, 0, 31, 23, 59, 59, 999}, fileTime));
    EXPECT_EQ(fileTime, 42);
}
