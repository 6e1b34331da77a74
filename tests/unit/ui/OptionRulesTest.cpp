#include "ui/OptionRules.h"

#include "settings/SpeedRanges.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>
#include <iterator>

using namespace OptionRules;

TEST(OptionConversions, PingBarsAndWaitTimes)
{
    EXPECT_EQ(PingBarOf(60), 6);
    EXPECT_EQ(PingRateOf(30), 300);
    EXPECT_EQ(PingBarOf(5), 6);    // below the bar's range
    EXPECT_EQ(PingBarOf(1000), 30);
    EXPECT_EQ(GateBarOf(50), 5);
    EXPECT_EQ(GateBarOf(100), 10);
    EXPECT_EQ(GateBarOf(200), 20);
    EXPECT_EQ(GateBarOf(900), 20);
    EXPECT_EQ(GateMsOf(7), 70);

    EXPECT_EQ(WaitTimeOf("45"), 30);
    EXPECT_EQ(WaitTimeOf(" 1 "), 2);
    EXPECT_EQ(WaitTimeOf("12"), 12);
    EXPECT_EQ(WaitTimeOf("ten"), std::nullopt);
    EXPECT_EQ(WaitTimeOf("1.5"), std::nullopt);
    EXPECT_EQ(WaitTimeOf(""), std::nullopt);

    EXPECT_EQ(PingIntervalText("Ping interval:", 6), "Ping interval: 60s");
    EXPECT_EQ(PingIntervalText("Interval: every", 30), "Interval: 300s");
    EXPECT_EQ(PingIntervalText("Interval", 12), "120s");
}

TEST(OptionConversions, TheGatesStayInOrder)
{
    // The third pulled below the second drags it down, and the first with it.
    EXPECT_EQ(OrderGates({5, 10, 3}, 3), (Gates{3, 3, 3}));
    // The second moved above the third pushes it up; below the first pulls it down.
    EXPECT_EQ(OrderGates({5, 15, 12}, 2), (Gates{5, 15, 15}));
    EXPECT_EQ(OrderGates({8, 4, 12}, 2), (Gates{4, 4, 12}));
    // The first moved above the second pushes the second, and so the third.
    EXPECT_EQ(OrderGates({14, 10, 12}, 1), (Gates{14, 14, 14}));
    EXPECT_EQ(OrderGates({5, 10, 20}, 1), (Gates{5, 10, 20}));
}

TEST(OptionTexts, ByteSizesAndRanges)
{
    const QLocale c(QLocale::C);
    EXPECT_EQ(ByteSizeText(139'460'608, c), "133.0M");
    EXPECT_EQ(ByteSizeText(512, c), "512.0");
    EXPECT_EQ(ByteSizeText(1536, c), "1.5K");
    EXPECT_EQ(ByteSizeText(2LL * 1024 * 1024 * 1024, c), "2.0G");
    EXPECT_EQ(ByteSizeText(786'432'000, c), "750.0M");
    EXPECT_EQ(ByteSizeText(1023LL * 1024 * 1024, c), "1,023.0M");
    EXPECT_EQ(RangeText(0, 999, c), "Auto");
    EXPECT_EQ(RangeText(4, 139'460'608, c), "133.0MB/sec");

    EXPECT_EQ(RangeLabelOf(DiskRanges, 1, 0), "750MB/sec");
    EXPECT_EQ(RangeLabelOf(DiskRanges, 0, 0), "Auto");
    EXPECT_EQ(RangeLabelOf(DiskRanges, 99, 204800), "204800KB/sec");
    // The first code past the list.
    const int pastDisks = static_cast<int>(std::size(DiskRanges)) + 1;
    EXPECT_EQ(RangeLabelOf(DiskRanges, pastDisks, 0), "Error");
    EXPECT_EQ(FullScaleOf(DiskRanges, 99, 204800LL * 1024), 209'715'200);
    EXPECT_EQ(FullScaleOf(DiskRanges, pastDisks, 5), 1);
    // Two network entries share their label and full scale.
    EXPECT_EQ(RangeLabelOf(NetworkRanges, 3, 0), RangeLabelOf(NetworkRanges, 19, 0));
    EXPECT_EQ(FullScaleOf(NetworkRanges, 3, 0), FullScaleOf(NetworkRanges, 19, 0));
    EXPECT_EQ(QString::fromLatin1(NetworkRanges[18].ListText), "Wireless 11b 1Mbps (128KB/sec)");
    EXPECT_EQ(QString::fromLatin1(DiskRanges[14].ListText), "SCSI-1 (5MB/sec)");
}

