#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

// Turns the event loop until `done` holds; false if it still does not after `timeoutMs`.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
