#pragma once

#include <QDialog>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TMRes;

// "Tray Icon Selector": the built-in tray icons or four icon files, one per disk state.
class TIconEditDlg : public QDialog
{
    Q_OBJECT

public:
    // Asks for an icon file, starting at a path (a folder, or a file to preselect); empty when
    // cancelled.
    using OpenIconFile = std::function<QString(QWidget* parent, const QString& startPath)>;

    // Captions in the open language when one is given.
    explicit TIconEditDlg(QString programFolder, QWidget* parent = nullptr,
                          const TMRes* res = nullptr);

    // The settings into the controls, and back when the dialog was accepted.
    void Load(bool trayIconDefault, const std::array<QString, 4>& icons);
    void Save(bool& trayIconDefault, std::array<QString, 4>& icons) const;

    // Runs a browse button's choice; the open dialog by default.
    OpenIconFile OpenIcn;
    static QString OpenIcnDialog(QWidget* parent, const QString& startPath,
                                 const TMRes* res = nullptr);

    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    std::array<QLineEdit*, 4> Edits{};
    std::array<QPushButton*, 4> Buttons{};
    std::array<QLabel*, 8> Labels{};
    QPushButton* OKBtn = nullptr;
    QPushButton* Button5 = nullptr;

    // A browse button was pressed.
    void Browse(int index);

private:
    void UpdateEnabled();

    QString m_programFolder;
};
