#include "skin/SkinSystem.h"

#include "skin/SkinCatalogue.h"

#include "platform/ProfileIni.h"
#include "support/AddressSpace.h"
#include "unit/skin/SkinTestFiles.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QByteArray Identity = "[Pulsmir2_Skin]\nSkinName=Blue\nSkinSystem=C1\nWinNT=1\n";

// A usable skin with a compact background and whatever else the test adds.
struct SkinFixture
{
    TempProgramFolder folder;
    TestSkin skin{folder};

    SkinFixture() { skin.Image("bg.png", SolidBitmap(40, 30, 0x112233)); }

    bool Valid(const QByteArray& text, SkinPlatform platform = SkinPlatform::NT)
    {
        skin.Ini(text);
        return TSkinSystem::ValidateSkin(skin.IniPath(), platform);
    }
    bool ValidWithCompact(const QByteArray& compactKeys, const QByteArray& more = {})
    {
        return Valid(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n" + compactKeys + "\n" +
                     more);
    }
};

} // namespace

TEST(ParseSkinColor, TakesHashAndSixHexDigitsInEitherCase)
{
    SkinColor color = 1;
    EXPECT_TRUE(TSkinSystem::ParseSkinColor("#ff00FF", color));
    EXPECT_EQ(color, MakeSkinColor(255, 0, 255));
    EXPECT_TRUE(TSkinSystem::ParseSkinColor("#123456", color));
    EXPECT_EQ(color, 0x563412u); // blue * 65536 + green * 256 + red
    for (const char* bad :
         {"ff00ff", "#ff00f", "#ff00ff0", "#gg0000", "# 00000", "#-10000", "#+10000", "", "#"}) {
        color = 7;
        EXPECT_FALSE(TSkinSystem::ParseSkinColor(bad, color)) << bad;
        EXPECT_EQ(color, 0u) << bad;
    }
}

TEST(ValidateSkin, GenerationAllowsUpToC)
{
    SkinFixture f;
    const QByteArray rest = "WinNT=1\n[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n";
    for (const char* ok : {"C2", "", "B", "C", "9"})
        EXPECT_TRUE(f.Valid("[Pulsmir2_Skin]\nSkinSystem=" + QByteArray(ok) + "\n" + rest)) << ok;
    for (const char* bad : {"D1", "c", "Z"})
        EXPECT_FALSE(f.Valid("[Pulsmir2_Skin]\nSkinSystem=" + QByteArray(bad) + "\n" + rest))
            << bad;
}

