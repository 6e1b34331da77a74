#pragma once

#include "settings/EventSoundSettings.h"

#include <QString>
#include <algorithm>
#include <array>

// Every user setting, each field named after its key in the settings file.
struct TSettings
{
    bool AlwaysTop = true;
    QString CurrentSkinName;
    bool ExtUpdate = true;
    bool SstpSW = false;
    int GraphRate = 2;
    bool InTasktray = false;
    bool NoBanner = false;
    bool NoSplash = false;
    bool SplashAlpha = true;
    bool NTMultiCPU = false;
    bool NTMultiNIC = false;
    QString NTTargetNIC;
    int PerfRate = 2;
    int PingGT1 = 50;
    int PingGT2 = 100;
    int PingGT3 = 200;
    QString PingHost = QStringLiteral("127.0.0.1");
    bool UseDefaultGateway = true;
    int PingRate = 60;
    bool RegStartup = false;
    int SkinMode = 0;
    bool AlphaWindow = false;
    bool FloatSW = false;
    bool FloatAnim = false;
    int FloatInterval = 50;
    bool SkinFolderWatch = true;
    bool AutoActiveSW = false;
    int AutoActiveInterval = 200;
    bool WaitOnStartup = false;
    int WaitTime = 5;
    bool Carefully = false;
    bool PingEnable = true;
    bool ShowSkinBanner = false;
    QString ResourceName;
    int DRange = 0;
    int NRange = 0;
    // Full scales in bytes per second; 64-bit, as disks and links pass 2 GiB/s.
    qint64 DRangeV = 0;
    qint64 NRangeV = 0;
    int PosX = 0;
    int PosY = 0;
    // Whether the file held a place (not a key): a first start has none.
    bool PositionSaved = false;
    bool TrayIconDefault = true;
    std::array<QString, 4> Icons;
    bool LinearOFF = false;
    bool UseIphlpapi = false;
    bool ProcessOverDrive = false;
    int LogoPosition = 4;
    bool AutoHiding = false;
    bool LogConvSW = true;
    bool ODMenuSW = true;
    TEventSoundSettings EventSound;
    bool AutoHidingOnMouse = false;
    // The sensors: the temperature sensor's id (empty: the processor's, found automatically),
    // the range in °C the temperature meter spans, the level that lights the alarm lamp, and
    // the path whose file system the disk-space elements show (empty: the home folder).
    QString TempSensor;
    int TempRangeLow = 30;
    int TempRangeHigh = 100;
    int TempAlarm = 90;
    QString DiskSpacePath;
    // The graphics card and the fan the elements show, by id (empty: the busiest card, the
    // processor's fan), and the speed the fan's meter spans (0: the driver's top speed).
    QString GpuId;
    QString FanId;
    int FanMaxRpm = 0;
    // Where the figures come from: empty for this machine, or another machine's node_exporter
    // address ("http://host:9100/metrics"), with a CA file to trust instead of the system's, a
    // file holding a bearer token, or a user and a file holding the password. Secrets are only
    // ever named here, never written.
    QString Source;
    QString SourceCaFile;
    QString SourceTokenFile;
    QString SourceUser;
    QString SourcePasswordFile;
    // Seconds between two requests to the source.
    int SourcePeriod = 1;
    int Version = 0;
};

// The temperatures the options accept, in °C.
inline constexpr int MinTemperature = -40;
inline constexpr int MaxTemperature = 150;

// The highest top speed of a fan the options accept, in revolutions per minute.
inline constexpr int MaxFanMaxRpm = 30000;

// The longest period between two requests to another machine the options accept, in seconds.
inline constexpr int MaxSourcePeriod = 3600;

// The generation this program writes; an older file asks for the speed ranges again.
inline constexpr int CurrentSettingsVersion = 220;

// Worker threads never poll faster than this, whatever an interval key says.
inline constexpr int MinThreadIntervalMs = 10;
inline int ThreadIntervalMs(int configuredMs)
{
    return std::max(configuredMs, MinThreadIntervalMs);
}
