// One skin switch of the real main window (headless): pause, load the skin from disk, resize
// the histories, lay out the window and draw the first frame.
#include "app/MainForm.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
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

void CopyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo& entry :
         source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir())
            CopyTree(entry.filePath(), target);
        else
            QFile::copy(entry.filePath(), target);
    }
}

void BM_ChangeSkin(benchmark::State& state)
{
    QTemporaryDir home;
    CopyTree(QStringLiteral(PULSMIR_DATA_DIR), home.path());
    QFile settings(home.filePath(QStringLiteral("Pulsmir.ini")));
    settings.open(QIODevice::WriteOnly);
    settings.write(
        "[Pulsmir2]\r\nResourceName=English\r\nNoSplash=1\r\nSkinMode=1\r\nPingEnable=0\r\n"
        "Version=220\r\n");
    settings.close();

    SilentDialogs dialogs;
    AppPaths paths(home.path(), home.path());
    TMainPForm form(paths, dialogs, {QStringLiteral("pulsmir")}, TMainPForm::RunMode::Headless);
    form.FormCreate();
    form.StopTimers();
    const QString name = form.Settings().CurrentSkinName;
    if (name.isEmpty()) {
        state.SkipWithError("no skin in data/Skin");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(form.ChangeSkin(name));
}
BENCHMARK(BM_ChangeSkin)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
