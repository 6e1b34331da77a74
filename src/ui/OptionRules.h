#pragma once

#include <QColor>
#include <QLocale>
#include <QString>
#include <optional>

// The rules of the options dialog that need no widgets: the conversions between settings and
// controls, the order of the ping gates, the texts it shows, and which controls are enabled.
namespace OptionRules {

// The ping interval bar runs 6..30 in tens of seconds; the gate bars 0..20 in tens of ms.
int PingBarOf(int pingRateSeconds);
inline int PingRateOf(int bar) { return bar * 10; }
int GateBarOf(int milliseconds);
inline int GateMsOf(int bar) { return bar * 10; }

// The interval label: its text up to and including the first ":", then " " + seconds + "s".
QString PingIntervalText(const QString& labelText, int bar);

// The three gates after one of them (1, 2 or 3) moved: they stay in order, the others giving
// way to the one that moved.
struct Gates
{
    int G1 = 0;
    int G2 = 0;
    int G3 = 0;
    bool operator==(const Gates&) const = default;
};
Gates OrderGates(Gates gates, int moved);

// The delay at start-up in seconds, 2..30; nothing for text that is not a whole number.
std::optional<int> WaitTimeOf(const QString& text);

// 139,460,608 gives "133.0M": the value in B, K, M or G with one decimal and the locale's
// thousands separators.
QString ByteSizeText(qint64 bytes, const QLocale& locale);
// "Auto" for the automatic range, else the full scale's byte size + "B/sec".
QString RangeText(int range, qint64 fullScale, const QLocale& locale);

// A sound file as it is stored: inside the program folder relative to it.
QString StoredSoundPath(const QString& chosen, const QString& programFolder);
// A sound edit's text names a file, as written or relative to one of the data folders.
bool SoundFileExists(const QString& text, const QStringList& dataFolders);
// The base colour of a sound field whose file is missing: the theme's base tinted yellow, light
// on a light theme and dark on a dark one, so the theme's text stays readable on it.
QColor MissingFileBase(const QColor& themeBase);
// A relative name in the first data folder that has it; else in the first folder. Backslashes
// in a relative name separate folders.
QString ResolveDataFile(const QString& name, const QStringList& dataFolders);
// The folder of the shipped tones, relative to the data folders.
inline const QString SoundsFolder = QStringLiteral("sounds");
// The shipped tone of each event, in the order of the sound fields (online, offline, pinging,
// start, skin change, memory full, resources low), relative to the data folders.
QString ShippedSound(int index);

// What decides which controls may be used.
struct EnablingInputs
{
    bool IsNT = true;
    bool Win98OrMe = false;
    bool CpuFromNtdll = false;
    bool RegStartup = false;
    bool WaitOnStartup = false;
    bool LauncherInstalled = false; // the delayed launcher beside the program
    bool NoSplash = false;
    bool ShowSkinBanner = false;
    bool PingEnable = true;
    bool UseDefaultGateway = false;
    bool MultiNic = false;
    bool SoundsEnabled = false;
};

struct Enabling
{
    bool UseIphlpapi = false;
    bool MultiNic = false;
    bool NicSelect = false; // with its label
    bool MultiCpu = false;
    bool WaitOnStartup = false;
    bool WaitTimes = false; // with its unit label
    bool AlphaLogo = false;
    bool LogoPos = false; // with its label
    bool PingControls = false;
    bool PingTarget = false;
    bool SoundControls = false;
};

Enabling EnablingOf(const EnablingInputs& inputs);

} // namespace OptionRules
