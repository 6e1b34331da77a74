#include "ui/ColumnFont.h"

#include "res/MRes.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <gtest/gtest.h>

namespace {

QFont SystemFixed()
{
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

} // namespace

TEST(ColumnFont, NarrowTextKeepsTheSystemFixedFont)
{
    EXPECT_FALSE(IsWideCharacter(U'A'));
    EXPECT_FALSE(IsWideCharacter(U'é'));
    EXPECT_FALSE(IsWideCharacter(U'ｱ')); // half-width katakana
    EXPECT_TRUE(IsWideCharacter(U'ア'));
    EXPECT_TRUE(IsWideCharacter(U'使'));
    EXPECT_TRUE(IsWideCharacter(U'Ａ')); // full-width Latin

    const QFont fixed = SystemFixed();
    EXPECT_EQ(ColumnFontFor(QStringLiteral("Name    : Pulsmir\nURL     : x"), fixed), fixed);
}

// The skin information in Japanese: each label of the language file is padded for kana and
// kanji two columns wide, so the colons line up only when the memo's font draws them so.
TEST(ColumnFont, JapaneseSkinInformationLabelsLineUp)
{
    if (QFontDatabase::families(QFontDatabase::Japanese).isEmpty())
        GTEST_SKIP() << "no font for Japanese installed";
    TMRes japanese(QStringLiteral(PULSMIR_DATA_DIR));
    ASSERT_TRUE(japanese.OpenLanguage(QStringLiteral("日本語")));
    QStringList labels;
    for (const char* code : {"C0402", "C0403", "C0404", "C0405", "C0406"})
        labels << japanese.GetText(QLatin1String(code));
    QStringList processorLabels;
    for (const char* code : {"C0407", "C0408", "C0409", "C0410", "C0411"})
        processorLabels << japanese.GetText(QLatin1String(code));

    const QFont font = ColumnFontFor((labels + processorLabels).join(u'\n'), SystemFixed());
    EXPECT_NE(font, SystemFixed());
    const QFontMetricsF metrics(font);
    for (const QStringList& group : {labels, processorLabels})
        for (const QString& label : group)
            EXPECT_DOUBLE_EQ(metrics.horizontalAdvance(label), metrics.horizontalAdvance(group[0]))
                << label.toStdString() << " against " << group[0].toStdString();
}
