#include "app/SamplingTick.h"

#include "app/StatusSnapshot.h"
#include "core/PerfHistory.h"
#include "res/MRes.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t MiB = 1024 * 1024;

TickSample Disk(std::uint64_t read, std::uint64_t write = 0)
{
    TickSample sample;
    sample.DiskReadBytes = read;
    sample.DiskWriteBytes = write;
    return sample;
}

int TicksPerGraphStep(int perfRate, int graphRate)
{
    TSamplingTick tick;
    tick.ApplySettings(perfRate, graphRate, 0, 0, 0, 0, false);
    int ticks = 1;
    while (!tick.CountGraphTick())
        ++ticks;
    // The counter starts at 0 only once; measure a steady-state step.
    ticks = 1;
    while (!tick.CountGraphTick())
        ++ticks;
    return ticks;
}

int TicksPerAlertCheck(int perfRate)
{
    TSamplingTick tick;
    tick.ApplySettings(perfRate, 2, 0, 0, 0, 0, false);
    int ticks = 1;
    while (!tick.CountSecondTick())
        ++ticks;
    return ticks;
}

} // namespace

TEST(SamplingTickCounters, GraphStepsAndAlertChecksFollowTheRates)
{
    EXPECT_EQ(TicksPerGraphStep(1, 1), 6);
    EXPECT_EQ(TicksPerGraphStep(2, 1), 3);
    EXPECT_EQ(TicksPerGraphStep(2, 2), 6);
    EXPECT_EQ(TicksPerGraphStep(9, 1), 21);
    EXPECT_EQ(TicksPerAlertCheck(4), 21);
    EXPECT_EQ(TicksPerAlertCheck(1), 11);
    EXPECT_EQ(TicksPerAlertCheck(9), 2);
}

TEST(SamplingTickSpeeds, PercentsRoundUpAndStayIn0To100)
{
    EXPECT_EQ(TSamplingTick::PercentOf(1, 1048576), 1);
    EXPECT_EQ(TSamplingTick::PercentOf(0, 1048576), 0);
    EXPECT_EQ(TSamplingTick::PercentOf(60'000'000, 139'460'608), 44);
    EXPECT_EQ(TSamplingTick::PercentOf(5, 0), 0);
    EXPECT_EQ(TSamplingTick::PercentOf(UINT64_MAX, INT64_MAX), 100);
    // Rates past 4 GiB/s keep their true percent instead of wrapping.
    EXPECT_EQ(TSamplingTick::PercentOf(6'000'000'000ULL, 12'000'000'000LL), 50);
    EXPECT_EQ(TSamplingTick::PercentOf(INT64_MAX / 2 + 1, INT64_MAX), 51);
}

