#pragma once

#include "platform/XdgAutostart.h"

class AppPaths;

// The autostart entry that starts the program with the desktop session: "Pulsmir.desktop", or
// "Pulsmir_" + digit + ".desktop" for the instance that watches one drive, "Pulsmir_" + NAME +
// ".desktop" for a named one.
QString StartupShortcutName(int targetDrive, const QString& instanceName = {});
// The entry's name in earlier versions, removed whenever a new one is written.
inline const QString OldStartupShortcutName = QStringLiteral("Pulsmir 2.0.desktop");

// What the program needs from its environment when the desktop starts it: the program folder,
// when it is not the executable's.
QStringList ProgramEnvironment(const AppPaths& paths);

// Starts the delayed launcher when asked to wait and the launcher is installed, else the
// program itself; a drive instance passes its digit along. A named instance starts the program
// itself with its name, as the launcher passes on no name.
AutostartEntry StartupShortcutEntry(const AppPaths& paths, bool waitOnStartup, int waitTime,
                                    int targetDrive, const QString& instanceName = {});
