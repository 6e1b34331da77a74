#include "app/DelayLauncher.h"
#include "app/ExitEvents.h"
#include "app/LogScaleTable.h"
#include "app/RateSettings.h"
#include "app/StartupShortcut.h"
#include "platform/AppPaths.h"
#include "support/TempProgramFolder.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(ExitEvents, ChosenByTheTimeSinceStart)
{
    constexpr qint64 minute = 60'000;
    EXPECT_EQ(ExitEventName(0), "UserExitA");
    EXPECT_EQ(ExitEventName(minute), "UserExitA");
    EXPECT_EQ(ExitEventName(minute + 1), "UserExitC");
    EXPECT_EQ(ExitEventName(120 * minute), "UserExitC");
    EXPECT_EQ(ExitEventName(360 * minute - 1), "UserExitC");
    EXPECT_EQ(ExitEventName(360 * minute), "UserExitB");
}

TEST(LogScaleTable, KnownEntries)
{
    const LogScaleTable table = BuildLogScaleTable();
    EXPECT_EQ(table[0].output, 0);
    EXPECT_EQ(table[1].output, 16);
    EXPECT_EQ(table[4].output, 35);
    EXPECT_EQ(table[9].output, 50);
    EXPECT_EQ(table[100].output, 100);
    for (int i = 0; i <= 100; ++i) {
        EXPECT_EQ(table[static_cast<size_t>(i)].input, i);
        // The compiler's logarithm agrees with the C library's everywhere.
        EXPECT_EQ(table[static_cast<size_t>(i)].output,
                  std::min(100, int(std::ceil(50.0 * std::log10(i + 1.0)))))
            << i;
    }
}

