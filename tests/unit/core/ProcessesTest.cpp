// The busiest processes: fixture trees read through the real /proc reader, the shares between
// two snapshots, a real busy child on this machine, and the sampler's thread.
#include "core/ProcessSampler.h"
#include "platform/linux/ProcProcesses.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/TempProgramFolder.h"
#include "support/TestApplication.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray StatLine(int pid, const QByteArray& name, int utime, int stime, int start)
{
    return QByteArray::number(pid) + " (" + name + ") S 1 1 1 0 -1 4194560 100 0 0 0 " +
           QByteArray::number(utime) + ' ' + QByteArray::number(stime) + " 0 0 20 0 1 0 " +
           QByteArray::number(start) + " 1000 200 18446744073709551615 0 0 0 0\n";
}

ProcessTimes Process(int pid, std::uint64_t start, std::uint64_t ticks, const char* name = "p")
{
    return {pid, start, ticks, name};
}

} // namespace

TEST(ProcProcesses, ReadsEveryNameAsItIsAndNothingThatIsNoProcesssStat)
{
    TempProgramFolder proc;
    proc.Write("stat", "cpu  100 0 50 800 10 0 0 0 0 0\ncpu0 50 0 25 400 5 0 0 0 0 0\n"
                       "cpu1 50 0 25 400 5 0 0 0 0 0\nintr 1\n");
    proc.Write("1/stat", StatLine(1, "systemd", 30, 12, 2));
    proc.Write("42/stat", StatLine(42, "a) (b\nc ", 7, 3, 900));
    proc.Write("7/stat", StatLine(7, "huge", 1, 1, 3) + QByteArray(5000, ' '));
    proc.Write("9/stat", "");
    QFile::remove(proc.File("9/stat"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(proc.File("9/stat")).constData(), 0600), 0);
    proc.Write("12/status", "Name:\tgone\n"); // ended between the listing and the read
    proc.Write("100/stat", "100 (no end S 1 1 1 0 -1 0 0 0 0 0 5 5 0 0 20 0 1 0 7\n");
    proc.Write("self/stat", StatLine(1, "systemd", 30, 12, 2));

    // A read that blocks would never end: it runs where the test can give up on it.
    struct Outcome
    {
        std::atomic<bool> Done{false};
        ProcessSnapshot Snapshot;
    };
    const auto outcome = std::make_shared<Outcome>();
    const QString root = proc.Path();
    std::thread([outcome, root] {
        ProcProcesses(root).Read(outcome->Snapshot);
        outcome->Done = true;
    }).detach();
    ASSERT_TRUE(RunUntil([&] { return outcome->Done.load(); }, 20000)) << "a read blocks";
    const ProcessSnapshot& snapshot = outcome->Snapshot;
    ASSERT_EQ(snapshot.Processes.size(), 2u);
    EXPECT_EQ(snapshot.Processes[0].Pid, 1);
    EXPECT_EQ(snapshot.Processes[0].Name, "systemd");
    EXPECT_EQ(snapshot.Processes[0].CpuTicks, 42u);
    EXPECT_EQ(snapshot.Processes[1].Pid, 42);
    EXPECT_EQ(snapshot.Processes[1].Name, "a) (b\nc ");
    EXPECT_EQ(snapshot.Processes[1].CpuTicks, 10u);
    EXPECT_EQ(snapshot.Processes[1].StartTicks, 900u);
    EXPECT_EQ(snapshot.MachineTicks, 960u);
    EXPECT_EQ(snapshot.Processors, 2);
}

TEST(ProcessShares, BusiestFirstOverThePeriodWithReusedPidsAsNewProcesses)
{
    ProcessSnapshot before;
    before.Processes = {Process(1, 5, 100), Process(2, 6, 50), Process(3, 7, 10), Process(4, 8, 20)};
    before.MachineTicks = 1000;
    before.TakenMs = 5000;
    ProcessSnapshot after;
    // 4 ended; 2 is another process now, and 5 is new: all their time is the period's.
    after.Processes = {Process(1, 5, 130, "one"), Process(2, 99, 40, "two"), Process(3, 7, 10),
                       Process(5, 100, 30, "five")};
    after.MachineTicks = 1200;
    after.TakenMs = 6000;
    after.Processors = 2;
    const std::vector<ProcessShare> expected = {{"two", 2, 20}, {"one", 1, 15}, {"five", 5, 15}};
    EXPECT_EQ(TProcessShares::Between(before, after, 3), expected);

    // Without the machine's count, the time passed on each processor: 1 s of 100 ticks twice.
    before.MachineTicks = after.MachineTicks = 0;
    EXPECT_EQ(TProcessShares::Between(before, after, 10).back().Pid, 3);
    after.TakenMs = before.TakenMs;
    EXPECT_TRUE(TProcessShares::Between(before, after, 3).empty());
}

