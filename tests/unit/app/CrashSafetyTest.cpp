// Kills a process with SIGKILL at random moments while it writes the files the program keeps
// (its settings, its autostart entry and the file association of add-in packages), and checks
// that every file is always one whole version or the other.
#include "app/SettingsFile.h"
#include "platform/XdgAutostart.h"
#include "platform/XdgMimeAssociation.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int Kills = 300;

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
                            {QStringLiteral("Pulsmir"), QStringLiteral("/opt/pulsmir/pulsmir"),
                             {QStringLiteral("/D:%1").arg(version)}, QStringLiteral("/opt"), {}});
        XdgMimeAssociation::Register(
            {QStringLiteral("/opt/pulsmir-%1/pulsmir").arg(version), {}});
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

    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> delayUs(0, 20000);
    int writesSeen = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int version = 1;; version ^= 1)
                writes.Write(version);
        }
        usleep(static_cast<useconds_t>(delayUs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself";

        const auto now = writes.Contents();
        for (const QString& file : writes.Files()) {
            const QByteArray& text = now.at(file);
            ASSERT_TRUE(text == first.at(file) || text == second.at(file))
                << "after kill " << kill << ", " << file.toStdString() << " is torn: "
                << text.size() << " bytes";
        }
        if (now != first)
            ++writesSeen;
    }
    // The kills fell while writes were under way, not only before the first one began.
    EXPECT_GT(writesSeen, Kills / 10);
}
