#pragma once

#include "platform/AudioOut.h"

#include <QTimer>
#include <alsa/asoundlib.h>
#include <chrono>
#include <deque>
#include <memory>
#include <poll.h>
#include <vector>

class QSocketNotifier;

// The wave-out device over an ALSA PCM in non-blocking mode. The PCM's poll descriptors sit on
// the event loop, so the device is fed as it drains and the thread never waits on it.
class AlsaAudioOut final : public AudioOut
{
public:
    explicit AlsaAudioOut(QString deviceName);
    ~AlsaAudioOut() override;

    AudioOutResult Open(const WaveFormat& format) override;
    QString LastErrorText() const override { return m_lastError; }
    AudioOutResult Write(int id, const char* data, std::size_t bytes) override;
    void Drain() override;
    void Reset() override;
    void Close() override;

    // ALSA's error codes as the wave-out names.
    static AudioOutResult OpenResultFor(int alsaError);

private:
    struct PcmCloser
    {
        void operator()(snd_pcm_t* pcm) const;
    };
    struct Pending
    {
        int Id;
        const char* Data;
        std::size_t Bytes;
        std::size_t Offset;
    };

    AudioOutResult Fail(AudioOutResult result, int alsaError);
    // A poll descriptor of the device was ready: asks ALSA what that means, then feeds it.
    void DeviceReady(int fd);
    void Pump();
    void WatchDevice(bool on);
    void CheckDrained();
    // Done buffers are reported from the event loop, so a caller that writes the next buffer
    // from the report never nests inside the device.
    void ReportDone(const std::vector<int>& ids);
    void DeliverDone();

    QString m_deviceName;
    QString m_lastError;
    std::unique_ptr<snd_pcm_t, PcmCloser> m_pcm;
    std::vector<std::unique_ptr<QSocketNotifier>> m_notifiers;
    std::vector<pollfd> m_pollFds;
    std::deque<Pending> m_pending;
    std::size_t m_frameBytes = 1;
    unsigned m_rate = 1;
    snd_pcm_uframes_t m_bufferFrames = 0;
    bool m_draining = false;
    // A drain ends by this time whatever the device says, so no device can hold it for ever.
    std::chrono::steady_clock::time_point m_drainDeadline;
    QTimer m_drainTimer;
    QTimer m_reportTimer;
    std::vector<int> m_doneIds;
};
