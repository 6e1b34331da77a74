#include "addin/DirectoryWatcher.h"

#include "support/EventLoop.h"
#include "support/TempProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

class FolderWatching : public ::testing::Test
{
protected:
    FolderWatching() { folder.Write("Skin/sub/keep", ""); }

    void RunFor(int milliseconds)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < milliseconds)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    TempProgramFolder folder;
    QStringList changes;
};

} // namespace

TEST_F(FolderWatching, ABurstOfCopiesGivesOneChangeAfterTheDelay)
{
    TDirectoryWatcher watcher(folder.File("Skin"));
    watcher.OnChange = [this](QObject*, const QString& directory) { changes << directory; };
    QElapsedTimer sinceLastCopy;
    qint64 longestPause = 0;
    for (int i = 0; i < 20; ++i) {
        if (i > 0)
            longestPause = std::max(longestPause, sinceLastCopy.elapsed());
        folder.Write(QString("Skin/skin%1.ini").arg(i), "[Pulsmir2_Skin]\r\n");
        sinceLastCopy.start();
        RunFor(40);
    }
    // Still within a second of the last copy, unless a loaded machine paused the burst longer.
    if (longestPause < 900 && sinceLastCopy.elapsed() < 900) {
        EXPECT_TRUE(changes.isEmpty());
    }
    EXPECT_TRUE(RunUntil([this] { return !changes.isEmpty(); }, 10000));
    RunFor(300);
    EXPECT_EQ(changes, QStringList({folder.File("Skin")}));
}

TEST_F(FolderWatching, WithoutDelayEveryChangeIsToldAndSubFoldersAreNotWatched)
{
    TDirectoryWatcher watcher(folder.File("Skin"));
    watcher.Delay = false;
    watcher.OnChange = [this](QObject*, const QString& directory) { changes << directory; };
    folder.Write("Skin/sub/inner.ini", "x");
    RunFor(200);
    EXPECT_TRUE(changes.isEmpty());
    folder.Write("Skin/a.ini", "x");
    EXPECT_TRUE(RunUntil([this] { return changes.size() >= 1; }, 10000));
    QFile::remove(folder.File("Skin/a.ini"));
    EXPECT_TRUE(RunUntil([this] { return changes.size() >= 2; }, 10000));
    RunFor(100);
    EXPECT_EQ(changes.size(), 2);

    // The same folder in other letters is not watched anew; another one is.
    watcher.SetDirectory(folder.File("Skin").toUpper());
    EXPECT_EQ(watcher.Directory(), folder.File("Skin"));
    watcher.SetDirectory(folder.File("Skin/sub"));
    folder.Write("Skin/b.ini", "x");
    folder.Write("Skin/sub/c.ini", "x");
    EXPECT_TRUE(RunUntil([this] { return changes.size() >= 3; }, 10000));
    RunFor(100);
    EXPECT_EQ(changes.size(), 3);
    EXPECT_EQ(changes.last(), folder.File("Skin/sub"));
}

TEST_F(FolderWatching, AFolderRemovedAndMadeAgainIsWatchedAgain)
{
    TDirectoryWatcher watcher(folder.File("Skin"));
    watcher.Delay = false;
    watcher.OnChange = [this](QObject*, const QString& directory) { changes << directory; };
    ASSERT_TRUE(QDir(folder.File("Skin")).removeRecursively());
    EXPECT_TRUE(RunUntil([this] { return !changes.isEmpty(); }, 10000));
    RunFor(100);
    changes.clear();
    folder.Write("Skin/a.ini", "x");
    EXPECT_TRUE(RunUntil([this] { return !changes.isEmpty(); }, 10000));
    RunFor(100);
    changes.clear();
    // The new folder's own changes are told too.
    folder.Write("Skin/b.ini", "x");
    EXPECT_TRUE(RunUntil([this] { return !changes.isEmpty(); }, 10000));
}
