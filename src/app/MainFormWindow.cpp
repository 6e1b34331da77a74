// The main window as a window: the two window threads and their hand-offs, dragging and
// snapping, the mode switch of a double click, the status tips, hiding while the mouse is near,
// translucency and help.
#include "app/AActiveCtrl.h"
#include "app/CheckedPlacement.h"
#include "app/FltCtrl.h"
#include "app/MainForm.h"
#include "app/MainMenu.h"
#include "app/WindowModes.h"
#include "platform/Dialogs.h"
#include "platform/linux/X11Desktop.h"
#include "ui/STips.h"

#include <QDir>
#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace {

// What the missing local help offers instead.
const QUrl HelpWebPage(QStringLiteral("https://pulsmir.org/help/"));

} // namespace

// Runs the threads' requests on the main thread.
class TMainPForm::HandOff : public TWindowHandOff
{
public:
    explicit HandOff(TMainPForm& form) : m_form(form) {}
    void FloatMoveWindow(QPoint topLeft) override { m_form.FloatMoveWindow(topLeft); }
    void FloatRefused(QPoint at) override { m_form.FloatRefused(at); }
    void SetTrayMode(bool inTray) override { m_form.SetTrayMode(inTray); }
    void AutoModeTo(bool full) override { m_form.AutoModeTo(full); }

private:
    TMainPForm& m_form;
};

std::uint32_t TMainPForm::TickCount() const
{
    // The tips compare times as distances, so the wrap of 32 bits does no harm.
    return static_cast<std::uint32_t>(m_tickClock.elapsed());
}

WindowRect TMainPForm::DesktopArea() const
{
    return DesktopWorkArea(*m_desktop);
}

