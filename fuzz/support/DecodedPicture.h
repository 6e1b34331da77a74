#pragma once

#include "skin/Bitmap24.h"
#include "skin/SkinImage.h"
#include "support/FuzzCheck.h"

#include <cstdint>

// What every decoder must hand back: nothing, or a bitmap within the picture limits whose every
// row can be read, and which survives being written as PNG and read again.
inline void CheckDecodedPicture(const Bitmap24& picture)
{
    if (picture.IsEmpty()) {
        FUZZ_CHECK(picture.Width() == 0 && picture.Height() == 0, "an empty bitmap has a size");
        return;
    }
    FUZZ_CHECK(PictureFits(picture.Width(), picture.Height()), "a picture over the limits");
    unsigned sum = 0;
    for (int y = 0; y < picture.Height(); ++y)
        sum += picture.Row(y)[picture.Width() * 3 - 1];
    (void)sum;
    // Large pictures are left out of the round trip, which would only cost time.
    if (picture.ByteSize() <= (std::int64_t(1) << 20))
        FUZZ_CHECK(DecodePng(EncodePng(picture)) == picture, "a picture changes through PNG");
}
