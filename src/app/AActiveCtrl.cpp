#include "app/AActiveCtrl.h"

bool TAActiveCtrl::Pass(Desktop& desktop)
{
    // With both rules off there is nothing to watch; the X server is not asked.
    if (!AutoTray.load() && !AutoMode.load())
        return true;
    const WindowId own = Window.load();
    const WindowId foreground = desktop.ForegroundWindow();
    const bool changed = foreground != m_lastForeground;

    // A window that cannot be examined is passed over for the tray rule.
    if (const std::optional<ShowState> state = desktop.WindowShowState(foreground);
        state && AutoTray.load() && (static_cast<int>(*state) != m_lastShowCmd || changed)) {
        if (*state == ShowState::Maximized) {
            m_lastShowCmd = static_cast<int>(ShowState::Maximized);
            if (!HandOff([](TWindowHandOff& main) { main.SetTrayMode(true); }))
                return false;
        } else {
            const QString title = desktop.WindowTitle(foreground);
            if (!title.isEmpty() && title != m_ownCaption) {
                m_lastShowCmd = static_cast<int>(*state);
                if (!HandOff([](TWindowHandOff& main) { main.SetTrayMode(false); }))
                    return false;
            }
        }
    }

    if (changed && AutoMode.load()) {
        const bool full = foreground == own;
        if (!HandOff([full](TWindowHandOff& main) { main.AutoModeTo(full); }))
            return false;
    }
    m_lastForeground = foreground;
    return true;
}
