#pragma once

#include "platform/linux/ProcIfTable.h"
#include "platform/linux/ProcPerfDataSource.h"
#include "platform/linux/ProcSystemInfo.h"

// This machine's readers of what the measurement core shows: its performance data, system
// information and interface table, all from /proc. One value, so the window holds its source
// of figures as one member.
struct LocalMachine
{
    ProcPerfDataSource PerfSource;
    ProcSystemInfo SystemInfo;
    ProcIfTable IfTable;
};
