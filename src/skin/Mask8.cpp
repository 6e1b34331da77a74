#include "skin/Mask8.h"

Mask8::Mask8(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    m_width = width;
    m_height = height;
    m_bytes = std::make_shared<std::vector<std::uint8_t>>(std::size_t(width) * std::size_t(height), 0);
}

std::uint8_t* Mask8::Row(int y)
{
    if (m_bytes.use_count() > 1)
        m_bytes = std::make_shared<std::vector<std::uint8_t>>(*m_bytes);
    return m_bytes->data() + std::size_t(y) * std::size_t(m_width);
}

Mask8 MakeMask(const Bitmap24& image, SkinColor transparent)
{
    Mask8 mask(image.Width(), image.Height());
    const std::uint8_t blue = static_cast<std::uint8_t>(transparent >> 16);
    const std::uint8_t green = static_cast<std::uint8_t>(transparent >> 8);
    const std::uint8_t red = static_cast<std::uint8_t>(transparent);
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* in = image.Row(y);
        std::uint8_t* out = mask.Row(y);
        for (int x = 0; x < image.Width(); ++x, in += 3)
            out[x] = (in[0] == blue && in[1] == green && in[2] == red) ? 0 : 255;
    }
    return mask;
}
