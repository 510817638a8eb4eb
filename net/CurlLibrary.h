#pragma once

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

namespace quorvane {

// libcurl, loaded at the first download rather than at start-up: with a local schedule the
// bar never downloads, and libcurl's TLS, SSH and Kerberos libraries would otherwise sit in
// its memory for nothing.
struct CurlLibrary
{
    CURLcode (*global_init)(long);
    CURL *(*easy_init)();
    CURLcode (*easy_setopt)(CURL *, CURLoption, ...);
    CURLcode (*easy_getinfo)(CURL *, CURLINFO, ...);
    void (*easy_cleanup)(CURL *);
    curl_slist *(*slist_append)(curl_slist *, const char *);
    void (*slist_free_all)(curl_slist *);
    CURLM *(*multi_init)();
    CURLMcode (*multi_add_handle)(CURLM *, CURL *);
    CURLMcode (*multi_perform)(CURLM *, int *);
    CURLMsg *(*multi_info_read)(CURLM *, int *);
    CURLMcode (*multi_poll)(CURLM *, curl_waitfd[], unsigned int, int, int *);
    CURLMcode (*multi_remove_handle)(CURLM *, CURL *);
    CURLMcode (*multi_cleanup)(CURLM *);

    // The loaded and initialised library, or null when it cannot be loaded.
    static const CurlLibrary *Get();
};

} // namespace quorvane
