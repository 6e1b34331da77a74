#pragma once

#include <QString>
#include <QStringList>

// The ".pma" file type the freedesktop way: a MIME package that names "*.pma", a desktop entry
// that opens such files with the program, and that entry as the type's default application.
struct AddinAssociation
{
    QString Program; // absolute path of the executable
    QStringList Environment; // NAME=value pairs the program needs
    QString IconFolder;      // the program's "pulsmir-<size>.png" icons, shown for the type's files
    bool Installed = false;  // the installed copy, not one run from a program folder of its own
};

namespace XdgMimeAssociation {

inline const QString MimeType = QStringLiteral("application/x-pulsmir-addin");
inline const QString DesktopFileName = QStringLiteral("pulsmir-addin.desktop");
// The icon theme's name for the type's icon.
inline const QString IconName = QStringLiteral("application-x-pulsmir-addin");
// The sizes of the program's icons, which the type's icon comes in too.
inline constexpr int IconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QString DataHome();   // $XDG_DATA_HOME, ~/.local/share by default
QString ConfigHome(); // $XDG_CONFIG_HOME, ~/.config by default
QString MimePackageFile();
QString DesktopFile();
QString MimeAppsFile();
// Where the type's icon of one size goes in the user's icon theme.
QString IconFile(int size);

QString MimePackageText();
QString DesktopEntryText(const AddinAssociation& association);

// The association belongs to the installed copy, which a copy run from a program folder of its
// own (a build folder, PULSMIR_HOME) neither takes over nor removes.
enum class Outcome
{
    Done,
    LeftToInstalledCopy
};

// The program the current association's desktop entry names when an installed copy wrote it and
// that copy is still there; empty otherwise.
QString InstalledOwner();

// Writes what is missing or differs, atomically, and refreshes the desktop's caches when it
// changed something. mimeapps.list is edited in place: only the type's line changes. A file
// that cannot be read whole is left as it is. Throws EFileWriteError.
Outcome Register(const AddinAssociation& association);
// Removes what Register wrote and nothing else; throws EFileWriteError naming what stays.
Outcome Unregister(const AddinAssociation& association);

} // namespace XdgMimeAssociation
