#include "app/SettingsFile.h"

#include "app/CommandLine.h"
#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"
#include "platform/FileUpdate.h"
#include "platform/ProfileIni.h"
#include "res/MRes.h"

#include <QDir>
#include <QFileInfo>
#include <variant>

const char* const TSettingsFile::DefaultContent =
    "[Pulsmir2]\r\nCurrentSkinName=System Analog Meter II(for2.2)\r\n\r\n[Pulsmir2_EventSound]\r\n";

namespace {

const QString MainSection = QStringLiteral("Pulsmir2");
const QString SoundSection = QStringLiteral("Pulsmir2_EventSound");
const QString OldSection = QStringLiteral("Pulsmir");
const QString NoData = QStringLiteral("*nodata*");

// Shown when no language is loaded yet to word the warning about the older section.
const QString OldSectionFallbackText = QStringLiteral(
    "Settings of an older version of Pulsmir were found in the settings file and removed.\r\n"
    "Please check your settings in the options.");

using BoolField = bool& (*)(TSettings&);
using IntField = int& (*)(TSettings&);
using Int64Field = qint64& (*)(TSettings&);
using TextField = QString& (*)(TSettings&);

struct KeySpec
{
    const QString& section;
    const char* key;
    std::variant<BoolField, IntField, Int64Field, TextField> field;
};

// Every key in the order it is written; reading takes them in the same order and then applies
// the rules that tie keys together.
const KeySpec Keys[] = {
    {MainSection, "AlwaysTop", BoolField{[](TSettings& s) -> bool& {
         return s.AlwaysTop;
     }}},
    {MainSection, "CurrentSkinName", TextField{[](TSettings& s) -> QString& {
         return s.CurrentSkinName;
     }}},
    {MainSection, "ExtUpdate", BoolField{[](TSettings& s) -> bool& {
         return s.ExtUpdate;
     }}},
    {MainSection, "SstpSW", BoolField{[](TSettings& s) -> bool& {
         return s.SstpSW;
     }}},
    {MainSection, "GraphRate", IntField{[](TSettings& s) -> int& {
         return s.GraphRate;
     }}},
    {MainSection, "InTasktray", BoolField{[](TSettings& s) -> bool& {
         return s.InTasktray;
     }}},
    {MainSection, "NoBanner", BoolField{[](TSettings& s) -> bool& {
         return s.NoBanner;
     }}},
    {MainSection, "NoSplash", BoolField{[](TSettings& s) -> bool& {
         return s.NoSplash;
     }}},
    {MainSection, "SplashAlpha", BoolField{[](TSettings& s) -> bool& {
         return s.SplashAlpha;
     }}},
    {MainSection, "NTMultiCPU", BoolField{[](TSettings& s) -> bool& {
         return s.NTMultiCPU;
     }}},
    {MainSection, "NTMultiNIC", BoolField{[](TSettings& s) -> bool& {
         return s.NTMultiNIC;
     }}},
    {MainSection, "NTTargetNIC", TextField{[](TSettings& s) -> QString& {
         return s.NTTargetNIC;
     }}},
    {MainSection, "PerfRate", IntField{[](TSettings& s) -> int& {
         return s.PerfRate;
     }}},
    {MainSection, "PingGT1", IntField{[](TSettings& s) -> int& {
         return s.PingGT1;
     }}},
    {MainSection, "PingGT2", IntField{[](TSettings& s) -> int& {
         return s.PingGT2;
     }}},
    {MainSection, "PingGT3", IntField{[](TSettings& s) -> int& {
         return s.PingGT3;
     }}},
    {MainSection, "PingHost", TextField{[](TSettings& s) -> QString& {
         return s.PingHost;
     }}},
    {MainSection, "PingRate", IntField{[](TSettings& s) -> int& {
         return s.PingRate;
     }}},
    {MainSection, "RegStartup", BoolField{[](TSettings& s) -> bool& {
         return s.RegStartup;
     }}},
    {MainSection, "SkinMode", IntField{[](TSettings& s) -> int& {
         return s.SkinMode;
     }}},
    {MainSection, "AlphaWindow", BoolField{[](TSettings& s) -> bool& {
         return s.AlphaWindow;
     }}},
    {MainSection, "FloatSW", BoolField{[](TSettings& s) -> bool& {
         return s.FloatSW;
     }}},
    {MainSection, "FloatAnim", BoolField{[](TSettings& s) -> bool& {
         return s.FloatAnim;
     }}},
    {MainSection, "FloatInterval", IntField{[](TSettings& s) -> int& {
         return s.FloatInterval;
     }}},
    {MainSection, "SkinFolderWatch", BoolField{[](TSettings& s) -> bool& {
         return s.SkinFolderWatch;
     }}},
    {MainSection, "AutoActiveSW", BoolField{[](TSettings& s) -> bool& {
         return s.AutoActiveSW;
     }}},
    {MainSection, "AutoActiveInterval", IntField{[](TSettings& s) -> int& {
         return s.AutoActiveInterval;
     }}},
    {MainSection, "WaitOnStartup", BoolField{[](TSettings& s) -> bool& {
         return s.WaitOnStartup;
     }}},
    {MainSection, "WaitTime", IntField{[](TSettings& s) -> int& {
         return s.WaitTime;
     }}},
    {MainSection, "Carefully", BoolField{[](TSettings& s) -> bool& {
         return s.Carefully;
     }}},
    {MainSection, "PingEnable", BoolField{[](TSettings& s) -> bool& {
         return s.PingEnable;
     }}},
    {MainSection, "ShowSkinBanner", BoolField{[](TSettings& s) -> bool& {
         return s.ShowSkinBanner;
     }}},
    {MainSection, "ResourceName", TextField{[](TSettings& s) -> QString& {
         return s.ResourceName;
     }}},
    {MainSection, "DRange", IntField{[](TSettings& s) -> int& {
         return s.DRange;
     }}},
    {MainSection, "NRange", IntField{[](TSettings& s) -> int& {
         return s.NRange;
     }}},
    {MainSection, "DRangeV", Int64Field{[](TSettings& s) -> qint64& {
         return s.DRangeV;
     }}},
    {MainSection, "NRangeV", Int64Field{[](TSettings& s) -> qint64& {
         return s.NRangeV;
     }}},
    {MainSection, "PosX", IntField{[](TSettings& s) -> int& {
         return s.PosX;
     }}},
    {MainSection, "PosY", IntField{[](TSettings& s) -> int& {
         return s.PosY;
     }}},
    {MainSection, "TrayIconDefault", BoolField{[](TSettings& s) -> bool& {
         return s.TrayIconDefault;
     }}},
    {MainSection, "Icons0", TextField{[](TSettings& s) -> QString& {
         return s.Icons[0];
     }}},
    {MainSection, "Icons1", TextField{[](TSettings& s) -> QString& {
         return s.Icons[1];
     }}},
    {MainSection, "Icons2", TextField{[](TSettings& s) -> QString& {
         return s.Icons[2];
     }}},
    {MainSection, "Icons3", TextField{[](TSettings& s) -> QString& {
         return s.Icons[3];
     }}},
    {MainSection, "LinearOFF", BoolField{[](TSettings& s) -> bool& {
         return s.LinearOFF;
     }}},
    {MainSection, "UseIphlpapi", BoolField{[](TSettings& s) -> bool& {
         return s.UseIphlpapi;
     }}},
    {MainSection, "ProcessOverDrive", BoolField{[](TSettings& s) -> bool& {
         return s.ProcessOverDrive;
     }}},
    {MainSection, "UseDefaultGateway", BoolField{[](TSettings& s) -> bool& {
         return s.UseDefaultGateway;
     }}},
    {MainSection, "LogoPosition", IntField{[](TSettings& s) -> int& {
         return s.LogoPosition;
     }}},
    {MainSection, "AutoHiding", BoolField{[](TSettings& s) -> bool& {
         return s.AutoHiding;
     }}},
    {MainSection, "LogConvSW", BoolField{[](TSettings& s) -> bool& {
         return s.LogConvSW;
     }}},
    {MainSection, "ODMenuSW", BoolField{[](TSettings& s) -> bool& {
         return s.ODMenuSW;
     }}},
    {SoundSection, "Enable", BoolField{[](TSettings& s) -> bool& {
         return s.EventSound.Enable;
     }}},
    {SoundSection, "Mute", BoolField{[](TSettings& s) -> bool& {
         return s.EventSound.Mute;
     }}},
    {SoundSection, "pOFF", TextField{[](TSettings& s) -> QString& {
         return s.EventSound.pOFF;
     }}},
    {SoundSection, "pON", TextField{[](TSettings& s) -> QString& {
         return s.EventSound.pON;
     }}},
    {SoundSection, "pPING", TextField{[](TSettings& s) -> QString& {
         return s.EventSound.pPING;
     }}},
    {SoundSection, "pSTART", TextField{[](TSettings& s) -> QString& {
         return s.EventSound.pSTART;
     }}},
    {SoundSection, "pSKIN", TextField{[](TSettings& s) -> QString& {
         return s.EventSound.pSKIN;
     }}},
    {SoundSection, "pMEM", TextField{[](TSettings& s) -> QString& {
         return s.EventSound.pMEM;
     }}},
    {SoundSection, "pRES", TextField{[](TSettings& s) -> QString& {
         return s.EventSound.pRES;
     }}},
    {MainSection, "AutoHidingOnMouse", BoolField{[](TSettings& s) -> bool& {
         return s.AutoHidingOnMouse;
     }}},
    {MainSection, "TempSensor", TextField{[](TSettings& s) -> QString& {
         return s.TempSensor;
     }}},
    {MainSection, "TempRangeLow", IntField{[](TSettings& s) -> int& {
         return s.TempRangeLow;
     }}},
    {MainSection, "TempRangeHigh", IntField{[](TSettings& s) -> int& {
         return s.TempRangeHigh;
     }}},
    {MainSection, "TempAlarm", IntField{[](TSettings& s) -> int& {
         return s.TempAlarm;
     }}},
    {MainSection, "DiskSpacePath", TextField{[](TSettings& s) -> QString& {
         return s.DiskSpacePath;
     }}},
    {MainSection, "GpuId", TextField{[](TSettings& s) -> QString& {
         return s.GpuId;
     }}},
    {MainSection, "FanId", TextField{[](TSettings& s) -> QString& {
         return s.FanId;
     }}},
    {MainSection, "FanMaxRpm", IntField{[](TSettings& s) -> int& {
         return s.FanMaxRpm;
     }}},
    {MainSection, "Source", TextField{[](TSettings& s) -> QString& {
         return s.Source;
     }}},
    {MainSection, "SourceCaFile", TextField{[](TSettings& s) -> QString& {
         return s.SourceCaFile;
     }}},
    {MainSection, "SourceTokenFile", TextField{[](TSettings& s) -> QString& {
         return s.SourceTokenFile;
     }}},
    {MainSection, "SourceUser", TextField{[](TSettings& s) -> QString& {
         return s.SourceUser;
     }}},
    {MainSection, "SourcePasswordFile", TextField{[](TSettings& s) -> QString& {
         return s.SourcePasswordFile;
     }}},
    {MainSection, "SourcePeriod", IntField{[](TSettings& s) -> int& {
         return s.SourcePeriod;
     }}},
    {MainSection, "Version", IntField{[](TSettings& s) -> int& {
         return s.Version;
     }}},
};

template <class... F> struct Overloaded : F...
{
    using F::operator()...;
};
// Spelled out: clang before 17 deduces no aggregate's template arguments.
template <class... F> Overloaded(F...) -> Overloaded<F...>;

void ReadKey(const ProfileIni& ini, const KeySpec& entry, TSettings& settings)
{
    const QString key = QLatin1String(entry.key);
    std::visit(
        Overloaded{
            [&](BoolField f) { f(settings) = ini.ReadBool(entry.section, key, f(settings)); },
            [&](IntField f) { f(settings) = ini.ReadInteger(entry.section, key, f(settings)); },
            [&](Int64Field f) { f(settings) = ini.ReadInt64(entry.section, key, f(settings)); },
            [&](TextField f) { f(settings) = ini.ReadString(entry.section, key, f(settings)); },
        },
        entry.field);
}

void WriteKey(ProfileIni& ini, const KeySpec& entry, TSettings& settings)
{
    const QString key = QLatin1String(entry.key);
    std::visit(Overloaded{
                   [&](BoolField f) { ini.WriteBool(entry.section, key, f(settings)); },
                   [&](IntField f) { ini.WriteInteger(entry.section, key, f(settings)); },
                   [&](Int64Field f) { ini.WriteInteger(entry.section, key, f(settings)); },
                   [&](TextField f) { ini.WriteString(entry.section, key, f(settings)); },
               },
               entry.field);
}

// The settings are the user's own, and a file refused as too large would be replaced by the
// defaults at the next save: its limit is far above the other files'.
constexpr qint64 MaxSettingsFileSize = qint64(64) << 20;

// The file to read: the one on disk, or the default content when it can neither be found nor
// created (a read-only program folder still starts with the usual defaults).
ProfileIni OpenOrCreate(const QString& path, bool create)
{
    ProfileIni ini;
    if (!QFileInfo::exists(path) && !create) {
        ini.LoadText(QString::fromLatin1(TSettingsFile::DefaultContent));
        return ini;
    }
    if (!QFileInfo::exists(path)) {
        try {
            // Installed, the settings folder is made on first use.
            QDir().mkpath(QFileInfo(path).absolutePath());
            WriteFileAtomically(path, TSettingsFile::DefaultContent);
        } catch (const EFileWriteError&) {
            ini.LoadText(QString::fromLatin1(TSettingsFile::DefaultContent));
            return ini;
        }
    }
    if (!ini.Load(path, MaxSettingsFileSize))
        ini.LoadText(QString::fromLatin1(TSettingsFile::DefaultContent));
    return ini;
}

QString OldSectionWarning(const ProfileIni& ini, TMRes& res)
{
    // The settings are read before the language is loaded; the language they name words
    // the warning, so it does not come out as a bare "(NoData:...)".
    if (res.FilePath().isEmpty())
        res.OpenLanguage(ini.ReadString(MainSection, QStringLiteral("ResourceName")));
    return res.FilePath().isEmpty() ? OldSectionFallbackText : res.GetText(QStringLiteral("R0610"));
}

} // namespace

