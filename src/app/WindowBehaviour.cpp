#include "app/WindowBehaviour.h"

#include <algorithm>
#include <cstdlib>

QPoint PlaceWindow(QPoint pos, QSize size, const WindowRect& workArea)
{
    constexpr int snap = 8;
    const int w = size.width();
    const int h = size.height();
    int x = pos.x();
    int y = pos.y();
    if (x <= workArea.Left)
        x = workArea.Left;
    if (y <= workArea.Top)
        y = workArea.Top;
    if (x + w >= workArea.Right)
        x = workArea.Right - w;
    if (y + h >= workArea.Bottom)
        y = workArea.Bottom - h;
    if (x + w + snap > workArea.Right)
        x = workArea.Right - w;
    if (y + h + snap > workArea.Bottom)
        y = workArea.Bottom - h;
    if (x - snap < workArea.Left)
        x = workArea.Left;
    if (y - snap < workArea.Top)
        y = workArea.Top;
    return {x, y};
}

QPoint StartPlace(std::optional<QPoint> saved, QSize size, const WindowRect& workArea,
                  const WindowRect& home)
{
    if (saved)
        return PlaceWindow(*saved, size, workArea);
    return PlaceWindow({home.Left + (home.Width() - size.width()) / 2,
                        home.Top + (home.Height() - size.height()) / 2},
                       size, home);
}

bool ShowsOnAMonitor(QPoint pos, QSize size, const std::vector<WindowRect>& monitors)
{
    // A piece of the face large enough to find and grab.
    return std::any_of(monitors.begin(), monitors.end(), [&](const WindowRect& m) {
        const int w = std::min(m.Right, pos.x() + size.width()) - std::max(m.Left, pos.x());
        const int h = std::min(m.Bottom, pos.y() + size.height()) - std::max(m.Top, pos.y());
        return w >= std::min(size.width(), 32) && h >= std::min(size.height(), 16);
    });
}

QPoint KeepOnMonitors(QPoint pos, QSize size, const std::vector<WindowRect>& monitors,
                      const WindowRect& home)
{
    // No monitor known (no display to ask): nothing to judge by.
    if (monitors.empty() || ShowsOnAMonitor(pos, size, monitors))
        return pos;
    return PlaceWindow(pos, size, home);
}

bool TWindowDrag::DragStart(bool leftButton, QPoint point)
{
    const bool starts = leftButton && !SuppressDrag;
    if (starts) {
        Dragging = true;
        DragOriginX = point.x();
        DragOriginY = point.y();
    }
    SuppressDrag = false;
    return starts;
}

std::optional<QPoint> TWindowDrag::DragNavigation(QPoint windowTopLeft, QPoint point) const
{
    if (!Dragging)
        return std::nullopt;
    return QPoint(windowTopLeft.x() + point.x() - DragOriginX,
                  windowTopLeft.y() + point.y() - DragOriginY);
}

bool TWindowDrag::DragEnd(bool leftButton)
{
    if (!leftButton || !Dragging)
        return false;
    DragOriginX = 0;
    DragOriginY = 0;
    Dragging = false;
    return true;
}

std::uint32_t TStatusTips::DueAfter(std::uint32_t now, std::uint32_t delay)
{
    // 0 means none pending, so a due time that wraps onto it is taken one tick later.
    const std::uint32_t due = now + delay;
    return due == 0 ? 1 : due;
}

void TStatusTips::MouseDown(std::uint32_t now)
{
    PopupOpened(now);
    TipSuppressOnce = true;
    m_clickHold = true;
}

void TStatusTips::PopupOpened(std::uint32_t now)
{
    TipDueTime = DueAfter(now, AfterClickMs);
    TipHoldUntil = TipDueTime;
    m_clickHold = false;
}

void TStatusTips::PointerAway()
{
    TipDueTime = 0;
    if (m_clickHold) {
        TipHoldUntil = 0;
        m_clickHold = false;
    }
}

void TStatusTips::Reset()
{
    TipDueTime = 0;
    TipHoldUntil = 0;
    TipShown = false;
    TipSuppressOnce = false;
    m_clickHold = false;
    m_stillCursor.reset();
}

bool TStatusTips::Passed(std::uint32_t now, std::uint32_t due)
{
    // Compared as a distance, so the tick count's wrap neither fires the tip early nor holds it
    // back for 49 days.
    return static_cast<std::int32_t>(now - due) > 0;
}

bool TStatusTips::StillTooLong(const std::optional<QPoint>& blindCursor, std::uint32_t now)
{
    if (!blindCursor) {
        m_stillCursor.reset();
        return false;
    }
    if (blindCursor != m_stillCursor) {
        m_stillCursor = blindCursor;
        m_stillSince = now;
        return false;
    }
    return static_cast<std::uint32_t>(now - m_stillSince) >= BlindAfterMs;
}

