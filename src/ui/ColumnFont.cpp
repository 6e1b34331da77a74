#include "ui/ColumnFont.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

QSet<char32_t> CharactersOf(const QString& text)
{
    QSet<char32_t> characters;
    for (const char32_t character : text.toUcs4())
        if (character != U'\n' && character != U'\r')
            characters.insert(character);
    return characters;
}

bool KeepsGrid(const QFont& font, const QSet<char32_t>& characters)
{
    const QFontMetricsF metrics(font);
    const qreal column = metrics.horizontalAdvance(QLatin1Char('M'));
    if (column <= 0)
        return false;
    for (const char32_t character : characters) {
        if (!metrics.inFontUcs4(character))
            return false;
        const qreal advance = metrics.horizontalAdvance(QString::fromUcs4(&character, 1));
        const qreal expected = IsWideCharacter(character) ? 2 * column : column;
        if (std::abs(advance - expected) > 0.01)
            return false;
    }
    return true;
}

} // namespace

bool IsWideCharacter(char32_t character)
{
    // CJK radicals up to the Hangul syllables, the compatibility ideographs and forms, the
    // full-width forms (not the half-width katakana after them) and the supplementary
    // ideographic planes.
    return (character >= 0x2E80 && character <= 0xA4CF) ||
           (character >= 0xAC00 && character <= 0xD7A3) ||
           (character >= 0xF900 && character <= 0xFAFF) ||
           (character >= 0xFE30 && character <= 0xFE4F) ||
           (character >= 0xFF00 && character <= 0xFF60) ||
           (character >= 0xFFE0 && character <= 0xFFE6) ||
           (character >= 0x20000 && character <= 0x3FFFD);
}

QFont ColumnFontFor(const QString& text, const QFont& fixed)
{
    const QSet<char32_t> characters = CharactersOf(text);
    const bool anyWide = std::any_of(characters.cbegin(), characters.cend(), IsWideCharacter);
    if (!anyWide)
        return fixed;
    for (const QString& family : QFontDatabase::families()) {
        QFont candidate = fixed;
        candidate.setFamilies({family});
        // No borrowing from other fonts: the grid must hold in this one.
        candidate.setStyleStrategy(QFont::NoFontMerging);
        if (KeepsGrid(candidate, characters)) {
            candidate.setStyleStrategy(fixed.styleStrategy());
            return candidate;
        }
    }
    return fixed;
}
