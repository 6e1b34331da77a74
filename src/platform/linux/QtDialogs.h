#pragma once

#include "platform/Dialogs.h"

// Message boxes through QMessageBox. They stay on top, as the monitor window does.
class QtDialogs : public Dialogs
{
public:
    // The window title of a box of this type, so that tests can find it on the screen.
    static QString TitleFor(DialogType type);

protected:
    DialogAnswer Present(DialogType type, const QString& text, DialogButtons buttons) override;
};
