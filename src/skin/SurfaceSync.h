#pragma once

#include "skin/Bitmap24.h"

#include <QImage>
#include <QRect>

// Keeps the image the window paints (32-bit, the format of the window's backing store, so
// painting is a plain copy) in step with the renderer's 24-bit surface. Only the rows and
// columns that changed since the last call are converted; most frames change a needle or a
// lamp, not the whole face.
class SurfaceSync
{
public:
    // Returns the changed rectangle, empty when the frame is the same as the last one.
    QRect Sync(const Bitmap24& surface);
    const QImage& Image() const { return m_image; }
    void Reset();

private:
    Bitmap24 m_shown;
    QImage m_image;
};
