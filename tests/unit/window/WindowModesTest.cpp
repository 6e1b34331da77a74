#include "app/WindowModes.h"

#include "app/AActiveCtrl.h"
#include "app/FltCtrl.h"
#include "doubles/RecordingDialogs.h"
#include "res/MRes.h"
#include "settings/Settings.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

TEST(SkinModeChange, SwitchesToTheOtherModeTheSkinHas)
{
    const TModeChange toFull = SkinModeChange(0, true, true, true);
    EXPECT_TRUE(toFull.Changed);
    EXPECT_EQ(toFull.SkinMode, 1);
    EXPECT_EQ(toFull.CaptionCode, "C0101");
    EXPECT_EQ(toFull.SstpEvent, "ChangeModeA");
    EXPECT_EQ(toFull.LogLines, (QStringList{"Skin Mode Change...", "Skin Mode Change to FULL",
                                            "Skin Mode Change...OK"}));

    const TModeChange toCompact = SkinModeChange(1, true, true, true);
    EXPECT_EQ(toCompact.SkinMode, 0);
    EXPECT_EQ(toCompact.CaptionCode, "C0100");
    EXPECT_EQ(toCompact.SstpEvent, "ChangeModeB");

    // The auto-active switch sends no event.
    EXPECT_TRUE(SkinModeChange(1, true, true, false).SstpEvent.isEmpty());
}

TEST(SkinModeChange, ASkinWithoutTheOtherModeChangesNothingButNamesTheModeInForce)
{
    const TModeChange noFull = SkinModeChange(0, true, false, true);
    EXPECT_FALSE(noFull.Changed);
    EXPECT_EQ(noFull.SkinMode, 0);
    EXPECT_EQ(noFull.CaptionCode, "C0100"); // keeps its caption for compact mode
    EXPECT_EQ(noFull.SstpEvent, "ChangeModeB");
    EXPECT_EQ(SkinModeChange(1, false, true, true).SstpEvent, "ChangeModeA");
    EXPECT_TRUE(SkinModeChange(0, true, false, false).SstpEvent.isEmpty());
    EXPECT_EQ(noFull.LogLines, (QStringList{"Skin Mode Change...", "Skin Mode Change...OK"}));
    EXPECT_FALSE(SkinModeChange(1, false, true, true).Changed);
}

TEST(WindowThreadSettings, FloatingNeedsTheSwitchTheSkinAndAnInterval)
{
    EXPECT_TRUE(FloatActive(true, 0, true, false));
    EXPECT_FALSE(FloatActive(true, 1, true, false));
    EXPECT_TRUE(FloatActive(true, 1, false, true));
    EXPECT_FALSE(FloatActive(false, 0, true, true));

    struct NoHandOff : TWindowHandOff
    {
        void FloatMoveWindow(QPoint) override {}
        void FloatRefused(QPoint) override {}
        void SetTrayMode(bool) override {}
        void AutoModeTo(bool) override {}
    } handOff;
    TFltCtrl floating({}, handOff);
    TAActiveCtrl active({}, handOff, QStringLiteral("Pulsmir"));
    TSettings settings;
    settings.FloatSW = true;
    settings.FloatAnim = true;
    settings.FloatInterval = 30;
    settings.AutoActiveSW = true;
    settings.AutoHiding = true;
    settings.AutoActiveInterval = 250;
    ApplyWindowThreadSettings(settings, true, floating, active);
    EXPECT_TRUE(floating.Active);
    EXPECT_TRUE(floating.Animate);
    EXPECT_EQ(floating.Interval, 30);
    EXPECT_EQ(active.Interval, 250);
    EXPECT_TRUE(active.AutoMode);
    EXPECT_TRUE(active.AutoTray);

    ApplyWindowThreadSettings(settings, false, floating, active);
    EXPECT_FALSE(floating.Active);
    settings.FloatInterval = 0;
    ApplyWindowThreadSettings(settings, true, floating, active);
    EXPECT_FALSE(settings.FloatSW);
    EXPECT_FALSE(floating.Active);
}

namespace {

// The help command on a scratch program folder; what it opens is recorded, not opened.
class HelpCommand : public ::testing::Test
{
protected:
    bool Show(const TMRes& res)
    {
        return ShowHelp(folder.Path(), web, dialogs, res, [this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
    }
    QUrl Help(const char* file) const
    {
        return QUrl::fromLocalFile(folder.File(QStringLiteral("help/") + QLatin1String(file)));
    }

    TempProgramFolder folder;
    RecordingDialogs dialogs;
    std::vector<QUrl> opened;
    const QUrl web{QStringLiteral("https://example.org/pulsmir/help")};
};

} // namespace

TEST_F(HelpCommand, LocalHelpOrTheWebPageAfterAsking)
{
    folder.Write(QStringLiteral("English.lng"),
                 "[Header]\r\nDISCRIPTION=English\r\nLANGCODE=ENG\r\n[MESSAGES]\r\n"
                 "R0624=No help here. Web?\r\n");
    TMRes res(folder.Path());
    res.OpenLanguage(QStringLiteral("English"));

    dialogs.answers = {DialogAnswer::No};
    EXPECT_FALSE(Show(res));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].type, DialogType::Warning);
    EXPECT_EQ(dialogs.boxes[0].buttons, DialogButtons::YesNo);
    EXPECT_EQ(dialogs.boxes[0].text, res.GetText(QStringLiteral("R0624")));
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(Show(res));
    EXPECT_EQ(opened, std::vector<QUrl>{web});

    folder.Write(QStringLiteral("help/index.html"), "<html></html>");
    opened.clear();
    EXPECT_TRUE(Show(res));
    EXPECT_EQ(opened, std::vector<QUrl>{Help("index.html")});
    EXPECT_EQ(dialogs.boxes.size(), 2u);
}

TEST_F(HelpCommand, OpensTheEditionOfTheOpenLanguage)
{
    folder.Write(QStringLiteral("English.lng"),
                 "[Header]\r\nDISCRIPTION=English\r\nLANGCODE=ENG\r\n");
    folder.Write(QStringLiteral("Japanese.lng"),
                 "[Header]\r\nDISCRIPTION=Nihongo\r\nLANGCODE=JPN\r\n");
    folder.Write(QStringLiteral("help/index.html"), "<html lang=\"en\"></html>");
    TMRes res(folder.Path());

    // Without a Japanese edition the one help there is.
    ASSERT_TRUE(res.OpenLanguage(QStringLiteral("Nihongo")));
    EXPECT_TRUE(Show(res));
    folder.Write(QStringLiteral("help/index.ja.html"), "<html lang=\"ja\"></html>");
    EXPECT_TRUE(Show(res));
    ASSERT_TRUE(res.OpenLanguage(QStringLiteral("English")));
    EXPECT_TRUE(Show(res));
    EXPECT_EQ(opened,
              (std::vector<QUrl>{Help("index.html"), Help("index.ja.html"), Help("index.html")}));
    EXPECT_TRUE(dialogs.boxes.empty());
}
