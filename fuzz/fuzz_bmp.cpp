// The skin picture decoder for BMP: Qt's reader behind the program's size check.

#include "skin/SkinImage.h"
#include "support/DecodedPicture.h"
#include "support/FuzzApplication.h"
#include "support/FuzzInput.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckDecodedPicture(DecodeBmp(FuzzBytes(data, size)));
    return 0;
}