QSize TMainPForm::ScreenSize() const
{
    // A headless run shows no window, and its "screen" is a stand-in of no particular size.
    if (m_runMode == RunMode::Headless)
        return {};
    if (m_desktop) {
        const QSize size = m_desktop->ScreenSize();
        if (!size.isEmpty())
            return size;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->virtualGeometry().size();
    return {};
}

void TMainPForm::CreateWindowThreads()
{
    m_tickClock.start();
    m_desktop = std::make_unique<X11Desktop>();
    m_handOff = std::make_unique<HandOff>(*this);
    const TWindowThread::DesktopFactory factory = [] {
        return std::make_unique<X11Desktop>();
    };
    WriteDebugLog(QStringLiteral("Floating Control Thread Initialize"));
    m_fltCtrl = std::make_unique<TFltCtrl>(factory, *m_handOff);
    WriteDebugLog(QStringLiteral("Auto Active Control Thread Initialize"));
    m_aActiveCtrl = std::make_unique<TAActiveCtrl>(factory, *m_handOff, m_savedTitle);
    if (m_runMode == RunMode::Desktop)
        SetupPlacement();
    SyncThreadWindow();
    m_tips.Reset();
}

void TMainPForm::ResumeWindowThreads()
{
    if (m_runMode == RunMode::Headless)
        return;
    m_fltCtrl->Resume();
    m_aActiveCtrl->Resume();
}

void TMainPForm::StopWindowThreads()
{
    if (m_fltCtrl) {
        WriteDebugLog(QStringLiteral("Floating Control Thread Terminating"));
        m_fltCtrl->Stop();
        m_fltCtrl.reset();
    }
    if (m_aActiveCtrl) {
        WriteDebugLog(QStringLiteral("Auto Active Control Thread Terminating"));
        m_aActiveCtrl->Stop();
        m_aActiveCtrl.reset();
    }
}

void TMainPForm::SyncThreadWindow()
{
    // The native window may be made anew (a change of flags); the threads must follow it.
    const WindowId window = m_runMode == RunMode::Desktop ? NativeWindow() : 0;
    if (m_fltCtrl)
        m_fltCtrl->Window = window;
    if (m_aActiveCtrl)
        m_aActiveCtrl->Window = window;
}

bool TMainPForm::SkinAllowsFloat() const
{
    return m_skinLoaded && m_skin.Mode(m_settings.SkinMode == 1).FloatSW;
}

void TMainPForm::ApplySkinFloat()
{
    if (!m_fltCtrl)
        return;
    const TSkinModeRecord& mode = m_skin.Mode(m_settings.SkinMode == 1);
    m_fltCtrl->OffsetX = mode.FloatPosX;
    m_fltCtrl->OffsetY = mode.FloatPosY;
    // A compositor that refused the moves of one mode may take those of the next.
    m_fltCtrl->GaveUp = false;
    m_fltCtrl->Active = FloatActive(m_settings.FloatSW, m_settings.SkinMode, m_skin.Compact.FloatSW,
                                    m_skin.Full.FloatSW) &&
                        m_skinLoaded;
    m_fltCtrl->Wake();
}

void TMainPForm::ApplyWindowThreadMenu()
{
    ApplyWindowThreadSettings(m_settings, SkinAllowsFloat(), *m_fltCtrl, *m_aActiveCtrl);
    m_menu->MFltSwitch->setChecked(m_settings.FloatSW);
    m_menu->MFltAniSwitch->setEnabled(m_settings.FloatSW);
    m_menu->MFltAniSwitch->setChecked(m_settings.FloatAnim);
    m_menu->ESMute->setChecked(m_settings.EventSound.Mute);
}

void TMainPForm::FloatMoveWindow(QPoint topLeft)
{
    if (m_shutDown || m_drag.Dragging)
        return; // the user's hand wins over the thread's
    MoveFace(topLeft);
    if (m_checkedPlacement)
        m_checkedPlacement->RaiseWhenPlaced();
    WriteDebugLog(QStringLiteral("Float Move: %1,%2").arg(topLeft.x()).arg(topLeft.y()));
}

void TMainPForm::SetTrayMode(bool inTray)
{
    if (inTray != m_settings.InTasktray)
        InTTClick();
}

void TMainPForm::AutoModeTo(bool full)
{
    if (full != (m_settings.SkinMode == 1) && !m_optionsOpen)
        AutoModeSwitch();
}

void TMainPForm::AutoModeSwitch()
{
    if (!m_optionsOpen)
        ModeChange(false);
}

void TMainPForm::AlphaSwitchClick()
{
    m_settings.AlphaWindow = !m_settings.AlphaWindow;
    m_menu->AlphaSwitch->setChecked(m_settings.AlphaWindow);
    SetLayeredAlpha(this, m_settings.AlphaWindow ? 160 : 255);
    SendSstpEvent(m_settings.AlphaWindow ? QStringLiteral("ChangeAlphaA")
                                         : QStringLiteral("ChangeAlphaB"));
}

void TMainPForm::MFltSwitchClick()
{
    m_settings.FloatSW = !m_settings.FloatSW;
    m_menu->MFltSwitch->setChecked(m_settings.FloatSW);
    ApplySkinFloat();
    m_menu->MFltAniSwitch->setEnabled(m_settings.FloatSW);
    SendSstpEvent(m_settings.FloatSW ? QStringLiteral("ChangeFloatA")
                                     : QStringLiteral("ChangeFloatB"));
}

void TMainPForm::MFltAniSwitchClick()
{
    m_settings.FloatAnim = !m_settings.FloatAnim;
    m_menu->MFltAniSwitch->setChecked(m_settings.FloatAnim);
    m_fltCtrl->Animate = m_settings.FloatAnim;
}

void TMainPForm::FaceMouseDown(QMouseEvent* event)
{
    m_tips.MouseDown(TickCount());
    if (m_drag.DragStart(event->button() == Qt::LeftButton, event->position().toPoint())) {
        // Where the window really is; Qt's idea of it can lag behind the window manager's.
        m_dragWindowPos = event->globalPosition().toPoint() - event->position().toPoint();
        m_settings.PosX = m_dragWindowPos.x();
        m_settings.PosY = m_dragWindowPos.y();
        WriteDebugLog(QStringLiteral("DRAG Start"));
        // Where the window's own moves are not made, the window manager drags it.
        m_systemMoveDrag =
            !m_clientMovesHonoured && windowHandle() && windowHandle()->startSystemMove();
        if (m_systemMoveDrag && m_checkedPlacement)
            m_checkedPlacement->Stop();
    }
}

void TMainPForm::mousePressEvent(QMouseEvent* event)
{
    FaceMouseDown(event);
    QWidget::mousePressEvent(event);
}

void TMainPForm::mouseMoveEvent(QMouseEvent* event)
{
    if (m_systemMoveDrag)
        return;
    // Where the window was when the event happened, not where a move still on its way put it.
    const QPoint windowTopLeft = event->globalPosition().toPoint() - event->position().toPoint();
    if (const std::optional<QPoint> to =
            m_drag.DragNavigation(windowTopLeft, event->position().toPoint())) {
        m_settings.PosX = to->x();
        m_settings.PosY = to->y();
        m_dragWindowPos = *to;
        MoveFace(*to);
    }
}

void TMainPForm::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_drag.DragEnd(event->button() == Qt::LeftButton))
        return;
    if (m_systemMoveDrag) {
        // The window manager moved it; the drop is where it left the window.
        m_systemMoveDrag = false;
        m_dragWindowPos = RealTopLeft();
        m_settings.PosX = m_dragWindowPos.x();
        m_settings.PosY = m_dragWindowPos.y();
    }
    const QPoint placed =
        PlaceWindow(QPoint(m_settings.PosX, m_settings.PosY), size(), DesktopArea());
    m_settings.PosX = placed.x();
    m_settings.PosY = placed.y();
    // A move to where it is would still go through the window manager, which costs a click
    // that only pressed and released its double click.
    if (placed != m_dragWindowPos)
        MoveFace(placed);
    WriteDebugLog(QStringLiteral("DRAG End: %1,%2").arg(placed.x()).arg(placed.y()));
}

void TMainPForm::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    ModeChange(true);
    m_drag.FaceImgDblClick();
    // The second press comes as this event; it is a mouse-down like the first, without a drag.
    FaceMouseDown(event);
}

