#include "app/StartupShortcut.h"

#include "app/CommandLine.h"
#include "platform/AppPaths.h"

#include <QFileInfo>

QString StartupShortcutName(int targetDrive, const QString& instanceName)
{
    if (!instanceName.isEmpty())
        return NamedInstanceStem(QStringLiteral("Pulsmir"), instanceName) +
               QStringLiteral(".desktop");
    return targetDrive < 0 ? QStringLiteral("Pulsmir.desktop")
                           : QStringLiteral("Pulsmir_%1.desktop").arg(targetDrive);
}

AutostartEntry StartupShortcutEntry(const AppPaths& paths, bool waitOnStartup, int waitTime,
                                    int targetDrive, const QString& instanceName)
{
    AutostartEntry entry;
    entry.name = QStringLiteral("Pulsmir");
    entry.workingFolder = paths.ExecutableFolder();
    const QString launcher = paths.LauncherFile();
    if (waitOnStartup && instanceName.isEmpty() && QFileInfo::exists(launcher)) {
        entry.program = launcher;
        entry.arguments << QString::number(waitTime);
        if (targetDrive >= 0)
            entry.arguments << QString::number(targetDrive);
    } else {
        entry.program = paths.ProgramFile();
        if (targetDrive >= 0)
            entry.arguments << QStringLiteral("/M") << QStringLiteral("/D:%1").arg(targetDrive);
        if (!instanceName.isEmpty())
            entry.arguments << QStringLiteral("--instance") << instanceName;
    }
    entry.environment = ProgramEnvironment(paths);
    return entry;
}

QStringList ProgramEnvironment(const AppPaths& paths)
{
    // A program folder apart from the executable's must follow the program into the session.
    if (!paths.IsInstalled() && paths.ProgramFolder() != paths.ExecutableFolder())
        return {QStringLiteral("PULSMIR_HOME=") + paths.ProgramFolder()};
    return {};
}
