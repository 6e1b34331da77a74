#include "platform/linux/QtDialogs.h"

#include <QMessageBox>

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
    QMessageBox box(icon, TitleFor(type), plain, standard);
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
