#pragma once

#include "platform/Dialogs.h"

#include <QString>
#include <deque>
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

    DialogAnswer Show(DialogType type, const QString& text, DialogButtons buttons) override
    {
        boxes.push_back({type, text, buttons});
        if (!answers.empty()) {
            DialogAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == DialogButtons::YesNo || buttons == DialogButtons::YesNoCancel
                   ? DialogAnswer::Yes
                   : DialogAnswer::Ok;
    }

    std::vector<Box> boxes;
    std::deque<DialogAnswer> answers;
};
