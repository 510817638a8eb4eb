#include "CurlLibrary.h"

#include <dlfcn.h>

#include <mutex>

#ifndef QUORVANE_CURL_DIR
#error "the build names the folder that holds the system's libcurl"
#endif

namespace quorvane {

namespace {

template<class F> bool Bind(void *lib, const char *name, F &f)
{
    f = reinterpret_cast<F>(dlsym(lib, name));
    return f != nullptr;
}

CurlLibrary *Load()
{
    // A bare name would be searched for, and an empty entry of LD_LIBRARY_PATH is the working
    // folder: whoever leaves a libcurl.so.4 there would run code in the bar.
    void *lib = dlopen(QUORVANE_CURL_DIR "/libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return nullptr;
    static CurlLibrary c {};
    const bool ok = Bind(lib, "curl_global_init", c.global_init)
        && Bind(lib, "curl_easy_init", c.easy_init) && Bind(lib, "curl_easy_setopt", c.easy_setopt)
        && Bind(lib, "curl_easy_getinfo", c.easy_getinfo)
        && Bind(lib, "curl_easy_cleanup", c.easy_cleanup)
        && Bind(lib, "curl_slist_append", c.slist_append)
        && Bind(lib, "curl_slist_free_all", c.slist_free_all)
        && Bind(lib, "curl_multi_init", c.multi_init)
        && Bind(lib, "curl_multi_add_handle", c.multi_add_handle)
        && Bind(lib, "curl_multi_perform", c.multi_perform)
        && Bind(lib, "curl_multi_info_read", c.multi_info_read)
        && Bind(lib, "curl_multi_poll", c.multi_poll)
        && Bind(lib, "curl_multi_remove_handle", c.multi_remove_handle)
        && Bind(lib, "curl_multi_cleanup", c.multi_cleanup);
    if (!ok || c.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        dlclose(lib);
        return nullptr;
    }
    return &c;
}

} // namespace

const CurlLibrary *CurlLibrary::Get()
{
    static std::once_flag once;
    static const CurlLibrary *library = nullptr;
    std::call_once(once, [] { library = Load(); });
    return library;
}

} // namespace quorvane
