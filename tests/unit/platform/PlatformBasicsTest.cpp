#include "platform/AppPaths.h"
#include "platform/CivilDate.h"
#include "platform/TextDecoding.h"
#include "platform/UserLocale.h"
#include "support/TempProgramFolder.h"

#include <QDate>
#include <cstdlib>
#include <gtest/gtest.h>

TEST(TextDecoding, Utf8WinsAndEverythingElseIsShiftJis)
{
    EXPECT_EQ(DecodeText(QByteArray("plain ascii")), "plain ascii");
    EXPECT_EQ(DecodeText(QByteArray("\xEF\xBB\xBF\xE5\x80\xA4")), QStringLiteral("値"));
    EXPECT_EQ(DecodeText(QByteArray("\x92\x6c")), QStringLiteral("値"));
    // Half-width katakana is one byte in Shift_JIS.
    EXPECT_EQ(DecodeText(QByteArray("\xB1")), QStringLiteral("ｱ"));
    // A byte that is neither gives a replacement character, not a truncated text.
    EXPECT_EQ(DecodeCp932(QByteArray("a\x80z")), QStringLiteral("a\uFFFDz"));
}

TEST(UserLocale, FirstSetVariableDecides)
{
    EXPECT_EQ(LcidFromLocaleVariables("", "", "ja_JP.UTF-8"), LcidJapanese);
    EXPECT_EQ(LcidFromLocaleVariables("", "ja_JP", "en_US.UTF-8"), LcidJapanese);
    EXPECT_EQ(LcidFromLocaleVariables("C", "ja_JP", "ja_JP"), LcidEnglishUs);
    EXPECT_EQ(LcidFromLocaleVariables("", "", ""), LcidEnglishUs);
}

TEST(AppPaths, PortableWithDataBesideTheExecutableOrPulsmirHome)
{
    TempProgramFolder folder;
    folder.Write("bin/English.lng", "");
    unsetenv("PULSMIR_HOME");
    const AppPaths beside = AppPaths::FromEnvironment(folder.File("bin"));
    EXPECT_FALSE(beside.IsInstalled());
    EXPECT_EQ(beside.ProgramFolder(), folder.File("bin"));
    EXPECT_EQ(beside.SettingsFile("Pulsmir.ini"), folder.File("bin/Pulsmir.ini"));
    EXPECT_EQ(beside.DataFolders(), QStringList({folder.File("bin")}));
    EXPECT_EQ(beside.LauncherFile(), folder.File("bin/PlsmDelay"));
    setenv("PULSMIR_HOME", "/tmp/home/", 1);
    AppPaths paths = AppPaths::FromEnvironment("/opt/pulsmir/bin");
    EXPECT_FALSE(paths.IsInstalled());
    EXPECT_EQ(paths.ProgramFolder(), "/tmp/home");
    EXPECT_EQ(paths.ExecutableFolder(), "/opt/pulsmir/bin");
    EXPECT_EQ(paths.File("Pulsmir.ini"), "/tmp/home/Pulsmir.ini");
    EXPECT_EQ(paths.SkinFolder(), "/tmp/home/Skin");
    unsetenv("PULSMIR_HOME");
}

TEST(AppPaths, InstalledWritesToTheUsersFoldersAndReadsThereFirst)
{
    TempProgramFolder folder;
    folder.Write("usr/bin/pulsmir", "");
    folder.Write("usr/share/pulsmir/sstp.ini", "shared");
    folder.Write("usr/share/pulsmir/rl4.prs", "shared");
    folder.Write("data/pulsmir/rl4.prs", "own");
    unsetenv("PULSMIR_HOME");
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_DATA_HOME", folder.File("data").toUtf8());
    qputenv("XDG_CONFIG_HOME", folder.File("config").toUtf8());
    const AppPaths paths = AppPaths::FromEnvironment(folder.File("usr/bin"), "/nowhere/pulsmir");
    qputenv("XDG_DATA_HOME", data);
    qputenv("XDG_CONFIG_HOME", config);

    EXPECT_TRUE(paths.IsInstalled());
    EXPECT_EQ(paths.ProgramFolder(), folder.File("data/pulsmir"));
    EXPECT_EQ(paths.SettingsFile("Pulsmir.ini"), folder.File("config/pulsmir/Pulsmir.ini"));
    EXPECT_EQ(paths.DebugLogFile(), folder.File("data/pulsmir/Debug.log"));
    EXPECT_EQ(paths.DataFolders(), QStringList({folder.File("data/pulsmir"),
                                                folder.File("usr/share/pulsmir"), "/nowhere/pulsmir"}));
    EXPECT_EQ(paths.ReadFile("rl4.prs"), folder.File("data/pulsmir/rl4.prs"));
    EXPECT_EQ(paths.ReadFile("sstp.ini"), folder.File("usr/share/pulsmir/sstp.ini"));
    EXPECT_EQ(paths.ReadFile("rl9.prs"), folder.File("data/pulsmir/rl9.prs"));
    EXPECT_EQ(paths.SkinFolder(), folder.File("data/pulsmir/Skin"));
    EXPECT_EQ(paths.SkinFolders().first(), folder.File("data/pulsmir/Skin"));
    EXPECT_EQ(paths.SkinFolders()[1], folder.File("usr/share/pulsmir/Skin"));
    EXPECT_EQ(paths.ProgramFile(), folder.File("usr/bin/pulsmir"));
    EXPECT_EQ(paths.LauncherFile(), folder.File("usr/libexec/pulsmir/PlsmDelay"));
}

TEST(CivilDate, AgreesWithQDateFrom1601To2400)
{
    const std::int64_t epoch = QDate(1970, 1, 1).toJulianDay();
    for (QDate date(1601, 1, 1); date.year() <= 2400; date = date.addDays(1)) {
        const std::int64_t days = date.toJulianDay() - epoch;
        ASSERT_EQ(DaysFromCivil(date.year(), date.month(), date.day()), days);
        const CivilDate civil = CivilFromDays(days);
        ASSERT_EQ(civil.Year, date.year());
        ASSERT_EQ(civil.Month, date.month());
        ASSERT_EQ(civil.Day, date.day());
        ASSERT_EQ(WeekdayFromDays(days), date.dayOfWeek() % 7) << qPrintable(date.toString());
    }
    EXPECT_TRUE(IsValidCivilDate(2000, 2, 29));
    EXPECT_FALSE(IsValidCivilDate(1900, 2, 29));
    EXPECT_FALSE(IsValidCivilDate(2023, 4, 31));
    EXPECT_FALSE(IsValidCivilDate(2023, 13, 1));
    EXPECT_FALSE(IsValidCivilDate(2023, 1, 0));
}
