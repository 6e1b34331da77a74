// The table of element kinds: every row is read and checked by its prefix alone.
#include "skin/SkinElements.h"
#include "skin/SkinSystem.h"
#include "unit/skin/SkinTestFiles.h"

#include <gtest/gtest.h>

namespace {

int ReadX(const TSkinSystem& skin, const SkinElementRow& row)
{
    const std::size_t i = std::size_t(row.Index);
    switch (row.Kind) {
    case SkinElementKind::Meter:
        return skin.Compact.Meters[i].X;
    case SkinElementKind::Lamp:
        return skin.Compact.Lamps[i].X;
    case SkinElementKind::Readout:
        return skin.Compact.Readouts[i].X;
    case SkinElementKind::Graph:
        return skin.Full.Graphs[i].X;
    case SkinElementKind::Text:
        return skin.Compact.Texts[i].X;
    }
    return -1;
}

} // namespace

TEST(SkinElements, EveryRowIsReadAndCheckedByItsPrefix)
{
    TempProgramFolder folder;
    TestSkin skin(folder);
    skin.Image("bg.png", SolidBitmap(40, 30, 0));
    skin.Image("e.png", SolidBitmap(2, 8, 0));
    const QByteArray identity = "[Pulsmir2_Skin]\nSkinName=Rows\nWinNT=1\n";
    for (const SkinElementRow& row : SkinElements()) {
        const QByteArray p = row.Prefix;
        const bool graph = row.Kind == SkinElementKind::Graph;
        const QByteArray mode =
            QByteArray(graph ? "[Pulsmir2_SkinL]" : "[Pulsmir2_SkinS]") + "\nEnable=1\nBg=bg.png\n";
        const bool text = row.Kind == SkinElementKind::Text;
        const QByteArray keys = row.Kind == SkinElementKind::Readout ? p + "ValSW=1\n" + p + "ValX=7\n"
                                : graph ? p + "SW=1\n" + p + "X=7\n" + p + "Color=#010203\n"
                                : text  ? p + "=gpu.name\n" + p + "X=7\n"
                                        : p + "=e.png\n" + p + "X=7\n";
        skin.Ini(identity + mode + keys);
        TSkinSystem model;
        ASSERT_TRUE(model.LoadSkin(skin.IniPath())) << p.constData();
        EXPECT_EQ(ReadX(model, row), 7) << p.constData();

        const QByteArray broken = graph                                  ? p + "SW=1\n"
                                  : row.Kind == SkinElementKind::Readout ? QByteArray()
                                  : text                                 ? p + "=gone\n"
                                                                         : p + "=gone.png\n";
        if (broken.isEmpty())
            continue;
        skin.Ini(identity + mode + broken);
        const QString fault =
            TSkinSystem::FindSkinFault(skin.IniPath(), SkinPlatform::NT).value_or(QString());
        EXPECT_TRUE(fault.contains(QString::fromLatin1(p))) << p.constData() << " " << qPrintable(fault);
    }
}

TEST(SkinElements, EveryElementOfTheModelHasOneRowAndADrawingPlace)
{
    std::vector<int> ranks;
    for (const SkinElementRow* row : SkinElementsByDrawRank())
        ranks.push_back(row->DrawRank);
    EXPECT_EQ(ranks.size(),
              std::size_t(MeterCount) + LampCount + ReadoutCount + GraphCount + TextCount);
    for (std::size_t i = 0; i < ranks.size(); ++i)
        EXPECT_EQ(ranks[i], int(i));
    EXPECT_STREQ(SkinElementOf(SkinElementKind::Lamp, LampBATCHG).Prefix, "BATCHG");
}
