#include "skin/Bitmap24.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

bool Bitmap24::Fits(std::int64_t width, std::int64_t height)
{
    if (width <= 0 || height <= 0)
        return false;
    return ((width * 3 + 3) & ~std::int64_t(3)) * height <= MaxBytes;
}

Bitmap24::Bitmap24(int width, int height)
{
    if (width == 0 || height == 0)
        return;
    if (!Fits(width, height))
        throw std::length_error("Bitmap size out of range");
    m_width = width;
    m_height = height;
    m_stride = (width * 3 + 3) & ~3;
    m_pixels = std::make_shared<std::vector<std::uint8_t>>(std::size_t(m_stride) * std::size_t(height), 0);
}

Bitmap24::Bitmap24(Bitmap24&& other) noexcept
    : m_width(std::exchange(other.m_width, 0)), m_height(std::exchange(other.m_height, 0)),
      m_stride(std::exchange(other.m_stride, 0)), m_pixels(std::move(other.m_pixels))
{
}

Bitmap24& Bitmap24::operator=(Bitmap24&& other) noexcept
{
    if (this != &other) {
        m_width = std::exchange(other.m_width, 0);
        m_height = std::exchange(other.m_height, 0);
        m_stride = std::exchange(other.m_stride, 0);
        m_pixels = std::move(other.m_pixels);
    }
    return *this;
}

void Bitmap24::Detach()
{
    if (m_pixels && m_pixels.use_count() > 1)
        m_pixels = std::make_shared<std::vector<std::uint8_t>>(*m_pixels);
}

SkinColor Bitmap24::Pixel(int x, int y) const
{
    const std::uint8_t* p = Row(y) + x * 3;
    return MakeSkinColor(p[2], p[1], p[0]);
}

void Bitmap24::SetPixel(int x, int y, SkinColor color)
{
    std::uint8_t* p = Row(y) + x * 3;
    p[0] = static_cast<std::uint8_t>(color >> 16);
    p[1] = static_cast<std::uint8_t>(color >> 8);
    p[2] = static_cast<std::uint8_t>(color);
}

void Bitmap24::Fill(SkinColor color)
{
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            SetPixel(x, y, color);
}

Bitmap24 Bitmap24::Copy(int x, int y, int width, int height) const
{
    Bitmap24 result(width, height);
    for (int row = 0; row < height; ++row) {
        std::int64_t sy = std::int64_t(y) + row;
        if (sy < 0 || sy >= m_height)
            continue;
        std::int64_t from = std::max<std::int64_t>(x, 0);
        std::int64_t to = std::min<std::int64_t>(std::int64_t(x) + width, m_width);
        if (from >= to)
            continue;
        std::memcpy(result.Row(row) + (from - x) * 3, Row(int(sy)) + from * 3,
                    std::size_t(to - from) * 3);
    }
    return result;
}

QImage Bitmap24::ImageView() const
{
    if (IsEmpty())
        return QImage();
    return QImage(m_pixels->data(), m_width, m_height, m_stride, QImage::Format_BGR888);
}

Bitmap24 Bitmap24::FromImage(const QImage& image)
{
    if (image.isNull() || !Fits(image.width(), image.height()))
        return Bitmap24();
    QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    Bitmap24 result(bgr.width(), bgr.height());
    for (int y = 0; y < result.Height(); ++y)
        std::memcpy(result.Row(y), bgr.constScanLine(y), std::size_t(result.Width()) * 3);
    return result;
}

bool Bitmap24::operator==(const Bitmap24& other) const
{
    if (m_width != other.m_width || m_height != other.m_height)
        return false;
    for (int y = 0; y < m_height; ++y)
        if (std::memcmp(Row(y), other.Row(y), std::size_t(m_width) * 3) != 0)
            return false;
    return true;
}
