// The skin picture decoder for PNG: libpng with the program's limits and error handling.

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
    CheckDecodedPicture(DecodePng(FuzzBytes(data, size)));
    return 0;
}