void TMainPForm::UpdateTips()
{
    if (!m_stips || !m_desktop)
        return;
    // Asking the X server for the cursor and the active window costs two round trips; without
    // the pointer over the window (Qt tracks that from enter and leave events) or a tip to
    // take down, the answer is known to be "not resting".
    QPoint cursor;
    bool overFace = false;
    if (isVisible() && !m_proximity.ProximityHidden && (underMouse() || m_stips->isVisible())) {
        cursor = m_desktop->CursorPos();
        const WindowId foreground = m_desktop->ForegroundWindow();
        overFace = foreground != 0 && (foreground == NativeWindow() || foreground == m_stips->winId()) &&
                   TStatusTips::CursorOverFace(cursor, pos(), size());
    }
    std::optional<QPoint> blindCursor;
    if (overFace && !m_desktop->PointerSeenEverywhere())
        blindCursor = cursor;
    switch (m_tips.Update(overFace, TickCount(), blindCursor)) {
    case TStatusTips::Action::None:
        break;
    case TStatusTips::Action::Hide:
        HideStatusTip();
        break;
    case TStatusTips::Action::Show:
        if (m_settings.AlwaysTop)
            m_desktop->SetStayOnTop(NativeWindow(), true);
        // Until the first graph step builds the snapshot, the tip shows the caption. The text
        // is laid out only here, so a tip never shown never loads a font.
        m_stips->SetTipText(m_statusText.isEmpty() ? windowTitle() : m_statusText);
        m_stips->ShowAt(TStatusTips::TipPosition(cursor, m_stips->size(), DesktopArea()));
        ApplyProcesses();
        break;
    }
}

void TMainPForm::HideStatusTip()
{
    m_stips->hide();
    ApplyProcesses();
    if (m_settings.AlwaysTop)
        m_desktop->SetStayOnTop(NativeWindow(), true);
}

void TMainPForm::leaveEvent(QEvent* event)
{
    // Under a Wayland compositor the X server keeps the pointer where it last saw it, over the
    // face, once it moves onto a native surface; the leave is all that tells the tip to go.
    if (m_tips.PointerLeft() == TStatusTips::Action::Hide && m_stips && m_desktop)
        HideStatusTip();
    QWidget::leaveEvent(event);
}

void TMainPForm::ProximityCheck()
{
    if (!m_desktop || !isVisible())
        return;
    // The options dialog owns the window's settings while it is open.
    const bool enabled = m_settings.AutoHidingOnMouse && !m_optionsOpen;
    if (!enabled && !m_proximity.ProximityHidden)
        return; // nothing to hide and nothing to bring back
    const QRect frame = frameGeometry();
    const WindowRect window{frame.left(), frame.top(), frame.right() + 1, frame.bottom() + 1};
    const bool shift = enabled && m_desktop->ShiftHeld();
    const QPoint cursor = enabled ? m_desktop->CursorPos() : QPoint();
    switch (m_proximity.Check(enabled, window, DesktopArea(), cursor, shift,
                              m_desktop->PointerSeenEverywhere(), TickCount())) {
    case TProximityHiding::Action::None:
        break;
    case TProximityHiding::Action::Hide:
        m_desktop->ShowWindowNoActivate(NativeWindow(), false);
        WriteDebugLog(QStringLiteral("Proximity Hidden"));
        break;
    case TProximityHiding::Action::Show:
        m_desktop->ShowWindowNoActivate(NativeWindow(), true);
        if (m_settings.AlwaysTop)
            m_desktop->SetStayOnTop(NativeWindow(), true);
        // A compositor that places a window anew when it is mapped again.
        if (!m_clientMovesHonoured)
            MoveFace(QPoint(m_settings.PosX, m_settings.PosY));
        WriteDebugLog(QStringLiteral("Proximity Shown"));
        break;
    }
}

void TMainPForm::HelpClick()
{
    // The data folder that holds the help: the user's own, or the installed one.
    const QString folder = QDir::cleanPath(
        QFileInfo(m_paths.ReadFile(QStringLiteral("help/index.html"))).absolutePath() +
        QStringLiteral("/.."));
    const auto open = [](const QUrl& url) {
        return QDesktopServices::openUrl(url);
    };
    if (ShowHelp(folder, HelpWebPage, m_dialogs, m_res, open))
        SendSstpEvent(QStringLiteral("ShowHelp"));
}

void TMainPForm::ConnectWindowMenu()
{
    connect(m_menu->AlphaSwitch, &QAction::triggered, this, &TMainPForm::AlphaSwitchClick);
    connect(m_menu->MFltSwitch, &QAction::triggered, this, &TMainPForm::MFltSwitchClick);
    connect(m_menu->MFltAniSwitch, &QAction::triggered, this, &TMainPForm::MFltAniSwitchClick);
    connect(m_menu->InTT, &QAction::triggered, this, &TMainPForm::InTTClick);
    connect(m_menu->mHelp, &QAction::triggered, this, &TMainPForm::HelpClick);
    connect(m_menu, &TMainMenu::Opening, this, [this] { m_tips.PopupOpened(TickCount()); });
    m_menu->AlphaSwitch->setEnabled(m_kernelKind == KernelNT);
}
