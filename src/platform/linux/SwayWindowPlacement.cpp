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
