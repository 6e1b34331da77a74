#include "ui/EventSounds.h"

#include "platform/Dialogs.h"
#include "res/MRes.h"
#include "ui/OptionRules.h"
#include "ui/WavePlayer.h"

#include <QFileInfo>

TEventSounds::TEventSounds(TEventSoundSettings& settings, QStringList dataFolders, TaggedLog log,
                           AudioOutFactory device, QObject* parent)
    : QObject(parent), m_settings(settings), m_dataFolders(std::move(dataFolders)),
      m_log(std::move(log)), m_player(new TLWaveFilePlayer(std::move(device), this))
{
    m_player->OnDone = [this](QObject*) {
        LWavePlayDone();
    };
    m_player->OnError = [this](QObject*, const QString& message) {
        LWavePlayError(message);
    };
}

TEventSounds::~TEventSounds() = default;

QString TEventSounds::AbsoluteName(const QString& fileName) const
{
    return OptionRules::ResolveDataFile(fileName, m_dataFolders);
}

QString TEventSounds::FileOfEvent(int number) const
{
    switch (number) {
    case 1:
        return m_settings.pON;
    case 2:
        return m_settings.pOFF;
    case 3:
        return m_settings.pPING;
    case 4:
        return m_settings.pSTART;
    case 5:
        return m_settings.pSKIN;
    case 6:
        return m_settings.pMEM;
    case 7:
        return m_settings.pRES;
    default:
        return {};
    }
}

void TEventSounds::PlayEventSoundNo(int number)
{
    PlayEventSound(FileOfEvent(number));
}

void TEventSounds::PlayEventSound(const QString& fileName)
{
    m_log(QStringLiteral("eSoundPlay Start..."));
    if (m_settings.Mute)
        m_log(QStringLiteral("Mute TRUE..."));
    if (m_settings.Enable)
        m_log(QStringLiteral("Enabled TRUE..."));
    if (fileName.isEmpty() || m_settings.Mute || !m_settings.Enable)
        return;
    const QString name = AbsoluteName(fileName);
    m_log(QStringLiteral("Sound File Chkecking...") + name);
    const QFileInfo file(name);
    if (!file.isFile())
        return;
    try {
        m_log(QStringLiteral("Play : ") + name);
        PlayWaveFile(*m_player, name);
    } catch (const std::exception&) {
        m_log(QStringLiteral("< ! > ERROR on Sound Play Control"));
    }
}

void TEventSounds::CheckSoundEvents(const TSoundWatchValues& values)
{
    if (m_settings.Enable) {
        const bool online = values.PingLevel >= 1;
        if (m_lastPingState == 0) {
            if (online || values.PingTime == PingTimedOut)
                PlayEventSoundNo(online ? 1 : 2);
        } else if (m_lastPingState == 1 && online) {
            PlayEventSoundNo(1);
        } else if (m_lastPingState == 2 && values.PingLevel == 0) {
            PlayEventSoundNo(2);
        }
        if (m_lastMemoryLoad < 100 && values.MemoryLoad >= 100)
            PlayEventSoundNo(6);
        if (m_lastFreeResources >= 10 && values.FreeResources < 10)
            PlayEventSoundNo(7);
    }
    if (values.PingLevel == 0 && values.PingTime == 0)
        m_lastPingState = 0;
    else
        m_lastPingState = values.PingLevel >= 1 ? 2 : 1;
    m_lastMemoryLoad = values.MemoryLoad;
    m_lastFreeResources = values.FreeResources;
}

void TEventSounds::SetMute(bool mute)
{
    m_settings.Mute = mute;
    if (mute && m_player->Playing())
        m_player->Stop();
}

void TEventSounds::LWavePlayDone()
{
    m_player->Stop();
}

void TEventSounds::ReportFailuresTo(Dialogs& dialogs, const TMRes& res)
{
    m_dialogs = &dialogs;
    m_res = &res;
}

void TEventSounds::LWavePlayError(const QString& message)
{
    const QString detail = m_player->DeviceErrorText();
    m_log(QStringLiteral("< ! > Sound Play Error : ") + message +
          (detail.isEmpty() ? QString() : QStringLiteral(" : ") + detail));
    if (!m_dialogs || m_failureTold)
        return;
    m_failureTold = true;
    // The box waits in an event loop of its own: not inside the player's call.
    QMetaObject::invokeMethod(
        this,
        [this, text = SoundFailureText(m_res, *m_player, message)] { m_dialogs->Warning(text); },
        Qt::QueuedConnection);
}

QString SoundFailureText(const TMRes* res, const TLWaveFilePlayer& player, const QString& message)
{
    const QString detail = player.DeviceErrorText();
    const QString why = QFileInfo(player.FileName()).fileName() + QStringLiteral(": ") + message +
                        (detail.isEmpty() ? QString() : QStringLiteral(" (") + detail + u')');
    return FillText(TextOr(res, "R0680",
                           QStringLiteral("A sound could not be played.\r\n%1\r\nCheck that "
                                          "there is a sound device and that no other "
                                          "program holds it.")),
                    {why});
}
