#include "addin/ArchiveFile.h"
#include "addin/ArchiveReader.h"
#include "addin/ArchiverMembers.h"

#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

QString Package(const char* name)
{
    return QStringLiteral(PULSMIR_FIXTURE_DIR "/addin/") + QString::fromLatin1(name);
}

// Every file under a folder, relative, sorted.
QStringList FilesUnder(const QString& folder)
{
    QStringList files;
    QDir dir(folder);
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden)) {
        if (info.isDir() && !info.isSymLink()) {
            for (const QString& inner : FilesUnder(info.filePath()))
                files << info.fileName() + u'/' + inner;
        } else {
            files << info.fileName();
        }
    }
    files.sort();
    return files;
}

// A ustar header for `name` claiming `size` bytes.
QByteArray TarHeader(const QByteArray& name, qint64 size)
{
    QByteArray header(512, '\0');
    header.replace(0, name.size(), name);
    header.replace(100, 7, "0000644");
    header.replace(108, 7, "0000000");
    header.replace(116, 7, "0000000");
    header.replace(124, 11, QByteArray::number(size, 8).rightJustified(11, '0'));
    header.replace(136, 11, "00000000000");
    header[156] = '0';
    header.replace(257, 6, QByteArray("ustar\0", 6));
    header.replace(263, 2, "00");
    header.replace(148, 8, "        ");
    unsigned sum = 0;
    for (char c : header)
        sum += static_cast<unsigned char>(c);
    header.replace(148, 7, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0');
    return header;
}

TArchiverOptions InstallerOptions()
{
    TArchiverOptions options;
    options.n = 1;
    options.c = 1;
    options.jyo = 1;
    return options;
}

} // namespace

TEST(ArchiverCommandLine, OnlyTheSwitchesGivenInTheirTableOrder)
{
    TArchiverOptions options;
    EXPECT_EQ(BuildCommandLine("x", options, "/p/a.pma", "/p/Skin", {"pma.$$$"},
                               TArchiverOperation::Unpack, false),
              "x \"/p/a.pma\" \"/p/Skin/\" \"pma.$$$\"");

    options = InstallerOptions();
    options.x = 1;
    options.jx = QStringList({"pma.$$$", "b c"});
    options.w = "/tmp";
    options.UserOptions = "-gm1";
    EXPECT_EQ(BuildCommandLine("x", options, "a.pma", "/d/", {}, TArchiverOperation::Unpack, false),
              "x -c1 -n1 \"-w/tmp\" -x1 \"-jxpma.$$$\" \"-jxb c\" -jyo1 -gm1 \"a.pma\" \"/d/\"");

    // A hooked owner window always gets -n1; a response file stands for the names.
    TArchiverOptions bare;
    bare.ResFileName = "list.txt";
    EXPECT_EQ(BuildCommandLine("u", bare, "a.lzh", "", {"x", "y"}, TArchiverOperation::Pack, true),
              "u -n1 \"a.lzh\" @\"list.txt\"");
    bare.ResOnPack = false;
    EXPECT_EQ(BuildCommandLine("u", bare, "a.lzh", "", {"x"}, TArchiverOperation::Pack, false),
              "u \"a.lzh\" \"x\"");
}

TEST(ArchiveFileTypes, ExtensionsPickTheMemberAndUnusableTypesFail)
{
    TArchiveFile file;
    const std::pair<const char*, TArchiverType> cases[] = {
        {"a.LZH", TArchiverType::atLha}, {"a.zip", TArchiverType::atZip},
        {"a.cab", TArchiverType::atCab}, {"a.deb", TArchiverType::atTar},
        {"a.taz", TArchiverType::atTgz}, {"a.bz2", TArchiverType::atBZ2},
        {"a.rar", TArchiverType::atRar}, {"a.bza", TArchiverType::atBga},
        {"a.arj", TArchiverType::atArj},
    };
    for (const auto& [name, type] : cases) {
        file.SetFileName(name);
        EXPECT_EQ(file.ArchiverType(), type) << name;
    }
    // An unknown extension keeps the type and drops the member.
    file.SetFileName("a.pma");
    EXPECT_EQ(file.ArchiverType(), TArchiverType::atArj);
    try {
        file.CheckArchive(0, 0);
        FAIL() << "no member, no check";
    } catch (const EArchiver& e) {
        EXPECT_EQ(e.Message(), QString::fromUtf8("書庫の形式を判別できません。"));
    }
    for (TArchiverType unusable : {TArchiverType::atYz1, TArchiverType::atGCA, TArchiverType::atBel}) {
        try {
            file.SetArchiverType(unusable);
            FAIL();
        } catch (const EArchiver& e) {
            EXPECT_EQ(e.Message(), QString::fromUtf8("書庫の形式を特定できませんでした。"));
        }
    }
    // By content: a ZIP under any name.
    EXPECT_EQ(TArchiveFile::DetectType(Package("zip.pma")), TArchiverType::atZip);
    EXPECT_EQ(TArchiveFile::DetectType(Package("skin.pma")), TArchiverType::atLha);
}