TEST(SamplingTickSpeeds, FixedAndCustomRanges)
{
    TSamplingTick tick;
    tick.ApplySettings(2, 2, 4, 99, 0, 12'000'000'000LL, false);
    tick.ComputeDisplayValues({nullptr, 0, 0, 60'000'000, 0, 6'000'000'000ULL, 0});
    EXPECT_EQ(tick.DiskReadPos, 44);
    EXPECT_EQ(tick.NetRecvPos, 50);
    tick.ApplySettings(2, 2, 77, 0, 0, 0, false); // an unknown index gives a full scale of 1
    tick.ComputeDisplayValues(Disk(1));
    EXPECT_EQ(tick.DiskFullScale, 1);
    EXPECT_EQ(tick.DiskReadPos, 100);
}

TEST(SamplingTickSpeeds, AutomaticScaleFollowsTheFastestRateAndDecays)
{
    TSamplingTick tick;
    tick.ApplySettings(2, 2, 0, 0, 0, 0, false);
    tick.ResetForSkin(1);
    tick.ComputeDisplayValues(Disk(10 * MiB));
    EXPECT_EQ(tick.DiskReadPos, 100); // the first rate after a skin load is the new peak
    EXPECT_EQ(tick.DiskFullScale, static_cast<std::int64_t>(10 * MiB));

    tick.ComputeDisplayValues(Disk(5 * MiB));
    EXPECT_EQ(tick.DiskReadPos, 50);

    TickHistories none;
    std::int64_t expected = 10 * MiB;
    for (int step = 0; step < 3; ++step) {
        tick.GraphStep(none);
        expected = expected * 9 / 10;
        tick.ComputeDisplayValues(Disk(0));
        EXPECT_EQ(tick.DiskFullScale, expected);
    }
    // A huge automatic peak decays without overflowing.
    tick.ComputeDisplayValues(Disk(UINT64_MAX));
    tick.GraphStep(none);
    EXPECT_EQ(tick.DiskAutoPeak, INT64_MAX / 10 * 9 + INT64_MAX % 10 * 9 / 10);
}

TEST(SamplingTickSpeeds, LogScaleMapsThePercent)
{
    TSamplingTick tick;
    tick.ApplySettings(2, 2, 99, 99, 1048576, 100, true);
    tick.ComputeDisplayValues({nullptr, 0, 0, 1, 0, 100, 0});
    EXPECT_EQ(tick.DiskReadPos, 16);
    EXPECT_EQ(tick.NetRecvPos, 100);
    EXPECT_EQ(tick.DisplayPercent(4), 35);
}

TEST(SamplingTickGraph, PeaksGoIntoTheHistoriesAndStartAgain)
{
    TSamplingTick tick;
    tick.ApplySettings(2, 2, 99, 99, 100, 100, false);
    tick.ResetForSkin(2);
    std::vector<std::int32_t> cpu{30, 20, 40};
    tick.ComputeDisplayValues({&cpu, 55, 7, 80, 10, 20, 30});
    cpu = {10, 90, 5};
    tick.ComputeDisplayValues({&cpu, 45, 9, 40, 60, 25, 35});

    std::vector<TPerfHistory> cpuHistory(3, TPerfHistory(4));
    TPerfHistory mem(4), swap(4), dr(4), dw(4), ni(4), no(4);
    tick.GraphStep({&cpuHistory, &mem, &swap, &dr, &dw, &ni, &no});
    EXPECT_EQ(cpuHistory[0].Get(0), 30);
    EXPECT_EQ(cpuHistory[1].Get(0), 90);
    EXPECT_EQ(cpuHistory[2].Get(0), 40);
    EXPECT_EQ(mem.Get(0), 55);
    EXPECT_EQ(swap.Get(0), 9);
    EXPECT_EQ(dr.Get(0), 80);
    EXPECT_EQ(dw.Get(0), 60);
    EXPECT_EQ(ni.Get(0), 25);
    EXPECT_EQ(no.Get(0), 35);
    EXPECT_EQ(tick.MemPeak, 0u);
    EXPECT_EQ(tick.CpuPeak, (std::vector<std::uint32_t>{0, 0, 0}));
}

TEST(SamplingTickGraph, SensorPeaksGoIntoTheirHistories)
{
    TSamplingTick tick;
    tick.ApplySettings(2, 2, 99, 99, 100, 100, false);
    tick.ResetForSkin(1);
    std::vector<std::int32_t> cpu{0, 0};
    TickSample sample{&cpu};
    sample.TempPos = 40;
    sample.BatteryPercent = 81;
    tick.ComputeDisplayValues(sample);
    sample.TempPos = 55;
    sample.BatteryPercent = 80;
    tick.ComputeDisplayValues(sample);
    sample.TempPos = 130; // out of range from a caller: kept in 0..100
    tick.ComputeDisplayValues(sample);

    TPerfHistory temp(4), battery(4);
    TickHistories histories;
    histories.Temp = &temp;
    histories.Battery = &battery;
    tick.GraphStep(histories);
    EXPECT_EQ(temp.Get(0), 100);
    EXPECT_EQ(battery.Get(0), 81);
    EXPECT_EQ(tick.TempPeak, 0u);
    EXPECT_EQ(tick.BatteryPeak, 0u);
}

TEST(StatusSnapshot, SensorLinesFollowWhatTheMachineOffers)
{
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    StatusValues values;
    const QString plain = BuildStatusSnapshot(values, c);
    EXPECT_FALSE(plain.contains("Temperature") || plain.contains("Battery") ||
                 plain.contains("Disk Space"));
    values.Sensors.Temperature = 57.46;
    values.Sensors.TemperatureSensor = "k10temp Tctl";
    values.Sensors.BatteryPercent = 64;
    values.Sensors.BatteryState = "discharging";
    values.Sensors.DiskUsedPercent = 1000; // a huge number keeps its separators
    values.Sensors.DiskPath = "/home/me";
    EXPECT_TRUE(BuildStatusSnapshot(values, c)
                    .endsWith(QString::fromUtf8("\r\n Temperature : 57.5 \u00b0C (k10temp Tctl)"
                                                "\r\n Battery : 64 % (discharging)"
                                                "\r\n Disk Space : 1,000 % used (/home/me)")));

    // A sensor read without a value says why.
    SensorReadings missing;
    missing.TemperatureAbsence = SensorAbsence::NoDriver;
    missing.BatteryAbsence = SensorAbsence::NoBattery;
    missing.DiskPath = "/mnt/nas";
    missing.DiskAbsence = SensorAbsence::NotAnswering;
    const QStringList lines = {"Temperature : Unavailable (no sensor driver)",
                               "Battery : Unavailable (no battery)",
                               "Disk Space : Unavailable (/mnt/nas: not answering)"};
    values.Sensors = missing;
    EXPECT_TRUE(BuildStatusSnapshot(values, c).endsWith("\r\n " + lines.join("\r\n ")));
    EXPECT_EQ(MissingSensorLines(missing), lines);
    values.Sensors.Temperature = 40;
    values.Sensors.TemperatureAbsence = SensorAbsence::None;
    EXPECT_EQ(MissingSensorLines(values.Sensors), lines.mid(1));
}

TEST(StatusSnapshot, ALinePerCardAndOneForTheChosenFan)
{
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    StatusValues values;
    GpuReading amd;
    amd.Id = "amdgpu/0000:0b:00.0";
    amd.Model = "AMD 0x73bf";
    amd.LoadPercent = 37.4;
    amd.LoadKind = "busy";
    amd.MemoryUsedBytes = 2147483648.0;
    amd.MemoryTotalBytes = 17179869184.0;
    amd.Celsius = 54;
    GpuReading sleeping;
    sleeping.Id = "amdgpu/0000:01:00.0";
    sleeping.Asleep = true;
    values.Sensors.Gpus = {amd, sleeping};
    values.Sensors.Gpu = sleeping;
    values.Sensors.GpuAbsence = SensorAbsence::None;
    values.Sensors.Fan = FanReading{"dell_smm/Processor Fan", "dell_smm Processor Fan", 2405, 4900};
    values.Sensors.FanAbsence = SensorAbsence::None;
    EXPECT_TRUE(BuildStatusSnapshot(values, c).endsWith(QString::fromUtf8(
        "\r\n GPU : 37 % busy, 2.0 / 16.0 GB, 54.0 \u00b0C (amdgpu/0000:0b:00.0 AMD 0x73bf)"
        "\r\n GPU : asleep (amdgpu/0000:01:00.0)"
        "\r\n Fan : 2,405 RPM (dell_smm Processor Fan)")));
    EXPECT_TRUE(MissingSensorLines(values.Sensors).isEmpty()); // asleep is no fault

    SensorReadings none;
    none.GpuAbsence = SensorAbsence::NoDriver;
    none.FanAbsence = SensorAbsence::NoDriver;
    const QStringList lines = {"GPU : Unavailable (no sensor driver)",
                               "Fan : Unavailable (no sensor driver)"};
    EXPECT_EQ(MissingSensorLines(none), lines);
    values.Sensors = none;
    EXPECT_TRUE(BuildStatusSnapshot(values, c).endsWith("\r\n " + lines.join("\r\n ")));
}

TEST(StatusSnapshot, LinesAndFormats)
{
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    StatusValues values{12, 34, 5,  1536, 3 * MiB + MiB / 2, -1, false, 23, "192.168.1.1", {},
                        {}, {}, {}, {}, {}, false};
    EXPECT_EQ(BuildStatusSnapshot(values, c),
              "Pulsmir Status Snapshot\r\n CPU : 12 %\r\n MEM : 34 %\r\n SWP : 5 %\r\n"
              " DiskAccess : 1.5 KB/s\r\n NetworkAccess : 3.5 MB/s\r\n"
              " Ping Response :   23ms(192.168.1.1)");
    values.TargetDrive = 3;
    values.PingTime = 888888;
    const QString withDrive = BuildStatusSnapshot(values, c);
    EXPECT_TRUE(withDrive.contains("\r\n (Target Physical Drive Number:  3)\r\n"));
    EXPECT_TRUE(withDrive.endsWith(" Ping Response : Time Out(192.168.1.1)"));
    values.Pinging = true;
    EXPECT_TRUE(BuildStatusSnapshot(values, c).endsWith("PINGING...(192.168.1.1)"));
    // A ping that cannot be sent at all says why, instead of timing out for ever.
    values.Pinging = false;
    values.PingFailure = "Unable to get ping handle: no raw ICMP socket";
    EXPECT_TRUE(BuildStatusSnapshot(values, c).endsWith(
        " Ping Response : Unavailable(Unable to get ping handle: no raw ICMP socket)"));

    // The busiest processes last, a line each, while they are sampled.
    values.Processes = {{"firefox", 2314, 12.5}, {"Xwayland", 901, 0.26}};
    EXPECT_TRUE(BuildStatusSnapshot(values, c).endsWith(
        "\r\n Process 1 : 12.5 % firefox (2314)\r\n Process 2 : 0.3 % Xwayland (901)"));

    // Another machine's figures name it, and say why they are missing.
    values.Machine = "nas.example";
    values.MachineFailure = "connection lost (timed out)";
    EXPECT_TRUE(BuildStatusSnapshot(values, c).startsWith(
        "Pulsmir Status Snapshot\r\n Machine : nas.example connection lost (timed out)\r\n CPU"));
    values.MachineFailure.clear();
    values.MachineWithoutData = QStringList{"memory", "temperature"};
    EXPECT_TRUE(BuildStatusSnapshot(values, c).contains(
        "\r\n Machine : nas.example no data for memory, temperature\r\n"));
    values.MachineHasNoData = true;
    EXPECT_TRUE(BuildStatusSnapshot(values, c).contains(
        " Machine : nas.example answers, but none of its queries has data"));

    EXPECT_EQ(FormatSpeed(1000, c), "1,000.0 B/s");
    EXPECT_EQ(FormatSpeed(5000ULL * MiB, c), "5,000.0 MB/s");
    EXPECT_EQ(FormatSpeed(1536, QLocale(QLocale::German)), "1,5 KB/s");
}

TEST(StatusSnapshot, ANameCannotStartALineOfItsOwn)
{
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    StatusValues values;
    values.PingHost = "host\r\n CPU : 0 %";
    values.Sensors.DiskUsedPercent = 40;
    values.Sensors.DiskPath = "/mnt/a\nb";
    values.Processes = {{"evil)\r\n CPU : 0 % (", 7, 99}};
    const QStringList lines = BuildStatusSnapshot(values, c).split("\r\n");
    ASSERT_EQ(lines.size(), 9) << qPrintable(lines.join('|'));
    EXPECT_TRUE(lines[6].endsWith("(host\\r\\n CPU : 0 %)")) << qPrintable(lines[6]);
    EXPECT_TRUE(lines[7].endsWith("(/mnt/a\\nb)")) << qPrintable(lines[7]);
    EXPECT_TRUE(lines[8].endsWith("evil)\\r\\n CPU : 0 % ( (7)")) << qPrintable(lines[8]);
}

TEST(StatusSnapshot, WordedInTheOpenLanguage)
{
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    StatusValues values{12, 34, 5, 1536, 3 * MiB + MiB / 2, 3, false, 888888, "192.168.1.1",
                        {}, {}, {{"make", 40, 3}}, "nas", {}, {"swap"}, false};
    values.Sensors.DiskUsedPercent = 40;
    values.Sensors.DiskPath = "/home/me";
    values.Sensors.TemperatureAbsence = SensorAbsence::NoDriver;
    GpuReading asleep;
    asleep.Id = "amdgpu/0000:01:00.0";
    asleep.Asleep = true;
    values.Sensors.Gpus = {asleep};
    values.Sensors.Fan = FanReading{"thinkpad/fan1", "thinkpad fan1", 2000, std::nullopt};
    TMRes res(QStringLiteral(PULSMIR_DATA_DIR));
    // English words it as the program does without a language.
    ASSERT_TRUE(res.OpenLanguage(QStringLiteral("English")));
    EXPECT_EQ(BuildStatusSnapshot(values, c, StatusWordsOf(res)), BuildStatusSnapshot(values, c));

    ASSERT_TRUE(res.OpenLanguage(QString::fromUtf8("日本語")));
    const QString japanese = BuildStatusSnapshot(values, c, StatusWordsOf(res));
    for (const char* english : {"Snapshot", "MEM", "SWP", "DiskAccess", "Target Physical",
                                "NetworkAccess", "Ping Response", "Time Out", "Disk Space", "used",
                                "no sensor driver", "Process", "Fan", "asleep", "no data"})
        EXPECT_FALSE(japanese.contains(QLatin1String(english)))
            << english << " in " << qPrintable(japanese);
    // The values and their layout stay.
    EXPECT_TRUE(japanese.contains(QStringLiteral(" : 1.5 KB/s\r\n")));
    EXPECT_TRUE(japanese.contains(QStringLiteral(":  3)\r\n")));
    EXPECT_TRUE(japanese.contains(QStringLiteral("(192.168.1.1)")));
    EXPECT_TRUE(japanese.contains(QStringLiteral(" (/home/me)\r\n")));
    EXPECT_TRUE(japanese.endsWith(QStringLiteral(" 1 : 3.0 % make (40)")));
}
