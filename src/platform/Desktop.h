#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

// A screen rectangle as the desktop reports it: right and bottom lie just outside.
struct WindowRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const WindowRect&) const = default;
};

// A native top-level window; 0 is none.
using WindowId = unsigned long;

// The show states of a window's placement.
enum class ShowState
{
    Normal = 1,
    Minimized = 2,
    Maximized = 3
};

// What the program asks of the desktop about windows other than its own widgets: the panels
// that make up the taskbar, the foreground window and its title, frame, visibility and state,
// the cursor and the Shift key, and stacking, moving and hiding of its own window without
// activating it. One instance serves one thread.
class Desktop
{
public:
    virtual ~Desktop() = default;

    // Size of the primary screen.
    virtual QSize ScreenSize() = 0;
    // Rectangles of the panels that reserve screen space, each reaching one pixel or more past
    // the screen edges it lies along, as a taskbar is reported.
    virtual std::vector<WindowRect> TaskbarRects() = 0;

    virtual WindowId ForegroundWindow() = 0;
    virtual WindowId DesktopWindow() = 0;
    // Whether a window belongs to this process (its dialogs, tips and menus).
    virtual bool IsOwnWindow(WindowId window) = 0;
    // Empty when the window has no title or is gone.
    virtual QString WindowTitle(WindowId window) = 0;
    // The frame rectangle on the screen; none when the window is gone.
    virtual std::optional<WindowRect> WindowFrame(WindowId window) = 0;
    virtual bool IsWindowVisible(WindowId window) = 0;
    // None when the window cannot be examined.
    virtual std::optional<ShowState> WindowShowState(WindowId window) = 0;

    virtual QPoint CursorPos() = 0;
    virtual bool ShiftHeld() = 0;
    // False where the pointer can be over surfaces that do not report it to this program (an X
    // server inside a Wayland compositor): there CursorPos() keeps the last position it knew.
    virtual bool PointerSeenEverywhere() { return true; }

    virtual void SetStayOnTop(WindowId window, bool onTop) = 0;
    virtual void MoveWindow(WindowId window, QPoint topLeft) = 0;
    // Hides or shows a window without giving it the focus.
    virtual void ShowWindowNoActivate(WindowId window, bool show) = 0;
};

// The screen minus the taskbar. A panel is taken out only when it overhangs three screen edges
// the way a docked taskbar does; every such panel is taken out, so a desktop with a panel at
// the top and one at the bottom gets the space between them.
WindowRect WorkAreaFromTaskbars(QSize screen, const std::vector<WindowRect>& taskbars);
WindowRect DesktopWorkArea(Desktop& desktop);

// Whether a window manager of this name (_NET_WM_NAME of its check window) moves a window
// that asks to be moved. The X11 window manager of wlroots compositors does not: sway centres
// a floating window at every configure request, others leave it where it is; a drag there
// goes through the window manager's own move instead.
bool WindowManagerHonoursClientMoves(const QString& windowManagerName);