TEST(OptionSounds, PathsInsideTheProgramFolderAreStoredRelative)
{
    TempProgramFolder folder;
    folder.Write("sounds/start.wav", "RIFF");
    folder.Write("../outside.wav", "RIFF");
    EXPECT_EQ(StoredSoundPath(folder.File("sounds/start.wav"), folder.Path()), "sounds/start.wav");
    EXPECT_EQ(StoredSoundPath("/usr/share/sounds/x.wav", folder.Path()), "/usr/share/sounds/x.wav");
    EXPECT_TRUE(SoundFileExists("sounds/start.wav", {folder.Path()}));
    EXPECT_TRUE(SoundFileExists(folder.File("sounds/start.wav"), {folder.Path()}));
    EXPECT_FALSE(SoundFileExists("sounds/missing.wav", {folder.Path()}));
    EXPECT_FALSE(SoundFileExists("", {folder.Path()}));
    // As a settings file from Windows names it.
    EXPECT_TRUE(SoundFileExists("sounds\\start.wav", {folder.Path()}));
    EXPECT_EQ(ResolveDataFile("sounds\\start.wav", {folder.Path()}),
              folder.File("sounds/start.wav"));
    // Installed: the user's folder first, then the shipped one.
    folder.Write("shared/sounds/skin.wav", "RIFF");
    EXPECT_TRUE(SoundFileExists("sounds/skin.wav", {folder.File("user"), folder.File("shared")}));
    EXPECT_EQ(ResolveDataFile("sounds/skin.wav", {folder.File("user"), folder.File("shared")}),
              folder.File("shared/sounds/skin.wav"));
}

TEST(OptionEnabling, TheRulesOfTheDialog)
{
    EnablingInputs in;
    Enabling on = EnablingOf(in);
    EXPECT_FALSE(on.UseIphlpapi); // only on Windows 98/ME, which this never is
    EXPECT_TRUE(on.MultiNic);
    EXPECT_FALSE(on.NicSelect);
    EXPECT_TRUE(on.MultiCpu);
    EXPECT_FALSE(on.WaitOnStartup);
    EXPECT_TRUE(on.AlphaLogo);
    EXPECT_FALSE(on.LogoPos);
    EXPECT_TRUE(on.PingTarget);

    in.MultiNic = true;
    in.RegStartup = true;
    in.LauncherInstalled = true;
    in.NoSplash = true;
    in.ShowSkinBanner = true;
    in.UseDefaultGateway = true;
    in.CpuFromNtdll = true;
    on = EnablingOf(in);
    EXPECT_TRUE(on.NicSelect);
    EXPECT_TRUE(on.WaitOnStartup);
    EXPECT_FALSE(on.WaitTimes); // not without the delay itself
    EXPECT_FALSE(on.AlphaLogo);
    EXPECT_TRUE(on.LogoPos);
    EXPECT_FALSE(on.PingTarget);
    EXPECT_FALSE(on.MultiCpu);
    in.WaitOnStartup = true;
    EXPECT_TRUE(EnablingOf(in).WaitTimes);
    in.LauncherInstalled = false;
    EXPECT_FALSE(EnablingOf(in).WaitTimes);

    in.PingEnable = false;
    in.UseDefaultGateway = false;
    on = EnablingOf(in);
    EXPECT_FALSE(on.PingControls);
    EXPECT_FALSE(on.PingTarget);
    in.IsNT = false;
    on = EnablingOf(in);
    EXPECT_FALSE(on.MultiNic);
    EXPECT_FALSE(on.NicSelect);
}
