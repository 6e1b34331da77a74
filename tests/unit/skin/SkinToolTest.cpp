#include "pulsmir-skin/SkinTool.h"

#include "skin/SkinImage.h"
#include "skin/SkinRenderer.h"
#include "skin/SkinSystem.h"
#include "unit/skin/SkinTestFiles.h"

#include <QFile>
#include <gtest/gtest.h>

// The skin "Golden" of the fixtures is rendered with fixed inputs and compared with the frames
// checked in beside it. PULSMIR_UPDATE_GOLDEN=1 writes the frames anew (look at them before
// committing).

namespace {

const QString Fixtures = QStringLiteral(PULSMIR_FIXTURES_DIR) + "/skin/";

struct ToolRun
{
    int code = -1;
    QString out;
    QString err;
};

ToolRun RunTool(const QStringList& arguments, const QStringList& dataFolders = {})
{
    ToolRun run;
    {
        QTextStream out(&run.out);
        QTextStream err(&run.err);
        run.code = RunSkinTool(arguments, out, err, dataFolders);
    }
    return run;
}

const QStringList FullArguments = {
    "--set",     "CpuUsage=63",
    "--set",     "DiskReadActive=1",
    "--set",     "DiskReadPos=80",
    "--history", "CpuHistory0=10,20,35,50,65,80,95,100,90,70,50,30,20,10,5,0,5,10,30,60",
    "--history", "MemHistory=40,42,45,47,50,52,55,57,60,62,60,58,56,54,52,50,48,46,44,42,40",
    "--history", "DiskReadHistory=0,100,20,80,40,60,0,0,50,50,10",
    "--history", "NetRecvHistory=0,10,30,60,100,60,30,10,0,10,30,60",
    "--frames",  "3"};
const QStringList CompactArguments = {"--set", "CpuUsage=47",     "--set", "MemoryLoad=7",
                                      "--set", "PingLevel=2",     "--set", "PingTime=888888",
                                      "--set", "DiskReadActive=1"};

Bitmap24 ReadPng(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? DecodePng(file.readAll()) : Bitmap24();
}

void CheckGolden(const QString& mode, const QStringList& inputs, const QString& golden)
{
    TempProgramFolder folder;
    const QString out = folder.File("out.png");
    ToolRun run =
        RunTool(QStringList{"render", Fixtures + "Golden.ini", "--mode", mode, "-o", out} + inputs);
    ASSERT_EQ(run.code, 0) << qPrintable(run.err);
    if (qEnvironmentVariableIntValue("PULSMIR_UPDATE_GOLDEN") == 1) {
        QFile::remove(Fixtures + golden);
        ASSERT_TRUE(QFile::copy(out, Fixtures + golden));
    }
    Bitmap24 expected = ReadPng(Fixtures + golden);
    ASSERT_FALSE(expected.IsEmpty()) << qPrintable(golden);
    EXPECT_TRUE(ReadPng(out) == expected) << qPrintable(golden) << " differs";
}

} // namespace

TEST(GoldenFrames, FullModeWithGraphs)
{
    CheckGolden("full", FullArguments, "golden_full.png");
}

TEST(GoldenFrames, CompactModeWithReadoutsAndLamps)
{
    CheckGolden("compact", CompactArguments, "golden_compact.png");
}

TEST(GoldenFrames, TheToolDrawsWhatTheRendererDraws)
{
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(Fixtures + "Golden.ini"));
    SkinRenderInputs in;
    in.CpuUsage = {47, 0};
    in.MemoryLoad = 7;
    in.PingLevel = 2;
    in.PingTime = 888888;
    in.DiskReadActive = true;
    Bitmap24 surface = skin.Compact.Background;
    TSkinRenderer renderer;
    renderer.RenderSkin(skin, in, surface);
    EXPECT_TRUE(surface == ReadPng(Fixtures + "golden_compact.png"));
}

TEST(SkinTool, ValidateReportsTheFirstBrokenRule)
{
    TempProgramFolder folder;
    TestSkin skin(folder);
    skin.Image("bg.png", SolidBitmap(4, 4, 0));
    skin.Ini("[Pulsmir2_Skin]\nWin9x=1\n[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n"
             "MEMMaskColor=#12\n");
    ToolRun nt = RunTool({"validate", skin.IniPath()});
    EXPECT_EQ(nt.code, 1);
    EXPECT_TRUE(nt.out.contains("[Pulsmir2_Skin] WinNT=")) << qPrintable(nt.out);
    ToolRun w9x = RunTool({"validate", skin.IniPath(), "--platform", "9x"});
    EXPECT_EQ(w9x.code, 1);
    EXPECT_TRUE(w9x.out.contains("[Pulsmir2_SkinS] MEMMaskColor=#12")) << qPrintable(w9x.out);
    EXPECT_EQ(RunTool({"validate", Fixtures + "Golden.ini"}).code, 0);
    EXPECT_EQ(RunTool({"validate", Fixtures + "Golden.ini", "--platform", "os2"}).code, 2);
    EXPECT_EQ(RunTool({"validate", folder.File("none.ini")}).code, 1);
}

