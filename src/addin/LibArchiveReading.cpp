#include "addin/LibArchiveReading.h"

#include "addin/Archiver.h"
#include "platform/TextDecoding.h"

namespace LibArchiveReading {

namespace {

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

} // namespace

const LibArchive& Lib()
{
    if (const LibArchive* library = LibArchive::Get())
        return *library;
    throw EArchiver(LibArchive::LoadError());
}

std::unique_ptr<ArchiveHandle> ArchiveHandle::Make(ArchiveFormat format)
{
    std::unique_ptr<ArchiveHandle> handle(new ArchiveHandle(Lib().read_new()));
    if (!handle->get())
        return nullptr;
    EnableFormat(handle->get(), format);
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
    described.SizeKnown = Lib().entry_size_is_set(entry);
    described.Size = described.SizeKnown ? Lib().entry_size(entry) : 0;
    described.ModifiedTime = static_cast<std::uint32_t>(Lib().entry_mtime(entry));
    described.Permissions = static_cast<std::uint32_t>(Lib().entry_perm(entry));
    return described;
}

} // namespace LibArchiveReading
