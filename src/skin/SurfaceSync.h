#pragma once

#include "skin/Bitmap24.h"
#include "skin/Mask8.h"

#include <QImage>
#include <QRect>
#include <QRegion>
#include <cstdint>
#include <span>
#include <vector>

// Tells which parts of the renderer's surface changed since the window last took it, looked
// for in blocks of 16 pixels of a row within the areas the renderer redrew: most frames
// change a needle or a lamp, not the whole face, and the renderer redraws more than changes.
// An opaque window paints the surface itself, so only a fingerprint of each block is kept
// (a twentieth of a copy). A window with an outline paints a 32-bit copy whose cut-outs are
// transparent, kept here and compared pixel by pixel.
class SurfaceSync
{
public:
    // Looks at the whole surface; returns the changed rectangle, empty when nothing changed.
    QRect Sync(const Bitmap24& surface);
    // Looks only inside these areas; returns what changed there. A surface of a new size is
    // taken whole whatever the areas.
    QRegion Sync(const Bitmap24& surface, std::span<const QRect> areas);
    // What the window paints of this area of the surface, in 32 bits (the format of the
    // window's backing store, so painting is a plain copy): the surface's own pixels turned
    // into 32 bits or, with an outline, the kept copy, as of the last Sync. The area lies
    // within the surface.
    QImage Picture(const Bitmap24& surface, const QRect& area) const;
    // Whether the last Sync took a surface of this size.
    bool InStepWith(const Bitmap24& surface) const;
    void Reset();

    // Pixels outside the outline become transparent, in an image with an alpha channel (so
    // still a plain copy into a translucent window's backing store): for a compositor that
    // blends the window but ignores its shape. An empty mask, or one of another size than the
    // surface: an opaque picture, as without one.
    void SetOutline(Mask8 outline);
    bool HasOutline() const { return !m_outline.IsEmpty(); }

private:
    static constexpr int Block = 16;
    QRect SyncArea(const Bitmap24& surface, const QRect& area, bool fresh);
    bool SyncBlock(const Bitmap24& surface, int x, int y, int n, bool fresh);

    int m_width = 0;
    int m_height = 0;
    bool m_outlined = false;
    // Without an outline: one fingerprint per block, rows after one another.
    std::vector<std::uint64_t> m_prints;
    // With one: the picture.
    QImage m_image;
    Mask8 m_outline;
};
