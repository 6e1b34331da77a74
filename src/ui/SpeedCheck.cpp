#include "ui/SpeedCheck.h"

#include "platform/Dialogs.h"
#include "res/MRes.h"
#include "settings/SpeedRanges.h"
#include "ui/ControlTexts.h"
#include "ui_SpeedCheck.h"

namespace {

const ControlText Texts[] = {
    {"SpeedCheck", "C0530", nullptr},      {"DiskGroup", "C0531", nullptr},
    {"DiskNote", "C0532", nullptr},        {"SelectHDAuto", "C0533", nullptr},
    {"SelectHD", "C0534", nullptr},        {"SelectHDCustom", "C0535", nullptr},
    {"NetGroup", "C0536", nullptr},        {"NetNote", "C0537", nullptr},
    {"SelectNICAuto", "C0533", nullptr},   {"SelectNIC", "C0534", nullptr},
    {"SelectNICCustom", "C0535", nullptr}, {"Button1", "C0154", nullptr},
    {"Button2", "C0155", nullptr},
};

template <std::size_t N>
void FillList(QListWidget* list, const SpeedRangeEntry (&table)[N])
{
    for (const SpeedRangeEntry& entry : table)
        list->addItem(QString::fromLatin1(entry.ListText));
}

void LoadGroup(const TFSpeedCheck::Group& group, int range, qint64 customKib)
{
    group.List->setCurrentRow(-1);
    group.List->clearSelection();
    if (range == AutomaticRange) {
        group.Auto->setChecked(true);
    } else if (range == CustomRange) {
        group.Custom->setChecked(true);
        group.CustomEdit->setText(QString::number(customKib));
    } else {
        group.Device->setChecked(true);
        if (range >= 1 && range <= group.List->count())
            group.List->setCurrentRow(range - 1);
    }
}

int RangeOf(const TFSpeedCheck::Group& group)
{
    if (group.Custom->isChecked())
        return CustomRange;
    if (group.Device->isChecked() && group.List->currentRow() >= 0)
        return group.List->currentRow() + 1;
    return AutomaticRange;
}

} // namespace

TFSpeedCheck::TFSpeedCheck(Dialogs& dialogs, const TMRes* res, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_res(res), m_form(std::make_unique<Ui::SpeedCheck>())
{
    m_form->setupUi(this);
    if (m_res)
        ApplyControlTexts(*this, *m_res, Texts);
    HD = {m_form->SelectHDAuto, m_form->SelectHD,  m_form->SelectHDCustom,
          m_form->HDSel,        m_form->HDCustom, m_form->HDCustomUnit};
    NIC = {m_form->SelectNICAuto, m_form->SelectNIC,  m_form->SelectNICCustom,
           m_form->NICSel,        m_form->NICCustom, m_form->NICCustomUnit};
    FillList(HD.List, DiskRanges);
    FillList(NIC.List, NetworkRanges);
    for (const Group* group : {&HD, &NIC}) {
        for (QRadioButton* choice : {group->Auto, group->Device, group->Custom})
            connect(choice, &QRadioButton::toggled, this, [this, group] { ApplyEnabling(*group); });
        // Choosing a device picks the device choice.
        connect(group->List, &QListWidget::itemClicked, this,
                [group] { group->Device->setChecked(true); });
        ApplyEnabling(*group);
    }
}

TFSpeedCheck::~TFSpeedCheck() = default;

void TFSpeedCheck::ApplyEnabling(const Group& group)
{
    group.CustomEdit->setEnabled(group.Custom->isChecked());
    group.CustomUnit->setEnabled(group.Custom->isChecked());
    group.List->setEnabled(group.Device->isChecked());
}

void TFSpeedCheck::Load(const SpeedRangeSelection& selection)
{
    LoadGroup(HD, selection.DRange, selection.DCustomKib);
    LoadGroup(NIC, selection.NRange, selection.NCustomKib);
}

SpeedRangeSelection TFSpeedCheck::Save() const
{
    SpeedRangeSelection selection;
    selection.DRange = RangeOf(HD);
    selection.NRange = RangeOf(NIC);
    selection.DCustomKib = HD.CustomEdit->text().trimmed().toLongLong();
    selection.NCustomKib = NIC.CustomEdit->text().trimmed().toLongLong();
    return selection;
}

bool TFSpeedCheck::CheckCustom(const Group& group, const QString& valueError,
                               const QString& numberError)
{
    if (group.CustomEdit->text().trimmed().isEmpty())
        group.CustomEdit->setText(QStringLiteral("0"));
    if (!group.Custom->isChecked())
        return true;
    bool isNumber = false;
    const qint64 value = group.CustomEdit->text().trimmed().toLongLong(&isNumber);
    if (isNumber && value >= 1 && value <= MaxCustomKib)
        return true;
    m_dialogs.Error(isNumber ? valueError : numberError);
    group.CustomEdit->setFocus();
    return false;
}

void TFSpeedCheck::accept()
{
    // Both groups are checked in the same click.
    const bool disk = CheckCustom(
        HD, TextOr(m_res, "R0629", QStringLiteral("HD Custom Value Error!")),
        TextOr(m_res, "R0631", QStringLiteral("HD Custom Value: enter a whole number of KB/sec.")));
    const bool net =
        CheckCustom(NIC, TextOr(m_res, "R0630", QStringLiteral("NIC Custom Value Error!")),
                    TextOr(m_res, "R0632",
                           QStringLiteral("NIC Custom Value: enter a whole number of KB/sec.")));
    if (disk && net)
        QDialog::accept();
}
