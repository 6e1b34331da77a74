#pragma once

#include <QByteArray>
#include <QString>

// Files the program keeps up to date in the user's own folders (the autostart entry, the desktop
// entry, the MIME package, mimeapps.list). The file already there is read whole before anything
// is written: one that cannot be (larger than the cap, not a plain file, unreadable) may hold
// what is not ours to lose, so it is left exactly as it is and the update fails.

// The file's bytes; empty when it is missing. Throws EFileWriteError when it cannot be read whole.
QByteArray ReadForUpdate(const QString& path, qint64 maxBytes);

// Replaces the file atomically unless it already holds exactly `content`, making its folder
// when needed; true when it wrote. Throws EFileWriteError.
bool UpdateFile(const QString& path, const QByteArray& content, qint64 maxBytes);
