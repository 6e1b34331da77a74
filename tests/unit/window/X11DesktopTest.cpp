#include "platform/linux/X11Desktop.h"

#include <QByteArray>
#include <QThread>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

namespace {

// A private X server for the test; no window manager, so the test sets the properties one
// would.
class XvfbServer
{
public:
    XvfbServer()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen",  "0",
                              "1024x768x24", "-nolisten",  "tcp",      "-noreset", nullptr};
        if (posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = 0;
        close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        char number[16] = {};
        if (m_pid && poll(&ready, 1, 10'000) == 1 && read(fds[0], number, sizeof number - 1) > 0)
            Display = QByteArray(":") + QByteArray(number).trimmed();
        close(fds[0]);
    }
    ~XvfbServer()
    {
        if (m_pid) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    QByteArray Display;

private:
    pid_t m_pid = 0;
};

class X11DesktopLive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (server.Display.isEmpty())
            GTEST_SKIP() << "Xvfb is not available";
        m_savedDisplay = qgetenv("DISPLAY");
        qputenv("DISPLAY", server.Display);
        c = xcb_connect(server.Display.constData(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(c));
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    }
    void TearDown() override
    {
        if (c)
            xcb_disconnect(c);
        if (!server.Display.isEmpty())
            qputenv("DISPLAY", m_savedDisplay);
    }

    xcb_atom_t Atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply->atom;
        std::free(reply);
        return atom;
    }
    xcb_window_t Window(int x, int y, int w, int h, bool mapped = true)
    {
        const xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, static_cast<int16_t>(x),
                          static_cast<int16_t>(y), static_cast<uint16_t>(w),
                          static_cast<uint16_t>(h), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        if (mapped)
            xcb_map_window(c, window);
        return window;
    }
    void Set(xcb_window_t window, const char* property, xcb_atom_t type,
             std::vector<std::uint32_t> values)
    {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, Atom(property), type, 32,
                            static_cast<uint32_t>(values.size()), values.data());
    }
    void SetText(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, const char* text)
    {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                            static_cast<uint32_t>(std::strlen(text)), text);
    }
    void Sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }
    std::vector<std::uint32_t> Get(xcb_window_t window, const char* property, xcb_atom_t type)
    {
        auto* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, Atom(property), type, 0, 64), nullptr);
        std::vector<std::uint32_t> values;
        if (reply && reply->format == 32) {
            const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
            values.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        return values;
    }

    // Started by the first test that needs it, for the rest of the process.
    static XvfbServer& Server()
    {
        static XvfbServer server;
        return server;
    }
    XvfbServer& server = Server();
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;

private:
    QByteArray m_savedDisplay;
};

} // namespace

TEST_F(X11DesktopLive, ForegroundWindowTitleFrameAndState)
{
    const xcb_window_t editor = Window(100, 100, 400, 300);
    const xcb_window_t plain = Window(10, 10, 50, 50);
    SetText(editor, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), "Editor \xC3\xBC");
    SetText(editor, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "old name");
    SetText(plain, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, "plain");
    Set(editor, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL, {2, 3, 20, 4});
    Set(editor, "_NET_WM_STATE", XCB_ATOM_ATOM,
        {Atom("_NET_WM_STATE_MAXIMIZED_VERT"), Atom("_NET_WM_STATE_MAXIMIZED_HORZ")});
    Set(plain, "_NET_WM_STATE", XCB_ATOM_ATOM, {Atom("_NET_WM_STATE_HIDDEN")});
    Set(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {editor});
    Sync();

    X11Desktop desktop;
    ASSERT_TRUE(desktop.Connected());
    EXPECT_EQ(desktop.ScreenSize(), QSize(1024, 768));
    EXPECT_EQ(desktop.DesktopWindow(), root);
    EXPECT_EQ(desktop.ForegroundWindow(), editor);
    EXPECT_EQ(desktop.WindowTitle(editor), QString::fromUtf8("Editor \xC3\xBC"));
    EXPECT_EQ(desktop.WindowTitle(plain), "plain");
    EXPECT_EQ(desktop.WindowFrame(editor), (WindowRect{98, 80, 503, 404}));
    EXPECT_EQ(desktop.WindowFrame(plain), (WindowRect{10, 10, 60, 60}));
    EXPECT_EQ(desktop.WindowShowState(editor), ShowState::Maximized);
    EXPECT_EQ(desktop.WindowShowState(plain), ShowState::Minimized);
    EXPECT_TRUE(desktop.IsWindowVisible(editor));

    // A window that is gone answers empty, and the connection lives on.
    xcb_destroy_window(c, plain);
    Sync();
    EXPECT_EQ(desktop.WindowTitle(plain), "");
    EXPECT_FALSE(desktop.WindowFrame(plain));
    EXPECT_FALSE(desktop.WindowShowState(plain));
    EXPECT_FALSE(desktop.IsWindowVisible(plain));
    EXPECT_EQ(desktop.ForegroundWindow(), editor);

    // No active window; a file manager's desktop window is the desktop.
    Set(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {0});
    Sync();
    EXPECT_EQ(desktop.ForegroundWindow(), 0u);
    Set(editor, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {Atom("_NET_WM_WINDOW_TYPE_DESKTOP")});
    Set(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {editor});
    Sync();
    EXPECT_EQ(desktop.ForegroundWindow(), root);
    xcb_destroy_window(c, editor);
    Sync();
}