TEST(SkinTool, InfoPrintsTheSkinInformationLines)
{
    ToolRun run = RunTool({"info", Fixtures + "Golden.ini", "--lang",
                           QStringLiteral(PULSMIR_DATA_DIR) + "/English.lng"});
    ASSERT_EQ(run.code, 0) << qPrintable(run.err);
    QStringList lines = run.out.split('\n');
    ASSERT_GE(lines.size(), 12);
    EXPECT_EQ(lines[0], "Name    : Golden");
    EXPECT_EQ(lines[1], "Version : C1");
    EXPECT_TRUE(lines[2].startsWith("MemUsed : ") && lines[2].endsWith(" KBytes"));
    EXPECT_EQ(lines[3], "Creater : Pulsmir tests");
    EXPECT_EQ(lines[5], "");
    EXPECT_TRUE(lines[6].startsWith("Compact mode"));
    EXPECT_TRUE(lines[11].contains("Not supported")) << qPrintable(lines[11]);
    // Without --lang the shipped file of the locale's language speaks (English under "C").
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", "C.UTF-8");
    EXPECT_EQ(RunTool({"info", Fixtures + "Golden.ini"}, {PULSMIR_DATA_DIR}).out, run.out);
}

TEST(SkinTool, RegionListsOneRectanglePerRun)
{
    ToolRun run = RunTool({"region", Fixtures + "Golden.ini", "--mode", "compact"});
    ASSERT_EQ(run.code, 0);
    QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 40);
    EXPECT_EQ(lines.first(), "3 39 74 1"); // corners cut by the mask colour
    EXPECT_EQ(lines[3], "0 36 80 1");
    EXPECT_EQ(lines.last(), "3 0 74 1");
    EXPECT_EQ(RunTool({"region", Fixtures + "Golden.ini", "--mode", "big"}).code, 2);
}

TEST(SkinTool, UnknownNamesAndBadUsageExitWithTwo)
{
    TempProgramFolder folder;
    const QStringList base = {"render", Fixtures + "Golden.ini", "--mode", "full",
                              "-o",     folder.File("x.png")};
    EXPECT_EQ(RunTool(base + QStringList{"--set", "CpuLoad=5"}).code, 2);
    EXPECT_EQ(RunTool(base + QStringList{"--set", "CpuUsage=abc"}).code, 2);
    EXPECT_EQ(RunTool(base + QStringList{"--history", "VramHistory=1,2"}).code, 2);
    EXPECT_EQ(RunTool(base + QStringList{"--history", "MemHistory=1,x"}).code, 2);
    EXPECT_EQ(RunTool(base + QStringList{"--frames", "0"}).code, 2);
    EXPECT_EQ(RunTool(base + QStringList{"--bogus"}).code, 2);
    EXPECT_EQ(RunTool({"paint", Fixtures + "Golden.ini"}).code, 2);
    EXPECT_EQ(RunTool({"render", Fixtures + "Golden.ini", "--mode", "full"}).code, 2);
    EXPECT_FALSE(folder.Exists("x.png"));
    EXPECT_EQ(RunTool(base + QStringList{"--set", "NTMultiCPU=1", "--set", "CpuCount=2",
                                         "--history", "CpuHistory2=100"})
                  .code,
              0);
    EXPECT_TRUE(folder.Exists("x.png"));
}

TEST(SkinTool, ValidateNamesBothModeSectionsWhenNeitherIsOn)
{
    TempProgramFolder folder;
    TestSkin skin(folder);
    skin.Ini("[Pulsmir2_Skin]\nWinNT=1\n[Pulsmir2_SkinS]\nEnable=0\n");
    ToolRun run = RunTool({"validate", skin.IniPath()});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.out.contains("[Pulsmir2_SkinS and Pulsmir2_SkinL] Enable=0 and :"))
        << qPrintable(run.out);
    EXPECT_EQ(RunTool({"info", folder.File("none.ini")}).code, 1);
}
