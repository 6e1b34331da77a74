#include "platform/linux/SwayWindowPlacement.h"

QString SwayWindowPlacement::MoveCommand(WindowId window, QPoint topLeft)
{
    // "id" is the X11 window id of an Xwayland window.
    return QStringLiteral("[id=%1] move absolute position %2 %3")
        .arg(window)
        .arg(topLeft.x())
        .arg(topLeft.y());
}

bool SwayWindowPlacement::MoveWindow(WindowId window, QPoint topLeft)
{
    if (window == 0)
        return false;
    return m_ipc.Run(MoveCommand(window, topLeft));
}

QString SwayWindowPlacement::OpacityCommand(WindowId window, double opacity)
{
    return QStringLiteral("[id=%1] opacity %2").arg(window).arg(opacity, 0, 'f', 3);
}

bool SwayWindowPlacement::SetOpacity(WindowId window, double opacity)
{
    if (window == 0)
        return false;
    return m_ipc.Run(OpacityCommand(window, opacity));
}

QString SwayWindowPlacement::RaiseCommand(WindowId window, QPoint topLeft)
{
    // sway has no command to raise a window; one made floating anew goes on top of the
    // others. The commands of one message take effect together, so the window is never seen
    // tiled or centred, and the focus stays where it is.
    return QStringLiteral("[id=%1] floating disable, floating enable, ").arg(window) +
           MoveCommand(window, topLeft).section(QLatin1Char(' '), 1);
}

bool SwayWindowPlacement::RaiseWindow(WindowId window, QPoint topLeft)
{
    if (window == 0)
        return false;
    return m_ipc.Run(RaiseCommand(window, topLeft));
}

std::unique_ptr<WindowPlacement> CompositorWindowPlacement()
{
    if (qEnvironmentVariableIsEmpty("SWAYSOCK"))
        return nullptr;
    SwayIpc ipc;
    // A socket left behind by a sway that has gone does not answer.
    if (!ipc.Exchange(SwayIpc::Message::GetVersion))
        return nullptr;
    return std::make_unique<SwayWindowPlacement>(std::move(ipc));
}