TEST(ArchiveMembers, OperationsAFormatLacksSayNotSupported)
{
    TArchiveFile file;
    file.SetFileName(Package("zip.pma"));
    file.SetArchiverType(TArchiverType::atZip);
    EXPECT_NE(file.CheckArchive(2, 4), 0);
    TIndividualInfo info;
    ASSERT_TRUE(file.FindOpen());
    EXPECT_EQ(file.FindFirst("*.ini", info), 0);
    EXPECT_EQ(info.FileName, "Zipped.ini");
    try {
        file.Extract("/tmp", {});
        FAIL();
    } catch (const EArchiver& e) {
        EXPECT_EQ(e.Message(), QString::fromUtf8("この形式の書庫は展開できません。"));
    }
    TTar32 tar;
    EXPECT_THROW(tar.Pack("a.tar", {}), EArchiver);
    auto arj = MakeArchiver(TArchiverType::atArj);
    EXPECT_EQ(arj->CheckArchive(Package("skin.pma"), 0, 0), 0);
    try {
        arj->LoadDLL();
        FAIL();
    } catch (const EArchiver& e) {
        EXPECT_EQ(e.Message(), QString::fromUtf8("この機能の使用には UNARJ32J.DLL が 必要です。"));
    }
}

TEST(LhaPackages, CheckAcceptsWholeLhaArchivesOnly)
{
    TArchiveFile file;
    for (const char* good : {"skin.pma", "sjis.pma", "help.pma", "backslash.pma"}) {
        file.SetFileName(Package(good));
        file.SetArchiverType(TArchiverType::atLha);
        EXPECT_NE(file.CheckArchive(2, 4), 0) << good;
    }
    for (const char* bad : {"zip.pma", "damaged.pma"}) {
        file.SetFileName(Package(bad));
        file.SetArchiverType(TArchiverType::atLha);
        EXPECT_EQ(file.CheckArchive(2, 4), 0) << bad;
    }
}

TEST(LhaPackages, FindWalksTheEntriesThatMatch)
{
    TArchiveFile file;
    file.SetFileName(Package("skin.pma"));
    file.SetArchiverType(TArchiverType::atLha);
    ASSERT_TRUE(file.FindOpen());
    TIndividualInfo info;
    ASSERT_EQ(file.FindFirst("*.ini", info), 0);
    EXPECT_EQ(info.FileName, "PackGolden.ini");
    EXPECT_GT(info.OriginalSize, 100u);
    EXPECT_NE(info.Date, 0);
    TIndividualInfo untouched;
    untouched.FileName = "kept";
    EXPECT_NE(file.FindFirst("*.xyz", untouched), 0);
    EXPECT_EQ(untouched.FileName, "kept");
    ASSERT_EQ(file.FindFirst("packgolden/*.png", info), 0); // letters in any case
    int pictures = 1;
    while (file.FindNext(info) == 0)
        ++pictures;
    EXPECT_GE(pictures, 5);
    file.FindClose();
    EXPECT_NE(file.FindFirst("*", info), 0);
}

