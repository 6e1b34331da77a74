#include "app/AActiveCtrl.h"
#include "app/FltCtrl.h"
#include "doubles/FakeDesktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr WindowId Own = 100;
constexpr WindowId Editor = 200;
constexpr WindowId Narrow = 300;
constexpr WindowId OwnDialog = 400;
const QString OwnCaption = QStringLiteral("Pulsmir");

// Records the hand-offs; floating moves go to the fake desktop, as the main window would move.
class RecordingHandOff : public TWindowHandOff
{
public:
    explicit RecordingHandOff(FakeDesktop& desktop) : m_desktop(desktop) {}
    void FloatMoveWindow(QPoint topLeft) override
    {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        Moves.push_back(topLeft);
        // A compositor that centres the window at every move request, as sway does.
        m_desktop.MoveWindow(Own, Refusing ? Centre : topLeft);
    }
    void FloatRefused(QPoint at) override { Refused.push_back(at); }
    void SetTrayMode(bool inTray) override { Tray.push_back(inTray); }
    void AutoModeTo(bool full) override { Modes.push_back(full); }

    bool Refusing = false;
    QPoint Centre{462, 364};
    std::vector<QPoint> Moves;
    std::vector<QPoint> Refused;
    std::vector<bool> Tray;
    std::vector<bool> Modes;

private:
    FakeDesktop& m_desktop;
};

class WindowThreads : public ::testing::Test
{
protected:
    WindowThreads()
    {
        desktop.Screen = {1024, 768};
        desktop.Taskbars = {{-2, 738, 1026, 770}};
        desktop.Windows[Own] = {OwnCaption, {10, 10, 110, 50}, true, ShowState::Normal};
        desktop.Windows[Editor] = {
            QStringLiteral("editor"), {0, 0, 1024, 738}, true, ShowState::Maximized};
        desktop.Windows[Narrow] = {
            QStringLiteral("clock"), {300, 300, 400, 400}, true, ShowState::Normal};
    }

    void SetForeground(WindowId window)
    {
        std::scoped_lock lock(desktop.Lock);
        desktop.Foreground = window;
    }
    QPoint OwnPosition()
    {
        const WindowRect frame = *desktop.WindowFrame(Own);
        return {frame.Left, frame.Top};
    }
    TWindowThread::DesktopFactory Factory()
    {
        return [this] {
            ++connections;
            return std::make_unique<FakeDesktopView>(desktop);
        };
    }

    FakeDesktop desktop;
    RecordingHandOff handOff{desktop};
    std::atomic<int> connections{0};
};

