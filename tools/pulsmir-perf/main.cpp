// pulsmir-perf: browses the performance data the monitor reads, in the spirit of typeperf.
#include "Version.h"
#include "core/PerfCore.h"
#include "core/PerfError.h"
#include "core/PerfMonitor.h"
#include "core/PerfObjects.h"
#include "core/ProcessShares.h"
#include "core/SensorSampler.h"
#include "log/PrintableText.h"
#include "platform/AtomicFile.h"
#include "platform/DetachedThreads.h"
#include "platform/Dialogs.h"
#include "platform/HttpFetch.h"
#include "platform/linux/ProcPerfDataSource.h"
#include "platform/linux/ProcProcesses.h"
#include "platform/linux/ProcSystemInfo.h"
#include "platform/linux/SysfsGpus.h"
#include "platform/linux/SysfsSensors.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

namespace {

const char* const HelpText =
    "Usage: pulsmir-perf COMMAND [ARGUMENTS] [OPTIONS]\n"
    "Browses this machine's performance counters as the monitor reads them.\n"
    "\n"
    "Commands:\n"
    "  objects                     list the performance objects\n"
    "  counters OBJECT             list the counters of an object\n"
    "  instances OBJECT            list the instances of an object\n"
    "  sample OBJECT COUNTER       print the counter's value once per interval:\n"
    "                              time, instance, value\n"
    "  core                        print the measurement core's values after each sample\n"
    "  sensors [PATH]              list the temperature sensors, graphics cards and fans,\n"
    "                              then print the temperature, battery, the disk space of\n"
    "                              PATH (default: the home folder), the automatic card and\n"
    "                              fan once per interval\n"
    "  processes [N]               print the N busiest processes (default 5) over each\n"
    "                              interval: time, pid, share of all processors, name\n"
    "  fetch URL                   GET an http or https address as the monitor does (5 s\n"
    "                              deadline, 8 MiB at most) and print its status and size\n"
    "\n"
    "Options:\n"
    "  --instance NAME             sample only this instance\n"
    "  --interval MS               milliseconds between samples (default 1000, 10..3600000)\n"
    "  --count N                   number of samples (default 5; 0 runs until stopped)\n"
    "  --ca-file FILE              fetch: trust this CA file instead of the system's\n"
    "  --token-file FILE           fetch: send the bearer token this file holds\n"
    "  --user NAME                 fetch: basic authentication as NAME ...\n"
    "  --password-file FILE        ... with the password this file holds\n"
    "  --output FILE               fetch: write the reply's body to FILE\n"
    "  --help                      show this help and exit\n"
    "  --version                   show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when a name is unknown or the data cannot be read,\n"
    "2 on a usage error.\n";

constexpr int ExitUsage = 2;
constexpr int ExitFailure = 1;

struct Options
{
    QStringList Arguments;
    std::optional<QString> Instance;
    int IntervalMs = 1000;
    int Count = 5;
    HttpFetchOptions Fetch;
    QString Output;
};

class NoDialogs : public Dialogs
{
protected:
    DialogAnswer Present(DialogType, const QString& text, DialogButtons) override
    {
        std::fprintf(stderr, "pulsmir-perf: %s\n", qUtf8Printable(text));
        return DialogAnswer::No;
    }
};

int Usage(const char* message)
{
    std::fprintf(stderr, "pulsmir-perf: %s\nTry 'pulsmir-perf --help'.\n", message);
    return ExitUsage;
}

bool ParseNumber(const char* text, int low, int high, int& value)
{
    bool ok = false;
    const int parsed = QString::fromLocal8Bit(text).toInt(&ok);
    if (!ok || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

void Print(const QString& line)
{
    std::fputs(qUtf8Printable(line + u'\n'), stdout);
}

QString Now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

void Wait(int ms)
{
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int ListObjects(PerfDataSource& source)
{
    TPerfObjects objects(source);
    for (int i = 0; i < objects.Count(); ++i)
        Print(objects.Names(i));
    return 0;
}

int ListCounters(PerfDataSource& source, const QString& object)
{
    TPerfCounters counters(source);
    counters.SetObjectName(object);
    for (int i = 0; i < counters.Count(); ++i)
        Print(counters.Names(i));
    return 0;
}

int ListInstances(PerfDataSource& source, const QString& object)
{
    TPerfInstances instances(source);
    instances.SetObjectName(object);
    for (int i = 0; i < instances.Count(); ++i)
        Print(instances.Names(i));
    return 0;
}

int Sample(PerfDataSource& source, const Options& options)
{
    TPerfMonitor monitor(source);
    TPerfMonitorItem& item = monitor.Add();
    TPerfObjects objects(source);
    objects.IndexOf(options.Arguments[1]); // names the unknown object
    item.SetObjectName(options.Arguments[1]);
    item.SetCounterName(options.Arguments[2]);
    monitor.Collect(); // the first collect has no previous sample to take a rate against
    const bool hasInstances = item.CounterItem().HasInstances();
    if (options.Instance && !hasInstances) {
        std::fprintf(stderr, "pulsmir-perf: Object \"%s\" has no instances\n",
                     qUtf8Printable(options.Arguments[1]));
        return ExitFailure;
    }
    for (int n = 0; options.Count == 0 || n < options.Count; ++n) {
        Wait(options.IntervalMs);
        monitor.Collect();
        const QString time = Now();
        bool printed = false;
        const int records = hasInstances ? item.ValueCount() : 1;
        for (int i = 0; i < records; ++i) {
            const TPerfMonitorCounterValue& value = item.Values(i);
            if (options.Instance && value.InstanceName != *options.Instance)
                continue;
            Print(time + u'\t' + (hasInstances ? value.InstanceName : QStringLiteral("-")) + u'\t' +
                  QString::number(static_cast<double>(value.GetValue()), 'f', 6));
            printed = true;
        }
        if (options.Instance && !printed) {
            std::fprintf(stderr, "pulsmir-perf: instance \"%s\" not found in \"%s\"\n",
                         qUtf8Printable(*options.Instance), qUtf8Printable(options.Arguments[1]));
            return ExitFailure;
        }
    }
    return 0;
}

int RunCore(PerfDataSource& source, const Options& options)
{
    ProcSystemInfo system;
    NoDialogs dialogs;
    TPerfCore core({source, system, dialogs}, TaggedLog());
    // Byte values are per sample times samples per second.
    core.RateFactor = std::max(1, (1000 + options.IntervalMs / 2) / options.IntervalMs);
    if (!core.StartMonitor()) {
        std::fprintf(stderr, "pulsmir-perf: the measurement core did not start\n");
        return ExitFailure;
    }
    core.CollectSample();
    for (int n = 0; options.Count == 0 || n < options.Count; ++n) {
        Wait(options.IntervalMs);
        if (!core.CollectSample()) {
            std::fprintf(stderr, "pulsmir-perf: sample failed\n");
            return ExitFailure;
        }
        QStringList cpu;
        for (std::int32_t usage : core.CpuUsage)
            cpu << QString::number(usage);
        QStringList active;
        const std::pair<bool, const char*> flags[] = {{core.DiskReadActive, "DR"},
                                                      {core.DiskWriteActive, "DW"},
                                                      {core.NetRecvActive, "NR"},
                                                      {core.NetSendActive, "NS"}};
        for (const auto& [on, name] : flags)
            if (on)
                active << QString::fromLatin1(name);
        Print(QStringLiteral("%1 cpu=[%2] mem=%3 swap=%4 diskread=%5 diskwrite=%6 netrecv=%7 "
                             "netsend=%8 active=%9")
                  .arg(Now(), cpu.join(u','))
                  .arg(core.MemoryLoad)
                  .arg(core.SwapLoad)
                  .arg(core.DiskReadBytes)
                  .arg(core.DiskWriteBytes)
                  .arg(core.NetRecvBytes)
                  .arg(core.NetSendBytes)
                  .arg(active.isEmpty() ? QStringLiteral("-") : active.join(u',')));
    }
    return 0;
}

QString Celsius(const std::optional<double>& value)
{
    return value ? QString::number(*value, 'f', 1) + QStringLiteral("C") : QStringLiteral("-");
}

QString Value(const std::optional<double>& value, const char* unit, double scale = 1)
{
    return value ? QString::number(*value / scale, 'f', 1) + QLatin1String(unit)
                 : QStringLiteral("-");
}

QString GpuLine(const GpuReading& gpu)
{
    if (gpu.Asleep)
        return QStringLiteral("asleep");
    return QStringLiteral("load=%1(%2) memory=%3/%4 temperature=%5 fan=%6 power=%7")
        .arg(Value(gpu.LoadPercent, "%"),
             gpu.LoadKind.isEmpty() ? QStringLiteral("-") : gpu.LoadKind,
             Value(gpu.MemoryUsedBytes, "MiB", 1048576),
             Value(gpu.MemoryTotalBytes, "MiB", 1048576), Celsius(gpu.Celsius),
             Value(gpu.FanRpm, "rpm"), Value(gpu.PowerWatts, "W"));
}

int RunSensors(const Options& options)
{
    SysfsSensors source(SensorRoots::FromEnvironment());
    std::optional<std::vector<TemperatureSensorInfo>> sensors = source.TemperatureSensors();
    const std::optional<TemperatureSensorInfo> automatic = AutomaticTemperatureSensor(*sensors);
    for (const TemperatureSensorInfo& sensor : *sensors)
        Print(QStringLiteral("sensor %1\t%2\t%3%4")
                  .arg(sensor.Id, sensor.Label(), Celsius(source.ReadTemperature(sensor.Id)),
                       automatic && automatic->Id == sensor.Id ? QStringLiteral("\tautomatic")
                                                               : QString()));
    if (sensors->empty())
        Print(QStringLiteral("sensor none"));
    SysfsGpus gpus(GpuRoots::FromEnvironment());
    SensorReadings machine;
    TakeGpus(machine, gpus.ReadGpus(), {});
    TakeFans(machine, source.ReadFans(), {});
    for (const GpuReading& gpu : machine.Gpus)
        Print(QStringLiteral("gpu %1\t%2\t%3\t%4%5")
                  .arg(gpu.Id, gpu.Driver, gpu.Model.isEmpty() ? QStringLiteral("-") : gpu.Model,
                       GpuLine(gpu),
                       machine.Gpu && machine.Gpu->Id == gpu.Id ? QStringLiteral("\tautomatic")
                                                                : QString()));
    if (machine.Gpus.empty())
        Print(QStringLiteral("gpu none"));
    for (const FanReading& fan : machine.Fans)
        Print(QStringLiteral("fan %1\t%2\t%3\tmax=%4%5")
                  .arg(fan.Id, fan.Label, Value(fan.Rpm, "rpm"), Value(fan.MaxRpm, "rpm"),
                       machine.Fan && machine.Fan->Id == fan.Id ? QStringLiteral("\tautomatic")
                                                                : QString()));
    if (machine.Fans.empty())
        Print(QStringLiteral("fan none"));
    SensorChoice choice;
    choice.DiskPath = options.Arguments.size() > 1 ? options.Arguments[1] : QDir::homePath();
    choice.ReadGpus = choice.ReadFans = true;
    for (int n = 0; options.Count == 0 || n < options.Count; ++n) {
        if (n > 0)
            Wait(options.IntervalMs);
        SensorReadings r = ReadSensors(source, choice, sensors);
        TakeDiskSpace(r, choice.DiskPath, source.ReadDiskSpace(choice.DiskPath));
        TakeGpus(r, gpus.ReadGpus(), choice.GpuId);
        Print(QStringLiteral("%1 temperature=%2 battery=%3 disk=%4 gpu=%5 fan=%6")
                  .arg(Now(), Celsius(r.Temperature),
                       r.BatteryPercent
                           ? QStringLiteral("%1%(%2)").arg(*r.BatteryPercent).arg(r.BatteryState)
                           : QStringLiteral("-"),
                       r.DiskUsedPercent
                           ? QStringLiteral("%1%(%2)").arg(*r.DiskUsedPercent).arg(r.DiskPath)
                           : QStringLiteral("-"),
                       r.Gpu ? GpuLine(*r.Gpu) : QStringLiteral("-"),
                       r.Fan ? Value(r.Fan->Rpm, "rpm") : QStringLiteral("-")));
    }
    return 0;
}

int RunProcesses(const Options& options)
{
    int shown = 5;
    if (options.Arguments.size() > 1 &&
        !ParseNumber(qPrintable(options.Arguments[1]), 1, 100000, shown))
        return Usage("processes takes a number from 1");
    ProcProcesses source(ProcProcesses::RootFromEnvironment());
    TProcessShares shares;
    shares.Next(source, size_t(shown));
    for (int n = 0; options.Count == 0 || n < options.Count; ++n) {
        Wait(options.IntervalMs);
        const std::vector<ProcessShare> busiest = shares.Next(source, size_t(shown)).value_or(
            std::vector<ProcessShare>());
        const QString time = Now();
        for (const ProcessShare& process : busiest)
            Print(QStringLiteral("%1\t%2\t%3\t%4")
                      .arg(time)
                      .arg(process.Pid)
                      .arg(process.Percent, 0, 'f', 2)
                      .arg(EscapeControls(process.Name)));
        if (busiest.empty())
            Print(time + QStringLiteral("\t-"));
    }
    return 0;
}

// The reason is free of secrets, and the address is shown without a password.
int RunFetch(int argc, char* argv[], const Options& options)
{
    QCoreApplication app(argc, argv);
    const QString url = options.Arguments[1];
    HttpFetchOptions fetchOptions = options.Fetch;
    fetchOptions.DeadlineMs = 5000;
    const auto fetch = MakeHttpFetch(fetchOptions);
    HttpReply reply;
    fetch->Get(url, [&](const HttpReply& r) {
        reply = r;
        app.quit();
    });
    app.exec();
    if (reply.Status != 0)
        Print(QStringLiteral("status %1\nsize %2").arg(reply.Status).arg(reply.Body.size()));
    if (!reply.Ok()) {
        std::fprintf(stderr, "pulsmir-perf: %s: %s\n", qUtf8Printable(LoggableUrl(url)),
                     qUtf8Printable(reply.Reason));
        return ExitFailure;
    }
    if (!options.Output.isEmpty()) {
        try {
            WriteFileAtomically(options.Output, reply.Body);
        } catch (const EFileWriteError& e) {
            std::fprintf(stderr, "pulsmir-perf: %s\n", e.what());
            return ExitFailure;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    Options options;
    bool fetchArguments = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == u"--help") {
            std::fputs(HelpText, stdout);
            return 0;
        }
        if (arg == u"--version") {
            std::printf("pulsmir-perf %s (Build %d)\n", Version::Text, Version::Build);
            return 0;
        }
        const QStringList fetchOptions = {
            QStringLiteral("--ca-file"), QStringLiteral("--token-file"), QStringLiteral("--user"),
            QStringLiteral("--password-file"), QStringLiteral("--output")};
        const bool takesValue = arg == u"--instance" || arg == u"--interval" || arg == u"--count" ||
                                fetchOptions.contains(arg);
        if (takesValue && i + 1 >= argc)
            return Usage(qPrintable(arg + QStringLiteral(" needs a value")));
        if (arg == u"--instance") {
            options.Instance = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == u"--interval") {
            if (!ParseNumber(argv[++i], 10, 3600000, options.IntervalMs))
                return Usage("--interval takes milliseconds from 10 to 3600000");
        } else if (arg == u"--count") {
            if (!ParseNumber(argv[++i], 0, 1000000000, options.Count))
                return Usage("--count takes a number from 0");
        } else if (fetchOptions.contains(arg)) {
            const QString value = QString::fromLocal8Bit(argv[++i]);
            QString& field = arg == u"--ca-file"      ? options.Fetch.CaFile
                             : arg == u"--token-file" ? options.Fetch.TokenFile
                             : arg == u"--user"       ? options.Fetch.User
                             : arg == u"--output"     ? options.Output
                                                      : options.Fetch.PasswordFile;
            field = value;
            fetchArguments = true;
        } else if (arg.startsWith(u"--")) {
            return Usage(qPrintable(QStringLiteral("unknown option ") + arg));
        } else {
            options.Arguments << arg;
        }
    }
    if (options.Arguments.isEmpty())
        return Usage("no command given");

    const QString command = options.Arguments[0];
    const qsizetype wanted = command == u"objects" || command == u"core"         ? 1
                             : command == u"counters" || command == u"instances" ? 2
                             : command == u"sample"                              ? 3
                             : command == u"sensors" || command == u"processes"  ? 1
                             : command == u"fetch"                               ? 2
                                                                                 : -1;
    if (wanted < 0)
        return Usage(qPrintable(QStringLiteral("unknown command ") + command));
    // sensors takes an optional path, processes an optional count.
    if (options.Arguments.size() != wanted &&
        !((command == u"sensors" || command == u"processes") && options.Arguments.size() == 2))
        return Usage(qPrintable(QStringLiteral("wrong number of arguments for ") + command));
    if (options.Instance && command != u"sample")
        return Usage("--instance belongs to the sample command");
    if (fetchArguments && command != u"fetch")
        return Usage("--ca-file, --token-file, --user, --password-file and --output belong to the "
                     "fetch command");

    if (command == u"fetch")
        return DetachedThreads::Finish(RunFetch(argc, argv, options), 1000);

    if (command == u"sensors")
        return RunSensors(options);
    if (command == u"processes")
        return RunProcesses(options);
    ProcPerfDataSource source;
    try {
        if (command == u"objects")
            return ListObjects(source);
        if (command == u"counters")
            return ListCounters(source, options.Arguments[1]);
        if (command == u"instances")
            return ListInstances(source, options.Arguments[1]);
        if (command == u"sample")
            return Sample(source, options);
        return RunCore(source, options);
    } catch (const EPerfError& e) {
        std::fprintf(stderr, "pulsmir-perf: %s\n", qUtf8Printable(e.Message()));
        return ExitFailure;
    }
}
