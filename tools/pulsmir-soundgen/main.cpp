// Writes the shipped event sounds: soft tones, one short WAV file per event, into
// <folder>/sounds/. Run by hand after changing a sound; the files are committed under data/.
// Usage: pulsmir-soundgen <folder>
#include <QDir>
#include <QSaveFile>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int Rate = 22050;

// One note: a sine with a little of its octave, a quick rise and a long soft fall.
struct Note
{
    double Frequency;
    double Start;    // seconds
    double Duration; // seconds
    double Level;    // 0..1
};

std::vector<std::int16_t> Render(const std::vector<Note>& notes, double length)
{
    std::vector<double> mix(static_cast<std::size_t>(length * Rate), 0.0);
    for (const Note& note : notes) {
        const std::size_t first = static_cast<std::size_t>(note.Start * Rate);
        const std::size_t count = static_cast<std::size_t>(note.Duration * Rate);
        for (std::size_t i = 0; i < count && first + i < mix.size(); ++i) {
            const double t = static_cast<double>(i) / Rate;
            const double attack = std::min(1.0, t / 0.008);
            const double release = std::exp(-4.0 * t / note.Duration);
            const double tail = std::min(1.0, (note.Duration - t) / 0.01);
            const double phase = 2.0 * std::numbers::pi * note.Frequency * t;
            const double wave = std::sin(phase) + 0.25 * std::sin(2.0 * phase);
            mix[first + i] += note.Level * attack * release * tail * wave / 1.25;
        }
    }
    std::vector<std::int16_t> samples(mix.size());
    for (std::size_t i = 0; i < mix.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(std::clamp(mix[i], -1.0, 1.0) * 20000));
    return samples;
}

bool WriteWave(const QString& path, const std::vector<std::int16_t>& samples)
{
    const quint32 dataBytes = static_cast<quint32>(samples.size() * 2);
    QByteArray bytes;
    const auto put32 = [&bytes](quint32 v) {
        char raw[4];
        qToLittleEndian(v, raw);
        bytes.append(raw, 4);
    };
    const auto put16 = [&bytes](quint16 v) {
        char raw[2];
        qToLittleEndian(v, raw);
        bytes.append(raw, 2);
    };
    bytes.append("RIFF");
    put32(36 + dataBytes);
    bytes.append("WAVEfmt ");
    put32(16);
    put16(1); // integer PCM
    put16(1); // mono
    put32(Rate);
    put32(Rate * 2); // bytes a second
    put16(2);        // bytes a frame
    put16(16);       // bits a sample
    bytes.append("data");
    put32(dataBytes);
    for (std::int16_t sample : samples)
        put16(static_cast<quint16>(sample));
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

struct Sound
{
    const char* Name;
    std::vector<Note> Notes;
    double Length;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pulsmir-soundgen <folder>\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("sounds"));
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "pulsmir-soundgen: cannot make %s\n", qPrintable(folder));
        return 1;
    }
    const std::vector<Sound> sounds = {
        {"online.wav", {{659.3, 0.0, 0.18, 0.7}, {880.0, 0.12, 0.25, 0.7}}, 0.40},
        {"offline.wav",
         {{880.0, 0.0, 0.18, 0.7}, {659.3, 0.12, 0.18, 0.7}, {493.9, 0.24, 0.25, 0.6}},
         0.52},
        {"ping.wav", {{1318.5, 0.0, 0.07, 0.35}}, 0.09},
        {"start.wav",
         {{523.3, 0.0, 0.3, 0.6}, {659.3, 0.12, 0.3, 0.6}, {784.0, 0.24, 0.4, 0.6}},
         0.66},
        {"skin.wav", {{784.0, 0.0, 0.28, 0.5}, {1174.7, 0.06, 0.26, 0.4}}, 0.34},
        {"memory.wav", {{329.6, 0.0, 0.16, 0.8}, {329.6, 0.22, 0.2, 0.8}}, 0.46},
        {"resources.wav",
         {{261.6, 0.0, 0.14, 0.8}, {261.6, 0.18, 0.14, 0.8}, {261.6, 0.36, 0.2, 0.8}},
         0.60},
    };
    for (const Sound& sound : sounds) {
        const QString path = QDir(folder).filePath(QString::fromLatin1(sound.Name));
        if (!WriteWave(path, Render(sound.Notes, sound.Length))) {
            std::fprintf(stderr, "pulsmir-soundgen: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
