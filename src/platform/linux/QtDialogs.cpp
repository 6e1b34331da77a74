#include "platform/linux/QtDialogs.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <utility>

QString QtDialogs::TitleFor(DialogType type)
{
    switch (type) {
    case DialogType::Warning:
        return QStringLiteral("Pulsmir - Warning");
    case DialogType::Error:
        return QStringLiteral("Pulsmir - Error");
    case DialogType::Information:
        return QStringLiteral("Pulsmir - Information");
    case DialogType::Confirmation:
        return QStringLiteral("Pulsmir - Confirm");
    }
    return QStringLiteral("Pulsmir");
}

QString QtDialogs::Title(DialogType type) const
{
    const DialogWords& words = Words();
    QString title;
    switch (type) {
    case DialogType::Warning:
        title = words.Warning;
        break;
    case DialogType::Error:
        title = words.Error;
        break;
    case DialogType::Information:
        title = words.Information;
        break;
    case DialogType::Confirmation:
        title = words.Confirmation;
        break;
    }
    return title.isEmpty() ? TitleFor(type) : title;
}

DialogAnswer QtDialogs::Present(DialogType type, const QString& text, DialogButtons buttons)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type) {
    case DialogType::Warning:
        icon = QMessageBox::Warning;
        break;
    case DialogType::Error:
        icon = QMessageBox::Critical;
        break;
    case DialogType::Information:
        icon = QMessageBox::Information;
        break;
    case DialogType::Confirmation:
        icon = QMessageBox::Question;
        break;
    }

    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    switch (buttons) {
    case DialogButtons::Ok:
        standard = QMessageBox::Ok;
        break;
    case DialogButtons::OkCancel:
        standard = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case DialogButtons::YesNo:
        standard = QMessageBox::Yes | QMessageBox::No;
        break;
    case DialogButtons::YesNoCancel:
        standard = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }

    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, Title(type), plain, standard);
    // Qt words its buttons in English unless told.
    const DialogWords& words = Words();
    const std::pair<QMessageBox::StandardButton, const QString*> captions[] = {
        {QMessageBox::Ok, &words.Ok},
        {QMessageBox::Cancel, &words.Cancel},
        {QMessageBox::Yes, &words.Yes},
        {QMessageBox::No, &words.No}};
    for (const auto& [standardButton, caption] : captions)
        if (QAbstractButton* button = box.button(standardButton); button && !caption->isEmpty())
            button->setText(*caption);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return DialogAnswer::Yes;
    case QMessageBox::No:
        return DialogAnswer::No;
    case QMessageBox::Cancel:
        return DialogAnswer::Cancel;
    case QMessageBox::Ok:
        return DialogAnswer::Ok;
    default:
        // Closed without a choice: by its window's close button, or because the program is
        // closing and every event loop ends.
        return Unanswered(buttons);
    }
}
