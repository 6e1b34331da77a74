// Letting the pictures of the mode not shown go, and bringing them back.
#include "skin/SkinSystem.h"

void TSkinSystem::ReleasePictures(bool fullMode)
{
    TSkinModeRecord& mode = fullMode ? Full : Compact;
    mode.Background = Bitmap24();
    mode.BackgroundUnderElements = BitmapPatches();
    for (TSkinElement& meter : mode.Meters)
        meter.Strip = DeltaStrip();
    for (TSkinElement& lamp : mode.Lamps)
        lamp.Strip = DeltaStrip();
    mode.Font.Glyphs = {};
    mode.Font.GlyphMasks = {};
    m_released[fullMode ? 1 : 0] = true;
}

void TSkinSystem::ReleaseBackground(bool fullMode, const QRegion& underElements)
{
    TSkinModeRecord& mode = fullMode ? Full : Compact;
    if (mode.Background.IsEmpty())
        return;
    mode.BackgroundUnderElements = BitmapPatches(mode.Background, underElements);
    mode.Background = Bitmap24();
    mode.BackgroundReleased = true;
}

bool TSkinSystem::ReloadForMode(bool fullMode)
{
    if (HasPictures(fullMode))
        return true;
    TSkinSystem fresh(m_log);
    fresh.ImageBudget = ImageBudget;
    fresh.MaxWindowSize = MaxWindowSize;
    if (m_path.isEmpty() || !fresh.LoadSkin(m_path) || !fresh.Mode(fullMode).Enable)
        return false;
    fresh.ReleasePictures(!fullMode);
    *this = std::move(fresh);
    return true;
}
