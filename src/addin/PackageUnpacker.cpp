#include "addin/PackageUnpacker.h"

#include "addin/LibArchiveReading.h"
#include "platform/AtomicFile.h"
#include "platform/ConfinedFolder.h"
#include "platform/StreamFile.h"

#include <QSet>
#include <algorithm>

using namespace LibArchiveReading;

namespace {

QString Mebibytes(qint64 bytes)
{
    return QString::number(bytes / (1024 * 1024)) + QStringLiteral(" MiB");
}

[[noreturn]] void TooLarge(const PackageLimits& limits)
{
    throw EArchiveRefused(
        QStringLiteral("the package holds more than %1").arg(Mebibytes(limits.Bytes)), true);
}

[[noreturn]] void DescriptorTooLarge(const ArchiveEntry& entry, const PackageLimits& limits)
{
    throw EArchiveRefused(QStringLiteral("\"%1\" is larger than %2 KiB")
                              .arg(entry.Name)
                              .arg(limits.DescriptorBytes / 1024),
                          true);
}

// The package as libarchive reads it: counted, limited and stoppable between any two blocks.
struct Source
{
    enum class Stop
    {
        None,
        Cancelled,
        TooLarge,
        Failed
    };

    StreamFile& File;
    UnpackProgress& Progress;
    const PackageLimits& Limits;
    QByteArray Buffer = QByteArray(64 * 1024, Qt::Uninitialized);
    qint64 Total = 0;
    Stop Stopped = Stop::None;

    static la_ssize_t Read(archive*, void* client, const void** block)
    {
        auto& source = *static_cast<Source*>(client);
        const long long read =
            source.File.Read(source.Buffer.data(), source.Buffer.size(), &source.Progress.Cancel);
        if (read < 0) {
            source.Stopped = source.Progress.Cancel ? Stop::Cancelled : Stop::Failed;
            return -1;
        }
        source.Total += read;
        source.Progress.BytesRead = source.Total;
        if (source.Total > source.Limits.Bytes) {
            source.Stopped = Stop::TooLarge;
            return -1;
        }
        *block = source.Buffer.constData();
        return static_cast<la_ssize_t>(read);
    }

    // libarchive gave up: why, as the exception the caller expects.
    [[noreturn]] void Fail(archive* handle) const
    {
        switch (Stopped) {
        case Stop::Cancelled:
            throw EArchiveCancelled();
        case Stop::TooLarge:
            TooLarge(Limits);
        case Stop::Failed:
            throw EArchiveRead(QStringLiteral("cannot read the package: ") + File.Error());
        case Stop::None:
            break;
        }
        throw EArchiver(Reason(handle));
    }
};

bool MatchesAny(const QStringList& patterns, const ArchiveEntry& entry)
{
    const QString base = entry.Name.section(u'/', -1);
    for (const QString& pattern : patterns)
        if (ArchiveReader::WildcardMatch(pattern, entry.Name) ||
            ArchiveReader::WildcardMatch(pattern, base))
            return true;
    return false;
}

bool Wanted(const UnpackRequest& request, const ArchiveEntry& entry)
{
    return (request.Only.isEmpty() || MatchesAny(request.Only, entry)) &&
           !MatchesAny(request.Excluded, entry);
}

bool IsCaptured(const UnpackRequest& request, const ArchiveEntry& entry)
{
    return !request.Captured.isEmpty() && !entry.IsDirectory &&
           entry.Name.section(u'/', -1).compare(request.Captured, Qt::CaseInsensitive) == 0;
}

QString RefusalOf(const UnpackRequest& request, const ArchiveEntry& entry,
                  const std::optional<QByteArray>& captured)
{
    QString refusal = ArchiveReader::RefusalOfName(entry.Name);
    if (refusal.isEmpty() && entry.IsSpecial)
        refusal = QStringLiteral("\"%1\" is a link or a device").arg(entry.Name);
    if (refusal.isEmpty() && entry.Name.count(u'/') >= MaxNameDepth)
        refusal = QStringLiteral("\"%1\" lies more than %2 folders deep")
                      .arg(entry.Name.left(200))
                      .arg(MaxNameDepth);
    if (refusal.isEmpty() && request.Vet)
        refusal = request.Vet(entry, captured ? &*captured : nullptr);
    return refusal;
}

// Reads the data of the current entry block by block; `take` gets each block.
template <typename Take> void ReadData(archive* handle, const Source& source, Take&& take)
{
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        const int status = Lib().read_data_block(handle, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return;
        // A warning here is a checksum that does not match: the data is damaged.
        if (status != ARCHIVE_OK)
            source.Fail(handle);
        take(static_cast<const char*>(block), size);
    }
}

} // namespace