TStatusTips::Action TStatusTips::Update(bool overFace, std::uint32_t now,
                                        std::optional<QPoint> blindCursor)
{
    if (overFace && StillTooLong(blindCursor, now))
        overFace = false;
    else if (!overFace)
        m_stillCursor.reset();
    // The tick of a click only hides; it must not clear the minute the click holds the tip
    // back.
    const bool suppressed = TipSuppressOnce;
    TipSuppressOnce = false;
    if (TipHoldUntil != 0 && Passed(now, TipHoldUntil))
        TipHoldUntil = 0;
    if (!overFace && !suppressed)
        PointerAway();
    const bool resting = overFace && !suppressed;
    if (resting == TipShown)
        return Action::None;
    if (!resting) {
        TipShown = false;
        return Action::Hide;
    }
    if (TipDueTime == 0) {
        TipDueTime = TipHoldUntil != 0 ? TipHoldUntil : DueAfter(now, RestMs);
        return Action::None;
    }
    if (!Passed(now, TipDueTime))
        return Action::None;
    TipShown = true;
    TipDueTime = 0;
    return Action::Show;
}

TStatusTips::Action TStatusTips::PointerLeft()
{
    if (!TipSuppressOnce)
        PointerAway();
    if (!TipShown)
        return Action::None;
    TipShown = false;
    return Action::Hide;
}

bool TStatusTips::CursorOverFace(QPoint cursor, QPoint windowTopLeft, QSize face)
{
    return cursor.x() >= windowTopLeft.x() && cursor.y() >= windowTopLeft.y() &&
           cursor.x() < windowTopLeft.x() + face.width() &&
           cursor.y() < windowTopLeft.y() + face.height();
}

QPoint TStatusTips::TipPosition(QPoint cursor, QSize tipSize, const WindowRect& workArea)
{
    int x = cursor.x() + 8;
    int y = cursor.y() + 24;
    if (x + tipSize.width() > workArea.Right)
        x = workArea.Right - tipSize.width();
    if (y + tipSize.height() > workArea.Bottom)
        y = workArea.Bottom - tipSize.height();
    // A tip larger than the work area keeps its top-left corner on the screen.
    if (x < workArea.Left)
        x = workArea.Left;
    if (y < workArea.Top)
        y = workArea.Top;
    return {x, y};
}

bool TProximityHiding::MouseNear(const WindowRect& window, const WindowRect& workArea,
                                 QPoint cursor, bool shiftHeld)
{
    const int width = window.Width();
    const int height = window.Height();
    if (width > workArea.Right || height > workArea.Bottom || shiftHeld)
        return false;
    const int hw = width / 2;
    const int hh = height / 2;
    const int cx = window.Left + hw;
    const int cy = window.Top + hh;
    return cx - hw - Margin <= cursor.x() && cursor.x() < cx + hw + Margin &&
           cy - hh - Margin <= cursor.y() && cursor.y() < cy + hh + Margin;
}

TProximityHiding::Action TProximityHiding::Check(bool enabled, const WindowRect& window,
                                                 const WindowRect& workArea, QPoint cursor,
                                                 bool shiftHeld, bool pointerSeenEverywhere,
                                                 std::uint32_t now)
{
    bool seen = true;
    if (!pointerSeenEverywhere) {
        if (cursor != m_lastCursor) {
            m_lastCursor = cursor;
            m_lastMoveAt = now;
        }
        seen = now - m_lastMoveAt < BlindAfterMs;
    }
    const bool near = enabled && seen && MouseNear(window, workArea, cursor, shiftHeld);
    if (near == ProximityHidden)
        return Action::None;
    ProximityHidden = near;
    return near ? Action::Hide : Action::Show;
}

bool FloatQualifies(const TFloatCandidate& candidate, int ownHeight, int offsetX, int offsetY)
{
    return !candidate.Title.isEmpty() && !candidate.IsDesktop &&
           candidate.Title != QLatin1String("Program Manager") && candidate.Visible &&
           !candidate.Minimized && candidate.Frame.Width() >= std::abs(offsetX) + 64 &&
           candidate.Frame.Height() >= ownHeight + offsetY;
}

QPoint FloatTarget(QPoint current, const std::optional<TFloatCandidate>& candidate, int ownHeight,
                   int offsetX, int offsetY, const WindowRect& workArea)
{
    if (!candidate)
        return current;
    if (FloatQualifies(*candidate, ownHeight, offsetX, offsetY))
        return {candidate->Frame.Right + offsetX, candidate->Frame.Top + offsetY};
    return {workArea.Right + offsetX, workArea.Top};
}

QPoint FloatAnimateStep(QPoint current, QPoint target)
{
    const auto step = [](int from, int to) {
        const int distance = to - from;
        if (std::abs(distance) > 3 && distance / 2 != 0)
            return from + distance / 2;
        return to;
    };
    return {step(current.x(), target.x()), step(current.y(), target.y())};
}
