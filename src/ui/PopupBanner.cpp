#include "ui/PopupBanner.h"

#include "skin/SkinImage.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <exception>

namespace {

QPixmap DefaultBanner(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    try {
        Bitmap24 picture;
        LoadSkinImage(picture, path);
        return QPixmap::fromImage(picture.ImageView().copy());
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace

TPopupBnrF::TPopupBnrF(QString defaultBannerFile, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool |
                          Qt::WindowDoesNotAcceptFocus),
      m_defaultBannerFile(std::move(defaultBannerFile))
{
    setWindowTitle(QStringLiteral("Pulsmir Banner"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(ClientWidth, ClientHeight);
    // The 200 x 40 picture, stretched, centred on the 198 x 38 window.
    BnImg = new QLabel(this);
    BnImg->setGeometry(-1, -1, 200, 40);
    BnImg->setScaledContents(true);
    // The timer only runs while there is a banner to time, so an idle program does not wake.
    m_timer.setInterval(200);
    connect(&m_timer, &QTimer::timeout, this, &TPopupBnrF::Timer1Timer);
    m_fade.setInterval(10);
    connect(&m_fade, &QTimer::timeout, this, &TPopupBnrF::FadeStep);
    FormCreate();
}

void TPopupBnrF::FormCreate()
{
    m_counter = 0;
    m_timer.stop();
    m_fade.stop();
    BnImg->setPixmap(DefaultBanner(m_defaultBannerFile));
    SetAlpha(255);
}

void TPopupBnrF::ShowBanner(const Bitmap24& banner, QPoint position)
{
    m_fade.stop();
    BnImg->setPixmap(QPixmap::fromImage(banner.ImageView().copy()));
    m_counter = 1;
    move(position);
    show();
    BnImg->repaint();
    if (!m_timer.isActive())
        m_timer.start();
}

void TPopupBnrF::Timer1Timer()
{
    if (m_counter <= 0 || m_fade.isActive())
        return;
    if (m_counter == 1)
        SetAlpha(255);
    if (m_counter < 10) {
        ++m_counter;
        return;
    }
    // 32 steps of 10 ms from the event loop, so the sampling tick goes on meanwhile.
    m_fadeStep = 31;
    m_fade.start();
}

void TPopupBnrF::FadeStep()
{
    SetAlpha(m_fadeStep * 8);
    if (--m_fadeStep >= 0)
        return;
    m_fade.stop();
    hide();
    FormCreate();
}

void TPopupBnrF::SetAlpha(int alpha)
{
    setWindowOpacity(std::clamp(alpha, 0, 255) / 255.0);
}
