#pragma once

#include "platform/MachineSource.h"
#include "platform/linux/ProcIfTable.h"
#include "platform/linux/ProcPerfDataSource.h"
#include "platform/linux/ProcSystemInfo.h"
#include "platform/linux/SysfsGpus.h"
#include "platform/linux/SysfsSensors.h"

// This machine's readers of what the measurement core shows: its performance data, system
// information and interface table, all from /proc; and of its sensors and cards, from /sys.
class LocalMachine : public MachineSource
{
public:
    PerfDataSource& PerfSource() override { return m_perfSource; }
    SystemInfo& System() override { return m_systemInfo; }
    IfTable& Interfaces() override { return m_ifTable; }
    std::unique_ptr<SensorSource> MakeSensors() override
    {
        return std::make_unique<SysfsSensors>(SensorRoots::FromEnvironment());
    }
    std::unique_ptr<GpuSource> MakeGpus() override
    {
        return std::make_unique<SysfsGpus>(GpuRoots::FromEnvironment());
    }

private:
    ProcPerfDataSource m_perfSource;
    ProcSystemInfo m_systemInfo;
    ProcIfTable m_ifTable;
};
