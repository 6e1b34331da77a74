#include "platform/linux/X11Windows.h"

#include "platform/SharedLibrary.h"
#include "platform/TrayHost.h"

#include <QGuiApplication>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

namespace {

struct DisplayCloser
{
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct XFreeDeleter
{
    void operator()(void* data) const
    {
        if (data)
            XFree(data);
    }
};

DisplayPtr OpenDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return nullptr;
    return DisplayPtr(XOpenDisplay(nullptr));
}

QString WindowTitle(Display* display, Window window)
{
    static thread_local Atom netWmName = None;
    static thread_local Atom utf8String = None;
    if (netWmName == None) {
        netWmName = XInternAtom(display, "_NET_WM_NAME", False);
        utf8String = XInternAtom(display, "UTF8_STRING", False);
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8String, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
        if (type == utf8String && format == 8)
            return QString::fromUtf8(reinterpret_cast<char*>(data), static_cast<qsizetype>(count));
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        std::unique_ptr<char, XFreeDeleter> owned(name);
        return QString::fromLocal8Bit(name);
    }
    return {};
}

// Top-level windows are children of the root, or one or two levels down inside the frames of
// a reparenting window manager. Collects up to `wanted` of them.
void SearchTree(Display* display, Window window, const QString& title, int depth,
                std::vector<Window>& found, std::size_t wanted)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return;
    std::unique_ptr<Window, XFreeDeleter> owned(children);
    for (unsigned int i = 0; i < count && found.size() < wanted; ++i) {
        if (WindowTitle(display, children[i]) == title)
            found.push_back(children[i]);
        else if (depth > 1)
            SearchTree(display, children[i], title, depth - 1, found, wanted);
    }
}

int IgnoreXErrors(Display*, XErrorEvent*)
{
    return 0; // windows may vanish while the tree is walked
}

} // namespace

namespace {

std::vector<Window> WindowsTitled(Display* display, const QString& title, std::size_t wanted)
{
    std::vector<Window> found;
    auto previous = XSetErrorHandler(IgnoreXErrors);
    SearchTree(display, DefaultRootWindow(display), title, 3, found, wanted);
    XSync(display, False);
    XSetErrorHandler(previous);
    return found;
}

} // namespace

bool X11TopLevelWindowTitled(const QString& title)
{
    DisplayPtr display = OpenDisplay();
    return display && !WindowsTitled(display.get(), title, 1).empty();
}

int X11SendComeForward(const QString& title)
{
    DisplayPtr display = OpenDisplay();
    if (!display)
        return 0;
    // A few: another program's window may carry the title too, and only ours take the message.
    const std::vector<Window> windows = WindowsTitled(display.get(), title, 8);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.message_type = XInternAtom(display.get(), X11ComeForwardAtom, False);
    event.xclient.format = 32;
    auto previous = XSetErrorHandler(IgnoreXErrors);
    for (Window window : windows) {
        event.xclient.window = window;
        XSendEvent(display.get(), window, False, NoEventMask, &event);
    }
    XSync(display.get(), False);
    XSetErrorHandler(previous);
    return static_cast<int>(windows.size());
}

namespace {

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

} // namespace

xcb_connection_t* X11QtConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

void X11FlushRequests()
{
    if (xcb_connection_t* c = X11QtConnection())
        xcb_flush(c);
}

namespace {

// The two requests of libxcb-shape, which Qt's X11 support has mapped already.
struct LibXcbShape
{
    xcb_void_cookie_t (*rectangles)(xcb_connection_t*, std::uint8_t operation, std::uint8_t kind,
                                    std::uint8_t ordering, xcb_window_t, std::int16_t x,
                                    std::int16_t y, std::uint32_t count, const xcb_rectangle_t*);
    xcb_void_cookie_t (*mask)(xcb_connection_t*, std::uint8_t operation, std::uint8_t kind,
                              xcb_window_t, std::int16_t x, std::int16_t y, xcb_pixmap_t);
};
constexpr std::uint8_t ShapeSet = 0;
constexpr std::uint8_t ShapeBounding = 0;
constexpr std::uint8_t ShapeUnsorted = 0;

const LibXcbShape* XcbShape()
{
    static SharedLibrary library("libxcb-shape.so.0");
    static const LoadedFunctions<LibXcbShape> loaded =
        LoadFunctions<LibXcbShape>(library, [](SharedLibrary& l, LibXcbShape& f) {
            return l.Resolve("xcb_shape_rectangles", f.rectangles) &&
                   l.Resolve("xcb_shape_mask", f.mask);
        });
    return loaded.Get();
}

} // namespace

