#pragma once

#include "platform/Desktop.h"

#include <QPoint>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The main window's rules as a window, free of widgets: placement with the snap to the work
// area's edges, dragging, the status tips' timing, hiding while the mouse is near, and the
// targets of the floating thread. The main window feeds them and carries out what they say.

// Where the window of this size goes when released at pos: inside the work area, and flush to
// any edge it was released within 8 pixels of.
QPoint PlaceWindow(QPoint pos, QSize size, const WindowRect& workArea);
// Where the window starts: its saved place kept inside the work area, or with none saved (a
// first start) the middle of home, the primary monitor's part of the work area.
QPoint StartPlace(std::optional<QPoint> saved, QSize size, const WindowRect& workArea,
                  const WindowRect& home);
// Whether enough of a window at pos shows on one of the monitors to be seen and dragged back.
bool ShowsOnAMonitor(QPoint pos, QSize size, const std::vector<WindowRect>& monitors);
// A window on none of the monitors (one that is gone) comes to the nearest place in home.
QPoint KeepOnMonitors(QPoint pos, QSize size, const std::vector<WindowRect>& monitors,
                      const WindowRect& home);

// Dragging on the face image.
class TWindowDrag
{
public:
    // Mouse down at a point in window coordinates. True when a drag starts; either way the
    // drag suppression of a double click is used up.
    bool DragStart(bool leftButton, QPoint point);
    // Mouse move: the window's new top-left while dragging.
    std::optional<QPoint> DragNavigation(QPoint windowTopLeft, QPoint point) const;
    // Mouse up: true when a drag ended, and the window is then to be placed.
    bool DragEnd(bool leftButton);
    // A double click on the face image switched the mode; its second press must not drag.
    void FaceImgDblClick() { SuppressDrag = true; }

    bool Dragging = false;
    int DragOriginX = 0;
    int DragOriginY = 0;
    bool SuppressDrag = false;
};

// When the status tips window shows: after a second of rest on the face, not within a minute
// of a click or of opening the pop-up menu. A click's minute ends when the pointer leaves the
// face: back on it, the tip comes after the usual rest. Times are the millisecond tick, which
// wraps.
class TStatusTips
{
public:
    enum class Action
    {
        None,
        Hide,
        Show
    };

    static constexpr std::uint32_t RestMs = 1000;
    static constexpr std::uint32_t AfterClickMs = 60'000;
    static constexpr std::uint32_t BlindAfterMs = 10'000;

    // Mouse down on the window (suppresses the tip this tick, too) and the pop-up menu.
    void MouseDown(std::uint32_t now);
    void PopupOpened(std::uint32_t now);
    // One check per drawing tick. overFace: the foreground window is the main window or the
    // tips window and the cursor lies on the face. blindCursor: where the X server last saw the
    // pointer, on desktops where it does not see it everywhere. There a pointer moved by
    // absolute motion (remote desktop, tablets) can leave with neither a move nor a leave
    // reaching X11, so a tip over a pointer still for BlindAfterMs is taken down, and shows
    // again once the pointer moves on the face.
    Action Update(bool overFace, std::uint32_t now,
                  std::optional<QPoint> blindCursor = std::nullopt);
    // The pointer left the face. Some compositors stop reporting the pointer to X11 clients
    // once it is over one of their own surfaces, so the leave is the last word on it.
    Action PointerLeft();
    // Back to no tip pending, as at start-up.
    void Reset();

    static bool CursorOverFace(QPoint cursor, QPoint windowTopLeft, QSize face);
    // The tips window's top-left: below right of the cursor, kept inside the work area.
    static QPoint TipPosition(QPoint cursor, QSize tipSize, const WindowRect& workArea);

    std::uint32_t TipDueTime = 0;   // 0: none pending
    std::uint32_t TipHoldUntil = 0; // 0: no click holds the tip back
    bool TipShown = false;
    bool TipSuppressOnce = false;

private:
    static std::uint32_t DueAfter(std::uint32_t now, std::uint32_t delay);
    static bool Passed(std::uint32_t now, std::uint32_t due);
    // The pointer is off the face: a pending tip is off, and so is a click's hold.
    void PointerAway();
    // Whether the pointer has been still on a blind desktop for too long to be trusted.
    bool StillTooLong(const std::optional<QPoint>& blindCursor, std::uint32_t now);

    bool m_clickHold = false;
    std::optional<QPoint> m_stillCursor;
    std::uint32_t m_stillSince = 0;
};

// Hiding the window while the mouse is near it; Shift brings it back.
//
// Where the pointer can go where X11 cannot see it (Xwayland stops reporting it once it is over
// a native Wayland surface), a position that stays the same may be a pointer that left long
// ago. Without a tray to bring the window back it would be lost, so there a pointer unchanged
// for BlindAfterMs counts as gone: the window comes back and stays until the pointer is seen
// to move near it again.
class TProximityHiding
{
public:
    enum class Action
    {
        None,
        Hide,
        Show
    };

    static constexpr int Margin = 16;
    static constexpr std::uint32_t BlindAfterMs = 3000;

    // enabled: AutoHidingOnMouse is on and the options item is enabled. pointerSeenEverywhere:
    // the desktop reports every move of the pointer. now: the millisecond tick, which wraps.
    Action Check(bool enabled, const WindowRect& window, const WindowRect& workArea, QPoint cursor,
                 bool shiftHeld, bool pointerSeenEverywhere = true, std::uint32_t now = 0);
    static bool MouseNear(const WindowRect& window, const WindowRect& workArea, QPoint cursor,
                          bool shiftHeld);

    bool ProximityHidden = false;

private:
    std::optional<QPoint> m_lastCursor;
    std::uint32_t m_lastMoveAt = 0;
};

// The floating thread's view of the foreground window.
struct TFloatCandidate
{
    QString Title;
    WindowRect Frame;
    bool IsDesktop = false;
    bool Visible = false;
    bool Minimized = false;
};

// Whether the window can ride on this foreground window's title bar.
bool FloatQualifies(const TFloatCandidate& candidate, int ownHeight, int offsetX, int offsetY);
// The floating target: anchored at the right edge of a qualifying foreground window, else at
// the top-right corner of the work area. candidate is empty when the foreground window is ours,
// which leaves the window where it is.
QPoint FloatTarget(QPoint current, const std::optional<TFloatCandidate>& candidate, int ownHeight,
                   int offsetX, int offsetY, const WindowRect& workArea);
// One step of the animated approach: half of the remaining way, the last 3 pixels at once.
QPoint FloatAnimateStep(QPoint current, QPoint target);