TSettingsFile::TSettingsFile(const AppPaths& paths, int targetDrive, QString instanceName)
    : m_paths(paths), m_targetDrive(targetDrive), m_instanceName(std::move(instanceName))
{}

QString TSettingsFile::SavePath() const
{
    if (!m_instanceName.isEmpty())
        return m_paths.SettingsFile(
            NamedInstanceStem(QStringLiteral("Pulsmir"), m_instanceName) + QStringLiteral(".ini"));
    if (m_targetDrive < 0)
        return m_paths.SettingsFile(QStringLiteral("Pulsmir.ini"));
    return m_paths.SettingsFile(QStringLiteral("Pulsmir_%1.ini").arg(m_targetDrive));
}

QString TSettingsFile::LoadPath() const
{
    QString perDrive = SavePath();
    return QFileInfo::exists(perDrive) ? perDrive : m_paths.SettingsFile(QStringLiteral("Pulsmir.ini"));
}

QString TSettingsFile::ChosenLanguage() const
{
    return ProfileIni(LoadPath()).ReadString(MainSection, QStringLiteral("ResourceName"));
}

TSettings TSettingsFile::ChosenSource() const
{
    const ProfileIni ini(LoadPath());
    TSettings settings;
    for (const KeySpec& entry : Keys)
        if (QLatin1String(entry.key).startsWith(QLatin1String("Source")))
            ReadKey(ini, entry, settings);
    settings.SourcePeriod = std::clamp(settings.SourcePeriod, 1, MaxSourcePeriod);
    return settings;
}

