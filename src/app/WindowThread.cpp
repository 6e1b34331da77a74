#include "app/WindowThread.h"

#include "settings/Settings.h"

#include <QCoreApplication>
#include <chrono>

TWindowThread::TWindowThread(DesktopFactory desktop, TWindowHandOff& handOff, int intervalMs)
    : Interval(intervalMs), m_handOff(handOff), m_desktopFactory(std::move(desktop))
{}

TWindowThread::~TWindowThread()
{
    Stop();
}

void TWindowThread::Resume()
{
    if (!isRunning() && !isFinished())
        start();
}

void TWindowThread::Stop()
{
    {
        std::scoped_lock lock(m_sleepLock);
        requestInterruption();
    }
    m_wake.notify_all();
    // The thread may be blocked in a hand-off to this very thread: serve it while waiting.
    while (!wait(5))
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

bool TWindowThread::HandOff(const std::function<void(TWindowHandOff&)>& call)
{
    if (isInterruptionRequested())
        return false;
    // A pass run on the main thread itself (tests, benchmarks) calls straight through.
    if (QThread::currentThread() == thread()) {
        call(m_handOff);
        return true;
    }
    QMetaObject::invokeMethod(
        this, [this, &call] { call(m_handOff); }, Qt::BlockingQueuedConnection);
    return !isInterruptionRequested();
}

void TWindowThread::Wake()
{
    {
        std::scoped_lock lock(m_sleepLock);
        m_woken = true;
    }
    m_wake.notify_all();
}

bool TWindowThread::SleepInterval()
{
    std::unique_lock lock(m_sleepLock);
    // A switch is set before its Wake, so a wake after this point is never missed.
    m_woken = false;
    if (Idle()) {
        m_wake.wait(lock, [this] { return m_woken || isInterruptionRequested(); });
        return !isInterruptionRequested();
    }
    const auto interval = std::chrono::milliseconds(ThreadIntervalMs(Interval.load()));
    return !m_wake.wait_for(lock, interval, [this] { return isInterruptionRequested(); });
}

void TWindowThread::run()
{
    // The X server is connected to only once there is something to watch: by default neither
    // thread has anything, and a connection costs both sides buffers for the whole run.
    std::unique_ptr<Desktop> desktop;
    try {
        while (!isInterruptionRequested()) {
            if (!desktop && !Idle()) {
                desktop = m_desktopFactory ? m_desktopFactory() : nullptr;
                if (!desktop)
                    return;
            }
            if ((desktop && !Pass(*desktop)) || !SleepInterval())
                return;
        }
    } catch (...) {
        // A failing pass ends the thread; the window just stops floating or switching.
    }
}
