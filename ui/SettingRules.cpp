#include "SettingRules.h"

#include <cctype>

namespace quorvane {

int32_t IniInteger(const std::string &text, int32_t def)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0'
        && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return def;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            return def;
        value = value * base + digit;
        if (value > 2147483648LL)
            return def;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        return def;
    return static_cast<int32_t>(value);
}

bool IniOnOff(const std::string &text, bool def)
{
    const int32_t v = IniInteger(text, def ? 1 : 0);
    return (v & 0xFF) != 0;
}

} // namespace quorvane
