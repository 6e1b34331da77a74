#include "app/FltCtrl.h"

#include "app/WindowBehaviour.h"

bool TFltCtrl::Pass(Desktop& desktop)
{
    // Switched off, a pass asks the X server nothing: the thread idles at no cost.
    if (!Active.load() || GaveUp.load()) {
        m_asked.reset();
        m_refusals = 0;
        return true;
    }
    const WindowId own = Window.load();
    const std::optional<WindowRect> ownFrame = desktop.WindowFrame(own);
    if (!ownFrame)
        return true; // not made yet, or being made anew

    OwnWidth = ownFrame->Width() + 1;
    OwnHeight = ownFrame->Height() + 1;
    const QPoint current(ownFrame->Left, ownFrame->Top);

    WindowId foreground = desktop.ForegroundWindow();
    if (foreground != m_lastForeground) {
        // Let a newly activated window settle before following it.
        if (!SleepInterval())
            return false;
        foreground = desktop.ForegroundWindow();
    }
    m_lastForeground = foreground;

    std::optional<TFloatCandidate> candidate;
    // The program's own dialogs are no place to ride on: it would jump onto the options
    // dialog's title bar behind it.
    if (foreground != own && !desktop.IsOwnWindow(foreground)) {
        TFloatCandidate seen;
        seen.Title = desktop.WindowTitle(foreground).left(256);
        seen.IsDesktop = foreground == desktop.DesktopWindow();
        if (const std::optional<WindowRect> frame = desktop.WindowFrame(foreground))
            seen.Frame = *frame;
        seen.Visible = desktop.IsWindowVisible(foreground);
        seen.Minimized = desktop.WindowShowState(foreground) == ShowState::Minimized;
        candidate = seen;
    }
    const int offsetX = OffsetX.load();
    const int offsetY = OffsetY.load();
    // The work area is asked for only when the window goes to the corner.
    const bool rides = candidate && FloatQualifies(*candidate, OwnHeight.load(), offsetX, offsetY);
    const WindowRect workArea = candidate && !rides ? DesktopWorkArea(desktop) : WindowRect{};
    QPoint target = FloatTarget(current, candidate, OwnHeight.load(), offsetX, offsetY, workArea);
    if (Animate.load())
        target = FloatAnimateStep(current, target);

    if (target == current) {
        m_asked.reset();
        m_refusals = 0;
        return true;
    }
    // Asked for the same place again while the window is elsewhere: the last move was not made.
    m_refusals = m_asked == target ? m_refusals + 1 : 0;
    if (m_refusals >= RefusalLimit) {
        GaveUp = true;
        m_asked.reset();
        m_refusals = 0;
        return HandOff([current](TWindowHandOff& main) { main.FloatRefused(current); });
    }
    m_asked = target;
    TargetX = target.x();
    TargetY = target.y();
    return HandOff([target](TWindowHandOff& main) { main.FloatMoveWindow(target); });
}
