#pragma once

#include "skin/Bitmap24.h"
#include "skin/Mask8.h"

#include <QImage>
#include <QRect>
#include <QRegion>
#include <span>

// Keeps the image the window paints (32-bit, the format of the window's backing store, so
// painting is a plain copy) in step with the renderer's 24-bit surface. Only the pixels that
// changed since the last call are converted, looked for in blocks of 16 within the areas the
// renderer redrew, by comparing with the image itself; most frames change a needle or a
// lamp, not the whole face.
class SurfaceSync
{
public:
    // Looks at the whole surface; returns the changed rectangle, empty when nothing changed.
    QRect Sync(const Bitmap24& surface);
    // Looks only inside these areas; returns what changed there. A surface of a new size is
    // converted whole whatever the areas.
    QRegion Sync(const Bitmap24& surface, std::span<const QRect> areas);
    const QImage& Image() const { return m_image; }
    void Reset();

    // Pixels outside the outline become transparent, in an image with an alpha channel (so
    // still a plain copy into a translucent window's backing store): for a compositor that
    // blends the window but ignores its shape. An empty mask, or one of another size than the
    // surface: an opaque image, as without one.
    void SetOutline(Mask8 outline);
    bool HasOutline() const { return !m_outline.IsEmpty(); }

private:
    QRect SyncArea(const Bitmap24& surface, const QRect& area, bool fresh);

    QImage m_image;
    Mask8 m_outline;
};
