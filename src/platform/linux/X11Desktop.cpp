#include "platform/linux/X11Desktop.h"

#include "platform/linux/SwayIpc.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <utility>
#include <xcb/xcb.h>

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> Owned(T* reply)
{
    return Reply<T>(reply, &std::free);
}

// Takes the error of a failed request here; unclaimed errors would pile up in the event queue,
// which nothing reads on this connection.
template <typename Fn, typename Cookie>
auto Ask(xcb_connection_t* c, Fn replyFunction, Cookie cookie)
{
    xcb_generic_error_t* error = nullptr;
    auto* reply = replyFunction(c, cookie, &error);
    std::free(error);
    return Owned(reply);
}

constexpr const char* AtomNames[] = {"_NET_ACTIVE_WINDOW",
                                     "_NET_WORKAREA",
                                     "_NET_CURRENT_DESKTOP",
                                     "_NET_CLIENT_LIST",
                                     "_NET_WM_STRUT",
                                     "_NET_WM_STRUT_PARTIAL",
                                     "_NET_WM_NAME",
                                     "UTF8_STRING",
                                     "_NET_FRAME_EXTENTS",
                                     "_NET_WM_STATE",
                                     "_NET_WM_STATE_HIDDEN",
                                     "_NET_WM_STATE_MAXIMIZED_VERT",
                                     "_NET_WM_STATE_MAXIMIZED_HORZ",
                                     "_NET_WM_STATE_FULLSCREEN",
                                     "_NET_WM_STATE_ABOVE",
                                     "_NET_WM_WINDOW_TYPE",
                                     "_NET_WM_WINDOW_TYPE_DESKTOP",
                                     "_NET_WM_USER_TIME",
                                     "_NET_WM_PID"};

constexpr std::uint32_t StateRemove = 0;
constexpr std::uint32_t StateAdd = 1;

} // namespace

void X11Desktop::ConnectionCloser::operator()(xcb_connection_t* c) const
{
    xcb_disconnect(c);
}

X11Desktop::X11Desktop()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    m_connection.reset(c);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    m_root = it.data->root;
    m_screen = QSize(it.data->width_in_pixels, it.data->height_in_pixels);

    // Xwayland announces itself by an extension of its own (from version 23.1 on).
    constexpr char xwayland[] = "XWAYLAND";
    const xcb_query_extension_cookie_t extension =
        xcb_query_extension(c, static_cast<uint16_t>(std::strlen(xwayland)), xwayland);

    static_assert(std::size(AtomNames) == AtomCount);
    xcb_intern_atom_cookie_t cookies[AtomCount];
    for (int i = 0; i < AtomCount; ++i)
        cookies[i] =
            xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(AtomNames[i])), AtomNames[i]);
    for (int i = 0; i < AtomCount; ++i) {
        auto reply = Ask(c, xcb_intern_atom_reply, cookies[i]);
        m_atoms[i] = reply ? reply->atom : std::uint32_t{XCB_ATOM_NONE};
    }
    // Older Xwayland (before 23.1) has no such extension; the session says it is Wayland.
    const auto present = Ask(c, xcb_query_extension_reply, extension);
    m_xwayland = (present && present->present) ||
                 !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                 qgetenv("XDG_SESSION_TYPE") == "wayland";
}

X11Desktop::~X11Desktop() = default;

SwayIpc* X11Desktop::Sway()
{
    if (!std::exchange(m_swayAsked, true) && !qEnvironmentVariableIsEmpty("SWAYSOCK"))
        m_sway = std::make_unique<SwayIpc>();
    return m_sway.get();
}

std::optional<WindowRect> X11Desktop::SwayWorkArea()
{
    if (!Sway())
        return std::nullopt;
    const std::optional<QByteArray> reply = m_sway->Exchange(SwayIpc::Message::GetWorkspaces);
    return reply ? SwayIpc::FocusedWorkspaceArea(*reply) : std::nullopt;
}

std::vector<std::uint32_t> X11Desktop::Cardinals(std::uint32_t window, std::uint32_t property,
                                                 std::uint32_t type, bool* exists)
{
    if (exists)
        *exists = false;
    std::vector<std::uint32_t> values;
    if (!m_connection || window == 0)
        return values;
    xcb_connection_t* c = m_connection.get();
    auto reply =
        Ask(c, xcb_get_property_reply, xcb_get_property(c, 0, window, property, type, 0, 1024));
    if (!reply)
        return values; // the window is gone
    if (exists)
        *exists = true;
    if (reply->format != 32 || reply->type != type)
        return values;
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    values.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    return values;
}