// Runs the event loop, which serves the threads' hand-offs, until done.
template <typename Predicate> bool SpinUntil(Predicate done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace

TEST_F(WindowThreads, FloatingFollowsTheForegroundWindowsRightEdge)
{
    TFltCtrl floating(Factory(), handOff);
    floating.Window = Own;
    floating.Interval = 10;
    floating.OffsetX = -120;
    floating.OffsetY = 4;
    floating.Active = true;
    SetForeground(Editor);
    floating.Resume();
    ASSERT_TRUE(SpinUntil([&] { return OwnPosition() == QPoint(904, 4); }));
    EXPECT_EQ(handOff.Moves.size(), 1u);
    EXPECT_EQ(floating.OwnWidth.load(), 101);
    EXPECT_EQ(floating.OwnHeight.load(), 41);
    EXPECT_EQ(floating.TargetX.load(), 904);

    // A window too narrow to carry it: the work area's top-right corner.
    SetForeground(Narrow);
    ASSERT_TRUE(SpinUntil([&] { return OwnPosition() == QPoint(904, 0); }));
    // The desktop in front: the same corner, and no move when already there.
    SetForeground(FakeDesktop::Root);
    const size_t moves = handOff.Moves.size();
    QThread::msleep(60);
    QCoreApplication::processEvents();
    EXPECT_EQ(handOff.Moves.size(), moves);
    floating.Stop();
    EXPECT_TRUE(floating.isFinished());
}

TEST_F(WindowThreads, FloatingAnimatesInHalfSteps)
{
    TFltCtrl floating(Factory(), handOff);
    floating.Window = Own;
    floating.Interval = 10;
    floating.OffsetX = -100;
    floating.Animate = true;
    floating.Active = true;
    {
        std::scoped_lock lock(desktop.Lock);
        desktop.Windows[Own].Frame = {824, 0, 924, 40};
        desktop.Windows[Narrow] = {
            QStringLiteral("wide"), {500, 100, 1024, 600}, true, ShowState::Normal};
        desktop.Foreground = Narrow;
    }
    floating.Resume();
    ASSERT_TRUE(SpinUntil([&] { return OwnPosition() == QPoint(924, 100); }));
    floating.Stop();
    std::vector<int> dy;
    int y = 0;
    for (const QPoint& move : handOff.Moves) {
        dy.push_back(move.y() - y);
        y = move.y();
    }
    EXPECT_EQ(dy, (std::vector<int>{50, 25, 12, 6, 3, 2, 2}));
}

TEST_F(WindowThreads, FloatingGivesUpWhenTheCompositorRefusesItsMovesAndTriesAgainWhenAsked)
{
    handOff.Refusing = true;
    TFltCtrl floating(Factory(), handOff);
    floating.Window = Own;
    floating.Interval = 10;
    floating.OffsetX = -120;
    floating.Active = true;
    SetForeground(Editor);
    floating.Resume();
    ASSERT_TRUE(SpinUntil([&] { return !handOff.Refused.empty(); }));
    EXPECT_EQ(handOff.Refused, std::vector<QPoint>{handOff.Centre});
    EXPECT_TRUE(floating.GaveUp.load());
    const std::size_t moves = handOff.Moves.size();
    EXPECT_EQ(moves, std::size_t(TFltCtrl::RefusalLimit));
    for (const QPoint& move : handOff.Moves)
        EXPECT_EQ(move, QPoint(904, 0));
    // Quiet from then on, however long the window stays away from its target.
    QThread::msleep(100);
    QCoreApplication::processEvents();
    EXPECT_EQ(handOff.Moves.size(), moves);

    // Switched on again once the compositor takes moves: it floats as before.
    handOff.Refusing = false;
    floating.GaveUp = false;
    floating.Wake();
    ASSERT_TRUE(SpinUntil([&] { return OwnPosition() == QPoint(904, 0); }));
    floating.Stop();
    EXPECT_EQ(handOff.Refused.size(), 1u);
}

TEST_F(WindowThreads, FloatingOffStaysPutAndTheProgramInFrontStaysPut)
{
    TFltCtrl floating(Factory(), handOff);
    floating.Window = Own;
    floating.Interval = 10;
    SetForeground(Editor);
    floating.Resume();
    QThread::msleep(50);
    QCoreApplication::processEvents();
    SetForeground(Own);
    floating.Active = true;
    floating.Wake();
    ASSERT_TRUE(SpinUntil([&] {
        std::scoped_lock lock(desktop.Lock);
        return desktop.ForegroundQueries > 0;
    }));
    QThread::msleep(50);
    QCoreApplication::processEvents();
    floating.Stop();
    EXPECT_TRUE(handOff.Moves.empty());
}

TEST_F(WindowThreads, FloatingNeverRidesTheProgramsOwnDialogs)
{
    {
        std::scoped_lock lock(desktop.Lock);
        // Wide and titled: any other program's window like it would carry the monitor.
        desktop.Windows[OwnDialog] = {
            QStringLiteral("Options"), {200, 150, 800, 600}, true, ShowState::Normal, true};
        desktop.Foreground = OwnDialog;
    }
    TFltCtrl floating(Factory(), handOff);
    floating.Window = Own;
    floating.Interval = 10;
    floating.OffsetX = -120;
    floating.Active = true;
    floating.Resume();
    // Several passes with the dialog in front, none of which moves the window.
    ASSERT_TRUE(SpinUntil([&] {
        std::scoped_lock lock(desktop.Lock);
        return desktop.ForegroundQueries > 6;
    }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(handOff.Moves.empty());
    EXPECT_EQ(OwnPosition(), QPoint(10, 10));

    // Another program's window in front again: it rides that one.
    SetForeground(Editor);
    ASSERT_TRUE(SpinUntil([&] { return OwnPosition() == QPoint(904, 0); }));
    floating.Stop();
}

TEST_F(WindowThreads, IdleThreadsSleepUntilWokenAndThenWorkAtOnce)
{
    TFltCtrl floating(Factory(), handOff);
    floating.Window = Own;
    floating.Interval = 10;
    floating.OffsetX = -120;
    TAActiveCtrl active(Factory(), handOff, OwnCaption);
    active.Interval = 10;
    SetForeground(Editor);
    floating.Resume();
    active.Resume();
    QThread::msleep(100);
    {
        std::scoped_lock lock(desktop.Lock);
        EXPECT_EQ(desktop.ForegroundQueries, 0);
    }
    // Nor is the X server connected to.
    EXPECT_EQ(connections, 0);

    // A switch without a wake is seen only at the next pass, which an idle thread never
    // makes; with the wake it is seen at once.
    floating.Active = true;
    floating.Wake();
    ASSERT_TRUE(SpinUntil([&] { return OwnPosition() == QPoint(904, 0); }, 1000));
    active.AutoMode = true;
    active.Wake();
    ASSERT_TRUE(SpinUntil([&] { return !handOff.Modes.empty(); }, 1000));
    floating.Stop();
    active.Stop();
    EXPECT_TRUE(floating.isFinished() && active.isFinished());
}

TEST_F(WindowThreads, StopServesAHandOffTheThreadIsWaitingOn)
{
    // Nothing runs the event loop here but Stop itself.
    TFltCtrl floating(Factory(), handOff);
    floating.Window = Own;
    floating.Interval = 10;
    floating.Active = true;
    SetForeground(Editor);
    floating.Resume();
    QThread::msleep(100);
    floating.Stop();
    EXPECT_TRUE(floating.isFinished());
    EXPECT_LE(handOff.Moves.size(), 1u);
}

TEST_F(WindowThreads, AThreadNeverResumedStopsAtOnce)
{
    TFltCtrl floating(Factory(), handOff);
    TAActiveCtrl active(Factory(), handOff, OwnCaption);
    floating.Stop();
    active.Stop();
    EXPECT_FALSE(floating.isRunning());
    EXPECT_EQ(desktop.ForegroundQueries, 0);
}

TEST_F(WindowThreads, AutoActiveSwitchesModesOnActivation)
{
    TAActiveCtrl active(Factory(), handOff, OwnCaption);
    active.Window = Own;
    active.Interval = 10;
    active.AutoMode = true;
    SetForeground(Own);
    active.Resume();
    ASSERT_TRUE(SpinUntil([&] { return handOff.Modes.size() == 1; }));
    SetForeground(Narrow);
    ASSERT_TRUE(SpinUntil([&] { return handOff.Modes.size() == 2; }));
    QThread::msleep(50);
    QCoreApplication::processEvents();
    active.Stop();
    EXPECT_EQ(handOff.Modes, (std::vector<bool>{true, false}));
    EXPECT_TRUE(handOff.Tray.empty());
}

TEST_F(WindowThreads, AutoHidingGoesToTheTrayWhileAWindowIsMaximised)
{
    TAActiveCtrl active(Factory(), handOff, OwnCaption);
    active.Window = Own;
    active.Interval = 10;
    active.AutoTray = true;
    SetForeground(Editor);
    active.Resume();
    ASSERT_TRUE(SpinUntil([&] { return handOff.Tray.size() == 1; }));
    // Restored: back out of the tray.
    {
        std::scoped_lock lock(desktop.Lock);
        desktop.Windows[Editor].State = ShowState::Normal;
    }
    ASSERT_TRUE(SpinUntil([&] { return handOff.Tray.size() == 2; }));
    // Our own window and windows without a title do not bring it out.
    SetForeground(Own);
    {
        std::scoped_lock lock(desktop.Lock);
        desktop.Windows[Narrow].Title.clear();
    }
    QThread::msleep(40);
    SetForeground(Narrow);
    QThread::msleep(40);
    // A window that cannot be examined is passed over.
    SetForeground(12345);
    QThread::msleep(40);
    QCoreApplication::processEvents();
    active.Stop();
    EXPECT_EQ(handOff.Tray, (std::vector<bool>{true, false}));
    EXPECT_TRUE(handOff.Modes.empty());
}

TEST(WindowThreadsLifecycle, WithoutADesktopTheThreadEndsQuietly)
{
    FakeDesktop desktop;
    RecordingHandOff handOff(desktop);
    TFltCtrl floating([] { return std::unique_ptr<Desktop>(); }, handOff);
    floating.Active = true;
    floating.Resume();
    ASSERT_TRUE(floating.wait(5000));
    floating.Stop();
    // Resuming a finished thread does not run it again.
    floating.Resume();
    EXPECT_FALSE(floating.isRunning());
}
