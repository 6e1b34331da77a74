#include "core/PerfData.h"

#include "platform/PerfDataSource.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct Shared
{
    PerfDataSource* source;
    TPerfData* data;
    int references;
};

std::vector<Shared>& SharedBlocks()
{
    static std::vector<Shared> blocks;
    return blocks;
}

std::vector<Shared>::iterator Find(const PerfDataSource& source)
{
    auto& blocks = SharedBlocks();
    return std::find_if(blocks.begin(), blocks.end(),
                        [&](const Shared& s) { return s.source == &source; });
}

} // namespace

TPerfData::TPerfData(PerfDataSource& source) : m_source(source)
{
    m_buffer.resize(InitialCapacity);
}

TPerfData* TPerfData::Acquire(PerfDataSource& source)
{
    auto it = Find(source);
    if (it != SharedBlocks().end()) {
        ++it->references;
        return it->data;
    }
    // Shared only once its first query is through: a reader that throws leaves nothing behind
    // that nobody holds.
    std::unique_ptr<TPerfData> data(new TPerfData(source));
    data->Query();
    SharedBlocks().push_back({&source, data.get(), 1});
    return data.release();
}

void TPerfData::Release(TPerfData* data)
{
    if (!data)
        return;
    auto it = Find(data->m_source);
    if (it == SharedBlocks().end() || it->data != data)
        return;
    if (--it->references < 1) {
        delete it->data;
        SharedBlocks().erase(it);
    }
}

int TPerfData::References(const PerfDataSource& source)
{
    auto it = Find(source);
    return it == SharedBlocks().end() ? 0 : it->references;
}

long TPerfData::Query()
{
    std::memcpy(m_previousHeader.data(), m_buffer.data(),
                std::min<size_t>(PreviousHeaderSize, m_buffer.size()));
    for (;;) {
        std::uint32_t size = Capacity();
        const long result = m_source.Query(m_valueName, m_buffer.data(), size);
        if (result == PerfLayout::ErrorMoreData && Capacity() < MaxCapacity) {
            m_buffer.resize(m_buffer.size() + GrowStep);
            continue;
        }
        m_length = result == PerfLayout::ErrorSuccess ? std::min(size, Capacity()) : 0;
        return result;
    }
}