TSettings TSettingsFile::Load(Dialogs& dialogs, TMRes& res, SpeedRangeAsker* askSpeedRange,
                              bool writeFiles) const
{
    ProfileIni ini = OpenOrCreate(LoadPath(), writeFiles);

    if (ini.SectionExists(OldSection)) {
        dialogs.Warning(OldSectionWarning(ini, res));
        ini.EraseSection(OldSection);
        try {
            if (writeFiles)
                ini.Save();
        } catch (const EFileWriteError&) {
            // A read-only file keeps the old section; it is dropped again at the next start.
        }
    }

    TSettings settings;
    for (const KeySpec& entry : Keys)
        ReadKey(ini, entry, settings);

    if (settings.PingGT3 > 200) {
        settings.PingGT1 = 50;
        settings.PingGT2 = 100;
        settings.PingGT3 = 200;
    }
    const QString pingHost = ini.ReadString(MainSection, QStringLiteral("PingHost"), NoData);
    const bool pingHostMissing = pingHost == NoData;
    settings.PingHost = pingHostMissing ? QStringLiteral("127.0.0.1") : pingHost;
    settings.UseDefaultGateway =
        ini.ReadBool(MainSection, QStringLiteral("UseDefaultGateway"), pingHostMissing);
    settings.PositionSaved =
        ini.ReadString(MainSection, QStringLiteral("PosX"), NoData) != NoData &&
        ini.ReadString(MainSection, QStringLiteral("PosY"), NoData) != NoData;
    settings.WaitTime = std::clamp(settings.WaitTime, 2, 60);
    settings.TempRangeLow = std::clamp(settings.TempRangeLow, MinTemperature, MaxTemperature - 1);
    settings.TempRangeHigh =
        std::clamp(settings.TempRangeHigh, settings.TempRangeLow + 1, MaxTemperature);
    settings.TempAlarm = std::clamp(settings.TempAlarm, MinTemperature, MaxTemperature);
    settings.FanMaxRpm = std::clamp(settings.FanMaxRpm, 0, MaxFanMaxRpm);
    settings.SourcePeriod = std::clamp(settings.SourcePeriod, 1, MaxSourcePeriod);

    if (settings.Version < CurrentSettingsVersion) {
        settings.DRange = 0;
        settings.NRange = 0;
        SpeedRangeChoice current{0, 0, settings.DRangeV, settings.NRangeV};
        if (askSpeedRange) {
            if (std::optional<SpeedRangeChoice> chosen = askSpeedRange->AskSpeedRange(current, settings.ResourceName)) {
                settings.DRange = chosen->DRange;
                settings.NRange = chosen->NRange;
                settings.DRangeV = chosen->DRangeV;
                settings.NRangeV = chosen->NRangeV;
            }
        }
    }
    return settings;
}

void TSettingsFile::Save(const TSettings& settings) const
{
    TSettings written = settings;
    written.Version = CurrentSettingsVersion;
    // The keys this program does not know are written back as read; a file that cannot be
    // read whole (no descriptor left, no permission, over the limit) would lose them, so it
    // is not replaced.
    ProfileIni ini;
    ini.LoadBytes(ReadForUpdate(SavePath(), MaxSettingsFileSize));
    for (const KeySpec& entry : Keys)
        WriteKey(ini, entry, written);
    QDir().mkpath(QFileInfo(SavePath()).absolutePath());
    // Others may not learn where the secrets are kept.
    const bool namesSecrets =
        !written.SourceTokenFile.isEmpty() || !written.SourcePasswordFile.isEmpty();
    ini.SaveAs(SavePath(), namesSecrets ? FileAccess::OwnerOnly : FileAccess::AsBefore);
}