QSize X11Desktop::ScreenSize()
{
    return m_screen;
}

std::vector<WindowRect> X11Desktop::PanelsAround(QSize screen, const WindowRect& workArea)
{
    const int w = screen.width();
    const int h = screen.height();
    std::vector<WindowRect> panels;
    if (workArea.Top > 0)
        panels.push_back({-1, -1, w + 1, workArea.Top});
    if (workArea.Bottom < h)
        panels.push_back({-1, std::max(workArea.Bottom, 1), w + 1, h + 1});
    if (workArea.Left > 0)
        panels.push_back({-1, -1, workArea.Left, h + 1});
    if (workArea.Right < w)
        panels.push_back({std::max(workArea.Right, 1), -1, w + 1, h + 1});
    return panels;
}

std::vector<WindowRect> X11Desktop::TaskbarRects()
{
    if (!m_connection)
        return {};
    const std::vector<std::uint32_t> area =
        Cardinals(m_root, m_atoms[NetWorkarea], XCB_ATOM_CARDINAL);
    if (area.size() >= 4) {
        const std::vector<std::uint32_t> current =
            Cardinals(m_root, m_atoms[NetCurrentDesktop], XCB_ATOM_CARDINAL);
        std::size_t desktop = current.empty() ? 0 : current[0];
        if ((desktop + 1) * 4 > area.size())
            desktop = 0;
        const auto* a = &area[desktop * 4];
        const int x = static_cast<int>(a[0]);
        const int y = static_cast<int>(a[1]);
        return PanelsAround(m_screen,
                            {x, y, x + static_cast<int>(a[2]), y + static_cast<int>(a[3])});
    }

    // sway's panels are its own surfaces, not X11 windows with struts.
    if (const std::optional<WindowRect> sway = SwayWorkArea())
        return PanelsAround(m_screen, *sway);

    // No work area published: the struts of the managed windows (left, right, top, bottom).
    std::uint32_t strut[4] = {};
    for (std::uint32_t window : Cardinals(m_root, m_atoms[NetClientList], XCB_ATOM_WINDOW)) {
        std::vector<std::uint32_t> values =
            Cardinals(window, m_atoms[NetWmStrutPartial], XCB_ATOM_CARDINAL);
        if (values.size() < 4)
            values = Cardinals(window, m_atoms[NetWmStrut], XCB_ATOM_CARDINAL);
        if (values.size() < 4)
            continue;
        for (int i = 0; i < 4; ++i)
            strut[i] = std::max(strut[i], values[static_cast<std::size_t>(i)]);
    }
    const auto side = [](std::uint32_t v) {
        return static_cast<int>(std::min<std::uint32_t>(v, 1u << 16));
    };
    return PanelsAround(m_screen,
                        {side(strut[0]), side(strut[2]), m_screen.width() - side(strut[1]),
                         m_screen.height() - side(strut[3])});
}

void X11Desktop::DrainEvents()
{
    // Errors of requests sent without waiting for an answer.
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection.get()))
        std::free(event);
}

WindowId X11Desktop::ForegroundWindow()
{
    if (!m_connection)
        return 0;
    DrainEvents();
    const std::vector<std::uint32_t> active =
        Cardinals(m_root, m_atoms[NetActiveWindow], XCB_ATOM_WINDOW);
    if (active.empty() || active[0] == 0)
        return 0;
    // A desktop drawn by a file manager is still the desktop.
    for (std::uint32_t type : Cardinals(active[0], m_atoms[NetWmWindowType], XCB_ATOM_ATOM))
        if (type == m_atoms[NetWmWindowTypeDesktop])
            return m_root;
    return active[0];
}

WindowId X11Desktop::DesktopWindow()
{
    return m_root;
}

bool X11Desktop::IsOwnWindow(WindowId window)
{
    const std::vector<std::uint32_t> pid =
        Cardinals(static_cast<std::uint32_t>(window), m_atoms[NetWmPid], XCB_ATOM_CARDINAL);
    return !pid.empty() && pid.front() == static_cast<std::uint32_t>(getpid());
}