TEST(ValidateSkin, NeedsAnEnabledModeWithItsBackground)
{
    SkinFixture f;
    EXPECT_FALSE(f.Valid(Identity + "[Pulsmir2_SkinS]\nBg=bg.png\n[Pulsmir2_SkinL]\nBg=bg.png\n"));
    EXPECT_FALSE(f.Valid(Identity + "[Pulsmir2_SkinS]\nEnable=0\nBg=bg.png\n"));
    EXPECT_TRUE(f.Valid(Identity + "[Pulsmir2_SkinL]\nEnable=1\nBg=bg.png\n"));
    // A full section without Bg is fine while it is off, not when it is on.
    EXPECT_TRUE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nEnable=0\n"));
    EXPECT_FALSE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nEnable=1\n"));
    EXPECT_FALSE(f.Valid(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=nothere.png\n"));
    EXPECT_FALSE(f.Valid(Identity + "[Pulsmir2_SkinS]\nEnable=1\n"));
}

TEST(ValidateSkin, PlatformFlagMustMatch)
{
    SkinFixture f;
    const QByteArray modes = "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n";
    const QByteArray only9x = "[Pulsmir2_Skin]\nWin9x=1\nWinNT=0\n" + modes;
    EXPECT_TRUE(f.Valid(only9x, SkinPlatform::Win9x));
    EXPECT_FALSE(f.Valid(only9x, SkinPlatform::NT));
    EXPECT_FALSE(f.Valid("[Pulsmir2_Skin]\nWinNT=yes\n" + modes, SkinPlatform::NT));
}

TEST(ValidateSkin, NamedImagesMustExistInBothModes)
{
    SkinFixture f;
    f.skin.Image("cpu.png", SolidBitmap(4, 4, 0));
    EXPECT_TRUE(f.ValidWithCompact("CPU=cpu.png"));
    EXPECT_TRUE(f.ValidWithCompact("CPU="));
    EXPECT_FALSE(f.ValidWithCompact("CPU=gone.png"));
    EXPECT_FALSE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nEnable=0\nNOutM=gone.png\n"));
    EXPECT_FALSE(f.ValidWithCompact("Font=gone.bmp"));
    EXPECT_FALSE(f.ValidWithCompact("PNGING=gone.bmp"));
}

TEST(ValidateSkin, MaskColoursMustParseExceptTheFontOne)
{
    SkinFixture f;
    EXPECT_TRUE(f.ValidWithCompact("BgMaskColor=#ff00ff"));
    EXPECT_TRUE(f.ValidWithCompact("BgMaskColor=#FF00FF"));
    EXPECT_FALSE(f.ValidWithCompact("BgMaskColor=ff00ff"));
    EXPECT_FALSE(f.ValidWithCompact("NOutMMaskColor=#12345"));
    EXPECT_FALSE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nresmaskcolor=red\n"));
    EXPECT_TRUE(f.ValidWithCompact("FontMaskColor=purple"));
}

TEST(ValidateSkin, GraphColourAndDepthRules)
{
    SkinFixture f;
    EXPECT_FALSE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nCPUGrpSW=1\n"));
    EXPECT_FALSE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nCPUGrpSW=1\nCPUGrpColor=\n"));
    EXPECT_TRUE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nCPUGrpSW=1\nCPUGrpColor=#00ff00\n"));
    EXPECT_TRUE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nNetOGrpSW=0\nNetOGrpColor=bad\n"));
    // Depth counts whether the graph is shown or not.
    EXPECT_FALSE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nCPUGrpSW=0\nCPUGrpDeep=0\n"));
    EXPECT_FALSE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nCPUGrpSW=0\nCPUGrpDeep=257\n"));
    EXPECT_TRUE(f.ValidWithCompact("", "[Pulsmir2_SkinL]\nNetOGrpDeep=256\nSwapGrpDeep=1\n"));
    // Graph keys of the compact section are not graphs.
    EXPECT_TRUE(f.ValidWithCompact("CPUGrpSW=1\nCPUGrpDeep=0"));
}

TEST(ValidateSkin, MissingOrUnreadableFileIsRefused)
{
    SkinFixture f;
    EXPECT_FALSE(TSkinSystem::ValidateSkin(f.folder.File("Skin/None.ini")));
    QDir(f.folder.Path()).mkpath("Skin/Dir.ini");
    EXPECT_FALSE(TSkinSystem::ValidateSkin(f.folder.File("Skin/Dir.ini")));
    // A pipe would block the reader for ever; it is no definition file.
    ASSERT_EQ(mkfifo(f.folder.File("Skin/Pipe.ini").toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(TSkinSystem::ValidateSkin(f.folder.File("Skin/Pipe.ini")));
    TSkinSystem skin;
    EXPECT_FALSE(skin.LoadSkin(f.folder.File("Skin/Pipe.ini")));
}

TEST(ValidateSkin, FaultNamesSectionKeyAndValue)
{
    SkinFixture f;
    f.ValidWithCompact("CPUMaskColor=#zz0000");
    auto fault = TSkinSystem::FindSkinFault(f.skin.IniPath(), SkinPlatform::NT);
    ASSERT_TRUE(fault.has_value());
    EXPECT_TRUE(fault->contains("Pulsmir2_SkinS")) << qPrintable(*fault);
    EXPECT_TRUE(fault->contains("CPUMaskColor=#zz0000")) << qPrintable(*fault);
    f.ValidWithCompact("");
    EXPECT_FALSE(TSkinSystem::FindSkinFault(f.skin.IniPath(), SkinPlatform::NT).has_value());
}

TEST(LoadSkin, ReadsIdentityAndDefaults)
{
    SkinFixture f;
    f.skin.Ini("[Pulsmir2_Skin]\nSkinSystem=C2\nCreaterName=Me\nCreaterURL=http://x/\nWin9x=1\n");
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_EQ(skin.SkinName, "(No Name)");
    EXPECT_EQ(skin.SkinSystem, "C2");
    EXPECT_EQ(skin.CreaterName, "Me");
    EXPECT_EQ(skin.CreaterURL, "http://x/");
    EXPECT_TRUE(skin.Win9x);
    EXPECT_FALSE(skin.WinNT);
    EXPECT_FALSE(skin.Compact.Enable);
    EXPECT_EQ(skin.Full.Graphs[GraphCPU].Deep, 32);
    EXPECT_EQ(skin.Full.Graphs[GraphCPU].Color, 0xFFFFFFu);
}

TEST(LoadSkin, MissingFileLeavesTheModelUnchanged)
{
    SkinFixture f;
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n");
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_FALSE(skin.LoadSkin(f.folder.File("Skin/Other.ini")));
    EXPECT_EQ(skin.SkinName, "Blue");
    EXPECT_EQ(skin.Compact.Background.Width(), 40);
}

TEST(LoadSkin, ModeSectionsAreReadOnTheirOwnAndKeysIgnoreCase)
{
    SkinFixture f;
    f.skin.Image("cpu.png", FrameStrip(10, 5, {0xFF, 0xFF00}));
    f.skin.Ini(Identity +
               "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nMemSpeed=3\nResSpeed=4\nResDelay=9\n"
               "cpu=cpu.png\ncpux=$10\ncpuY=0x20\ncpuFRAMES=2\nFloatSW=1\nFloatPosX=-5\n"
               "[Pulsmir2_SkinL]\nEnable=1\nBg=bg.png\nMEMSpeed=6\nResSpeed=4\nResDelay=8\n"
               "CPUDownSpeed=2\n");
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_EQ(skin.Compact.Speeds[MeterMEM], 3);
    EXPECT_EQ(skin.Full.Speeds[MeterMEM], 6);
    EXPECT_EQ(skin.Compact.Speeds[MeterRES], 4);
    EXPECT_EQ(skin.Full.Speeds[MeterRES], 8); // the full section reads ResDelay
    EXPECT_EQ(skin.Compact.Speeds[MeterCPU], 0);
    EXPECT_EQ(skin.Full.Speeds[MeterCPU], 2);
    const TSkinElement& cpu = skin.Compact.Meters[MeterCPU];
    EXPECT_TRUE(cpu.Enabled);
    EXPECT_EQ(cpu.X, 16);
    EXPECT_EQ(cpu.Y, 32);
    EXPECT_EQ(cpu.Frames, 2);
    EXPECT_FALSE(skin.Full.Meters[MeterCPU].Enabled);
    EXPECT_TRUE(skin.Compact.FloatSW);
    EXPECT_EQ(skin.Compact.FloatPosX, -5);
    EXPECT_FALSE(skin.Full.FloatSW);
}

TEST(LoadSkin, FrameArithmeticAndElementGeometry)
{
    SkinFixture f;
    f.skin.Image("cpu.png", SolidBitmap(40, 305, 0x00FF00));
    f.skin.Image("dr.bmp", FrameStrip(6, 3, {0x0000FF, 0x00FF00}, 1));
    f.skin.Image("png.png", FrameStrip(5, 2, {1, 2, 3, 4}));
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nCPU=cpu.png\nCPUFrames=10\n"
                          "DR=dr.bmp\nDRX=3\nDRFrames=7\nPNG=png.png\nCPUMaskColor=#00ff00\n");
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    const TSkinElement& cpu = skin.Compact.Meters[MeterCPU];
    EXPECT_EQ(cpu.Width, 40);
    EXPECT_EQ(cpu.FrameHeight, 30);
    EXPECT_TRUE(cpu.MaskFlag);
    EXPECT_EQ(cpu.MaskColor, 0x00FF00u);
    EXPECT_EQ(cpu.Strip.Frames(), 10);
    EXPECT_EQ(cpu.Strip.FrameHeight(), 30);
    const TSkinElement& dr = skin.Compact.Lamps[LampDR];
    EXPECT_EQ(dr.Frames, 2); // lamps have a fixed count, DRFrames means nothing
    EXPECT_EQ(dr.FrameHeight, 3);
    EXPECT_EQ(dr.X, 3);
    EXPECT_EQ(skin.Compact.Lamps[LampPNG].Frames, 4);
    EXPECT_FALSE(skin.Compact.Lamps[LampNIO].Enabled);
}

TEST(LoadSkin, DigitStripIsCutIntoElevenGlyphs)
{
    SkinFixture f;
    Bitmap24 strip(11 * 4 + 3, 6); // 3 columns left over
    for (int i = 0; i < 11; ++i)
        for (int x = 0; x < 4; ++x)
            for (int y = 0; y < 6; ++y)
                strip.SetPixel(i * 4 + x, y, SkinColor(i + 1));
    f.skin.Image("font.png", strip);
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nFont=font.png\n"
                          "FontMaskColor=invalid\n[Pulsmir2_SkinL]\nFont=font.png\n");
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    const TSkinFont& font = skin.Compact.Font;
    EXPECT_TRUE(font.Enabled);
    EXPECT_EQ(font.GlyphWidth, 4);
    EXPECT_EQ(font.GlyphHeight, 6);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(font.Glyphs[i].Pixel(3, 5), SkinColor(i + 1)) << i;
    EXPECT_TRUE(font.Glyphs[11].IsEmpty());
    // An invalid font mask colour is black.
    EXPECT_TRUE(font.MaskFlag);
    EXPECT_EQ(font.MaskColor, 0u);
    EXPECT_EQ(font.GlyphMasks[0].Width(), 4);
    EXPECT_FALSE(skin.Full.Font.MaskFlag);
}

TEST(LoadSkin, ReadoutsAndGraphsReadTheirKeysOnlyWhenSwitchedOn)
{
    SkinFixture f;
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nCPUValSW=1\nCPUValX=5\n"
                          "MEMValSW=0\nMEMValX=9\nPNGValSW=1\nPNGValB=3\nPNGValFZ=1\n"
                          "[Pulsmir2_SkinL]\nCPUGrpSW=1\nCPUGrpX=2\nCPUGrpW=30\nCPUGrpType=2\n"
                          "CPUGrpDeep=64\nCPUGrpColor=#0000ff\nMEMGrpSW=1\nSwapGrpSW=0\n"
                          "SwapGrpX=7\n");
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    const auto& r = skin.Compact.Readouts;
    EXPECT_TRUE(r[ReadoutCPU].Enabled);
    EXPECT_EQ(r[ReadoutCPU].X, 5);
    EXPECT_EQ(r[ReadoutCPU].B, 1);
    EXPECT_FALSE(r[ReadoutMEM].Enabled);
    EXPECT_EQ(r[ReadoutMEM].X, 0);
    EXPECT_EQ(r[ReadoutPNG].B, 3);
    EXPECT_TRUE(r[ReadoutPNG].FZ);
    const auto& g = skin.Full.Graphs;
    EXPECT_TRUE(g[GraphCPU].Enabled);
    EXPECT_EQ(g[GraphCPU].W, 30);
    EXPECT_EQ(g[GraphCPU].Type, 2);
    EXPECT_EQ(g[GraphCPU].Deep, 64);
    EXPECT_EQ(g[GraphCPU].Color, MakeSkinColor(0, 0, 255));
    EXPECT_EQ(g[GraphMEM].Color, 0u); // shown without a colour: black
    EXPECT_EQ(g[GraphSwap].X, 0);
    EXPECT_EQ(g[GraphSwap].Color, 0xFFFFFFu);
    EXPECT_FALSE(skin.Compact.Graphs[GraphCPU].Enabled);
}

TEST(LoadSkin, ZeroFrameCountStopsReadingThere)
{
    SkinFixture f;
    f.skin.Image("m.png", SolidBitmap(4, 8, 0x00FF00));
    CapturedLog log;
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nMEM=m.png\nMEMFrames=0\n"
                          "MEMMaskColor=#00ff00\nMEMSpeed=5\nSWP=m.png\n"
                          "[Pulsmir2_SkinL]\nEnable=1\nBg=bg.png\n");
    TSkinSystem skin(log.Tagged("(Skin) "));
    skin.Full.Enable = true; // left from an earlier skin; the reset clears it
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_EQ(skin.SkinName, "Blue");
    EXPECT_TRUE(skin.Compact.Background.Width() == 40);
    const TSkinElement& mem = skin.Compact.Meters[MeterMEM];
    EXPECT_TRUE(mem.Enabled);
    EXPECT_EQ(mem.Frames, 0);
    EXPECT_EQ(mem.FrameHeight, 0);
    EXPECT_FALSE(mem.MaskFlag);
    EXPECT_EQ(skin.Compact.Speeds[MeterMEM], 0);
    EXPECT_FALSE(skin.Compact.Meters[MeterSWP].Enabled);
    EXPECT_FALSE(skin.Full.Enable);
    EXPECT_TRUE(log.Text().contains("(Skin) <WARNING>"));

    // A negative count leaves a negative frame height.
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nMEM=m.png\nMEMFrames=-3\n");
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_EQ(skin.Compact.Meters[MeterMEM].FrameHeight, -2);
}

