#include "remote/CounterContinuity.h"

#include <algorithm>

void CounterContinuity::Continue(std::string_view key, std::span<std::uint64_t> counters)
{
    const std::size_t count = std::min(counters.size(), MaxCounters);
    auto found = m_series.find(key);
    if (found == m_series.end()) {
        Series& series = m_series.emplace(std::string(key), Series()).first->second;
        std::copy_n(counters.begin(), count, series.Raw.begin());
        std::copy_n(counters.begin(), count, series.Continued.begin());
        series.Count = count;
        series.Seen = true;
        return;
    }
    Series& series = found->second;
    const bool afterGap = series.Missed > 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t raw = counters[i];
        // After a gap it carries on from where it was held.
        if (i >= series.Count)
            series.Continued[i] = raw;
        else if (!afterGap)
            series.Continued[i] += raw < series.Raw[i] ? raw : raw - series.Raw[i];
        series.Raw[i] = raw;
        counters[i] = series.Continued[i];
    }
    series.Count = std::max(series.Count, count);
    series.Missed = 0;
    series.Seen = true;
}

void CounterContinuity::EndScrape(
    const std::function<void(std::string_view, std::span<const std::uint64_t>)>& held)
{
    for (auto it = m_series.begin(); it != m_series.end();) {
        Series& series = it->second;
        if (series.Seen) {
            series.Seen = false;
            ++it;
        } else if (++series.Missed > HoldScrapes) {
            it = m_series.erase(it);
        } else {
            held(it->first, std::span<const std::uint64_t>(series.Continued.data(), series.Count));
            ++it;
        }
    }
}
