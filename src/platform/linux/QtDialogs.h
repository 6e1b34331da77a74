#pragma once

#include "platform/Dialogs.h"

// Message boxes through QMessageBox. They stay on top, as the monitor window does.
class QtDialogs : public Dialogs
{
public:
    // The window title of a box of this type before a language gives its own, so that tests
    // can find it on the screen.
    static QString TitleFor(DialogType type);
    // The title a box of this type shows now.
    QString Title(DialogType type) const;

protected:
    DialogAnswer Present(DialogType type, const QString& text, DialogButtons buttons) override;
};