TEST(LoadSkin, MemUsedCountsImagesAndMasks)
{
    SkinFixture f;
    f.skin.Image("m.png", SolidBitmap(10, 10, 0));
    f.skin.Image("banner.png", SolidBitmap(20, 5, 0));
    f.skin.Ini("[Pulsmir2_Skin]\nCreaterBanner=banner.png\n[Pulsmir2_SkinS]\nBg=bg.png\n"
               "MEM=m.png\nMEMMaskColor=#000000\n");
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    const qint32 fixed = qint32(2 * sizeof(TSkinModeRecord));
    EXPECT_EQ(skin.MemUsed, 20 * 5 * 3 + 40 * 30 * 3 + 2 * 10 * 10 * 3 + fixed);
    // A reload starts counting from 0 again.
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_EQ(skin.MemUsed, 20 * 5 * 3 + 40 * 30 * 3 + 2 * 10 * 10 * 3 + fixed);
}

TEST(LoadSkin, ImageNamesUseWindowsSeparatorsAndAnyCase)
{
    SkinFixture f;
    f.skin.Image("Parts/Cpu.PNG", SolidBitmap(3, 3, 0));
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=BG.png\nCPU=parts\\cpu.png\n");
    EXPECT_TRUE(TSkinSystem::ValidateSkin(f.skin.IniPath()));
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_EQ(skin.Compact.Background.Width(), 40);
    EXPECT_TRUE(skin.Compact.Meters[MeterCPU].Enabled);
    EXPECT_EQ(TSkinSystem::SkinImageFolder(f.skin.IniPath()), f.folder.File("Skin/Test/"));
}

