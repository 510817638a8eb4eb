#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quorvane {

// quorvane-schedule FROM_YEAR TO_YEAR [--closed YYYY-MM-DD]... [--early YYYY-MM-DD]...
// Writes the schedule to out and returns 0, or writes one line to err, nothing to out, and
// returns 2.
int RunScheduleTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace quorvane
