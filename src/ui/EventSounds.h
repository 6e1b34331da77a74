#pragma once

#include "log/DebugLog.h"
#include "platform/AudioOut.h"
#include "settings/EventSoundSettings.h"

#include <QObject>
#include <QString>
#include <cstdint>

class Dialogs;
class TLWaveFilePlayer;
class TMRes;

// What the once-a-second check looks at.
struct TSoundWatchValues
{
    std::int32_t PingLevel = 0;
    std::int32_t PingTime = 0; // 888888: the last ping timed out
    int MemoryLoad = 0;
    int FreeResources = 0;
};

// The seven event sounds: online, offline, pinging, start, skin change, memory full and
// resources low, played from the files the settings name, unless muted or switched off.
class TEventSounds : public QObject
{
    Q_OBJECT

public:
    static constexpr std::int32_t PingTimedOut = 888888;

    // Relative sound file names are looked up in the data folders, in order.
    TEventSounds(TEventSoundSettings& settings, QStringList dataFolders, TaggedLog log,
                 AudioOutFactory device = &OpenSystemAudioOut, QObject* parent = nullptr);
    ~TEventSounds() override;

    void PlayEventSound(const QString& fileName);
    // 1 online, 2 offline, 3 pinging, 4 start, 5 skin change, 6 memory full, 7 resources low.
    void PlayEventSoundNo(int number);
    void CheckSoundEvents(const TSoundWatchValues& values);
    // The menu's mute switch; muting stops a sound that is playing.
    void SetMute(bool mute);
    // A sound that cannot play (no sound device, a broken file) is told in a box, once a run;
    // the log has every one.
    void ReportFailuresTo(Dialogs& dialogs, const TMRes& res);

    TLWaveFilePlayer& LWavePlay() { return *m_player; }
    // The file named for an event, absolute; empty when none is set.
    QString FileOfEvent(int number) const;
    QString AbsoluteName(const QString& fileName) const;

private:
    void LWavePlayDone();
    void LWavePlayError(const QString& message);

    TEventSoundSettings& m_settings;
    QStringList m_dataFolders;
    TaggedLog m_log;
    TLWaveFilePlayer* m_player;
    Dialogs* m_dialogs = nullptr;
    const TMRes* m_res = nullptr;
    bool m_failureTold = false;
    int m_lastPingState = 0; // 0 no result yet, 1 offline, 2 online
    int m_lastMemoryLoad = 0;
    int m_lastFreeResources = 0;
};

// What a box says of a sound the player could not play: the failure, and the device's own words.
QString SoundFailureText(const TMRes* res, const TLWaveFilePlayer& player, const QString& message);
