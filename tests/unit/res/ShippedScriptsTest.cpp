#include "platform/ProfileIni.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

// The shipped SSTP master file: every event the program raises finds two or three scripts,
// each a complete script, with the placeholders its event fills in and no others.

namespace {

struct Event
{
    const char* name;
    std::vector<const char*> placeholders;
};

const Event Events[] = {
    {"Start", {}},
    {"ChangeSkin", {"%PMSKIN%"}},
    {"SkinInstall", {"%PMSKIN%"}},
    {"NoSkinA", {"%PMSKIN%"}},
    {"NoSkinB", {"%ASSKIN%", "%PMSKIN%"}},
    {"ChangeModeA", {}},
    {"ChangeModeB", {}},
    {"ChangeModeC", {}},
    {"ChangeFloatA", {}},
    {"ChangeFloatB", {}},
    {"ChangeAlpha", {}},
    {"ChangeAlphaA", {}},
    {"ChangeAlphaB", {}},
    {"PingResultA", {}},
    {"PingResultB", {}},
    {"ShowHelp", {}},
    {"UserExitA", {}},
    {"UserExitB", {}},
    {"UserExitC", {}},
};

} // namespace

TEST(ShippedScripts, EveryEventHasTwoOrThreeCompleteScripts)
{
    const ProfileIni ini(QStringLiteral(PULSMIR_DATA_DIR) + "/sstp.ini");
    for (const Event& event : Events) {
        ASSERT_TRUE(ini.SectionExists(event.name)) << event.name;
        int scripts = 0;
        for (int i = 1; i <= 10; ++i) {
            const QString script = ini.ReadString(event.name, "Type" + QString::number(i), "");
            if (script.isEmpty())
                continue;
            ++scripts;
            EXPECT_TRUE(script.startsWith("\\0") && script.endsWith("\\e"))
                << event.name << " Type" << i;
            for (const char* placeholder : event.placeholders)
                EXPECT_TRUE(script.contains(placeholder, Qt::CaseInsensitive))
                    << event.name << " Type" << i << " lacks " << placeholder;
            for (const char* known : {"%PMSKIN%", "%ASSKIN%"}) {
                const bool expected =
                    std::any_of(event.placeholders.begin(), event.placeholders.end(),
                                [&](const char* p) { return QString(p) == known; });
                if (!expected) {
                    EXPECT_FALSE(script.contains(known, Qt::CaseInsensitive))
                        << event.name << " Type" << i << " has " << known;
                }
            }
        }
        EXPECT_GE(scripts, 2) << event.name;
        EXPECT_LE(scripts, 3) << event.name;
    }
}