TEST(LhaPackages, ExtractsOneEntryFlatOrAllWithTheirFolders)
{
    TempProgramFolder folder;
    TArchiveFile file;
    file.SetFileName(Package("skin.pma"));
    file.SetArchiverType(TArchiverType::atLha);
    file.Options = InstallerOptions();
    file.Options.x = 0;
    ASSERT_EQ(file.Extract(folder.Path(), {"pma.$$$"}), 0) << file.Output().toStdString();
    EXPECT_EQ(FilesUnder(folder.Path()), QStringList({"pma.$$$"}));
    EXPECT_TRUE(folder.Read("pma.$$$").contains("Component=SKIN"));
    EXPECT_TRUE(file.Output().startsWith("x -c1 -n1 -x0 -jyo1 \""));

    QDir().mkpath(folder.File("Skin"));
    file.Options.x = 1;
    file.Options.jx = QStringList({"pma.$$$"});
    ASSERT_EQ(file.Extract(folder.File("Skin"), {}), 0) << file.Output().toStdString();
    const QStringList skin = FilesUnder(folder.File("Skin"));
    EXPECT_FALSE(skin.contains("pma.$$$"));
    EXPECT_TRUE(skin.contains("PackGolden.ini"));
    EXPECT_TRUE(skin.contains("PackGolden/notes/readme.txt"));
    EXPECT_EQ(folder.Read("Skin/PackGolden/notes/readme.txt"), "A skin in a package.\r\n");
    QFile original(PULSMIR_FIXTURE_DIR "/skin/Golden/cpu.png");
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(folder.Read("Skin/PackGolden/cpu.png"), original.readAll());
}

TEST(LhaPackages, WindowsNamesComeOutAsUnicodeWithSlashes)
{
    TempProgramFolder folder;
    TArchiveFile file;
    file.Options.x = 1;
    file.SetFileName(Package("sjis.pma"));
    file.SetArchiverType(TArchiverType::atLha);
    ASSERT_EQ(file.Extract(folder.File("a"), {}), 0) << file.Output().toStdString();
    EXPECT_TRUE(folder.Exists(QString::fromUtf8("a/ゴールデン.ini")));
    EXPECT_TRUE(folder.Exists(QString::fromUtf8("a/ゴールデン/cpu.png")));

    file.SetFileName(Package("backslash.pma"));
    file.SetArchiverType(TArchiverType::atLha);
    ASSERT_EQ(file.Extract(folder.File("b"), {}), 0) << file.Output().toStdString();
    EXPECT_EQ(folder.Read(QString::fromUtf8("b/表/中.txt")), "inside\r\n");
    EXPECT_EQ(folder.Read("b/deep/er/file.txt"), "deeper\r\n");
}

TEST(LhaPackages, HostileEntriesRefuseTheWholePackage)
{
    TempProgramFolder folder;
    QFile::remove("/tmp/pulsmir-evil.txt");
    for (const char* hostile : {"absolute.pma", "parent.pma", "link.pma"}) {
        const QString target = folder.File(hostile);
        QDir().mkpath(target + "/inner");
        TArchiveFile file;
        file.Options.x = 1;
        file.SetFileName(Package(hostile));
        file.SetArchiverType(TArchiverType::atLha);
        EXPECT_NE(file.Extract(target + "/inner", {}), 0) << hostile;
        EXPECT_TRUE(file.Output().contains("refused: ")) << file.Output().toStdString();
        EXPECT_TRUE(FilesUnder(target).filter("pma.$$$").isEmpty()) << hostile;
        EXPECT_FALSE(QFileInfo::exists(target + "/evil.txt"));
    }
    EXPECT_FALSE(QFileInfo::exists("/tmp/pulsmir-evil.txt"));
}

TEST(LhaPackages, LinksInTheWayAreReplacedOrRefusedButNeverFollowed)
{
    TempProgramFolder folder;
    folder.Write("outside/PackGolden.ini", "outside");
    QDir().mkpath(folder.File("dest"));
    ASSERT_TRUE(QFile::link(folder.File("outside/PackGolden.ini"), folder.File("dest/PackGolden.ini")));
    TArchiveFile file;
    file.Options.x = 1;
    file.SetFileName(Package("skin.pma"));
    file.SetArchiverType(TArchiverType::atLha);
    file.Options.jx = QStringList({"PackGolden/*"});
    ASSERT_EQ(file.Extract(folder.File("dest"), {}), 0) << file.Output().toStdString();
    EXPECT_FALSE(QFileInfo(folder.File("dest/PackGolden.ini")).isSymLink());
    EXPECT_TRUE(folder.Read("dest/PackGolden.ini").startsWith("[Pulsmir2_Skin]"));
    EXPECT_EQ(folder.Read("outside/PackGolden.ini"), "outside");

    // A folder of the package that is a link elsewhere: nothing is written at all.
    QDir().mkpath(folder.File("dest2"));
    ASSERT_TRUE(QFile::link(folder.File("outside"), folder.File("dest2/PackGolden")));
    file.Options.jx.clear();
    EXPECT_NE(file.Extract(folder.File("dest2"), {}), 0);
    EXPECT_TRUE(file.Output().contains("leads through a link"));
    EXPECT_EQ(FilesUnder(folder.File("outside")), QStringList({"PackGolden.ini"}));
    EXPECT_EQ(FilesUnder(folder.File("dest2")), QStringList({"PackGolden"}));
}

