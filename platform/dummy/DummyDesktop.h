#pragma once

#include "Desktop.h"

#include <QObject>

namespace quorvane {

// A desktop the bar knows nothing particular of: the toolkit's screens and their available
// geometry, never locked, nothing to prepare or flush.
class TDummyDesktop : public IDesktop
{
public:
    TDummyDesktop();
    TMonitors Monitors() const override;
    void SetOnChanged(std::function<void()> changed) override;
    void PrepareWindow(QWidget *) override { }
    bool DesktopUnlocked() override { return true; }
    void Flush() override { }

private:
    QObject FContext;
    std::function<void()> FOnChanged;
};

} // namespace quorvane
