#include "core/PerfMonitor.h"

#include "core/PerfBlock.h"
#include "core/PerfError.h"
#include "doubles/ScriptedPerfSource.h"

#include <gtest/gtest.h>

using namespace PerfLayout;
using Source = ScriptedPerfSource;

namespace {

template <typename F> QString MessageOf(F f)
{
    try {
        f();
    } catch (const EPerfError& e) {
        return e.Message();
    }
    return QStringLiteral("(no exception)");
}

TPerfMonitorCounterValue Value(std::uint32_t type, std::int64_t previous, std::int64_t raw,
                               std::int64_t interval = 10000000)
{
    TPerfMonitorCounterValue value;
    value.CounterType = type;
    value.PreviousRawValue = previous;
    value.RawValue = raw;
    value.Interval = interval;
    return value;
}

Source::Snapshot Disks(int ms, std::vector<std::pair<std::u16string, std::uint64_t>> disks)
{
    Source::Object object{234, {{220, CounterBulkCount}}, true, {}, {}};
    for (auto& [name, bytes] : disks)
        object.Instances.push_back({name, {bytes}});
    return {ms, {object}};
}

} // namespace

TEST(PerfCounterValue, GetValueFollowsTheTypeWord)
{
    // Rate per second over one second: 5000 bytes.
    EXPECT_DOUBLE_EQ(double(Value(CounterBulkCount, 1000, 6000).GetValue()), 5000.0);
    // Inverse 100-ns timer in percent: idle 0.25 s of 1 s is 75 % busy.
    EXPECT_DOUBLE_EQ(double(Value(Counter100NsTimerInv, 0, 2500000).GetValue()), 75.0);
    EXPECT_DOUBLE_EQ(double(Value(Counter100NsTimer, 100, 5000100).GetValue()), 50.0);
    // Interval 0 gives a rate of 0, which the inverse makes 100 %.
    EXPECT_DOUBLE_EQ(double(Value(Counter100NsTimerInv, 0, 2500000, 0).GetValue()), 100.0);
    EXPECT_DOUBLE_EQ(double(Value(CounterBulkCount, 1, 99, 0).GetValue()), 0.0);
    // Number types give the raw value.
    EXPECT_DOUBLE_EQ(double(Value(CounterRawCount, 5, 42).GetValue()), 42.0);
    // A plain delta counter is the difference, without division.
    const std::uint32_t delta = SizeLarge | TypeCounter | CounterValue | DeltaCounter;
    EXPECT_DOUBLE_EQ(double(Value(delta, 40, 100).GetValue()), 60.0);
    // Fraction: against its base, 0 without one.
    TPerfMonitorCounterValue fraction = Value(CounterRawFraction, 0, 30);
    EXPECT_DOUBLE_EQ(double(fraction.GetValue()), 0.0);
    fraction.HasBase = true;
    fraction.BaseValue = 120;
    EXPECT_DOUBLE_EQ(double(fraction.GetValue()), 25.0);
    // A delta fraction takes both differences.
    TPerfMonitorCounterValue sampled = Value(CounterRawFraction | DeltaCounter, 10, 20);
    sampled.HasBase = true;
    sampled.PreviousBaseValue = 100;
    sampled.BaseValue = 140;
    EXPECT_DOUBLE_EQ(double(sampled.GetValue()), 25.0);
    EXPECT_DOUBLE_EQ(double(Value(SizeDword | TypeCounter | CounterQueueLen, 0, 9).GetValue()),
                     -4.0);
    EXPECT_DOUBLE_EQ(double(Value(SizeDword | TypeCounter | CounterHistogram, 0, 9).GetValue()),
                     -5.0);
    EXPECT_DOUBLE_EQ(double(Value(TypeZero, 0, 9).GetValue()), 0.0);
    // Elapsed: seconds since the raw time stamp.
    const std::uint32_t elapsed = SizeLarge | TypeCounter | CounterElapsed | DisplaySeconds;
    const double seconds =
        double(Value(elapsed, 0, CurrentFileTime() - 3600LL * 10000000).GetValue());
    EXPECT_GE(seconds, 3599.0);
    EXPECT_LT(seconds, 3700.0);
    EXPECT_EQ(MessageOf([] { Value(TypeText, 0, 1).GetValue(); }), "Invalid counter type");
    EXPECT_EQ(MessageOf([] { Value(CounterRawBase, 0, 1).GetValue(); }),
              "PerfUtils Internal error (Perf_COUNTER_BASE)");
}

