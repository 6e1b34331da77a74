#include "platform/AppPaths.h"
#include "platform/CivilDate.h"
#include "platform/TextDecoding.h"
#include "platform/UserLocale.h"

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

TEST(AppPaths, ProgramFolderIsTheExecutableFolderUnlessPulsmirHomeIsSet)
{
    unsetenv("PULSMIR_HOME");
    EXPECT_EQ(AppPaths::FromEnvironment("/opt/pulsmir/bin").ProgramFolder(), "/opt/pulsmir/bin");
    setenv("PULSMIR_HOME", "/tmp/home/", 1);
    AppPaths paths = AppPaths::FromEnvironment("/opt/pulsmir/bin");
    EXPECT_EQ(paths.ProgramFolder(), "/tmp/home");
    EXPECT_EQ(paths.ExecutableFolder(), "/opt/pulsmir/bin");
    EXPECT_EQ(paths.File("Pulsmir.ini"), "/tmp/home/Pulsmir.ini");
    EXPECT_EQ(paths.SkinFolder(), "/tmp/home/Skin");
    unsetenv("PULSMIR_HOME");
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
