#pragma once

#include <QString>

enum class DialogType
{
    Warning,
    Error,
    Information,
    Confirmation
};
enum class DialogButtons
{
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel
};
enum class DialogAnswer
{
    Ok,
    Cancel,
    Yes,
    No
};

// The message boxes of the program: the platform's standard dialog with a type and a button
// set. Tests use a double that records each box and answers as told.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    virtual DialogAnswer Show(DialogType type, const QString& text, DialogButtons buttons) = 0;

    void Warning(const QString& text) { Show(DialogType::Warning, text, DialogButtons::Ok); }
    void Error(const QString& text) { Show(DialogType::Error, text, DialogButtons::Ok); }
    void Information(const QString& text)
    {
        Show(DialogType::Information, text, DialogButtons::Ok);
    }
    bool AskYesNo(DialogType type, const QString& text)
    {
        return Show(type, text, DialogButtons::YesNo) == DialogAnswer::Yes;
    }
};
