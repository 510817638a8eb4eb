#include "TKeepOnTop.h"

#include "X11Window.h"

#include <QGuiApplication>
#include <QWidget>

#include <cstdlib>
#include <utility>
#include <vector>

namespace quorvane {

TKeepOnTop::TKeepOnTop(QWidget *window)
    : FWindow(window)
{
    xcb_connection_t *c = X11Connection();
    if (!c)
        return;
    FCheck.setSingleShot(true);
    FCheck.setInterval(0);
    QObject::connect(&FCheck, &QTimer::timeout, window, [this] {
        RaiseIfCovered();
        if (std::exchange(FManagedPlaced, false) && OnManagedPlaced)
            OnManagedPlaced();
    });
    // Other windows' restacks and mappings arrive as notes about the root's children.
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    const xcb_get_window_attributes_cookie_t cookie = xcb_get_window_attributes(c, root);
    if (xcb_get_window_attributes_reply_t *reply
        = xcb_get_window_attributes_reply(c, cookie, nullptr)) {
        mask |= reply->your_event_mask;
        std::free(reply);
    }
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    qGuiApp->installNativeEventFilter(this);
    FWatching = true;
}

TKeepOnTop::~TKeepOnTop()
{
    if (FWatching && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool TKeepOnTop::nativeEventFilter(const QByteArray &type, void *message, qintptr *)
{
    if (type != "xcb_generic_event_t" || !FWindow || !FWindow->isVisible())
        return false;
    // The toolkit keeps only the last of several queued notes about the root's children, so
    // which window went where cannot be told from them: the stacking itself is looked at.
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const uint8_t kind = event->response_type & 0x7F;
    if (kind == XCB_CONFIGURE_NOTIFY || kind == XCB_MAP_NOTIFY)
        FCheck.start();
    FManagedPlaced |= ManagedPlaced(event);
    return false;
}

bool TKeepOnTop::ManagedPlaced(const xcb_generic_event_t *event)
{
    // Unmanaged windows, this one and its menus among them, are placed by their programs.
    return (event->response_type & 0x7F) == XCB_CONFIGURE_NOTIFY
        && !reinterpret_cast<const xcb_configure_notify_event_t *>(event)->override_redirect;
}

void TKeepOnTop::RaiseIfCovered()
{
    xcb_connection_t *c = X11Connection();
    if (!c || !FWindow || !FWindow->isVisible())
        return;
    const auto own = static_cast<xcb_window_t>(FWindow->winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree)
        return;
    // Bottom first: the windows after this one lie above it.
    const xcb_window_t *children = xcb_query_tree_children(tree);
    const int count = xcb_query_tree_children_length(tree);
    int at = 0;
    while (at < count && children[at] != own)
        ++at;
    std::vector<xcb_get_window_attributes_cookie_t> above;
    for (int i = at + 1; i < count; ++i)
        above.push_back(xcb_get_window_attributes(c, children[i]));
    std::free(tree);
    // Unmanaged windows above it are menus and the like, this program's own among them:
    // raising over those would bury them.
    bool covered = false;
    for (const xcb_get_window_attributes_cookie_t &cookie : above) {
        xcb_generic_error_t *error = nullptr;
        xcb_get_window_attributes_reply_t *a = xcb_get_window_attributes_reply(c, cookie, &error);
        std::free(error);
        if (a && !a->override_redirect && a->map_state == XCB_MAP_STATE_VIEWABLE)
            covered = true;
        std::free(a);
    }
    if (!covered)
        return;
    const uint32_t mode = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, own, XCB_CONFIG_WINDOW_STACK_MODE, &mode);
    xcb_flush(c);
}

} // namespace quorvane
