#pragma once

#include <string>
#include <sys/types.h>

namespace quorvane {

// Files replaced whole, so a reader never meets half of one and a failure leaves the old one.

bool WriteFully(int fd, const std::string &text);
// The folder part of a path: "." when it has none.
std::string Folder(const std::string &path);
// Where a chain of symbolic links from path ends (a file that may not exist yet); false when the
// chain is broken or too long.
bool LinkTarget(const std::string &path, std::string &target);
// Writes text to one temporary file beside target and renames it over target with mode. False,
// with errno telling why, when any step fails; target is then as it was.
bool ReplaceFile(const std::string &target, const std::string &text, mode_t mode);

} // namespace quorvane
