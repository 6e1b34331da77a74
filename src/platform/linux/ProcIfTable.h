#pragma once

#include "platform/IfTable.h"
#include "platform/linux/ProcStats.h"

// The interface table from /proc/net/dev; counters are cut to the table's 32-bit fields.
class ProcIfTable : public IfTable
{
public:
    explicit ProcIfTable(const QString& netDevPath = QStringLiteral("/proc/net/dev"));

    bool Load() override { return m_loaded = true; }
    void Unload() override { m_loaded = false; }
    std::uint32_t GetIfTable(IfLayout::MibIfTable* table, std::uint32_t& size,
                             bool sorted) override;

private:
    ProcFile m_netDev;
    std::vector<NetDevStats> m_interfaces;
    bool m_loaded = false;
};
