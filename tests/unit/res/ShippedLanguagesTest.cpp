#include "res/MRes.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

// Every code the program asks a language file for: each code literal in the sources ("C0123",
// "R0612"), as the tables of the menus and dialogs and every direct look-up name them.
std::set<QString> CodesUsedBySources()
{
    const QRegularExpression literal(QStringLiteral("\"(C0[1-5][0-9]{2}|R06[0-9]{2})\""));
    std::set<QString> codes;
    QDirIterator files(QStringLiteral(PULSMIR_SOURCE_DIR "/src"),
                       {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.ui")},
                       QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        for (const QRegularExpressionMatch& match : literal.globalMatch(text))
            codes.insert(match.captured(1));
    }
    return codes;
}

std::map<QString, QString> TextsOf(const QString& description, const QString& code)
{
    TMRes res(QStringLiteral(PULSMIR_DATA_DIR));
    EXPECT_EQ(res.CodeOfLanguage(description), code);
    EXPECT_TRUE(res.OpenLanguage(description));
    std::map<QString, QString> texts;
    for (const auto& [key, text] : res.Texts())
        texts[key] = text;
    return texts;
}

// "%1", "%2": what the program puts into a text; a translation must keep every one.
std::multiset<QString> Placeholders(const QString& text)
{
    std::multiset<QString> found;
    for (const QRegularExpressionMatch& match :
         QRegularExpression(QStringLiteral("%[1-9]")).globalMatch(text))
        found.insert(match.captured());
    return found;
}

void ExpectComplete(const std::map<QString, QString>& texts, const char* language)
{
    const std::set<QString> used = CodesUsedBySources();
    ASSERT_GT(used.size(), 100u) << "no code literals found below " PULSMIR_SOURCE_DIR "/src";
    for (const QString& code : used)
        EXPECT_TRUE(texts.count(code)) << language << " lacks " << qPrintable(code);
    for (const auto& [code, text] : texts) {
        EXPECT_TRUE(used.count(code))
            << language << " holds " << qPrintable(code) << ", which no code asks for";
        EXPECT_FALSE(text.trimmed().isEmpty()) << language << " " << qPrintable(code);
    }
}

} // namespace

TEST(ShippedLanguages, EnglishHoldsEveryCodeTheProgramAsksFor)
{
    ExpectComplete(TextsOf(QStringLiteral("English"), QStringLiteral("ENG")), "English");
}

TEST(ShippedLanguages, JapaneseHoldsEveryCodeTheProgramAsksFor)
{
    ExpectComplete(TextsOf(QStringLiteral("日本語"), QStringLiteral("JPN")), "Japanese");
}

TEST(ShippedLanguages, BothLanguagesHoldTheSameCodesWithTheSamePlaceholders)
{
    const auto english = TextsOf(QStringLiteral("English"), QStringLiteral("ENG"));
    const auto japanese = TextsOf(QStringLiteral("日本語"), QStringLiteral("JPN"));
    for (const auto& [code, text] : english) {
        const auto other = japanese.find(code);
        if (other == japanese.end()) {
            ADD_FAILURE() << "only English holds " << qPrintable(code);
            continue;
        }
        EXPECT_EQ(Placeholders(text), Placeholders(other->second)) << qPrintable(code);
        // A filter of a file dialog must keep its patterns, or the dialog lists nothing.
        const QRegularExpression patterns(QStringLiteral("\\(\\*\\.[^)]*\\)"));
        if (text.contains(patterns)) {
            EXPECT_EQ(patterns.match(text).captured(), patterns.match(other->second).captured())
                << qPrintable(code);
        }
    }
    for (const auto& [code, text] : japanese)
        EXPECT_TRUE(english.count(code)) << "only Japanese holds " << qPrintable(code);
}
