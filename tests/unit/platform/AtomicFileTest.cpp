#include "platform/AtomicFile.h"

#include "platform/ProfileIni.h"
#include "support/IsolatedMount.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// What a save in the child saw, carried back to the test.
struct SaveOutcome
{
    bool Threw;
    char Message[300];
    char FileAfter[200];
    int FilesInFolder; // what a listing shows, the filler not counted
};

const QByteArray OldSettings = "; kept by hand\r\n[Pulsmir2]\r\nVersion=220\r\nPosX=17\r\n";

SaveOutcome Outcome(const QString& folder, const QString& file, const std::function<void()>& save)
{
    SaveOutcome outcome{};
    try {
        save();
    } catch (const EFileWriteError& e) {
        outcome.Threw = true;
        std::strncpy(outcome.Message, e.what(), sizeof outcome.Message - 1);
    }
    QFile after(file);
    if (after.open(QIODevice::ReadOnly))
        std::strncpy(outcome.FileAfter, after.readAll().constData(), sizeof outcome.FileAfter - 1);
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(QStringLiteral(".filler"));
    outcome.FilesInFolder = static_cast<int>(names.size());
    return outcome;
}

// A settings folder on a tmpfs holding the old settings, filled to the last byte.
IsolatedMount FullFolder(const TempProgramFolder& folder)
{
    IsolatedMount mount;
    mount.Folder = QFile::encodeName(folder.Path()).toStdString();
    mount.TmpfsBytes = 256 * 1024;
    mount.FillUp = true;
    mount.Prepare = [&folder] {
        folder.Write("Pulsmir.ini", OldSettings);
    };
    return mount;
}

} // namespace

TEST(AtomicFileOnAFullDisk, FailedSaveKeepsTheOldFileWholeAndLeavesNoTemporaryFile)
{
    TempProgramFolder folder;
    const QString file = folder.File("Pulsmir.ini");
    IsolatedMount mount = FullFolder(folder);
    const std::optional<SaveOutcome> direct = mount.Run<SaveOutcome>([&] {
        return Outcome(folder.Path(), file,
                       [&] { WriteFileAtomically(file, QByteArray(20000, 'x')); });
    });
    if (!direct)
        GTEST_SKIP() << mount.WhyNot;
    EXPECT_TRUE(direct->Threw);
    EXPECT_NE(std::strstr(direct->Message, "Pulsmir.ini"), nullptr) << direct->Message;
    EXPECT_NE(std::strstr(direct->Message, "No space left"), nullptr) << direct->Message;
    EXPECT_EQ(QByteArray(direct->FileAfter), OldSettings);
    EXPECT_EQ(direct->FilesInFolder, 1);

    // The way the settings are saved: read, changed, written back.
    const std::optional<SaveOutcome> profile = FullFolder(folder).Run<SaveOutcome>([&] {
        return Outcome(folder.Path(), file, [&] {
            ProfileIni ini(file);
            ini.WriteInteger("Pulsmir2", "PosX", 18);
            ini.Save();
        });
    });
    ASSERT_TRUE(profile);
    EXPECT_TRUE(profile->Threw);
    EXPECT_EQ(QByteArray(profile->FileAfter), OldSettings);
    EXPECT_EQ(profile->FilesInFolder, 1);
}

TEST(AtomicFileOnAFullDisk, SaveThatFitsStillReplacesTheFile)
{
    // The same small tmpfs with room left: the failure above is the full disk's, not the
    // mount's.
    TempProgramFolder folder;
    const QString file = folder.File("Pulsmir.ini");
    IsolatedMount mount = FullFolder(folder);
    mount.FillUp = false;
    const std::optional<SaveOutcome> saved = mount.Run<SaveOutcome>(
        [&] { return Outcome(folder.Path(), file, [&] { WriteFileAtomically(file, "new"); }); });
    if (!saved)
        GTEST_SKIP() << mount.WhyNot;
    EXPECT_FALSE(saved->Threw) << saved->Message;
    EXPECT_EQ(QByteArray(saved->FileAfter), QByteArray("new"));
    EXPECT_EQ(saved->FilesInFolder, 1);
}

TEST(AtomicFileOnAReadOnlyFolder, SaveFailsAndTheFileStays)
{
    TempProgramFolder folder;
    folder.Write("Pulsmir.ini", OldSettings);
    const QString file = folder.File("Pulsmir.ini");
    IsolatedMount mount;
    mount.Folder = QFile::encodeName(folder.Path()).toStdString();
    mount.ReadOnly = true;
    const std::optional<SaveOutcome> outcome = mount.Run<SaveOutcome>(
        [&] { return Outcome(folder.Path(), file, [&] { WriteFileAtomically(file, "new"); }); });
    if (!outcome)
        GTEST_SKIP() << mount.WhyNot;
    EXPECT_TRUE(outcome->Threw);
    EXPECT_NE(strcasestr(outcome->Message, "read-only"), nullptr) << outcome->Message;
    EXPECT_EQ(QByteArray(outcome->FileAfter), OldSettings);
    EXPECT_EQ(outcome->FilesInFolder, 1);
}