bool X11SetWindowShape(unsigned long window, const std::vector<QRect>& rects)
{
    xcb_connection_t* c = X11QtConnection();
    const LibXcbShape* shape = XcbShape();
    if (!c || !shape)
        return false;
    std::vector<xcb_rectangle_t> list;
    list.reserve(rects.size());
    for (const QRect& r : rects)
        list.push_back({static_cast<std::int16_t>(std::clamp(r.x(), -32768, 32767)),
                        static_cast<std::int16_t>(std::clamp(r.y(), -32768, 32767)),
                        static_cast<std::uint16_t>(std::clamp(r.width(), 0, 65535)),
                        static_cast<std::uint16_t>(std::clamp(r.height(), 0, 65535))});
    shape->rectangles(c, ShapeSet, ShapeBounding, ShapeUnsorted,
                      static_cast<xcb_window_t>(window), 0, 0,
                      static_cast<std::uint32_t>(list.size()), list.data());
    xcb_flush(c);
    return true;
}

bool X11ClearWindowShape(unsigned long window)
{
    xcb_connection_t* c = X11QtConnection();
    const LibXcbShape* shape = XcbShape();
    if (!c || !shape)
        return false;
    shape->mask(c, ShapeSet, ShapeBounding, static_cast<xcb_window_t>(window), 0, 0, XCB_NONE);
    xcb_flush(c);
    return true;
}

void X11SetSkipTaskbar(unsigned long window)
{
    // Qt's own connection, through XCB: the window may have been made a moment ago, and only
    // requests on the same connection are sure to see it.
    xcb_connection_t* c = X11QtConnection();
    if (!c)
        return;
    const xcb_window_t id = static_cast<xcb_window_t>(window);
    const xcb_atom_t state = InternAtom(c, "_NET_WM_STATE");
    const xcb_atom_t skip[] = {InternAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                               InternAtom(c, "_NET_WM_STATE_SKIP_PAGER")};

    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, id), nullptr), &std::free);
    if (!attributes)
        return;

    if (attributes->map_state != XCB_MAP_STATE_UNMAPPED) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        for (xcb_atom_t atom : skip) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.window = id;
            event.type = state;
            event.format = 32;
            event.data.data32[0] = 1; // _NET_WM_STATE_ADD
            event.data.data32[1] = atom;
            event.data.data32[3] = 1;
            xcb_send_event(c, 0, root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char*>(&event));
        }
        xcb_flush(c);
        return;
    }

    // Before mapping, the window manager reads the property itself.
    std::vector<xcb_atom_t> atoms;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
        xcb_get_property_reply(c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 64), nullptr),
        &std::free);
    if (property && property->format == 32 && property->type == XCB_ATOM_ATOM) {
        const auto* existing =
            static_cast<const xcb_atom_t*>(xcb_get_property_value(property.get()));
        atoms.assign(existing, existing + xcb_get_property_value_length(property.get()) / 4);
    }
    for (xcb_atom_t atom : skip)
        if (std::find(atoms.begin(), atoms.end(), atom) == atoms.end())
            atoms.push_back(atom);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
    xcb_flush(c);
}

namespace {

// Whether a client owns the selection, on Qt's connection.
bool SelectionOwned(const char* name)
{
    xcb_connection_t* c = X11QtConnection();
    if (!c)
        return false;
    const xcb_atom_t selection = InternAtom(c, name);
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}

} // namespace

QString X11WindowManagerName()
{
    xcb_connection_t* c = X11QtConnection();
    if (!c)
        return {};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t check = InternAtom(c, "_NET_SUPPORTING_WM_CHECK");
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> owner(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, check, XCB_ATOM_WINDOW, 0, 1),
                               nullptr),
        &std::free);
    if (!owner || owner->format != 32 || xcb_get_property_value_length(owner.get()) < 4)
        return {};
    const xcb_window_t wm = *static_cast<const xcb_window_t*>(xcb_get_property_value(owner.get()));
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> name(
        xcb_get_property_reply(c,
                               xcb_get_property(c, 0, wm, InternAtom(c, "_NET_WM_NAME"),
                                                InternAtom(c, "UTF8_STRING"), 0, 64),
                               nullptr),
        &std::free);
    if (!name || name->format != 8)
        return {};
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(name.get())),
                             xcb_get_property_value_length(name.get()));
}

bool X11CompositingManagerRunning()
{
    return SelectionOwned("_NET_WM_CM_S0");
}

bool XEmbedTrayPresent()
{
    return SelectionOwned("_NET_SYSTEM_TRAY_S0");
}
