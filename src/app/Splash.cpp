#include "app/Splash.h"

#include "platform/linux/X11Windows.h"
#include "skin/SkinImage.h"
#include "skin/WindowShape.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QThread>
#include <QWindow>

namespace {

constexpr QSize FallbackSize(360, 200);

QLabel* MakeLabel(QWidget* parent, int pointSize, bool bold)
{
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    // Colours by palette, not style sheet: a style sheet brings the whole style-sheet engine
    // into the process for the rest of the run. Labels draw no background of their own.
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, QColor(0xe8, 0xee, 0xf5));
    label->setPalette(colours);
    return label;
}

Qt::WindowFlags SplashFlags(bool unmanaged)
{
    Qt::WindowFlags flags = Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    if (unmanaged)
        flags |= Qt::X11BypassWindowManagerHint;
    return flags;
}

} // namespace

TSplash::TSplash(const QString& pictureFile, const QString& shapeFile, bool translucent,
                 bool unmanaged, QWidget* parent)
    : QWidget(parent, SplashFlags(unmanaged))
{
    setWindowTitle(QStringLiteral("Pulsmir Splash"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (translucent)
        setAttribute(Qt::WA_TranslucentBackground);

    // Opaque wherever the shape picture is not pure red; the outline stays cheap whatever the
    // picture holds, as a skin's does.
    Bitmap24 shape;
    LoadSkinImage(shape, shapeFile);
    const QRegion outline =
        shape.IsEmpty()
            ? QRegion()
            : ToRegion(BuildWindowOutline(shape, true, MakeSkinColor(255, 0, 0)).Rects);

    m_image1 = new QLabel(this);
    QImage picture = LoadPictureImage(pictureFile);
    if (picture.isNull()) {
        QPalette colours = m_image1->palette();
        colours.setColor(QPalette::Window, QColor(0x1d, 0x27, 0x33));
        m_image1->setPalette(colours);
        m_image1->setAutoFillBackground(true);
        m_image1->resize(FallbackSize);
    } else {
        if (translucent && !outline.isEmpty()) {
            picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&picture);
            painter.setCompositionMode(QPainter::CompositionMode_Clear);
            painter.setClipRegion(QRegion(picture.rect()) - outline);
            painter.fillRect(picture.rect(), Qt::transparent);
        }
        m_image1->setPixmap(QPixmap::fromImage(picture));
        m_image1->resize(picture.size());
    }
    setFixedSize(m_image1->size());
    // The shape also keeps the cut-outs out of the input.
    if (!outline.isEmpty())
        setMask(outline);

    const int w = width();
    const int h = height();
    m_binVersionInfo = MakeLabel(this, 8, false);
    m_myVersion = MakeLabel(this, 8, false);
    m_coreMd = MakeLabel(this, 8, false);
    m_statusL = MakeLabel(this, 9, true);
    m_binVersionInfo->setGeometry(16, h - 78, w - 32, 14);
    m_myVersion->setGeometry(16, h - 64, w - 32, 14);
    m_coreMd->setGeometry(16, h - 50, w - 32, 14);
    m_statusL->setGeometry(16, h - 32, w - 32, 18);
}

void TSplash::SetVersionTexts(const QString& binVersionInfo, const QString& myVersion,
                              const QString& coreMd)
{
    m_binVersionInfo->setText(binVersionInfo);
    m_myVersion->setText(myVersion);
    m_coreMd->setText(coreMd);
}

void TSplash::SetStatus(const QString& text)
{
    m_statusL->setText(text);
    if (isVisible()) {
        m_statusL->repaint();
        X11FlushRequests();
    }
}

QString TSplash::Status() const
{
    return m_statusL->text();
}

void TSplash::SetWindowAlpha(int alpha)
{
    setWindowOpacity(std::clamp(alpha, 0, 255) / 255.0);
}

void TSplash::FadeIn()
{
    for (int k = 0; k <= m_maxAlpha / 16; ++k) {
        SetWindowAlpha(k * 16);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(10);
    }
    SetWindowAlpha(m_maxAlpha);
}

void TSplash::FadeOut()
{
    for (int k = m_maxAlpha / 16; k >= 0; --k) {
        SetWindowAlpha(k * 16);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(10);
    }
}

void TSplash::ShowPainted()
{
    show();
    // The window can be drawn once the window manager has mapped it.
    QElapsedTimer waited;
    waited.start();
    while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        QThread::msleep(5);
    }
    repaint();
    X11FlushRequests();
}

void TSplash::CenterOnScreen()
{
    if (const QScreen* screen = this->screen())
        move(screen->geometry().center() - rect().center());
}
