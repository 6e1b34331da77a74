#include "platform/linux/ProcIfTable.h"

#include "platform/linux/MachineRecords.h"

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
    return MachineRecords::FillIfTable(m_interfaces, table, size);
}
