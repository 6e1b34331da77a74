#pragma once

#include "platform/MachineSource.h"
#include "platform/linux/ProcIfTable.h"
#include "platform/linux/ProcPerfDataSource.h"
#include "platform/linux/ProcSystemInfo.h"

// This machine's readers of what the measurement core shows: its performance data, system
// information and interface table, all from /proc.
class LocalMachine : public MachineSource
{
public:
    PerfDataSource& PerfSource() override { return m_perfSource; }
    SystemInfo& System() override { return m_systemInfo; }
    IfTable& Interfaces() override { return m_ifTable; }

private:
    ProcPerfDataSource m_perfSource;
    ProcSystemInfo m_systemInfo;
    ProcIfTable m_ifTable;
};
