#pragma once

#include "app/WindowThread.h"

#include <atomic>

// The floating thread: keeps the main window on the title bar of the foreground window,
// anchored at its right edge, or at the work area's top-right corner when there is none to
// ride on. The main thread writes the fields between passes.
class TFltCtrl : public TWindowThread
{
public:
    TFltCtrl(DesktopFactory desktop, TWindowHandOff& handOff)
        : TWindowThread(std::move(desktop), handOff, 100)
    {}
    ~TFltCtrl() override { Stop(); }

    // One pass on a desktop, as the thread runs it. False when the thread is to end.
    bool Pass(Desktop& desktop) override;
    bool Idle() const override { return !Active.load(); }

    std::atomic<int> TargetX{0};
    std::atomic<int> TargetY{0};
    std::atomic<int> OwnWidth{0};
    std::atomic<int> OwnHeight{0};
    std::atomic<int> OffsetX{0};
    std::atomic<int> OffsetY{0};
    std::atomic<bool> Animate{false};
    std::atomic<bool> Active{false};

private:
    WindowId m_lastForeground = 0;
};
