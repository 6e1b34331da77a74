#include "ui/IconEditDlg.h"

#include "res/MRes.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TIconEditDlg::TIconEditDlg(QString programFolder, QWidget* parent, const TMRes* res)
    : QDialog(parent), OpenIcn([res](QWidget* owner, const QString& start) {
          return OpenIcnDialog(owner, start, res);
      }),
      m_programFolder(std::move(programFolder))
{
    setObjectName(QStringLiteral("IconEditDlg"));
    setWindowTitle(TextOr(res, "C0211", QStringLiteral("Tray Icon Selector")));

    RadioButton1 = new QRadioButton(TextOr(res, "C0212", QStringLiteral("Pulsmir Default")), this);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton2 = new QRadioButton(TextOr(res, "C0213", QStringLiteral("User Assign")), this);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton1->setChecked(true);

    auto* grid = new QGridLayout;
    const char* labels[4][2] = {
        {"R=OFF", "W=OFF"}, {"R=ON", "W=OFF"}, {"R=OFF", "W=ON"}, {"R=ON", "W=ON"}};
    for (int i = 0; i < 4; ++i) {
        const auto at = static_cast<std::size_t>(i);
        Labels[at * 2] = new QLabel(QLatin1String(labels[i][0]), this);
        Labels[at * 2 + 1] = new QLabel(QLatin1String(labels[i][1]), this);
        Edits[at] = new QLineEdit(this);
        Edits[at]->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        Edits[at]->setReadOnly(true);
        Edits[at]->setMinimumWidth(280);
        Buttons[at] = new QPushButton(QStringLiteral("..."), this);
        Buttons[at]->setObjectName(QStringLiteral("Button%1").arg(i + 1));
        Buttons[at]->setFixedWidth(32);
        grid->addWidget(Labels[at * 2], i, 0);
        grid->addWidget(Labels[at * 2 + 1], i, 1);
        grid->addWidget(Edits[at], i, 2);
        grid->addWidget(Buttons[at], i, 3);
        connect(Buttons[at], &QPushButton::clicked, this, [this, i] { Browse(i); });
    }

    OKBtn = new QPushButton(TextOr(res, "C0154", QStringLiteral("OK")), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    Button5 = new QPushButton(TextOr(res, "C0155", QStringLiteral("Cancel")), this);
    Button5->setObjectName(QStringLiteral("Button5"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button5, &QPushButton::clicked, this, &QDialog::reject);
    connect(RadioButton1, &QRadioButton::toggled, this, &TIconEditDlg::UpdateEnabled);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(Button5);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RadioButton1);
    layout->addWidget(RadioButton2);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    UpdateEnabled();
}

void TIconEditDlg::UpdateEnabled()
{
    const bool user = RadioButton2->isChecked();
    for (QLineEdit* edit : Edits)
        edit->setEnabled(user);
    for (QPushButton* button : Buttons)
        button->setEnabled(user);
    for (QLabel* label : Labels)
        label->setEnabled(user);
}

void TIconEditDlg::Load(bool trayIconDefault, const std::array<QString, 4>& icons)
{
    RadioButton1->setChecked(trayIconDefault);
    RadioButton2->setChecked(!trayIconDefault);
    for (std::size_t i = 0; i < 4; ++i)
        Edits[i]->setText(icons[i]);
    UpdateEnabled();
}

void TIconEditDlg::Save(bool& trayIconDefault, std::array<QString, 4>& icons) const
{
    trayIconDefault = RadioButton1->isChecked();
    for (std::size_t i = 0; i < 4; ++i)
        icons[i] = Edits[i]->text();
}

void TIconEditDlg::Browse(int index)
{
    QLineEdit* edit = Edits[static_cast<std::size_t>(index)];
    const QString current = edit->text();
    const QString start = current.isEmpty() || !QFileInfo(current).dir().exists()
                              ? m_programFolder
                              : QFileInfo(current).absoluteFilePath();
    const QString chosen = OpenIcn ? OpenIcn(this, start) : QString();
    if (!chosen.isEmpty())
        edit->setText(QDir::toNativeSeparators(chosen));
}

QString TIconEditDlg::OpenIcnDialog(QWidget* parent, const QString& startPath, const TMRes* res)
{
    // The program's own icons are PNG pictures; Windows icon files are read too.
    return QFileDialog::getOpenFileName(
        parent, TextOr(res, "C0214", QStringLiteral("Open Icon File")), startPath,
        TextOr(res, "C0215", QStringLiteral("Icons (*.png *.ico)")));
}
