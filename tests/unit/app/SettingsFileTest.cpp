#include "app/SettingsFile.h"

#include "doubles/RecordingDialogs.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileIni.h"
#include "res/MRes.h"
#include "support/IsolatedMount.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class ScriptedSpeedRange : public SpeedRangeAsker
{
public:
    std::optional<SpeedRangeChoice> AskSpeedRange(const SpeedRangeChoice& current,
                                                  const QString& language) override
    {
        ++calls;
        asked = current;
        askedLanguage = language;
        return answer;
    }
    int calls = 0;
    SpeedRangeChoice asked;
    QString askedLanguage;
    std::optional<SpeedRangeChoice> answer;
};

class SettingsFileTest : public ::testing::Test
{
protected:
    TSettings Load(int drive = -1)
    {
        TSettingsFile file(paths, drive);
        return file.Load(dialogs, res, &speedRange);
    }
    void Save(const TSettings& settings, int drive = -1)
    {
        TSettingsFile(paths, drive).Save(settings);
    }

    TempProgramFolder folder;
    AppPaths paths = folder.Paths();
    RecordingDialogs dialogs;
    TMRes res{folder.Path()};
    ScriptedSpeedRange speedRange;
};

} // namespace

TEST_F(SettingsFileTest, FirstStartCreatesTheDefaultFileAndAsksForSpeedRanges)
{
    speedRange.answer = SpeedRangeChoice{99, 3, 209715200, 0};
    TSettings s = Load();

    EXPECT_EQ(folder.Read("Pulsmir.ini"),
              QByteArray("[Pulsmir2]\r\nCurrentSkinName=System Analog Meter "
                         "II(for2.2)\r\n\r\n[Pulsmir2_EventSound]\r\n"));
    EXPECT_EQ(s.CurrentSkinName, "System Analog Meter II(for2.2)");
    EXPECT_EQ(s.PingHost, "127.0.0.1");
    EXPECT_TRUE(s.UseDefaultGateway);
    EXPECT_EQ(speedRange.calls, 1);
    EXPECT_EQ(speedRange.asked.DRange, 0);
    EXPECT_TRUE(speedRange.askedLanguage.isEmpty()) << "no language chosen yet";
    EXPECT_EQ(s.DRange, 99);
    EXPECT_EQ(s.NRange, 3);
    EXPECT_EQ(s.DRangeV, 209715200);
    EXPECT_TRUE(dialogs.boxes.empty());
    // Untouched defaults.
    EXPECT_TRUE(s.AlwaysTop);
    EXPECT_EQ(s.PerfRate, 2);
    EXPECT_EQ(s.PingRate, 60);
    EXPECT_EQ(s.FloatInterval, 50);
    EXPECT_EQ(s.LogoPosition, 4);
    EXPECT_TRUE(s.ODMenuSW);
    EXPECT_FALSE(s.EventSound.Enable);
}

TEST_F(SettingsFileTest, CancelledSpeedDialogLeavesRangesAutomatic)
{
    folder.Write("Pulsmir.ini",
                 "[Pulsmir2]\r\nDRange=5\r\nNRange=7\r\nVersion=200\r\nResourceName=English\r\n");
    TSettings s = Load();
    EXPECT_EQ(speedRange.calls, 1);
    EXPECT_EQ(speedRange.askedLanguage, "English") << "asked in the language of the settings";
    EXPECT_EQ(s.DRange, 0);
    EXPECT_EQ(s.NRange, 0);
}

