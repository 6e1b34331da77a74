#pragma once

#include <QFont>
#include <QString>

// Text laid out in columns with spaces (the skin information's labels end in a colon the
// language file pads to one column) lines up only in a font that draws every narrow character
// one column wide and every wide one (kana, kanji, full-width forms) exactly two. The system's
// fixed font does the first; for the second Qt borrows glyphs of another font at another width.

// Whether a character takes two columns in such a layout.
bool IsWideCharacter(char32_t character);

// `fixed` when the text has no wide characters or when no installed font keeps the two-column
// grid for all of them; otherwise the first installed family, at `fixed`'s size, that draws
// every character of the text on that grid.
QFont ColumnFontFor(const QString& text, const QFont& fixed);
