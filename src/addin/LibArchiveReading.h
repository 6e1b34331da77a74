#pragma once

#include "addin/ArchiveReader.h"
#include "addin/LibArchive.h"
#include "platform/Utf8Locale.h"

#include <memory>

// What every reader of archives here shares: the loaded library, an open archive handle and
// the decoding of its entries.
namespace LibArchiveReading {

// The library, or EArchiver saying why there is none.
const LibArchive& Lib();

struct ArchiveCloser
{
    void operator()(archive* handle) const { Lib().read_free(handle); }
};

// An archive being read. libarchive turns names into the locale's character set, so the
// reading thread's is UTF-8 for as long as the archive is open.
class ArchiveHandle
{
public:
    // A new handle that reads `format`; null when the library could not make one.
    static std::unique_ptr<ArchiveHandle> Make(ArchiveFormat format);
    archive* get() const { return m_handle.get(); }

private:
    explicit ArchiveHandle(archive* handle) : m_handle(handle) {}
    ScopedUtf8Ctype m_utf8;
    std::unique_ptr<archive, ArchiveCloser> m_handle;
};

// The library's reason for the last failure.
QString Reason(archive* handle);
ArchiveEntry Describe(archive_entry* entry);

} // namespace LibArchiveReading
