#include "ui/EventSounds.h"

#include "doubles/RecordingDialogs.h"
#include "platform/linux/AlsaAudioOut.h"
#include "res/MRes.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/TempProgramFolder.h"
#include "support/WaveFiles.h"
#include "ui/WavePlayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace WaveFiles;

namespace {

// Plays into a raw file through ALSA's own "file" plug-in, which needs no sound card.
class SoundsThroughAlsa : public ::testing::Test
{
protected:
    SoundsThroughAlsa()
    {
        settings.Enable = true;
        QDir().mkpath(folder.File("sounds"));
    }

    AudioOutFactory FileDevice()
    {
        return [this] {
            return std::make_unique<AlsaAudioOut>(QStringLiteral("file:'%1',raw").arg(Out()));
        };
    }
    QString Out() const { return folder.File("OUT.raw"); }

    // Plays the file as the start sound and waits for the player to finish.
    void PlayToTheEnd(TEventSounds& sounds, const QString& name)
    {
        settings.pSTART = name;
        sounds.PlayEventSoundNo(4);
        ASSERT_TRUE(RunUntil([&] { return !sounds.LWavePlay().Playing(); }, 10000));
    }

    TempProgramFolder folder;
    LogCapture log;
    TEventSoundSettings settings;
};

} // namespace

TEST_F(SoundsThroughAlsa, TheDeviceGetsTheSampleDataWithTheBufferSizeOfTheFileSize)
{
    TEventSounds sounds(settings, {folder.Path()}, log.Writer(), FileDevice());
    int done = 0;
    const auto onDone = sounds.LWavePlay().OnDone;
    sounds.LWavePlay().OnDone = [&](QObject* sender) {
        ++done;
        onDone(sender);
    };
    const std::pair<qsizetype, int> cases[] = {
        {2000, 32768},            // too small for its own size
        {100000 - 44, 100000},    // its own size
        {2 * 1024 * 1024, 32768}, // too large
    };
    for (const auto& [bytes, bufferSize] : cases) {
        QFile::remove(Out());
        const QByteArray data = Samples(bytes);
        folder.Write("sounds/tone.wav", Pcm16Mono(data));
        PlayToTheEnd(sounds, "sounds/tone.wav");
        EXPECT_EQ(sounds.LWavePlay().BufferSize(), bufferSize) << bytes;
        EXPECT_EQ(folder.Read("OUT.raw"), data) << bytes;
    }
    EXPECT_EQ(done, 3);
    EXPECT_TRUE(log.Lines().contains("Play : " + folder.File("sounds/tone.wav")));
}

TEST_F(SoundsThroughAlsa, StereoTwentyFourBitAndEightBitPlayAsWritten)
{
    TEventSounds sounds(settings, {folder.Path()}, log.Writer(), FileDevice());
    for (const quint16 bits : {24, 8}) {
        QFile::remove(Out());
        const QByteArray data = Samples(bits == 24 ? 6 * 5000 : 2 * 5000);
        folder.Write("s.wav", Riff(Chunk("fmt ", PcmFormat(2, 44100, bits)) + Chunk("LIST", "odd") +
                                   Chunk("data", data)));
        PlayToTheEnd(sounds, folder.File("s.wav"));
        EXPECT_EQ(folder.Read("OUT.raw"), data) << bits;
    }
}

