#include "skin/LibJpeg.h"

#include "platform/SharedLibrary.h"

#include <string>

namespace {

bool Resolve(SharedLibrary& library, LibJpeg& f)
{
    return library.Resolve("jpeg_std_error", f.std_error) &&
           library.Resolve("jpeg_CreateDecompress", f.CreateDecompress) &&
           library.Resolve("jpeg_mem_src", f.mem_src) &&
           library.Resolve("jpeg_read_header", f.read_header) &&
           library.Resolve("jpeg_start_decompress", f.start_decompress) &&
           library.Resolve("jpeg_read_scanlines", f.read_scanlines) &&
           library.Resolve("jpeg_finish_decompress", f.finish_decompress) &&
           library.Resolve("jpeg_destroy_decompress", f.destroy_decompress);
}

// The library of the interface the headers describe: libjpeg.so.62 for version 6b's, .8 for
// version 8's, and so on.
std::string Soname()
{
    constexpr int version = JPEG_LIB_VERSION;
    return "libjpeg.so." + std::to_string(version < 70 ? version : version / 10);
}

const LoadedFunctions<LibJpeg>& Library()
{
    static SharedLibrary library(Soname().c_str());
    static const LoadedFunctions<LibJpeg> loaded = LoadFunctions<LibJpeg>(library, Resolve);
    return loaded;
}

} // namespace

const LibJpeg* LibJpeg::Get()
{
    return Library().Get();
}

QString LibJpeg::LoadError()
{
    return Library().Error;
}
