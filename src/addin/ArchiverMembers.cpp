#include "addin/ArchiverMembers.h"

#include <QDateTime>

namespace {

// The date and time words of an MS-DOS directory entry.
void SetDosTime(TIndividualInfo& info, std::uint32_t seconds)
{
    const QDateTime when = QDateTime::fromSecsSinceEpoch(seconds);
    const QDate date = when.date();
    const QTime time = when.time();
    info.Date = static_cast<std::uint16_t>(((std::max(date.year(), 1980) - 1980) << 9) |
                                           (date.month() << 5) | date.day());
    info.Time = static_cast<std::uint16_t>((time.hour() << 11) | (time.minute() << 5) |
                                           (time.second() / 2));
}

} // namespace

int TLibArchiver::CheckArchive(const QString& archive, int mode, int extra)
{
    // Mode 2 (and 2 with extra bits) is the full check, every entry's data read and verified.
    const bool full = ((mode + extra) & 3) >= 2;
    return ArchiveReader::IsReadable(archive, m_format, full) ? 1 : 0;
}

int TLibArchiver::FindFirst(const QString& archive, const QString& wildcard, TIndividualInfo& info)
{
    m_found = ArchiveReader::List(archive, m_format);
    m_wildcard = wildcard;
    m_next = 0;
    return FindNext(info);
}

int TLibArchiver::FindNext(TIndividualInfo& info)
{
    while (m_next < m_found.size()) {
        const ArchiveEntry& entry = m_found[m_next++];
        if (!ArchiveReader::WildcardMatch(m_wildcard, entry.Name))
            continue;
        info = {};
        info.OriginalSize = static_cast<std::uint32_t>(entry.Size);
        info.FileName = entry.Name.left(513);
        info.Attribute = entry.IsDirectory ? QStringLiteral("d") : QString();
        SetDosTime(info, entry.ModifiedTime);
        return 0;
    }
    return -1;
}

void TLibArchiver::CloseArchive()
{
    m_found.clear();
    m_next = 0;
}

int TLha32::Extract(const QString& archive, const QString& destination, const QStringList& names,
                    const TArchiverOptions& options)
{
    m_lastCommandLine = BuildCommandLine(QStringLiteral("x"), options, archive, destination, names,
                                         TArchiverOperation::Unpack, false);
    ExtractionRequest request;
    request.Destination = destination;
    request.KeepFolders = options.x != 0;
    request.Only = names;
    request.Excluded = options.jx;
    ArchiveReader::Extract(archive, Format(), request);
    return 0;
}

TArchiverType TTar32::TypeOf(const QString& archive)
{
    switch (ArchiveReader::TarKindOf(archive)) {
    case TarKind::Plain:
        return TArchiverType::atTar;
    case TarKind::Gzip:
        return TArchiverType::atTgz;
    case TarKind::Bzip2:
        return TArchiverType::atBZ2;
    case TarKind::None:
        break;
    }
    return TArchiverType::atNone;
}

int TTar32::CheckArchive(const QString& archive, int mode, int extra)
{
    return TypeOf(archive) == Type() ? TLibArchiver::CheckArchive(archive, mode, extra) : 0;
}

void TMissingArchiver::LoadDLL()
{
    throw EArchiver(m_missing);
}

int TMissingArchiver::Extract(const QString&, const QString&, const QStringList&,
                              const TArchiverOptions&)
{
    throw EArchiver(m_missing);
}

std::unique_ptr<TArchiver> MakeArchiver(TArchiverType type)
{
    switch (type) {
    case TArchiverType::atLha:
        return std::make_unique<TLha32>();
    case TArchiverType::atZip:
        return std::make_unique<TLibArchiver>(type, ArchiveFormat::Zip);
    case TArchiverType::atCab:
        return std::make_unique<TLibArchiver>(type, ArchiveFormat::Cab);
    case TArchiverType::atRar:
        return std::make_unique<TLibArchiver>(type, ArchiveFormat::Rar);
    case TArchiverType::atTar:
    case TArchiverType::atTgz:
    case TArchiverType::atBZ2:
        return std::make_unique<TTar32>(type);
    case TArchiverType::atArj:
        return std::make_unique<TMissingArchiver>(
            type, QString::fromUtf8("この機能の使用には UNARJ32J.DLL が 必要です。"));
    case TArchiverType::atBga:
        return std::make_unique<TMissingArchiver>(
            type, QString::fromUtf8("この機能の使用には BGA32J.DLL が 必要です。"));
    default:
        return nullptr;
    }
}
