#include "pulsmir-skin/SkinTool.h"
#include "skin/SkinImage.h"
#include "skin/SkinSystem.h"
#include "skin/WindowShape.h"
#include "unit/skin/SkinTestFiles.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <set>

// The skins shipped in data/Skin: each must load and validate, its elements must sit on its
// window, and its renders at fixed inputs must equal the frames under
// tests/fixtures/skin/shipped. After a deliberate change of the art, run pulsmir-artgen into
// data/ and then PULSMIR_UPDATE_GOLDEN=1 build/bin/test_skin --gtest_filter='ShippedSkins*'
// to write the frames anew; look at them before committing.

namespace {

const QString SkinFolder = QStringLiteral(PULSMIR_DATA_DIR) + "/Skin/";
const QString Expected = QStringLiteral(PULSMIR_FIXTURES_DIR) + "/skin/shipped/";

struct ShippedSkin
{
    const char* file;
    bool compact;
    bool full;
};

const ShippedSkin Shipped[] = {
    {"AnalogMeter2", true, true},
    {"FlatDigital", true, true},
    {"MiniStrip", true, false},
    {"SensorDeck", true, true},
    {"MachineDeck", true, true},
};

struct Scene
{
    const char* name;
    QStringList inputs;
};

const Scene Scenes[] = {
    {"idle", {}},
    {"busy",
     {"--set",
      "CpuUsage=47",
      "--set",
      "MemoryLoad=63",
      "--set",
      "SwapLoad=12",
      "--set",
      "PingLevel=3",
      "--set",
      "PingTime=24",
      "--set",
      "DiskReadActive=1",
      "--set",
      "DiskActive=1",
      "--set",
      "NetRecvActive=1",
      "--set",
      "NetActive=1",
      "--set",
      "DiskReadPos=30",
      "--set",
      "DiskWritePos=75",
      "--set",
      "NetRecvPos=50",
      "--set",
      "NetSendPos=10",
      "--set",
      "LinearOFF=1",
      "--history",
      "CpuHistory0=40,45,60,80,70,55,50,30,20,25,30,50,60,75,90,85,70,40,30,20,15,10,12,20,35,"
      "50,60,50,40,35,30,28,30,33,38,45,52,60,58,50",
      "--history",
      "MemHistory=60,61,61,62,63,63,62,60,58,57,57,58,59,60,60,61,61,60,59,58",
      "--history",
      "SwapHistory=12,12,12,13,14,14,14,13,12,12,12,11,11,11",
      "--history",
      "DiskReadHistory=0,10,80,40,0,0,5,60,90,30,0,0,0,20,0,0,45",
      "--history",
      "DiskWriteHistory=50,20,0,0,0,70,100,30,0,10,0,0,15",
      "--history",
      "NetRecvHistory=5,10,30,50,40,60,70,50,30,20,10,5,5,10,20,35,45,40,30",
      "--history",
      "NetSendHistory=2,5,10,8,4,20,30,10,5,2,1,1,3,6",
      "--set",
      "TempPos=45",
      "--set",
      "Temperature=62",
      "--set",
      "BatteryPercent=73",
      "--set",
      "BatteryCharging=1",
      "--set",
      "DiskSpacePercent=58",
      "--history",
      "TempHistory=45,44,46,50,55,61,58,52,47,44,43,42,44,48",
      "--history",
      "BatteryHistory=73,72,72,71,71,70,70,69,69,68",
      "--set",
      "GpuLoad=81",
      "--set",
      "GpuMemoryLoad=45",
      "--set",
      "GpuTemperature=66",
      "--set",
      "GpuTempPos=51",
      "--set",
      "FanRpm=1850",
      "--set",
      "FanPos=37",
      "--history",
      "GpuHistory=10,20,40,80,60,30,50,70,75,60",
      "--set",
      "host=workstation",
      "--set",
      "gpu.name=AMD Radeon RX 6600",
      "--set",
      "proc1.name=firefox",
      "--set",
      "proc1.share=23.4 %",
      "--set",
      "proc2.name=cc1plus",
      "--set",
      "proc2.share=12.0 %"}},
    // Meters still moving: three frames from 0 at the skins' own speeds.
    {"peak", {"--set",    "CpuUsage=100",
              "--set",    "MemoryLoad=100",
              "--set",    "SwapLoad=100",
              "--set",    "PingLevel=0",
              "--set",    "PingTime=888888",
              "--set",    "Pinging=1",
              "--set",    "DiskReadActive=1",
              "--set",    "DiskWriteActive=1",
              "--set",    "DiskActive=1",
              "--set",    "NetRecvActive=1",
              "--set",    "NetSendActive=1",
              "--set",    "NetActive=1",
              "--set",    "DiskReadPos=100",
              "--set",    "DiskWritePos=100",
              "--set",    "NetRecvPos=100",
              "--set",    "NetSendPos=100",
              "--set",    "TempPos=100",
              "--set",    "Temperature=104",
              "--set",    "TempAlarm=1",
              "--set",    "BatteryPercent=100",
              "--set",    "DiskSpacePercent=100",
              "--frames", "3"}},
};

QString IniPath(const ShippedSkin& skin)
{
    return SkinFolder + skin.file + ".ini";
}

Bitmap24 ReadPng(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? DecodePng(file.readAll()) : Bitmap24();
}

int RunTool(const QStringList& arguments, QString& err)
{
    QString out;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    return RunSkinTool(arguments, outStream, errStream);
}

// Whether every pixel of the rectangle lies inside the window's outline.
bool InsideWindow(const TSkinModeRecord& mode, int x, int y, int w, int h)
{
    const Bitmap24& bg = mode.Background;
    if (x < 0 || y < 0 || x + w > bg.Width() || y + h > bg.Height())
        return false;
    if (!mode.BgMaskFlag)
        return true;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            if (bg.Pixel(i, j) == mode.BgMaskColor)
                return false;
    return true;
}

void CheckElementsOnWindow(const TSkinModeRecord& mode, const char* modeName)
{
    for (const TSkinElement& e : mode.Meters) {
        if (e.Enabled) {
            EXPECT_TRUE(InsideWindow(mode, e.X, e.Y, e.Width, e.FrameHeight))
                << modeName << " meter at " << e.X << "," << e.Y;
        }
    }
    for (const TSkinElement& e : mode.Lamps) {
        if (e.Enabled) {
            EXPECT_TRUE(InsideWindow(mode, e.X, e.Y, e.Width, e.FrameHeight))
                << modeName << " lamp at " << e.X << "," << e.Y;
        }
    }
    for (const TSkinReadout& r : mode.Readouts)
        if (r.Enabled) {
            ASSERT_TRUE(mode.Font.Enabled) << modeName;
            EXPECT_TRUE(
                InsideWindow(mode, r.X, r.Y, r.B * mode.Font.GlyphWidth, mode.Font.GlyphHeight))
                << modeName << " read-out at " << r.X << "," << r.Y;
        }
    for (const TSkinGraph& g : mode.Graphs) {
        if (g.Enabled) {
            EXPECT_TRUE(InsideWindow(mode, g.X, g.Y, g.W, g.H))
                << modeName << " graph at " << g.X << "," << g.Y;
        }
    }
}

} // namespace

