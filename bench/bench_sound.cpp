// Event sounds: from PlayEventSound to the first buffer in the device's hands, for a 100 KB
// file, the device opened and set up for real each time: ALSA's null device, or the one
// PULSMIR_AUDIO_DEVICE names.
// With --play FILE [DEVICE] it instead plays one file to its end through the device (default
// "default") and prints the CPU time and voluntary context switches of the process over the
// play, and its resident memory before and at most during it. A sound of a little over 1 MiB
// is played first, so the device's libraries are loaded and the player has its two 32 KiB
// buffers, as in a monitor that has played a sound before.
#include "platform/linux/AlsaAudioOut.h"
#include "support/WaveFiles.h"
#include "ui/EventSounds.h"
#include "ui/WavePlayer.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <sys/resource.h>

namespace {

// The null device, timing the first buffer handed to it.
class TimedDevice : public AudioOut
{
public:
    explicit TimedDevice(std::chrono::steady_clock::time_point* firstWrite)
        : m_firstWrite(firstWrite),
          m_device(qEnvironmentVariable("PULSMIR_AUDIO_DEVICE", QStringLiteral("null")))
    {
        m_device.OnBufferDone = [this](int id) {
            OnBufferDone(id);
        };
        m_device.OnDrained = [this] {
            OnDrained();
        };
    }
    AudioOutResult Open(const WaveFormat& format) override { return m_device.Open(format); }
    QString LastErrorText() const override { return m_device.LastErrorText(); }
    AudioOutResult Write(int id, const char* data, std::size_t bytes) override
    {
        if (*m_firstWrite == std::chrono::steady_clock::time_point{})
            *m_firstWrite = std::chrono::steady_clock::now();
        return m_device.Write(id, data, bytes);
    }
    void Drain() override { m_device.Drain(); }
    void Reset() override { m_device.Reset(); }
    void Close() override { m_device.Close(); }

private:
    std::chrono::steady_clock::time_point* m_firstWrite;
    AlsaAudioOut m_device;
};

void BM_PlayEventSoundToFirstBuffer(benchmark::State& state)
{
    QTemporaryDir folder;
    QFile file(folder.filePath("tone.wav"));
    if (!file.open(QIODevice::WriteOnly) ||
        !file.write(WaveFiles::Pcm16Mono(WaveFiles::Samples(100000 - 44)))) {
        state.SkipWithError("cannot write the sound file");
        return;
    }
    file.close();
    TEventSoundSettings settings;
    settings.Enable = true;
    settings.pSTART = "tone.wav";
    std::chrono::steady_clock::time_point firstWrite;
    TEventSounds sounds(settings, {folder.path()}, TaggedLog(),
                        [&firstWrite] { return std::make_unique<TimedDevice>(&firstWrite); });
    for (auto _ : state) {
        firstWrite = {};
        const auto start = std::chrono::steady_clock::now();
        sounds.PlayEventSoundNo(4);
        if (firstWrite == std::chrono::steady_clock::time_point{}) {
            state.SkipWithError("nothing reached the device");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(firstWrite - start).count());
        sounds.LWavePlay().Stop();
    }
}
BENCHMARK(BM_PlayEventSoundToFirstBuffer)->UseManualTime()->Unit(benchmark::kMillisecond);

long ResidentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

double CpuSeconds(const rusage& usage)
{
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void PlayOnce(TEventSounds& sounds, long* peakKib)
{
    sounds.PlayEventSoundNo(4);
    while (sounds.LWavePlay().Playing()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (peakKib)
            *peakKib = std::max(*peakKib, ResidentKib());
    }
}

int PlayToTheEnd(const char* file, const char* device)
{
    TEventSoundSettings settings;
    settings.Enable = true;
    TEventSounds sounds(settings, QStringList(), TaggedLog(), [device] {
        return std::make_unique<AlsaAudioOut>(QString::fromLocal8Bit(device));
    });
    sounds.LWavePlay().OnError = [](QObject*, const QString& message) {
        std::fprintf(stderr, "error: %s\n", qPrintable(message));
    };
    QTemporaryDir folder;
    QFile warmUp(folder.filePath("short.wav"));
    if (!warmUp.open(QIODevice::WriteOnly) ||
        !warmUp.write(WaveFiles::Pcm16Mono(QByteArray(1100000, '\0'), 44100)))
        return 1;
    warmUp.close();
    settings.pSTART = warmUp.fileName();
    PlayOnce(sounds, nullptr);

    settings.pSTART = QString::fromLocal8Bit(file);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const long idleKib = ResidentKib();
    long peakKib = idleKib;
    const auto start = std::chrono::steady_clock::now();
    PlayOnce(sounds, &peakKib);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double cpu = CpuSeconds(after) - CpuSeconds(before);
    std::printf("played %.2f s: CPU %.3f s (%.3f %% of one core), %ld voluntary switches; "
                "resident %ld KiB before, at most %ld KiB during (+%ld KiB)\n",
                wall, cpu, 100.0 * cpu / wall, after.ru_nvcsw - before.ru_nvcsw, idleKib, peakKib,
                peakKib - idleKib);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--play") == 0)
        return PlayToTheEnd(argv[2], argc >= 4 ? argv[3] : "default");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
