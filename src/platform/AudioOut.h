#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// The wave format record of a WAV file's "fmt " chunk.
struct WaveFormat
{
    std::uint16_t FormatTag = 1; // 1: integer PCM
    std::uint16_t Channels = 1;
    std::uint32_t SamplesPerSec = 0;
    std::uint32_t AvgBytesPerSec = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    std::uint16_t Size = 0; // bytes of extra format information
};

// How opening the device or handing it a buffer went, named as the wave-out errors are.
enum class AudioOutResult
{
    Ok,
    BadDeviceId, // no such device
    Allocated,   // the device is busy
    NoDriver,
    NoMem,
    BadFormat, // the device refuses the format
    InvalHandle,
    Unknown
};

// "MMSYSERR_BADDEVICEID" and the rest; "unknown?" for Unknown.
QString AudioOutResultName(AudioOutResult result);

// The wave-out device: plays buffers in the order they are written. It reports on the thread
// that opened it, from that thread's event loop, and never blocks it: a buffer is done once the
// device no longer needs its bytes, and after Drain() OnDrained says that everything written
// has been heard.
class AudioOut
{
public:
    virtual ~AudioOut() = default;

    virtual AudioOutResult Open(const WaveFormat& format) = 0;
    // The device's own words on the last failure, for the log.
    virtual QString LastErrorText() const = 0;
    // The bytes stay the caller's and must stay put until OnBufferDone(id).
    virtual AudioOutResult Write(int id, const char* data, std::size_t bytes) = 0;
    virtual void Drain() = 0;
    // Stops at once: every buffer not played yet is done now, and nothing is left to drain.
    virtual void Reset() = 0;
    virtual void Close() = 0;

    std::function<void(int id)> OnBufferDone;
    std::function<void()> OnDrained;
};

using AudioOutFactory = std::function<std::unique_ptr<AudioOut>()>;

// The ALSA device named by PULSMIR_AUDIO_DEVICE, else "default".
std::unique_ptr<AudioOut> OpenSystemAudioOut();