TEST(LoadSkin, AnUndecodablePictureOfAnEnabledModeRefusesTheSkinAsTheValidatorDoes)
{
    SkinFixture f;
    f.folder.Write("Skin/Test/cpu.png", "not a picture");
    f.folder.Write("Skin/Test/mem.gif", "GIF89a");
    TSkinSystem skin;
    for (const QByteArray keys : {"CPU=cpu.png\n", "MEM=mem.gif\n", "Font=cpu.png\n"}) {
        f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n" + keys);
        EXPECT_FALSE(skin.LoadSkin(f.skin.IniPath())) << keys.constData();
        EXPECT_TRUE(TSkinSystem::FindSkinFault(f.skin.IniPath(), SkinPlatform::NT,
                                               SkinCheck::Pictures)
                        .value_or("")
                        .endsWith(" is no picture"))
            << keys.constData();
    }
    // Where the mode is not shown, the picture is never needed.
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n"
                          "[Pulsmir2_SkinL]\nEnable=0\nCPU=cpu.png\n");
    EXPECT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_EQ(TSkinSystem::FindSkinFault(f.skin.IniPath(), SkinPlatform::NT, SkinCheck::Pictures),
              std::nullopt);
}

namespace {

// A skin "Current" loaded first, and a second skin "Next" in the same folder for the test to
// make hostile: a refused "Next" must leave "Current" in the model.
struct TwoSkins
{
    TempProgramFolder folder;
    TestSkin current{folder, "Current"};
    TestSkin next{folder, "Next"};
    CapturedLog log;
    TSkinSystem skin{log.Tagged("")};

