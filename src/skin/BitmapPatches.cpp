#include "skin/BitmapPatches.h"

#include "skin/SkinDraw.h"

BitmapPatches::BitmapPatches(const Bitmap24& bitmap, const QRegion& region)
{
    const QRect whole(0, 0, bitmap.Width(), bitmap.Height());
    for (const QRect& r : region) {
        const QRect area = r & whole;
        if (!area.isEmpty())
            m_patches.push_back(
                {area, bitmap.Copy(area.x(), area.y(), area.width(), area.height())});
    }
    m_patches.shrink_to_fit();
}

void BitmapPatches::CopyTo(Bitmap24& target, const QRect& area) const
{
    for (const Patch& patch : m_patches) {
        const QRect part = patch.Area & area;
        if (!part.isEmpty())
            PlainCopy(patch.Pixels, part.x() - patch.Area.x(), part.y() - patch.Area.y(),
                      part.width(), part.height(), target, part.x(), part.y());
    }
}
