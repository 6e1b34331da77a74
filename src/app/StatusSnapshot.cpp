#include "app/StatusSnapshot.h"

#include "res/MRes.h"

#include <QStringList>

namespace {

constexpr int NoReply = 888888;

QString Percent(int value, const QLocale& locale)
{
    return locale.toString(value) + QStringLiteral(" %");
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
        {&words.Battery, "C0143"}, {&words.DiskSpace, "C0144"},   {&words.Used, "C0145"}};
    for (const auto& [word, code] : codes)
        *word = TextOr(&res, code, *word);
    return words;
}

QString BuildStatusSnapshot(const StatusValues& values, const QLocale& locale,
                            const StatusWords& words)
{
    const auto label = [](const QString& word) {
        return u' ' + word + QStringLiteral(" : ");
    };
    QStringList lines;
    lines << words.Title << label(words.Cpu) + Percent(values.CpuUsage, locale)
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

    const SensorReadings& sensors = values.Sensors;
    if (sensors.Temperature)
        lines << label(words.Temperature) + locale.toString(*sensors.Temperature, 'f', 1) +
                     QStringLiteral(" \u00B0C (") + sensors.TemperatureSensor + u')';
    if (sensors.BatteryPercent)
        lines << label(words.Battery) + Percent(*sensors.BatteryPercent, locale) +
                     QStringLiteral(" (") + sensors.BatteryState + u')';
    if (sensors.DiskUsedPercent)
        lines << label(words.DiskSpace) + Percent(*sensors.DiskUsedPercent, locale) + u' ' +
                     words.Used + QStringLiteral(" (") + sensors.DiskPath + u')';
    return lines.join(QStringLiteral("\r\n"));
}
