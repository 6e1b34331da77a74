#include "app/FacePainter.h"

#include "platform/linux/X11WindowPictures.h"
#include "skin/WindowShape.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace {

// The most a picture sent to the screen takes at a time: a whole face of a large skin at a
// scale of 2 would take megabytes for a moment, and a picture this small is taken from and
// given back to the heap rather than mapped.
constexpr qint64 BandBytes = 64 * 1024;

} // namespace

TFacePainter::TFacePainter(QWidget& window, bool desktop) : m_window(window)
{
    m_onScreen = desktop && X11TakesQtPixels();
    if (m_onScreen) {
        window.setAttribute(Qt::WA_PaintOnScreen);
        window.setAttribute(Qt::WA_NoSystemBackground);
    }
}

void TFacePainter::Paint(const QRegion& region, QSize faceSize, const Picture& picture,
                         bool translucent)
{
    const QRect face(QPoint(0, 0), faceSize);
    if (m_onScreen) {
        if (PaintOnScreen(region, face, picture))
            return;
        m_onScreen = false;
        m_window.setAttribute(Qt::WA_PaintOnScreen, false);
        m_window.setAttribute(Qt::WA_NoSystemBackground, false);
        m_window.update();
        return;
    }
    QPainter painter(&m_window);
    if (translucent)
        painter.setCompositionMode(QPainter::CompositionMode_Source);
    // The window's units per face pixel.
    const double ratio = m_window.devicePixelRatioF();
    const double scale = FaceScale(ratio) / ratio;
    if (scale != 1.0) {
        // Scaled by a whole number on the screen, which repeats pixels without blending.
        painter.setClipRegion(region);
        painter.scale(scale, scale);
    }
    for (const QRect& under : ScaleRegion(region, 1.0 / scale)) {
        const QRect source = under & face;
        if (!source.isEmpty())
            painter.drawImage(source.topLeft(), picture(source));
    }
}

bool TFacePainter::PaintOnScreen(const QRegion& region, const QRect& face,
                                 const Picture& picture) const
{
    const double ratio = m_window.devicePixelRatioF();
    const int scale = FaceScale(ratio);
    const unsigned long window = m_window.winId();
    for (const QRect& under : ScaleRegion(region, ratio / scale)) {
        const QRect area = under & face;
        if (area.isEmpty())
            continue;
        const int rows =
            int(std::max<qint64>(1, BandBytes / (qint64(area.width()) * scale * scale * 4)));
        for (int y = area.top(); y <= area.bottom(); y += rows) {
            const QRect band(area.left(), y, area.width(), std::min(rows, area.bottom() + 1 - y));
            if (!X11PutPicture(window, RepeatPixels(picture(band), scale), band.topLeft() * scale))
                return false;
        }
    }
    return true;
}
