#pragma once

#include "Seams.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane {

// The agent name every schedule request carries; the vendor's server keys its logs on it.
extern const char *const DownloadAgent;
// A schedule is a few kilobytes; anything past this is not one.
constexpr size_t DownloadBodyCap = 4 * 1024 * 1024;

// Fetches the body of url. Never throws: a failure gives empty or partial text and
// Complete = false; Complete is true only for a 2xx status read to its end. timeoutMs bounds
// the connection and every wait for more bytes.
Download DownloadText(const std::string &url, int32_t timeoutMs);

// The body is taken in reads of at most 1025 bytes, each kept up to its first zero byte. Appends
// what bytes[0..size) contributes to text.
void AppendReads(std::string &text, const char *bytes, size_t size);

class TCurlHttpFetch final : public IHttpFetch
{
public:
    Download DownloadText(const std::string &url, int32_t timeoutMs) override;
};

} // namespace quorvane
