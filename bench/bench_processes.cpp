// The busiest processes' cost: one sample (every process's stat file read, the shares against
// the sample before, the five busiest named), as the sampler takes it once a second, so the
// time of one iteration is its cost per second of showing them. On a tree of 500 processes in
// tmpfs, laid out as /proc is, and on this machine's own /proc.
#include "core/ProcessShares.h"
#include "platform/linux/ProcProcesses.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

void Sample(benchmark::State& state, ProcProcesses& source)
{
    TProcessShares shares;
    shares.Next(source, 5);
    std::size_t shown = 0;
    for (auto _ : state) {
        const auto busiest = shares.Next(source, 5);
        shown = busiest ? busiest->size() : 0;
        benchmark::DoNotOptimize(busiest);
    }
    state.counters["shown"] = double(shown);
}

void BM_ProcessSampleFixture(benchmark::State& state)
{
    QTemporaryDir proc(QStringLiteral("/dev/shm/pulsmir-bench-XXXXXX"));
    bool written = proc.isValid() &&
                   WriteFile(proc.filePath("stat"), "cpu  100 0 50 800 10 0 0 0 0 0\n"
                                                    "cpu0 50 0 25 400 5 0 0 0 0 0\n"
                                                    "cpu1 50 0 25 400 5 0 0 0 0 0\n");
    for (int pid = 1; written && pid <= state.range(0); ++pid)
        written = WriteFile(proc.filePath(QStringLiteral("%1/stat").arg(pid)),
                            QStringLiteral("%1 (worker-%1) S 1 1 1 0 -1 4194560 100 0 0 0 %2 %3 "
                                           "0 0 20 0 1 0 %4 1000 200 18446744073709551615 0 0 "
                                           "0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0\n")
                                .arg(pid)
                                .arg(pid * 7)
                                .arg(pid * 3)
                                .arg(pid + 1000)
                                .toUtf8());
    if (!written) {
        state.SkipWithError("cannot write the process tree into /dev/shm");
        return;
    }
    ProcProcesses source(proc.path());
    Sample(state, source);
}
BENCHMARK(BM_ProcessSampleFixture)->Arg(500)->Unit(benchmark::kMicrosecond);

void BM_ProcessSampleThisMachine(benchmark::State& state)
{
    ProcProcesses source;
    Sample(state, source);
    ProcessSnapshot snapshot;
    source.Read(snapshot);
    state.counters["processes"] = double(snapshot.Processes.size());
}
BENCHMARK(BM_ProcessSampleThisMachine)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
