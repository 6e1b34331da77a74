#pragma once

#include "platform/Dialogs.h"

#include <QString>
#include <deque>
#include <functional>
#include <vector>

// Records every message box and answers from a queue of scripted answers; without a script a
// box is answered with its affirmative button (OK or Yes).
class RecordingDialogs : public Dialogs
{
public:
    struct Box
    {
        DialogType type;
        QString text;
        DialogButtons buttons;
    };

    std::vector<Box> boxes;
    std::deque<DialogAnswer> answers;
    // Runs while a box is open, as the program's other work runs in a real box's event loop.
    std::function<void(const Box&)> whileOpen;

protected:
    DialogAnswer Present(DialogType type, const QString& text, DialogButtons buttons) override
    {
        const Box box{type, text, buttons};
        boxes.push_back(box);
        if (whileOpen)
            whileOpen(box);
        if (!answers.empty()) {
            DialogAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == DialogButtons::YesNo || buttons == DialogButtons::YesNoCancel
                   ? DialogAnswer::Yes
                   : DialogAnswer::Ok;
    }
};
