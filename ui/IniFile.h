#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quorvane {

// The two ini functions the settings rely on. Bytes in, bytes out: no code-page conversion.

// Whether reading takes in the file at path: a regular file, after following links, of at most
// 1 MiB. Anything else (a FIFO, a device, a folder, a huge file) reads as a missing file.
bool IniFileReadable(const std::string &path);

// The value of key in section (names matched regardless of case, blanks around the value
// dropped, cut at 2047 characters), or def when the file, section or key is absent. A key that is
// present with an empty value gives the empty text. The first match wins.
std::string ReadIniString(const std::string &path, const std::string &section,
    const std::string &key, const std::string &def);

// Sets key=value in section (value cut at its first line break or NUL), replacing the key's first
// occurrence or adding it (creating the section and the file as needed) and leaving every other
// line as it was. Fails, leaving the file untouched, when the file or its folder is read-only or
// the folder does not exist.
bool WriteIniString(const std::string &path, const std::string &section, const std::string &key,
    const std::string &value);

// Sets each key=value in turn, as WriteIniString would, and replaces the file once, atomically.
// Through a symbolic link the link's target is replaced and the link stays. The new text goes to
// one temporary file beside the target, named after it with ".tmp", which a save that was cut
// short leaves behind and the next one takes over.
using IniEntries = std::vector<std::pair<std::string, std::string>>;
bool WriteIniStrings(
    const std::string &path, const std::string &section, const IniEntries &entries);

// The same two operations on file contents in memory.
std::string IniLookup(const std::string &text, const std::string &section, const std::string &key,
    const std::string &def);
std::string IniUpdate(const std::string &text, const std::string &section, const std::string &key,
    const std::string &value);

} // namespace quorvane
