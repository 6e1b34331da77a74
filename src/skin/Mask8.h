#pragma once

#include "skin/Bitmap24.h"

#include <cstdint>
#include <memory>
#include <vector>

// Where an image is opaque: one byte a pixel, 255 opaque and 0 transparent. The renderer tests
// one byte per pixel, so a mask needs no more. Copies share their bytes.
class Mask8
{
public:
    Mask8() = default;
    // All transparent.
    Mask8(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool IsEmpty() const { return m_width <= 0 || m_height <= 0; }
    std::int64_t ByteSize() const { return std::int64_t(m_width) * m_height; }

    const std::uint8_t* Row(int y) const { return m_bytes->data() + std::size_t(y) * std::size_t(m_width); }
    std::uint8_t* Row(int y);
    bool Opaque(int x, int y) const { return Row(y)[x] == 255; }
    // As a 24-bit mask would give it: white where opaque, black where not.
    SkinColor Pixel(int x, int y) const { return Opaque(x, y) ? 0xFFFFFFu : 0u; }

private:
    int m_width = 0;
    int m_height = 0;
    std::shared_ptr<std::vector<std::uint8_t>> m_bytes;
};

// Opaque wherever the image is not of the transparent colour.
Mask8 MakeMask(const Bitmap24& image, SkinColor transparent);
