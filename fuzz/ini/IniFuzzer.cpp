// Arbitrary bytes as an ini file: reading every settings key, then a read-modify-write cycle
// whose written value must read back and must leave every other key's value as it was.
#include "IniFile.h"
#include "SettingRules.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const char *const kKeys[] = {"UseSNTP", "SNTPServer", "SNTPPort", "Left", "Height", "Width",
    "Transparency", "15_minutes_before_open"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const char *key = kKeys[data[0] % (sizeof kKeys / sizeof kKeys[0])];
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    std::string before[sizeof kKeys / sizeof kKeys[0]];
    for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) {
        before[i] = quorvane::IniLookup(text, "Quorvane", kKeys[i], "\x01missing");
        quorvane::IniInteger(before[i], 7);
        if (before[i].size() > 2047)
            std::abort();
    }
    const std::string written = quorvane::IniUpdate(text, "Quorvane", key, "v123");
    if (quorvane::IniLookup(written, "Quorvane", key, "") != "v123")
        std::abort();
    for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) {
        if (std::string(kKeys[i]) == key)
            continue;
        if (quorvane::IniLookup(written, "Quorvane", kKeys[i], "\x01missing") != before[i])
            std::abort();
    }
    return 0;
}
