#pragma once

#include <cstdint>
#include <vector>

// A history of 1 to 256 display values, newest first, each clamped to 0..100.
class TPerfHistory
{
public:
    static constexpr int MaxCount = 256;

    explicit TPerfHistory(int count = 32) { Resize(count); }

    std::vector<std::int32_t> Data;
    std::int32_t Max = 0;
    std::int32_t Min = 0;
    int Count() const { return static_cast<int>(Data.size()); }

    void Clear();
    void Push(std::int64_t value);
    void Resize(int count); // ignored outside 1..256
    std::int32_t Get(int index) const;
};
