#pragma once

#include <QString>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>

// libjpeg's decompressor, loaded at the first JPEG picture: the shipped skins are all PNG, and
// the library would otherwise be mapped into every run.
struct LibJpeg
{
    // Loaded once and kept; null when it cannot be, and then LoadError() says why.
    static const LibJpeg* Get();
    static QString LoadError();

    decltype(&jpeg_std_error) std_error;
    decltype(&jpeg_CreateDecompress) CreateDecompress;
    decltype(&jpeg_mem_src) mem_src;
    decltype(&jpeg_read_header) read_header;
    decltype(&jpeg_start_decompress) start_decompress;
    decltype(&jpeg_read_scanlines) read_scanlines;
    decltype(&jpeg_finish_decompress) finish_decompress;
    decltype(&jpeg_destroy_decompress) destroy_decompress;
};
