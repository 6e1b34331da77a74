#pragma once

#include "addin/ArchiveReader.h"

#include <QByteArray>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

class ConfinedFile;
class ConfinedFolder;
class StreamFile;

// How far an unpacking has come, read by a progress display on another thread, and its brake.
struct UnpackProgress
{
    std::atomic<qint64> BytesRead{0};
    std::atomic<qint64> BytesWritten{0};
    std::atomic<int> Entries{0};
    std::atomic<qint64> PackageSize{-1}; // -1 when not known beforehand (a pipe)
    std::atomic<bool> Cancel{false};
};

struct UnpackRequest
{
    bool KeepFolders = true;
    QStringList Only;     // wildcards of the entries to write; empty: every entry
    QStringList Excluded; // wildcards of entries left out
    // Entries of this name, in any folder, are kept in memory instead of written; the first one
    // counts.
    QString Captured;
    // Asked at each entry to be written, before any of it is: a refusal, or empty. `captured` is
    // what was kept so far, or null.
    std::function<QString(const ArchiveEntry& entry, const QByteArray* captured)> Vet;
    PackageLimits Limits;
};

struct UnpackedPackage
{
    QStringList Files;   // written, once each, in the order they came
    QStringList Folders; // folders the package names, made even when empty
    QStringList Names;   // every entry's name, in the archive's order
    std::optional<QByteArray> Captured;
};

// Reads the package once, from its first byte to its last, and writes every wanted entry into
// `into` as it comes, its name checked at the moment it is written. Throws EArchiveRefused,
// EArchiveCancelled, EArchiveWrite, or EArchiver for a damaged or unreadable package; what was
// written by then stays in `into` for the caller to remove.
UnpackedPackage Unpack(StreamFile& package, ArchiveFormat format, const UnpackRequest& request,
                       const ConfinedFolder& into, UnpackProgress& progress);

// Moves what Unpack wrote from `staging` to the same names in `target`. The way of every file
// is checked before the first moves, and checked again as each moves; on a refusal, a failed
// move or Cancel, everything moved is put back as it was before it throws (EArchiveBlocked
// when something of the target stands in the way). Each step goes into `journal` first, when
// given, so that a process killed half-way is undone by the next (ConfinedTransfer).
void PlaceUnpacked(const UnpackedPackage& package, const ConfinedFolder& staging,
                   const ConfinedFolder& target, UnpackProgress& progress,
                   ConfinedFile* journal = nullptr);
