#include "core/CpuUsage.h"

#include "core/FreeSystemResources.h"
#include "core/PerfError.h"
#include "doubles/FakeSystem.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t Second = 10000000;

} // namespace

TEST(CpuUsage, NtMethodTakesIdleAgainstTimeOfDayPerProcessor)
{
    FakeSystemInfo system;
    system.Processors = 4;
    TCpuUsage usage(system, nullptr);
    ASSERT_TRUE(usage.UsesNtDll());
    EXPECT_EQ(usage.ProcessorCount(), 4);

    system.Now = 100 * Second;
    system.Idle = 7 * Second;
    EXPECT_EQ(usage.GetUsage(), 0); // no previous reading
    system.Now += Second;
    system.Idle += 3 * Second - Second / 200; // 3.005 idle processors of 4
    EXPECT_EQ(usage.GetUsage(), 25);          // 24.875 rounds to 25
    system.Now += Second;
    system.Idle += 4 * Second + Second / 10; // jitter: more idle than there was time
    EXPECT_EQ(usage.GetUsage(), 0);          // not 255
    EXPECT_EQ(usage.GetUsage(), 0);          // no time passed
    usage.Reset();
    system.Now += Second;
    EXPECT_EQ(usage.GetUsage(), 0); // a reset forgets the previous reading
}

TEST(CpuUsage, WithoutNtDllTheWin9xStatisticIsStartedOnceAndRead)
{
    FakeSystemInfo system;
    system.NtDll = false;
    FakeDynStats dyn;
    {
        TCpuUsage usage(system, &dyn);
        EXPECT_FALSE(usage.UsesNtDll());
        dyn.FailOpen = true;
        EXPECT_EQ(usage.GetUsage(), 0);
        EXPECT_TRUE(dyn.Started.isEmpty());
        dyn.FailOpen = false;
        dyn.Values["KERNEL\\CPUUsage"] = 37;
        EXPECT_EQ(usage.GetUsage(), 37);
        EXPECT_EQ(usage.GetUsage(), 37);
        EXPECT_EQ(dyn.Started, QStringList({"KERNEL\\CPUUsage"}));
    }
    // Destruction stops the statistic it started.
    ASSERT_FALSE(dyn.Opens.empty());
    EXPECT_EQ(dyn.Opens.back(), DynStats::Key::StopStat);
}

TEST(FreeSystemResources, GivesThePercentagesOrNamesTheStepThatFailed)
{
    FakeFreeResources resources;
    const TFreeResources free = GetFreeResources(resources);
    EXPECT_EQ(free.System, 80);
    EXPECT_EQ(free.Gdi, 70);
    EXPECT_EQ(free.User, 60);
    const std::pair<FreeResources::Step, const char*> failures[] = {
        {FreeResources::Step::UserLibrary, "Faild to call User.exe"},
        {FreeResources::Step::Function, "Faild to call function"},
        {FreeResources::Step::Kernel32, "Faild to call Kernel32.dll"},
        {FreeResources::Step::QtThunk, "Faild to call QT_Thunk"}};
    for (const auto& [step, message] : failures) {
        resources.LoadResult = step;
        try {
            GetFreeResources(resources);
            ADD_FAILURE() << message;
        } catch (const EPerfError& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }
}
