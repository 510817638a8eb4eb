#pragma once

#include <stdexcept>
#include <string>

namespace quorvane {

// Every error of the program is an exception carrying the text the user will read.
class Exception : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace quorvane