TEST_F(SoundsThroughAlsa, StoppingOrMutingEndsTheSoundAtOnce)
{
    TEventSounds sounds(settings, {folder.Path()}, log.Writer(), FileDevice());
    const QByteArray data = Samples(4 * 1024 * 1024);
    folder.Write("long.wav", Pcm16Mono(data));
    int done = 0;
    sounds.LWavePlay().OnDone = [&](QObject*) {
        ++done;
    };

    settings.pSKIN = "long.wav";
    sounds.PlayEventSoundNo(5);
    EXPECT_TRUE(sounds.LWavePlay().Playing());
    sounds.LWavePlay().Stop();
    EXPECT_FALSE(sounds.LWavePlay().Playing());
    EXPECT_EQ(done, 1);
    EXPECT_LT(folder.Read("OUT.raw").size(), data.size());

    sounds.PlayEventSoundNo(5);
    ASSERT_TRUE(sounds.LWavePlay().Playing());
    sounds.SetMute(true);
    EXPECT_TRUE(settings.Mute);
    EXPECT_FALSE(sounds.LWavePlay().Playing());
    EXPECT_EQ(done, 2);
    EXPECT_LT(folder.Read("OUT.raw").size(), data.size());

    // Muted, nothing plays at all.
    QFile::remove(Out());
    sounds.PlayEventSoundNo(5);
    EXPECT_FALSE(sounds.LWavePlay().Playing());
    EXPECT_FALSE(folder.Exists("OUT.raw"));
    EXPECT_TRUE(log.Lines().contains("Mute TRUE..."));
}

TEST_F(SoundsThroughAlsa, DeviceAndFileErrorsAreLoggedAndTheNextSoundPlays)
{
    folder.Write("tone.wav", Pcm16Mono(Samples(3000)));
    folder.Write("float.wav",
                 Riff(Chunk("fmt ", PcmFormat(1, 8000, 32, 3)) + Chunk("data", Samples(8))));
    {
        TEventSounds sounds(settings, {folder.Path()}, log.Writer(), [] {
            return std::make_unique<AlsaAudioOut>(QStringLiteral("no_such_device_here"));
        });
        PlayToTheEnd(sounds, "tone.wav");
        const QStringList errors = log.Lines().filter("< ! > Sound Play Error : ");
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].startsWith("< ! > Sound Play Error : MMSYSERR_BADDEVICEID : "))
            << errors[0].toStdString();
        EXPECT_TRUE(errors[0].contains("no_such_device_here"));
    }
    TEventSounds sounds(settings, {folder.Path()}, log.Writer(), FileDevice());
    PlayToTheEnd(sounds, "float.wav");
    EXPECT_TRUE(
        log.Lines().contains("< ! > Sound Play Error : Unsupported sound format: IEEE float"));
    PlayToTheEnd(sounds, "missing.wav");
    EXPECT_TRUE(log.Lines().contains("Sound File Chkecking..." + folder.File("missing.wav")));
    PlayToTheEnd(sounds, "tone.wav");
    EXPECT_EQ(folder.Read("OUT.raw"), Samples(3000));
}

TEST_F(SoundsThroughAlsa, ASoundThatCannotPlayIsToldOnceInABox)
{
    folder.Write("tone.wav", Pcm16Mono(Samples(3000)));
    TEventSounds sounds(settings, {folder.Path()}, log.Writer(), [] {
        return std::make_unique<AlsaAudioOut>(QStringLiteral("no_such_device_here"));
    });
    RecordingDialogs dialogs;
    const TMRes noLanguage(QString{});
    sounds.ReportFailuresTo(dialogs, noLanguage);
    PlayToTheEnd(sounds, "tone.wav");
    PlayToTheEnd(sounds, "tone.wav");
    ASSERT_TRUE(RunUntil([&] { return !dialogs.boxes.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.Lines().filter("< ! > Sound Play Error : ").size(), 2);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].type, DialogType::Warning);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("tone.wav: MMSYSERR_BADDEVICEID"));
}

TEST(AlsaErrors, MapOntoTheWaveOutNames)
{
    EXPECT_EQ(AudioOutResultName(AlsaAudioOut::OpenResultFor(-ENOENT)), "MMSYSERR_BADDEVICEID");
    EXPECT_EQ(AudioOutResultName(AlsaAudioOut::OpenResultFor(-EBUSY)), "MMSYSERR_ALLOCATED");
    EXPECT_EQ(AudioOutResultName(AlsaAudioOut::OpenResultFor(-EACCES)), "MMSYSERR_NODRIVER");
    EXPECT_EQ(AudioOutResultName(AlsaAudioOut::OpenResultFor(-ENOMEM)), "MMSYSERR_NOMEM");
    EXPECT_EQ(AudioOutResultName(AlsaAudioOut::OpenResultFor(-EINVAL)), "WAVERR_BADFORMAT");
    EXPECT_EQ(AudioOutResultName(AlsaAudioOut::OpenResultFor(-EPIPE)), "unknown?");
}

