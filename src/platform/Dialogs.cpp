#include "platform/Dialogs.h"

#include <algorithm>

DialogAnswer Dialogs::Show(DialogType type, const QString& text, DialogButtons buttons)
{
    const auto same = [&](const OpenBox& box) {
        return box.type == type && box.buttons == buttons && box.text == text;
    };
    if (std::any_of(m_open.begin(), m_open.end(), same))
        return Unanswered(buttons);

    m_open.push_back({type, text, buttons});
    // Boxes close in the reverse order they opened, each waiting in a loop inside the last.
    struct Closing
    {
        std::vector<OpenBox>& open;
        ~Closing() { open.pop_back(); }
    } closing{m_open};
    return Present(type, text, buttons);
}

DialogAnswer Dialogs::Unanswered(DialogButtons buttons)
{
    switch (buttons) {
    case DialogButtons::Ok:
        return DialogAnswer::Ok;
    case DialogButtons::YesNo:
        return DialogAnswer::No;
    case DialogButtons::OkCancel:
    case DialogButtons::YesNoCancel:
        break;
    }
    return DialogAnswer::Cancel;
}

void RepeatedFailure::Failed(Dialogs& dialogs, const QString& text)
{
    if (m_reported == text)
        return;
    m_reported = text;
    dialogs.Error(text);
}
