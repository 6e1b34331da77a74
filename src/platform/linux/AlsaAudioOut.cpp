#include "platform/linux/AlsaAudioOut.h"

#include "platform/linux/LibAsound.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <utility>

namespace {

// The library, once a device is open (Open() loads it).
const LibAsound& Alsa()
{
    return *LibAsound::Get();
}

snd_pcm_format_t AlsaFormat(const WaveFormat& format)
{
    switch (format.BitsPerSample) {
    case 8:
        return SND_PCM_FORMAT_U8;
    case 16:
        return SND_PCM_FORMAT_S16_LE;
    case 24:
        return format.BlockAlign == format.Channels * 4 ? SND_PCM_FORMAT_S24_LE
                                                        : SND_PCM_FORMAT_S24_3LE;
    case 32:
        return SND_PCM_FORMAT_S32_LE;
    default:
        return SND_PCM_FORMAT_UNKNOWN;
    }
}

// A second of sound in the device; it wakes the program four times in that span.
constexpr unsigned LatencyMicroseconds = 1000000;

} // namespace

AlsaAudioOut::AlsaAudioOut(QString deviceName) : m_deviceName(std::move(deviceName))
{
    m_drainTimer.setSingleShot(true);
    QObject::connect(&m_drainTimer, &QTimer::timeout, &m_drainTimer, [this] { CheckDrained(); });
    m_reportTimer.setSingleShot(true);
    m_reportTimer.setInterval(0);
    QObject::connect(&m_reportTimer, &QTimer::timeout, &m_reportTimer, [this] { DeliverDone(); });
}

AlsaAudioOut::~AlsaAudioOut()
{
    Close();
}

AudioOutResult AlsaAudioOut::OpenResultFor(int alsaError)
{
    switch (-alsaError) {
    case 0:
        return AudioOutResult::Ok;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return AudioOutResult::BadDeviceId;
    case EBUSY:
    case EAGAIN:
        return AudioOutResult::Allocated;
    case EACCES:
    case EPERM:
    case ENOSYS:
        return AudioOutResult::NoDriver;
    case ENOMEM:
        return AudioOutResult::NoMem;
    case EINVAL:
        return AudioOutResult::BadFormat;
    default:
        return AudioOutResult::Unknown;
    }
}

AudioOutResult AlsaAudioOut::Fail(AudioOutResult result, int alsaError)
{
    m_lastError = QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(Alsa().strerror(alsaError)),
                                                m_deviceName);
    return result;
}

void AlsaAudioOut::PcmCloser::operator()(snd_pcm_t* pcm) const
{
    Alsa().pcm_close(pcm);
}

AudioOutResult AlsaAudioOut::Open(const WaveFormat& format)
{
    Close();
    if (!LibAsound::Get()) {
        m_lastError = LibAsound::LoadError();
        return AudioOutResult::NoDriver;
    }
    snd_pcm_t* pcm = nullptr;
    const int opened = Alsa().pcm_open(&pcm, m_deviceName.toLocal8Bit().constData(),
                                    SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (opened < 0)
        return Fail(OpenResultFor(opened), opened);
    m_pcm.reset(pcm);

    const snd_pcm_format_t sampleFormat = AlsaFormat(format);
    const int set =
        sampleFormat == SND_PCM_FORMAT_UNKNOWN
            ? -EINVAL
            : Alsa().pcm_set_params(pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.Channels,
                                 format.SamplesPerSec, 1, LatencyMicroseconds);
    if (set < 0) {
        m_pcm.reset();
        return Fail(set == -EINVAL ? AudioOutResult::BadFormat : OpenResultFor(set), set);
    }
    // Start with the first period rather than a full buffer, so a short sound starts at once,
    // and wake once a period is free.
    snd_pcm_uframes_t bufferFrames = 0;
    snd_pcm_uframes_t periodFrames = 0;
    Alsa().pcm_get_params(pcm, &bufferFrames, &periodFrames);
    std::vector<char> swStorage(Alsa().pcm_sw_params_sizeof());
    auto* sw = reinterpret_cast<snd_pcm_sw_params_t*>(swStorage.data());
    if (Alsa().pcm_sw_params_current(pcm, sw) == 0) {
        Alsa().pcm_sw_params_set_start_threshold(pcm, sw, periodFrames ? periodFrames : 1);
        Alsa().pcm_sw_params_set_avail_min(pcm, sw, periodFrames ? periodFrames : 1);
        Alsa().pcm_sw_params(pcm, sw);
    }
    m_frameBytes = std::max<std::size_t>(format.BlockAlign, 1);
    m_rate = std::max<unsigned>(format.SamplesPerSec, 1);
    m_bufferFrames = bufferFrames;

    const int count = Alsa().pcm_poll_descriptors_count(pcm);
    m_pollFds.assign(static_cast<std::size_t>(std::max(count, 0)), pollfd{});
    Alsa().pcm_poll_descriptors(pcm, m_pollFds.data(), static_cast<unsigned>(m_pollFds.size()));
    for (const pollfd& fd : m_pollFds) {
        const auto type = (fd.events & POLLOUT) ? QSocketNotifier::Write : QSocketNotifier::Read;
        auto notifier = std::make_unique<QSocketNotifier>(fd.fd, type);
        notifier->setEnabled(false);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                         [this, fd = fd.fd] { DeviceReady(fd); });
        m_notifiers.push_back(std::move(notifier));
    }
    m_lastError.clear();
    return AudioOutResult::Ok;
}

