#pragma once

#include "Seams.h"
#include "TBackgroundCalls.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane {

// The agent name every schedule request carries; the vendor's server keys its logs on it.
extern const char *const DownloadAgent;
// A schedule is a few kilobytes; anything past this is not one.
constexpr size_t DownloadBodyCap = 4 * 1024 * 1024;

// A server that trickles a byte now and then would otherwise hold a download open for hours.
constexpr int32_t DownloadDeadlineMs = 30000;

// Fetches the body of url. Never throws: a failure gives empty or partial text and
// Complete = false; Complete is true only for a 2xx status read to its end. timeoutMs bounds
// the connection and every wait for more bytes, deadlineMs the whole transfer; setting cancel
// ends it within a tenth of a second.
Download DownloadText(const std::string &url, int32_t timeoutMs,
    int32_t deadlineMs = DownloadDeadlineMs, const std::atomic<bool> *cancel = nullptr);

// The body is taken in reads of at most 1025 bytes, each kept up to its first zero byte. Appends
// what bytes[0..size) contributes to text.
void AppendReads(std::string &text, const char *bytes, size_t size);

// DownloadText on a thread of its own, answered on the owner's thread.
class TCurlHttpFetch final : public TBackgroundCalls, public IHttpFetch
{
public:
    using TBackgroundCalls::TBackgroundCalls;
    void DownloadText(const std::string &url, int32_t timeoutMs, DownloadDone done) override;
};

} // namespace quorvane
