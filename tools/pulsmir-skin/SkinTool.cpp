#include "pulsmir-skin/SkinTool.h"

#include "Version.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileIni.h"
#include "platform/UserLocale.h"
#include "res/MRes.h"
#include "skin/SkinCatalogue.h"
#include "skin/SkinElements.h"
#include "skin/SkinImage.h"
#include "skin/SkinRenderer.h"
#include "skin/SkinSystem.h"
#include "skin/WindowShape.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <functional>
#include <map>
#include <optional>

namespace {

const char* const Usage =
    "usage: pulsmir-skin validate FILE.ini [--platform nt|9x]\n"
    "       pulsmir-skin info FILE.ini [--lang FILE.lng]\n"
    "       pulsmir-skin region FILE.ini --mode compact|full\n"
    "       pulsmir-skin render FILE.ini --mode compact|full -o OUT.png [--set NAME=VALUE]...\n"
    "                    [--history NAME=V0,V1,...]... [--frames N]\n";

using Setter = std::function<void(SkinRenderInputs&, qint64)>;

const std::map<QString, Setter>& InputSetters()
{
    static const std::map<QString, Setter> setters = {
        {"CpuUsage",
         [](SkinRenderInputs& in, qint64 v) {
             in.CpuUsage[0] = quint32(v);
         }},
        {"MemoryLoad",
         [](SkinRenderInputs& in, qint64 v) {
             in.MemoryLoad = int(v);
         }},
        {"SwapLoad",
         [](SkinRenderInputs& in, qint64 v) {
             in.SwapLoad = int(v);
         }},
        {"FreeResources",
         [](SkinRenderInputs& in, qint64 v) {
             in.FreeResources = int(v);
         }},
        {"IsNT",
         [](SkinRenderInputs& in, qint64 v) {
             in.IsNT = v != 0;
         }},
        {"DiskReadActive",
         [](SkinRenderInputs& in, qint64 v) {
             in.DiskReadActive = v != 0;
         }},
        {"DiskWriteActive",
         [](SkinRenderInputs& in, qint64 v) {
             in.DiskWriteActive = v != 0;
         }},
        {"DiskActive",
         [](SkinRenderInputs& in, qint64 v) {
             in.DiskActive = v != 0;
         }},
        {"NetXactActive",
         [](SkinRenderInputs& in, qint64 v) {
             in.NetXactActive = v != 0;
         }},
        {"NetRecvActive",
         [](SkinRenderInputs& in, qint64 v) {
             in.NetRecvActive = v != 0;
         }},
        {"NetSendActive",
         [](SkinRenderInputs& in, qint64 v) {
             in.NetSendActive = v != 0;
         }},
        {"NetActive",
         [](SkinRenderInputs& in, qint64 v) {
             in.NetActive = v != 0;
         }},
        {"PingLevel",
         [](SkinRenderInputs& in, qint64 v) {
             in.PingLevel = int(v);
         }},
        {"PingTime",
         [](SkinRenderInputs& in, qint64 v) {
             in.PingTime = int(v);
         }},
        {"Pinging",
         [](SkinRenderInputs& in, qint64 v) {
             in.Pinging = v != 0;
         }},
        {"DiskReadPos",
         [](SkinRenderInputs& in, qint64 v) {
             in.DiskReadPos = int(v);
         }},
        {"DiskWritePos",
         [](SkinRenderInputs& in, qint64 v) {
             in.DiskWritePos = int(v);
         }},
        {"NetRecvPos",
         [](SkinRenderInputs& in, qint64 v) {
             in.NetRecvPos = int(v);
         }},
        {"NetSendPos",
         [](SkinRenderInputs& in, qint64 v) {
             in.NetSendPos = int(v);
         }},
        {"CpuCount",
         [](SkinRenderInputs& in, qint64 v) {
             in.CpuCount = int(v);
         }},
        {"NTMultiCPU",
         [](SkinRenderInputs& in, qint64 v) {
             in.NTMultiCPU = v != 0;
         }},
        {"LinearOFF",
         [](SkinRenderInputs& in, qint64 v) {
             in.LinearOFF = v != 0;
         }},
        {"TempPos",
         [](SkinRenderInputs& in, qint64 v) {
             in.TempPos = int(v);
         }},
        {"Temperature",
         [](SkinRenderInputs& in, qint64 v) {
             in.Temperature = int(v);
         }},
        {"TempAlarm",
         [](SkinRenderInputs& in, qint64 v) {
             in.TempAlarm = v != 0;
         }},
        {"BatteryPercent",
         [](SkinRenderInputs& in, qint64 v) {
             in.BatteryPercent = int(v);
         }},
        {"BatteryCharging",
         [](SkinRenderInputs& in, qint64 v) {
             in.BatteryCharging = v != 0;
         }},
        {"DiskSpacePercent",
         [](SkinRenderInputs& in, qint64 v) {
             in.DiskSpacePercent = int(v);
         }},
        {"GpuLoad",
         [](SkinRenderInputs& in, qint64 v) {
             in.GpuLoad = int(v);
         }},
        {"GpuMemoryLoad",
         [](SkinRenderInputs& in, qint64 v) {
             in.GpuMemoryLoad = int(v);
         }},
        {"GpuTemperature",
         [](SkinRenderInputs& in, qint64 v) {
             in.GpuTemperature = int(v);
         }},
        {"GpuTempPos",
         [](SkinRenderInputs& in, qint64 v) {
             in.GpuTempPos = int(v);
         }},
        {"FanRpm",
         [](SkinRenderInputs& in, qint64 v) {
             in.FanRpm = int(v);
         }},
        {"FanPos",
         [](SkinRenderInputs& in, qint64 v) {
             in.FanPos = int(v);
         }},
    };
    return setters;
}

// The graph whose history a name stands for; CpuHistory takes a processor entry number
// ("CpuHistory0" is the average).
struct HistoryName
{
    const SkinElementRow* graph = nullptr;
    int cpuEntry = -1;
};

std::optional<HistoryName> ParseHistoryName(const QString& name)
{
    for (const SkinElementRow& row : SkinElements())
        if (row.Kind == SkinElementKind::Graph && row.Input != SkinInput::CpuHistory &&
            name == QLatin1String(SkinInputName(row.Input)))
            return HistoryName{&row, -1};
    const QString cpu = QString::fromLatin1(SkinInputName(SkinInput::CpuHistory));
    if (!name.startsWith(cpu))
        return std::nullopt;
    const SkinElementRow* graph = &SkinElementOf(SkinElementKind::Graph, GraphCPU);
    const QString number = name.mid(cpu.size());
    if (number.isEmpty())
        return HistoryName{graph, 0};
    bool ok = false;
    const int entry = number.toInt(&ok);
    // One history per processor entry; no machine of ours has more than this.
    if (!ok || entry < 0 || entry > 4096 || number.startsWith('+'))
        return std::nullopt;
    return HistoryName{graph, entry};
}

std::optional<qint64> ParseNumber(const QString& text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

std::optional<bool> ParseMode(const QCommandLineParser& parser, QTextStream& err)
{
    const QString mode = parser.value("mode");
    if (mode == "compact" || mode == "full")
        return mode == "full";
    err << "pulsmir-skin: --mode must be compact or full\n";
    return std::nullopt;
}

bool Load(TSkinSystem& skin, const QString& path, QTextStream& err)
{
    if (skin.LoadSkin(path))
        return true;
    err << "pulsmir-skin: " << path << ": file not found\n";
    return false;
}

int Validate(const QString& path, const QCommandLineParser& parser, QTextStream& out,
             QTextStream& err)
{
    const QString platformName = parser.isSet("platform") ? parser.value("platform") : "nt";
    if (platformName != "nt" && platformName != "9x") {
        err << "pulsmir-skin: --platform must be nt or 9x\n";
        return 2;
    }
    const SkinPlatform platform = platformName == "nt" ? SkinPlatform::NT : SkinPlatform::Win9x;
    if (auto fault = TSkinSystem::FindSkinFault(path, platform, SkinCheck::Pictures)) {
        out << *fault << "\n";
        return 1;
    }
    return 0;
}

// The language of the user's locale among the files, else English; empty when neither is there.
QString LocaleLanguage(const TMRes& texts)
{
    const QStringList languages = texts.ListLanguages();
    const QString wanted = (UserDefaultLcid() & 0xFF) == LangJapanese ? "JPN" : "ENG";
    for (const QString& code : {wanted, QStringLiteral("ENG")})
        for (const QString& description : languages)
            if (texts.CodeOfLanguage(description) == code)
                return description;
    return {};
}

int Info(const QString& path, const QCommandLineParser& parser, const QStringList& dataFolders,
         QTextStream& out, QTextStream& err)
{
    QStringList folders = dataFolders;
    QString description;
    if (parser.isSet("lang")) {
        const QFileInfo lang(parser.value("lang"));
        if (!lang.isFile()) {
            err << "pulsmir-skin: " << lang.filePath() << ": file not found\n";
            return 1;
        }
        folders = QStringList{lang.absolutePath()};
        description = ProfileIni(lang.filePath()).ReadString("Header", "DISCRIPTION");
    }
    TMRes texts(folders);
    if (description.isEmpty())
        description = LocaleLanguage(texts);
    if (!description.isEmpty())
        texts.OpenLanguage(description);
    TSkinSystem skin;
    if (!Load(skin, path, err))
        return 1;
    for (const QString& line : SkinInformationLines(skin, texts))
        out << line << "\n";
    return 0;
}

int Region(const QString& path, const QCommandLineParser& parser, QTextStream& out,
           QTextStream& err)
{
    const std::optional<bool> full = ParseMode(parser, err);
    if (!full)
        return 2;
    TSkinSystem skin;
    if (!Load(skin, path, err))
        return 1;
    const TSkinModeRecord& mode = skin.Mode(*full);
    for (const RegionRect& r : BuildSkinRegion(mode.Background, mode.BgMaskFlag, mode.BgMaskColor))
        out << r.X << ' ' << r.Y << ' ' << r.W << ' ' << r.H << "\n";
    return 0;
}

// Fills the inputs from --set and --history; false (with a message) for an unknown name or a
// value that is not a number where a number is meant.
bool FillInputs(const QCommandLineParser& parser, const TSkinSystem& skin, SkinRenderInputs& in,
                QTextStream& err)
{
    for (const QString& assignment : parser.values("set")) {
        const QString name = assignment.section('=', 0, 0);
        // A value shown only as text takes any string.
        if (const std::optional<SkinTextValue> text = SkinTextValueNamed(name);
            text && assignment.contains('=')) {
            in.Texts[std::size_t(*text)] = assignment.section('=', 1);
            continue;
        }
        const auto setter = InputSetters().find(name);
        const std::optional<qint64> value = ParseNumber(assignment.section('=', 1));
        if (setter == InputSetters().end() || !assignment.contains('=') || !value) {
            err << "pulsmir-skin: --set " << assignment << ": unknown input or bad value\n";
            return false;
        }
        setter->second(in, *value);
    }
    // Histories as the core keeps them: one per processor entry and one per graph, each as
    // long as its graph's depth, zeros where nothing was pushed yet.
    auto depth = [&](int graph) {
        return std::size_t(std::clamp(skin.Full.Graphs[graph].Deep, 1, 256));
    };
    const int cpuEntries = std::clamp(in.CpuCount, 0, 4096) + 1;
    in.CpuHistory.assign(std::size_t(cpuEntries), std::vector<int>(depth(GraphCPU), 0));
    for (const SkinElementRow& row : SkinElements())
        if (row.Kind == SkinElementKind::Graph && row.Input != SkinInput::CpuHistory)
            SkinInputHistory(in, row.Input).assign(depth(row.Index), 0);

    for (const QString& assignment : parser.values("history")) {
        const std::optional<HistoryName> name = ParseHistoryName(assignment.section('=', 0, 0));
        if (!name || !assignment.contains('=')) {
            err << "pulsmir-skin: --history " << assignment << ": unknown history\n";
            return false;
        }
        std::vector<int>* history = nullptr;
        if (name->cpuEntry < 0) {
            history = &SkinInputHistory(in, name->graph->Input);
        } else {
            if (std::size_t(name->cpuEntry) >= in.CpuHistory.size())
                in.CpuHistory.resize(std::size_t(name->cpuEntry) + 1,
                                     std::vector<int>(depth(GraphCPU), 0));
            history = &in.CpuHistory[std::size_t(name->cpuEntry)];
        }
        const QStringList values = assignment.section('=', 1).split(',', Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < values.size(); ++i) {
            const std::optional<qint64> value = ParseNumber(values[i]);
            if (!value) {
                err << "pulsmir-skin: --history " << assignment << ": bad value\n";
                return false;
            }
            if (std::size_t(i) < history->size())
                (*history)[std::size_t(i)] = int(std::clamp<qint64>(*value, 0, 100));
        }
    }
    in.CpuUsage.resize(std::size_t(cpuEntries), 0);
    return true;
}

int Render(const QString& path, const QCommandLineParser& parser, QTextStream& err)
{
    const std::optional<bool> full = ParseMode(parser, err);
    if (!full)
        return 2;
    if (!parser.isSet("o")) {
        err << "pulsmir-skin: render needs -o OUT.png\n";
        return 2;
    }
    int frames = 1;
    if (parser.isSet("frames")) {
        bool ok = false;
        frames = parser.value("frames").toInt(&ok);
        if (!ok || frames < 1 || frames > 100000) {
            err << "pulsmir-skin: --frames takes 1 to 100000\n";
            return 2;
        }
    }
    TSkinSystem skin;
    if (!Load(skin, path, err))
        return 1;
    SkinRenderInputs in;
    in.FullMode = *full;
    if (!FillInputs(parser, skin, in, err))
        return 2;
    const TSkinModeRecord& mode = skin.Mode(*full);
    if (mode.Background.IsEmpty()) {
        err << "pulsmir-skin: the " << (*full ? "full" : "compact") << " mode has no background\n";
        return 1;
    }
    Bitmap24 surface = mode.Background;
    TSkinRenderer renderer;
    for (int i = 0; i < frames; ++i)
        renderer.RenderSkin(skin, in, surface);
    try {
        WriteFileAtomically(parser.value("o"), EncodePng(surface));
    } catch (const EFileWriteError& error) {
        err << "pulsmir-skin: " << error.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int RunSkinTool(const QStringList& arguments, QTextStream& out, QTextStream& err,
                const QStringList& dataFolders)
{
    QCommandLineParser parser;
    parser.addOptions({
        {"platform", "nt or 9x", "platform"},
        {"lang", "language file", "file"},
        {"mode", "compact or full", "mode"},
        {"o", "output PNG", "file"},
        {"set", "renderer input", "name=value"},
        {"history", "history, newest first", "name=values"},
        {"frames", "frames to render", "n"},
        {"help", "show the usage"},
        {"version", "show the version"},
    });
    if (!parser.parse(QStringList{"pulsmir-skin"} + arguments)) {
        err << "pulsmir-skin: " << parser.errorText() << "\n" << Usage;
        return 2;
    }
    if (parser.isSet("help")) {
        out << Usage;
        return 0;
    }
    if (parser.isSet("version")) {
        out << "pulsmir-skin " << Version::Text << " (Build " << Version::Build << ")\n";
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2) {
        err << Usage;
        return 2;
    }
    const QString& command = positional[0];
    const QString& file = positional[1];
    if (command == "validate")
        return Validate(file, parser, out, err);
    if (command == "info")
        return Info(file, parser, dataFolders, out, err);
    if (command == "region")
        return Region(file, parser, out, err);
    if (command == "render")
        return Render(file, parser, err);
    err << "pulsmir-skin: unknown command " << command << "\n" << Usage;
    return 2;
}
