#pragma once

#include "core/ProcessShares.h"
#include "core/SensorReadings.h"

#include <QLocale>
#include <QString>
#include <cstdint>

class TMRes;

// What the status snapshot reports.
struct StatusValues
{
    int CpuUsage = 0;
    int MemoryLoad = 0;
    int SwapLoad = 0;
    std::uint64_t DiskBytes = 0; // read + write per second
    std::uint64_t NetBytes = 0;  // received + sent per second
    int TargetDrive = -1;
    bool Pinging = false;
    int PingTime = 0;
    QString PingHost;
    // A line each for the sensors read: the value, or why there is none.
    SensorReadings Sensors;
    QString PingFailure; // why no ping can be sent at all
    // The busiest processes, a line each, while they are sampled.
    std::vector<ProcessShare> Processes;
    // The machine the figures come from when it is another one, and why they are missing.
    QString Machine;
    QString MachineFailure;
    QStringList MachineWithoutData; // the inputs its server has no data for
    bool MachineHasNoData = false;  // it answers, but has data for none
};

// The words of the snapshot; the program's own until a language gives its. The printed
// snapshot keeps the program's own, in the C locale's numbers, for the scripts that read it.
struct StatusWords
{
    QString Title = QStringLiteral("Pulsmir Status Snapshot");
    QString Cpu = QStringLiteral("CPU");
    QString Memory = QStringLiteral("MEM");
    QString Swap = QStringLiteral("SWP");
    QString Disk = QStringLiteral("DiskAccess");
    QString TargetDrive = QStringLiteral("Target Physical Drive Number");
    QString Network = QStringLiteral("NetworkAccess");
    QString Ping = QStringLiteral("Ping Response");
    QString Pinging = QStringLiteral("PINGING...");
    QString TimeOut = QStringLiteral("Time Out");
    QString Unavailable = QStringLiteral("Unavailable");
    QString Temperature = QStringLiteral("Temperature");
    QString Battery = QStringLiteral("Battery");
    QString DiskSpace = QStringLiteral("Disk Space");
    QString Used = QStringLiteral("used");
    QString Process = QStringLiteral("Process");
    QString Gpu = QStringLiteral("GPU");
    QString Asleep = QStringLiteral("asleep");
    QString Fan = QStringLiteral("Fan");
    QString Machine = QStringLiteral("Machine");
    QString NoDataFor = QStringLiteral("no data for %1");
    QString NoInputData = QStringLiteral("answers, but none of its queries has data");
    const TMRes* Res = nullptr; // the reasons a sensor is missing in its language, if any
};

StatusWords StatusWordsOf(const TMRes& res);

// "#,##0.0 B/s", "KB/s" or "MB/s" in the locale's separators.
QString FormatSpeed(std::uint64_t bytesPerSecond, const QLocale& locale);

// "Temperature : Unavailable (no sensor driver)": a line for each sensor read that has no value.
// Graphics cards and fans count once chosen: a card asleep or without a load, a fan without
// its speed.
QStringList MissingSensorLines(const SensorReadings& sensors, const StatusWords& words = {});

// The text of the status tips, lines joined with CR LF; the control characters of a name are
// written out, so every line is one of the snapshot's own.
QString BuildStatusSnapshot(const StatusValues& values, const QLocale& locale,
                            const StatusWords& words = {});