TEST_F(SettingsFileTest, WhatThisProgramWroteReadsBackWithoutAskingAgain)
{
    TSettings s;
    s.CurrentSkinName = "Flat";
    s.PingHost = "";
    s.UseDefaultGateway = false;
    s.Icons[2] = "icons/write.ico";
    s.DRange = 99;
    s.DRangeV = 6'000'000'000LL; // an NVMe drive's full scale does not fit 32 bits
    s.EventSound.pSTART = "sounds/start.wav";
    s.EventSound.Mute = true;
    s.PosX = -120;
    Save(s);

    TSettings back = Load();
    EXPECT_EQ(speedRange.calls, 0);
    EXPECT_EQ(back.Version, 220);
    EXPECT_EQ(back.CurrentSkinName, "Flat");
    EXPECT_EQ(back.PingHost, "");
    EXPECT_FALSE(back.UseDefaultGateway);
    EXPECT_EQ(back.Icons[2], "icons/write.ico");
    EXPECT_EQ(back.DRange, 99);
    EXPECT_EQ(back.DRangeV, 6'000'000'000LL);
    EXPECT_EQ(back.EventSound.pSTART, "sounds/start.wav");
    EXPECT_TRUE(back.EventSound.Mute);
    EXPECT_EQ(back.PosX, -120);
}

TEST_F(SettingsFileTest, SaveWritesEveryKeyInOrderAndKeepsUnknownOnes)
{
    folder.Write("Pulsmir.ini", "; my notes\r\n[Pulsmir2]\r\nMyOwnKey=keep me\r\nAlwaysTop=0\r\n"
                                "[Other]\r\nX=1\r\n");
    Save(TSettings());
    ProfileIni ini(folder.File("Pulsmir.ini"));
    EXPECT_EQ(ini.ReadString("Pulsmir2", "MyOwnKey"), "keep me");
    EXPECT_EQ(ini.ReadString("Other", "X"), "1");
    EXPECT_TRUE(folder.Read("Pulsmir.ini")
                    .startsWith("; my notes\r\n[Pulsmir2]\r\nMyOwnKey=keep me\r\nAlwaysTop=1\r\n"));
    const QStringList keys = ini.KeyNames("Pulsmir2");
    EXPECT_EQ(keys.first(), "MyOwnKey");
    EXPECT_EQ(keys.indexOf("UseDefaultGateway"), keys.indexOf("ProcessOverDrive") + 1);
    EXPECT_EQ(keys.last(), "Version");
    EXPECT_EQ(keys.size(), 1 + 66 + 2);
    EXPECT_EQ(
        ini.KeyNames("Pulsmir2_EventSound"),
        QStringList({"Enable", "Mute", "pOFF", "pON", "pPING", "pSTART", "pSKIN", "pMEM", "pRES"}));
    EXPECT_EQ(ini.ReadString("Pulsmir2", "Version"), "220");
    EXPECT_EQ(ini.ReadString("Pulsmir2", "LogConvSW"), "1");
}

TEST_F(SettingsFileTest, LoadRulesTieKeysTogether)
{
    folder.Write("Pulsmir.ini",
                 "[Pulsmir2]\r\nPingGT1=10\r\nPingGT2=20\r\nPingGT3=250\r\nPingHost=\r\n"
                 "WaitTime=1\r\nPerfRate=0x4\r\nAlwaysTop=yes\r\nVersion=220\r\n");
    TSettings s = Load();
    EXPECT_EQ(s.PingGT1, 50);
    EXPECT_EQ(s.PingGT2, 100);
    EXPECT_EQ(s.PingGT3, 200);
    EXPECT_EQ(s.PingHost, "");
    EXPECT_FALSE(s.UseDefaultGateway);
    EXPECT_EQ(s.WaitTime, 2);
    EXPECT_EQ(s.PerfRate, 4);
    EXPECT_TRUE(s.AlwaysTop); // not a number: the default

    folder.Write("Pulsmir.ini",
                 "[Pulsmir2]\r\nWaitTime=90\r\nPingGT3=200\r\nPingGT1=70\r\nVersion=220\r\n");
    s = Load();
    EXPECT_EQ(s.WaitTime, 60);
    EXPECT_EQ(s.PingGT1, 70);
    EXPECT_TRUE(s.UseDefaultGateway);
}

TEST_F(SettingsFileTest, SensorSettingsRoundTripAndKeepTheirRangeInOrder)
{
    TSettings written;
    written.TempSensor = "nvme#2/Composite";
    written.TempRangeLow = 20;
    written.TempRangeHigh = 80;
    written.TempAlarm = 75;
    written.DiskSpacePath = "/mnt/data";
    written.GpuId = "amdgpu/0000:03:00.0";
    written.FanId = "thinkpad/fan1";
    written.FanMaxRpm = 4800;
    Save(written);
    TSettings read = Load();
    EXPECT_EQ(read.TempSensor, "nvme#2/Composite");
    EXPECT_EQ(read.TempRangeLow, 20);
    EXPECT_EQ(read.TempRangeHigh, 80);
    EXPECT_EQ(read.TempAlarm, 75);
    EXPECT_EQ(read.DiskSpacePath, "/mnt/data");
    EXPECT_EQ(read.GpuId, "amdgpu/0000:03:00.0");
    EXPECT_EQ(read.FanId, "thinkpad/fan1");
    EXPECT_EQ(read.FanMaxRpm, 4800);

    // A file edited by hand: the range keeps a top above its bottom, all within what the
    // options offer.
    folder.Write("Pulsmir.ini", "[Pulsmir2]\r\nTempRangeLow=90\r\nTempRangeHigh=40\r\n"
                                "TempAlarm=9999\r\nFanMaxRpm=-5\r\nVersion=220\r\n");
    read = Load();
    EXPECT_EQ(read.FanMaxRpm, 0);
    EXPECT_EQ(read.TempRangeLow, 90);
    EXPECT_EQ(read.TempRangeHigh, 91);
    EXPECT_EQ(read.TempAlarm, MaxTemperature);
    folder.Write("Pulsmir.ini", "[Pulsmir2]\r\nTempRangeLow=500\r\nVersion=220\r\n");
    read = Load();
    EXPECT_EQ(read.TempRangeLow, MaxTemperature - 1);
    EXPECT_EQ(read.TempRangeHigh, MaxTemperature);
}

TEST_F(SettingsFileTest, AFileNamingWhereSecretsAreKeptIsTheOwnersAlone)
{
    const QString path = paths.SettingsFile(QStringLiteral("Pulsmir.ini"));
    Save(TSettings());
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0644), 0);
    TSettings s;
    s.Source = "https://nas.example:9100/metrics";
    s.SourceUser = "me";
    s.SourcePasswordFile = "/home/me/.nas-password";
    s.SourcePeriod = MaxSourcePeriod + 1;
    Save(s);

    struct stat info = {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // The source is read before the rest, as the window makes its measurement first.
    const TSettings source = TSettingsFile(paths, -1).ChosenSource();
    EXPECT_EQ(source.Source, s.Source);
    EXPECT_EQ(source.SourceUser, s.SourceUser);
    EXPECT_EQ(source.SourcePasswordFile, s.SourcePasswordFile);
    EXPECT_EQ(source.SourcePeriod, MaxSourcePeriod);
}

