#pragma once

#include <QString>
#include <QStringList>

// A program the desktop session starts at log-in: an XDG autostart entry, the Linux form of a
// shortcut in the Startup folder.
struct AutostartEntry
{
    QString name;    // shown in the session's start-up settings
    QString program; // absolute path
    QStringList arguments;
    QString workingFolder;
    QStringList environment; // NAME=value pairs set for the program
};

// The Exec value of a desktop entry: the program and its arguments quoted as the format wants,
// behind "env" and the variables when there are any.
QString DesktopExecLine(const QString& program, const QStringList& arguments,
                        const QStringList& environment);
// A value of a desktop entry, its backslashes and line ends escaped.
QString DesktopEntryValue(const QString& value);

// $XDG_CONFIG_HOME/autostart, ~/.config/autostart by default.
QString AutostartFolder();

// The text of the .desktop file, with the Exec line quoted as the desktop entry format wants.
QString DesktopEntryText(const AutostartEntry& entry);

// Writes "<folder>/<fileName>" atomically unless it already says exactly this, and leaves a file
// there that cannot be read whole alone; true when it wrote. Throws EFileWriteError.
bool WriteAutostartEntry(const QString& folder, const QString& fileName,
                         const AutostartEntry& entry);
// Deletes "<folder>/<fileName>"; true when it is gone afterwards.
bool RemoveAutostartEntry(const QString& folder, const QString& fileName);