TEST(RateSettings, IntervalsDividersAndAPingTimerThatCannotSpin)
{
    EXPECT_EQ(RateSettingsFor(1, 2).MainTimerIntervalMs, 100);
    EXPECT_EQ(RateSettingsFor(4, 1).MainTimerIntervalMs, 50);
    EXPECT_EQ(RateSettingsFor(4, 1).GraphDivider, 10);
    EXPECT_EQ(RateSettingsFor(3, 3).GraphDivider, 4);
    EXPECT_EQ(RateSettingsFor(3, 1).GraphDivider, 1);
    EXPECT_EQ(RateSettingsFor(2, 9).GraphDivider, 10);
    EXPECT_EQ(RateSettingsFor(0, 1).MainTimerIntervalMs, 1000);
    EXPECT_EQ(RateSettingsFor(7, 1).GraphDivider, 20);
    EXPECT_EQ(PingTimerIntervalMs(60), 60'000);
    EXPECT_EQ(PingTimerIntervalMs(0), 1000);
    EXPECT_EQ(PingTimerIntervalMs(-5), 1000);
}

TEST(DelayLauncher, ArgumentsAreCheckedAndTheWaitHeldTo2To60)
{
    EXPECT_FALSE(ParseDelayArguments({}));
    EXPECT_FALSE(ParseDelayArguments({"soon"}));
    EXPECT_FALSE(ParseDelayArguments({"5", "12"}));
    EXPECT_EQ(ParseDelayArguments({"1"})->seconds, 2);
    EXPECT_EQ(ParseDelayArguments({"90"})->seconds, 60);
    auto request = ParseDelayArguments({"7", "3"});
    ASSERT_TRUE(request);
    EXPECT_EQ(request->seconds, 7);
    EXPECT_EQ(MonitorArguments(*request), QStringList({"/M", "/D:3"}));
    EXPECT_TRUE(MonitorArguments(*ParseDelayArguments({"7"})).isEmpty());
}

TEST(StartupShortcut, StartsTheProgramOrTheDelayedLauncher)
{
    TempProgramFolder bin;
    AppPaths paths(bin.Path(), bin.Path());
    EXPECT_EQ(StartupShortcutName(-1), "Pulsmir.desktop");
    EXPECT_EQ(StartupShortcutName(3), "Pulsmir_3.desktop");

    AutostartEntry direct = StartupShortcutEntry(paths, true, 9, -1); // no launcher installed
    EXPECT_EQ(direct.program, bin.File("pulsmir"));
    EXPECT_TRUE(direct.arguments.isEmpty());
    EXPECT_EQ(direct.workingFolder, bin.Path());
    EXPECT_TRUE(direct.environment.isEmpty());
    EXPECT_EQ(StartupShortcutEntry(paths, false, 9, 3).arguments, QStringList({"/M", "/D:3"}));

    bin.Write("PlsmDelay", "");
    AutostartEntry delayed = StartupShortcutEntry(paths, true, 9, 3);
    EXPECT_EQ(delayed.program, bin.File("PlsmDelay"));
    EXPECT_EQ(delayed.arguments, QStringList({"9", "3"}));
    // A named instance has its own entry, which the launcher could not pass its name through.
    EXPECT_EQ(StartupShortcutName(-1, "nas"), "Pulsmir-nas.desktop");
    EXPECT_EQ(StartupShortcutName(-1, "3"), "Pulsmir-3.desktop");
    AutostartEntry named = StartupShortcutEntry(paths, true, 9, -1, "nas");
    EXPECT_EQ(named.program, bin.File("pulsmir"));
    EXPECT_EQ(named.arguments, QStringList({"--instance", "nas"}));
    EXPECT_EQ(StartupShortcutEntry(paths, false, 9, -1).program, bin.File("pulsmir"));

    TempProgramFolder home;
    AutostartEntry elsewhere =
        StartupShortcutEntry(AppPaths(home.Path(), bin.Path()), false, 5, -1);
    EXPECT_EQ(elsewhere.environment, QStringList({"PULSMIR_HOME=" + home.Path()}));
}

TEST(XdgAutostart, ExecLineIsQuotedAndTheFileWrittenWhole)
{
    AutostartEntry entry{"Pulsmir",
                         "/opt/my apps/pulsmir",
                         {"/M", "/D:3", "100%"},
                         "/opt/my apps",
                         {"PULSMIR_HOME=/home/u/$HOME \"x\""}};
    const QString text = DesktopEntryText(entry);
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Application\nName=Pulsmir\n"));
    EXPECT_TRUE(text.contains(
        R"(Exec=env "PULSMIR_HOME=/home/u/\\$HOME \\"x\\"" "/opt/my apps/pulsmir" /M /D:3 100%%)"))
        << qPrintable(text);
    EXPECT_TRUE(text.contains("Path=/opt/my apps\n"));

    TempProgramFolder config;
    const QString folder = config.File("autostart");
    EXPECT_TRUE(WriteAutostartEntry(folder, "Pulsmir.desktop", entry));
    EXPECT_EQ(QString::fromUtf8(config.Read("autostart/Pulsmir.desktop")), text);
    // The same entry again is not written again (every change of the options applies it).
    const auto inode = [&] {
        struct stat info = {};
        ::stat(QFile::encodeName(config.File("autostart/Pulsmir.desktop")).constData(), &info);
        return info.st_ino;
    };
    const ino_t written = inode();
    EXPECT_FALSE(WriteAutostartEntry(folder, "Pulsmir.desktop", entry));
    EXPECT_EQ(inode(), written);
    EXPECT_TRUE(RemoveAutostartEntry(folder, "Pulsmir.desktop"));
    EXPECT_FALSE(config.Exists("autostart/Pulsmir.desktop"));
    EXPECT_TRUE(RemoveAutostartEntry(folder, "never-there.desktop"));
}

TEST(StartupShortcut, InstalledTheLauncherComesFromLibexecAndNoProgramFolderIsPassed)
{
    TempProgramFolder folder;
    folder.Write("usr/bin/pulsmir", "");
    folder.Write("usr/libexec/pulsmir/PlsmDelay", "");
    const AppPaths paths = AppPaths::Installed(folder.File("home/.local/share/pulsmir"),
                                               folder.File("home/.config/pulsmir"),
                                               folder.File("usr/bin"), {folder.File("usr/share/pulsmir")});
    const AutostartEntry delayed = StartupShortcutEntry(paths, true, 7, -1);
    EXPECT_EQ(delayed.program, folder.File("usr/libexec/pulsmir/PlsmDelay"));
    EXPECT_EQ(delayed.arguments, QStringList({"7"}));
    EXPECT_TRUE(delayed.environment.isEmpty());
    const AutostartEntry direct = StartupShortcutEntry(paths, false, 7, 2);
    EXPECT_EQ(direct.program, folder.File("usr/bin/pulsmir"));
    EXPECT_TRUE(direct.environment.isEmpty());
}
