// Loading plus saving the settings file, as start-up and shutdown do it.
#include "app/SettingsFile.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "res/MRes.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

class SilentDialogs : public Dialogs
{
protected:
    DialogAnswer Present(DialogType, const QString&, DialogButtons) override
    {
        return DialogAnswer::Ok;
    }
};

void BM_LoadAndSaveSettings(benchmark::State& state)
{
    QTemporaryDir dir;
    AppPaths paths(dir.path(), dir.path());
    SilentDialogs dialogs;
    TMRes res(dir.path());
    TSettingsFile file(paths, -1);
    file.Save(TSettings()); // a full file, as after the first exit
    for (auto _ : state) {
        TSettings settings = file.Load(dialogs, res, nullptr);
        file.Save(settings);
        benchmark::DoNotOptimize(settings);
    }
}
BENCHMARK(BM_LoadAndSaveSettings)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
