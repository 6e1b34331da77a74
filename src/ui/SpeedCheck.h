#pragma once

#include <QDialog>
#include <QtGlobal>
#include <memory>

class Dialogs;
class TMRes;
class QLineEdit;
class QListWidget;
class QRadioButton;
namespace Ui {
class SpeedCheck;
}

// A range choice of both groups: the range codes (0 automatic, a list position + 1, 99 custom)
// and the custom values in KB/sec.
struct SpeedRangeSelection
{
    int DRange = 0;
    int NRange = 0;
    qint64 DCustomKib = 0;
    qint64 NCustomKib = 0;
};

// "Speed Select of HDD/Ethernet": the full scales of the disk and network meters, automatic,
// from a list of devices, or a custom value.
class TFSpeedCheck : public QDialog
{
    Q_OBJECT

public:
    // Captions in the open language when one is given.
    explicit TFSpeedCheck(Dialogs& dialogs, const TMRes* res = nullptr, QWidget* parent = nullptr);
    ~TFSpeedCheck() override;

    void Load(const SpeedRangeSelection& selection);
    SpeedRangeSelection Save() const;

    // OK: both groups' custom values are checked, and the dialog stays open on an error.
    void accept() override;

    struct Group
    {
        QRadioButton* Auto;
        QRadioButton* Device;
        QRadioButton* Custom;
        QListWidget* List;
        QLineEdit* CustomEdit;
        QWidget* CustomUnit;
    };
    Group HD;
    Group NIC;

private:
    void ApplyEnabling(const Group& group);
    // True when the group's custom value is usable; shows the group's box otherwise.
    bool CheckCustom(const Group& group, const QString& valueError, const QString& numberError);

    Dialogs& m_dialogs;
    const TMRes* m_res;
    std::unique_ptr<Ui::SpeedCheck> m_form;
};
