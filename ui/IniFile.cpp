#include "IniFile.h"

#include "AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace quorvane {

namespace {

constexpr size_t kMaxValue = 2047;

struct Line
{
    size_t begin, end; // the line's text, without its line end
    size_t next; // where the following line starts
};

std::vector<Line> Lines(const std::string &text)
{
    std::vector<Line> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        size_t next;
        if (end == std::string::npos) {
            end = next = text.size();
        } else {
            next = end + 1;
            if (text[end] == '\r' && next < text.size() && text[next] == '\n')
                ++next;
        }
        lines.push_back({at, end, next});
        at = next;
    }
    return lines;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string &s, size_t begin, size_t end)
{
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

bool SameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// A section header's name, or false when the line is none.
bool SectionName(const std::string &text, const Line &l, std::string &name)
{
    const std::string t = Trim(text, l.begin, l.end);
    if (t.size() < 2 || t.front() != '[')
        return false;
    const size_t close = t.find(']');
    if (close == std::string::npos)
        return false;
    name = Trim(t, 1, close);
    return true;
}

bool KeyOf(const std::string &text, const Line &l, std::string &key, size_t &eq)
{
    eq = text.find('=', l.begin);
    if (eq == std::string::npos || eq >= l.end)
        return false;
    key = Trim(text, l.begin, eq);
    return !key.empty() && key[0] != ';';
}

std::string LineEnd(const std::string &text)
{
    const size_t at = text.find_first_of("\r\n");
    if (at == std::string::npos)
        return "\n";
    if (text[at] == '\r')
        return at + 1 < text.size() && text[at + 1] == '\n' ? "\r\n" : "\r";
    return "\n";
}

constexpr off_t kMaxFile = 1024 * 1024;

bool Readable(const struct stat &st)
{
    return S_ISREG(st.st_mode) && st.st_size <= kMaxFile;
}

// Non-blocking, so a FIFO or a device in the file's place can never hold the program.
bool ReadAll(const std::string &path, std::string &text)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    bool ok = ::fstat(fd, &st) == 0 && Readable(st)
        && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
    char buf[8192];
    while (ok) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text.append(buf, static_cast<size_t>(n));
        ok = text.size() <= static_cast<size_t>(kMaxFile);
    }
    ::close(fd);
    return ok;
}

// Write permission as a user sees it: root passes every access() test, so a file or folder
// without any write bit counts as read-only for everyone, as its read-only flag would.
bool Writable(const std::string &path, const struct stat &st)
{
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::access(path.c_str(), W_OK) == 0;
}

} // namespace

std::string IniLookup(const std::string &text, const std::string &section, const std::string &key,
    const std::string &def)
{
    bool inSection = false;
    for (const Line &l : Lines(text)) {
        std::string name;
        if (SectionName(text, l, name)) {
            inSection = SameName(name, section);
            continue;
        }
        size_t eq;
        if (inSection && KeyOf(text, l, name, eq) && SameName(name, key)) {
            std::string value = Trim(text, eq + 1, l.end);
            if (value.size() > kMaxValue)
                value.resize(kMaxValue);
            return value;
        }
    }
    return def;
}

std::string IniUpdate(const std::string &text, const std::string &section, const std::string &key,
    const std::string &value)
{
    const std::string eol = LineEnd(text);
    // A line break or a NUL in a value would start a line, and so a key, of its own.
    const std::string entry
        = key + "=" + value.substr(0, value.find_first_of(std::string("\r\n\0", 3)));
    const std::vector<Line> lines = Lines(text);
    bool inSection = false;
    size_t insertAt = std::string::npos; // after the section's last non-blank line
    for (const Line &l : lines) {
        std::string name;
        if (SectionName(text, l, name)) {
            if (inSection)
                break;
            inSection = SameName(name, section);
            if (inSection)
                insertAt = l.next;
            continue;
        }
        if (!inSection)
            continue;
        size_t eq;
        if (KeyOf(text, l, name, eq) && SameName(name, key))
            return text.substr(0, l.begin) + entry + text.substr(l.end);
        if (!Trim(text, l.begin, l.end).empty())
            insertAt = l.next;
    }
    std::string out = text;
    if (insertAt != std::string::npos) {
        const bool needsEol
            = insertAt > 0 && insertAt == out.size() && out.back() != '\n' && out.back() != '\r';
        return out.substr(0, insertAt) + (needsEol ? eol : "") + entry + eol + out.substr(insertAt);
    }
    if (!out.empty() && out.back() != '\n' && out.back() != '\r')
        out += eol;
    return out + "[" + section + "]" + eol + entry + eol;
}

bool IniFileReadable(const std::string &path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && Readable(st);
}

std::string ReadIniString(const std::string &path, const std::string &section,
    const std::string &key, const std::string &def)
{
    std::string text;
    if (!ReadAll(path, text))
        return def;
    return IniLookup(text, section, key, def);
}

bool WriteIniString(const std::string &path, const std::string &section, const std::string &key,
    const std::string &value)
{
    return WriteIniStrings(path, section, {{key, value}});
}

bool WriteIniStrings(const std::string &path, const std::string &section, const IniEntries &entries)
{
    std::string target;
    if (!LinkTarget(path, target))
        return false;
    const std::string folder = Folder(target);
    struct stat dirStat
    {
    };
    if (::stat(folder.c_str(), &dirStat) != 0 || !S_ISDIR(dirStat.st_mode)
        || !Writable(folder, dirStat))
        return false;
    std::string text;
    mode_t mode = 0644;
    struct stat fileStat
    {
    };
    if (::stat(target.c_str(), &fileStat) == 0) {
        // Renaming over a read-only file would replace it behind the user's back, and a file we
        // cannot read whole would lose what we did not read.
        if (!S_ISREG(fileStat.st_mode) || !Writable(target, fileStat) || !ReadAll(target, text))
            return false;
        mode = fileStat.st_mode & 07777;
    }
    for (const auto &[key, value] : entries)
        text = IniUpdate(text, section, key, value);
    return ReplaceFile(target, text, mode);
}

} // namespace quorvane
