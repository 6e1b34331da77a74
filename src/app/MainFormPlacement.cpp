// The main window's placement: where it really is, and moves that reach it. Most window
// managers move a window that asks; wlroots compositors do not (sway centres a floating X11
// window at every request), so there the window goes through the compositor's own interface,
// drags are the window manager's own move, and what the settings keep is read back from the
// screen.
#include "app/CheckedPlacement.h"
#include "app/FltCtrl.h"
#include "app/MainForm.h"
#include "platform/linux/SwayWindowPlacement.h"
#include "platform/linux/X11Desktop.h"
#include "platform/linux/X11Windows.h"
#include "skin/WindowShape.h"
#include "ui/ScaleWatch.h"

#include <QGuiApplication>
#include <QMoveEvent>
#include <QScreen>
#include <QTimer>
#include <utility>

namespace {

std::vector<WindowRect> Monitors()
{
    std::vector<WindowRect> monitors;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect r = screen->geometry();
        monitors.push_back({r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
    }
    return monitors;
}

// The primary monitor's part of the work area.
WindowRect HomeArea(const WindowRect& workArea)
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return workArea;
    const QRect r = primary->geometry();
    const WindowRect home{std::max(r.left(), workArea.Left), std::max(r.top(), workArea.Top),
                          std::min(r.left() + r.width(), workArea.Right),
                          std::min(r.top() + r.height(), workArea.Bottom)};
    return home.Width() > 0 && home.Height() > 0
               ? home
               : WindowRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

} // namespace

void TMainPForm::SetupPlacement()
{
    const QString manager = X11WindowManagerName();
    m_clientMovesHonoured = WindowManagerHonoursClientMoves(manager);
    TCheckedPlacement::Window window;
    window.Native = [this] { return NativeWindow(); };
    window.RealTopLeft = [this] { return RealTopLeft(); };
    window.MayCheck = [this] {
        return !m_drag.Dragging && isVisible() && !m_proximity.ProximityHidden;
    };
    window.Opacity = [this] { return windowOpacity(); };
    window.Move = [this](QPoint topLeft) { move(topLeft); };
    window.Stays = [this](QPoint at, bool firstTime) {
        // The settings keep where the window is, not where it was meant to go.
        m_settings.PosX = at.x();
        m_settings.PosY = at.y();
        // Once, not at every move of a floating window the compositor keeps in place.
        if (firstTime)
            WriteDebugLog(QStringLiteral("(!) Window Placement : the window stays at %1,%2")
                              .arg(at.x())
                              .arg(at.y()));
    };
    m_checkedPlacement = new TCheckedPlacement(
        m_clientMovesHonoured ? nullptr : CompositorWindowPlacement(), std::move(window), this);
    // The list of monitors changes after the signal.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this,
            [this] { QTimer::singleShot(0, this, &TMainPForm::BackOnAMonitor); });
    // Another scale takes another whole number of screen pixels per skin pixel, and another
    // window size and outline with it.
    new TScaleWatch(*this, [this](double ratio) {
        WriteDebugLog(QStringLiteral("Screen Scale Change : %1, face drawn at %2")
                          .arg(ratio)
                          .arg(FaceScale(ratio)));
        ApplySkinWindow();
        RenderFace();
    });
    if (!m_clientMovesHonoured)
        WriteDebugLog(QStringLiteral("Window Placement : %1 (window manager \"%2\")")
                          .arg(m_checkedPlacement->Placement()
                                   ? m_checkedPlacement->Placement()->Name()
                                   : QStringLiteral("none"),
                               manager));
    if (m_translucentFace)
        WriteDebugLog(QStringLiteral("Window Shape : transparent cut-outs (compositing)"));
}

void TMainPForm::PlaceAtStart()
{
    const WindowRect work = DesktopArea();
    const WindowRect home = HomeArea(work);
    std::optional<QPoint> saved;
    if (m_settings.PositionSaved)
        saved = QPoint(m_settings.PosX, m_settings.PosY);
    const QPoint placed =
        KeepOnMonitors(StartPlace(saved, size(), work, home), size(), Monitors(), home);
    m_settings.PosX = placed.x();
    m_settings.PosY = placed.y();
    MoveFace(placed);
    // Shown only now, with its size and place: a window mapped before would be placed by the
    // window manager (centred, at the size it had then) and the move to its place come late.
    if (!m_settings.InTasktray) {
        show();
        raise();
    }
}

void TMainPForm::BackOnAMonitor()
{
    if (!isVisible() || m_drag.Dragging)
        return;
    const QPoint at = RealTopLeft();
    const QPoint placed = KeepOnMonitors(at, size(), Monitors(), HomeArea(DesktopArea()));
    if (placed == at)
        return;
    WriteDebugLog(QStringLiteral("Window Placement : monitor gone, back at %1,%2")
                      .arg(placed.x())
                      .arg(placed.y()));
    m_settings.PosX = placed.x();
    m_settings.PosY = placed.y();
    MoveFace(placed);
}

QPoint TMainPForm::RealTopLeft() const
{
    // Asked of the X server: Qt learns of a move the compositor made only when its notice
    // has been read.
    if (m_desktop)
        if (const std::optional<WindowRect> frame = m_desktop->WindowFrame(NativeWindow()))
            return {frame->Left, frame->Top};
    return pos();
}

void TMainPForm::MoveFace(QPoint topLeft)
{
    if (m_clientMovesHonoured || !m_checkedPlacement)
        move(topLeft);
    else
        m_checkedPlacement->MoveTo(topLeft);
}

void TMainPForm::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    // Where the compositor places windows, the user may move this one by its means too (sway's
    // modifier drag, its commands); the settings follow. Moves of the program's own are
    // recorded when they are made, and checked while the check runs.
    if (m_clientMovesHonoured || !m_checkedPlacement || m_checkedPlacement->Checking() ||
        m_drag.Dragging || m_startingUp || !isVisible() || m_proximity.ProximityHidden)
        return;
    m_settings.PosX = event->pos().x();
    m_settings.PosY = event->pos().y();
}

void TMainPForm::FloatRefused(QPoint at)
{
    WriteDebugLog(
        QStringLiteral("(!) Float Move refused at %1,%2: floating rests").arg(at.x()).arg(at.y()));
}
