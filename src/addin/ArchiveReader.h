#pragma once

#include "addin/Archiver.h"

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
    QString Name;                   // decoded, "/" between folders
    qint64 Size = 0;                // as the header claims it
    bool SizeKnown = false;         // the header claims one at all
    std::uint32_t ModifiedTime = 0; // seconds since 1970
    bool IsDirectory = false;
    bool IsRegularFile = false;
    // A link, a device or a FIFO: nothing a package may hold.
    bool IsSpecial = false;
    std::uint32_t Permissions = 0; // as stored, 0 when the archiver kept none
};

// Limits no real package comes near, held on the bytes as they are read and written: a few
// KiB of package can claim, or decode to, gigabytes.
inline constexpr qint64 MaxPackageBytes = 256LL * 1024 * 1024; // read, and written
inline constexpr int MaxPackageEntries = 10000;
inline constexpr qint64 MaxDescriptorBytes = 64 * 1024;
inline constexpr int MaxNameDepth = 32; // folders in an entry's name

struct PackageLimits
{
    qint64 Bytes = MaxPackageBytes;
    int Entries = MaxPackageEntries;
    qint64 DescriptorBytes = MaxDescriptorBytes;
};

// What an extraction writes and what it leaves alone.
struct ExtractionRequest
{
    QString Destination;
    bool KeepFolders = true;
    QStringList Only;     // wildcards of the entries to extract; empty: every entry
    QStringList Excluded; // wildcards of entries left out
    PackageLimits Limits = {};
};

// The package was refused for what it holds; the message begins "refused: ". `Limit` when it
// went past one of the limits above.
class EArchiveRefused : public EArchiver
{
public:
    explicit EArchiveRefused(const QString& why, bool limit = false)
        : EArchiver(QStringLiteral("refused: ") + why), Limit(limit)
    {}
    bool Limit;
};

// Something of the destination stands where the package's files go: a link on their way, a
// file where a folder belongs or the other way round.
class EArchiveBlocked : public EArchiveRefused
{
public:
    using EArchiveRefused::EArchiveRefused;
};

// The package itself could not be read (it went away, an input/output error).
class EArchiveRead : public EArchiver
{
public:
    using EArchiver::EArchiver;
};

// Stopped on request.
class EArchiveCancelled : public EArchiver
{
public:
    EArchiveCancelled() : EArchiver(QStringLiteral("cancelled")) {}
};

// A file of the package could not be written (a full disk, a read-only folder).
class EArchiveWrite : public EArchiver
{
public:
    using EArchiver::EArchiver;
};

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

// Extracts the entries the request names, reading the archive once: each entry is written into
// a private folder in the destination as it comes, and only a whole, acceptable package is then
// moved into place. A special entry, a name that leads outside, a folder of the destination
// that is a link, or a limit refuses the package and leaves the destination as it was; an
// existing link where a file goes is replaced, never followed. Throws EArchiver (or one of the
// kinds above) with the reason.
void Extract(const QString& path, ArchiveFormat format, const ExtractionRequest& request);

// "*" any run of characters (folders too), "?" one; letters in any case.
bool WildcardMatch(const QString& pattern, const QString& name);

} // namespace ArchiveReader
