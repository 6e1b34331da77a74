#include "app/SkinInfoDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

void ShowSkinInfoDialog(QWidget* parent, const QString& caption, const QStringList& lines)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* memo = new QPlainTextEdit(&dialog);
    memo->setReadOnly(true);
    memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memo->setPlainText(lines.join(u'\n').replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    memo->setMinimumSize(420, 300);
    layout->addWidget(memo);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.exec();
}
