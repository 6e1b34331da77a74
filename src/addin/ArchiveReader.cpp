#include "addin/ArchiveReader.h"

#include "addin/Archiver.h"
#include "addin/LibArchive.h"
#include "platform/AtomicFile.h"
#include "platform/TextDecoding.h"
#include "platform/Utf8Locale.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <memory>

namespace ArchiveReader {

namespace {

// The library, or EArchiver saying why there is none.
const LibArchive& Lib()
{
    if (const LibArchive* library = LibArchive::Get())
        return *library;
    throw EArchiver(LibArchive::LoadError());
}

struct ArchiveCloser
{
    void operator()(archive* handle) const { Lib().read_free(handle); }
};

// An archive being read. libarchive turns names into the locale's character set, so the
// reading thread's is UTF-8 for as long as the archive is open.
class ArchiveHandle
{
public:
    explicit ArchiveHandle(archive* handle) : m_handle(handle) {}
    archive* get() const { return m_handle.get(); }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    ScopedUtf8Ctype m_utf8;
    std::unique_ptr<archive, ArchiveCloser> m_handle;
};

void EnableFormat(archive* handle, ArchiveFormat format)
{
    switch (format) {
    case ArchiveFormat::Lha:
        // Packages come from Windows: Shift_JIS names, "\" between folders.
        Lib().support_format_lha(handle);
        Lib().set_format_option(handle, "lha", "hdrcharset", "CP932");
        break;
    case ArchiveFormat::Zip:
        Lib().support_format_zip(handle);
        break;
    case ArchiveFormat::Cab:
        Lib().support_format_cab(handle);
        break;
    case ArchiveFormat::Tar:
        Lib().support_format_tar(handle);
        Lib().support_format_gnutar(handle);
        Lib().support_filter_gzip(handle);
        Lib().support_filter_compress(handle);
        Lib().support_filter_bzip2(handle);
        break;
    case ArchiveFormat::Rar:
        Lib().support_format_rar(handle);
        Lib().support_format_rar5(handle);
        break;
    }
}

std::unique_ptr<ArchiveHandle> Open(const QString& path, ArchiveFormat format)
{
    auto handle = std::make_unique<ArchiveHandle>(Lib().read_new());
    if (!*handle)
        return nullptr;
    EnableFormat(handle->get(), format);
    if (Lib().open_filename(handle->get(), QFile::encodeName(path).constData(), 64 * 1024) !=
        ARCHIVE_OK)
        return nullptr;
    return handle;
}

QString Reason(archive* handle)
{
    const char* text = Lib().error_string(handle);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("damaged archive");
}

ArchiveEntry Describe(archive_entry* entry)
{
    ArchiveEntry described;
    // UTF-8 as libarchive converted it; a name it could not convert is read as Shift_JIS.
    const char* utf8 = Lib().entry_pathname_utf8(entry);
    const char* raw = Lib().entry_pathname(entry);
    QString name = utf8 ? QString::fromUtf8(utf8) : DecodeText(QByteArray(raw ? raw : ""));
    // Windows archivers separate folders with "\"; decoded first, as it is also a second byte
    // of many Shift_JIS characters.
    name.replace(u'\\', u'/');
    while (name.startsWith(QLatin1String("./")))
        name.remove(0, 2);
    const mode_t type = Lib().entry_filetype(entry);
    described.IsDirectory = type == AE_IFDIR;
    described.IsRegularFile = type == AE_IFREG && !Lib().entry_hardlink(entry);
    described.IsSpecial = !described.IsDirectory && !described.IsRegularFile;
    if (described.IsDirectory && name.endsWith(u'/'))
        name.chop(1);
    described.Name = name;
    described.Size = Lib().entry_size_is_set(entry) ? Lib().entry_size(entry) : 0;
    described.ModifiedTime = static_cast<std::uint32_t>(Lib().entry_mtime(entry));
    return described;
}

bool MatchesAny(const QStringList& patterns, const ArchiveEntry& entry)
{
    const QString base = entry.Name.section(u'/', -1);
    for (const QString& pattern : patterns)
        if (WildcardMatch(pattern, entry.Name) || WildcardMatch(pattern, base))
            return true;
    return false;
}

bool Wanted(const ExtractionRequest& request, const ArchiveEntry& entry)
{
    return (request.Only.isEmpty() || MatchesAny(request.Only, entry)) &&
           !MatchesAny(request.Excluded, entry);
}

QString TargetOf(const ExtractionRequest& request, const ArchiveEntry& entry)
{
    const QString name = request.KeepFolders ? entry.Name : entry.Name.section(u'/', -1);
    // Joined by hand: QDir::filePath takes a name that starts with ':' for a resource path,
    // which is absolute, and answers it unchanged, so the file would land in the working folder.
    return request.Destination + u'/' + name;
}

// A folder on the way that is a link would carry the file out of the destination.
QString RefusalOfPath(const QString& destination, const QString& target)
{
    const QString relative = QDir(destination).relativeFilePath(target);
    const QStringList parts = relative.split(u'/');
    QString path = destination;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        path += u'/' + parts[i];
        const QFileInfo folder(path);
        if (folder.isSymLink())
            return QStringLiteral("\"%1\" leads through a link").arg(relative);
        if (folder.exists() && !folder.isDir())
            return QStringLiteral("\"%1\" is in the way").arg(path);
    }
    return {};
}

void WriteEntry(archive* handle, const QString& target, qint64& written)
{
    QDir().mkpath(QFileInfo(target).absolutePath());
    // A link where the file goes is replaced by the file, not written through.
    if (QFileInfo(target).isSymLink())
        QFile::remove(target);
    AtomicFileWriter writer(target);
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        const int status = Lib().read_data_block(handle, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN)
            throw EArchiver(Reason(handle));
        written += static_cast<qint64>(size);
        if (written > MaxPackageBytes)
            throw EArchiver(QStringLiteral("the package holds more than 512 MiB"));
        writer.Write(QByteArray::fromRawData(static_cast<const char*>(block),
                                             static_cast<qsizetype>(size)));
    }
    writer.Commit();
}

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
            throw EArchiver(QStringLiteral("refused: the package holds more than 512 MiB"));
        if (static_cast<int>(entries.size()) > MaxPackageEntries)
            throw EArchiver(QStringLiteral("refused: the package holds more than %1 entries")
                                .arg(MaxPackageEntries));
    }
}

