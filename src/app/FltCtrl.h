#pragma once

#include "app/WindowThread.h"

#include <QPoint>
#include <atomic>
#include <optional>

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
    bool Idle() const override { return !Active.load() || GaveUp.load(); }

    // Moves the window manager left undone, one after another, before floating gives up: the
    // compositor refuses the window's moves (a wlroots compositor without a way in). Generous,
    // so that a window manager slowed down by a loaded machine is not taken for one.
    static constexpr int RefusalLimit = 20;

    std::atomic<int> TargetX{0};
    std::atomic<int> TargetY{0};
    std::atomic<int> OwnWidth{0};
    std::atomic<int> OwnHeight{0};
    std::atomic<int> OffsetX{0};
    std::atomic<int> OffsetY{0};
    std::atomic<bool> Animate{false};
    std::atomic<bool> Active{false};
    // Set by the thread when the compositor refused the moves; floating then rests until the
    // main thread clears it (switched on again, another skin mode).
    std::atomic<bool> GaveUp{false};

private:
    WindowId m_lastForeground = 0;
    std::optional<QPoint> m_asked;
    int m_refusals = 0;
};
