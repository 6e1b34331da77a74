#pragma once

#include <QString>
#include <archive.h>
#include <archive_entry.h>

// libarchive, loaded the first time a package is read. The monitor runs all day and installs a
// package now and then; mapped from the start, the library and the compression and XML
// libraries behind it cost about 1 MiB resident for the whole run.
struct LibArchive
{
    // The library of the version built against, loaded once and kept; null when it cannot be
    // loaded, and then LoadError() says why.
    static const LibArchive* Get();
    static QString LoadError();

    decltype(&archive_read_new) read_new;
    decltype(&archive_read_free) read_free;
    decltype(&archive_read_support_format_lha) support_format_lha;
    decltype(&archive_read_support_format_zip) support_format_zip;
    decltype(&archive_read_support_format_cab) support_format_cab;
    decltype(&archive_read_support_format_tar) support_format_tar;
    decltype(&archive_read_support_format_gnutar) support_format_gnutar;
    decltype(&archive_read_support_format_rar) support_format_rar;
    decltype(&archive_read_support_format_rar5) support_format_rar5;
    decltype(&archive_read_support_filter_gzip) support_filter_gzip;
    decltype(&archive_read_support_filter_compress) support_filter_compress;
    decltype(&archive_read_support_filter_bzip2) support_filter_bzip2;
    decltype(&archive_read_set_format_option) set_format_option;
    decltype(&archive_read_open_filename) open_filename;
    decltype(&archive_read_open) open;
    decltype(&archive_read_next_header) next_header;
    decltype(&archive_read_data) read_data;
    decltype(&archive_read_data_block) read_data_block;
    decltype(&archive_error_string) error_string;
    decltype(&archive_filter_code) filter_code;
    decltype(&archive_entry_pathname_utf8) entry_pathname_utf8;
    decltype(&archive_entry_pathname) entry_pathname;
    decltype(&archive_entry_filetype) entry_filetype;
    decltype(&archive_entry_hardlink) entry_hardlink;
    decltype(&archive_entry_size_is_set) entry_size_is_set;
    decltype(&archive_entry_size) entry_size;
    decltype(&archive_entry_mtime) entry_mtime;
    decltype(&archive_entry_perm) entry_perm;
};
