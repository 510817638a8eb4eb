#include "PosixFileSystem.h"

#include "Exception.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

bool TPosixFileSystem::FileExists(const std::string &path) const
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string TPosixFileSystem::ReadFile(const std::string &path) const
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Exception("Cannot open file \"" + path + "\". " + std::strerror(errno));
    // A shared lock keeps cooperating writers out while we read; others are not held back.
    ::flock(fd, LOCK_SH | LOCK_NB);
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            throw Exception("Cannot open file \"" + path + "\". " + std::strerror(err));
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return text;
}

} // namespace quorvane