namespace {

// Which event numbers the check plays, told apart by their files.
class SoundChecks : public ::testing::Test
{
protected:
    SoundChecks()
    {
        settings.Enable = true;
        const char* names[] = {"on", "off", "ping", "start", "skin", "mem", "res"};
        QString* fields[] = {&settings.pON,   &settings.pOFF, &settings.pPING, &settings.pSTART,
                             &settings.pSKIN, &settings.pMEM, &settings.pRES};
        for (int i = 0; i < 7; ++i) {
            *fields[i] = QString::fromLatin1(names[i]) + ".wav";
            folder.Write(*fields[i], Pcm16Mono(Samples(100)));
        }
    }

    QStringList Check(std::int32_t level, std::int32_t time, int memory = 50, int resources = 50)
    {
        const qsizetype before = log.Lines().size();
        sounds.CheckSoundEvents({level, time, memory, resources});
        QStringList played;
        for (const QString& line : log.Lines().mid(before))
            if (line.startsWith("Play : "))
                played << QFileInfo(line).completeBaseName();
        return played;
    }

    TempProgramFolder folder;
    LogCapture log;
    TEventSoundSettings settings;
    TEventSounds sounds{settings, {folder.Path()}, log.Writer(), [] {
                            return std::make_unique<AlsaAudioOut>(QStringLiteral("null"));
                        }};
};

} // namespace

TEST_F(SoundChecks, PingTransitionsFromEachState)
{
    EXPECT_EQ(Check(0, 0), QStringList());        // no result yet
    EXPECT_EQ(Check(2, 12), QStringList({"on"})); // the first reply
    EXPECT_EQ(Check(3, 5), QStringList());
    EXPECT_EQ(Check(0, 888888), QStringList({"off"}));
    EXPECT_EQ(Check(0, 888888), QStringList());
    EXPECT_EQ(Check(1, 150), QStringList({"on"}));

    TEventSounds fresh(settings, {folder.Path()}, log.Writer(),
                       [] { return std::make_unique<AlsaAudioOut>(QStringLiteral("null")); });
    const qsizetype before = log.Lines().size();
    fresh.CheckSoundEvents({0, 888888, 50, 50}); // the first ping timed out
    EXPECT_EQ(log.Lines().mid(before).filter("Play : "),
              QStringList({"Play : " + folder.File("off.wav")}));
}

TEST_F(SoundChecks, MemoryAndResourceAlertsSoundOncePerCrossing)
{
    Check(0, 0, 90, 50);
    EXPECT_EQ(Check(0, 0, 100, 50), QStringList({"mem"}));
    for (int second = 0; second < 5; ++second)
        EXPECT_EQ(Check(0, 0, 100, 50), QStringList());
    Check(0, 0, 99, 50);
    EXPECT_EQ(Check(0, 0, 100, 50), QStringList({"mem"}));

    EXPECT_EQ(Check(0, 0, 50, 9), QStringList({"res"}));
    EXPECT_EQ(Check(0, 0, 50, 5), QStringList());
}

TEST_F(SoundChecks, SwitchedOffTheStateIsStillWatched)
{
    settings.Enable = false;
    EXPECT_EQ(Check(2, 10, 100), QStringList());
    settings.Enable = true;
    // Online and full before: nothing new to tell.
    EXPECT_EQ(Check(2, 10, 100), QStringList());
    EXPECT_EQ(Check(0, 888888, 100), QStringList({"off"}));
}