void Extract(const QString& path, ArchiveFormat format, const ExtractionRequest& request)
{
    // Everything is checked before the first byte is written.
    const std::vector<ArchiveEntry> entries = List(path, format);
    for (const ArchiveEntry& entry : entries) {
        if (!Wanted(request, entry))
            continue;
        QString refusal = RefusalOfName(entry.Name);
        if (refusal.isEmpty() && entry.IsSpecial)
            refusal = QStringLiteral("\"%1\" is a link or a device").arg(entry.Name);
        if (refusal.isEmpty())
            refusal = RefusalOfPath(request.Destination, TargetOf(request, entry));
        if (!refusal.isEmpty())
            throw EArchiver(QStringLiteral("refused: ") + refusal);
    }

    const std::unique_ptr<ArchiveHandle> handle = Open(path, format);
    if (!handle)
        throw EArchiver(QStringLiteral("cannot read \"%1\" as an archive").arg(path));
    archive_entry* header = nullptr;
    qint64 written = 0;
    for (;;) {
        const int status = Lib().next_header(handle->get(), &header);
        if (status == ARCHIVE_EOF)
            return;
        if (status < ARCHIVE_WARN)
            throw EArchiver(Reason(handle->get()));
        const ArchiveEntry entry = Describe(header);
        if (!Wanted(request, entry))
            continue;
        const QString target = TargetOf(request, entry);
        if (entry.IsDirectory) {
            if (request.KeepFolders)
                QDir().mkpath(target);
            continue;
        }
        try {
            WriteEntry(handle->get(), target, written);
        } catch (const EFileWriteError& e) {
            throw EArchiver(QString::fromUtf8(e.what()));
        }
    }
}

} // namespace ArchiveReader
