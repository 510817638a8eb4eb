#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

// Leading blanks, an optional sign, then decimal digits, or hexadecimal digits after "$", "x" or
// "0x"; the value must fit a signed 32-bit integer. Anything else gives def.
int32_t IniInteger(const std::string &text, int32_t def);

// On when the integer's lowest 8 bits are not all zero: 2 is on, 256 is off.
bool IniOnOff(const std::string &text, bool def);

} // namespace quorvane
