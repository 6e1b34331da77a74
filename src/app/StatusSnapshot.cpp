#include "app/StatusSnapshot.h"

#include "log/PrintableText.h"
#include "res/MRes.h"
#include "ui/SensorTexts.h"

#include <QStringList>
#include <cmath>

namespace {

constexpr int NoReply = 888888;

QString Percent(int value, const QLocale& locale)
{
    return locale.toString(value) + QStringLiteral(" %");
}

QString Gigabytes(double bytes, const QLocale& locale)
{
    return locale.toString(bytes / 1073741824.0, 'f', 1);
}

// "37 % busy, 1.2 / 8.0 GB, 54.0 °C (amdgpu/0000:03:00.0 AMD 0x73bf)", or "asleep (...)".
QString GpuText(const GpuReading& gpu, const QLocale& locale, const StatusWords& words)
{
    QStringList parts;
    if (gpu.Asleep)
        parts << words.Asleep;
    if (gpu.LoadPercent)
        parts << Percent(int(std::lround(*gpu.LoadPercent)), locale) + u' ' + gpu.LoadKind;
    if (gpu.MemoryUsedBytes && gpu.MemoryTotalBytes)
        parts << Gigabytes(*gpu.MemoryUsedBytes, locale) + QStringLiteral(" / ") +
                     Gigabytes(*gpu.MemoryTotalBytes, locale) + QStringLiteral(" GB");
    if (gpu.Celsius)
        parts << CelsiusText(*gpu.Celsius, locale);
    if (parts.isEmpty())
        parts << words.Unavailable;
    return parts.join(QStringLiteral(", ")) + QStringLiteral(" (") + gpu.Label() + u')';
}

// "Temperature : 57.5 °C (k10temp Tctl)", or "Temperature : Unavailable (nvme Composite: not
// found)": a line for each sensor that was read, or only for those without a value.
QStringList SensorLines(const SensorReadings& sensors, const QLocale& locale,
                        const StatusWords& words, bool missingOnly)
{
    QStringList lines;
    const auto add = [&](const QString& word, bool has, SensorAbsence absence,
                         const QString& value, const QString& what) {
        if ((!has && absence == SensorAbsence::NotRead) || (has && missingOnly))
            return;
        QString text = value;
        if (!has) {
            const QString reason = SensorAbsenceText(absence, words.Res);
            text = words.Unavailable + QStringLiteral(" (") +
                   (what.isEmpty() ? reason : what + QStringLiteral(": ") + reason) + u')';
        }
        lines << word + QStringLiteral(" : ") + text;
    };
    add(words.Temperature, sensors.Temperature.has_value(), sensors.TemperatureAbsence,
        sensors.Temperature ? CelsiusText(*sensors.Temperature, locale) + QStringLiteral(" (") +
                                  sensors.TemperatureSensor + u')'
                            : QString(),
        sensors.TemperatureSensor);
    add(words.Battery, sensors.BatteryPercent.has_value(), sensors.BatteryAbsence,
        sensors.BatteryPercent ? Percent(*sensors.BatteryPercent, locale) + QStringLiteral(" (") +
                                     sensors.BatteryState + u')'
                               : QString(),
        QString());
    add(words.DiskSpace, sensors.DiskUsedPercent.has_value(), sensors.DiskAbsence,
        sensors.DiskUsedPercent ? Percent(*sensors.DiskUsedPercent, locale) + u' ' + words.Used +
                                      QStringLiteral(" (") + sensors.DiskPath + u')'
                                : QString(),
        sensors.DiskPath);
    if (!missingOnly)
        for (const GpuReading& gpu : sensors.Gpus)
            lines << words.Gpu + QStringLiteral(" : ") + GpuText(gpu, locale, words);
    // Each card has its line above; a chosen card that is not there, or has no load, is missing.
    if (!sensors.Gpu || missingOnly)
        add(words.Gpu, sensors.Gpu && (sensors.Gpu->Asleep || sensors.Gpu->LoadPercent),
            sensors.GpuAbsence, QString(), sensors.Gpu ? sensors.Gpu->Label() : QString());
    add(words.Fan, sensors.Fan && sensors.Fan->Rpm, sensors.FanAbsence,
        sensors.Fan && sensors.Fan->Rpm ? locale.toString(std::lround(*sensors.Fan->Rpm)) +
                                              QStringLiteral(" RPM (") + sensors.Fan->Label + u')'
                                        : QString(),
        sensors.Fan ? sensors.Fan->Label : QString());
    return lines;
}

} // namespace