AudioOutResult AlsaAudioOut::Write(int id, const char* data, std::size_t bytes)
{
    if (!m_pcm)
        return AudioOutResult::InvalHandle;
    m_pending.push_back({id, data, bytes, 0});
    Pump();
    return AudioOutResult::Ok;
}

void AlsaAudioOut::DeviceReady(int fd)
{
    if (!m_pcm)
        return;
    // Plug-ins such as the sound servers' signal through descriptors of their own; only ALSA
    // knows what a wake-up means, and asking it also takes the wake-up away.
    std::vector<pollfd> fds = m_pollFds;
    for (pollfd& entry : fds)
        entry.revents = entry.fd == fd ? entry.events : 0;
    unsigned short revents = 0;
    if (Alsa().pcm_poll_descriptors_revents(m_pcm.get(), fds.data(), static_cast<unsigned>(fds.size()),
                                         &revents) < 0 ||
        (revents & (POLLOUT | POLLERR)))
        Pump();
}

void AlsaAudioOut::Pump()
{
    std::vector<int> done;
    while (m_pcm && !m_pending.empty()) {
        Pending& buffer = m_pending.front();
        const std::size_t frames = (buffer.Bytes - buffer.Offset) / m_frameBytes;
        if (frames == 0) {
            done.push_back(buffer.Id);
            m_pending.pop_front();
            continue;
        }
        snd_pcm_sframes_t written =
            Alsa().pcm_writei(m_pcm.get(), buffer.Data + buffer.Offset, frames);
        if (written == -EAGAIN)
            break;
        if (written < 0)
            written = Alsa().pcm_recover(m_pcm.get(), static_cast<int>(written), 1);
        if (written < 0) {
            // The device gave up on this buffer; what follows may still play.
            Fail(AudioOutResult::Unknown, static_cast<int>(written));
            done.push_back(buffer.Id);
            m_pending.pop_front();
            continue;
        }
        buffer.Offset += static_cast<std::size_t>(written) * m_frameBytes;
    }
    WatchDevice(!m_pending.empty());
    ReportDone(done);
}

void AlsaAudioOut::WatchDevice(bool on)
{
    for (const auto& notifier : m_notifiers)
        notifier->setEnabled(on);
}

void AlsaAudioOut::ReportDone(const std::vector<int>& ids)
{
    if (ids.empty())
        return;
    m_doneIds.insert(m_doneIds.end(), ids.begin(), ids.end());
    m_reportTimer.start();
}

void AlsaAudioOut::DeliverDone()
{
    m_reportTimer.stop();
    const std::vector<int> ids = std::exchange(m_doneIds, {});
    for (int id : ids)
        if (OnBufferDone)
            OnBufferDone(id);
}

void AlsaAudioOut::Drain()
{
    m_draining = true;
    snd_pcm_sframes_t delay = 0;
    if (m_pcm) {
        if (Alsa().pcm_state(m_pcm.get()) == SND_PCM_STATE_PREPARED)
            Alsa().pcm_start(m_pcm.get());
        if (Alsa().pcm_delay(m_pcm.get(), &delay) < 0)
            delay = 0;
    }
    m_drainDeadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(std::max<snd_pcm_sframes_t>(delay, 0) * 1000 / m_rate + 250);
    CheckDrained();
}

void AlsaAudioOut::CheckDrained()
{
    if (!m_draining)
        return;
    snd_pcm_sframes_t delay = 0;
    if (m_pcm && !m_pending.empty()) {
        m_drainTimer.start(50);
        return;
    }
    // Played out when nothing is delayed or the whole ring is free again; some plug-ins keep
    // reporting their own latency as delay, which the deadline cuts short.
    if (m_pcm && Alsa().pcm_delay(m_pcm.get(), &delay) == 0 && delay > 0 &&
        Alsa().pcm_avail(m_pcm.get()) < static_cast<snd_pcm_sframes_t>(m_bufferFrames)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              m_drainDeadline - std::chrono::steady_clock::now())
                              .count();
        if (left > 0) {
            // What is still in the device is heard in this time; look again then.
            m_drainTimer.start(
                static_cast<int>(std::min<qint64>(delay * 1000 / m_rate + 10, left)));
            return;
        }
    }
    m_draining = false;
    if (OnDrained)
        OnDrained();
}

void AlsaAudioOut::Reset()
{
    std::vector<int> done;
    for (const Pending& buffer : m_pending)
        done.push_back(buffer.Id);
    m_pending.clear();
    m_drainTimer.stop();
    if (m_pcm) {
        Alsa().pcm_drop(m_pcm.get());
        Alsa().pcm_prepare(m_pcm.get());
    }
    WatchDevice(false);
    // Everything is over at once: the reports go out now, not from the event loop.
    m_doneIds.insert(m_doneIds.end(), done.begin(), done.end());
    DeliverDone();
    if (m_draining) {
        m_draining = false;
        if (OnDrained)
            OnDrained();
    }
}

void AlsaAudioOut::Close()
{
    m_drainTimer.stop();
    m_reportTimer.stop();
    m_doneIds.clear();
    m_draining = false;
    m_pending.clear();
    m_notifiers.clear();
    m_pollFds.clear();
    if (m_pcm)
        Alsa().pcm_drop(m_pcm.get());
    m_pcm.reset();
}