    TwoSkins()
    {
        current.Image("bg.png", SolidBitmap(40, 30, 0x112233));
        current.Ini("[Pulsmir2_Skin]\nSkinName=Current\nWinNT=1\n"
                    "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n");
        next.Image("bg.png", SolidBitmap(50, 20, 0x445566));
        EXPECT_TRUE(skin.LoadSkin(current.IniPath()));
    }

    void ExpectCurrentStays()
    {
        EXPECT_EQ(skin.SkinName, "Current");
        EXPECT_EQ(skin.Compact.Background.Width(), 40);
        EXPECT_EQ(skin.Compact.Background.Pixel(0, 0), 0x112233u);
    }
};

const QByteArray NextIdentity = "[Pulsmir2_Skin]\nSkinName=Next\nWinNT=1\n";

} // namespace

TEST(LoadSkin, PicturesOverTheBudgetTogetherRefuseTheSkin)
{
    TwoSkins f;
    f.next.Image("cpu.png", SolidBitmap(8, 8, 0x00FF00));
    f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nCPU=cpu.png\n");
    f.skin.ImageBudget = 2 * 50 * 20 * 3; // the background uses it up
    EXPECT_FALSE(f.skin.LoadSkin(f.next.IniPath()));
    f.ExpectCurrentStays();
    EXPECT_TRUE(f.log.Text().contains("Skin refused : with " + f.folder.File("Skin/Next/cpu.png") +
                                      " the pictures would take more than"))
        << qPrintable(f.log.Text());

    // A picture used twice is decoded and counted once.
    f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n"
                              "[Pulsmir2_SkinL]\nEnable=1\nBg=bg.png\n");
    EXPECT_TRUE(f.skin.LoadSkin(f.next.IniPath()));
    EXPECT_EQ(f.skin.Full.Background.Width(), 50);
    EXPECT_EQ(f.skin.Full.Background.DataId(), f.skin.Compact.Background.DataId());
}

