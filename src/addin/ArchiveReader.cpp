#include "addin/ArchiveReader.h"

#include "addin/LibArchiveReading.h"
#include "addin/PackageUnpacker.h"
#include "platform/ConfinedFolder.h"
#include "platform/StreamFile.h"

#include <QFile>
#include <QRegularExpression>
#include <memory>

using namespace LibArchiveReading;

namespace ArchiveReader {

namespace {

std::unique_ptr<ArchiveHandle> Open(const QString& path, ArchiveFormat format)
{
    std::unique_ptr<ArchiveHandle> handle = ArchiveHandle::Make(format);
    if (!handle || Lib().open_filename(handle->get(), QFile::encodeName(path).constData(),
                                       64 * 1024) != ARCHIVE_OK)
        return nullptr;
    return handle;
}

// Where an extraction stages what it writes, inside the destination so that the moves into
// place are renames.
const QString StagingPrefix = QStringLiteral(".pulsmir-unpack-");

} // namespace

bool WildcardMatch(const QString& pattern, const QString& name)
{
    const QString expression = QRegularExpression::anchoredPattern(
        QRegularExpression::escape(pattern)
            .replace(QLatin1String("\\*"), QLatin1String(".*"))
            .replace(QLatin1String("\\?"), QLatin1String(".")));
    return QRegularExpression(expression, QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption)
        .match(name)
        .hasMatch();
}

QString RefusalOfName(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("an entry has no name");
    if (name.startsWith(u'/'))
        return QStringLiteral("\"%1\" is an absolute name").arg(name);
    if (name.size() >= 2 && name[1] == u':' && name[0].isLetter())
        return QStringLiteral("\"%1\" names a drive").arg(name);
    if (name.contains(QChar(0)))
        return QStringLiteral("an entry name holds a NUL");
    for (const QString& part : name.split(u'/'))
        if (part == QLatin1String(".."))
            return QStringLiteral("\"%1\" leads out of the folder").arg(name);
    return {};
}

bool IsReadable(const QString& path, ArchiveFormat format, bool fullCheck)
{
    if (!LibArchive::Get())
        return false;
    const std::unique_ptr<ArchiveHandle> handle = Open(path, format);
    if (!handle)
        return false;
    archive_entry* entry = nullptr;
    int entries = 0;
    for (;;) {
        const int status = Lib().next_header(handle->get(), &entry);
        if (status == ARCHIVE_EOF)
            return entries > 0;
        if (status < ARCHIVE_WARN)
            return false;
        ++entries;
        // Skipping would not decompress, so only reading the data verifies it.
        if (fullCheck) {
            char buffer[16384];
            la_ssize_t read = 0;
            while ((read = Lib().read_data(handle->get(), buffer, sizeof buffer)) > 0) {
            }
            if (read < 0)
                return false;
        }
    }
}

TarKind TarKindOf(const QString& path)
{
    if (!LibArchive::Get())
        return TarKind::None;
    const std::unique_ptr<ArchiveHandle> handle = Open(path, ArchiveFormat::Tar);
    archive_entry* entry = nullptr;
    if (!handle || Lib().next_header(handle->get(), &entry) < ARCHIVE_WARN)
        return TarKind::None;
    switch (Lib().filter_code(handle->get(), 0)) {
    case ARCHIVE_FILTER_NONE:
        return TarKind::Plain;
    case ARCHIVE_FILTER_BZIP2:
        return TarKind::Bzip2;
    default:
        return TarKind::Gzip;
    }
}

std::vector<ArchiveEntry> List(const QString& path, ArchiveFormat format)
{
    const std::unique_ptr<ArchiveHandle> handle = Open(path, format);
    if (!handle)
        throw EArchiver(QStringLiteral("cannot read \"%1\" as an archive").arg(path));
    std::vector<ArchiveEntry> entries;
    archive_entry* entry = nullptr;
    qint64 total = 0;
    for (;;) {
        const int status = Lib().next_header(handle->get(), &entry);
        if (status == ARCHIVE_EOF)
            return entries;
        if (status < ARCHIVE_WARN)
            throw EArchiver(Reason(handle->get()));
        entries.push_back(Describe(entry));
        // Told by the headers alone, before the data of a huge entry is passed over.
        total += std::max<qint64>(entries.back().Size, 0);
        if (total > MaxPackageBytes)
            throw EArchiveRefused(QStringLiteral("the package holds more than %1 MiB")
                                      .arg(MaxPackageBytes / (1024 * 1024)),
                                  true);
        if (static_cast<int>(entries.size()) > MaxPackageEntries)
            throw EArchiveRefused(
                QStringLiteral("the package holds more than %1 entries").arg(MaxPackageEntries),
                true);
    }
}

void Extract(const QString& path, ArchiveFormat format, const ExtractionRequest& request)
{
    StreamFile package;
    if (!package.Open(path))
        throw EArchiver(QStringLiteral("cannot read \"%1\" as an archive").arg(path));
    ConfinedFolder destination = [&] {
        try {
            return ConfinedFolder::Open(request.Destination, true);
        } catch (const EConfinedPath& e) {
            throw EArchiveWrite(QString::fromUtf8(e.what()));
        }
    }();
    ConfinedFolder staging = destination.MakeTemporary(StagingPrefix);
    UnpackRequest unpack;
    unpack.KeepFolders = request.KeepFolders;
    unpack.Only = request.Only;
    unpack.Excluded = request.Excluded;
    unpack.Limits = request.Limits;
    UnpackProgress progress;
    try {
        PlaceUnpacked(Unpack(package, format, unpack, staging, progress), staging, destination,
                      progress);
    } catch (...) {
        staging.RemoveAll();
        throw;
    }
    staging.RemoveAll();
}

} // namespace ArchiveReader
