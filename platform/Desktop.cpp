#include "Desktop.h"

#include "DummyDesktop.h"
#include "X11Desktop.h"

#include <QGuiApplication>

namespace quorvane {

std::unique_ptr<IDesktop> MakeDesktop()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return std::make_unique<TX11Desktop>();
    return std::make_unique<TDummyDesktop>();
}

} // namespace quorvane
