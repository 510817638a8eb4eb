#pragma once

#include "Desktop.h"

namespace quorvane::test {

// A desktop whose monitors a test sets and changes, as a panel or a monitor coming or going
// would.
class FakeDesktop : public IDesktop
{
public:
    explicit FakeDesktop(TMonitors m = {})
        : monitors(std::move(m))
    { }
    TMonitors Monitors() const override { return monitors; }
    void SetOnChanged(std::function<void()> changed) override { onChanged = std::move(changed); }
    void PrepareWindow(QWidget *) override { ++prepared; }
    bool ShapesHonoured() const override { return shapes; }
    bool DesktopUnlocked() override
    {
        ++lockAsks;
        return !locked;
    }
    void Flush() override { }

    void Change(TMonitors m)
    {
        monitors = std::move(m);
        if (onChanged)
            onChanged();
    }

    TMonitors monitors;
    std::function<void()> onChanged;
    int prepared = 0;
    bool locked = false;
    int lockAsks = 0;
    bool shapes = true;
};

} // namespace quorvane::test