TEST_F(X11DesktopLive, WorkAreaFromEwmhOrFromStruts)
{
    Set(root, "_NET_WORKAREA", XCB_ATOM_CARDINAL, {0, 0, 1024, 738, 0, 30, 1024, 738});
    Sync();
    X11Desktop desktop;
    EXPECT_EQ(DesktopWorkArea(desktop), (WindowRect{0, 0, 1024, 738}));
    Set(root, "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL, {1});
    Sync();
    EXPECT_EQ(DesktopWorkArea(desktop), (WindowRect{0, 30, 1024, 768}));
    // A desktop number past the list falls back to the first.
    Set(root, "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL, {7});
    Sync();
    EXPECT_EQ(DesktopWorkArea(desktop), (WindowRect{0, 0, 1024, 738}));

    xcb_delete_property(c, root, Atom("_NET_WORKAREA"));
    const xcb_window_t bottom = Window(0, 728, 1024, 40);
    const xcb_window_t left = Window(0, 0, 48, 728);
    Set(bottom, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL,
        {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1023});
    Set(left, "_NET_WM_STRUT", XCB_ATOM_CARDINAL, {48, 0, 0, 0});
    Set(root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW, {bottom, left, 0x7fffff});
    Sync();
    EXPECT_EQ(DesktopWorkArea(desktop), (WindowRect{48, 0, 1024, 728}));
    xcb_delete_property(c, root, Atom("_NET_CLIENT_LIST"));
    xcb_delete_property(c, root, Atom("_NET_CURRENT_DESKTOP"));
    Sync();
    EXPECT_EQ(DesktopWorkArea(desktop), (WindowRect{0, 0, 1024, 768}));
}

TEST_F(X11DesktopLive, CursorMovingHidingAndStayOnTop)
{
    X11Desktop desktop;
    xcb_warp_pointer(c, XCB_NONE, root, 0, 0, 0, 0, 300, 200);
    Sync();
    EXPECT_EQ(desktop.CursorPos(), QPoint(300, 200));
    EXPECT_FALSE(desktop.ShiftHeld());

    const xcb_window_t own = Window(10, 10, 80, 30);
    Set(own, "_NET_WM_STATE", XCB_ATOM_ATOM, {Atom("_NET_WM_STATE_SKIP_TASKBAR")});
    Sync();
    desktop.MoveWindow(own, {200, 150});
    desktop.CursorPos(); // a round trip: the server has done the change
    EXPECT_EQ(desktop.WindowFrame(own), (WindowRect{200, 150, 280, 180}));

    desktop.ShowWindowNoActivate(own, false);
    desktop.CursorPos(); // a round trip: the server has done the change
    EXPECT_FALSE(desktop.IsWindowVisible(own));
    // The window manager drops the states of a withdrawn window; they come back with it.
    xcb_delete_property(c, own, Atom("_NET_WM_STATE"));
    Sync();
    desktop.ShowWindowNoActivate(own, true);
    desktop.CursorPos(); // a round trip: the server has done the change
    EXPECT_TRUE(desktop.IsWindowVisible(own));
    EXPECT_EQ(Get(own, "_NET_WM_STATE", XCB_ATOM_ATOM),
              (std::vector<std::uint32_t>{Atom("_NET_WM_STATE_SKIP_TASKBAR")}));
    EXPECT_EQ(Get(own, "_NET_WM_USER_TIME", XCB_ATOM_CARDINAL), (std::vector<std::uint32_t>{0}));

    // Unmapped, the state goes straight into the property.
    const xcb_window_t later = Window(0, 0, 10, 10, false);
    Sync();
    desktop.SetStayOnTop(later, true);
    desktop.CursorPos(); // a round trip: the server has done the change
    EXPECT_EQ(Get(later, "_NET_WM_STATE", XCB_ATOM_ATOM),
              (std::vector<std::uint32_t>{Atom("_NET_WM_STATE_ABOVE")}));
    desktop.SetStayOnTop(later, false);
    desktop.CursorPos(); // a round trip: the server has done the change
    EXPECT_TRUE(Get(later, "_NET_WM_STATE", XCB_ATOM_ATOM).empty());
    // Windows that do not exist are ignored.
    desktop.SetStayOnTop(0x7fffff, true);
    desktop.MoveWindow(0x7fffff, {1, 1});
    desktop.ShowWindowNoActivate(0x7fffff, true);
    EXPECT_EQ(desktop.CursorPos(), QPoint(300, 200));
}

TEST(X11Desktop, WithoutADisplayEverythingAnswersEmpty)
{
    const QByteArray saved = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    {
        X11Desktop desktop;
        EXPECT_FALSE(desktop.Connected());
        EXPECT_EQ(desktop.ForegroundWindow(), 0u);
        EXPECT_TRUE(desktop.TaskbarRects().empty());
        EXPECT_FALSE(desktop.WindowFrame(5));
        desktop.MoveWindow(5, {1, 1});
    }
    if (!saved.isNull())
        qputenv("DISPLAY", saved);
}
