#pragma once

#include "platform/IfTable.h"
#include "platform/PerfDataSource.h"
#include "platform/SystemInfo.h"

#include <QString>
#include <QStringList>
#include <memory>

class GpuSource;
class SensorSource;

// Where a window's figures come from: the readers the measurement core reads, all answered
// synchronously on the window thread. This machine's, or another's through its exporter; the
// core and everything above it do not know which.
class MachineSource
{
public:
    virtual ~MachineSource() = default;

    virtual PerfDataSource& PerfSource() = 0;
    virtual SystemInfo& System() = 0;
    virtual IfTable& Interfaces() = 0;
    // Readers of its sensors and graphics cards for the sensor sampler's thread; no cards where
    // they cannot be read.
    virtual std::unique_ptr<SensorSource> MakeSensors() = 0;
    virtual std::unique_ptr<GpuSource> MakeGpus() = 0;

    // The machine's name when it is another one; empty for this machine.
    virtual QString RemoteName() const { return {}; }
    // Why the figures are missing ("connection lost (timed out)"); empty while they come.
    virtual QString Failure() const { return {}; }
    // The inputs whose queries matched nothing in the server's last answers, by their names in
    // the address ("cpu", "memory", ...): their figures are missing.
    virtual QStringList InputsWithoutData() const { return {}; }
    // Whether the server answers but none of its queries has data: no figures at all.
    virtual bool NoInputHasData() const { return false; }
};