TEST(LoadSkin, APictureOverThePictureLimitsIsRefusedByItsHeader)
{
    // A 16384 x 5400 picture in a few hundred bytes: 265 MB had it been decoded.
    TwoSkins f;
    f.folder.Write("Skin/Next/huge.png", PngClaimingSize(16384, 5400));
    for (const QByteArray key : {"Bg", "CPU", "Font"}) {
        f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\n" +
                   (key == "Bg" ? "" : "Bg=bg.png\n") + key + "=huge.png\n");
        EXPECT_FALSE(f.skin.LoadSkin(f.next.IniPath())) << key.constData();
        f.ExpectCurrentStays();
    }
    EXPECT_EQ(f.log.Text().count("<WARNING>Skin refused : " + f.folder.File("Skin/Next/huge.png") +
                                 " is 16384 x 5400 pixels; a picture may take at most 64 MiB "
                                 "decoded"),
              3)
        << qPrintable(f.log.Text());
    EXPECT_EXIT(ExitWithPeakGrowthBelow(64 << 20, [&] { f.skin.LoadSkin(f.next.IniPath()); }),
                testing::ExitedWithCode(0), "");
    // The validator and the skin list hold it to the same rule, by the header alone.
    EXPECT_FALSE(TSkinSystem::ValidateSkin(f.next.IniPath()));
    EXPECT_EXIT(ExitWithPeakGrowthBelow(64 << 20,
                                        [&] {
                                            ListSkins(f.folder.File("Skin"), SkinPlatform::NT);
                                            TSkinSystem::FindSkinFault(f.next.IniPath(),
                                                                       SkinPlatform::NT,
                                                                       SkinCheck::Pictures);
                                        }),
                testing::ExitedWithCode(0), "");
}

TEST(LoadSkin, ATallFrameStripLoadsAndIsListedAndValid)
{
    // 101 frames of 82 pixels: 80 x 8282, 2 MB decoded.
    TwoSkins f;
    Bitmap24 strip(80, 101 * 82);
    for (int y = 0; y < strip.Height(); ++y)
        for (int x = 0; x < 80; ++x)
            strip.SetPixel(x, y, SkinColor(y / 82));
    f.next.Image("cpu.png", strip);
    f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nCPU=cpu.png\n"
                              "CPUFrames=101\n");
    ASSERT_TRUE(f.skin.LoadSkin(f.next.IniPath())) << qPrintable(f.log.Text());
    EXPECT_EQ(f.skin.Compact.Meters[MeterCPU].Strip.Frame(100).Pixel(79, 81), SkinColor(100));
    EXPECT_EQ(TSkinSystem::FindSkinFault(f.next.IniPath(), SkinPlatform::NT, SkinCheck::Pictures),
              std::nullopt);
    EXPECT_EQ(FindSkinPath(ListSkins(f.folder.File("Skin"), SkinPlatform::NT), "Next"),
              f.next.IniPath());
}

