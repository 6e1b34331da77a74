#include "platform/AppPaths.h"

#include "platform/FolderListing.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString CleanFolder(const QString& folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

QString XdgHome(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QDir::homePath() + fallback : value;
}

} // namespace

AppPaths::AppPaths(QString programFolder, QString executableFolder)
    : m_programFolder(CleanFolder(programFolder)), m_settingsFolder(m_programFolder),
      m_executableFolder(CleanFolder(executableFolder))
{}

AppPaths AppPaths::Installed(QString userDataFolder, QString settingsFolder,
                             QString executableFolder, QStringList sharedFolders)
{
    AppPaths paths;
    paths.m_installed = true;
    paths.m_programFolder = CleanFolder(userDataFolder);
    paths.m_settingsFolder = CleanFolder(settingsFolder);
    paths.m_executableFolder = CleanFolder(executableFolder);
    for (const QString& shared : sharedFolders) {
        const QString folder = CleanFolder(shared);
        if (!paths.m_sharedFolders.contains(folder))
            paths.m_sharedFolders << folder;
    }
    return paths;
}

bool AppPaths::HoldsProgramData(const QString& folder)
{
    const QDir dir(folder);
    return QFileInfo(dir.filePath(QStringLiteral("Skin"))).isDir() ||
           !EntriesWithSuffix(dir, u".lng", QDir::Files).isEmpty();
}

AppPaths AppPaths::FromEnvironment(const QString& executableFolder,
                                   const QString& installedDataFolder)
{
    const QString home = qEnvironmentVariable("PULSMIR_HOME");
    if (!home.isEmpty())
        return AppPaths(home, executableFolder);
    if (HoldsProgramData(executableFolder))
        return AppPaths(executableFolder, executableFolder);
    QStringList shared{QDir(executableFolder).filePath(QStringLiteral("../share/pulsmir"))};
    if (!installedDataFolder.isEmpty())
        shared << installedDataFolder;
    return Installed(XdgHome("XDG_DATA_HOME", QStringLiteral("/.local/share")) +
                         QStringLiteral("/pulsmir"),
                     XdgHome("XDG_CONFIG_HOME", QStringLiteral("/.config")) + QStringLiteral("/pulsmir"),
                     executableFolder, shared);
}

QStringList AppPaths::DataFolders() const
{
    return QStringList{m_programFolder} + m_sharedFolders;
}

QString AppPaths::File(const QString& name) const
{
    return m_programFolder + QLatin1Char('/') + name;
}

QString AppPaths::ReadFile(const QString& name) const
{
    for (const QString& folder : DataFolders()) {
        const QString path = folder + QLatin1Char('/') + name;
        if (QFileInfo::exists(path))
            return path;
    }
    return File(name);
}

QString AppPaths::SettingsFile(const QString& name) const
{
    return m_settingsFolder + QLatin1Char('/') + name;
}

QStringList AppPaths::SkinFolders() const
{
    QStringList folders;
    for (const QString& folder : DataFolders())
        folders << folder + QStringLiteral("/Skin");
    return folders;
}

QString AppPaths::ProgramFile() const
{
    return m_executableFolder + QStringLiteral("/pulsmir");
}

QString AppPaths::LauncherFile() const
{
    const QString beside = m_executableFolder + QStringLiteral("/PlsmDelay");
    if (!m_installed || QFileInfo::exists(beside))
        return beside;
    return CleanFolder(m_executableFolder + QStringLiteral("/../libexec/pulsmir")) +
           QStringLiteral("/PlsmDelay");
}
