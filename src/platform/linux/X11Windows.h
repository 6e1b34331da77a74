#pragma once

#include <QString>

// Whether any top-level window on the X display (mapped or not, managed or not) carries this
// title in _NET_WM_NAME or WM_NAME. False when there is no display.
bool X11TopLevelWindowTitled(const QString& title);

// Asks the window manager to keep a window out of the taskbar and the pager.
void X11SetSkipTaskbar(unsigned long window);
