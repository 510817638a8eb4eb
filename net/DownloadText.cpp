#include "DownloadText.h"

#include "CurlLibrary.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace quorvane {

const char *const DownloadAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET "
                                  "CLR 2.0.50727; .NET CLR 1.1.4322)";

namespace {

constexpr size_t kReadSize = 1025;

struct Transfer
{
    std::string text;
    size_t received = 0;
    bool overCap = false;
    std::chrono::steady_clock::time_point lastByte;
    std::chrono::steady_clock::time_point deadline;
    std::chrono::milliseconds stall {0};
    bool stalled = false;
    const std::atomic<bool> *cancel = nullptr;
};

size_t OnBody(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = size * count;
    t->received += n;
    if (t->received > DownloadBodyCap) {
        t->overCap = true;
        return CURL_WRITEFUNC_ERROR;
    }
    t->lastByte = std::chrono::steady_clock::now();
    AppendReads(t->text, data, n);
    return n;
}

// libcurl's own low-speed check counts whole seconds, and its progress callback runs about once a
// second while idle; driving the transfer ourselves bounds every wait for more bytes to the
// caller's time-out in milliseconds.
CURLcode Perform(const CurlLibrary &c, CURL *curl, Transfer &t)
{
    CURLM *multi = c.multi_init();
    if (!multi)
        return CURLE_OUT_OF_MEMORY;
    c.multi_add_handle(multi, curl);
    CURLcode result = CURLE_OPERATION_TIMEDOUT;
    for (;;) {
        int running = 0;
        if (c.multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            int queued = 0;
            if (CURLMsg *msg = c.multi_info_read(multi, &queued))
                result = msg->data.result;
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        const auto idle = now - t.lastByte;
        if (idle >= t.stall || now >= t.deadline || (t.cancel && *t.cancel)) {
            t.stalled = true;
            break;
        }
        // Woken at least every 100 ms, so a cancel is seen soon.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min({t.stall - idle, t.deadline - now,
                std::chrono::steady_clock::duration(std::chrono::milliseconds(100))}));
        c.multi_poll(multi, nullptr, 0, static_cast<int>(left.count()) + 1, nullptr);
    }
    c.multi_remove_handle(multi, curl);
    c.multi_cleanup(multi);
    return result;
}

} // namespace

void AppendReads(std::string &text, const char *bytes, size_t size)
{
    for (size_t at = 0; at < size; at += kReadSize) {
        const size_t len = size - at < kReadSize ? size - at : kReadSize;
        const void *zero = std::memchr(bytes + at, 0, len);
        text.append(bytes + at,
            zero ? static_cast<size_t>(static_cast<const char *>(zero) - (bytes + at)) : len);
    }
}

Download DownloadText(
    const std::string &url, int32_t timeoutMs, int32_t deadlineMs, const std::atomic<bool> *cancel)
{
    Download result;
    const CurlLibrary *library = CurlLibrary::Get();
    if (!library)
        return result;
    const CurlLibrary &c = *library;
    CURL *curl = c.easy_init();
    if (!curl)
        return result;
    const long timeout = timeoutMs > 0 ? timeoutMs : 1;
    Transfer t;
    t.stall = std::chrono::milliseconds(timeout);
    t.lastByte = std::chrono::steady_clock::now();
    t.deadline = t.lastByte + std::chrono::milliseconds(deadlineMs > 0 ? deadlineMs : 1);
    t.cancel = cancel;

    curl_slist *headers = nullptr;
    // Always from the origin server, never from a cache on the way.
    headers = c.slist_append(headers, "Cache-Control: no-cache");
    headers = c.slist_append(headers, "Pragma: no-cache");
    c.easy_setopt(curl, CURLOPT_URL, url.c_str());
    c.easy_setopt(curl, CURLOPT_USERAGENT, DownloadAgent);
    c.easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    // The proxy comes from the environment (http_proxy, https_proxy, ALL_PROXY, NO_PROXY), which
    // libcurl reads by itself: that is the desktop's proxy setting here.
    c.easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    c.easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeout);
    c.easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    c.easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    c.easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    c.easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    c.easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(DownloadBodyCap));
    c.easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    c.easy_setopt(curl, CURLOPT_WRITEDATA, &t);

    const CURLcode code = Perform(c, curl, t);
    long status = 0;
    c.easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    c.easy_cleanup(curl);
    c.slist_free_all(headers);

    result.Text = std::move(t.text);
    result.Complete = code == CURLE_OK && status >= 200 && status <= 299 && !t.overCap;
    return result;
}

void TCurlHttpFetch::DownloadText(const std::string &url, int32_t timeoutMs, DownloadDone done)
{
    Run<Download>(
        [url, timeoutMs](const std::atomic<bool> &gone) {
            return quorvane::DownloadText(url, timeoutMs, DownloadDeadlineMs, &gone);
        },
        std::move(done));
}

} // namespace quorvane
