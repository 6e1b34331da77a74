#include "ui/SkinBannerForm.h"

#include "skin/SkinImage.h"
#include "ui/ColumnFont.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>
#include <exception>

TSkinBannerForm::TSkinBannerForm(const QString& defaultBannerFile, QWidget* parent)
    : QDialog(parent)
{
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFixedWidth(317);
    setMinimumHeight(191);
    auto* bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setFixedSize(204, 44);
    BnImg = new QLabel(bevel);
    BnImg->setGeometry(2, 2, 200, 40);
    BnImg->setScaledContents(true);
    BnImg->installEventFilter(this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo1->setStyleSheet(QStringLiteral("QPlainTextEdit { background-color: white; }"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bevel, 0, Qt::AlignHCenter);
    layout->addWidget(Memo1, 1);

    const QString picture = defaultBannerFile;
    if (QFileInfo::exists(picture)) {
        try {
            Bitmap24 banner;
            LoadSkinImage(banner, picture);
            SetBanner(banner);
        } catch (const std::exception&) {
        }
    }
}

void TSkinBannerForm::SetBanner(const Bitmap24& banner)
{
    BnImg->setPixmap(QPixmap::fromImage(banner.ImageView().copy()));
}

void TSkinBannerForm::SetLines(const QStringList& lines)
{
    const QString text = lines.join(u'\n').replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo1->setFont(ColumnFontFor(text, QFontDatabase::systemFont(QFontDatabase::FixedFont)));
    Memo1->setPlainText(text);
}

void TSkinBannerForm::Center()
{
    resize(width(), std::max(height(), 360));
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TSkinBannerForm::FormDeactivate()
{
    accept();
}

bool TSkinBannerForm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowDeactivate && isVisible())
        FormDeactivate();
    return QDialog::event(event);
}

bool TSkinBannerForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == BnImg && event->type() == QEvent::MouseButtonRelease) {
        FormDeactivate();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
