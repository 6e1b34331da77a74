#pragma once

#include "platform/Desktop.h"

#include <QPoint>
#include <QString>

// Puts the program's own top-level window somewhere on desktops whose compositor ignores the
// window's own X11 moves (sway centres a floating X11 window at every configure request) but
// takes a move through an interface of its own. Other desktops have none: the window moves
// itself there.
class WindowPlacement
{
public:
    virtual ~WindowPlacement() = default;

    // False when the compositor did not take the move (the window not known to it yet, or the
    // compositor gone).
    virtual bool MoveWindow(WindowId window, QPoint topLeft) = 0;
    // The window's opacity, 0 to 1, for a compositor that ignores _NET_WM_WINDOW_OPACITY as it
    // ignores the moves. False when it did not take it.
    virtual bool SetOpacity(WindowId window, double opacity) = 0;
    // Puts the window, which is at topLeft, above the compositor's other floating windows
    // without taking the focus, for a compositor that keeps no window above the one in focus
    // (sway raises a floating window that takes the focus over every other one).
    virtual bool RaiseWindow(WindowId window, QPoint topLeft) = 0;
    // For the log: what places the window.
    virtual QString Name() const = 0;
};
