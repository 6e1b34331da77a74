#include "net/SstpMsg.h"

#include "platform/TextDecoding.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>
#include <map>

TEST(SstpScriptFile, ScriptsAreNumberedWithoutGapsAndEveryEventIsCounted)
{
    TempProgramFolder folder;
    folder.Write("sstp.ini", "[ChangeSkin]\r\nType0=never\r\nType2=two %PMSKIN%\r\nType5=\r\n"
                             "Type9=nine\r\nType11=never\r\n[Unknown]\r\nType1=never\r\n"
                             "[start]\r\ntype1=hello\r\n");
    TSstpMsg msg(1);
    ASSERT_TRUE(msg.LoadFromFile(folder.File("sstp.ini")));
    EXPECT_EQ(msg.CountNames(), TSstpMsg::EventNames());
    EXPECT_EQ(msg.CountNames().size(), 19);
    EXPECT_EQ(msg.Count("ChangeSkin"), 2);
    EXPECT_EQ(msg.Script("ChangeSkin", 1), "two %PMSKIN%");
    EXPECT_EQ(msg.Script("ChangeSkin", 2), "nine");
    EXPECT_EQ(msg.Script("ChangeSkin", 3), "");
    EXPECT_EQ(msg.Count("Start"), 1); // sections and keys in any case of letters
    EXPECT_EQ(msg.Count("ShowHelp"), 0);
    EXPECT_EQ(msg.Count("Unknown"), 0);
    EXPECT_EQ(msg.GetScript("ShowHelp"), "");
    EXPECT_EQ(msg.GetScript("Start"), "hello");

    // A failed load leaves nothing behind.
    EXPECT_FALSE(msg.LoadFromFile(folder.File("missing.ini")));
    EXPECT_TRUE(msg.CountNames().isEmpty());
    EXPECT_EQ(msg.GetScript("Start"), "");
}

TEST(SstpScriptFile, ShiftJisFilesAreRead)
{
    TempProgramFolder folder;
    folder.Write("sstp.ini", "[Start]\r\nType1=" +
                                 EncodeCp932(QString::fromUtf8("\\0起動しました\\e")) + "\r\n");
    TSstpMsg msg(1);
    ASSERT_TRUE(msg.LoadFromFile(folder.File("sstp.ini")));
    EXPECT_EQ(msg.GetScript("Start"), QString::fromUtf8("\\0起動しました\\e"));
}

TEST(SstpScriptFile, TheChoiceIsUniform)
{
    TempProgramFolder folder;
    folder.Write("sstp.ini", "[UserExitC]\r\nType1=a\r\nType4=b\r\nType10=c\r\n");
    TSstpMsg msg(12345);
    ASSERT_TRUE(msg.LoadFromFile(folder.File("sstp.ini")));
    std::map<QString, int> seen;
    for (int i = 0; i < 3000; ++i)
        ++seen[msg.GetScript("UserExitC")];
    ASSERT_EQ(seen.size(), 3u);
    for (const auto& [script, count] : seen)
        EXPECT_NEAR(count, 1000, 120) << script.toStdString();
}

TEST(SstpScriptFile, TranslucencyEventsFallBackToTheSharedSection)
{
    TempProgramFolder folder;
    folder.Write("old.ini", "[ChangeAlpha]\r\nType1=shared\r\n");
    folder.Write("new.ini", "[ChangeAlpha]\r\nType1=shared\r\n[ChangeAlphaB]\r\nType3=off\r\n");
    TSstpMsg msg(1);
    ASSERT_TRUE(msg.LoadFromFile(folder.File("old.ini")));
    EXPECT_EQ(msg.GetScript("ChangeAlphaA"), "shared");
    EXPECT_EQ(msg.GetScript("ChangeAlphaB"), "shared");
    ASSERT_TRUE(msg.LoadFromFile(folder.File("new.ini")));
    EXPECT_EQ(msg.GetScript("ChangeAlphaA"), "shared");
    EXPECT_EQ(msg.GetScript("ChangeAlphaB"), "off");
    EXPECT_EQ(msg.Count("ChangeAlphaB"), 1);
}
