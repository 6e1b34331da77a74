// Text elements: their formats, their frames (exact, one per alignment), their redrawing and
// the checks of their keys and fonts.
#include "pulsmir-skin/SkinTool.h"
#include "skin/SkinCatalogue.h"
#include "skin/SkinRenderer.h"
#include "skin/SkinSystem.h"
#include "skin/SkinText.h"
#include "skin/SkinTypeface.h"
#include "unit/skin/SkinTestFiles.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QString Fixtures = QStringLiteral(PULSMIR_FIXTURES_DIR) + "/skin/";
// The font of the frames; scripts/install-deps.sh installs it.
const QString DejaVu = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");

struct TextSkin
{
    TempProgramFolder folder;
    TestSkin skin{folder};

    TextSkin()
    {
        skin.Image("bg.png", SolidBitmap(120, 36, 0x302010));
        QFile font(DejaVu);
        if (font.open(QIODevice::ReadOnly))
            folder.Write("Skin/Test/sans.ttf", font.readAll());
    }
    // A compact mode with the texts' keys.
    QString Write(const QByteArray& keys)
    {
        skin.Ini("[Pulsmir2_Skin]\nSkinName=Text\nWinNT=1\n[Pulsmir2_SkinS]\nEnable=1\nBg=bg.png\n" +
                 keys);
        return skin.IniPath();
    }
};

const QByteArray TwoTexts = "Text1=gpu.name\nText1X=4\nText1Y=2\nText1W=112\nText1H=16\n"
                            "Text1Font=sans.ttf\nText1Size=11\nText1Color=#E0F0A0\n"
                            "Text2=gpu.temp\nText2X=4\nText2Y=18\nText2W=112\nText2H=16\n"
                            "Text2Font=sans.ttf\nText2Size=12\nText2Format=%.1f \xc2\xb0" "C\n";

} // namespace

TEST(TextFormat, TakesNumbersAndStringsAndNothingElse)
{
    EXPECT_EQ(FormatSkinText("%d %%", 42.0), "42 %");
    EXPECT_EQ(FormatSkinText("%.1f GHz", 3.0), "3.0 GHz");
    EXPECT_EQ(FormatSkinText("[%-4d|%05.1f]", 7.0), std::nullopt); // one conversion at most
    EXPECT_EQ(FormatSkinText("[%-4d]", 7.0), "[7   ]");
    EXPECT_EQ(FormatSkinText("%06.2f", -2.5), "-02.50");
    EXPECT_EQ(FormatSkinText("%s!", QStringLiteral("host")), "host!");
    EXPECT_EQ(FormatSkinText("%.3s", QStringLiteral("kernel")), "ker");
    EXPECT_EQ(FormatSkinText("%s rpm", 1200.4), "1200 rpm");
    EXPECT_EQ(FormatSkinText("%d", QStringLiteral("host")), std::nullopt);
    for (const char* bad : {"%n", "%x", "%", "%65d", "%.10f", "%*d", "%ld", "%s%s"})
        EXPECT_EQ(FormatSkinText(QString::fromLatin1(bad), 1.0), std::nullopt) << bad;
}

TEST(TextElements, GoldenFramePerAlignment)
{
    if (!QFileInfo(DejaVu).isFile())
        GTEST_SKIP() << "DejaVu Sans is not installed";
    for (const char* align : {"left", "center", "right"}) {
        TextSkin f;
        const QString ini = f.Write(TwoTexts + "Text1Align=" + align + "\nText2Align=" + align + "\n");
        const QString out = f.folder.File("out.png");
        QString text;
        QTextStream stream(&text);
        // The name is too long for its box and ends in an ellipsis.
        ASSERT_EQ(RunSkinTool({"render", ini, "--mode", "compact", "-o", out, "--set",
                               "gpu.name=AMD Radeon RX 6600 XT (navi23)", "--set",
                               "GpuTemperature=61"},
                              stream, stream),
                  0)
            << qPrintable(text);
        const QString golden = Fixtures + "golden_text_" + align + ".png";
        if (qEnvironmentVariableIntValue("PULSMIR_UPDATE_GOLDEN") == 1) {
            QFile::remove(golden);
            ASSERT_TRUE(QFile::copy(out, golden));
        }
        QFile expected(golden), drawn(out);
        ASSERT_TRUE(expected.open(QIODevice::ReadOnly) && drawn.open(QIODevice::ReadOnly));
        EXPECT_TRUE(DecodePng(drawn.readAll()) == DecodePng(expected.readAll())) << align;
    }
}

