#include "skin/SkinCatalogue.h"

#include "res/MRes.h"
#include "support/AddressSpace.h"
#include "support/TempProgramFolder.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

namespace {

QByteArray Png(int side)
{
    QByteArray png;
    QImage image(side, side, QImage::Format_RGB888);
    image.fill(Qt::darkBlue);
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// A minimal valid compact-only skin: a 4x4 background.
void WriteSkin(TempProgramFolder& folder, const QString& file, const QByteArray& name,
               bool full = false)
{
    const QString base = QFileInfo(file).completeBaseName();
    folder.Write("Skin/" + base + "/bg.png", Png(4));
    QByteArray ini = "[Pulsmir2_Skin]\r\nSkinName=" + name +
                     "\r\nSkinSystem=C2\r\nWinNT=1\r\nWin9x=1\r\n"
                     "[Pulsmir2_SkinS]\r\nEnable=1\r\nBg=bg.png\r\n";
    if (full)
        ini += "[Pulsmir2_SkinL]\r\nEnable=1\r\nBg=bg.png\r\nMEMGrpDeep=77\r\n";
    folder.Write("Skin/" + file, ini);
}

} // namespace

TEST(SkinCatalogue, ListsValidSkinsSortedByName)
{
    TempProgramFolder folder;
    WriteSkin(folder, "zeta.ini", "alpha");
    WriteSkin(folder, "alpha.ini", "Zulu");
    WriteSkin(folder, "mid.ini", "beta");
    folder.Write("Skin/broken.ini", "[Pulsmir2_Skin]\r\nSkinName=Broken\r\n");
    folder.Write("Skin/notes.txt", "not a skin");

    const SkinList list = ListSkins(folder.File("Skin"), SkinPlatform::NT);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Name, "alpha");
    EXPECT_EQ(list[1].Name, "beta");
    EXPECT_EQ(list[2].Name, "Zulu");
    EXPECT_EQ(list[0].Path, folder.File("Skin/zeta.ini"));
    EXPECT_EQ(FindSkinPath(list, "ZULU"), folder.File("Skin/alpha.ini"));
    EXPECT_EQ(FindSkinPath(list, "gamma"), "");
}

TEST(SkinCatalogue, SameNameTwiceFindsTheFirstInListOrder)
{
    TempProgramFolder folder;
    WriteSkin(folder, "b.ini", "Twin");
    WriteSkin(folder, "a.ini", "Twin");
    const SkinList list = ListSkins(folder.File("Skin"), SkinPlatform::NT);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(FindSkinPath(list, "twin"), folder.File("Skin/a.ini"));
}

TEST(SkinCatalogue, AFileNameBeginningWithAColonIsListedInItsFolder)
{
    // Such a name once became a Qt resource path instead of a file of the skin folder.
    TempProgramFolder folder;
    WriteSkin(folder, ":colon.ini", "Colon");
    const SkinList list = ListSkins(folder.File("Skin"), SkinPlatform::NT);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "Colon");
    EXPECT_EQ(list[0].Path, folder.File("Skin/:colon.ini"));
}

TEST(SkinCatalogue, ReadSkinNameSpecialCases)
{
    TempProgramFolder folder;
    WriteSkin(folder, "odd=name.ini", "Odd");
    EXPECT_EQ(ReadSkinName(folder.File("Skin/odd=name.ini")), "");
    EXPECT_EQ(ReadSkinName(folder.File("Skin/missing.ini")), "");
    QDir(folder.Path()).mkpath("Skin/folder.ini");
    EXPECT_EQ(ReadSkinName(folder.File("Skin/folder.ini")), "(Access Denied)");
}

TEST(SkinCatalogue, ModeFixUpDepthsAndInformation)
{
    TempProgramFolder folder;
    WriteSkin(folder, "c.ini", "CompactOnly");
    WriteSkin(folder, "f.ini", "Both", true);
    TSkinSystem compact;
    ASSERT_TRUE(compact.LoadSkin(folder.File("Skin/c.ini")));
    EXPECT_FALSE(FixUpFullMode(true, compact));
    EXPECT_FALSE(FixUpFullMode(false, compact));

    TSkinSystem both;
    ASSERT_TRUE(both.LoadSkin(folder.File("Skin/f.ini")));
    EXPECT_TRUE(FixUpFullMode(true, both));
    const auto depths = HistoryDepths(both);
    EXPECT_EQ(depths[GraphMEM], 32); // a graph that is not shown keeps 32

    folder.Write("en.lng", "[Header]\r\nDISCRIPTION=English\r\n[MESSAGES]\r\nR0611=Compact: yes\r\n"
                           "R0614=Full: no\r\n");
    TMRes texts(folder.Path());
    ASSERT_TRUE(texts.OpenLanguage("English"));
    const QStringList lines = SkinInformationLines(compact, texts);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], "Name    : CompactOnly");
    EXPECT_EQ(lines[1], "Version : C2");
    EXPECT_TRUE(lines[2].startsWith("MemUsed : ") && lines[2].endsWith(" KBytes"));
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], "Compact: yes");
    EXPECT_EQ(lines[7], "Full: no");
}

