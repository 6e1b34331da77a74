#include "skin/SkinTypeface.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <vector>

struct SkinTypeface::Library
{
    FT_Library Lib = nullptr;
    FT_Face Face = nullptr;
    int Size = 0; // the pixel size set last

    ~Library()
    {
        if (Face)
            FT_Done_Face(Face);
        if (Lib)
            FT_Done_FreeType(Lib);
    }
};

namespace {

constexpr FT_Int32 LoadFlags = FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;

constexpr char32_t Ellipsis = 0x2026;

int Pixels(FT_Pos pos26_6)
{
    return int((pos26_6 + 32) >> 6);
}

} // namespace

std::shared_ptr<const SkinTypeface> SkinTypeface::FromBytes(const QByteArray& bytes)
{
    std::shared_ptr<SkinTypeface> font(new SkinTypeface);
    font->m_bytes = bytes;
    font->m_library = std::make_unique<Library>();
    Library& lib = *font->m_library;
    if (bytes.isEmpty() || FT_Init_FreeType(&lib.Lib) != 0 ||
        FT_New_Memory_Face(lib.Lib, reinterpret_cast<const FT_Byte*>(font->m_bytes.constData()),
                           FT_Long(font->m_bytes.size()), 0, &lib.Face) != 0)
        return nullptr;
    // Only an outline font scales to every size a skin may ask for.
    if (!FT_IS_SCALABLE(lib.Face) || FT_Select_Charmap(lib.Face, FT_ENCODING_UNICODE) != 0 ||
        !font->SetSize(12))
        return nullptr;
    return font;
}

SkinTypeface::~SkinTypeface() = default;

bool SkinTypeface::SetSize(int size) const
{
    size = std::clamp(size, MinSize, MaxSize);
    if (m_library->Size == size)
        return true;
    if (FT_Set_Pixel_Sizes(m_library->Face, 0, FT_UInt(size)) != 0)
        return false;
    m_library->Size = size;
    return true;
}

int SkinTypeface::Ascent(int size) const
{
    return SetSize(size) ? Pixels(m_library->Face->size->metrics.ascender) : 0;
}

int SkinTypeface::Descent(int size) const
{
    return SetSize(size) ? -Pixels(m_library->Face->size->metrics.descender) : 0;
}

int SkinTypeface::Width(const QString& text, int size) const
{
    if (!SetSize(size))
        return 0;
    FT_Pos pen = 0;
    for (char32_t c : text.toUcs4()) {
        FT_Face face = m_library->Face;
        if (FT_Load_Char(face, c, LoadFlags) == 0)
            pen += face->glyph->advance.x;
    }
    return Pixels(pen);
}

QString SkinTypeface::Elided(const QString& text, int size, int width) const
{
    if (!SetSize(size))
        return text;
    const QList<uint> chars = text.toUcs4();
    std::vector<FT_Pos> advances;
    advances.reserve(std::size_t(chars.size()));
    FT_Pos total = 0;
    for (char32_t c : chars) {
        FT_Face face = m_library->Face;
        advances.push_back(FT_Load_Char(face, c, LoadFlags) == 0 ? face->glyph->advance.x : 0);
        total += advances.back();
    }
    if (Pixels(total) <= width)
        return text;
    const QString mark = FT_Get_Char_Index(m_library->Face, Ellipsis) != 0
                             ? QString::fromUcs4(&Ellipsis, 1)
                             : QStringLiteral("...");
    const FT_Pos room = FT_Pos(width) * 64 - FT_Pos(Width(mark, size)) * 64;
    // The longest start of the text that leaves room for the mark.
    qsizetype kept = 0;
    for (FT_Pos pen = 0; kept < chars.size() && pen + advances[std::size_t(kept)] <= room; ++kept)
        pen += advances[std::size_t(kept)];
    if (room < 0)
        return {};
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), kept) + mark;
}

void SkinTypeface::Draw(const QString& text, int size, SkinColor color, int x, int baseline,
                        QRect clip, Bitmap24& surface) const
{
    if (clip.isEmpty() || !SetSize(size))
        return;
    const int ink[3] = {int(color >> 16 & 0xFF), int(color >> 8 & 0xFF), int(color & 0xFF)};
    FT_Face face = m_library->Face;
    FT_Pos pen = FT_Pos(x) * 64;
    for (char32_t c : text.toUcs4()) {
        if (FT_Load_Char(face, c, LoadFlags) != 0)
            continue;
        const FT_GlyphSlot slot = face->glyph;
        const std::int64_t left = Pixels(pen) + std::int64_t(slot->bitmap_left);
        pen += slot->advance.x;
        if (left > clip.right() || FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
            continue;
        const FT_Bitmap& b = slot->bitmap;
        if (b.pixel_mode != FT_PIXEL_MODE_GRAY)
            continue;
        const std::int64_t top = std::int64_t(baseline) - slot->bitmap_top;
        const std::int64_t y0 = std::max<std::int64_t>(top, clip.top());
        const std::int64_t y1 = std::min<std::int64_t>(top + b.rows - 1, clip.bottom());
        const std::int64_t x0 = std::max<std::int64_t>(left, clip.left());
        const std::int64_t x1 = std::min<std::int64_t>(left + b.width - 1, clip.right());
        for (std::int64_t y = y0; y <= y1; ++y) {
            const unsigned char* coverage = b.buffer + (y - top) * b.pitch;
            std::uint8_t* row = surface.Row(int(y));
            for (std::int64_t px = x0; px <= x1; ++px) {
                const int a = coverage[px - left];
                if (a == 0)
                    continue;
                std::uint8_t* p = row + px * 3;
                for (int k = 0; k < 3; ++k)
                    p[k] = std::uint8_t(p[k] + ((ink[k] - p[k]) * a + (ink[k] >= p[k] ? 127 : -127)) / 255);
            }
        }
    }
}