TEST(TextElements, AreDrawnAgainOnlyWhenTheirLineChanges)
{
    TextSkin f;
    TSkinSystem skin;
    ASSERT_TRUE(skin.LoadSkin(f.Write(TwoTexts + "MissingText=n/a\n")));
    TSkinRenderer renderer;
    SkinRenderInputs in;
    Bitmap24 surface(120, 36);
    renderer.RenderSkin(skin, in, surface);
    EXPECT_EQ(TSkinRenderer::TextLine(skin.Compact, skin.Compact.Texts[1], in), "n/a");
    EXPECT_TRUE(renderer.RenderSkin(skin, in, surface).empty());
    in.GpuTemperature = 70;
    EXPECT_EQ(TSkinRenderer::TextLine(skin.Compact, skin.Compact.Texts[1], in), "70.0 \u00b0C");
    const std::vector<QRect> changed = renderer.RenderSkin(skin, in, surface);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], QRect(4, 18, 112, 16));
    EXPECT_TRUE(renderer.RenderSkin(skin, in, surface).empty());
}

TEST(TextElements, KeysAndFontsAreCheckedByOneRuleForLoaderAndValidator)
{
    TextSkin f;
    const auto fault = [&](const QByteArray& keys) {
        return TSkinSystem::FindSkinFault(f.Write(keys), SkinPlatform::NT, SkinCheck::Pictures)
            .value_or(QString());
    };
    EXPECT_EQ(fault("Text1=cpu\nText1Font=DejaVu Sans\nText1Format=%d %%\n"), "");
    EXPECT_EQ(fault("Text1=proc1.name\nText1Font=No Such Family\n"), ""); // the system's font
    EXPECT_EQ(fault("Text1=gpu.fan\n"), "[Pulsmir2_SkinS] Text1=gpu.fan: no such value");
    EXPECT_EQ(fault("Text3=host\nText3Align=middle\n"),
              "[Pulsmir2_SkinS] Text3Align=middle: not left, center or right");
    EXPECT_EQ(fault("Text1=host\nText1Format=%d\n"),
              "[Pulsmir2_SkinS] Text1Format=%d: not a format of a string");
    EXPECT_EQ(fault("Text1=fan\nText1Size=300\n"), "[Pulsmir2_SkinS] Text1Size=300: size outside 4..256");
    EXPECT_EQ(fault("Text1=host\nText1Font=gone.ttf\n"), "gone.ttf: font file not found");

    // Outside input: a font of the skin's folder that is huge, no font, or a pipe.
    f.folder.Write("Skin/Test/garbage.ttf", QByteArray(2000, 'x'));
    QFile huge(f.folder.File("Skin/Test/huge.ttf"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(SkinTypeface::MaxFileSize + 1));
    huge.close();
    ASSERT_EQ(mkfifo(qPrintable(f.folder.File("Skin/Test/pipe.ttf")), 0600), 0);
    for (const char* file : {"garbage.ttf", "huge.ttf", "pipe.ttf"}) {
        const QByteArray keys = QByteArray("Text2=host\nText2Font=") + file + "\n";
        const QString why = fault(keys);
        EXPECT_TRUE(why.contains(QLatin1String(file))) << file << ": " << qPrintable(why);
        TSkinSystem skin;
        EXPECT_FALSE(skin.LoadSkin(f.Write(keys))) << file;
    }
}

TEST(TextElements, ASkinAsksForTheReadingsItsElementsAndTextsShow)
{
    TextSkin f;
    TSkinSystem skin;
    const auto shows = [&](const QByteArray& keys) {
        EXPECT_TRUE(skin.LoadSkin(f.Write(keys))) << keys.constData();
        return std::array{ShowsSensors(skin), ShowsGpu(skin), ShowsFan(skin), ShowsProcesses(skin)};
    };
    using A = std::array<bool, 4>;
    EXPECT_EQ(shows("Text1=host\n"), (A{false, false, false, false}));
    EXPECT_EQ(shows("Text1=temp\n"), (A{true, false, false, false}));
    EXPECT_EQ(shows("Text8=gpu.name\n"), (A{false, true, false, false}));
    EXPECT_EQ(shows("Text2=fan\n"), (A{false, false, true, false}));
    EXPECT_EQ(shows("Text3=proc3.share\n"), (A{false, false, false, true}));
    EXPECT_EQ(shows("GPUTMPValSW=1\n"), (A{false, true, false, false}));
}
