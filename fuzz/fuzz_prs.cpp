// A ".prs" skin picture read from a file: PNG first, then BMP, as LoadSkinImage chooses.

#include "skin/SkinImage.h"
#include "support/DecodedPicture.h"
#include "support/FuzzApplication.h"
#include "support/FuzzInput.h"
#include "support/ScratchFolder.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = Scratch().Write(QStringLiteral("picture.prs"), FuzzBytes(data, size));
    Bitmap24 picture;
    LoadSkinImage(picture, path);
    CheckDecodedPicture(picture);
    return 0;
}
