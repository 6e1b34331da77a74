#pragma once

#include <QObject>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class WindowPlacement;

// Moves of the main window where the compositor ignores the window's own (sway centres a
// floating X11 window at every request): each goes through the compositor's interface (or the
// window's own move where it offers none) and is checked until the window is where it was
// sent. A window the compositor keeps elsewhere is taken to be where it is.
class TCheckedPlacement : public QObject
{
public:
    struct Window
    {
        std::function<WId()> Native;         // the X window that shows the face now
        std::function<QPoint()> RealTopLeft; // asked of the X server
        std::function<bool()> MayCheck;      // shown, and neither dragged nor hidden
        std::function<double()> Opacity;
        std::function<void(QPoint)> Move; // the window's own move
        // The window stays there, not where it was sent; firstTime until it is placed again.
        std::function<void(QPoint at, bool firstTime)> Stays;
    };

    TCheckedPlacement(std::unique_ptr<WindowPlacement> placement, Window window, QObject* parent);
    ~TCheckedPlacement() override;

    // The compositor's interface; null where it offers none.
    WindowPlacement* Placement() const { return m_placement.get(); }
    void MoveTo(QPoint topLeft);
    // Once placed, the window goes above the compositor's other floating windows.
    void RaiseWhenPlaced() { m_raiseWhenPlaced = true; }
    void Stop() { m_check.stop(); }
    bool Checking() const { return m_check.isActive(); }

private:
    void Check();

    std::unique_ptr<WindowPlacement> m_placement;
    Window m_window;
    QTimer m_check;
    QPoint m_wanted;
    int m_tries = 0;
    bool m_refused = false;
    bool m_raiseWhenPlaced = false;
};
