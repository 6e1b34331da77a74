#pragma once

#include "platform/WindowPlacement.h"
#include "platform/linux/SwayIpc.h"

#include <memory>

// Moves a window through sway's IPC, naming it by its X11 window id.
class SwayWindowPlacement : public WindowPlacement
{
public:
    explicit SwayWindowPlacement(SwayIpc ipc) : m_ipc(std::move(ipc)) {}

    bool MoveWindow(WindowId window, QPoint topLeft) override;
    bool SetOpacity(WindowId window, double opacity) override;
    bool RaiseWindow(WindowId window, QPoint topLeft) override;
    QString Name() const override { return QStringLiteral("sway IPC"); }

    static QString MoveCommand(WindowId window, QPoint topLeft);
    static QString OpacityCommand(WindowId window, double opacity);
    static QString RaiseCommand(WindowId window, QPoint topLeft);

private:
    SwayIpc m_ipc;
};

// The compositor's own placement where there is one (sway, when $SWAYSOCK answers); null
// elsewhere.
std::unique_ptr<WindowPlacement> CompositorWindowPlacement();
