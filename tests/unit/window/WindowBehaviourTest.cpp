#include "app/WindowBehaviour.h"

#include "doubles/FakeDesktop.h"
#include "platform/linux/X11Desktop.h"

#include <gtest/gtest.h>

namespace {

const WindowRect Screen{0, 0, 1024, 768};

} // namespace

TEST(WorkArea, EachDockedTaskbarSideIsTakenOut)
{
    const QSize screen(1024, 768);
    EXPECT_EQ(WorkAreaFromTaskbars(screen, {}), (WindowRect{0, 0, 1024, 768}));
    EXPECT_EQ(WorkAreaFromTaskbars(screen, {{-2, 738, 1026, 770}}), (WindowRect{0, 0, 1024, 738}));
    EXPECT_EQ(WorkAreaFromTaskbars(screen, {{960, -2, 1026, 770}}), (WindowRect{0, 0, 960, 768}));
    EXPECT_EQ(WorkAreaFromTaskbars(screen, {{-2, -2, 1026, 30}}), (WindowRect{0, 30, 1024, 768}));
    EXPECT_EQ(WorkAreaFromTaskbars(screen, {{-2, -2, 64, 770}}), (WindowRect{64, 0, 1024, 768}));
    // Top and bottom panels together leave the space between them.
    EXPECT_EQ(WorkAreaFromTaskbars(screen, {{-2, -2, 1026, 24}, {-2, 740, 1026, 770}}),
              (WindowRect{0, 24, 1024, 740}));
}

TEST(WorkArea, PanelsThatDoNotOverhangTheScreenAreIgnored)
{
    const QSize screen(1024, 768);
    // Flush with the edges instead of past them, or floating in the middle.
    EXPECT_EQ(WorkAreaFromTaskbars(screen, {{0, 738, 1024, 768}}), (WindowRect{0, 0, 1024, 768}));
    EXPECT_EQ(WorkAreaFromTaskbars(screen, {{100, 100, 300, 130}}), (WindowRect{0, 0, 1024, 768}));
    EXPECT_EQ(WorkAreaFromTaskbars(screen, {{-2, 0, 1026, 770}}), (WindowRect{0, 0, 1024, 768}));
}

TEST(WorkArea, AnEwmhWorkAreaComesBackThroughTheTaskbarRules)
{
    const QSize screen(1280, 1024);
    for (const WindowRect area : {WindowRect{0, 0, 1280, 1024}, WindowRect{0, 0, 1280, 994},
                                  WindowRect{0, 28, 1280, 1024}, WindowRect{48, 0, 1280, 1024},
                                  WindowRect{0, 0, 1200, 1024}, WindowRect{30, 20, 1250, 1000}})
        EXPECT_EQ(WorkAreaFromTaskbars(screen, X11Desktop::PanelsAround(screen, area)), area);

    FakeDesktop desktop;
    desktop.Screen = screen;
    desktop.Taskbars = X11Desktop::PanelsAround(screen, {0, 0, 1280, 994});
    EXPECT_EQ(DesktopWorkArea(desktop), (WindowRect{0, 0, 1280, 994}));
}

TEST(PlaceWindow, SnapsWithinEightPixelsOfAnEdge)
{
    const QSize size(100, 50);
    // 5 pixels from the right edge: flush; 9 pixels: stays.
    EXPECT_EQ(PlaceWindow({1024 - 100 - 5, 300}, size, Screen), QPoint(924, 300));
    EXPECT_EQ(PlaceWindow({1024 - 100 - 9, 300}, size, Screen), QPoint(915, 300));
    EXPECT_EQ(PlaceWindow({1024 - 100 - 8, 300}, size, Screen), QPoint(916, 300));
    EXPECT_EQ(PlaceWindow({7, 300}, size, Screen), QPoint(0, 300));
    EXPECT_EQ(PlaceWindow({8, 300}, size, Screen), QPoint(8, 300));
    EXPECT_EQ(PlaceWindow({400, 5}, size, Screen), QPoint(400, 0));
    EXPECT_EQ(PlaceWindow({400, 768 - 50 - 3}, size, Screen), QPoint(400, 718));
}

TEST(PlaceWindow, KeepsTheWindowInsideTheWorkArea)
{
    const WindowRect area{0, 30, 1024, 738};
    const QSize size(100, 50);
    EXPECT_EQ(PlaceWindow({-300, -40}, size, area), QPoint(0, 30));
    EXPECT_EQ(PlaceWindow({2000, 2000}, size, area), QPoint(924, 688));
    EXPECT_EQ(PlaceWindow({500, 400}, size, area), QPoint(500, 400));
    // Wider than the work area: the left edge wins.
    EXPECT_EQ(PlaceWindow({500, 400}, QSize(1200, 50), area), QPoint(0, 400));
}

