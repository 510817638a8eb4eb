#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quorvane {

// quorvane-schedule FROM_YEAR TO_YEAR [--closed YYYY-MM-DD]... [--early YYYY-MM-DD]... [-o FILE]
// Writes the schedule to out, or with -o puts it in FILE's place at once, and returns 0. Bad
// arguments write one line to err and nothing else, and return 2; a FILE that cannot be written
// is left as it was, with one line to err and 1.
int RunScheduleTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace quorvane
