#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <vector>

// A colour as the skin files and the renderer use it: blue * 65536 + green * 256 + red.
using SkinColor = std::uint32_t;

inline constexpr SkinColor MakeSkinColor(int red, int green, int blue)
{
    return static_cast<SkinColor>((blue & 0xFF) << 16 | (green & 0xFF) << 8 | (red & 0xFF));
}

// A 24-bit bitmap: rows of blue, green, red bytes, each row padded to four bytes, top row
// first. Every skin image, mask and the window surface is one, so the renderer can copy
// pixels by row pointer. An empty bitmap has no pixels and a size of 0 x 0.
class Bitmap24
{
public:
    // Refused above this, so a lying image header cannot make us allocate gigabytes; the sides
    // follow from it (a strip of frames is tall by nature).
    static constexpr std::int64_t MaxBytes = std::int64_t(256) << 20;

    Bitmap24() = default;
    // Filled with black. Throws std::length_error when the size is refused by Fits().
    Bitmap24(int width, int height);
    Bitmap24(const Bitmap24&) = default;
    Bitmap24& operator=(const Bitmap24&) = default;
    // A bitmap moved from is empty.
    Bitmap24(Bitmap24&& other) noexcept;
    Bitmap24& operator=(Bitmap24&& other) noexcept;

    static bool Fits(std::int64_t width, std::int64_t height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Stride() const { return m_stride; }
    bool IsEmpty() const { return m_width <= 0 || m_height <= 0; }
    std::int64_t ByteSize() const { return std::int64_t(m_stride) * m_height; }

    // Copies share their pixels until one of them is written to.
    std::uint8_t* Row(int y)
    {
        Detach();
        return m_pixels->data() + std::size_t(y) * std::size_t(m_stride);
    }
    const std::uint8_t* Row(int y) const
    {
        return m_pixels->data() + std::size_t(y) * std::size_t(m_stride);
    }
    // The same for bitmaps that share their pixels.
    const void* DataId() const { return m_pixels.get(); }

    SkinColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, SkinColor color);
    void Fill(SkinColor color);
    // Copies the rectangle; parts outside this bitmap come out black.
    Bitmap24 Copy(int x, int y, int width, int height) const;

    // A view of the pixels for painting, without a copy; valid while this bitmap lives and
    // keeps its size.
    QImage ImageView() const;
    // A deep copy of any QImage turned into 24 bits; alpha is dropped, not blended.
    static Bitmap24 FromImage(const QImage& image);

    bool operator==(const Bitmap24& other) const;

private:
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    void Detach();
    std::shared_ptr<std::vector<std::uint8_t>> m_pixels; // none while empty
};
