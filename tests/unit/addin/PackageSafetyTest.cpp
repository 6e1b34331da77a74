// Hostile and oversized packages against the installer: each leaves the program's folders as
// they were, byte for byte.
#include "addin/PackageInstallJob.h"
#include "addin/PmaInst.h"
#include "doubles/RecordingDialogs.h"
#include "platform/ConfinedFolder.h"
#include "support/LhaPackage.h"
#include "support/LogCapture.h"
#include "support/TempProgramFolder.h"
#include "support/TreeSnapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace LhaPackage;

namespace {

// Serves a FIFO: each time a reader opens it, the next content of `contents` (the last one
// for every later open), written whole (or up to `holdBackAfter` bytes, the rest never coming),
// then the end.
class PipeServer
{
public:
    PipeServer(QString path, std::vector<QByteArray> contents, int holdBackAfter = -1)
        : m_path(std::move(path)), m_contents(std::move(contents)), m_holdBackAfter(holdBackAfter)
    {
        EXPECT_EQ(mkfifo(QFile::encodeName(m_path).constData(), 0600), 0);
        // A reader that goes early must not kill the test with SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        m_thread = std::thread([this] { Serve(); });
    }
    ~PipeServer()
    {
        m_stop = true;
        m_thread.join();
    }
    int Opens() const { return m_opens; }

private:
    void Serve()
    {
        while (!m_stop) {
            const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) { // no reader yet
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            const QByteArray& content =
                m_contents[std::min<std::size_t>(m_opens, m_contents.size() - 1)];
            ++m_opens;
            // Held back: the package stops half-way and the reader waits for the rest.
            const qsizetype length = m_holdBackAfter >= 0 ? m_holdBackAfter : content.size();
            for (qsizetype done = 0; done < length;) {
                const ssize_t written = ::write(fd, content.constData() + done, length - done);
                if (written <= 0)
                    break;
                done += written;
            }
            // Until the reader closes its end (or the test ends), so that the next open is the
            // next reader's.
            pollfd gone{fd, 0, 0};
            while (!m_stop && ::poll(&gone, 1, 20) == 0) {
            }
            ::close(fd);
        }
    }

    QString m_path;
    std::vector<QByteArray> m_contents;
    int m_holdBackAfter;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_opens{0};
    std::thread m_thread;
};

class HostilePackages : public ::testing::Test
{
protected:
    bool Install(const QString& package)
    {
        TPmaInst installer(
            program, dialogs, [](const QString&) { return true; }, log.Writer());
        installer.LocalTalkPort = 1; // nothing listens there
        // A language that words the refusals of these cases; the rest stays the program's own.
        installer.Text = [](const QString& code) {
            return code == QLatin1String("R0626") || code == QLatin1String("R0627")
                       ? QStringLiteral("text ") + code
                       : QString();
        };
        installer.Run = [this](const std::shared_ptr<PackageInstallJob>& job) {
            job->Limits = limits;
            if (whileRunning)
                whileRunning(*job);
            job->Run();
            return true;
        };
        return installer.Install(package);
    }

    QString Write(const char* name, const QByteArray& content) const
    {
        scratch.Write(name, content);
        return scratch.File(name);
    }

    QStringList BoxTexts() const
    {
        QStringList texts;
        for (const auto& box : dialogs.boxes)
            texts << box.text;
        return texts;
    }

    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    TempProgramFolder scratch;
    // Three folders down, so that "../../../outside" from its help folder stays in scratch.
    QString program = scratch.File("a/b/c/program");
    RecordingDialogs dialogs;
    LogCapture log;
    PackageLimits limits;
    std::function<void(PackageInstallJob&)> whileRunning;
};

// Padded after its end mark, as some archivers do: a reader knows it has ended without
// waiting for the pipe to close.
QByteArray HelpPackage(const QByteArray& payloadName)
{
    return Stored("pma.$$$", Descriptor("HELP", "Pipe")) + Stored(payloadName, "payload\n") +
           End() + QByteArray(64, '\0');
}

} // namespace

