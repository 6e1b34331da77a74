// The temperature, battery and disk-space elements: read, checked and drawn like the others,
// and a skin without them exactly as before.
#include "skin/SkinCatalogue.h"
#include "skin/SkinRenderer.h"
#include "skin/SkinSystem.h"
#include "unit/skin/SkinTestFiles.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Identity = "[Pulsmir2_Skin]\nSkinName=Sensors\nSkinSystem=C1\nWinNT=1\n";

struct SensorSkin
{
    TempProgramFolder folder;
    TestSkin skin{folder};

    SensorSkin()
    {
        skin.Image("bg.png", SolidBitmap(60, 40, 0x101010));
        // Ten frames, frame k coloured k + 1 (1 pixel high each).
        Bitmap24 meter(2, 10);
        for (int k = 0; k < 10; ++k)
            for (int x = 0; x < 2; ++x)
                meter.SetPixel(x, k, SkinColor(k + 1));
        skin.Image("meter.png", meter);
        Bitmap24 lamp(2, 2);
        lamp.SetPixel(0, 0, 0x0000AA);
        lamp.SetPixel(1, 0, 0x0000AA);
        lamp.SetPixel(0, 1, 0x00AA00);
        lamp.SetPixel(1, 1, 0x00AA00);
        skin.Image("lamp.png", lamp);
        Bitmap24 digits(33, 2);
        for (int g = 0; g < 11; ++g)
            for (int x = 0; x < 3; ++x)
                for (int y = 0; y < 2; ++y)
                    digits.SetPixel(g * 3 + x, y, SkinColor(0x100 + g));
        skin.Image("font.png", digits);
    }

    QByteArray Mode(const char* section, bool full) const
    {
        QByteArray text = QByteArray("[") + section +
                          "]\nEnable=1\nBg=bg.png\nFont=font.png\n"
                          "TMP=meter.png\nTMPX=0\nTMPY=0\nTMPFrames=10\nTMPSpeed=0\n"
                          "BAT=meter.png\nBATX=2\nBATY=0\nBATFrames=10\n"
                          "DSK=meter.png\nDSKX=4\nDSKY=0\nDSKFrames=10\nDSKMaskColor=#000000\n"
                          "TMPValSW=1\nTMPValX=10\nTMPValY=0\nTMPValB=3\n"
                          "BATValSW=1\nBATValX=10\nBATValY=3\nBATValB=3\nBATValFZ=1\n"
                          "DSKValSW=1\nDSKValX=10\nDSKValY=6\nDSKValB=3\n"
                          "TMPALM=lamp.png\nTMPALMX=30\nTMPALMY=0\n"
                          "BATCHG=lamp.png\nBATCHGX=33\nBATCHGY=0\n";
        if (full)
            text += "TempGrpSW=1\nTempGrpX=0\nTempGrpY=20\nTempGrpW=20\nTempGrpH=10\n"
                    "TempGrpType=2\nTempGrpDeep=20\nTempGrpColor=#ff0000\n"
                    "BattGrpSW=1\nBattGrpX=30\nBattGrpY=20\nBattGrpW=20\nBattGrpH=10\n"
                    "BattGrpType=3\nBattGrpDeep=64\nBattGrpColor=#00ff00\n";
        return text;
    }
    QString Write()
    {
        skin.Ini(Identity + Mode("Pulsmir2_SkinS", false) + Mode("Pulsmir2_SkinL", true));
        return skin.IniPath();
    }
};

} // namespace

TEST(SensorElements, AreReadInBothModesWithTheirKeys)
{
    SensorSkin f;
    TSkinSystem skin;
    ASSERT_TRUE(TSkinSystem::ValidateSkin(f.Write(), SkinPlatform::NT));
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    for (const TSkinModeRecord* mode : {&skin.Compact, &skin.Full}) {
        EXPECT_TRUE(mode->Meters[MeterTMP].Enabled);
        EXPECT_EQ(mode->Meters[MeterBAT].X, 2);
        EXPECT_EQ(mode->Meters[MeterDSK].FrameHeight, 1);
        EXPECT_TRUE(mode->Meters[MeterDSK].MaskFlag);
        EXPECT_EQ(mode->Readouts[ReadoutBAT].Y, 3);
        EXPECT_TRUE(mode->Readouts[ReadoutBAT].FZ);
        EXPECT_EQ(mode->Lamps[LampTMPALM].Frames, 2);
        EXPECT_EQ(mode->Lamps[LampBATCHG].X, 33);
    }
    EXPECT_FALSE(skin.Compact.Graphs[GraphTemp].Enabled);
    EXPECT_EQ(skin.Full.Graphs[GraphTemp].Color, MakeSkinColor(255, 0, 0));
    EXPECT_EQ(HistoryDepths(skin)[GraphBatt], 64);
    EXPECT_TRUE(ShowsSensors(skin));
}

