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

namespace logscale_detail {

// The natural logarithm of a positive x, to the last bits of a double, for the compiler to
// work out: the table is made without the C library's logarithm, whose tables would otherwise
// take a few hundred kilobytes of the running program's memory for 101 numbers.
constexpr double NaturalLog(double x)
{
    // ln x = m ln 2 + ln y with y in [0.75, 1.5), then ln y = 2 atanh((y - 1) / (y + 1)).
    auto atanhSeries = [](double z) {
        double term = z;
        double sum = 0;
        for (int k = 1; k < 80; k += 2, term *= z * z)
            sum += term / k;
        return 2 * sum;
    };
    const double ln2 = atanhSeries(1.0 / 3.0);
    int m = 0;
    while (x >= 1.5) {
        x /= 2;
        ++m;
    }
    while (x < 0.75) {
        x *= 2;
        --m;
    }
    return m * ln2 + atanhSeries((x - 1) / (x + 1));
}

} // namespace logscale_detail

constexpr LogScaleTable BuildLogScaleTable()
{
    using logscale_detail::NaturalLog;
    LogScaleTable table{};
    const double ln10 = NaturalLog(10.0);
    for (int i = 0; i <= 100; ++i) {
        const double exact = 50.0 * NaturalLog(i + 1.0) / ln10;
        int output = int(exact);
        // Up, unless within rounding of a whole number (a power of ten).
        if (exact - output > 1e-9)
            ++output;
        table[static_cast<std::size_t>(i)] = {i, output < 0 ? 0 : output > 100 ? 100 : output};
    }
    return table;
}
