#pragma once

#include <QRect>
#include <QString>
#include <vector>

struct xcb_connection_t;

// Qt's own connection to the X server; null without one (headless runs, other platforms).
// Requests on it reach the server in order with Qt's, so they see the windows Qt has just made.
xcb_connection_t* X11QtConnection();

// Whether any top-level window on the X display (mapped or not, managed or not) carries this
// title in _NET_WM_NAME or WM_NAME. False when there is no display.
bool X11TopLevelWindowTitled(const QString& title);

// The client message by which a second start asks the running instance to come to the front.
inline constexpr char X11ComeForwardAtom[] = "_PULSMIR_COME_FORWARD";
// Sends it to the top-level windows with this title; how many it reached.
int X11SendComeForward(const QString& title);

// The window's outline in screen pixels (none: the whole window), on Qt's own connection. Qt
// takes an outline only in the window's units, which at a fractional scale fall between screen
// pixels. False when it could not be set.
bool X11SetWindowShape(unsigned long window, const std::vector<QRect>& rects);
bool X11ClearWindowShape(unsigned long window);

// Asks the window manager to keep a window out of the taskbar and the pager.
void X11SetSkipTaskbar(unsigned long window);

// The name the window manager gives itself (_NET_WM_NAME of its _NET_SUPPORTING_WM_CHECK
// window); empty without one.
QString X11WindowManagerName();

// Whether a compositing manager runs on the default screen (an owner of _NET_WM_CM_S0): a
// window with an alpha channel is then blended, not drawn black where it is transparent.
bool X11CompositingManagerRunning();

// Sends what Qt has queued for the X server now; Qt itself sends it only when its event loop
// waits, so a window drawn while start-up keeps the loop busy would stay empty on screen.
void X11FlushRequests();
