#include "app/LogScaleTable.h"

#include <algorithm>
#include <cmath>

LogScaleTable BuildLogScaleTable()
{
    LogScaleTable table{};
    for (int i = 0; i <= 100; ++i) {
        const int output = static_cast<int>(std::ceil(50.0 * std::log10(i + 1.0)));
        table[static_cast<size_t>(i)] = {i, std::clamp(output, 0, 100)};
    }
    return table;
}
