#include "platform/qt/FrameExtents.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <thread>

namespace platform {
namespace {

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The 32-bit items of a property, or an empty reply.
Reply<xcb_get_property_reply_t> property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name, xcb_atom_t type,
                                         uint32_t length)
{
    return Reply<xcb_get_property_reply_t>(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, type, 0, length), nullptr));
}

bool managerSupports(xcb_connection_t* c, xcb_window_t root, xcb_atom_t wanted)
{
    const auto check = property(c, root, atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 1);
    if (!check || xcb_get_property_value_length(check.get()) != 4)
        return false;  // no window manager
    const auto supported = property(c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 4096);
    if (!supported || supported->format != 32)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(supported.get()));
    const int n = xcb_get_property_value_length(supported.get()) / 4;
    for (int i = 0; i < n; ++i)
        if (atoms[i] == wanted)
            return true;
    return false;
}

}  // namespace

QMargins frameExtentsBeforeShow(QWidget* window)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || !window->isWindow())
        return {};
    const auto id = static_cast<xcb_window_t>(window->winId());  // the native window, still unmapped
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    if (!screen || !managerSupports(c, screen->root, request))
        return {};

    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);

    // The answer is a property on the window; it comes within milliseconds from a live manager.
    const xcb_atom_t extents = atom(c, "_NET_FRAME_EXTENTS");
    for (int tries = 0; tries < 50; ++tries) {
        const auto r = property(c, id, extents, XCB_ATOM_CARDINAL, 4);
        if (r && r->format == 32 && xcb_get_property_value_length(r.get()) == 16) {
            const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
            // left, right, top, bottom, in device pixels
            const qreal ratio = window->devicePixelRatioF();
            auto logical = [ratio](uint32_t n) { return qRound(static_cast<qreal>(n) / ratio); };
            return QMargins(logical(v[0]), logical(v[2]), logical(v[1]), logical(v[3]));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

}  // namespace platform
