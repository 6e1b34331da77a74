#pragma once

#include <QString>
#include <QStringList>

// The ".pma" file type the freedesktop way: a MIME package that names "*.pma", a desktop entry
// that opens such files with the program, and that entry as the type's default application.
struct AddinAssociation
{
    QString Program; // absolute path of the executable
    QStringList Environment; // NAME=value pairs the program needs
};

namespace XdgMimeAssociation {

inline const QString MimeType = QStringLiteral("application/x-pulsmir-addin");
inline const QString DesktopFileName = QStringLiteral("pulsmir-addin.desktop");

QString DataHome();   // $XDG_DATA_HOME, ~/.local/share by default
QString ConfigHome(); // $XDG_CONFIG_HOME, ~/.config by default
QString MimePackageFile();
QString DesktopFile();
QString MimeAppsFile();

QString MimePackageText();
QString DesktopEntryText(const AddinAssociation& association);

// Writes what is missing or differs, atomically, and refreshes the desktop's caches when it
// changed something. Throws EFileWriteError.
void Register(const AddinAssociation& association);
// Removes what Register wrote and nothing else; false when something could not be removed.
bool Unregister();

} // namespace XdgMimeAssociation
