#include "res/MRes.h"

#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

QByteArray LanguageFile(const QByteArray& description, const QByteArray& code,
                        const QByteArray& body = "")
{
    return "[Header]\r\nDISCRIPTION=" + description + "\r\nLANGCODE=" + code + "\r\n" + body;
}

} // namespace

TEST(MResCatalogue, ListsDescriptionsWithFileNameFallbacks)
{
    TempProgramFolder folder;
    folder.Write("a_english.lng", LanguageFile("English", "ENG"));
    folder.Write("b_noheader.lng", "[COMPONENTS]\r\nC0100=x\r\n");
    folder.Write("c=odd.lng", LanguageFile("Odd", "ODD"));
    folder.Write("d_upper.LNG", LanguageFile("Upper", "UPP"));
    folder.Write("sub/e_nested.lng", LanguageFile("Nested", "NST"));
    folder.Write("notes.txt", LanguageFile("Text", "TXT"));

    TMRes res(folder.Path());
    EXPECT_EQ(res.ListLanguages(), QStringList({"English", "b_noheader.lng", "Upper"}));
    EXPECT_EQ(res.CodeOfLanguage("b_noheader.lng"), "b_noheader.lng");
    EXPECT_EQ(res.CodeOfLanguage("English"), "ENG");
    EXPECT_EQ(res.CodeOfLanguage("Nested"), "");
    EXPECT_EQ(res.FileOfLanguage("Upper"), folder.File("d_upper.LNG"));
    EXPECT_EQ(res.FileOfLanguage("Odd"), "");
}

TEST(MResCatalogue, AFileOverTheSizeLimitIsNoLanguage)
{
    TempProgramFolder folder;
    folder.Write("a.lng", LanguageFile("English", "ENG"));
    // Sparse, 400 MiB: listing the languages costs no more than its size.
    folder.Write("b.lng", LanguageFile("Huge", "HUG"));
    ASSERT_TRUE(QFile(folder.File("b.lng")).resize(qint64(400) << 20));
    TMRes res(folder.Path());
    EXPECT_EQ(res.ListLanguages(), QStringList({"English"}));
    EXPECT_FALSE(res.OpenLanguage("Huge"));
    EXPECT_FALSE(res.OpenLanguage("b.lng"));
}

TEST(MResCatalogue, SameDescriptionTwiceTakesTheLaterFile)
{
    TempProgramFolder folder;
    folder.Write("a.lng", LanguageFile("Twin", "AAA", "[MESSAGES]\r\nR0601=from a\r\n"));
    folder.Write("b.lng", LanguageFile("Twin", "BBB", "[MESSAGES]\r\nR0601=from b\r\n"));
    TMRes res(folder.Path());
    EXPECT_EQ(res.CodeOfLanguage("Twin"), "BBB");
    ASSERT_TRUE(res.OpenLanguage("Twin"));
    EXPECT_EQ(res.GetText("R0601"), "from b");
}

TEST(MResTexts, ReadsTheKnownRangesInGroupOrder)
{
    TempProgramFolder folder;
    folder.Write("en.lng", LanguageFile("English", "ENG",
                                        "[MESSAGES]\r\nR0602=msg\r\nR0700=out of range\r\n"
                                        "[COMPONENTS]\r\nC0301=opt\r\nC0100=first\r\nC0099=no\r\n"
                                        "C0600=no\r\nc0105=lower case key\r\n"));
    TMRes res(folder.Path());
    ASSERT_TRUE(res.OpenLanguage("English"));
    EXPECT_EQ(res.FilePath(), folder.File("en.lng"));
    EXPECT_EQ(res.Description(), "English");
    EXPECT_EQ(res.LangCode(), "ENG");
    std::vector<QString> codes;
    for (const auto& [code, text] : res.Texts())
        codes.push_back(code);
    EXPECT_EQ(codes, (std::vector<QString>{"C0100", "C0105", "C0301", "R0602"}));
    EXPECT_EQ(res.GetText("C0105"), "lower case key");
    EXPECT_EQ(res.GetText("R0700"), "(NoData:R0700)");
}

TEST(MResTexts, BackslashNBecomesALineBreak)
{
    TempProgramFolder folder;
    folder.Write("en.lng",
                 LanguageFile("English", "ENG",
                              "[MESSAGES]\r\nR0624=Help is missing.\\nOpen the web page?\r\n"));
    TMRes res(folder.Path());
    ASSERT_TRUE(res.OpenLanguage("English"));
    EXPECT_EQ(res.GetText("R0624"), "Help is missing.\r\nOpen the web page?");
    EXPECT_EQ(res.GetText("X\\nY"), "(NoData:X\r\nY)");
}

TEST(MResTexts, ShiftJisLanguageFileIsRead)
{
    TempProgramFolder folder;
    // DISCRIPTION=日本語, C0100=表示 in Shift_JIS.
    folder.Write("jp.lng", "[Header]\r\nDISCRIPTION=\x93\xfa\x96\x7b\x8c\xea\r\nLANGCODE=JPN\r\n"
                           "[COMPONENTS]\r\nC0100=\x95\x5c\x8e\xa6\r\n");
    TMRes res(folder.Path());
    EXPECT_EQ(res.ListLanguages(), QStringList({QStringLiteral("日本語")}));
    ASSERT_TRUE(res.OpenLanguage(QStringLiteral("日本語")));
    EXPECT_EQ(res.GetText("C0100"), QStringLiteral("表示"));
}

TEST(MResOpen, TheOpenLanguageIsNotReadAgain)
{
    TempProgramFolder folder;
    folder.Write("en.lng", LanguageFile("English", "ENG", "[MESSAGES]\r\nR0601=before\r\n"));
    TMRes res(folder.Path());
    ASSERT_TRUE(res.OpenLanguage("English"));
    folder.Write("en.lng", LanguageFile("English", "ENG", "[MESSAGES]\r\nR0601=after\r\n"));
    ASSERT_TRUE(res.OpenLanguage("English"));
    EXPECT_EQ(res.GetText("R0601"), "before");
}

TEST(MResOpen, UnknownOrEmptyDescriptionFailsAndClearsTheTable)
{
    TempProgramFolder folder;
    folder.Write("en.lng", LanguageFile("English", "ENG", "[MESSAGES]\r\nR0601=text\r\n"));
    TMRes res(folder.Path());
    EXPECT_FALSE(res.OpenLanguage(""));
    ASSERT_TRUE(res.OpenLanguage("English"));
    EXPECT_FALSE(res.OpenLanguage("Klingon"));
    EXPECT_EQ(res.FilePath(), "");
    EXPECT_EQ(res.Description(), "");
    EXPECT_EQ(res.GetText("R0601"), "(NoData:R0601)");
}

TEST(MResOpen, GarbageFileIsListedByNameAndYieldsNoTexts)
{
    TempProgramFolder folder;
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(static_cast<char>((i * 7919) % 256));
    folder.Write("broken.lng", garbage);
    TMRes res(folder.Path());
    EXPECT_EQ(res.ListLanguages(), QStringList({"broken.lng"}));
    ASSERT_TRUE(res.OpenLanguage("broken.lng"));
    EXPECT_EQ(res.GetText("C0100"), "(NoData:C0100)");
}