TEST(SkinCatalogue, AHugeDefinitionFileCostsOneLookAtItsSize)
{
    TempProgramFolder folder;
    WriteSkin(folder, "fine.ini", "Fine");
    WriteSkin(folder, "huge.ini", "Huge");
    // 400 MiB, sparse: a refresh that read it would grow by that much.
    ASSERT_TRUE(QFile(folder.File("Skin/huge.ini")).resize(qint64(400) << 20));
    SkinDefinitionCache cache;
    EXPECT_EXIT(ExitWithPeakGrowthBelow(
                    16 << 20, [&] { ListSkins({folder.File("Skin")}, SkinPlatform::NT, &cache); }),
                testing::ExitedWithCode(0), "");
    for (int refresh = 0; refresh < 2; ++refresh) {
        const SkinList list = ListSkins({folder.File("Skin")}, SkinPlatform::NT, &cache);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].Name, "Fine");
    }
    EXPECT_EQ(TSkinSystem::FindSkinFault(folder.File("Skin/huge.ini"), SkinPlatform::NT),
              folder.File("Skin/huge.ini") + ": file larger than 1 MiB");
}

// Modified an hour ago, long settled.
void Age(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
}

TEST(SkinCatalogue, ARefreshReadsOnlyTheDefinitionsThatChanged)
{
    TempProgramFolder folder;
    WriteSkin(folder, "a.ini", "Alpha");
    WriteSkin(folder, "b.ini", "Bravo");
    Age(folder.File("Skin/a.ini"));
    Age(folder.File("Skin/b.ini"));
    const auto list = [&](SkinDefinitionCache& cache) {
        return ListSkins({folder.File("Skin")}, SkinPlatform::NT, &cache);
    };
    SkinDefinitionCache cache;
    ASSERT_EQ(list(cache).size(), 2u);
    EXPECT_EQ(cache.FilesRead(), 2u);
    ASSERT_EQ(list(cache).size(), 2u);
    EXPECT_EQ(cache.FilesRead(), 2u);

    // Rewritten with the same size: its times tell. Just written, it is read at every refresh
    // until it settles, since a second write in the same tick would not show.
    QByteArray text = folder.Read("Skin/a.ini");
    folder.Write("Skin/a.ini", text.replace("Alpha", "Omega"));
    for (std::size_t read : {3u, 4u}) {
        const SkinList skins = list(cache);
        ASSERT_EQ(skins.size(), 2u);
        EXPECT_EQ(skins[1].Name, "Omega");
        EXPECT_EQ(cache.FilesRead(), read);
    }

    // A file gone is forgotten; a new one is read.
    QFile::remove(folder.File("Skin/b.ini"));
    WriteSkin(folder, "c.ini", "Charlie");
    Age(folder.File("Skin/a.ini"));
    Age(folder.File("Skin/c.ini"));
    SkinList skins = list(cache);
    ASSERT_EQ(skins.size(), 2u);
    EXPECT_EQ(skins[0].Name, "Charlie");
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_EQ(cache.FilesRead(), 6u);
    // A skin made invalid by a missing picture drops out, its file unread.
    QFile::remove(folder.File("Skin/c/bg.png"));
    skins = list(cache);
    ASSERT_EQ(skins.size(), 1u);
    EXPECT_EQ(skins[0].Name, "Omega");
    EXPECT_EQ(cache.FilesRead(), 6u);
}

TEST(SkinCatalogue, ARefreshReadsOnlyThePicturesThatChanged)
{
    TempProgramFolder folder;
    WriteSkin(folder, "a.ini", "Alpha", true); // both modes show one picture
    WriteSkin(folder, "b.ini", "Bravo");
    for (const char* file : {"Skin/a.ini", "Skin/a/bg.png", "Skin/b.ini", "Skin/b/bg.png"})
        Age(folder.File(file));
    SkinDefinitionCache cache;
    const auto list = [&] {
        return ListSkins({folder.File("Skin")}, SkinPlatform::NT, &cache, QSize(32, 32));
    };
    for (int refresh = 0; refresh < 2; ++refresh) {
        ASSERT_EQ(list().size(), 2u);
        EXPECT_EQ(cache.PicturesRead(), 2u);
    }
    // Changed, too large for the screen now: read again, and its skin drops out.
    folder.Write("Skin/b/bg.png", Png(64));
    Age(folder.File("Skin/b/bg.png"));
    const SkinList skins = list();
    ASSERT_EQ(skins.size(), 1u);
    EXPECT_EQ(skins[0].Name, "Alpha");
    EXPECT_EQ(cache.PicturesRead(), 3u);
}