TEST(SensorElements, AreCheckedByTheRulesOfTheOthers)
{
    SensorSkin f;
    f.Write();
    const QByteArray compact = Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n";
    const auto valid = [&](const QByteArray& more) {
        f.skin.Ini(compact + more);
        return TSkinSystem::ValidateSkin(f.skin.IniPath(), SkinPlatform::NT);
    };
    EXPECT_TRUE(valid("TMP=meter.png\nBATCHG=lamp.png\n"));
    EXPECT_FALSE(valid("TMP=gone.png\n"));
    EXPECT_FALSE(valid("[Pulsmir2_SkinL]\nBATCHG=gone.png\n"));
    EXPECT_FALSE(valid("DSKMaskColor=grey\n"));
    EXPECT_FALSE(valid("TMPALMMaskColor=#12345\n"));
    EXPECT_FALSE(valid("[Pulsmir2_SkinL]\nTempGrpSW=1\n"));
    EXPECT_FALSE(valid("[Pulsmir2_SkinL]\nBattGrpDeep=257\n"));
    EXPECT_TRUE(valid("[Pulsmir2_SkinL]\nBattGrpSW=1\nBattGrpColor=#123456\n"));
}

TEST(SensorElements, ASkinWithoutThemShowsNoSensors)
{
    SensorSkin f;
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nCPU=meter.png\nCPUFrames=10\n");
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_FALSE(ShowsSensors(skin));
    // A reading error among the sensor keys keeps everything before them.
    f.skin.Ini(Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\nCPU=meter.png\nCPUFrames=10\n"
                          "TMP=meter.png\nTMPFrames=0\nBAT=meter.png\n");
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    EXPECT_TRUE(skin.Compact.Meters[MeterCPU].Enabled);
    EXPECT_FALSE(skin.Compact.Meters[MeterBAT].Enabled);
}

TEST(SensorElements, DrawTheirValuesAndShowAMissingSensorAsMissing)
{
    SensorSkin f;
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.Write()));
    TSkinRenderer renderer;
    SkinRenderInputs in;
    in.FullMode = true;
    in.TempPos = 55;
    in.Temperature = 61;
    in.TempAlarm = true;
    in.BatteryPercent = 7;
    in.BatteryCharging = false;
    in.DiskSpacePercent = 100;
    in.TempHistory.assign(20, 50);
    in.BatteryHistory.assign(64, 0);
    Bitmap24 surface(60, 40);
    renderer.RenderSkin(skin, in, surface);
    // Meters: frame = position * (frames - 1) / 100 on a 10-frame strip.
    EXPECT_EQ(surface.Pixel(0, 0), SkinColor(1 + 55 * 9 / 100));
    EXPECT_EQ(surface.Pixel(2, 0), SkinColor(1 + 7 * 9 / 100));
    EXPECT_EQ(surface.Pixel(4, 0), SkinColor(10));
    const auto glyph = [&](int x, int y) {
        return int(surface.Pixel(x, y)) - 0x100;
    };
    EXPECT_EQ(glyph(13, 0), 6); // " 61"
    EXPECT_EQ(glyph(16, 0), 1);
    EXPECT_EQ(glyph(10, 3), 0); // "007": filled with zeros
    EXPECT_EQ(glyph(16, 3), 7);
    EXPECT_EQ(glyph(10, 6), 1);                                // "100"
    EXPECT_EQ(surface.Pixel(30, 0), 0x00AA00u);                // alarm on: the lamp's lower frame
    EXPECT_EQ(surface.Pixel(33, 0), 0x0000AAu);                // not charging
    EXPECT_EQ(surface.Pixel(5, 29), MakeSkinColor(255, 0, 0)); // the filled temperature graph
    EXPECT_EQ(surface.Pixel(35, 29), 0x101010u);               // an empty battery history

    // The sensors go: read-outs show dashes in the digits' colour over the filler glyph, the
    // other elements are dimmed to 40 %: meters at 0, lamps off, graphs not drawn.
    const Bitmap24 present = surface;
    in.Temperature = in.BatteryPercent = in.DiskSpacePercent = SkinRenderInputs::NoSensorValue;
    in.TempPos = 0;
    in.TempAlarm = false;
    renderer.RenderSkin(skin, in, surface);
    for (int y : {0, 3, 6})
        for (int x = 10; x < 19; ++x) {
            EXPECT_EQ(glyph(x, y), 8) << x << "," << y;
            EXPECT_EQ(glyph(x, y + 1), TSkinFont::FillerGlyph) << x << "," << y;
        }
    EXPECT_EQ(surface.Pixel(0, 0), 0u);                        // frame 0 (1) at 40 %
    EXPECT_EQ(surface.Pixel(30, 0), MakeSkinColor(0x44, 0, 0)); // off (0xAA) at 40 %
    EXPECT_EQ(surface.Pixel(33, 0), MakeSkinColor(0x44, 0, 0));
    EXPECT_EQ(surface.Pixel(5, 25), 0x060606u);                 // the graph's box
    EXPECT_EQ(surface.Pixel(35, 25), 0x060606u);
    EXPECT_EQ(surface.Pixel(25, 25), 0x101010u);                // and nothing beside it

    // They come back, and the face is as it was.
    in.TempPos = 55;
    in.Temperature = 61;
    in.TempAlarm = true;
    in.BatteryPercent = 7;
    in.DiskSpacePercent = 100;
    renderer.RenderSkin(skin, in, surface);
    renderer.RenderSkin(skin, in, surface);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ(surface.Pixel(x, y), present.Pixel(x, y)) << x << "," << y;
}

