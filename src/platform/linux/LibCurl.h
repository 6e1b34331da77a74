#pragma once

#include <QString>
#include <curl/curl.h>

// libcurl's few functions a fetch uses, loaded at the first fetch: only a window that shows
// another machine fetches, and the library would otherwise map itself and its TLS, Kerberos and
// LDAP libraries (some 5 MiB resident) into every run.
struct LibCurl
{
    // Loaded once and kept; null when it cannot be, and then LoadError() says why.
    static const LibCurl* Get();
    static QString LoadError();

    decltype(&curl_global_init) global_init;
    decltype(&curl_easy_init) easy_init;
    decltype(&curl_easy_cleanup) easy_cleanup;
    decltype(&curl_easy_reset) easy_reset;
    decltype(&curl_easy_setopt) easy_setopt;
    decltype(&curl_easy_perform) easy_perform;
    decltype(&curl_easy_getinfo) easy_getinfo;
    decltype(&curl_easy_strerror) easy_strerror;
};
