// Window hints on Linux: EWMH state requests to the X11 window manager (XWayland too).
#include "desktop/windowhints.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FreeDeleter {
    void operator()(void *p) const { free(p); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, false, uint16_t(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Whether the window manager holds the window, shown or iconified (its
// WM_STATE is Normal or Iconic). The map state would not do: the manager
// unmaps a window it iconifies, and may have done so an instant ago.
bool isManaged(xcb_connection_t *connection, xcb_window_t window)
{
    const xcb_atom_t wmState = atom(connection, "WM_STATE");
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection, xcb_get_property(connection, false, window, wmState, wmState, 0, 1),
            nullptr));
    return reply && reply->format == 32 && reply->value_len >= 1
            && *static_cast<const uint32_t *>(xcb_get_property_value(reply.get())) != 0;
}

// Adds or removes up to two _NET_WM_STATE atoms of the window.
void setNetWmState(QWidget *widget, bool on, const char *first, const char *second)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // Not X11 (Qt's offscreen platform answers as X11 but has no connection):
    // no client may ask for this.
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto window = xcb_window_t(widget->winId());
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t one = atom(connection, first);
    const xcb_atom_t two = second ? atom(connection, second) : xcb_atom_t(XCB_ATOM_NONE);

    if (isManaged(connection, window)) {
        // A managed window's state belongs to the window manager: ask it.
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = state;
        event.data.data32[0] = on ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
        event.data.data32[1] = one;
        event.data.data32[2] = two;
        event.data.data32[3] = 1; // from an ordinary application
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        xcb_send_event(connection, false, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&event));
    } else {
        // Before mapping, the window's own property is what the manager reads.
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
                connection,
                xcb_get_property(connection, false, window, state, XCB_ATOM_ATOM, 0, 1024),
                nullptr));
        std::vector<xcb_atom_t> atoms;
        if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
            atoms.assign(data, data + reply->value_len);
        }
        atoms.erase(std::remove_if(atoms.begin(), atoms.end(),
                                   [&](xcb_atom_t a) { return a == one || a == two; }),
                    atoms.end());
        if (on) {
            atoms.push_back(one);
            if (two != XCB_ATOM_NONE)
                atoms.push_back(two);
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
                            uint32_t(atoms.size()), atoms.data());
    }
    xcb_flush(connection);
}

} // namespace

void setTopMost(QWidget *window, bool topMost)
{
    setNetWmState(window, topMost, "_NET_WM_STATE_ABOVE", nullptr);
}

void setShowsInTaskbar(QWidget *window, bool shows)
{
    setNetWmState(window, !shows, "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER");
}
