// A server's percentages and rates turned back into the counters the core takes differences of.
#include "remote/RateCounters.h"

#include <gtest/gtest.h>

namespace {

RateCounters::Answers Answers(std::initializer_list<std::pair<QueryInput, double>> values)
{
    RateCounters::Answers answers;
    for (const auto& [input, value] : values)
        answers[static_cast<std::size_t>(input)] = value;
    return answers;
}

TEST(RateCountersTest, RatesAdvanceCountersOverTheElapsedTimeAndMissingAnswersHoldThem)
{
    RateCounters rates;
    rates.Advance(Answers({{QueryInput::Processor, 50}, {QueryInput::DiskRead, 1024}}), 0);
    NodeExporterFigures f = rates.Advance(Answers({{QueryInput::Processor, 25},
                                                   {QueryInput::DiskRead, 1024},
                                                   {QueryInput::DiskWrite, 256},
                                                   {QueryInput::NetworkIn, 1000},
                                                   {QueryInput::NetworkOut, 10}}),
                                          2);
    ASSERT_EQ(f.Cpus.size(), 1u);
    EXPECT_EQ(f.Total.UserAll() + f.Total.Privileged(), 50u); // 25% of 200 ticks
    EXPECT_EQ(f.Total.IdleAll(), 150u);
    EXPECT_EQ(f.Cpus[0].Idle, 150u);
    ASSERT_EQ(f.Disks.size(), 1u);
    EXPECT_EQ(f.Disks[0].SectorsRead, 4u);
    EXPECT_EQ(f.Disks[0].SectorsWritten, 1u);
    ASSERT_EQ(f.Interfaces.size(), 1u);
    EXPECT_EQ(f.Interfaces[0].RxBytes, 2000u);
    EXPECT_EQ(f.Interfaces[0].TxBytes, 20u);
    EXPECT_FALSE(f.HasMemory);

    // A second later without a processor answer: its counters stand still, the rest go on.
    f = rates.Advance(Answers({{QueryInput::DiskRead, 1024}}), 1);
    EXPECT_EQ(f.Total.IdleAll(), 150u);
    EXPECT_EQ(f.Disks[0].SectorsRead, 6u);
    EXPECT_EQ(f.Interfaces[0].RxBytes, 2000u);
}

TEST(RateCountersTest, PercentagesArePartsOfAWholeAndTheTemperatureIsASensor)
{
    RateCounters rates;
    const NodeExporterFigures f = rates.Advance(
        Answers(
            {{QueryInput::Memory, 40}, {QueryInput::Swap, 150}, {QueryInput::Temperature, 61.5}}),
        1);
    ASSERT_TRUE(f.HasMemory);
    EXPECT_EQ(f.Memory.MemTotal, RateCounters::WholeKb);
    EXPECT_EQ(f.Memory.MemAvailable, RateCounters::WholeKb / 100 * 60);
    EXPECT_EQ(f.Memory.SwapFree, 0u); // clamped to all of it
    ASSERT_EQ(f.Temperatures.size(), 1u);
    EXPECT_DOUBLE_EQ(f.Temperatures[0].Celsius, 61.5);
}

} // namespace
