#include "Desktop.h"

#include "DummyDesktop.h"
#include "TWlrootsDesktop.h"
#include "WindowManagerName.h"
#include "X11Desktop.h"
#include "X11Window.h"

#include <QGuiApplication>

namespace quorvane {

std::unique_ptr<IDesktop> MakeDesktop()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // Told once, from the window manager itself: the same variables are set in sessions
        // of very different desktops.
        xcb_connection_t *c = X11Connection();
        if (c
            && IsWlrootsWindowManager(
                WindowManagerName(c, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root)))
            return std::make_unique<TWlrootsDesktop>(qEnvironmentVariable("SWAYSOCK"));
        return std::make_unique<TX11Desktop>();
    }
    return std::make_unique<TDummyDesktop>();
}

} // namespace quorvane
