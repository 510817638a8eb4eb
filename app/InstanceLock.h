#pragma once

#include <string>

namespace quorvane {

// An exclusive lock on one file for the object's life, so that one program folder runs one bar
// and two bars never fight over its options.ini. The kernel lets go when the process ends,
// however it ends, so a crash leaves nothing stale behind.
class TInstanceLock
{
public:
    explicit TInstanceLock(const std::string &path);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock &) = delete;
    TInstanceLock &operator=(const TInstanceLock &) = delete;

    // True when another process holds the lock. A lock file that cannot be created (a folder
    // the user may not write) stops nobody.
    bool HeldElsewhere() const { return FHeldElsewhere; }

private:
    int FFd = -1;
    bool FHeldElsewhere = false;
};

} // namespace quorvane
