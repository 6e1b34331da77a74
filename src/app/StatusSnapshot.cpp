#include "app/StatusSnapshot.h"

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

QString BuildStatusSnapshot(const StatusValues& values, const QLocale& locale)
{
    QStringList lines;
    lines << QStringLiteral("Pulsmir Status Snapshot")
          << QStringLiteral(" CPU : ") + Percent(values.CpuUsage, locale)
          << QStringLiteral(" MEM : ") + Percent(values.MemoryLoad, locale)
          << QStringLiteral(" SWP : ") + Percent(values.SwapLoad, locale)
          << QStringLiteral(" DiskAccess : ") + FormatSpeed(values.DiskBytes, locale);
    if (values.TargetDrive >= 0)
        lines << QStringLiteral(" (Target Physical Drive Number:%1)").arg(values.TargetDrive, 3);
    lines << QStringLiteral(" NetworkAccess : ") + FormatSpeed(values.NetBytes, locale);

    QString ping;
    if (values.Pinging)
        ping = QStringLiteral("PINGING...(") + values.PingHost + u')';
    else if (!values.PingFailure.isEmpty())
        ping = QStringLiteral("Unavailable(") + values.PingFailure + u')';
    else if (values.PingTime == NoReply)
        ping = QStringLiteral("Time Out(") + values.PingHost + u')';
    else
        ping = QStringLiteral("%1ms(").arg(values.PingTime, 4) + values.PingHost + u')';
    lines << QStringLiteral(" Ping Response : ") + ping;

    const SensorReadings& sensors = values.Sensors;
    if (sensors.Temperature)
        lines << QStringLiteral(" Temperature : ") + locale.toString(*sensors.Temperature, 'f', 1) +
                     QStringLiteral(" \u00B0C (") + sensors.TemperatureSensor + u')';
    if (sensors.BatteryPercent)
        lines << QStringLiteral(" Battery : ") + Percent(*sensors.BatteryPercent, locale) +
                     QStringLiteral(" (") + sensors.BatteryState + u')';
    if (sensors.DiskUsedPercent)
        lines << QStringLiteral(" Disk Space : ") + Percent(*sensors.DiskUsedPercent, locale) +
                     QStringLiteral(" used (") + sensors.DiskPath + u')';
    return lines.join(QStringLiteral("\r\n"));
}