TEST(ShippedSkins, TheSkinFolderHoldsExactlyTheShippedSkins)
{
    const QStringList found = QDir(SkinFolder).entryList({"*.ini"}, QDir::Files, QDir::Name);
    QStringList expected;
    for (const ShippedSkin& skin : Shipped)
        expected << QString(skin.file) + ".ini";
    expected.sort();
    EXPECT_EQ(found, expected);
}

TEST(ShippedSkins, EachValidatesOnBothPlatformsAndHasItsModes)
{
    std::set<QString> names;
    for (const ShippedSkin& shipped : Shipped) {
        for (SkinPlatform platform : {SkinPlatform::NT, SkinPlatform::Win9x}) {
            const auto fault = TSkinSystem::FindSkinFault(IniPath(shipped), platform);
            EXPECT_FALSE(fault.has_value())
                << shipped.file << ": " << qPrintable(fault.value_or(QString()));
        }
        TSkinSystem skin;
        ASSERT_TRUE(skin.LoadSkin(IniPath(shipped)));
        EXPECT_EQ(skin.Compact.Enable, shipped.compact) << shipped.file;
        EXPECT_EQ(skin.Full.Enable, shipped.full) << shipped.file;
        EXPECT_TRUE(names.insert(skin.SkinName).second)
            << "two skins named " << qPrintable(skin.SkinName);
        EXPECT_EQ(skin.SkinSystem.left(1), "C") << shipped.file;
        if (shipped.compact)
            CheckElementsOnWindow(skin.Compact, shipped.file);
        if (shipped.full)
            CheckElementsOnWindow(skin.Full, shipped.file);
    }
}