TEST(PlaceWindow, AFirstStartIsInTheMiddleOfThePrimaryMonitor)
{
    // Two monitors, a panel at the top of both; the primary one on the left.
    const WindowRect work{0, 30, 2304, 768};
    const WindowRect home{0, 30, 1024, 768};
    EXPECT_EQ(StartPlace(std::nullopt, QSize(250, 130), work, home), QPoint(387, 334));
    EXPECT_EQ(StartPlace(QPoint(1800, 10), QSize(250, 130), work, home), QPoint(1800, 30));
}

TEST(PlaceWindow, AWindowOnAMonitorThatIsGoneComesBack)
{
    const std::vector<WindowRect> monitors{{0, 0, 1024, 768}, {1024, 0, 2304, 1024}};
    const WindowRect home{0, 30, 1024, 768};
    const QSize size(250, 130);
    // Wholly or partly on a monitor (the strip in the right one's lower part included).
    EXPECT_EQ(KeepOnMonitors({1800, 900}, size, monitors, home), QPoint(1800, 900));
    EXPECT_EQ(KeepOnMonitors({1000, 700}, size, monitors, home), QPoint(1000, 700));
    // Below the left one where the right one is not as high, or with a sliver showing.
    EXPECT_EQ(KeepOnMonitors({500, 900}, size, monitors, home), QPoint(500, 638));
    EXPECT_EQ(KeepOnMonitors({-240, 300}, size, monitors, home), QPoint(0, 300));
    // The right one unplugged.
    EXPECT_EQ(KeepOnMonitors({1800, 300}, size, {monitors[0]}, home), QPoint(774, 300));
    EXPECT_EQ(KeepOnMonitors({1800, 300}, size, {}, home), QPoint(1800, 300));
}

TEST(WindowDrag, MovesByTheMouseAndEndsOnTheLeftButton)
{
    TWindowDrag drag;
    EXPECT_FALSE(drag.DragNavigation({100, 100}, {10, 10}));
    EXPECT_FALSE(drag.DragStart(false, {5, 5}));
    EXPECT_FALSE(drag.Dragging);

    ASSERT_TRUE(drag.DragStart(true, {20, 10}));
    EXPECT_EQ(drag.DragNavigation({100, 100}, {35, 4}), QPoint(115, 94));
    EXPECT_FALSE(drag.DragEnd(false));
    EXPECT_TRUE(drag.Dragging);
    EXPECT_TRUE(drag.DragEnd(true));
    EXPECT_FALSE(drag.Dragging);
    EXPECT_EQ(drag.DragOriginX, 0);
    EXPECT_FALSE(drag.DragEnd(true));
    EXPECT_FALSE(drag.DragNavigation({100, 100}, {35, 4}));
}

TEST(WindowDrag, TheSecondPressOfADoubleClickDoesNotDrag)
{
    TWindowDrag drag;
    drag.DragStart(true, {3, 3});
    drag.DragEnd(true);
    drag.FaceImgDblClick();
    EXPECT_FALSE(drag.DragStart(true, {3, 3}));
    EXPECT_FALSE(drag.Dragging);
    // Only that one press.
    EXPECT_TRUE(drag.DragStart(true, {3, 3}));
}

TEST(StatusTips, ShownAfterASecondOfRestAndHiddenWhenTheMouseLeaves)
{
    TStatusTips tips;
    std::uint32_t now = 5000;
    EXPECT_EQ(tips.Update(true, now), TStatusTips::Action::None);
    EXPECT_EQ(tips.TipDueTime, 6000u);
    EXPECT_EQ(tips.Update(true, 5500), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, 6000), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, 6001), TStatusTips::Action::Show);
    EXPECT_TRUE(tips.TipShown);
    EXPECT_EQ(tips.Update(true, 6100), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(false, 6200), TStatusTips::Action::Hide);
    EXPECT_FALSE(tips.TipShown);
    EXPECT_EQ(tips.TipDueTime, 0u);

    // Leaving before the second is up starts the wait again.
    tips.Update(true, 7000);
    tips.Update(false, 7500);
    EXPECT_EQ(tips.TipDueTime, 0u);
    EXPECT_EQ(tips.Update(true, 8100), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, 8600), TStatusTips::Action::None);
}