QString X11Desktop::WindowTitle(WindowId window)
{
    if (!m_connection || window == 0)
        return {};
    xcb_connection_t* c = m_connection.get();
    const auto id = static_cast<xcb_window_t>(window);
    // Both names in one round trip.
    const auto netNameCookie =
        xcb_get_property(c, 0, id, m_atoms[NetWmName], m_atoms[Utf8String], 0, 256);
    const auto nameCookie = xcb_get_property(c, 0, id, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0, 256);
    auto netName = Ask(c, xcb_get_property_reply, netNameCookie);
    auto name = Ask(c, xcb_get_property_reply, nameCookie);
    if (netName && netName->format == 8 && netName->type == m_atoms[Utf8String] &&
        xcb_get_property_value_length(netName.get()) > 0)
        return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(netName.get())),
                                 xcb_get_property_value_length(netName.get()));
    if (!name || name->format != 8)
        return {};
    return QString::fromLocal8Bit(static_cast<const char*>(xcb_get_property_value(name.get())),
                                  xcb_get_property_value_length(name.get()));
}

std::optional<WindowRect> X11Desktop::WindowFrame(WindowId window)
{
    if (!m_connection || window == 0)
        return std::nullopt;
    xcb_connection_t* c = m_connection.get();
    const auto id = static_cast<xcb_window_t>(window);
    // One round trip for all four.
    const auto geometryCookie = xcb_get_geometry(c, id);
    const auto originCookie = xcb_translate_coordinates(c, id, m_root, 0, 0);
    const auto extentsCookie =
        xcb_get_property(c, 0, id, m_atoms[NetFrameExtents], XCB_ATOM_CARDINAL, 0, 4);
    const auto pidCookie = xcb_get_property(c, 0, id, m_atoms[NetWmPid], XCB_ATOM_CARDINAL, 0, 1);
    auto geometry = Ask(c, xcb_get_geometry_reply, geometryCookie);
    auto origin = Ask(c, xcb_translate_coordinates_reply, originCookie);
    auto extents = Ask(c, xcb_get_property_reply, extentsCookie);
    auto pid = Ask(c, xcb_get_property_reply, pidCookie);
    if (!geometry || !origin)
        return std::nullopt;
    WindowRect rect{origin->dst_x, origin->dst_y, origin->dst_x + geometry->width,
                    origin->dst_y + geometry->height};
    if (extents && extents->format == 32 && extents->type == XCB_ATOM_CARDINAL &&
        xcb_get_property_value_length(extents.get()) >= 16) {
        const auto* e = static_cast<const std::uint32_t*>(xcb_get_property_value(extents.get()));
        rect.Left -= static_cast<int>(e[0]);
        rect.Right += static_cast<int>(e[1]);
        rect.Top -= static_cast<int>(e[2]);
        rect.Bottom += static_cast<int>(e[3]);
        return rect;
    }
    // sway draws borders and title bars of its own around other programs' windows and tells
    // only its IPC; the program's own windows have none.
    const bool own = pid && pid->format == 32 && xcb_get_property_value_length(pid.get()) == 4 &&
                     *static_cast<const std::uint32_t*>(xcb_get_property_value(pid.get())) ==
                         static_cast<std::uint32_t>(getpid());
    if (m_xwayland && !own && Sway())
        if (const auto tree = m_sway->Exchange(SwayIpc::Message::GetTree))
            if (const std::optional<WindowRect> frame = SwayIpc::ViewFrame(*tree, window))
                return frame;
    return rect;
}

