// The main window's placement: where it really is, and moves that reach it. Most window
// managers move a window that asks; wlroots compositors do not (sway centres a floating X11
// window at every request), so there the window goes through the compositor's own interface,
// drags are the window manager's own move, and what the settings keep is read back from the
// screen.
#include "app/FltCtrl.h"
#include "app/MainForm.h"
#include "platform/linux/SwayWindowPlacement.h"
#include "platform/linux/X11Desktop.h"
#include "platform/linux/X11Windows.h"

#include <QMoveEvent>
#include <QTimer>
#include <utility>

namespace {

// A window just mapped is not known to the compositor at once, and a size change may still
// be on its way, which re-centres the window after it was placed: the place is checked
// this often before the window is taken to be where it is.
constexpr int PlaceCheckMs = 100;
constexpr int PlaceTryLimit = 20;

} // namespace

void TMainPForm::SetupPlacement()
{
    const QString manager = X11WindowManagerName();
    m_clientMovesHonoured = WindowManagerHonoursClientMoves(manager);
    if (!m_clientMovesHonoured)
        m_placement = CompositorWindowPlacement();
    m_placeCheck = new QTimer(this);
    m_placeCheck->setSingleShot(true);
    m_placeCheck->setInterval(PlaceCheckMs);
    connect(m_placeCheck, &QTimer::timeout, this, &TMainPForm::CheckPlacement);
    if (!m_clientMovesHonoured)
        WriteDebugLog(
            QStringLiteral("Window Placement : %1 (window manager \"%2\")")
                .arg(m_placement ? m_placement->Name() : QStringLiteral("none"), manager));
    if (m_translucentFace)
        WriteDebugLog(QStringLiteral("Window Shape : transparent cut-outs (compositing)"));
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
    if (m_clientMovesHonoured || !m_placeCheck) {
        move(topLeft);
        return;
    }
    m_wantedPos = topLeft;
    m_placeTries = 0;
    if (m_placement)
        m_placement->MoveWindow(NativeWindow(), topLeft);
    else
        move(topLeft);
    m_placeCheck->start();
}

void TMainPForm::CheckPlacement()
{
    if (m_drag.Dragging || !isVisible() || m_proximity.ProximityHidden)
        return;
    const QPoint real = RealTopLeft();
    if (real == m_wantedPos) {
        m_placementRefused = false;
        // sway starts a window it maps anew (shown again) opaque.
        if (m_placement)
            m_placement->SetOpacity(NativeWindow(), windowOpacity());
        return;
    }
    if (m_placement && ++m_placeTries < PlaceTryLimit) {
        m_placement->MoveWindow(NativeWindow(), m_wantedPos);
        m_placeCheck->start();
        return;
    }
    // The settings keep where the window is, not where it was meant to go.
    m_settings.PosX = real.x();
    m_settings.PosY = real.y();
    // Once, not at every move of a floating window the compositor keeps in place.
    if (!std::exchange(m_placementRefused, true))
        WriteDebugLog(QStringLiteral("(!) Window Placement : the window stays at %1,%2")
                          .arg(real.x())
                          .arg(real.y()));
}

void TMainPForm::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    // Where the compositor places windows, the user may move this one by its means too (sway's
    // modifier drag, its commands); the settings follow. Moves of the program's own are
    // recorded when they are made, and checked while the check runs.
    if (m_clientMovesHonoured || !m_placeCheck || m_placeCheck->isActive() || m_drag.Dragging ||
        m_startingUp || !isVisible() || m_proximity.ProximityHidden)
        return;
    m_settings.PosX = event->pos().x();
    m_settings.PosY = event->pos().y();
}

void TMainPForm::FloatRefused(QPoint at)
{
    WriteDebugLog(
        QStringLiteral("(!) Float Move refused at %1,%2: floating rests").arg(at.x()).arg(at.y()));
}
