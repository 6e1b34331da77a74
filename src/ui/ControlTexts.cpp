#include "ui/ControlTexts.h"

#include "res/MRes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>

namespace {

// A page of a tab widget sits in the widget's stack, one level below it.
QTabWidget* TabsOf(QWidget* page)
{
    QWidget* stack = page->parentWidget();
    return stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
}

void SetCaption(QWidget& form, QWidget* control, const QString& text)
{
    if (control == &form)
        form.setWindowTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(text);
    else if (QTabWidget* tabs = TabsOf(control))
        tabs->setTabText(tabs->indexOf(control), text);
}

} // namespace

void ApplyControlTexts(QWidget& form, const TMRes& res, std::span<const ControlText> texts)
{
    for (const ControlText& text : texts) {
        const QString name = QLatin1String(text.Control);
        QWidget* control = form.objectName() == name ? &form : form.findChild<QWidget*>(name);
        if (!control)
            continue;
        if (text.Caption)
            SetCaption(form, control, res.GetText(QLatin1String(text.Caption)));
        if (text.Hint)
            control->setToolTip(res.GetText(QLatin1String(text.Hint)));
    }
}

void ApplyItemTexts(QComboBox& combo, const TMRes& res, std::initializer_list<const char*> codes)
{
    int index = 0;
    for (const char* code : codes) {
        if (index >= combo.count())
            break;
        combo.setItemText(index++, res.GetText(QLatin1String(code)));
    }
}
