#include "InstanceLock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quorvane {

TInstanceLock::TInstanceLock(const std::string &path)
{
    // Close-on-exec: a browser opened from the menu must not keep the lock after the bar ends.
    FFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (FFd < 0)
        FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0)
        return;
    int result;
    do
        result = ::flock(FFd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    FHeldElsewhere = result != 0 && errno == EWOULDBLOCK;
}

TInstanceLock::~TInstanceLock()
{
    if (FFd >= 0)
        ::close(FFd);
}

} // namespace quorvane
