#include "platform/linux/LibCurl.h"

#include "platform/SharedLibrary.h"

#include <cstdint>
#include <dlfcn.h>

namespace {

// Debian's libcurl brings OpenSSL, which frees every thread's state from an exit handler while
// a fetch thread that has just ended may still be freeing its own at thread exit: a double free
// as the program exits after a fetch. Told before its first use not to clean up at exit, it
// leaves its memory to the end of the process. Nothing to do for a libcurl built on another TLS
// library.
void KeepOpenSslUntilTheProcessEnds()
{
    void* crypto = dlopen("libcrypto.so.3", RTLD_LAZY | RTLD_NOLOAD);
    if (!crypto)
        return;
    using InitCrypto = int (*)(std::uint64_t options, const void* settings);
    constexpr std::uint64_t NoAtExit = 0x00080000; // OPENSSL_INIT_NO_ATEXIT
    if (const auto init = reinterpret_cast<InitCrypto>(dlsym(crypto, "OPENSSL_init_crypto")))
        init(NoAtExit, nullptr);
    dlclose(crypto);
}

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
    if (complete) {
        KeepOpenSslUntilTheProcessEnds();
        f.global_init(CURL_GLOBAL_DEFAULT);
    }
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
