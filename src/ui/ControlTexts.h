#pragma once

#include <initializer_list>
#include <span>

class QComboBox;
class QWidget;
class TMRes;

// Which language code labels which control of a form: its caption, its hint, or both. A
// control named as the form itself takes the caption as the window title; a page of a tab
// widget takes it as its tab's title.
struct ControlText
{
    const char* Control;
    const char* Caption;
    const char* Hint;
};

// Sets the captions and hints of a form's controls from the open language; a code the file
// lacks shows as "(NoData:code)", so that the gap is seen.
void ApplyControlTexts(QWidget& form, const TMRes& res, std::span<const ControlText> texts);

// The items of a fixed choice list, one code per item in order.
void ApplyItemTexts(QComboBox& combo, const TMRes& res, std::initializer_list<const char*> codes);
