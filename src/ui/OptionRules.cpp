#include "ui/OptionRules.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace OptionRules {

int PingBarOf(int pingRateSeconds)
{
    return std::clamp(pingRateSeconds / 10, 6, 30);
}

int GateBarOf(int milliseconds)
{
    return std::clamp(milliseconds / 10, 0, 20);
}

QString PingIntervalText(const QString& labelText, int bar)
{
    const QString seconds = QString::number(PingRateOf(bar)) + u's';
    const qsizetype colon = labelText.indexOf(u':');
    return colon < 0 ? seconds : labelText.left(colon + 1) + u' ' + seconds;
}

Gates OrderGates(Gates gates, int moved)
{
    switch (moved) {
    case 1:
        gates.G2 = std::max(gates.G2, gates.G1);
        gates.G3 = std::max(gates.G3, gates.G2);
        break;
    case 2:
        gates.G1 = std::min(gates.G1, gates.G2);
        gates.G3 = std::max(gates.G3, gates.G2);
        break;
    case 3:
        gates.G2 = std::min(gates.G2, gates.G3);
        gates.G1 = std::min(gates.G1, gates.G2);
        break;
    default:
        break;
    }
    return gates;
}

std::optional<int> WaitTimeOf(const QString& text)
{
    bool isNumber = false;
    const qlonglong value = text.trimmed().toLongLong(&isNumber);
    if (!isNumber)
        return std::nullopt;
    return static_cast<int>(std::clamp<qlonglong>(value, 2, 30));
}

QString ByteSizeText(qint64 bytes, const QLocale& given)
{
    // Thousands separators always, as "%.1n" writes them; the C locale leaves them out.
    QLocale locale = given;
    locale.setNumberOptions(given.numberOptions() & ~QLocale::OmitGroupSeparator);
    constexpr double Kilo = 1024.0;
    constexpr double Mega = Kilo * 1024.0;
    constexpr double Giga = Mega * 1024.0;
    const double value = static_cast<double>(bytes);
    if (value < Kilo)
        return locale.toString(value, 'f', 1);
    if (value < Mega)
        return locale.toString(value / Kilo, 'f', 1) + u'K';
    if (value < Giga)
        return locale.toString(value / Mega, 'f', 1) + u'M';
    return locale.toString(value / Giga, 'f', 1) + u'G';
}

QString RangeText(int range, qint64 fullScale, const QLocale& locale)
{
    return range == 0 ? QStringLiteral("Auto")
                      : ByteSizeText(fullScale, locale) + QStringLiteral("B/sec");
}

QString StoredSoundPath(const QString& chosen, const QString& programFolder)
{
    const QString folder = QDir(programFolder).absolutePath() + u'/';
    const QString path = QFileInfo(chosen).absoluteFilePath();
    return path.startsWith(folder) ? path.mid(folder.size()) : chosen;
}

QColor MissingFileBase(const QColor& themeBase)
{
    const QColor yellow(255, 214, 0);
    // Enough yellow to be seen at a glance on either kind of theme.
    const double share = themeBase.lightnessF() >= 0.5 ? 0.35 : 0.4;
    const auto mix = [share](int base, int tint) {
        return static_cast<int>(base + (tint - base) * share + 0.5);
    };
    QColor tinted(mix(themeBase.red(), yellow.red()), mix(themeBase.green(), yellow.green()),
                  mix(themeBase.blue(), yellow.blue()));
    // Keep the theme's side of the middle, so its text colour stays readable.
    if (themeBase.lightnessF() < 0.5 && tinted.lightnessF() > 0.45)
        tinted = tinted.darker(150);
    return tinted;
}

QString ResolveDataFile(const QString& name, const QStringList& dataFolders)
{
    if (QDir::isAbsolutePath(name))
        return name;
    // Settings written on Windows separate folders with backslashes.
    QString relative = name;
    relative.replace(u'\\', u'/');
    for (const QString& folder : dataFolders) {
        const QString path = QDir(folder).filePath(relative);
        if (QFileInfo::exists(path))
            return path;
    }
    return dataFolders.isEmpty() ? relative : QDir(dataFolders.first()).filePath(relative);
}

QString ShippedSound(int index)
{
    static const char* const names[] = {"online", "offline", "ping",     "start",
                                        "skin",   "memory",  "resources"};
    return SoundsFolder + u'/' + QLatin1String(names[index]) + QStringLiteral(".wav");
}

bool SoundFileExists(const QString& text, const QStringList& dataFolders)
{
    if (text.isEmpty())
        return false;
    if (QFileInfo(text).isFile())
        return true;
    return !QDir::isAbsolutePath(text) && QFileInfo(ResolveDataFile(text, dataFolders)).isFile();
}

Enabling EnablingOf(const EnablingInputs& in)
{
    Enabling out;
    out.UseIphlpapi = in.Win98OrMe;
    out.MultiNic = in.IsNT;
    out.NicSelect = in.IsNT && in.MultiNic;
    out.MultiCpu = in.IsNT && !in.CpuFromNtdll;
    out.WaitOnStartup = in.RegStartup && in.LauncherInstalled;
    out.WaitTimes = out.WaitOnStartup && in.WaitOnStartup;
    out.AlphaLogo = !in.NoSplash && in.IsNT;
    out.LogoPos = in.ShowSkinBanner;
    out.PingControls = in.PingEnable;
    out.PingTarget = in.PingEnable && !in.UseDefaultGateway;
    out.SoundControls = in.SoundsEnabled;
    return out;
}

} // namespace OptionRules