TEST(ShippedSkins, WindowOutlinesAreExactlyTheMasksRuns)
{
    // The window takes the banded outline; it must cover the same pixels as the runs.
    QStringList files;
    for (const ShippedSkin& shipped : Shipped)
        files << IniPath(shipped);
    files << QStringLiteral(PULSMIR_FIXTURES_DIR) + "/skin/Golden.ini";
    for (const QString& file : files) {
        TSkinSystem skin;
        ASSERT_TRUE(skin.LoadSkin(file));
        for (const TSkinModeRecord* mode : {&skin.Compact, &skin.Full}) {
            if (mode->Background.IsEmpty())
                continue;
            const WindowOutline outline =
                BuildWindowOutline(mode->Background, mode->BgMaskFlag, mode->BgMaskColor);
            const std::vector<RegionRect> runs =
                BuildSkinRegion(mode->Background, mode->BgMaskFlag, mode->BgMaskColor);
            EXPECT_EQ(outline.Cell, 1) << qPrintable(file);
            EXPECT_LE(outline.Rects.size(), runs.size()) << qPrintable(file);
            EXPECT_TRUE((ToRegion(outline.Rects) ^ ToRegion(runs)).isEmpty()) << qPrintable(file);
        }
    }
}

QString MeterFile(SkinMeter m)
{
    return m == MeterCPU ? "cpu.png" : m == MeterMEM ? "mem.png" : "swp.png";
}

