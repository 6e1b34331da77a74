#include "platform/FileRead.h"

#include "platform/AtomicFile.h"
#include "platform/FileUpdate.h"
#include "platform/ProfileIni.h"
#include "support/AddressSpace.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(ReadFileUpTo, ReadsAPlainFileUpToTheLimit)
{
    TempProgramFolder folder;
    folder.Write("a.txt", "12345");
    const FileRead read = ReadFileUpTo(folder.File("a.txt"), 5);
    EXPECT_EQ(read.Status, FileRead::Result::Read);
    EXPECT_EQ(read.Bytes, "12345");
    EXPECT_EQ(read.Size, 5);
    const FileRead over = ReadFileUpTo(folder.File("a.txt"), 4);
    EXPECT_EQ(over.Status, FileRead::Result::TooLarge);
    EXPECT_TRUE(over.Bytes.isEmpty());
    EXPECT_EQ(over.Size, 5);
    folder.Write("empty.txt", "");
    EXPECT_EQ(ReadFileUpTo(folder.File("empty.txt"), 0).Status, FileRead::Result::Read);
    EXPECT_EQ(ReadFileUpTo(folder.File("missing.txt"), 5).Status, FileRead::Result::Missing);
    EXPECT_EQ(ReadFileUpTo(folder.Path(), 5).Status, FileRead::Result::Unreadable);
}

TEST(ReadFileUpTo, AHugeFileIsRefusedUnreadAndAFifoUnopened)
{
    TempProgramFolder folder;
    folder.Write("huge", "");
    ASSERT_TRUE(QFile(folder.File("huge")).resize(qint64(400) << 20)); // sparse
    EXPECT_EXIT(ExitWithPeakGrowthBelow(16 << 20,
                                        [&] {
                                            if (ReadFileUpTo(folder.File("huge"), 1 << 20).Status !=
                                                FileRead::Result::TooLarge)
                                                std::_Exit(2);
                                        }),
                testing::ExitedWithCode(0), "");
    // Nobody writes to the FIFO: opening it to read would wait for ever.
    ASSERT_EQ(mkfifo(QFile::encodeName(folder.File("fifo")).constData(), 0600), 0);
    EXPECT_EQ(ReadFileUpTo(folder.File("fifo"), 1 << 20).Status, FileRead::Result::Unreadable);
}

TEST(ReadFileUpTo, ByteCountsReadAsPeopleWriteThem)
{
    EXPECT_EQ(ByteCountText(qint64(1) << 20), "1 MiB");
    EXPECT_EQ(ByteCountText(qint64(96) << 20), "96 MiB");
    EXPECT_EQ(ByteCountText(512 << 10), "512 KiB");
    EXPECT_EQ(ByteCountText((1 << 20) + 1), "1048577 bytes");
    EXPECT_EQ(ByteCountText(300), "300 bytes");
}

TEST(ProfileIniLoad, AFileOverTheLimitIsUnreadAndEmpty)
{
    TempProgramFolder folder;
    const QByteArray head = "[S]\r\nKey=value\r\n;";
    folder.Write("at.ini", head + QByteArray(ProfileIni::MaxFileSize - head.size(), 'x'));
    ProfileIni ini;
    EXPECT_TRUE(ini.Load(folder.File("at.ini")));
    EXPECT_EQ(ini.ReadString("S", "Key"), "value");
    folder.Write("over.ini", head + QByteArray(ProfileIni::MaxFileSize - head.size() + 1, 'x'));
    EXPECT_FALSE(ini.Load(folder.File("over.ini")));
    EXPECT_FALSE(ini.SectionExists("S"));
    // A caller may allow more.
    EXPECT_TRUE(ini.Load(folder.File("over.ini"), ProfileIni::MaxFileSize + 1));
    EXPECT_EQ(ini.ReadString("S", "Key"), "value");
    // Missing is still no error, and a byte-order mark is kept for the save.
    EXPECT_TRUE(ini.Load(folder.File("none.ini")));
    folder.Write("bom.ini", "\xEF\xBB\xBF[S]\r\nKey=1\r\n");
    ASSERT_TRUE(ini.Load(folder.File("bom.ini")));
    EXPECT_TRUE(ini.ToBytes().startsWith("\xEF\xBB\xBF"));
}

TEST(UpdateFile, LeavesAFileItCannotReadWholeAsItIs)
{
    TempProgramFolder folder;
    EXPECT_TRUE(UpdateFile(folder.File("new/entry"), "text", 8));
    EXPECT_EQ(folder.Read("new/entry"), "text");
    folder.Write("large", "more than eight bytes");
    EXPECT_THROW(UpdateFile(folder.File("large"), "text", 8), EFileWriteError);
    EXPECT_EQ(folder.Read("large"), "more than eight bytes");
    ASSERT_EQ(mkfifo(QFile::encodeName(folder.File("fifo")).constData(), 0600), 0);
    EXPECT_THROW(UpdateFile(folder.File("fifo"), "text", 8), EFileWriteError);
    EXPECT_FALSE(QFileInfo(folder.File("fifo")).isFile());
}

TEST(ProfileIniLoad, ALargeFileCostsItsTextAndAFewWordsALine)
{
    // Settings padded with a million short lines: held as their text, not as strings of
    // their own, read and saved again without the whole file held twice over.
#ifdef PULSMIR_ADDRESS_SANITIZER
    GTEST_SKIP() << "a bound of a few times the file's size, which the sanitizer's padding exceeds";
#endif
    TempProgramFolder folder;
    QByteArray text = "[Pulsmir2]\r\nPosX=5\r\n[Mine]\r\n";
    for (int i = 0; text.size() < (24 << 20); ++i)
        text += "Key" + QByteArray::number(i) + "=some value of mine\r\n";
    folder.Write("Pulsmir.ini", text);
    text.clear();
    const qint64 size = QFileInfo(folder.File("Pulsmir.ini")).size();
    EXPECT_EXIT(ExitWithPeakGrowthBelow(5 * size,
                                        [&] {
                                            ProfileIni ini;
                                            if (!ini.Load(folder.File("Pulsmir.ini"), 64 << 20) ||
                                                ini.ReadInteger("Pulsmir2", "PosX", 0) != 5 ||
                                                ini.ReadString("mine", "KEY12345") != "some value of mine")
                                                std::_Exit(2);
                                            ini.WriteInteger("Pulsmir2", "PosY", 7);
                                            ini.Save();
                                        }),
                testing::ExitedWithCode(0), "");
}