TEST(AtomicFileDescriptors, SaveWithoutAFreeDescriptorFailsAndKeepsTheFile)
{
    TempProgramFolder folder;
    folder.Write("Pulsmir.ini", OldSettings);
    const QString file = folder.File("Pulsmir.ini");
    // A child process of its own: the limit must not touch the test runner.
    IsolatedMount noMounts;
    const std::optional<SaveOutcome> outcome = noMounts.Run<SaveOutcome>([&] {
        // Every descriptor up to the limit taken, as a flood of clients would.
        rlimit limit{64, 64};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        while (::open("/dev/null", O_RDONLY) >= 0) {
        }
        SaveOutcome result{};
        try {
            WriteFileAtomically(file, "new");
        } catch (const EFileWriteError& e) {
            result.Threw = true;
            std::strncpy(result.Message, e.what(), sizeof result.Message - 1);
        }
        return result;
    });
    if (!outcome)
        GTEST_SKIP() << noMounts.WhyNot;
    EXPECT_TRUE(outcome->Threw);
    EXPECT_NE(std::strstr(outcome->Message, "Too many open files"), nullptr) << outcome->Message;
    EXPECT_EQ(folder.Read("Pulsmir.ini"), OldSettings);
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(AtomicFileWrites, FollowsLinksKeepsPermissionsAndDropsAnUncommittedWrite)
{
    TempProgramFolder folder;
    folder.Write("real.ini", "old");
    QFile::setPermissions(folder.File("real.ini"), QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_TRUE(QFile::link(folder.File("real.ini"), folder.File("link.ini")));

    WriteFileAtomically(folder.File("link.ini"), "through the link");
    EXPECT_TRUE(QFileInfo(folder.File("link.ini")).isSymLink());
    EXPECT_EQ(folder.Read("real.ini"), QByteArray("through the link"));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(folder.File("real.ini")) & others, QFile::Permissions());

    QString temporary;
    {
        AtomicFileWriter writer(folder.File("real.ini"));
        temporary = writer.TemporaryPath();
        writer.Write("half");
        EXPECT_TRUE(QFileInfo::exists(temporary));
        EXPECT_TRUE(IsUnfinishedWriteName(QFileInfo(temporary).fileName()));
    }
    EXPECT_FALSE(QFileInfo::exists(temporary));
    EXPECT_EQ(folder.Read("real.ini"), QByteArray("through the link"));

    // A name longer than a temporary name may be still gets its temporary file.
    const QString longName = QString(250, u'n');
    WriteFileAtomically(folder.File(longName), "long");
    EXPECT_EQ(folder.Read(longName), QByteArray("long"));
}

TEST(UnfinishedWrites, SweepRemovesOnlyAbandonedTemporaryFilesOfOurOwn)
{
    TempProgramFolder folder;
    folder.Write("Pulsmir.ini", OldSettings);
    // What a save killed before its rename leaves.
    const QString killed = QStringLiteral(".Pulsmir.ini.pulsmir-save-Ab3dE9");
    folder.Write(killed, "[Pulsmir2]\r\nVers");
    // Names that only look alike, and the user's own files.
    const QStringList others = {QStringLiteral("Pulsmir.ini.pulsmir-save-Ab3dE9"),
                                QStringLiteral(".Pulsmir.ini.pulsmir-save-Ab3dE"),
                                QStringLiteral(".Pulsmir.ini.pulsmir-save-Ab3dE9~"),
                                QStringLiteral(".Pulsmir.ini.pulsmir-save-Ab-dE9"),
                                QStringLiteral("Pulsmir.ini.bak"),
                                QStringLiteral(".hidden")};
    for (const QString& name : others)
        folder.Write(name, "keep");
    folder.Write("sub/.x.pulsmir-save-AAAAAA", "below the folder");

    // A save under way in another process holds its lock and survives.
    AtomicFileWriter live(folder.File("live.ini"));
    live.Write("being written");

    const QStringList removed = SweepUnfinishedWrites({folder.Path(), QString()});
    EXPECT_EQ(removed, QStringList({folder.File(killed)}));
    EXPECT_FALSE(folder.Exists(killed));
    for (const QString& name : others)
        EXPECT_TRUE(folder.Exists(name)) << name.toStdString();
    EXPECT_TRUE(folder.Exists("sub/.x.pulsmir-save-AAAAAA"));
    EXPECT_EQ(folder.Read("Pulsmir.ini"), OldSettings);
    EXPECT_TRUE(QFileInfo::exists(live.TemporaryPath()));

    live.Commit();
    EXPECT_EQ(folder.Read("live.ini"), QByteArray("being written"));
}
