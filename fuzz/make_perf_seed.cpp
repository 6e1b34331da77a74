// Writes seed blocks for fuzz_perf_block: this program's own block of the fixture machine in
// tests/fixtures/proc, and a small one with an object without instances whose fraction counter
// is followed by its base. Usage: pulsmir-perf-seed OUTPUT_FOLDER

#include "platform/PerfBlockWriter.h"
#include "platform/linux/MachineRecords.h"
#include "platform/linux/ProcPerfDataSource.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <vector>

namespace {

using namespace PerfLayout;

bool Save(const QString& path, const std::vector<std::byte>& block, std::uint32_t length)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(reinterpret_cast<const char*>(block.data()), length) == qint64(length);
}

bool FixtureMachine(const QString& path)
{
    const QString proc = QStringLiteral(PULSMIR_SOURCE_DIR "/tests/fixtures/proc/");
    ProcPerfDataSource source(proc + "stat", proc + "diskstats", proc + "net_dev", QString());
    std::vector<std::byte> block(1 << 20);
    std::uint32_t size = static_cast<std::uint32_t>(block.size());
    return source.Query(QStringLiteral("Global"), block.data(), size) == ErrorSuccess &&
           Save(path, block, size);
}

bool ObjectWithoutInstances(const QString& path)
{
    std::vector<std::byte> block(4096);
    PerfBlockWriter writer(block.data(), static_cast<std::uint32_t>(block.size()));
    writer.BeginBlock({2026, 12, 2, 8, 12, 0, 0, 0}, 0, 10000000, 0, u"SEED");
    writer.BeginObject(MachineRecords::ProcessorIndex, MachineRecords::ProcessorIndex + 1,
                       false);
    const int time = writer.AddCounter(MachineRecords::ProcessorTimeIndex, 7,
                                       Counter100NsTimerInv);
    const int fraction = writer.AddCounter(14, 15, CounterRawFraction);
    const int base = writer.AddCounter(16, 17, CounterRawBase);
    writer.BeginObjectData();
    writer.SetCounter(time, 5000);
    writer.SetCounter(fraction, 30);
    writer.SetCounter(base, 120);
    writer.EndObject();
    const std::uint32_t length = writer.EndBlock();
    return writer.Fits() && Save(path, block, length);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pulsmir-perf-seed OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path()) || !FixtureMachine(out.filePath("fixture_machine.blk")) ||
        !ObjectWithoutInstances(out.filePath("object_without_instances.blk"))) {
        std::fprintf(stderr, "pulsmir-perf-seed: cannot write the seeds\n");
        return 1;
    }
    return 0;
}
