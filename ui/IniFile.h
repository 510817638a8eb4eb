#pragma once

#include <string>

namespace quorvane {

// The two ini functions the settings rely on. Bytes in, bytes out: no code-page conversion.

// The value of key in section (names matched regardless of case, blanks around the value
// dropped, cut at 2047 characters), or def when the file, section or key is absent. A key that is
// present with an empty value gives the empty text. The first match wins.
std::string ReadIniString(const std::string &path, const std::string &section,
    const std::string &key, const std::string &def);

// Sets key=value in section, replacing the key's first occurrence or adding it (creating the
// section and the file as needed) and leaving every other line as it was. The file is replaced
// atomically. Fails, leaving the file untouched, when the file or its folder is read-only or the
// folder does not exist.
bool WriteIniString(const std::string &path, const std::string &section, const std::string &key,
    const std::string &value);

// The same two operations on file contents in memory.
std::string IniLookup(const std::string &text, const std::string &section, const std::string &key,
    const std::string &def);
std::string IniUpdate(const std::string &text, const std::string &section, const std::string &key,
    const std::string &value);

} // namespace quorvane
