#include "platform/linux/ProcIfTable.h"

#include <cstring>

using namespace IfLayout;

ProcIfTable::ProcIfTable(const QString& netDevPath) : m_netDev(netDevPath)
{
    m_interfaces.reserve(64);
}

std::uint32_t ProcIfTable::GetIfTable(MibIfTable* table, std::uint32_t& size, bool /*sorted*/)
{
    // Rows come in the file's order, which is the kernel's index order.
    if (!m_loaded || !m_netDev.Read())
        return ErrorInvalidParameter;
    ParseNetDev(m_netDev.Text(), m_interfaces);
    const std::uint32_t needed = TableSize(static_cast<std::uint32_t>(m_interfaces.size()));
    if (!table || size < needed) {
        size = needed;
        return ErrorInsufficientBuffer;
    }
    std::memset(table, 0, needed);
    table->dwNumEntries = static_cast<std::uint32_t>(m_interfaces.size());
    for (size_t i = 0; i < m_interfaces.size(); ++i) {
        const NetDevStats& nic = m_interfaces[i];
        MibIfRow& row = table->table[i];
        const size_t nameLength = std::strlen(nic.Name);
        for (size_t c = 0; c < nameLength; ++c)
            row.wszName[c] = static_cast<unsigned char>(nic.Name[c]);
        std::memcpy(row.bDescr, nic.Name, nameLength);
        row.dwDescrLen = static_cast<std::uint32_t>(nameLength);
        row.dwIndex = static_cast<std::uint32_t>(i + 1);
        row.dwType = std::strcmp(nic.Name, "lo") == 0 ? 24 : 6; // loopback or ethernet
        row.dwAdminStatus = 1;
        row.dwOperStatus = 1;
        row.dwInOctets = static_cast<std::uint32_t>(nic.RxBytes);
        row.dwInUcastPkts = static_cast<std::uint32_t>(nic.RxPackets - nic.RxMulticast);
        row.dwInNUcastPkts = static_cast<std::uint32_t>(nic.RxMulticast);
        row.dwInDiscards = static_cast<std::uint32_t>(nic.RxDrop);
        row.dwInErrors = static_cast<std::uint32_t>(nic.RxErrors);
        row.dwOutOctets = static_cast<std::uint32_t>(nic.TxBytes);
        row.dwOutUcastPkts = static_cast<std::uint32_t>(nic.TxPackets);
        row.dwOutDiscards = static_cast<std::uint32_t>(nic.TxDrop);
        row.dwOutErrors = static_cast<std::uint32_t>(nic.TxErrors);
    }
    size = needed;
    return NoError;
}