TEST(LoadSkin, ABackgroundLargerThanTheScreenIsRefused)
{
    TwoSkins f;
    f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n");
    f.skin.MaxWindowSize = QSize(49, 100);
    EXPECT_FALSE(f.skin.LoadSkin(f.next.IniPath()));
    f.ExpectCurrentStays();
    EXPECT_TRUE(f.log.Text().contains("Skin refused : " + f.folder.File("Skin/Next/bg.png") +
                                      " is 50 x 20 pixels, larger than the screen (49 x 100)"))
        << qPrintable(f.log.Text());
    f.skin.MaxWindowSize = QSize(100, 19);
    EXPECT_FALSE(f.skin.LoadSkin(f.next.IniPath()));
    f.ExpectCurrentStays();

    // A mode the screen cannot hold is left out, and the skin shows the other one; the skin
    // list goes by the same rule.
    f.next.Image("small.png", SolidBitmap(10, 10, 0));
    f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n"
                              "[Pulsmir2_SkinL]\nEnable=1\nBg=small.png\n");
    EXPECT_TRUE(f.skin.LoadSkin(f.next.IniPath()));
    EXPECT_FALSE(f.skin.Compact.Enable);
    EXPECT_TRUE(f.skin.Full.Enable);
    EXPECT_TRUE(f.log.Text().contains("<WARNING>Skin mode left out : "));
    const QString skins = f.folder.File("Skin");
    EXPECT_EQ(FindSkinPath(ListSkins({skins}, SkinPlatform::NT, nullptr, QSize(100, 19)), "Next"),
              f.next.IniPath());
    f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n");
    EXPECT_EQ(FindSkinPath(ListSkins({skins}, SkinPlatform::NT, nullptr, QSize(100, 19)), "Next"),
              QString());
    EXPECT_EQ(FindSkinPath(ListSkins({skins}, SkinPlatform::NT, nullptr, QSize(50, 20)), "Next"),
              f.next.IniPath());

    // As large as the screen will do, and a mode that cannot be shown is not measured.
    f.skin.MaxWindowSize = QSize(50, 20);
    EXPECT_TRUE(f.skin.LoadSkin(f.next.IniPath()));
    f.next.Image("big.png", SolidBitmap(60, 60, 0));
    f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n"
                              "[Pulsmir2_SkinL]\nEnable=0\nBg=big.png\n");
    EXPECT_TRUE(f.skin.LoadSkin(f.next.IniPath()));
    EXPECT_EQ(f.skin.SkinName, "Next");
    // Without a screen to go by, nothing is refused for its size.
    f.skin.MaxWindowSize = QSize();
    f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=big.png\n");
    EXPECT_TRUE(f.skin.LoadSkin(f.next.IniPath()));
}

