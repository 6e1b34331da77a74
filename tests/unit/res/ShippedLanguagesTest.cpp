#include "res/MRes.h"

#include <gtest/gtest.h>
#include <set>

namespace {

// Every code the program asks a language file for.
std::set<QString> RequiredCodes()
{
    std::set<QString> codes;
    auto add = [&](const char* prefix, int from, int to) {
        for (int n = from; n <= to; ++n)
            codes.insert(QLatin1String(prefix) + QString::number(n).rightJustified(2, u'0'));
    };
    add("C01", 0, 30);
    add("C02", 0, 9);
    add("C03", 0, 67);
    add("C03", 72, 85);
    add("C03", 89, 98);
    add("C04", 0, 1);
    add("C05", 80, 90); // the sensors page
    add("C05", 92, 93);
    add("R06", 1, 27);
    return codes;
}

void ExpectComplete(const QString& description, const QString& code)
{
    TMRes res(QStringLiteral(PULSMIR_DATA_DIR));
    ASSERT_EQ(res.CodeOfLanguage(description), code);
    ASSERT_TRUE(res.OpenLanguage(description));
    std::set<QString> found;
    for (const auto& [key, text] : res.Texts()) {
        EXPECT_FALSE(text.trimmed().isEmpty()) << qPrintable(key);
        found.insert(key);
    }
    const std::set<QString> required = RequiredCodes();
    for (const QString& key : required)
        EXPECT_TRUE(found.count(key)) << "missing " << qPrintable(key);
    for (const QString& key : found)
        EXPECT_TRUE(required.count(key)) << "unexpected " << qPrintable(key);
}

} // namespace

TEST(ShippedLanguages, EnglishHasEveryCode)
{
    ExpectComplete(QStringLiteral("English"), QStringLiteral("ENG"));
}

TEST(ShippedLanguages, JapaneseHasEveryCode)
{
    ExpectComplete(QStringLiteral("日本語"), QStringLiteral("JPN"));
}