bool X11Desktop::IsWindowVisible(WindowId window)
{
    if (!m_connection || window == 0)
        return false;
    xcb_connection_t* c = m_connection.get();
    auto attributes = Ask(c, xcb_get_window_attributes_reply,
                          xcb_get_window_attributes(c, static_cast<xcb_window_t>(window)));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::optional<ShowState> X11Desktop::WindowShowState(WindowId window)
{
    bool exists = false;
    const std::vector<std::uint32_t> states =
        Cardinals(window, m_atoms[NetWmState], XCB_ATOM_ATOM, &exists);
    if (!exists)
        return std::nullopt;
    const auto has = [&](Atom atom) {
        return std::find(states.begin(), states.end(), m_atoms[atom]) != states.end();
    };
    if (has(NetWmStateHidden))
        return ShowState::Minimized;
    // A full-screen window covers the desktop as a maximised one does.
    if ((has(NetWmStateMaximizedVert) && has(NetWmStateMaximizedHorz)) || has(NetWmStateFullscreen))
        return ShowState::Maximized;
    return ShowState::Normal;
}

QPoint X11Desktop::CursorPos()
{
    if (!m_connection)
        return {};
    xcb_connection_t* c = m_connection.get();
    auto pointer = Ask(c, xcb_query_pointer_reply, xcb_query_pointer(c, m_root));
    return pointer ? QPoint(pointer->root_x, pointer->root_y) : QPoint();
}

bool X11Desktop::ShiftHeld()
{
    if (!m_connection)
        return false;
    xcb_connection_t* c = m_connection.get();
    auto pointer = Ask(c, xcb_query_pointer_reply, xcb_query_pointer(c, m_root));
    return pointer && (pointer->mask & XCB_MOD_MASK_SHIFT);
}

void X11Desktop::SendState(std::uint32_t window, bool add, std::uint32_t state)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.window = window;
    event.type = m_atoms[NetWmState];
    event.format = 32;
    event.data.data32[0] = add ? StateAdd : StateRemove;
    event.data.data32[1] = state;
    event.data.data32[3] = 1; // from an application
    xcb_send_event(m_connection.get(), 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

void X11Desktop::SetStayOnTop(WindowId window, bool onTop)
{
    if (!m_connection || window == 0)
        return;
    DrainEvents();
    xcb_connection_t* c = m_connection.get();
    const auto id = static_cast<xcb_window_t>(window);
    auto attributes = Ask(c, xcb_get_window_attributes_reply, xcb_get_window_attributes(c, id));
    if (!attributes)
        return;
    if (attributes->map_state != XCB_MAP_STATE_UNMAPPED) {
        SendState(id, onTop, m_atoms[NetWmStateAbove]);
        if (onTop) {
            const std::uint32_t above = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(c, id, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        }
    } else {
        // Before mapping, the window manager reads the property itself.
        std::vector<std::uint32_t> states = Cardinals(id, m_atoms[NetWmState], XCB_ATOM_ATOM);
        std::erase(states, m_atoms[NetWmStateAbove]);
        if (onTop)
            states.push_back(m_atoms[NetWmStateAbove]);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, m_atoms[NetWmState], XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(states.size()), states.data());
    }
    xcb_flush(c);
}

void X11Desktop::MoveWindow(WindowId window, QPoint topLeft)
{
    if (!m_connection || window == 0)
        return;
    DrainEvents();
    // A managed window's request goes to the window manager, which moves the frame.
    const std::int32_t position[] = {topLeft.x(), topLeft.y()};
    xcb_configure_window(m_connection.get(), static_cast<xcb_window_t>(window),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
    xcb_flush(m_connection.get());
}

void X11Desktop::ShowWindowNoActivate(WindowId window, bool show)
{
    if (!m_connection || window == 0)
        return;
    DrainEvents();
    xcb_connection_t* c = m_connection.get();
    const auto id = static_cast<xcb_window_t>(window);
    if (!show) {
        m_hiddenStates.insert(window, Cardinals(id, m_atoms[NetWmState], XCB_ATOM_ATOM));
        xcb_unmap_window(c, id);
        // The withdrawal notice of the ICCCM, so that the window manager lets go of it.
        xcb_unmap_notify_event_t event{};
        event.response_type = XCB_UNMAP_NOTIFY;
        event.event = m_root;
        event.window = id;
        xcb_send_event(c, 0, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    } else {
        const auto saved = m_hiddenStates.constFind(window);
        if (saved != m_hiddenStates.constEnd()) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, m_atoms[NetWmState], XCB_ATOM_ATOM,
                                32, static_cast<uint32_t>(saved->size()), saved->data());
            m_hiddenStates.erase(saved);
        }
        // A user time of 0 asks the window manager not to give the window the focus.
        const std::uint32_t never = 0;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, m_atoms[NetWmUserTime], XCB_ATOM_CARDINAL,
                            32, 1, &never);
        xcb_map_window(c, id);
    }
    xcb_flush(c);
}