TEST_F(SettingsFileTest, OldGenerationSectionIsAnnouncedOnceAndRemoved)
{
    folder.Write("English.lng", "[Header]\r\nDISCRIPTION=English\r\nLANGCODE=ENG\r\n"
                                "[MESSAGES]\r\nR0610=Old settings removed.\r\n");
    folder.Write("Pulsmir.ini", "[Pulsmir]\r\nSkin=old\r\n[Pulsmir2]\r\nResourceName=English\r\n");
    Load();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].type, DialogType::Warning);
    EXPECT_EQ(dialogs.boxes[0].text, "Old settings removed.");
    EXPECT_FALSE(ProfileIni(folder.File("Pulsmir.ini")).SectionExists("Pulsmir"));

    Load();
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(SettingsFileTest, OldGenerationWarningIsReadableWithoutALanguage)
{
    folder.Write("Pulsmir.ini", "[Pulsmir]\r\nSkin=old\r\n");
    Load();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_FALSE(dialogs.boxes[0].text.contains("NoData"));
    EXPECT_TRUE(dialogs.boxes[0].text.contains("older version"));
}

TEST_F(SettingsFileTest, PerDriveInstanceReadsTheCommonFileAndWritesItsOwn)
{
    folder.Write("Pulsmir.ini", "[Pulsmir2]\r\nCurrentSkinName=Common\r\nVersion=220\r\n");
    TSettings s = Load(2);
    EXPECT_EQ(s.CurrentSkinName, "Common");
    s.CurrentSkinName = "Drive two";
    Save(s, 2);
    EXPECT_TRUE(folder.Exists("Pulsmir_2.ini"));
    EXPECT_EQ(Load(2).CurrentSkinName, "Drive two");
    EXPECT_EQ(Load().CurrentSkinName, "Common");
    EXPECT_EQ(TSettingsFile(paths, 3).LoadPath(), folder.File("Pulsmir.ini"));
    EXPECT_EQ(TSettingsFile(paths, 3).SavePath(), folder.File("Pulsmir_3.ini"));
    EXPECT_EQ(TSettingsFile(paths, -1, "nas").SavePath(), folder.File("Pulsmir-nas.ini"));
    // A named instance never takes a drive instance's file, whatever its name.
    EXPECT_EQ(TSettingsFile(paths, -1, "3").SavePath(), folder.File("Pulsmir-3.ini"));
}

TEST_F(SettingsFileTest, UnwritableFolderStillStartsWithDefaultsAndSaveReportsIt)
{
    // A file where the folder would be made: nothing can be written there.
    folder.Write("blocked", "a file");
    AppPaths missing(folder.File("blocked/pulsmir"), folder.Path());
    TSettingsFile file(missing, -1);
    TSettings s = file.Load(dialogs, res, &speedRange);
    EXPECT_EQ(s.CurrentSkinName, "System Analog Meter II(for2.2)");
    EXPECT_THROW(file.Save(s), EFileWriteError);
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadIsNotReplaced)
{
    // Rewritten from an empty read, the file would keep the program's keys and lose the rest.
    const QByteArray mine = "[Pulsmir2]\r\nVersion=220\r\n\r\n[Mine]\r\nKeep=1\r\n";
    folder.Write("Pulsmir.ini", mine);
    QFile::setPermissions(folder.File("Pulsmir.ini"),
                          QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
    QFile::setPermissions(folder.Path(), QFile::Permissions(0x7777));
    // Root reads anything; the save runs as nobody in a child process then.
    IsolatedMount child;
    const std::optional<int> outcome = child.Run<int>([&] {
        if (::geteuid() == 0 &&
            (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0))
            return -1;
        try {
            Save(TSettings());
            return 0;
        } catch (const EFileWriteError&) {
            return 1;
        }
    });
    ASSERT_TRUE(outcome) << child.WhyNot;
    ASSERT_NE(*outcome, -1) << "cannot drop root";
    EXPECT_EQ(*outcome, 1);
    QFile::setPermissions(folder.File("Pulsmir.ini"), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(folder.Read("Pulsmir.ini"), mine);
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // Nor one over the limit: whatever it is, it is not ours to replace.
    ASSERT_TRUE(QFile(folder.File("Pulsmir.ini")).resize(qint64(100) << 20));
    EXPECT_THROW(Save(TSettings()), EFileWriteError);
    EXPECT_EQ(QFileInfo(folder.File("Pulsmir.ini")).size(), qint64(100) << 20);
}
