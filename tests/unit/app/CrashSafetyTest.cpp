// Kills a process with SIGKILL at random moments while it writes the files the program keeps
// (its settings, its autostart entry and the file association of add-in packages), and checks
// that every file is always one whole version or the other.
#include "app/SettingsFile.h"
#include "platform/AtomicFile.h"
#include "platform/XdgAutostart.h"
#include "platform/XdgMimeAssociation.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int Kills = 100;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class Writes
{
public:
    explicit Writes(const TempProgramFolder& folder)
        : m_paths(folder.Paths()), m_settingsFile(m_paths, -1)
    {
        qputenv("XDG_CONFIG_HOME", folder.File("config").toUtf8());
        qputenv("XDG_DATA_HOME", folder.File("data").toUtf8());
        // The desktop's cache tools are not what is tested, and a killed writer would leave
        // them running.
        qputenv("PATH", folder.File("no-tools").toUtf8());
    }
    ~Writes()
    {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
        qputenv("PATH", m_path);
    }

    // Writes version 0 or 1 of every file.
    void Write(int version) const
    {
        TSettings settings;
        settings.PosX = 100 + version;
        // Long enough that a write takes more than one system call's worth of time.
        settings.CurrentSkinName = QString(20000, QChar(u'a' + version));
        m_settingsFile.Save(settings);
        WriteAutostartEntry(AutostartFolder(), QStringLiteral("pulsmir.desktop"),
                            {QStringLiteral("Pulsmir"),
                             QStringLiteral("/opt/pulsmir/pulsmir"),
                             {QStringLiteral("/D:%1").arg(version)},
                             QStringLiteral("/opt"),
                             {}});
        XdgMimeAssociation::Register(
            {QStringLiteral("/opt/pulsmir-%1/pulsmir").arg(version), {}, {}});
    }

    QStringList Files() const
    {
        return {m_settingsFile.SavePath(), AutostartFolder() + QStringLiteral("/pulsmir.desktop"),
                XdgMimeAssociation::DesktopFile(), XdgMimeAssociation::MimeAppsFile(),
                XdgMimeAssociation::MimePackageFile()};
    }

    std::map<QString, QByteArray> Contents() const
    {
        std::map<QString, QByteArray> contents;
        for (const QString& file : Files())
            contents[file] = ReadAll(file);
        return contents;
    }

private:
    AppPaths m_paths;
    TSettingsFile m_settingsFile;
    QByteArray m_path = qgetenv("PATH");
};

} // namespace

TEST(CrashSafety, AKilledWriterLeavesEveryFileWholeOldOrNew)
{
    TempProgramFolder folder;
    Writes writes(folder);
    writes.Write(1);
    const auto second = writes.Contents();
    writes.Write(0);
    const auto first = writes.Contents();
    for (const QString& file : writes.Files())
        ASSERT_NE(first.at(file), "<missing>") << file.toStdString();
    ASSERT_NE(first.at(writes.Files()[0]), second.at(writes.Files()[0]));

    // How long one round of writes takes here: each reaches the disk before its rename, so
    // that depends on the disk and the load; the kills fall anywhere within about two rounds.
    QElapsedTimer timer;
    timer.start();
    writes.Write(0);
    const auto roundUs = std::max<qint64>(timer.nsecsElapsed() / 1000, 1000);
    std::mt19937 random(20261209);
    std::uniform_int_distribution<qint64> delayUs(0, 2 * roundUs);
    for (int kill = 0; kill < Kills; ++kill) {
        int progress[2];
        ASSERT_EQ(pipe(progress), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(progress[0]);
            for (int version = 1;; version ^= 1) {
                writes.Write(version);
                // After the first round the kill may come: it falls while writes are under way,
                // never before the first one began.
                if (progress[1] >= 0 && ::write(progress[1], "w", 1) == 1) {
                    ::close(progress[1]);
                    progress[1] = -1;
                }
            }
        }
        ::close(progress[1]);
        char done = 0;
        ASSERT_EQ(::read(progress[0], &done, 1), 1) << "the writer died before its first round";
        ::close(progress[0]);
        usleep(static_cast<useconds_t>(delayUs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the writer ended by itself";

        const auto now = writes.Contents();
        for (const QString& file : writes.Files()) {
            const QByteArray& text = now.at(file);
            ASSERT_TRUE(text == first.at(file) || text == second.at(file))
                << "after kill " << kill << ", " << file.toStdString()
                << " is torn: " << text.size() << " bytes";
        }
    }

    // What the killed writers left behind goes at the next start, and only that.
    QStringList folders;
    for (const QString& file : writes.Files())
        folders << QFileInfo(file).absolutePath();
    folders.removeDuplicates();
    EXPECT_FALSE(SweepUnfinishedWrites(folders).isEmpty());
    for (const QString& folder : folders)
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            EXPECT_FALSE(IsUnfinishedWriteName(name)) << name.toStdString();
    const auto swept = writes.Contents();
    for (const QString& file : writes.Files())
        EXPECT_TRUE(swept.at(file) == first.at(file) || swept.at(file) == second.at(file));
}
