#include "PosixFileSystem.h"

#include "Exception.h"
#include "Schedule.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

[[noreturn]] void CannotOpen(const std::string &path, const std::string &reason)
{
    throw Exception("Cannot open file \"" + path + "\". " + reason);
}

struct Descriptor
{
    int fd;
    ~Descriptor() { ::close(fd); }
};

} // namespace

bool TPosixFileSystem::FileExists(const std::string &path) const
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string TPosixFileSystem::ReadFile(const std::string &path) const
{
    // Non-blocking, so a FIFO or a device put in the file's place cannot hold the bar in open().
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        CannotOpen(path, std::strerror(errno));
    const Descriptor guard {fd};
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        CannotOpen(path, std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        CannotOpen(path, "Not a regular file");
    if (static_cast<unsigned long long>(st.st_size) > ScheduleSizeCap)
        CannotOpen(path, std::strerror(EFBIG));
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // A shared lock keeps cooperating writers out while we read; others are not held back.
    ::flock(fd, LOCK_SH | LOCK_NB);
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            CannotOpen(path, std::strerror(errno));
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
        // The file may grow while we read it.
        if (text.size() > ScheduleSizeCap)
            CannotOpen(path, std::strerror(EFBIG));
    }
    return text;
}

} // namespace quorvane