QString FormatSpeed(std::uint64_t bytesPerSecond, const QLocale& locale)
{
    const double value = static_cast<double>(bytesPerSecond);
    if (bytesPerSecond < 1024)
        return locale.toString(value, 'f', 1) + QStringLiteral(" B/s");
    if (bytesPerSecond < 1048576)
        return locale.toString(value / 1024.0, 'f', 1) + QStringLiteral(" KB/s");
    return locale.toString(value / 1048576.0, 'f', 1) + QStringLiteral(" MB/s");
}

StatusWords StatusWordsOf(const TMRes& res)
{
    StatusWords words;
    const std::pair<QString*, const char*> codes[] = {
        {&words.Title, "C0131"},   {&words.Cpu, "C0132"},         {&words.Memory, "C0133"},
        {&words.Swap, "C0134"},    {&words.Disk, "C0135"},        {&words.TargetDrive, "C0136"},
        {&words.Network, "C0137"}, {&words.Ping, "C0138"},        {&words.Pinging, "C0139"},
        {&words.TimeOut, "C0140"}, {&words.Unavailable, "C0141"}, {&words.Temperature, "C0142"},
        {&words.Battery, "C0143"}, {&words.DiskSpace, "C0144"},   {&words.Used, "C0145"},
        {&words.Process, "C0147"}, {&words.Gpu, "C0148"},         {&words.Fan, "C0149"},
        {&words.Asleep, "C0576"},  {&words.NoDataFor, "C0516"},   {&words.NoInputData, "C0517"}};
    for (const auto& [word, code] : codes)
        *word = TextOr(&res, code, *word);
    words.Res = &res;
    return words;
}

QStringList MissingSensorLines(const SensorReadings& sensors, const StatusWords& words)
{
    return SensorLines(sensors, QLocale(), words, true);
}

QString BuildStatusSnapshot(const StatusValues& values, const QLocale& locale,
                            const StatusWords& words)
{
    const auto label = [](const QString& word) {
        return u' ' + word + QStringLiteral(" : ");
    };
    QStringList lines;
    lines << words.Title;
    // Another machine's figures say whose they are, and why they are missing.
    if (!values.Machine.isEmpty()) {
        QString why = values.MachineFailure;
        if (why.isEmpty() && values.MachineHasNoData)
            why = words.NoInputData;
        else if (why.isEmpty() && !values.MachineWithoutData.isEmpty())
            why = words.NoDataFor.arg(values.MachineWithoutData.join(QStringLiteral(", ")));
        lines << label(words.Machine) + values.Machine + (why.isEmpty() ? QString() : u' ' + why);
    }
    lines << label(words.Cpu) + Percent(values.CpuUsage, locale)
          << label(words.Memory) + Percent(values.MemoryLoad, locale)
          << label(words.Swap) + Percent(values.SwapLoad, locale)
          << label(words.Disk) + FormatSpeed(values.DiskBytes, locale);
    if (values.TargetDrive >= 0)
        lines << QStringLiteral(" (%1:%2)").arg(words.TargetDrive).arg(values.TargetDrive, 3);
    lines << label(words.Network) + FormatSpeed(values.NetBytes, locale);

    QString ping;
    if (values.Pinging)
        ping = words.Pinging + u'(' + values.PingHost + u')';
    else if (!values.PingFailure.isEmpty())
        ping = words.Unavailable + u'(' + values.PingFailure + u')';
    else if (values.PingTime == NoReply)
        ping = words.TimeOut + u'(' + values.PingHost + u')';
    else
        ping = QStringLiteral("%1ms(").arg(values.PingTime, 4) + values.PingHost + u')';
    lines << label(words.Ping) + ping;

    for (const QString& line : SensorLines(values.Sensors, locale, words, false))
        lines << u' ' + line;
    // " Process 1 : 12.5 % firefox (2314)"
    for (size_t i = 0; i < values.Processes.size(); ++i) {
        const ProcessShare& process = values.Processes[i];
        lines << label(words.Process + u' ' + QString::number(i + 1)) +
                     locale.toString(process.Percent, 'f', 1) + QStringLiteral(" % ") +
                     process.Name + QStringLiteral(" (") + QString::number(process.Pid) + u')';
    }
    for (QString& line : lines)
        line = EscapeControls(line);
    return lines.join(QStringLiteral("\r\n"));
}