namespace {

// A child that keeps every processor busy under a name of a hostile shape, killed at the end.
// It runs four threads a processor, so that it stays the busiest even beside the other tests
// and builds of a loaded machine, which take at most a processor each.
class BusyChild
{
public:
    static constexpr const char* Name = "spin) (x\ny";

    [[noreturn]] static void Spin()
    {
        for (std::atomic<unsigned> n = 0;; n.fetch_add(1, std::memory_order_relaxed)) {
        }
    }

    BusyChild()
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_NAME, Name);
            for (unsigned i = 1; i < 4 * std::max(2u, std::thread::hardware_concurrency()); ++i)
                std::thread(Spin).detach();
            (void)!::write(ready[1], "x", 1);
            Spin();
        }
        char byte = 0;
        ::close(ready[1]);
        if (m_pid > 0 && ::read(ready[0], &byte, 1) != 1)
            m_pid = -1;
        ::close(ready[0]);
    }
    ~BusyChild()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    int Pid() const { return m_pid; }

private:
    int m_pid = -1;
};

} // namespace

TEST(ProcessShares, ABusyChildComesFirstOnThisMachine)
{
    BusyChild child;
    ASSERT_GT(child.Pid(), 0);
    ProcProcesses proc;
    TProcessShares shares;
    EXPECT_FALSE(shares.Next(proc, 5).has_value());
    QThread::msleep(1000);
    const auto busiest = shares.Next(proc, 5);
    ASSERT_TRUE(busiest && !busiest->empty());
    EXPECT_EQ(busiest->front().Pid, child.Pid());
    EXPECT_EQ(busiest->front().Name, BusyChild::Name);
    EXPECT_GT(busiest->front().Percent, 0);
    EXPECT_LE(busiest->front().Percent, 100);
}

namespace {

// One worker that takes half the machine's time between reads; a read may be made to hang.
class ScriptedProcesses : public ProcessSource
{
public:
    void Read(ProcessSnapshot& snapshot) override
    {
        while (Hangs) // a file system standing in for /proc that stopped answering
            QThread::msleep(10);
        const int n = ++Reads;
        snapshot.Processes = {{10, 1, std::uint64_t(50 * n), "worker"}};
        snapshot.MachineTicks = std::uint64_t(100 * n);
    }

    std::atomic<int> Reads{0};
    std::atomic<bool> Hangs{false};
    std::shared_ptr<int> Alive = std::make_shared<int>(); // gone with the source
};

} // namespace

TEST(ProcessSampler, SamplesThatCostMoreThanTheirBudgetAreSpacedFurther)
{
    EXPECT_EQ(TProcessSampler::IntervalAfterMs(600), 1000);  // 500 processes, a light machine
    EXPECT_EQ(TProcessSampler::IntervalAfterMs(3600), 2400); // 500 processes, a busy one
}

TEST(ProcessSampler, HandsSharesToItsOwnersThreadOnlyWhileStarted)
{
    EnsureApplication();
    auto owned = std::make_unique<ScriptedProcesses>();
    ScriptedProcesses& source = *owned;
    TProcessSampler sampler(std::move(owned), TaggedLog());
    int samples = 0;
    bool onOwnersThread = true;
    sampler.OnSample = [&] {
        onOwnersThread = onOwnersThread && QThread::currentThread() == qApp->thread();
        ++samples;
    };
    EXPECT_TRUE(sampler.Latest().empty());
    const auto threads = [] { return QDir(QStringLiteral("/proc/self/task")).count(); };
    const auto before = threads();
    sampler.Start();
    ASSERT_TRUE(RunUntil([&] { return samples > 0; }, 10000));
    EXPECT_TRUE(onOwnersThread);
    EXPECT_EQ(sampler.Latest(), (std::vector<ProcessShare>{{"worker", 10, 50}}));

    sampler.Stop();
    EXPECT_TRUE(sampler.Latest().empty());
    const int reads = source.Reads;
    RunUntil([] { return false; }, 2500);
    EXPECT_LE(source.Reads, reads + 1) << "read while stopped";
    EXPECT_EQ(samples, 1);
    // Stopped, nothing of it runs; started again, it reads again.
    EXPECT_EQ(threads(), before);
    sampler.Start();
    EXPECT_TRUE(RunUntil([&] { return samples > 1; }, 10000));
}

TEST(ProcessSampler, AReadThatNeverEndsHoldsUpNeitherAStatusRunNorTheOwner)
{
    EnsureApplication();
    auto owned = std::make_unique<ScriptedProcesses>();
    ScriptedProcesses& source = *owned;
    const std::weak_ptr<int> alive = source.Alive;
    source.Hangs = true;
    {
        TProcessSampler sampler(std::move(owned), TaggedLog());
        sampler.Start();
        EXPECT_FALSE(sampler.WaitForSample(200));
        EXPECT_TRUE(sampler.Latest().empty());
    } // the sampler goes without waiting for the read
    EXPECT_FALSE(alive.expired());
    source.Hangs = false;
    EXPECT_TRUE(RunUntil([&] { return alive.expired(); }, 10000));
}