TEST(StatusTips, LeavingTheFaceHidesTheTipAtOnce)
{
    // The X server may keep reporting the pointer over the face after it left onto a surface
    // of the compositor's own; the leave hides the tip whatever the next checks say.
    TStatusTips tips;
    tips.Update(true, 0);
    ASSERT_EQ(tips.Update(true, 1001), TStatusTips::Action::Show);
    EXPECT_EQ(tips.PointerLeft(), TStatusTips::Action::Hide);
    EXPECT_FALSE(tips.TipShown);
    EXPECT_EQ(tips.PointerLeft(), TStatusTips::Action::None);
    // Back on the face, a full second of rest again before the tip.
    EXPECT_EQ(tips.Update(true, 1100), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, 2000), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, 2101), TStatusTips::Action::Show);

    // A leave before the tip is due cancels it.
    TStatusTips pending;
    pending.Update(true, 0);
    EXPECT_EQ(pending.PointerLeft(), TStatusTips::Action::None);
    EXPECT_EQ(pending.TipDueTime, 0u);

    // A click's minute ends with the leave: back on the face, the usual second of rest.
    TStatusTips clicked;
    clicked.MouseDown(1000);
    clicked.Update(true, 1000);
    clicked.PointerLeft();
    EXPECT_EQ(clicked.Update(true, 3000), TStatusTips::Action::None);
    EXPECT_EQ(clicked.Update(true, 4001), TStatusTips::Action::Show);
}

