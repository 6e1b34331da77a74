#pragma once

#include "platform/Desktop.h"

#include <QHash>
#include <cstdint>
#include <memory>
#include <vector>

struct xcb_connection_t;
class SwayIpc;

// The desktop through X11 and the window manager's EWMH properties, on a connection of its
// own: each thread that asks makes its own instance. Requests on this connection are not
// ordered against Qt's, so it is for queries and for changes to windows that exist and are
// mapped.
class X11Desktop : public Desktop
{
public:
    // Connects to $DISPLAY; without one every query answers empty and changes do nothing.
    X11Desktop();
    ~X11Desktop() override;
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    bool Connected() const { return m_connection != nullptr; }

    QSize ScreenSize() override;
    std::vector<WindowRect> TaskbarRects() override;
    WindowId ForegroundWindow() override;
    WindowId DesktopWindow() override;
    QString WindowTitle(WindowId window) override;
    bool IsOwnWindow(WindowId window) override;
    std::optional<WindowRect> WindowFrame(WindowId window) override;
    bool IsWindowVisible(WindowId window) override;
    std::optional<ShowState> WindowShowState(WindowId window) override;
    QPoint CursorPos() override;
    bool ShiftHeld() override;
    bool PointerSeenEverywhere() override { return !m_xwayland; }
    void SetStayOnTop(WindowId window, bool onTop) override;
    void MoveWindow(WindowId window, QPoint topLeft) override;
    void ShowWindowNoActivate(WindowId window, bool show) override;

    // Panels that the work area (x, y, width, height) leaves out of a screen, each reaching past
    // the screen edges it lies along.
    static std::vector<WindowRect> PanelsAround(QSize screen, const WindowRect& workArea);

private:
    enum Atom
    {
        NetActiveWindow,
        NetWorkarea,
        NetCurrentDesktop,
        NetClientList,
        NetWmStrut,
        NetWmStrutPartial,
        NetWmName,
        Utf8String,
        NetFrameExtents,
        NetWmState,
        NetWmStateHidden,
        NetWmStateMaximizedVert,
        NetWmStateMaximizedHorz,
        NetWmStateFullscreen,
        NetWmStateAbove,
        NetWmWindowType,
        NetWmWindowTypeDesktop,
        NetWmUserTime,
        NetWmPid,
        AtomCount
    };
    struct ConnectionCloser
    {
        void operator()(xcb_connection_t* c) const;
    };

    std::vector<std::uint32_t> Cardinals(std::uint32_t window, std::uint32_t property,
                                         std::uint32_t type, bool* exists = nullptr);
    void DrainEvents();
    void SendState(std::uint32_t window, bool add, std::uint32_t state);

    // sway's IPC where $SWAYSOCK names it; null elsewhere. Opened when first asked.
    SwayIpc* Sway();
    std::optional<WindowRect> SwayWorkArea();

    std::unique_ptr<xcb_connection_t, ConnectionCloser> m_connection;
    // sway publishes neither a work area nor frame extents to X11 clients; its IPC tells them.
    std::unique_ptr<SwayIpc> m_sway;
    bool m_swayAsked = false;
    std::uint32_t m_root = 0;
    QSize m_screen;
    bool m_xwayland = false;
    std::uint32_t m_atoms[AtomCount] = {};
    // The window manager forgets the states of a window it no longer manages; a hidden window
    // gets them back when shown.
    QHash<WindowId, std::vector<std::uint32_t>> m_hiddenStates;
};
