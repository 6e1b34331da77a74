#pragma once

#include "skin/Bitmap24.h"

#include <QRect>
#include <QRegion>
#include <vector>

// The pixels of a bitmap inside a region only: what the renderer needs of a background once
// the window's surface was made from it, where only the elements' places are ever drawn over
// and so ever need the background back. Copies share their pixels.
class BitmapPatches
{
public:
    BitmapPatches() = default;
    // The bitmap's pixels inside the region (cut to the bitmap).
    BitmapPatches(const Bitmap24& bitmap, const QRegion& region);

    // Copies what it holds of the area to the same place of the target, cut to the target.
    void CopyTo(Bitmap24& target, const QRect& area) const;

private:
    struct Patch
    {
        QRect Area;
        Bitmap24 Pixels;
    };
    std::vector<Patch> m_patches;
};