TEST(PerfCounterValue, WrappedLargeCounterGivesItsTrueDifference)
{
    // A counter that passed 2^63 between samples still gives the bytes that moved.
    const std::int64_t before = std::numeric_limits<std::int64_t>::max() - 99;
    const std::int64_t after = static_cast<std::int64_t>(
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 101);
    EXPECT_DOUBLE_EQ(double(Value(CounterBulkCount, before, after).GetValue()), 200.0);
}

TEST(PerfCounterValue, AsIntegerAndAsTextByType)
{
    EXPECT_EQ(Value(CounterRawCount, 0, 1234).AsInteger(), 1234);
    EXPECT_EQ(Value(SizeDword | TypeCounter | CounterValue, 0, 77).AsInteger(), 77);
    EXPECT_EQ(Value(CounterBulkCount, 0, 1).AsInteger(), -1);
    EXPECT_EQ(Value(CounterRawFraction, 0, 1).AsInteger(), -2);
    EXPECT_EQ(Value(SizeLarge | TypeCounter | CounterElapsed, 0, 1).AsInteger(), -3);
    EXPECT_EQ(Value(SizeDword | TypeCounter | CounterQueueLen, 0, 1).AsInteger(), -4);
    EXPECT_EQ(Value(SizeDword | TypeCounter | CounterHistogram, 0, 1).AsInteger(), -5);
    EXPECT_EQ(Value(TypeZero, 0, 1).AsInteger(), 0);
    EXPECT_EQ(MessageOf([] { Value(CounterRawBase, 0, 1).AsInteger(); }),
              "PerfUtils Internal error (Perf_COUNTER_BASE)");
    EXPECT_EQ(MessageOf([] { Value(TypeText, 0, 1).AsInteger(); }), "Invalid counter type");

    EXPECT_EQ(Value(SizeDword | TypeNumber | NumberHex, 0, 0xBEEF).AsText(), "BEEF");
    EXPECT_EQ(Value(CounterRawCount, 0, 42).AsText(), "42");
    EXPECT_EQ(Value(SizeDword | TypeNumber | NumberDec1000, 0, 12345).AsText(), "12.345");
    EXPECT_EQ(Value(SizeDword | TypeNumber | 0x00030000, 0, 5).AsText(), "");
    EXPECT_EQ(Value(Counter100NsTimerInv, 0, 2500000).AsText(), "75.000000");
    EXPECT_EQ(Value(TypeZero, 0, 5).AsText(), "0");
    EXPECT_EQ(MessageOf([] { Value(TypeText, 0, 1).AsText(); }), "Invalid counter type");
}

class PerfMonitorFixture : public ::testing::Test
{
protected:
    void SetUp() override { TPerfInfo::ResetLocales(); }

    TPerfMonitorItem& AddDiskItem(TPerfMonitor& monitor)
    {
        TPerfMonitorItem& item = monitor.Add();
        item.SetObjectName("PhysicalDisk");
        item.SetCounterName("Disk Read Bytes/sec");
        return item;
    }

    Source source;
};

TEST_F(PerfMonitorFixture, TimesComeFromTheBlocksSystemTime)
{
    source.Current = Disks(0, {{u"0 sda", 100}});
    TPerfMonitor monitor(source);
    TPerfMonitorItem& item = AddDiskItem(monitor);
    EXPECT_TRUE(monitor.FirstSample());
    monitor.Collect();
    EXPECT_FALSE(monitor.FirstSample());
    EXPECT_EQ(monitor.Elapsed(), 0);
    EXPECT_FALSE(item.Values(0).HasPrevious);
    source.Current = Disks(500, {{u"0 sda", 600}});
    monitor.Collect();
    EXPECT_EQ(monitor.Interval(), 500 * 10000);
    EXPECT_TRUE(item.Values(0).HasPrevious);
    EXPECT_DOUBLE_EQ(double(item.Values(0).GetValue()), 1000.0); // 500 bytes in 0.5 s
    source.Current = Disks(1500, {{u"0 sda", 2600}});
    monitor.Collect();
    EXPECT_EQ(monitor.Interval(), 1000 * 10000);
    EXPECT_EQ(monitor.Elapsed(), 1500 * 10000);
    EXPECT_EQ(item.Values(0).SampleCount, 3);
    EXPECT_EQ(item.Values(0).FirstRawValue, 100);
    EXPECT_DOUBLE_EQ(double(item.Values(0).GetValue()), 2000.0);
}

