#pragma once

#include <QString>
#include <QStringList>

// Where the program's files live. Portable, one program folder holds every file the program
// reads or writes (settings, log, skins, language files, scripts, pictures): the executable's
// folder, or the folder PULSMIR_HOME names. Installed system-wide (no program data beside the
// executable, no PULSMIR_HOME), the settings go to $XDG_CONFIG_HOME/pulsmir, everything else
// the program writes to $XDG_DATA_HOME/pulsmir, and what it only reads is looked up there first
// and then in the installed share/pulsmir. Handed down to every part that needs a file.
class AppPaths
{
public:
    // Portable.
    AppPaths(QString programFolder, QString executableFolder);
    // Installed: writes under `userDataFolder`, settings in `settingsFolder`, reads from the
    // user's folder first and then from `sharedFolders`.
    static AppPaths Installed(QString userDataFolder, QString settingsFolder,
                              QString executableFolder, QStringList sharedFolders);

    // PULSMIR_HOME when set; else the executable's folder when it holds program data; else
    // installed, with the shared data found beside the executable's prefix (share/pulsmir) or
    // at `installedDataFolder`.
    static AppPaths FromEnvironment(const QString& executableFolder,
                                    const QString& installedDataFolder = {});
    // Program data beside an executable: skins or language files.
    static bool HoldsProgramData(const QString& folder);

    bool IsInstalled() const { return m_installed; }
    // Where the program writes: the program folder, or the user's data folder when installed.
    const QString& ProgramFolder() const { return m_programFolder; }
    const QString& SettingsFolder() const { return m_settingsFolder; }
    const QString& ExecutableFolder() const { return m_executableFolder; }
    // The folders files are read from, in the order they are looked in.
    QStringList DataFolders() const;

    // A file or folder of the program folder, by its name relative to it: where it is written.
    QString File(const QString& name) const;
    // The first of the data folders that has it; else where it would be written.
    QString ReadFile(const QString& name) const;
    QString SettingsFile(const QString& name) const;
    QString SkinFolder() const { return File(QStringLiteral("Skin")); }
    // The user's skins first, then the installed ones.
    QStringList SkinFolders() const;
    QString DebugLogFile() const { return File(QStringLiteral("Debug.log")); }
    // The executables: the monitor beside itself, the delayed launcher beside it or, installed,
    // in libexec.
    QString ProgramFile() const;
    QString LauncherFile() const;

private:
    AppPaths() = default;

    bool m_installed = false;
    QString m_programFolder;
    QString m_settingsFolder;
    QString m_executableFolder;
    QStringList m_sharedFolders;
};
