#pragma once

#include <QDialog>

class QLabel;
class TMRes;

// "Add-in File Installation": asks before a package is installed.
class TSkinInsDlg : public QDialog
{
    Q_OBJECT

public:
    // Captions in the open language when one is given.
    explicit TSkinInsDlg(const QString& message, QWidget* parent = nullptr,
                         const TMRes* res = nullptr);

    // Shows the dialog modally; true when the user chose OK.
    static bool Ask(const QString& message, QWidget* parent = nullptr, const TMRes* res = nullptr);

    QLabel* Msg = nullptr;
};
