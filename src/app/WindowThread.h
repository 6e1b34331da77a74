#pragma once

#include "platform/Desktop.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// What the window-behaviour threads have the main thread do. Each call runs on the main
// thread while the thread that asked waits for it.
class TWindowHandOff
{
public:
    virtual ~TWindowHandOff() = default;

    // Floating: move the main window there, keeping its size and stacking.
    virtual void FloatMoveWindow(QPoint topLeft) = 0;
    // Floating gave up: the window stayed at this place however often it was moved.
    virtual void FloatRefused(QPoint at) = 0;
    // Auto-active: into the tray or out of it (SetTrayMode).
    virtual void SetTrayMode(bool inTray) = 0;
    // Auto-active: the program was activated (full) or another window was (compact). The main
    // window switches with AutoModeSwitch when it is in the other mode and its options item is
    // enabled.
    virtual void AutoModeTo(bool full) = 0;
};

// A thread of the window behaviour: created suspended, resumed once, then one pass per
// interval until stopped. A pass that fails ends the thread quietly.
class TWindowThread : public QThread
{
public:
    // Made on the thread itself, as each thread talks to the desktop on a connection of its own.
    using DesktopFactory = std::function<std::unique_ptr<Desktop>()>;

    TWindowThread(DesktopFactory desktop, TWindowHandOff& handOff, int intervalMs);
    ~TWindowThread() override;

    void Resume();
    // Asks the thread to end and waits for it, still serving a hand-off it waits on.
    void Stop();
    // Wakes the thread from an idle sleep, so that it sees switches just turned on.
    void Wake();

    std::atomic<int> Interval;
    std::atomic<WindowId> Window{0};

protected:
    // One pass; false ends the thread.
    virtual bool Pass(Desktop& desktop) = 0;
    // Runs a call on the main thread and waits for it; false when the thread is being stopped.
    bool HandOff(const std::function<void(TWindowHandOff&)>& call);
    // Sleeps the interval, or while the thread is idle until it is woken; false when the
    // thread is being stopped.
    bool SleepInterval();
    // Whether the thread has nothing to watch: it then sleeps until Wake rather than waking
    // every interval for nothing.
    virtual bool Idle() const { return false; }

    TWindowHandOff& m_handOff;

private:
    void run() override;

    DesktopFactory m_desktopFactory;
    std::mutex m_sleepLock;
    std::condition_variable m_wake;
    bool m_woken = false;
};