TEST(StatusTips, OnABlindDesktopAStillPointerLosesTheTip)
{
    // Where X11 may lose sight of the pointer, one that has not moved for a while may be gone.
    TStatusTips tips;
    const QPoint at(10, 10);
    tips.Update(true, 0, at);
    ASSERT_EQ(tips.Update(true, 1001, at), TStatusTips::Action::Show);
    EXPECT_EQ(tips.Update(true, 9000, at), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, 10'000, at), TStatusTips::Action::Hide);
    EXPECT_EQ(tips.Update(true, 20'000, at), TStatusTips::Action::None);
    // A move on the face brings it back after the usual rest.
    EXPECT_EQ(tips.Update(true, 20'100, QPoint(11, 10)), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, 21'101, QPoint(11, 10)), TStatusTips::Action::Show);

    // Where X11 sees every move, a resting pointer keeps its tip.
    TStatusTips seeing;
    seeing.Update(true, 0);
    ASSERT_EQ(seeing.Update(true, 1001), TStatusTips::Action::Show);
    EXPECT_EQ(seeing.Update(true, 60'000), TStatusTips::Action::None);
}

TEST(StatusTips, NoneForAMinuteAfterAClick)
{
    TStatusTips tips;
    tips.MouseDown(1000);
    // The click's own tick does not count as rest.
    EXPECT_EQ(tips.Update(true, 1000), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, 2500), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, 60'900), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, 61'001), TStatusTips::Action::Show);

    TStatusTips shown;
    shown.Update(true, 0);
    shown.Update(true, 1001);
    ASSERT_TRUE(shown.TipShown);
    shown.MouseDown(2000);
    EXPECT_EQ(shown.Update(true, 2000), TStatusTips::Action::Hide);

    // Seen off the face and back within the minute: the click's hold is over.
    TStatusTips away;
    away.MouseDown(1000);
    away.Update(true, 1000);
    away.Update(false, 1100);
    EXPECT_EQ(away.Update(true, 1200), TStatusTips::Action::None);
    EXPECT_EQ(away.Update(true, 2201), TStatusTips::Action::Show);

    // The pop-up menu's minute holds whatever the pointer does meanwhile.
    TStatusTips menu;
    menu.MouseDown(100);
    menu.PopupOpened(100);
    menu.Update(false, 1100);
    menu.PointerLeft();
    EXPECT_EQ(menu.Update(true, 1200), TStatusTips::Action::None);
    EXPECT_EQ(menu.Update(true, 30'000), TStatusTips::Action::None);
    EXPECT_EQ(menu.Update(true, 60'101), TStatusTips::Action::Show);
}

TEST(StatusTips, TheTickCountWrapNeitherHurriesNorHoldsTheTip)
{
    TStatusTips tips;
    const std::uint32_t now = 0xFFFFFF00u;
    tips.Update(true, now);
    EXPECT_EQ(tips.TipDueTime, now + 1000u); // wrapped past zero
    EXPECT_EQ(tips.Update(true, now + 10), TStatusTips::Action::None);
    EXPECT_EQ(tips.Update(true, now + 1001), TStatusTips::Action::Show);

    // A due time landing on 0 would read as "none pending".
    TStatusTips edge;
    edge.Update(true, 0u - 1000u);
    EXPECT_NE(edge.TipDueTime, 0u);
    EXPECT_EQ(edge.Update(true, 5), TStatusTips::Action::Show);
}

TEST(StatusTips, RestOnTheFaceAndPlacementInsideTheWorkArea)
{
    EXPECT_TRUE(TStatusTips::CursorOverFace({100, 50}, {100, 50}, {80, 40}));
    EXPECT_TRUE(TStatusTips::CursorOverFace({179, 89}, {100, 50}, {80, 40}));
    EXPECT_FALSE(TStatusTips::CursorOverFace({180, 60}, {100, 50}, {80, 40}));
    EXPECT_FALSE(TStatusTips::CursorOverFace({120, 90}, {100, 50}, {80, 40}));
    EXPECT_FALSE(TStatusTips::CursorOverFace({99, 60}, {100, 50}, {80, 40}));

    const WindowRect area{0, 0, 1024, 738};
    EXPECT_EQ(TStatusTips::TipPosition({100, 100}, {200, 80}, area), QPoint(108, 124));
    EXPECT_EQ(TStatusTips::TipPosition({1000, 100}, {200, 80}, area), QPoint(824, 124));
    EXPECT_EQ(TStatusTips::TipPosition({100, 700}, {200, 80}, area), QPoint(108, 658));
    // Larger than the work area: its top-left stays visible.
    EXPECT_EQ(TStatusTips::TipPosition({100, 100}, {1100, 800}, area), QPoint(0, 0));
}

TEST(ProximityHiding, HidesWithinSixteenPixelsAndShowsForShift)
{
    const WindowRect window{500, 300, 600, 350};
    const WindowRect area{0, 0, 1024, 738};
    EXPECT_TRUE(TProximityHiding::MouseNear(window, area, {484, 284}, false));
    EXPECT_TRUE(TProximityHiding::MouseNear(window, area, {615, 365}, false));
    EXPECT_FALSE(TProximityHiding::MouseNear(window, area, {616, 320}, false));
    EXPECT_FALSE(TProximityHiding::MouseNear(window, area, {483, 320}, false));
    EXPECT_FALSE(TProximityHiding::MouseNear(window, area, {550, 366}, false));
    EXPECT_FALSE(TProximityHiding::MouseNear(window, area, {550, 320}, true));
    // A window larger than the work area never hides.
    EXPECT_FALSE(TProximityHiding::MouseNear({0, 0, 1100, 50}, area, {10, 10}, false));

    TProximityHiding hiding;
    EXPECT_EQ(hiding.Check(true, window, area, {550, 320}, false), TProximityHiding::Action::Hide);
    EXPECT_TRUE(hiding.ProximityHidden);
    EXPECT_EQ(hiding.Check(true, window, area, {550, 320}, false), TProximityHiding::Action::None);
    EXPECT_EQ(hiding.Check(true, window, area, {550, 320}, true), TProximityHiding::Action::Show);
    EXPECT_FALSE(hiding.ProximityHidden);
    hiding.Check(true, window, area, {550, 320}, false);
    // Switched off while hidden: shown again.
    EXPECT_EQ(hiding.Check(false, window, area, {550, 320}, false), TProximityHiding::Action::Show);
    EXPECT_EQ(hiding.Check(false, window, area, {550, 320}, false), TProximityHiding::Action::None);
}

TEST(ProximityHiding, APointerTheDesktopCannotFollowBringsTheWindowBack)
{
    const WindowRect window{500, 300, 600, 350};
    const WindowRect area{0, 0, 1024, 738};
    const QPoint near{610, 320};
    using Action = TProximityHiding::Action;
    constexpr std::uint32_t blind = TProximityHiding::BlindAfterMs;

    // Under a compositor that hides the pointer from X11 (seen everywhere: false).
    TProximityHiding hiding;
    EXPECT_EQ(hiding.Check(true, window, area, near, false, false, 1000), Action::Hide);
    EXPECT_EQ(hiding.Check(true, window, area, near, false, false, 1000 + blind - 1), Action::None);
    // The same position for that long may be a pointer long gone: the window comes back ...
    EXPECT_EQ(hiding.Check(true, window, area, near, false, false, 1000 + blind), Action::Show);
    // ... and stays while nothing is seen to move ...
    EXPECT_EQ(hiding.Check(true, window, area, near, false, false, 1000 + 5 * blind), Action::None);
    // ... until the pointer moves near it again.
    EXPECT_EQ(hiding.Check(true, window, area, {611, 321}, false, false, 1000 + 5 * blind + 50),
              Action::Hide);
    // A pointer moved away shows it at once, as on any desktop.
    EXPECT_EQ(hiding.Check(true, window, area, {900, 600}, false, false, 1000 + 5 * blind + 99),
              Action::Show);

    // Where X11 sees every move, a resting pointer keeps the window hidden for good.
    TProximityHiding x11;
    EXPECT_EQ(x11.Check(true, window, area, near, false, true, 1000), Action::Hide);
    EXPECT_EQ(x11.Check(true, window, area, near, false, true, 1000 + 10 * blind), Action::None);
    EXPECT_TRUE(x11.ProximityHidden);

    // The tick count wraps without bringing the window back early.
    TProximityHiding wrap;
    const std::uint32_t late = 0xFFFFFFFFu - 100u;
    EXPECT_EQ(wrap.Check(true, window, area, near, false, false, late), Action::Hide);
    EXPECT_EQ(wrap.Check(true, window, area, near, false, false, late + 500u), Action::None);
    EXPECT_EQ(wrap.Check(true, window, area, near, false, false, late + blind), Action::Show);
}

TEST(Floating, WhichForegroundWindowsCarryTheWindow)
{
    TFloatCandidate editor{QStringLiteral("editor"), {0, 0, 1024, 738}, false, true, false};
    EXPECT_TRUE(FloatQualifies(editor, 40, -120, 4));

    auto changed = [&](auto change) {
        TFloatCandidate c = editor;
        change(c);
        return FloatQualifies(c, 40, -120, 4);
    };
    EXPECT_FALSE(changed([](TFloatCandidate& c) { c.Title.clear(); }));
    EXPECT_FALSE(changed([](TFloatCandidate& c) { c.Title = QStringLiteral("Program Manager"); }));
    EXPECT_FALSE(changed([](TFloatCandidate& c) { c.IsDesktop = true; }));
    EXPECT_FALSE(changed([](TFloatCandidate& c) { c.Visible = false; }));
    EXPECT_FALSE(changed([](TFloatCandidate& c) { c.Minimized = true; }));
    // Width at least |OffsetX| + 64, height at least own height + OffsetY.
    EXPECT_TRUE(changed([](TFloatCandidate& c) { c.Frame = {10, 10, 10 + 184, 10 + 44}; }));
    EXPECT_FALSE(changed([](TFloatCandidate& c) { c.Frame = {10, 10, 10 + 183, 10 + 44}; }));
    EXPECT_FALSE(changed([](TFloatCandidate& c) { c.Frame = {10, 10, 10 + 184, 10 + 43}; }));
}

TEST(Floating, TargetsTheRightEdgeOrTheWorkAreaCorner)
{
    const WindowRect area{0, 0, 1024, 738};
    const TFloatCandidate editor{QStringLiteral("editor"), {0, 0, 1024, 738}, false, true, false};
    EXPECT_EQ(FloatTarget({5, 5}, editor, 40, -120, 4, area), QPoint(904, 4));
    const TFloatCandidate moved{QStringLiteral("editor"), {100, 200, 500, 600}, false, true, false};
    EXPECT_EQ(FloatTarget({5, 5}, moved, 40, -120, 4, area), QPoint(380, 204));
    TFloatCandidate desktop;
    desktop.IsDesktop = true;
    EXPECT_EQ(FloatTarget({5, 5}, desktop, 40, -120, 4, {0, 30, 1000, 738}), QPoint(880, 30));
    // The program itself in front: stays.
    EXPECT_EQ(FloatTarget({5, 5}, std::nullopt, 40, -120, 4, area), QPoint(5, 5));
}

TEST(Floating, AnimationHalvesTheDistanceAndJumpsTheLastThreePixels)
{
    QPoint at(0, 0);
    const QPoint target(100, -7);
    std::vector<int> xs;
    std::vector<int> ys;
    while (at != target) {
        const QPoint next = FloatAnimateStep(at, target);
        xs.push_back(next.x() - at.x());
        ys.push_back(next.y() - at.y());
        at = next;
        ASSERT_LT(xs.size(), 20u);
    }
    EXPECT_EQ(xs, (std::vector<int>{50, 25, 12, 6, 3, 2, 2}));
    EXPECT_EQ(ys, (std::vector<int>{-3, -2, -2, 0, 0, 0, 0}));
    EXPECT_EQ(FloatAnimateStep({10, 10}, {13, 7}), QPoint(13, 7));
}
