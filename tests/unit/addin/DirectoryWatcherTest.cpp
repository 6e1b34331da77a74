#include "addin/DirectoryWatcher.h"

#include "support/TempProgramFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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
    for (int i = 0; i < 20; ++i) {
        folder.Write(QString("Skin/skin%1.ini").arg(i), "[Pulsmir2_Skin]\r\n");
        RunFor(40);
    }
    EXPECT_TRUE(changes.isEmpty()); // still within a second of the last copy
    RunFor(1300);
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
    RunFor(200);
    EXPECT_EQ(changes.size(), 1);
    QFile::remove(folder.File("Skin/a.ini"));
    RunFor(200);
    EXPECT_EQ(changes.size(), 2);

    // The same folder in other letters is not watched anew; another one is.
    watcher.SetDirectory(folder.File("Skin").toUpper());
    EXPECT_EQ(watcher.Directory(), folder.File("Skin"));
    watcher.SetDirectory(folder.File("Skin/sub"));
    folder.Write("Skin/b.ini", "x");
    folder.Write("Skin/sub/c.ini", "x");
    RunFor(200);
    EXPECT_EQ(changes.size(), 3);
    EXPECT_EQ(changes.last(), folder.File("Skin/sub"));
}
