#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>

// Keeps another machine's counters running the way this machine's own do between two reads, so
// that the measurement core's differences stay right whatever the scrapes bring:
// - a counter that goes down was reset (the exporter or the machine restarted): the step counts
//   from 0, so its increase is the new value;
// - a series missing from a scrape is held where it was for that step (no increase, rather than
//   a dip now and a spike later), and when it comes back it carries on from there, without the
//   increase it made while unseen.
// A series is a device's counters together ("disk sda": reads, bytes read, ...), named by key.
class CounterContinuity
{
public:
    static constexpr std::size_t MaxCounters = 12;
    // A series unseen for this many scrapes is forgotten: the device is gone.
    static constexpr int HoldScrapes = 5;

    // Turns the counters of a series in this scrape into their continued values, in place.
    void Continue(std::string_view key, std::span<std::uint64_t> counters);
    // Ends the scrape: calls held(key, counters) with the held values of each series known from
    // an earlier scrape but missing from this one.
    void
    EndScrape(const std::function<void(std::string_view, std::span<const std::uint64_t>)>& held);

private:
    struct Series
    {
        std::array<std::uint64_t, MaxCounters> Raw{};
        std::array<std::uint64_t, MaxCounters> Continued{};
        std::size_t Count = 0;
        int Missed = 0; // scrapes since it was last seen; 0 when seen in this one
        bool Seen = false;
    };
    std::map<std::string, Series, std::less<>> m_series;
};