TEST_F(HostilePackages, APipeIsReadOnceSoWhatItServesLaterNeverLands)
{
    QDir().mkpath(program);
    // The first reads see a harmless package; every later one a package whose entry climbs
    // out of the help folder.
    const QByteArray harmless = HelpPackage("page.html");
    const QByteArray hostile = HelpPackage("..\\..\\..\\outside\\evil.txt");
    int opens = 0;
    {
        PipeServer server(scratch.File("served.pma"),
                          {harmless, harmless, harmless, harmless, hostile});
        EXPECT_TRUE(Install(scratch.File("served.pma"))) << BoxTexts().join("\n").toStdString();
        opens = server.Opens();
    }
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(QFile(program + "/help/page.html").size(), 8);
    EXPECT_FALSE(QFileInfo::exists(scratch.File("a/b/outside")));
    EXPECT_FALSE(QFileInfo::exists(scratch.File("a/b/c/outside")));
}

TEST_F(HostilePackages, ACancelledInstallPutsBackWhatItWrote)
{
    QDir().mkpath(program + "/Skin");
    QFile::copy(QStringLiteral(PULSMIR_FIXTURE_DIR "/addin/skin.pma"), scratch.File("skin.pma"));
    QFile packageFile(scratch.File("skin.pma"));
    ASSERT_TRUE(packageFile.open(QIODevice::ReadOnly));
    const QByteArray package = packageFile.readAll();
    const QStringList before = TreeSnapshot(program);
    // The pipe gives most of the package and then waits; Cancel comes while it waits, with
    // the files of the first part already written.
    PipeServer server(scratch.File("slow.pma"), {package},
                      static_cast<int>(package.size() * 3 / 4));
    std::thread canceller;
    whileRunning = [&](PackageInstallJob& job) {
        canceller = std::thread([&job] {
            while (job.Progress().BytesWritten == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            job.Progress().Cancel = true;
        });
    };
    EXPECT_TRUE(Install(scratch.File("slow.pma")));
    canceller.join();
    EXPECT_TRUE(dialogs.boxes.empty()) << BoxTexts().join("\n").toStdString();
    EXPECT_EQ(TreeSnapshot(program), before);
}

TEST_F(HostilePackages, WhatADeadInstallLeftIsSweptWhatOneAtWorkHasIsNot)
{
    QDir().mkpath(program + "/Skin");
    QFile packageFile(QStringLiteral(PULSMIR_FIXTURE_DIR "/addin/skin.pma"));
    ASSERT_TRUE(packageFile.open(QIODevice::ReadOnly));
    const QByteArray package = packageFile.readAll();
    const QStringList before = TreeSnapshot(program);
    // Each reader gets most of the package and then waits for the rest; a pipe of its own
    // each, so that the second never comes before the server has seen the first go.
    const int holdBack = static_cast<int>(package.size() * 3 / 4);
    PipeServer first(scratch.File("first.pma"), {package}, holdBack);
    PipeServer second(scratch.File("second.pma"), {package}, holdBack);
    const auto writing = [&] {
        while (TreeSnapshot(program).filter("PackGolden").isEmpty())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };

    PackageInstallJob atWork(program, scratch.File("first.pma"));
    std::thread worker([&atWork] { atWork.Run(); });
    writing();
    EXPECT_EQ(PackageInstallJob::SweepUnfinished(program), QStringList());
    atWork.Progress().Cancel = true;
    worker.join();
    EXPECT_EQ(TreeSnapshot(program), before);

    const pid_t child = fork();
    ASSERT_GE(child, 0) << "no child process";
    if (child == 0) {
        PackageInstallJob job(program, scratch.File("second.pma"));
        job.Run();
        _exit(0);
    }
    writing();
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_NE(TreeSnapshot(program), before);
    EXPECT_EQ(PackageInstallJob::SweepUnfinished(program).size(), 1);
    EXPECT_EQ(TreeSnapshot(program), before);
}

TEST(InstallJournal, AMoveKilledHalfWayIsUndoneFromItsJournalAndAFinishedOneIsKept)
{
    TempProgramFolder folder;
    folder.Write("to/Old.ini", "old ini");
    folder.Write("to/Old/a.png", "old a");
    const QStringList before = TreeSnapshot(folder.File("to"));
    const auto moveAll = [&](bool commit) {
        folder.Write("from/Old.ini", "new ini");
        folder.Write("from/Old/a.png", "new a");
        folder.Write("from/Old/b.png", "new b");
        folder.Write("from/New/c.png", "new c");
        const ConfinedFolder from = ConfinedFolder::Open(folder.File("from"), false);
        const ConfinedFolder to = ConfinedFolder::Open(folder.File("to"), false);
        const ConfinedFolder side = ConfinedFolder::Open(folder.File("side"), true);
        {
            ConfinedFile journal = side.CreateFile("journal");
            ConfinedTransfer transfer(from, to, &journal);
            for (const char* name : {"Old/a.png", "Old/b.png", "New/c.png", "Old.ini"})
                transfer.MoveFile(name);
            if (commit)
                transfer.Commit();
            // Left without an undo, as by a process killed here.
        }
        ConfinedTransfer::UndoJournal(from, to, side.ReadFile("journal", 1 << 20));
    };
    moveAll(false);
    EXPECT_EQ(TreeSnapshot(folder.File("to")), before);
    moveAll(true);
    EXPECT_EQ(folder.Read("to/Old/a.png"), "new a");
    EXPECT_EQ(folder.Read("to/New/c.png"), "new c");
}

TEST_F(HostilePackages, AResourcePackageBringsResourcesOnly)
{
    QDir().mkpath(program);
    const QByteArray program0755 = "#!/bin/sh\necho the program\n";
    scratch.Write("a/b/c/program/pulsmir", program0755);
    QFile::setPermissions(program + "/pulsmir",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    scratch.Write("a/b/c/program/Pulsmir.ini", "[Pulsmir2]\r\nCurrentSkinName=Golden\r\n");
    scratch.Write("a/b/c/program/Debug.log", "log\r\n");
    scratch.Write("a/b/c/program/sstp.ini", "[Start]\r\n");
    const QStringList before = TreeSnapshot(program);
    const QByteArray descriptor = Stored("pma.$$$", Descriptor("RES", "Takeover"));

    // Each alone, and all together as the attack came: refused before anything is written.
    const std::pair<const char*, QByteArray> forbidden[] = {
        {"pulsmir", StoredWithMode("pulsmir", "evil", 0100755)},
        {"PlsmDelay", Stored("PlsmDelay", "evil")},
        {"Pulsmir.ini", Stored("Pulsmir.ini", "[Pulsmir2]\r\n")},
        {"Pulsmir_1.ini", Stored("Pulsmir_1.ini", "[Pulsmir2]\r\n")},
        {"Debug.log", Stored("Debug.log", "")},
        {"rl9.prs", StoredWithMode("rl9.prs", "a picture that runs", 0100775)},
    };
    QByteArray together = descriptor + Stored("sstp.ini", "[Start]\r\nevil\r\n");
    for (const auto& [name, entry] : forbidden) {
        together += entry;
        dialogs.boxes.clear();
        EXPECT_FALSE(
            Install(Write("one.pma", descriptor + Stored("rl8.prs", "fine") + entry + End())))
            << name;
        ASSERT_EQ(BoxTexts().size(), 1) << name;
        EXPECT_EQ(BoxTexts()[0].section("\r\n", 0, 0), "text R0626") << name;
        EXPECT_TRUE(BoxTexts()[0].contains(QString::fromLatin1(name))) << name;
        EXPECT_EQ(TreeSnapshot(program), before) << name;
    }
    dialogs.boxes.clear();
    EXPECT_FALSE(Install(Write("all.pma", together + End())));
    EXPECT_EQ(BoxTexts().size(), 1);
    EXPECT_EQ(TreeSnapshot(program), before);

    // The descriptor last: what came before it is judged once it has come.
    dialogs.boxes.clear();
    EXPECT_FALSE(Install(Write("late.pma", Stored("pulsmir", "evil") + descriptor + End())));
    EXPECT_EQ(BoxTexts().value(0).section("\r\n", 0, 0), "text R0626");
    EXPECT_EQ(TreeSnapshot(program), before);

    // What a resource package is for.
    dialogs.boxes.clear();
    ASSERT_TRUE(Install(Write("good.pma", descriptor + Stored("Klingon.lng", "[LANGUAGE]\r\n") +
                                              Stored("rl9.prs", "picture") +
                                              Stored("sounds\\start.wav", "RIFF") +
                                              Stored("icons/a.ico", "icon") +
                                              Stored("SSTP.ini", "[Start]\r\nnew\r\n") + End())))
        << BoxTexts().join("\n").toStdString();
    EXPECT_EQ(BoxTexts(), QStringList({"Add-in \"Takeover\" installation was successful."}));
    EXPECT_TRUE(QFileInfo::exists(program + "/Klingon.lng"));
    EXPECT_TRUE(QFileInfo::exists(program + "/sounds/start.wav"));
    EXPECT_TRUE(QFileInfo::exists(program + "/icons/a.ico"));
    EXPECT_FALSE(QFileInfo(program + "/rl9.prs").isExecutable());
}

TEST_F(HostilePackages, PackagesPastALimitAreRefusedAndLeaveNothing)
{
    QDir().mkpath(program + "/Skin");
    scratch.Write("a/b/c/program/Skin/Old.ini", "[Pulsmir2_Skin]\r\n");
    const QStringList before = TreeSnapshot(program);
    const QByteArray skin = Stored("pma.$$$", Descriptor("SKIN", "Big"));

    // A few KiB that decode to 8 GiB, whose headers claim a few bytes: held to what is
    // written; and the same claiming what it holds: refused on its header.
    const QByteArray bomb = skin + RepeatedByte("Bomb/a.png", 'A', 4LL << 30, 1000) +
                            RepeatedByte("Bomb/b.png", 'B', 4LL << 30, 1000) + End();
    EXPECT_LT(bomb.size(), 4096);
    EXPECT_FALSE(Install(Write("bomb.pma", bomb)));
    EXPECT_EQ(BoxTexts().value(0).section("\r\n", 0, 0), "text R0627");
    EXPECT_EQ(TreeSnapshot(program), before);
    dialogs.boxes.clear();
    EXPECT_FALSE(
        Install(Write("honest.pma", skin + RepeatedByte("Bomb/a.png", 'A', 0xFFFFFFFFLL) + End())));
    EXPECT_EQ(BoxTexts().value(0).section("\r\n", 0, 0), "text R0627");
    EXPECT_EQ(TreeSnapshot(program), before);

    // A descriptor of 450 MiB.
    dialogs.boxes.clear();
    EXPECT_FALSE(
        Install(Write("descriptor.pma", RepeatedByte("pma.$$$", ' ', 450LL << 20) + End())));
    EXPECT_EQ(BoxTexts().value(0).section("\r\n", 0, 0), "text R0627");
    EXPECT_EQ(TreeSnapshot(program), before);
    dialogs.boxes.clear();
    EXPECT_FALSE(
        Install(Write("descriptor.pma", RepeatedByte("pma.$$$", ' ', 450LL << 20, 100) + End())));
    EXPECT_EQ(BoxTexts().value(0).section("\r\n", 0, 0), "text R0627");
    EXPECT_EQ(TreeSnapshot(program), before);

    // Entries each within the limit that add up past it: what the first wrote is removed.
    dialogs.boxes.clear();
    limits.Bytes = 3 << 20;
    EXPECT_FALSE(Install(Write("sum.pma", skin + RepeatedByte("Big/1.png", 1, 2 << 20) +
                                              RepeatedByte("Big/2.png", 2, 2 << 20) + End())));
    EXPECT_EQ(BoxTexts().value(0).section("\r\n", 0, 0), "text R0627");
    EXPECT_EQ(TreeSnapshot(program), before);

    dialogs.boxes.clear();
    limits = {};
    limits.Entries = 50;
    QByteArray many = skin;
    for (int i = 0; i < 60; ++i)
        many += Stored("Many/" + QByteArray::number(i) + ".png", "x");
    EXPECT_FALSE(Install(Write("many.pma", many + End())));
    EXPECT_EQ(BoxTexts().value(0).section("\r\n", 0, 0), "text R0627");
    EXPECT_EQ(TreeSnapshot(program), before);
}

TEST_F(HostilePackages, ALegitimatePackageOf9999FilesInstalls)
{
    QByteArray package = Stored("pma.$$$", Descriptor("SKIN", "Many")) +
                         Stored("Many.ini", "[Pulsmir2_Skin]\r\nSkinName=Many\r\n");
    for (int i = 0; i < 9997; ++i)
        package += Stored("Many\\" + QByteArray::number(i) + ".png", QByteArray::number(i));
    ASSERT_TRUE(Install(Write("many.pma", package + End()))) << BoxTexts().join("\n").toStdString();
    EXPECT_EQ(QDir(program + "/Skin/Many").count() - 2, 9997u);
    EXPECT_EQ(QFile(program + "/Skin/Many/9996.png").size(), 4);
    // Nothing of the install is left beside the payload.
    EXPECT_EQ(QDir(program).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"Skin"}));
}