TEST(ShippedSkins, TheDefaultSkinHasEverythingTheDisplayCanShow)
{
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(SkinFolder + "AnalogMeter2.ini"));
    // The name the settings file starts with.
    EXPECT_EQ(skin.SkinName, "System Analog Meter II(for2.2)");
    EXPECT_EQ(skin.SkinSystem, "C2");
    EXPECT_TRUE(skin.Win9x && skin.WinNT);
    EXPECT_TRUE(QFile::exists(SkinFolder + "AnalogMeter2/banner.png"));
    for (const TSkinModeRecord* mode : {&skin.Compact, &skin.Full}) {
        for (SkinMeter m : {MeterCPU, MeterMEM, SkinMeter(MeterSWP)}) {
            EXPECT_TRUE(mode->Meters[m].Enabled);
            EXPECT_GE(mode->Meters[m].Frames, 51);
            // Every frame is a whole picture: no rows left over at the bottom.
            const QString file = SkinFolder + "AnalogMeter2/" +
                                 (mode == &skin.Compact ? "s_" : "l_") + MeterFile(m);
            Bitmap24 picture;
            LoadSkinImage(picture, file);
            EXPECT_EQ(picture.Height(), mode->Meters[m].Frames * mode->Meters[m].FrameHeight)
                << file.toStdString();
        }
        for (SkinReadoutIndex r : {ReadoutCPU, ReadoutMEM, ReadoutSWP, ReadoutPNG})
            EXPECT_TRUE(mode->Readouts[r].Enabled);
        for (SkinLamp l :
             {LampDR, LampDW, LampDRW, LampNIn, LampNOut, LampNIO, LampPNG, LampPNGING})
            EXPECT_TRUE(mode->Lamps[l].Enabled) << l;
        EXPECT_EQ(mode->Lamps[LampPNG].Strip.Frames(), 4);
        EXPECT_TRUE(mode->Font.Enabled);
        EXPECT_TRUE(mode->BgMaskFlag);
    }
    // The compact window is not a rectangle, and it floats.
    const auto region =
        BuildSkinRegion(skin.Compact.Background, skin.Compact.BgMaskFlag, skin.Compact.BgMaskColor);
    ASSERT_FALSE(region.empty());
    EXPECT_NE(region.front().W, skin.Compact.Background.Width());
    EXPECT_TRUE(skin.Compact.FloatSW);
    EXPECT_LT(skin.Compact.FloatPosX, -skin.Compact.Background.Width());

    for (SkinMeter m : {MeterDRM, MeterDWM, MeterNInM, MeterNOutM})
        EXPECT_TRUE(skin.Full.Meters[m].Enabled) << m;
    std::set<int> types;
    std::set<SkinColor> colours;
    for (int i = GraphCPU; i <= GraphNetO; ++i) {
        const TSkinGraph& g = skin.Full.Graphs[i];
        EXPECT_TRUE(g.Enabled);
        EXPECT_GE(g.Deep, 32);
        EXPECT_LE(g.Deep, 128);
        types.insert(g.Type);
        colours.insert(g.Color);
    }
    EXPECT_EQ(types, (std::set<int>{0, 1, 2, 3}));
    EXPECT_EQ(colours.size(), std::size_t(GraphNetO + 1));
}

TEST(ShippedSkins, RendersEqualTheExpectedFrames)
{
    const bool update = qEnvironmentVariableIntValue("PULSMIR_UPDATE_GOLDEN") == 1;
    TempProgramFolder folder;
    int compared = 0;
    for (const ShippedSkin& skin : Shipped) {
        for (const char* mode : {"compact", "full"}) {
            if (!(QString(mode) == "full" ? skin.full : skin.compact))
                continue;
            for (const Scene& scene : Scenes) {
                const QString name =
                    QStringLiteral("%1-%2-%3.png").arg(skin.file, mode, scene.name);
                const QString out = folder.File(name);
                QString err;
                ASSERT_EQ(RunTool(QStringList{"render", IniPath(skin), "--mode", mode, "-o", out} +
                                      scene.inputs,
                                  err),
                          0)
                    << qPrintable(err);
                if (update) {
                    QDir().mkpath(Expected);
                    QFile::remove(Expected + name);
                    ASSERT_TRUE(QFile::copy(out, Expected + name));
                }
                const Bitmap24 expected = ReadPng(Expected + name);
                ASSERT_FALSE(expected.IsEmpty()) << qPrintable(name) << " is missing";
                EXPECT_TRUE(ReadPng(out) == expected) << qPrintable(name) << " differs";
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 27);
}

TEST(ShippedSkins, TheSensorSkinShowsEverySensorInBothModes)
{
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(SkinFolder + "SensorDeck.ini"));
    for (const TSkinModeRecord* mode : {&skin.Compact, &skin.Full}) {
        for (SkinMeter m : {MeterTMP, MeterBAT, MeterDSK})
            EXPECT_TRUE(mode->Meters[m].Enabled) << m;
        for (SkinReadoutIndex r : {ReadoutTMP, ReadoutBAT, ReadoutDSK})
            EXPECT_TRUE(mode->Readouts[r].Enabled) << r;
        for (SkinLamp l : {LampTMPALM, LampBATCHG})
            EXPECT_EQ(mode->Lamps[l].Strip.Frames(), 2) << l;
    }
    EXPECT_TRUE(skin.Full.Graphs[GraphTemp].Enabled);
    EXPECT_TRUE(skin.Full.Graphs[GraphBatt].Enabled);
}
