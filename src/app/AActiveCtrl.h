#pragma once

#include "app/WindowThread.h"

#include <QString>
#include <atomic>

// The auto-active thread: full mode while the program is the active window, compact mode when
// another is, and into the tray while the active window is maximised.
class TAActiveCtrl : public TWindowThread
{
public:
    // ownCaption: the main window's fixed caption, told apart from other windows' titles.
    TAActiveCtrl(DesktopFactory desktop, TWindowHandOff& handOff, QString ownCaption)
        : TWindowThread(std::move(desktop), handOff, 500), m_ownCaption(std::move(ownCaption))
    {}
    ~TAActiveCtrl() override { Stop(); }

    // One pass on a desktop, as the thread runs it. False when the thread is to end.
    bool Pass(Desktop& desktop) override;
    bool Idle() const override { return !AutoTray.load() && !AutoMode.load(); }

    std::atomic<bool> AutoMode{false};
    std::atomic<bool> AutoTray{false};

    WindowId LastForeground() const { return m_lastForeground; }

private:
    QString m_ownCaption;
    WindowId m_lastForeground = 0;
    int m_lastShowCmd = 0;
};
