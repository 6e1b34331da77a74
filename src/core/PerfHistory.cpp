#include "core/PerfHistory.h"

#include <algorithm>

void TPerfHistory::Clear()
{
    std::fill(Data.begin(), Data.end(), 0);
    Max = 0;
    Min = 0;
}

void TPerfHistory::Push(std::int64_t value)
{
    const auto v = static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, 100));
    if (Count() < 2) {
        Max = 0;
        Min = 0;
        return;
    }
    std::move_backward(Data.begin(), Data.end() - 1, Data.end());
    Data[0] = v;
    const auto [low, high] = std::minmax_element(Data.begin(), Data.end());
    Min = *low;
    Max = *high;
}

void TPerfHistory::Resize(int count)
{
    if (count < 1 || count > MaxCount)
        return;
    Data.resize(static_cast<size_t>(count), 0);
}

std::int32_t TPerfHistory::Get(int index) const
{
    return index >= 0 && index < Count() ? Data[static_cast<size_t>(index)] : 0;
}
