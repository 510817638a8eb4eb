// Arbitrary bytes as a schedule text: split into lines and parsed, after which every admitted
// session must open before it closes, neither at 0, and none may begin before the previous one
// ends.
#include "Schedule.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte picks the current year, which decides where two-digit years fall.
    if (size < 1)
        return 0;
    const int currentYear = 1990 + data[0] % 120;
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::vector<std::string> lines = quorvane::SplitScheduleLines(text);
    for (const std::string &line : lines)
        if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            std::abort();
    quorvane::TSchedule sessions {{1, 2}};
    quorvane::ParseSchedule(lines, sessions, currentYear);
    if (sessions.size() > lines.size())
        std::abort();
    for (size_t i = 0; i < sessions.size(); ++i) {
        const quorvane::TSession &s = sessions[i];
        if (!(s.Open < s.Close) || s.Open == 0 || s.Close == 0)
            std::abort();
        if (i > 0 && sessions[i - 1].Close > s.Open)
            std::abort();
    }
    return 0;
}
