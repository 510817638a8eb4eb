#pragma once

#include <QObject>

namespace quorvane {

// Whether the desktop is unlocked, asked of the session's screen locker over D-Bus
// (freedesktop ScreenSaver, then logind's LockedHint). The answer is cached and refreshed in the
// background, so the caller never waits on the bus; where nobody answers, the desktop counts as
// unlocked.
class TDesktopLock : public QObject
{
public:
    explicit TDesktopLock(QObject *parent = nullptr);
    bool DesktopUnlocked();

private:
    void AskScreenSaver();
    void AskLogind();

    bool FLocked = false;
    bool FAsking = false;
    qint64 FLastAsked = 0;
};

} // namespace quorvane
