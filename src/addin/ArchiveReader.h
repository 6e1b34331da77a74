#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// The formats libarchive is asked to read; each archiver member reads its own.
enum class ArchiveFormat
{
    Lha,
    Zip,
    Cab,
    Tar, // plain, or compressed with gzip, compress or bzip2
    Rar
};

// Which kind of tar archive a file is, by its compression.
enum class TarKind
{
    None, // not a tar archive
    Plain,
    Gzip, // also compress (.Z)
    Bzip2
};

struct ArchiveEntry
{
    QString Name; // decoded, "/" between folders
    qint64 Size = 0;
    std::uint32_t ModifiedTime = 0; // seconds since 1970
    bool IsDirectory = false;
    bool IsRegularFile = false;
    // A link, a device or a FIFO: nothing a package may hold.
    bool IsSpecial = false;
};

// What an extraction writes and what it leaves alone.
struct ExtractionRequest
{
    QString Destination;
    bool KeepFolders = true;
    QStringList Only;     // wildcards of the entries to extract; empty: every entry
    QStringList Excluded; // wildcards of entries left out
};

// Limits that no package gets past, checked before anything is written.
inline constexpr qint64 MaxPackageBytes = 512LL * 1024 * 1024;
inline constexpr int MaxPackageEntries = 10000;

// Archives read through libarchive. Entry names from Windows archivers may be Shift_JIS and use
// "\" between folders; they come out as Unicode with "/".
namespace ArchiveReader {

// True when the file is a whole, readable archive of the format; `fullCheck` also reads every
// entry's data, so checksums are verified.
bool IsReadable(const QString& path, ArchiveFormat format, bool fullCheck);
TarKind TarKindOf(const QString& path);
// Throws EArchiver when the archive cannot be read.
std::vector<ArchiveEntry> List(const QString& path, ArchiveFormat format);

// Why a name may not be written: empty when it is fine. Absolute names, drive letters and ".."
// parts would lead outside the destination.
QString RefusalOfName(const QString& name);

// Extracts the entries the request names. Refuses, writing nothing, when one of them is special
// or has a name that leads outside, or when the archive's entries add up to more than the
// limits; an existing link in the way is replaced, never followed. Throws EArchiver with the
// reason, which begins "refused: " for a refusal.
void Extract(const QString& path, ArchiveFormat format, const ExtractionRequest& request);

// "*" any run of characters (folders too), "?" one; letters in any case.
bool WildcardMatch(const QString& pattern, const QString& name);

} // namespace ArchiveReader
