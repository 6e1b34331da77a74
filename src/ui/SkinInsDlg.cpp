#include "ui/SkinInsDlg.h"

#include "res/MRes.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

TSkinInsDlg::TSkinInsDlg(const QString& message, QWidget* parent, const TMRes* res)
    : QDialog(parent)
{
    setWindowTitle(TextOr(res, "C0420", QStringLiteral("Add-in File Installation")));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    Msg = new QLabel(QString(message).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), this);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(TextOr(res, "C0154", QStringLiteral("OK")),
                                         QDialogButtonBox::AcceptRole);
    buttons->addButton(TextOr(res, "C0155", QStringLiteral("Cancel")),
                       QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* text = new QHBoxLayout;
    text->addWidget(icon, 0, Qt::AlignTop);
    text->addWidget(Msg, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(text);
    layout->addWidget(buttons);
}

bool TSkinInsDlg::Ask(const QString& message, QWidget* parent, const TMRes* res)
{
    TSkinInsDlg dialog(message, parent, res);
    // Centred on the screen: it may come before any window of the program.
    dialog.adjustSize();
    if (const QScreen* screen = dialog.screen())
        dialog.move(screen->availableGeometry().center() - dialog.rect().center());
    return dialog.exec() == QDialog::Accepted;
}
