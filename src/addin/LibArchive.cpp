#include "addin/LibArchive.h"

#include "platform/SharedLibrary.h"

namespace {

bool Resolve(SharedLibrary& library, LibArchive& f)
{
    const bool complete =
        library.Resolve("archive_read_new", f.read_new) &&
        library.Resolve("archive_read_free", f.read_free) &&
        library.Resolve("archive_read_support_format_lha", f.support_format_lha) &&
        library.Resolve("archive_read_support_format_zip", f.support_format_zip) &&
        library.Resolve("archive_read_support_format_cab", f.support_format_cab) &&
        library.Resolve("archive_read_support_format_tar", f.support_format_tar) &&
        library.Resolve("archive_read_support_format_gnutar", f.support_format_gnutar) &&
        library.Resolve("archive_read_support_format_rar", f.support_format_rar) &&
        library.Resolve("archive_read_support_format_rar5", f.support_format_rar5) &&
        library.Resolve("archive_read_support_filter_gzip", f.support_filter_gzip) &&
        library.Resolve("archive_read_support_filter_compress", f.support_filter_compress) &&
        library.Resolve("archive_read_support_filter_bzip2", f.support_filter_bzip2) &&
        library.Resolve("archive_read_set_format_option", f.set_format_option) &&
        library.Resolve("archive_read_open_filename", f.open_filename) &&
        library.Resolve("archive_read_open", f.open) &&
        library.Resolve("archive_read_next_header", f.next_header) &&
        library.Resolve("archive_read_data", f.read_data) &&
        library.Resolve("archive_read_data_block", f.read_data_block) &&
        library.Resolve("archive_error_string", f.error_string) &&
        library.Resolve("archive_filter_code", f.filter_code) &&
        library.Resolve("archive_entry_pathname_utf8", f.entry_pathname_utf8) &&
        library.Resolve("archive_entry_pathname", f.entry_pathname) &&
        library.Resolve("archive_entry_filetype", f.entry_filetype) &&
        library.Resolve("archive_entry_hardlink", f.entry_hardlink) &&
        library.Resolve("archive_entry_size_is_set", f.entry_size_is_set) &&
        library.Resolve("archive_entry_size", f.entry_size) &&
        library.Resolve("archive_entry_mtime", f.entry_mtime) &&
        library.Resolve("archive_entry_perm", f.entry_perm);
    return complete;
}

const LoadedFunctions<LibArchive>& Library()
{
    // The soname of the ABI these headers describe.
    static SharedLibrary library("libarchive.so.13");
    static const LoadedFunctions<LibArchive> loaded = LoadFunctions<LibArchive>(library, Resolve);
    return loaded;
}

} // namespace

const LibArchive* LibArchive::Get()
{
    return Library().Get();
}

QString LibArchive::LoadError()
{
    return Library().Error;
}
