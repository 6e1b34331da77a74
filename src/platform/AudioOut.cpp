#include "platform/AudioOut.h"

#include "platform/linux/AlsaAudioOut.h"

QString AudioOutResultName(AudioOutResult result)
{
    switch (result) {
    case AudioOutResult::Ok:
        return QStringLiteral("MMSYSERR_NOERROR");
    case AudioOutResult::BadDeviceId:
        return QStringLiteral("MMSYSERR_BADDEVICEID");
    case AudioOutResult::Allocated:
        return QStringLiteral("MMSYSERR_ALLOCATED");
    case AudioOutResult::NoDriver:
        return QStringLiteral("MMSYSERR_NODRIVER");
    case AudioOutResult::NoMem:
        return QStringLiteral("MMSYSERR_NOMEM");
    case AudioOutResult::BadFormat:
        return QStringLiteral("WAVERR_BADFORMAT");
    case AudioOutResult::InvalHandle:
        return QStringLiteral("MMSYSERR_INVALHANDLE");
    case AudioOutResult::Unknown:
        break;
    }
    return QStringLiteral("unknown?");
}

std::unique_ptr<AudioOut> OpenSystemAudioOut()
{
    const QString device = qEnvironmentVariable("PULSMIR_AUDIO_DEVICE");
    return std::make_unique<AlsaAudioOut>(device.isEmpty() ? QStringLiteral("default") : device);
}
