#include "platform/linux/LibCurl.h"

#include "platform/SharedLibrary.h"

namespace {

bool Resolve(SharedLibrary& library, LibCurl& f)
{
    const bool complete = library.Resolve("curl_global_init", f.global_init) &&
                          library.Resolve("curl_easy_init", f.easy_init) &&
                          library.Resolve("curl_easy_cleanup", f.easy_cleanup) &&
                          library.Resolve("curl_easy_reset", f.easy_reset) &&
                          library.Resolve("curl_easy_setopt", f.easy_setopt) &&
                          library.Resolve("curl_easy_perform", f.easy_perform) &&
                          library.Resolve("curl_easy_getinfo", f.easy_getinfo) &&
                          library.Resolve("curl_easy_strerror", f.easy_strerror);
    if (complete)
        f.global_init(CURL_GLOBAL_DEFAULT);
    return complete;
}

const LoadedFunctions<LibCurl>& Library()
{
    static SharedLibrary library("libcurl.so.4");
    static const LoadedFunctions<LibCurl> loaded = LoadFunctions<LibCurl>(library, Resolve);
    return loaded;
}

} // namespace

const LibCurl* LibCurl::Get()
{
    return Library().Get();
}

QString LibCurl::LoadError()
{
    return Library().Error;
}
