#pragma once

#include <QImage>
#include <QRegion>
#include <functional>

class QWidget;

// Paints the face into the main window from pictures of it, each face pixel a whole number of
// screen pixels square (FaceScale). Where the X server takes Qt's pixels as they are, they go
// straight to the X window a few rows at a time, and Qt keeps no backing store for the window
// (a 32-bit copy of all of it, beside the face the renderer keeps anyway); elsewhere, headless
// runs included, through QPainter.
class TFacePainter
{
public:
    // A 32-bit picture of an area of the face: QImage::Format_RGB32, or for a translucent
    // window Format_ARGB32_Premultiplied.
    using Picture = std::function<QImage(const QRect& faceArea)>;

    // Decides before the window's X window is made, which a window painted on screen must not
    // have a backing store for; the window's paintEngine() returns null when OnScreen().
    TFacePainter(QWidget& window, bool desktop);

    bool OnScreen() const { return m_onScreen; }
    // Paints this part of the window (in its units) from inside its paintEvent. A translucent
    // window takes the pictures' alpha as it is, not blended over what it showed. Should the
    // X server refuse a picture, the window paints through Qt from then on.
    void Paint(const QRegion& region, QSize faceSize, const Picture& picture, bool translucent);

private:
    bool PaintOnScreen(const QRegion& region, const QRect& face, const Picture& picture) const;

    QWidget& m_window;
    bool m_onScreen = false;
};
