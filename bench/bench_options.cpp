// The options dialog: from OptionVClick's start to the dialog on screen (built, captions set,
// filled from the settings, shown and painted), and the ApplySettings that follows OK (of a
// headless main window, plus the file-type check a desktop run adds).
#include "app/MainForm.h"
#include "platform/Dialogs.h"
#include "platform/XdgMimeAssociation.h"
#include "res/MRes.h"
#include "ui/OptionForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

class SilentDialogs : public Dialogs
{
protected:
    DialogAnswer Present(DialogType, const QString&, DialogButtons) override { return DialogAnswer::Ok; }
};

void BM_OptionDialogToScreen(benchmark::State& state)
{
    TMRes res(QStringLiteral(PULSMIR_DATA_DIR));
    res.OpenLanguage(QStringLiteral("English"));
    SilentDialogs dialogs;
    TSettings settings;
    settings.ResourceName = QStringLiteral("English");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TOptionContext context;
        context.ProgramFolder = QStringLiteral(PULSMIR_DATA_DIR);
        context.Res = &res;
        context.Languages = res.ListLanguages();
        context.NicList = QStringList({QStringLiteral("eth0"), QStringLiteral("lo")});
        TOptionForm dialog(std::move(context), dialogs);
        dialog.Load(settings);
        dialog.show();
        dialog.repaint();
        QCoreApplication::processEvents();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        dialog.hide();
    }
}
BENCHMARK(BM_OptionDialogToScreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// Headless leaves out the window, the autostart entry, the file type and the priority; with a
// display the main window is a desktop one, its desktop files in a scratch home.
void BM_ApplySettings(benchmark::State& state)
{
    QTemporaryDir home;
    const bool desktop = !qEnvironmentVariableIsEmpty("DISPLAY");
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("xdg-data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("xdg-config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    const QDir data(QStringLiteral(PULSMIR_DATA_DIR));
    for (const QString& file : data.entryList({QStringLiteral("*.lng")}, QDir::Files))
        QFile::copy(data.filePath(file), home.filePath(file));
    QFile settingsFile(home.filePath(QStringLiteral("Pulsmir.ini")));
    settingsFile.open(QIODevice::WriteOnly);
    settingsFile.write("[Pulsmir2]\r\nResourceName=English\r\nNoSplash=1\r\nPingEnable=0\r\nVersion=220\r\n");
    settingsFile.close();
    SilentDialogs dialogs;
    AppPaths paths(home.path(), home.path());
    TMainPForm form(paths, dialogs, {QStringLiteral("pulsmir")},
                    desktop ? TMainPForm::RunMode::Desktop : TMainPForm::RunMode::Headless);
    form.FormCreate();
    form.StopTimers();
    for (auto _ : state)
        form.ApplySettings();
    state.SetLabel(desktop ? "desktop window" : "headless");
}
BENCHMARK(BM_ApplySettings)->Unit(benchmark::kMicrosecond);

void BM_FileTypeUnchanged(benchmark::State& state)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    const AddinAssociation association{QStringLiteral("/usr/bin/pulsmir"), {}, {}};
    XdgMimeAssociation::Register(association);
    for (auto _ : state)
        XdgMimeAssociation::Register(association);
}
BENCHMARK(BM_FileTypeUnchanged)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
