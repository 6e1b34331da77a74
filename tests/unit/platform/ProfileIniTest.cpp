#include "platform/ProfileIni.h"

#include "platform/AtomicFile.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

ProfileIni FromText(const QString& text)
{
    ProfileIni ini;
    ini.LoadText(text);
    return ini;
}

} // namespace

TEST(ProfileIniRead, SectionsAndKeysIgnoreCaseAndFirstMatchWins)
{
    ProfileIni ini = FromText(QStringLiteral("[Main]\nKey=first\nKEY=second\n[main]\nOther=x\n"));
    EXPECT_EQ(ini.ReadString("MAIN", "key"), "first");
    EXPECT_TRUE(ini.SectionExists("mAiN"));
    // The second section of the same name is never consulted.
    EXPECT_FALSE(ini.ValueExists("Main", "Other"));
    EXPECT_EQ(ini.ReadString("Main", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Nowhere", "Key", "dflt"), "dflt");
}

TEST(ProfileIniRead, ValuesAreTrimmedUnquotedAndCut)
{
    const QString longValue(3000, u'v');
    ProfileIni ini =
        FromText(QStringLiteral("[S]\n  Spaced  =  a value  \nQuoted=\"q v\"\nHalf=\"open\n"
                                "Long=") +
                 longValue + "\n; Comment=not a key\n");
    EXPECT_EQ(ini.ReadString("S", "Spaced"), "a value");
    EXPECT_EQ(ini.ReadString("S", "Quoted"), "q v");
    EXPECT_EQ(ini.ReadString("S", "Half"), "\"open");
    EXPECT_EQ(ini.ReadString("S", "Long").size(), ProfileIni::MaxValueLength);
    EXPECT_FALSE(ini.ValueExists("S", "; Comment"));
    EXPECT_EQ(ini.KeyNames("S"), QStringList({"Spaced", "Quoted", "Half", "Long"}));
}

TEST(ProfileIniRead, IntegerAndBoolForms)
{
    ProfileIni ini =
        FromText(QStringLiteral("[S]\nDec=42\nNeg=-7\nHex=0x1F\nHexUp=0XfF\nAllOnes=0xFFFFFFFF\n"
                                "Text=12abc\nEmpty=\nBig=99999999999\nTrue=5\nFalse=0\n"));
    EXPECT_EQ(ini.ReadInteger("S", "Dec", 0), 42);
    EXPECT_EQ(ini.ReadInteger("S", "Neg", 0), -7);
    EXPECT_EQ(ini.ReadInteger("S", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("S", "HexUp", 0), 255);
    EXPECT_EQ(ini.ReadInteger("S", "AllOnes", 0), -1);
    EXPECT_EQ(ini.ReadInteger("S", "Text", 9), 9);
    EXPECT_EQ(ini.ReadInteger("S", "Empty", 9), 9);
    EXPECT_EQ(ini.ReadInteger("S", "Big", 9), 9);
    EXPECT_EQ(ini.ReadInt64("S", "Big", 9), 99999999999LL);
    EXPECT_TRUE(ini.ReadBool("S", "True", false));
    EXPECT_FALSE(ini.ReadBool("S", "False", true));
    EXPECT_TRUE(ini.ReadBool("S", "Text", true));
    EXPECT_FALSE(ini.ReadBool("S", "Missing", false));
}

TEST(ProfileIniWrite, UntouchedFileIsWrittenBackByteForByte)
{
    const QByteArray original = "; header comment\r\n[One]\r\nA = 1\r\n\r\n[Unknown]\r\nz=\"q\"\r\n"
                                "  odd line without equals\r\n[Two]\r\nB=2";
    ProfileIni ini;
    ini.LoadText(QString::fromUtf8(original));
    EXPECT_EQ(ini.ToBytes(), original);
}

TEST(ProfileIniWrite, ChangedKeyStaysInPlaceAndNewKeysJoinTheirSection)
{
    ProfileIni ini = FromText(QStringLiteral("[One]\nA=1\nB=2\n\n[Two]\nC=3\n"));
    ini.WriteString("one", "a", "changed");
    ini.WriteInteger("One", "New", 5);
    ini.WriteBool("Three", "Flag", true);
    EXPECT_EQ(QString::fromUtf8(ini.ToBytes()),
              "[One]\nA=changed\nB=2\nNew=5\n\n[Two]\nC=3\n\n[Three]\nFlag=1\n");
}

TEST(ProfileIniWrite, LineEndsOfTheFileAreKept)
{
    ProfileIni crlf = FromText(QStringLiteral("[S]\r\nA=1\r\n"));
    crlf.WriteString("S", "B", "2");
    EXPECT_EQ(crlf.ToBytes(), QByteArray("[S]\r\nA=1\r\nB=2\r\n"));

    ProfileIni lf = FromText(QStringLiteral("[S]\nA=1\n"));
    lf.WriteString("S", "B", "2");
    EXPECT_EQ(lf.ToBytes(), QByteArray("[S]\nA=1\nB=2\n"));
}

TEST(ProfileIniWrite, LineBreaksInValuesCannotSplitTheFile)
{
    ProfileIni ini = FromText(QStringLiteral("[S]\n"));
    ini.WriteString("S", "A", "one\r\n[Evil]\nB=2");
    ProfileIni reread = FromText(QString::fromUtf8(ini.ToBytes()));
    EXPECT_FALSE(reread.SectionExists("Evil"));
    EXPECT_EQ(reread.ReadString("S", "A"), "one  [Evil] B=2");
}

TEST(ProfileIniWrite, EraseSectionRemovesEveryCopyAndDeleteKeyEveryDuplicate)
{
    ProfileIni ini = FromText(QStringLiteral("[Old]\nA=1\n[Keep]\nK=1\nk=2\nL=3\n[OLD]\nB=2\n"));
    ini.EraseSection("old");
    ini.DeleteKey("Keep", "K");
    EXPECT_FALSE(ini.SectionExists("Old"));
    EXPECT_EQ(ini.SectionNames(), QStringList({"Keep"}));
    EXPECT_EQ(ini.KeyNames("Keep"), QStringList({"L"}));
}

TEST(ProfileIniFile, ShiftJisFileIsReadAndWrittenBackAsUtf8)
{
    TempProgramFolder folder;
    // "[日本語]\r\nKey=値\r\n" in Shift_JIS.
    folder.Write("sjis.ini", QByteArray("[\x93\xfa\x96\x7b\x8c\xea]\r\nKey=\x92\x6c\r\n"));
    ProfileIni ini(folder.File("sjis.ini"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("日本語"), "Key"), QStringLiteral("値"));
    ini.WriteString("Other", "A", "b");
    ini.Save();
    EXPECT_EQ(QString::fromUtf8(folder.Read("sjis.ini")),
              QStringLiteral("[日本語]\r\nKey=値\r\n\r\n[Other]\r\nA=b\r\n"));
}

TEST(ProfileIniFile, MissingFileIsEmptyAndUnreadableFileReportsFailure)
{
    TempProgramFolder folder;
    ProfileIni missing;
    EXPECT_TRUE(missing.Load(folder.File("none.ini")));
    EXPECT_TRUE(missing.SectionNames().isEmpty());

    QDir(folder.Path()).mkdir("dir.ini");
    ProfileIni unreadable;
    EXPECT_FALSE(unreadable.Load(folder.File("dir.ini")));
    EXPECT_TRUE(unreadable.SectionNames().isEmpty());
}

TEST(ProfileIniFile, SaveInterruptedBeforeTheRenameLeavesTheOldFileWhole)
{
    TempProgramFolder folder;
    folder.Write("settings.ini", "[S]\nA=old\n");
    {
        AtomicFileWriter writer(folder.File("settings.ini"));
        writer.Write("[S]\nA=half of the new con");
        // Dropped without Commit(): as if the process died here.
    }
    EXPECT_EQ(folder.Read("settings.ini"), QByteArray("[S]\nA=old\n"));
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList({"settings.ini"}));

    ProfileIni ini(folder.File("settings.ini"));
    ini.WriteString("S", "A", "new");
    ini.Save();
    EXPECT_EQ(folder.Read("settings.ini"), QByteArray("[S]\nA=new\n"));
}

TEST(ProfileIniFile, SaveIntoAMissingFolderThrowsAndNamesTheFile)
{
    TempProgramFolder folder;
    ProfileIni ini;
    ini.WriteString("S", "A", "1");
    try {
        ini.SaveAs(folder.File("no/such/folder/x.ini"));
        FAIL() << "no exception";
    } catch (const EFileWriteError& e) {
        EXPECT_NE(std::string(e.what()).find("x.ini"), std::string::npos);
    }
}

TEST(ProfileIniFile, ByteOrderMarksAfterTheFirstStayTextThroughASave)
{
    // Three marks, then "[[" behind a lone CR: the marks after the first are part of the first
    // line, which is no section header; dropping one more at each read made it one.
    TempProgramFolder folder;
    const QByteArray bytes = QByteArray::fromBase64("77u/77u/77u/DVtbCg07Cjs=");
    folder.Write("marks.ini", bytes);
    ProfileIni read(folder.File("marks.ini"));
    EXPECT_TRUE(read.SectionNames().isEmpty());
    EXPECT_EQ(read.ToBytes(), bytes);

    read.SaveAs(folder.File("again.ini"));
    ProfileIni again(folder.File("again.ini"));
    EXPECT_EQ(again.SectionNames(), read.SectionNames());
    EXPECT_EQ(again.ToBytes(), bytes);

    // A single mark is still the encoding's and not text.
    folder.Write("one.ini", "\xEF\xBB\xBF[S]\r\nA=1\r\n");
    ProfileIni one(folder.File("one.ini"));
    EXPECT_EQ(one.SectionNames(), QStringList({"S"}));
    EXPECT_EQ(one.ReadString("S", "A"), "1");
}
