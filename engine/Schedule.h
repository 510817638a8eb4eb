#pragma once

#include "Calendar.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quorvane {

// One trading session in US Eastern wall-clock time.
struct TSession
{
    TDateTime Open = 0;
    TDateTime Close = 0;
};

using TSchedule = std::vector<TSession>;

// A schedule is a few kilobytes; a local file or a download past this is not one.
constexpr size_t ScheduleSizeCap = 4 * 1024 * 1024;

// The schedule text's lines: they end at CR LF, LF or CR alone, and a NUL ends the whole text.
std::vector<std::string> SplitScheduleLines(const std::string &text);

// One side of a session line read as a date-time; 0 when it is none. Years of one or two digits
// fall in the century of currentYear.
TDateTime ParseScheduleDateTime(const std::string &text, int currentYear);

// Empties sessions and refills it from the lines; malformed and out-of-order lines are skipped.
void ParseSchedule(const std::vector<std::string> &lines, TSchedule &sessions, int currentYear);

} // namespace quorvane
