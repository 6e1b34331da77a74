// A performance data block given as bytes: walked by object, counter and instance the way the
// counter browser lists it, and sampled by the measurement core the way every tick does.

#include "core/PerfCore.h"
#include "core/PerfError.h"
#include "core/PerfObjects.h"
#include "doubles/FakeSystem.h"
#include "doubles/RecordingDialogs.h"
#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/RawPerfSource.h"

#include <algorithm>
#include <memory>

namespace {

std::unique_ptr<RawPerfSource> source;

// No walk needs more than this many steps to show what a block can do wrong.
constexpr int MaxSteps = 64;

void ListInstances(const QString& object)
{
    TPerfInstances instances(*source);
    try {
        instances.SetObjectName(object);
        const int count = std::min(instances.Count(), MaxSteps);
        for (int i = 0; i < count; ++i)
            instances.Names(i);
    } catch (const EPerfError&) {
    }
}

void ListCounters(const QString& object)
{
    TPerfCounters counters(*source);
    try {
        counters.SetObjectName(object);
        const int count = std::min(counters.Count(), MaxSteps);
        for (int c = 0; c < count; ++c)
            counters.Names(c);
    } catch (const EPerfError&) {
    }
}

void Browse()
{
    TPerfObjects objects(*source);
    const int count = std::min(objects.Count(), MaxSteps);
    for (int i = 0; i < count; ++i) {
        try {
            const QString name = objects.Names(i);
            ListCounters(name);
            ListInstances(name);
        } catch (const EPerfError&) {
        }
    }
}

void Sample()
{
    FakeSystemInfo system;
    RecordingDialogs dialogs;
    TPerfCore core({*source, system, dialogs}, TaggedLog());
    core.StartMonitor();
    for (int tick = 0; tick < 3; ++tick) {
        system.Tick += 1000;
        core.CollectSample();
    }
    FUZZ_CHECK(core.CpuUsage.size() == std::size_t(system.Processors) + 1,
               "the processor list changed its length");
    core.StopMonitor();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    source = std::make_unique<RawPerfSource>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    source->Block = FuzzBytes(data, size);
    Browse();
    Sample();
    FUZZ_CHECK(TPerfData::References(*source) == 0, "the shared block is still held");
    return 0;
}
