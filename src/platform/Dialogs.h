#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <vector>

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

// The words of a box in the program's language: its title by type and its buttons. An empty
// one leaves the platform's own.
struct DialogWords
{
    QString Warning, Error, Information, Confirmation;
    QString Ok, Cancel, Yes, No;
};

// The message boxes of the program: the platform's standard dialog with a type and a button
// set. Tests use a double that records each box and answers as told.
//
// A box turns the event loop while it waits, so whatever failed may fail again underneath it
// (a timer, a Local Talk client, the next skin switch) and ask for the same box. A box the same
// as one still open is not opened again inside it: it gets the answer of a box closed without
// a choice, and the open one stands for both.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    DialogAnswer Show(DialogType type, const QString& text, DialogButtons buttons);

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

    // What a box answers when it closes without a choice (the program closing under it, or a
    // repeat of a box still open): the button that lets nothing happen.
    static DialogAnswer Unanswered(DialogButtons buttons);

    // The words boxes show from now on (the language changed).
    void SetWords(DialogWords words) { m_words = std::move(words); }
    const DialogWords& Words() const { return m_words; }

protected:
    // Shows the box and waits for the answer.
    virtual DialogAnswer Present(DialogType type, const QString& text, DialogButtons buttons) = 0;

private:
    struct OpenBox
    {
        DialogType type;
        QString text;
        DialogButtons buttons;
    };
    std::vector<OpenBox> m_open;
    DialogWords m_words;
};

// A failure that comes back at every attempt (each time the settings are applied, say) is
// reported in a box the first time only; once an attempt succeeds, the next failure is news again.
class RepeatedFailure
{
public:
    void Failed(Dialogs& dialogs, const QString& text);
    void Succeeded() { m_reported.reset(); }

private:
    std::optional<QString> m_reported;
};