UnpackedPackage Unpack(StreamFile& package, ArchiveFormat format, const UnpackRequest& request,
                       const ConfinedFolder& into, UnpackProgress& progress)
{
    const std::unique_ptr<ArchiveHandle> handle = ArchiveHandle::Make(format);
    if (!handle)
        throw EArchiver(QStringLiteral("cannot read the package"));
    Source source{package, progress, request.Limits};
    progress.PackageSize = package.Size();
    if (Lib().open(handle->get(), &source, nullptr, &Source::Read, nullptr) != ARCHIVE_OK)
        source.Fail(handle->get());

    UnpackedPackage unpacked;
    QSet<QString> written;
    qint64 total = 0;
    archive_entry* header = nullptr;
    for (;;) {
        if (progress.Cancel)
            throw EArchiveCancelled();
        const int status = Lib().next_header(handle->get(), &header);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN)
            source.Fail(handle->get());
        const ArchiveEntry entry = Describe(header);
        unpacked.Names << entry.Name;
        progress.Entries = static_cast<int>(unpacked.Names.size());
        if (unpacked.Names.size() > request.Limits.Entries)
            throw EArchiveRefused(QStringLiteral("the package holds more than %1 entries")
                                      .arg(request.Limits.Entries),
                                  true);

        if (IsCaptured(request, entry)) {
            if (entry.Size > request.Limits.DescriptorBytes)
                DescriptorTooLarge(entry, request.Limits);
            QByteArray data;
            ReadData(handle->get(), source, [&](const char* block, size_t size) {
                if (data.size() + static_cast<qint64>(size) > request.Limits.DescriptorBytes)
                    DescriptorTooLarge(entry, request.Limits);
                data.append(block, static_cast<qsizetype>(size));
            });
            if (!unpacked.Captured)
                unpacked.Captured = data;
            continue;
        }
        if (!Wanted(request, entry))
            continue;
        if (const QString refusal = RefusalOf(request, entry, unpacked.Captured);
            !refusal.isEmpty())
            throw EArchiveRefused(refusal);

        const QString name = request.KeepFolders ? entry.Name : entry.Name.section(u'/', -1);
        try {
            if (entry.IsDirectory) {
                if (request.KeepFolders) {
                    into.MakeFolders(name);
                    unpacked.Folders << name;
                }
                continue;
            }
            // What the header claims already past the limit is not worth decoding; what it
            // does not claim is caught as it is written.
            if (total + std::max<qint64>(entry.Size, 0) > request.Limits.Bytes)
                TooLarge(request.Limits);
            ConfinedFile file = into.CreateFile(name);
            qint64 ofEntry = 0;
            ReadData(handle->get(), source, [&](const char* block, size_t size) {
                total += static_cast<qint64>(size);
                ofEntry += static_cast<qint64>(size);
                if (total > request.Limits.Bytes)
                    TooLarge(request.Limits);
                // LHA data decodes for as long as its stream goes on, whatever the header
                // says; a whole entry never outgrows its claim.
                if (entry.SizeKnown && ofEntry > entry.Size)
                    throw EArchiveRefused(
                        QStringLiteral("\"%1\" decodes to more than its header says")
                            .arg(entry.Name),
                        true);
                file.Write(block, size);
                progress.BytesWritten = total;
            });
            file.Close();
        } catch (const EConfinedPath& e) {
            throw EArchiveRefused(QString::fromUtf8(e.what()));
        } catch (const EFileWriteError& e) {
            throw EArchiveWrite(QString::fromUtf8(e.what()));
        }
        if (written.contains(name))
            unpacked.Files.removeAll(name);
        written.insert(name);
        unpacked.Files << name;
    }
    if (unpacked.Names.isEmpty())
        throw EArchiver(QStringLiteral("the package holds no entries"));
    return unpacked;
}

void PlaceUnpacked(const UnpackedPackage& package, const ConfinedFolder& staging,
                   const ConfinedFolder& target, UnpackProgress& progress, ConfinedFile* journal)
{
    // What lies directly in the target (a skin's ".ini", which the skin menu lists) goes last:
    // a look at the folder meanwhile finds the new add-in either whole or not at all.
    QStringList files = package.Files;
    std::stable_partition(files.begin(), files.end(),
                          [](const QString& name) { return name.contains(u'/'); });
    ConfinedTransfer transfer(staging, target, journal);
    try {
        for (const QString& name : files)
            target.CheckWay(name);
        for (const QString& name : package.Folders)
            transfer.MakeFolders(name);
        for (const QString& name : files) {
            if (progress.Cancel)
                throw EArchiveCancelled();
            transfer.MoveFile(name);
        }
        transfer.Commit();
    } catch (const EConfinedPath& e) {
        transfer.Undo();
        throw EArchiveBlocked(QString::fromUtf8(e.what()));
    } catch (const EFileWriteError& e) {
        transfer.Undo();
        throw EArchiveWrite(QString::fromUtf8(e.what()));
    } catch (...) {
        transfer.Undo();
        throw;
    }
}