TEST(SensorElements, ASkinChoosesHowDimAMissingOneIs)
{
    SensorSkin f;
    f.Write();
    const QByteArray compact = Identity + "[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n"
                                          "BATCHG=lamp.png\nBATCHGX=0\nBATCHGY=0\n";
    TSkinSystem skin;
    for (const auto& [dim, red] : {std::pair{"MissingDim=100\n", 0xAA}, {"MissingDim=0\n", 0}}) {
        f.skin.Ini(compact + dim);
        ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
        Bitmap24 surface(60, 40);
        TSkinRenderer().RenderSkin(skin, SkinRenderInputs{}, surface);
        EXPECT_EQ(surface.Pixel(0, 0), MakeSkinColor(red, 0, 0)) << dim;
    }
    f.skin.Ini(compact + "MissingDim=101\n");
    EXPECT_EQ(TSkinSystem::FindSkinFault(f.skin.IniPath(), SkinPlatform::NT),
              "[Pulsmir2_SkinS] MissingDim=101: brightness outside 0..100");
}

TEST(SensorElements, GraphicsProcessorAndFanDrawTheirValuesOrShowAsMissing)
{
    SensorSkin f;
    f.Write();
    f.skin.Ini(Identity + "[Pulsmir2_SkinL]\nEnable=1\nBg=bg.png\nFont=font.png\n"
                          "GPU=meter.png\nGPUX=0\nGPUY=0\nGPUFrames=10\n"
                          "FAN=meter.png\nFANX=2\nFANY=0\nFANFrames=10\n"
                          "GPUTMPValSW=1\nGPUTMPValX=10\nGPUTMPValY=0\nGPUTMPValB=3\n"
                          "GpuMemGrpSW=1\nGpuMemGrpX=0\nGpuMemGrpY=20\nGpuMemGrpW=20\n"
                          "GpuMemGrpH=10\nGpuMemGrpType=2\nGpuMemGrpDeep=20\nGpuMemGrpColor=#ff0000\n");
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.skin.IniPath()));
    TSkinRenderer renderer;
    SkinRenderInputs in;
    in.FullMode = true;
    in.GpuLoad = 55;
    in.GpuMemoryLoad = 30;
    in.GpuTemperature = 48;
    in.FanRpm = 900;
    in.FanPos = 100;
    in.GpuMemHistory.assign(20, 50);
    Bitmap24 surface(60, 40);
    renderer.RenderSkin(skin, in, surface);
    EXPECT_EQ(surface.Pixel(0, 0), SkinColor(1 + 55 * 9 / 100));
    EXPECT_EQ(surface.Pixel(2, 0), SkinColor(10));
    EXPECT_EQ(int(surface.Pixel(13, 0)) - 0x100, 4); // " 48"
    EXPECT_EQ(surface.Pixel(5, 29), MakeSkinColor(255, 0, 0));

    // A card asleep and a fan gone: dimmed meters at 0, dashes, a dimmed graph box.
    in.GpuLoad = in.GpuMemoryLoad = in.GpuTemperature = in.FanRpm = in.FanPos =
        SkinRenderInputs::NoSensorValue;
    renderer.RenderSkin(skin, in, surface);
    EXPECT_EQ(surface.Pixel(0, 0), 0u);
    EXPECT_EQ(surface.Pixel(2, 0), 0u);
    EXPECT_EQ(int(surface.Pixel(13, 1)) - 0x100, TSkinFont::FillerGlyph);
    EXPECT_EQ(surface.Pixel(5, 25), 0x060606u);
}