TEST(ArchiveLimits, TooManyEntriesOrTooManyBytesAreRefusedBeforeWriting)
{
    TempProgramFolder folder;
    QByteArray many;
    for (int i = 0; i <= 50; ++i)
        many += TarHeader("f" + QByteArray::number(i), 0);
    many += QByteArray(1024, '\0');
    folder.Write("many.tar", many);
    ExtractionRequest request;
    request.Destination = folder.File("out");
    request.Limits.Entries = 50;
    EXPECT_THROW(ArchiveReader::Extract(folder.File("many.tar"), ArchiveFormat::Tar, request),
                 EArchiveRefused);
    EXPECT_FALSE(folder.Exists("out/f0"));
    request.Limits = {};

    QByteArray large = TarHeader("small", 3) + QByteArray("abc").leftJustified(512, '\0') +
                       TarHeader("huge", MaxPackageBytes) + QByteArray(1024, '\0');
    folder.Write("large.tar", large);
    try {
        ArchiveReader::Extract(folder.File("large.tar"), ArchiveFormat::Tar, request);
        FAIL();
    } catch (const EArchiver& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("refused: the package holds more than %1 MiB")
                                   .arg(MaxPackageBytes >> 20));
    }
    EXPECT_FALSE(folder.Exists("out/small"));
}

TEST(ArchiveNames, RefusedNamesAndWildcards)
{
    EXPECT_FALSE(ArchiveReader::RefusalOfName("/etc/passwd").isEmpty());
    EXPECT_FALSE(ArchiveReader::RefusalOfName("C:/x").isEmpty());
    EXPECT_FALSE(ArchiveReader::RefusalOfName("a/../../x").isEmpty());
    EXPECT_TRUE(ArchiveReader::RefusalOfName("a/..b/x").isEmpty());
    EXPECT_TRUE(ArchiveReader::WildcardMatch("*.ini", "Sub/Skin.INI"));
    EXPECT_TRUE(ArchiveReader::WildcardMatch("pma.$$$", "PMA.$$$"));
    EXPECT_FALSE(ArchiveReader::WildcardMatch("pma.$$$", "pmax$$$"));
    EXPECT_TRUE(ArchiveReader::WildcardMatch("a?c", "abc"));
    EXPECT_FALSE(ArchiveReader::WildcardMatch("*.ini", "x.ini.bak"));
}

TEST(ArchiveNames, ANameThatLooksLikeAQtResourceStaysInTheDestination)
{
    // Names that begin with ':' once went to the working folder instead.
    TempProgramFolder folder;
    QByteArray tar = TarHeader(":escaped", 3) + QByteArray("abc").leftJustified(512, '\0') +
                     TarHeader(":folder/:inner", 0) + QByteArray(1024, '\0');
    folder.Write("colon.tar", tar);
    QDir().mkpath(folder.File("work"));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.File("work")));
    ExtractionRequest request;
    request.Destination = folder.File("out");
    request.KeepFolders = true;
    ArchiveReader::Extract(folder.File("colon.tar"), ArchiveFormat::Tar, request);
    request.Destination = folder.File("flat");
    request.KeepFolders = false;
    ArchiveReader::Extract(folder.File("colon.tar"), ArchiveFormat::Tar, request);
    QDir::setCurrent(previous);
    EXPECT_EQ(FilesUnder(folder.File("work")), QStringList());
    EXPECT_EQ(FilesUnder(folder.File("out")), QStringList({":escaped", ":folder/:inner"}));
    EXPECT_EQ(FilesUnder(folder.File("flat")), QStringList({":escaped", ":inner"}));
    EXPECT_EQ(folder.Read("out/:escaped"), "abc");
}
