#pragma once

#include "skin/Bitmap24.h"
#include "skin/SkinModel.h"

#include <QRect>
#include <QString>
#include <optional>
#include <variant>

// The text elements of skins: their formats and their drawing.

// A value as a text element shows it: a number or a string.
using SkinTextInput = std::variant<double, QString>;

// Formats a value by a skin's format: text, "%%" for a percent sign, and at most one
// conversion "%[-][0][width][.precision]X" where X is d or i (the number rounded), f (the
// number with precision decimals, 6 unless given) or s (a string, or the number as d shows
// it). Width is at most 64, precision at most 9. None when the format is not of that form or
// converts a string as a number. The skin's text is never handed to printf.
std::optional<QString> FormatSkinText(const QString& format, const SkinTextInput& value);

// The pixels a text element may touch: its box, cut to the surface.
QRect SkinTextArea(const TSkinText& text, QSize surface);

// Draws the line in the element's box: cut with an ellipsis when it is wider, aligned as the
// element says, centred from top to bottom; nothing outside the box.
void DrawSkinText(const TSkinText& text, const QString& line, Bitmap24& surface);