TEST_F(PerfMonitorFixture, VanishedInstanceLosesItsRecordAndReturnsAsNew)
{
    source.Current = Disks(0, {{u"0 sda", 100}, {u"1 sdb", 50}});
    TPerfMonitor monitor(source);
    TPerfMonitorItem& item = AddDiskItem(monitor);
    monitor.Collect();
    EXPECT_EQ(item.ValueCount(), 2);
    source.Current = Disks(1000, {{u"0 sda", 200}});
    monitor.Collect();
    ASSERT_EQ(item.ValueCount(), 1);
    EXPECT_EQ(item.Values(0).InstanceName, "0 sda");
    EXPECT_EQ(MessageOf([&] { item.Values(1); }), "List index out of bounds (1)");
    source.Current = Disks(2000, {{u"0 sda", 300}, {u"1 sdb", 90}});
    monitor.Collect();
    ASSERT_EQ(item.ValueCount(), 2);
    EXPECT_EQ(item.Values(1).InstanceName, "1 sdb");
    EXPECT_FALSE(item.Values(1).HasPrevious);
    EXPECT_EQ(item.Values(1).PreviousRawValue, 0);
    EXPECT_TRUE(item.Values(0).HasPrevious);
}

TEST_F(PerfMonitorFixture, DuplicateNamesShareARecordUnlessAnObjectKeyTellsThemApart)
{
    auto snapshot = [](int ms, std::uint64_t a, std::uint64_t b) {
        Source::Object object{234, {{220, CounterBulkCount}, {36, CounterRawCount}}, true, {}, {}};
        object.Instances.push_back({u"disk", {a, 1}});
        object.Instances.push_back({u"DISK", {b, 2}});
        return Source::Snapshot{ms, {object}};
    };
    source.Current = snapshot(0, 100, 500);
    TPerfMonitor monitor(source);
    TPerfMonitorItem& shared = AddDiskItem(monitor);
    TPerfMonitorItem& keyed = AddDiskItem(monitor);
    keyed.SetObjectKey(";Key;");
    monitor.Collect();
    source.Current = snapshot(1000, 200, 900);
    monitor.Collect();

    ASSERT_EQ(shared.ValueCount(), 1);
    EXPECT_EQ(shared.Count(), 2);
    EXPECT_EQ(shared.Values(0).RawValue, 900); // the last instance wins
    EXPECT_EQ(shared.Values(0).SampleCount, 4);

    EXPECT_EQ(keyed.ObjectKey(), "Key");
    ASSERT_EQ(keyed.ValueCount(), 2);
    EXPECT_EQ(keyed.Values(0).InstanceKey, "1");
    EXPECT_EQ(keyed.Values(1).InstanceKey, "2");
    EXPECT_DOUBLE_EQ(double(keyed.Values(0).GetValue()), 100.0);
    EXPECT_DOUBLE_EQ(double(keyed.Values(1).GetValue()), 400.0);

    TPerfMonitor copy(source);
    copy.AssignItems(monitor);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Items(1).CounterName(), "Disk Read Bytes/sec");
    EXPECT_EQ(copy.Items(1).ObjectKey(), "Key");
    copy.Collect();
    EXPECT_EQ(copy.Items(1).ValueCount(), 2);
    EXPECT_EQ(copy.Items(0).ValueCount(), 1);
}

TEST_F(PerfMonitorFixture, ObjectWithoutInstancesHasOneRecord)
{
    Source::Object system{2, {{32, CounterRawCount}}, false, {}, {17}};
    source.Current = {0, {system}};
    TPerfMonitor monitor(source);
    TPerfMonitorItem& item = monitor.Add();
    item.SetObjectName("System");
    item.SetCounterName("Raw");
    monitor.Collect();
    EXPECT_EQ(item.Values(5).RawValue, 17);
    EXPECT_EQ(MessageOf([&] { item.Count(); }), "Performance object has no instances");
    TPerfMonitorItem& copy = monitor.Add();
    copy.Assign(item);
    EXPECT_EQ(copy.CounterName(), "Raw");
}
