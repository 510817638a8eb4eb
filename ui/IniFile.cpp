#include "IniFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <strings.h>
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

bool ReadAll(const std::string &path, std::string &text)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool WriteFully(int fd, const std::string &text)
{
    size_t at = 0;
    while (at < text.size()) {
        const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// Write permission as a user sees it: root passes every access() test, so a file or folder
// without any write bit counts as read-only for everyone, as its read-only flag would.
bool Writable(const std::string &path, const struct stat &st)
{
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::access(path.c_str(), W_OK) == 0;
}

std::string Folder(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
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
    const std::string entry = key + "=" + value;
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
    const std::string folder = Folder(path);
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
    if (::stat(path.c_str(), &fileStat) == 0) {
        // Renaming over a read-only file would replace it behind the user's back.
        if (!S_ISREG(fileStat.st_mode) || !Writable(path, fileStat) || !ReadAll(path, text))
            return false;
        mode = fileStat.st_mode & 07777;
    }
    const std::string updated = IniUpdate(text, section, key, value);

    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0 && WriteFully(fd, updated) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace quorvane
