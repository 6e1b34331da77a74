#pragma once

#include "core/PerfBlock.h"

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class PerfDataSource;

// The performance data block shared by every reader component: one per data source (the
// program has one), created with its first query on the first acquisition and freed when the
// last holder releases it. The buffer is kept between queries and only grows, so steady
// sampling does not allocate.
class TPerfData
{
public:
    static constexpr std::uint32_t InitialCapacity = 8192;
    static constexpr std::uint32_t GrowStep = 4096;
    static constexpr std::uint32_t PreviousHeaderSize = 88;
    // A source that keeps asking for more stops being asked here.
    static constexpr std::uint32_t MaxCapacity = 64u << 20;

    static TPerfData* Acquire(PerfDataSource& source);
    static void Release(TPerfData* data);
    static int References(const PerfDataSource& source);

    // Queries "Global" into the buffer, growing it while the source answers ErrorMoreData.
    // Answers the source's result; on failure the block is empty.
    long Query();

    PerfBlockView Block() const { return {m_buffer.data(), m_length}; }
    std::uint32_t Capacity() const { return static_cast<std::uint32_t>(m_buffer.size()); }
    const std::array<std::byte, PreviousHeaderSize>& PreviousHeader() const
    {
        return m_previousHeader;
    }
    const QString& ValueName() const { return m_valueName; }
    PerfDataSource& Source() const { return m_source; }

private:
    explicit TPerfData(PerfDataSource& source);

    PerfDataSource& m_source;
    QString m_valueName = QStringLiteral("Global");
    std::vector<std::byte> m_buffer;
    std::uint32_t m_length = 0;
    std::array<std::byte, PreviousHeaderSize> m_previousHeader{};
};

// A component's hold on the shared block, taken on first use and given back on destruction.
class PerfDataRef
{
public:
    explicit PerfDataRef(PerfDataSource& source) : m_source(source) {}
    ~PerfDataRef() { Reset(); }
    PerfDataRef(const PerfDataRef&) = delete;
    PerfDataRef& operator=(const PerfDataRef&) = delete;

    TPerfData& Get()
    {
        if (!m_data)
            m_data = TPerfData::Acquire(m_source);
        return *m_data;
    }
    bool Held() const { return m_data != nullptr; }
    void Reset()
    {
        if (m_data)
            TPerfData::Release(m_data);
        m_data = nullptr;
    }
    PerfDataSource& Source() const { return m_source; }

private:
    PerfDataSource& m_source;
    TPerfData* m_data = nullptr;
};