TEST(LoadSkin, FilesOverTheirSizeLimitsAreNotRead)
{
    TwoSkins f;
    // A definition file over 1 MiB, sparse: 400 MiB of it would be read for nothing.
    f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n");
    QFile definition(f.next.IniPath());
    for (qint64 size : {ProfileIni::MaxFileSize + 1, qint64(400) << 20}) {
        ASSERT_TRUE(definition.resize(size));
        EXPECT_EXIT(ExitWithPeakGrowthBelow(16 << 20, [&] { f.skin.LoadSkin(f.next.IniPath()); }),
                    testing::ExitedWithCode(0), "");
        EXPECT_FALSE(f.skin.LoadSkin(f.next.IniPath()));
        f.ExpectCurrentStays();
        EXPECT_EQ(TSkinSystem::FindSkinFault(f.next.IniPath(), SkinPlatform::NT),
                  f.next.IniPath() + ": file larger than 1 MiB");
    }
    EXPECT_TRUE(f.log.Text().contains("<WARNING>Skin refused : " + f.next.IniPath() +
                                      " is larger than 1 MiB"));
    // Up to the limit it is read: the padding is a comment line.
    const QByteArray text = NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n;";
    f.next.Ini(text + QByteArray(ProfileIni::MaxFileSize - text.size(), 'x'));
    EXPECT_TRUE(f.skin.LoadSkin(f.next.IniPath()));
    EXPECT_EQ(f.skin.SkinName, "Next");

    // A picture file over its limit refuses the skin.
    ASSERT_TRUE(f.skin.LoadSkin(f.current.IniPath()));
    f.folder.Write("Skin/Next/cpu.bmp", EncodeWithQt(SolidBitmap(4, 4, 0), "bmp"));
    QFile picture(f.folder.File("Skin/Next/cpu.bmp"));
    ASSERT_TRUE(picture.resize(MaxPictureFileSize + 1));
    f.next.Ini(NextIdentity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nCPU=cpu.bmp\n");
    EXPECT_FALSE(f.skin.LoadSkin(f.next.IniPath()));
    f.ExpectCurrentStays();
    EXPECT_TRUE(f.log.Text().contains("<WARNING>Skin refused : " + picture.fileName() +
                                      " is larger than 96 MiB"));
}

TEST(LoadSkin, AnUndecodableBackgroundOfAnEnabledModeKeepsTheSkinInUse)
{
    SkinFixture f;
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n");
    CapturedLog log;
    TSkinSystem skin(log.Tagged(""));
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));

    f.folder.Write("Skin/Test/broken.png", "not a picture");
    f.skin.Ini("[Pulsmir2_Skin]\nSkinName=Broken\nSkinSystem=C1\nWinNT=1\n"
               "[Pulsmir2_SkinS]\nEnable=1\nBg=broken.png\n");
    EXPECT_FALSE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_EQ(skin.SkinName, "Blue");
    EXPECT_EQ(skin.Compact.Background.Width(), 40);
    EXPECT_TRUE(log.Text().contains("broken.png"));

    // Only a mode in use needs its background.
    f.skin.Ini(
        "[Pulsmir2_Skin]\nSkinName=Half\nSkinSystem=C1\nWinNT=1\n"
        "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n[Pulsmir2_SkinL]\nEnable=0\nBg=broken.png\n");
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_EQ(skin.SkinName, "Half");
}

TEST(LoadSkin, PicturesOfTheModeNotShownGoAndComeBackFromTheFile)
{
    SkinFixture f;
    f.skin.Image("cpu.png", FrameStrip(10, 5, {0xFF, 0xFF00}));
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nCPU=cpu.png\nCPUFrames=2\n"
                          "[Pulsmir2_SkinL]\nEnable=1\nBg=bg.png\nCPU=cpu.png\nCPUFrames=2\n");
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    skin.ReleasePictures(true);
    EXPECT_FALSE(skin.HasPictures(true));
    EXPECT_TRUE(skin.Full.Background.IsEmpty());
    EXPECT_EQ(skin.Full.Meters[MeterCPU].Strip.Frames(), 0);
    // The rest of the mode stays for the menu and the mode switch.
    EXPECT_TRUE(skin.Full.Enable);
    EXPECT_TRUE(skin.Full.Meters[MeterCPU].Enabled);
    EXPECT_EQ(skin.Compact.Meters[MeterCPU].Strip.Frames(), 2);

    ASSERT_TRUE(skin.ReloadForMode(true));
    EXPECT_TRUE(skin.HasPictures(true));
    EXPECT_EQ(skin.Full.Background.Width(), 40);
    EXPECT_EQ(skin.Full.Meters[MeterCPU].Strip.Frames(), 2);
    EXPECT_FALSE(skin.HasPictures(false));
    EXPECT_TRUE(skin.Compact.Background.IsEmpty());

    // Gone from the disk since: the skin stays as it is, in the mode it shows.
    QFile::remove(f.skin.IniPath());
    EXPECT_FALSE(skin.ReloadForMode(false));
    EXPECT_TRUE(skin.HasPictures(true));
    EXPECT_FALSE(skin.HasPictures(false));
    EXPECT_EQ(skin.Full.Background.Width(), 40);
}
