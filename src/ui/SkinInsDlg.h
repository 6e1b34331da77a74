#pragma once

#include <QDialog>

class QLabel;

// "Add-in File Installation": asks before a package is installed.
class TSkinInsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit TSkinInsDlg(const QString& message, QWidget* parent = nullptr);

    // Shows the dialog modally; true when the user chose OK.
    static bool Ask(const QString& message, QWidget* parent = nullptr);

    QLabel* Msg = nullptr;
};
