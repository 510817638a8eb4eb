#include "AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

// The one temporary file beside the target, emptied. A save cut short leaves it behind and the
// next save takes it over; the lock tells such a leftover from another program's save under way,
// which makes this save fail rather than wait.
int OpenTemporary(const std::string &temp)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd
            = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0)
            return -1;
        struct stat held
        {
        }, named {};
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0
            || !S_ISREG(held.st_mode)) {
            ::close(fd);
            return -1;
        }
        // Locked only after another save had renamed this very file into place: start afresh.
        const bool same = ::lstat(temp.c_str(), &named) == 0 && named.st_dev == held.st_dev
            && named.st_ino == held.st_ino;
        if (same && ::ftruncate(fd, 0) == 0)
            return fd;
        ::close(fd);
        if (same)
            return -1;
    }
    return -1;
}

} // namespace

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

std::string Folder(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a write lands on: where a chain of symbolic links ends, which may not exist yet. Writing
// there rather than over path keeps a link to a file kept elsewhere a link.
bool LinkTarget(const std::string &path, std::string &target)
{
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st
        {
        };
        if (::lstat(target.c_str(), &st) != 0)
            return errno == ENOENT;
        if (!S_ISLNK(st.st_mode))
            return true;
        char link[4096];
        const ssize_t n = ::readlink(target.c_str(), link, sizeof link);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof link)
            return false;
        const std::string to(link, static_cast<size_t>(n));
        target = to[0] == '/' ? to : Folder(target) + "/" + to;
    }
    return false;
}

bool ReplaceFile(const std::string &target, const std::string &text, mode_t mode)
{
    const std::string temp = target + ".tmp";
    const int fd = OpenTemporary(temp);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0 && WriteFully(fd, text) && ::fsync(fd) == 0;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    const int error = ok ? 0 : errno ? errno : EIO;
    if (!ok)
        ::unlink(temp.c_str());
    ::close(fd);
    if (!ok) {
        errno = error;
        return false;
    }
    const int dir = ::open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace quorvane
