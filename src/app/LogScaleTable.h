#pragma once

#include <array>

// Maps a linear display position 0..100 to its logarithmic one: ceil(50 * log10(i + 1)),
// held to 0..100, so 0 -> 0, 1 -> 16, 4 -> 35 and 100 -> 100.
struct LogScaleEntry
{
    int input;
    int output;
};
using LogScaleTable = std::array<LogScaleEntry, 101>;

LogScaleTable BuildLogScaleTable();
