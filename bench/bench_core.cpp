// One sample of the measurement core on this machine's /proc, and the block build alone.
// Heap allocations are counted by replacing the global operator new in this binary.
#include "core/PerfCore.h"
#include "core/PerfData.h"
#include "platform/Dialogs.h"
#include "platform/linux/ProcPerfDataSource.h"
#include "platform/linux/ProcSystemInfo.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::size_t g_allocations = 0;

} // namespace

void* operator new(std::size_t size)
{
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++g_allocations;
    return std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

class SilentDialogs : public Dialogs
{
protected:
    DialogAnswer Present(DialogType, const QString&, DialogButtons) override
    {
        return DialogAnswer::No;
    }
};

void BM_CollectSample(benchmark::State& state)
{
    g_allocations = 0;
    ProcPerfDataSource source;
    ProcSystemInfo system;
    SilentDialogs dialogs;
    TPerfCore core({source, system, dialogs}, TaggedLog());
    if (!core.StartMonitor()) {
        state.SkipWithError("core did not start");
        return;
    }
    for (int i = 0; i < 10; ++i) // past the first samples that create the value records
        core.CollectSample();
    // The start and the first samples allocate (monitor, records); this shows the count works.
    state.counters["allocs/start"] = benchmark::Counter(double(g_allocations));
    const std::size_t before = g_allocations;
    for (auto _ : state) {
        benchmark::DoNotOptimize(core.CollectSample());
        benchmark::DoNotOptimize(core.DiskReadBytes);
    }
    state.counters["allocs/sample"] =
        benchmark::Counter(double(g_allocations - before) / double(state.iterations()));
}
BENCHMARK(BM_CollectSample)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_BuildBlock(benchmark::State& state)
{
    ProcPerfDataSource source;
    std::vector<std::byte> buffer(TPerfData::InitialCapacity * 8);
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    source.Query(QStringLiteral("Global"), buffer.data(), size);
    const QString global = QStringLiteral("Global");
    const std::size_t before = g_allocations;
    for (auto _ : state) {
        size = static_cast<std::uint32_t>(buffer.size());
        benchmark::DoNotOptimize(source.Query(global, buffer.data(), size));
    }
    state.counters["allocs/build"] =
        benchmark::Counter(double(g_allocations - before) / double(state.iterations()));
    state.counters["bytes"] = size;
}
BENCHMARK(BM_BuildBlock)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
