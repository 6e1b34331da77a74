#pragma once

#include "platform/PerfDataLayout.h"
#include "platform/PerfDataSource.h"
#include "platform/linux/ProcPerfDataSource.h"

#include <QByteArray>
#include <cstring>

// A performance data source that answers every query with the same bytes, as a damaged or
// hostile provider might; the title tables are this machine's, so the usual object and counter
// names find their indexes.
class RawPerfSource : public PerfDataSource
{
public:
    QByteArray Block;

    long Query(const QString&, std::byte* buffer, std::uint32_t& size) override
    {
        const auto length = static_cast<std::uint32_t>(Block.size());
        if (length > size) {
            size = length;
            return PerfLayout::ErrorMoreData;
        }
        std::memcpy(buffer, Block.constData(), length);
        size = length;
        return PerfLayout::ErrorSuccess;
    }
    QStringList PerflibLocales() override { return m_titles.PerflibLocales(); }
    std::optional<QByteArray> TitleTable(const QString& locale, const QString& valueName) override
    {
        return m_titles.TitleTable(locale, valueName);
    }
    std::vector<PerfServiceInfo> Services() override { return {}; }
    bool SetCountersDisabled(const QString&, std::uint32_t) override { return false; }

private:
    ProcPerfDataSource m_titles;
};
