#include "app/HeadlessRun.h"

#include "app/CommandLine.h"
#include "app/MainForm.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"
#include "skin/SkinImage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The first status waits this long at most for the busiest processes, which take two reads a
// second apart: a read that never returns costs the run this once.
constexpr int ProcessWaitMs = 2 * TProcessSampler::IntervalMs + 500;

// Nobody is there to answer: every box goes to stderr and takes its affirmative answer.
class StderrDialogs : public Dialogs
{
protected:
    DialogAnswer Present(DialogType, const QString& text, DialogButtons buttons) override
    {
        QString line = text;
        line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        std::fprintf(stderr, "pulsmir: %s\n", qUtf8Printable(line));
        return buttons == DialogButtons::YesNo || buttons == DialogButtons::YesNoCancel
                   ? DialogAnswer::Yes
                   : DialogAnswer::Ok;
    }
};

int PositiveOption(const QCommandLineParser& parser, const QString& name, int fallback, bool& ok)
{
    if (!parser.isSet(name))
        return fallback;
    const int value = parser.value(name).toInt(&ok);
    ok = ok && value > 0;
    if (!ok)
        std::fprintf(stderr, "pulsmir: --%s takes a whole number above 0\n", qUtf8Printable(name));
    return value;
}

} // namespace

bool IsHeadlessRequest(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--status") == 0 || std::strcmp(argv[i], "--snapshot") == 0)
            return true;
    return false;
}

int RunHeadless(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.addOption({QStringLiteral("status"), QStringLiteral("Print the status snapshot.")});
    parser.addOption({QStringLiteral("snapshot"), QStringLiteral("Write the face to a PNG."),
                      QStringLiteral("OUT.png")});
    parser.addOption(
        {QStringLiteral("count"), QStringLiteral("Snapshots to print."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("interval"), QStringLiteral("Time between snapshots."),
                      QStringLiteral("MS")});
    parser.addOption({QStringLiteral("ticks"), QStringLiteral("Ticks before the picture."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("source"),
                      QStringLiteral("Another machine's node_exporter address."),
                      QStringLiteral("URL")});
    parser.addOption(
        {QStringLiteral("mode"), QStringLiteral("compact or full."), QStringLiteral("MODE")});
    parser.addOption({QStringLiteral("instance"),
                      QStringLiteral("The named instance whose settings to take."),
                      QStringLiteral("NAME")});
    if (!parser.parse(app.arguments())) {
        std::fprintf(stderr, "pulsmir: %s\n", qUtf8Printable(parser.errorText()));
        return 2;
    }
    bool ok = true;
    const int count = PositiveOption(parser, QStringLiteral("count"), 1, ok);
    const int ticks = PositiveOption(parser, QStringLiteral("ticks"), 10, ok);
    const int interval = PositiveOption(parser, QStringLiteral("interval"), 1000, ok);
    const QString mode = parser.value(QStringLiteral("mode"));
    if (!mode.isEmpty() && mode != QLatin1String("compact") && mode != QLatin1String("full")) {
        std::fputs("pulsmir: --mode is compact or full\n", stderr);
        ok = false;
    }
    QStringList arguments = parser.positionalArguments();
    arguments.prepend(app.arguments().first());
    if (parser.isSet(QStringLiteral("instance"))) {
        arguments << QStringLiteral("--instance") << parser.value(QStringLiteral("instance"));
        if (const QString error = InstanceFromArguments(arguments).error; !error.isEmpty()) {
            std::fprintf(stderr, "pulsmir: %s\n", qUtf8Printable(error));
            ok = false;
        }
    }
    if (!ok)
        return 2;

    const AppPaths paths = AppPaths::FromEnvironment(QCoreApplication::applicationDirPath(),
                                                     QStringLiteral(PULSMIR_INSTALL_DATADIR));
    StderrDialogs dialogs;
    TMainPForm form(paths, dialogs, arguments, TMainPForm::RunMode::Headless);
    form.SetSource(parser.value(QStringLiteral("source")));
    if (!form.FormCreate())
        return 1;
    form.StopTimers();
    if (parser.isSet(QStringLiteral("status")))
        form.Processes().Start();
    if (!mode.isEmpty())
        form.SetFullMode(mode == QLatin1String("full"));

    const auto tick = [&] {
        QThread::msleep(static_cast<unsigned long>(form.MainTimerInterval()));
        QCoreApplication::processEvents();
        form.MainTimerTimer();
    };

    if (parser.isSet(QStringLiteral("snapshot"))) {
        for (int i = 0; i < ticks; ++i)
            tick();
        if (form.FaceImg().IsEmpty()) {
            std::fputs("pulsmir: no skin is loaded, so there is no face to write\n", stderr);
            return 1;
        }
        // Where the window is cut out, the picture is transparent too.
        const TSkinModeRecord& shown = form.ShownSkinMode();
        const Mask8 outline =
            shown.BgMaskFlag ? MakeMask(shown.Background, shown.BgMaskColor) : Mask8();
        try {
            WriteFileAtomically(parser.value(QStringLiteral("snapshot")),
                                EncodePng(form.FaceImg(), outline));
        } catch (const EFileWriteError& e) {
            std::fprintf(stderr, "pulsmir: %s\n", e.what());
            return 1;
        }
        return 0;
    }

    // The monitor samples at its own rate; the snapshot is printed at the asked one, the first
    // once two samples have given the rates something to compare.
    QElapsedTimer clock;
    clock.start();
    qint64 nextTick = form.MainTimerInterval();
    qint64 nextPrint = std::max<qint64>(interval, 2 * nextTick);
    for (int printed = 0; printed < count;) {
        const qint64 wait = std::min(nextTick, nextPrint) - clock.elapsed();
        if (wait > 0)
            QThread::msleep(static_cast<unsigned long>(wait));
        QCoreApplication::processEvents();
        if (clock.elapsed() >= nextTick) {
            form.MainTimerTimer();
            nextTick = clock.elapsed() + form.MainTimerInterval();
        }
        if (clock.elapsed() >= nextPrint) {
            form.Processes().WaitForSample(ProcessWaitMs);
            QString text = BuildStatusSnapshot(form.CurrentStatus(), QLocale::c());
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            std::printf("%s\n\n", qUtf8Printable(text));
            std::fflush(stdout);
            nextPrint += interval;
            ++printed;
        }
    }
    return 0;
}
