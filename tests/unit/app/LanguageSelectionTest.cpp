#include "app/LanguageSelection.h"

#include "doubles/RecordingDialogs.h"
#include "log/DebugLog.h"
#include "platform/UserLocale.h"
#include "res/MRes.h"
#include "support/TempProgramFolder.h"

#include <QTranslator>
#include <gtest/gtest.h>

namespace {

class LanguageSelectionTest : public ::testing::Test
{
protected:
    LanguageSelectionTest() { folder.Write("Debug.log", ""); }

    void AddLanguage(const QString& file, const QByteArray& description, const QByteArray& code)
    {
        folder.Write(file, "[Header]\nDISCRIPTION=" + description + "\nLANGCODE=" + code +
                               "\n[MESSAGES]\nR0601=" + description + " text\n");
    }
    QStringList LogLines() const
    {
        QStringList lines;
        for (const QString& line :
             QString::fromUtf8(folder.Read("Debug.log")).split("\r\n", Qt::SkipEmptyParts))
            lines << line.mid(line.indexOf("> ") + 2);
        return lines;
    }
    QStringList BoxTexts() const
    {
        QStringList texts;
        for (const auto& box : dialogs.boxes)
            texts << box.text;
        return texts;
    }

    TempProgramFolder folder;
    RecordingDialogs dialogs;
    DebugLog log{folder.File("Debug.log"), dialogs};
    TMRes res{folder.Path()};
};

const QString EnglishNotice =
    "The default language was set as English.\r\n(Language can be changed in option)";

} // namespace

TEST_F(LanguageSelectionTest, EnglishLocalePicksTheEnglishFileAndTheLastMatchWins)
{
    AddLanguage("a.lng", "English (UK)", "ENG");
    AddLanguage("b.lng", "Deutsch", "GER");
    AddLanguage("c.lng", "English (US)", "ENG");
    EXPECT_EQ(ChooseDefaultLanguage(res, dialogs, log, LcidEnglishUs), "English (US)");
    EXPECT_EQ(BoxTexts(), QStringList({EnglishNotice}));
    EXPECT_EQ(
        LogLines(),
        QStringList({"Get Default Language.", "Select : NON-JAPANESE", "Recource File Searching...",
                     "Select Recource File:English (UK)", "Select Recource File:English (US)"}));
}

TEST_F(LanguageSelectionTest, JapaneseSystemWithOnlyEnglishTakesTheFirstFileAndSaysSo)
{
    AddLanguage("en.lng", "English", "ENG");
    EXPECT_EQ(ChooseDefaultLanguage(res, dialogs, log, LcidJapanese), "English");
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(QStringLiteral("システム言語判定の結果")));
    EXPECT_EQ(dialogs.boxes[1].text, "Resource unit is not found!");
    EXPECT_EQ(dialogs.boxes[1].type, DialogType::Warning);
    EXPECT_TRUE(LogLines().contains("NO Recource File!"));
}

TEST_F(LanguageSelectionTest, StartupLoadsTheConfiguredLanguage)
{
    AddLanguage("en.lng", "English", "ENG");
    AddLanguage("jp.lng", "Japanese", "JPN");
    QString name = "Japanese";
    QStringList statuses;
    EXPECT_TRUE(LoadLanguageAtStartup(name, res, dialogs, log, LcidEnglishUs,
                                      [&](const QString& s) { statuses << s; }));
    EXPECT_EQ(name, "Japanese");
    EXPECT_EQ(res.GetText("R0601"), "Japanese text");
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(statuses.isEmpty());
}

TEST_F(LanguageSelectionTest, StartupWithAMissingLanguageChoosesTheDefaultOnce)
{
    AddLanguage("en.lng", "English", "ENG");
    QString name = "Removed language";
    EXPECT_TRUE(
        LoadLanguageAtStartup(name, res, dialogs, log, LcidEnglishUs, [](const QString&) {}));
    EXPECT_EQ(name, "English");
    EXPECT_EQ(BoxTexts(), QStringList({EnglishNotice}));
}

TEST_F(LanguageSelectionTest, StartupWithoutLanguageFilesFailsAfterTheBoxes)
{
    QString name;
    QStringList statuses;
    EXPECT_FALSE(LoadLanguageAtStartup(name, res, dialogs, log, LcidEnglishUs,
                                       [&](const QString& s) { statuses << s; }));
    EXPECT_EQ(name, "");
    EXPECT_EQ(statuses, QStringList({"Lang.Resource Check..."}));
    EXPECT_EQ(BoxTexts(), QStringList({EnglishNotice, "Resource unit is not found!", EnglishNotice,
                                       "Resource unit is not found!",
                                       "Resource manager is file load FAILURE!"}));
    EXPECT_EQ(dialogs.boxes.back().type, DialogType::Error);
    EXPECT_EQ(LogLines().first(), "<<!>> Pulsmir set a default Language.");
}

TEST_F(LanguageSelectionTest, ApplyingTheSameLanguageTwiceReadsItOnce)
{
    AddLanguage("en.lng", "English", "ENG");
    QString loaded = NoResourceName;
    EXPECT_TRUE(ReloadLanguageIfChanged("English", loaded, res, log));
    EXPECT_EQ(loaded, "English");
    EXPECT_FALSE(ReloadLanguageIfChanged("English", loaded, res, log));
    EXPECT_FALSE(ReloadLanguageIfChanged("Gone", loaded, res, log));
    EXPECT_EQ(loaded, "English");
    EXPECT_EQ(LogLines(), QStringList({"Multi Resource Data (Re)Loading...",
                                       "Multi Resource Data Load COMPLETE :English",
                                       "Multi Resource Data (Re)Loading...",
                                       "Multi Resource Data Load FAILED :Gone"}));
}

TEST(LanguageSelection, QtsOwnWordsFollowJapaneseOnly)
{
    const std::unique_ptr<QTranslator> japanese = QtTranslatorFor(QStringLiteral("JPN"));
    ASSERT_NE(japanese, nullptr) << "Qt's Japanese translations are not installed";
    // The file dialog's buttons and a field's edit menu, as Qt words them.
    EXPECT_FALSE(japanese->translate("QFileDialog", "&Open").isEmpty());
    EXPECT_NE(japanese->translate("QFileDialog", "&Open"), "&Open");
    EXPECT_FALSE(japanese->translate("QLineEdit", "&Copy").isEmpty());
    EXPECT_EQ(QtTranslatorFor(QStringLiteral("ENG")), nullptr);
    EXPECT_EQ(QtTranslatorFor(QStringLiteral("English.lng")), nullptr);
}
