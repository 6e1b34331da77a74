#pragma once

#include "platform/Desktop.h"

#include <QHash>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// A desktop of given windows, foreground, cursor and Shift key that records what the program
// asks of it. Worker threads read it while a test changes it: change it under Lock.
class FakeDesktop : public Desktop
{
public:
    struct FakeWindow
    {
        QString Title;
        WindowRect Frame;
        bool Visible = true;
        std::optional<ShowState> State = ShowState::Normal;
        bool Own = false;
    };

    QSize ScreenSize() override
    {
        std::scoped_lock lock(Lock);
        return Screen;
    }
    std::vector<WindowRect> TaskbarRects() override
    {
        std::scoped_lock lock(Lock);
        return Taskbars;
    }
    WindowId ForegroundWindow() override
    {
        std::scoped_lock lock(Lock);
        ++ForegroundQueries;
        return Foreground;
    }
    WindowId DesktopWindow() override { return Root; }
    bool IsOwnWindow(WindowId window) override
    {
        std::scoped_lock lock(Lock);
        return Windows.value(window).Own;
    }
    QString WindowTitle(WindowId window) override
    {
        std::scoped_lock lock(Lock);
        return Windows.value(window).Title;
    }
    std::optional<WindowRect> WindowFrame(WindowId window) override
    {
        std::scoped_lock lock(Lock);
        if (!Windows.contains(window))
            return std::nullopt;
        return Windows.value(window).Frame;
    }
    bool IsWindowVisible(WindowId window) override
    {
        std::scoped_lock lock(Lock);
        return Windows.contains(window) && Windows.value(window).Visible;
    }
    std::optional<ShowState> WindowShowState(WindowId window) override
    {
        std::scoped_lock lock(Lock);
        if (!Windows.contains(window))
            return std::nullopt;
        return Windows.value(window).State;
    }
    QPoint CursorPos() override
    {
        std::scoped_lock lock(Lock);
        return Cursor;
    }
    bool ShiftHeld() override
    {
        std::scoped_lock lock(Lock);
        return Shift;
    }
    void SetStayOnTop(WindowId window, bool onTop) override
    {
        std::scoped_lock lock(Lock);
        StayOnTopCalls.emplace_back(window, onTop);
    }
    void MoveWindow(WindowId window, QPoint topLeft) override
    {
        std::scoped_lock lock(Lock);
        Windows[window].Frame = {topLeft.x(), topLeft.y(),
                                 topLeft.x() + Windows[window].Frame.Width(),
                                 topLeft.y() + Windows[window].Frame.Height()};
    }
    void ShowWindowNoActivate(WindowId window, bool show) override
    {
        std::scoped_lock lock(Lock);
        Windows[window].Visible = show;
    }

    static constexpr WindowId Root = 1;

    std::mutex Lock;
    QSize Screen{1024, 768};
    std::vector<WindowRect> Taskbars;
    WindowId Foreground = 0;
    QHash<WindowId, FakeWindow> Windows;
    QPoint Cursor;
    bool Shift = false;
    std::vector<std::pair<WindowId, bool>> StayOnTopCalls;
    int ForegroundQueries = 0;
};

// Hands a worker thread the one fake desktop the test owns.
class FakeDesktopView : public Desktop
{
public:
    explicit FakeDesktopView(FakeDesktop& desktop) : m_desktop(desktop) {}
    QSize ScreenSize() override { return m_desktop.ScreenSize(); }
    std::vector<WindowRect> TaskbarRects() override { return m_desktop.TaskbarRects(); }
    WindowId ForegroundWindow() override { return m_desktop.ForegroundWindow(); }
    WindowId DesktopWindow() override { return m_desktop.DesktopWindow(); }
    bool IsOwnWindow(WindowId w) override { return m_desktop.IsOwnWindow(w); }
    QString WindowTitle(WindowId w) override { return m_desktop.WindowTitle(w); }
    std::optional<WindowRect> WindowFrame(WindowId w) override { return m_desktop.WindowFrame(w); }
    bool IsWindowVisible(WindowId w) override { return m_desktop.IsWindowVisible(w); }
    std::optional<ShowState> WindowShowState(WindowId w) override
    {
        return m_desktop.WindowShowState(w);
    }
    QPoint CursorPos() override { return m_desktop.CursorPos(); }
    bool ShiftHeld() override { return m_desktop.ShiftHeld(); }
    void SetStayOnTop(WindowId w, bool onTop) override { m_desktop.SetStayOnTop(w, onTop); }
    void MoveWindow(WindowId w, QPoint topLeft) override { m_desktop.MoveWindow(w, topLeft); }
    void ShowWindowNoActivate(WindowId w, bool show) override
    {
        m_desktop.ShowWindowNoActivate(w, show);
    }

private:
    FakeDesktop& m_desktop;
};