TEST_F(HostilePackages, DecodedRunsComeOutWhole)
{
    // The generator itself: a run decodes to its bytes and its checksum holds.
    QByteArray package = Stored("pma.$$$", Descriptor("HELP", "Runs")) +
                         RepeatedByte("run.bin", 'z', 40'000'000) + End();
    PackageInstallJob job(program, Write("run.pma", package));
    job.Run();
    ASSERT_EQ(job.Result().Outcome, InstallOutcome::Installed) << job.Result().Detail.toStdString();
    QFile run(program + "/help/run.bin");
    ASSERT_TRUE(run.open(QIODevice::ReadOnly));
    EXPECT_EQ(run.size(), 40'000'000);
    EXPECT_EQ(run.read(4), "zzzz");
    run.seek(39'999'996);
    EXPECT_EQ(run.read(4), "zzzz");
}

TEST(ArchiveLimits, AnEntryWithoutASizeIsStoppedOnTheBytesWritten)
{
    // zip writes a stream from its standard input without the size in the entry's header.
    TempProgramFolder folder;
    QProcess zip;
    zip.setWorkingDirectory(folder.Path());
    zip.start("sh", {"-c", "head -c 3000000 /dev/zero | zip -q -X stream.zip -"});
    ASSERT_TRUE(zip.waitForFinished(60000));
    ASSERT_EQ(zip.exitCode(), 0) << zip.readAllStandardError().toStdString();
    ExtractionRequest request;
    request.Destination = folder.File("out");
    request.Limits.Bytes = 1 << 20;
    try {
        ArchiveReader::Extract(folder.File("stream.zip"), ArchiveFormat::Zip, request);
        FAIL() << "extracted past the limit";
    } catch (const EArchiveRefused& e) {
        EXPECT_TRUE(e.Limit);
    }
    EXPECT_EQ(
        QDir(folder.File("out")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList());
    // Within the limit the same stream comes out whole.
    request.Limits.Bytes = 4 << 20;
    ArchiveReader::Extract(folder.File("stream.zip"), ArchiveFormat::Zip, request);
    EXPECT_EQ(QFileInfo(folder.File("out/-")).size(), 3000000);
}
