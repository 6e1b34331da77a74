#pragma once

#include <QString>

// Where the program's files live. The program folder holds every file the program reads or
// writes (settings, log, skins, language files, scripts, pictures); it is the executable's
// folder unless PULSMIR_HOME names another. Handed down to every part that needs a file.
class AppPaths
{
public:
    AppPaths(QString programFolder, QString executableFolder);

    // PULSMIR_HOME when set and not empty, else the executable's folder.
    static AppPaths FromEnvironment(const QString& executableFolder);

    const QString& ProgramFolder() const { return m_programFolder; }
    const QString& ExecutableFolder() const { return m_executableFolder; }

    // A file or folder of the program folder, by its name relative to it.
    QString File(const QString& name) const;
    QString SkinFolder() const { return File(QStringLiteral("Skin")); }
    QString DebugLogFile() const { return File(QStringLiteral("Debug.log")); }

private:
    QString m_programFolder;
    QString m_executableFolder;
};
