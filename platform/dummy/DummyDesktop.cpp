#include "DummyDesktop.h"

#include <QGuiApplication>
#include <QScreen>

namespace quorvane {

TDummyDesktop::TDummyDesktop()
{
    auto changed = [this] {
        if (FOnChanged)
            FOnChanged();
    };
    auto watch = [this, changed](QScreen *screen) {
        QObject::connect(screen, &QScreen::geometryChanged, &FContext, changed);
        QObject::connect(screen, &QScreen::availableGeometryChanged, &FContext, changed);
    };
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(
        qGuiApp, &QGuiApplication::screenAdded, &FContext, [watch, changed](QScreen *screen) {
            watch(screen);
            changed();
        });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, &FContext, changed);
}

TMonitors TDummyDesktop::Monitors() const
{
    TMonitors monitors;
    const QScreen *primary = QGuiApplication::primaryScreen();
    for (const QScreen *screen : QGuiApplication::screens()) {
        TMonitor m {screen->geometry(), screen->availableGeometry(), screen->devicePixelRatio(),
            screen->name()};
        if (screen == primary)
            monitors.insert(monitors.begin(), m);
        else
            monitors.push_back(m);
    }
    return monitors;
}

void TDummyDesktop::SetOnChanged(std::function<void()> changed)
{
    FOnChanged = std::move(changed);
}

} // namespace quorvane
