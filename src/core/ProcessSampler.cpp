#include "core/ProcessSampler.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The processor time this thread has taken, in microseconds.
std::int64_t ThreadCpuUs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

} // namespace

struct TProcessSampler::Shared
{
    std::unique_ptr<ProcessSource> Source;
    std::mutex Lock;
    std::condition_variable Wake;
    std::condition_variable Sampled;
    // Under Lock from here on.
    QObject* Owner = nullptr; // the sampler; none once it is gone, and the thread ends
    bool Running = false;
    bool ThreadAlive = false; // a thread runs, or is finishing its last read
    bool Restart = false; // the snapshot before a Stop is no start for a period after it
    // At most one read an interval, however often the sampler is started and stopped.
    std::optional<Clock::time_point> LastRead;
    std::chrono::milliseconds Interval{IntervalMs};
    std::vector<ProcessShare> Latest;
    std::uint64_t Samples = 0; // numbers the samples, never reset
};

TProcessSampler::TProcessSampler(std::unique_ptr<ProcessSource> source, TaggedLog log)
    : m_shared(std::make_shared<Shared>()), m_log(std::move(log))
{
    m_shared->Source = std::move(source);
    m_shared->Owner = this;
}

TProcessSampler::~TProcessSampler()
{
    {
        std::scoped_lock lock(m_shared->Lock);
        m_shared->Owner = nullptr;
    }
    m_shared->Wake.notify_all();
}

void TProcessSampler::Start()
{
    if (m_running)
        return;
    bool spawn = false;
    {
        std::scoped_lock lock(m_shared->Lock);
        m_shared->Running = true;
        m_shared->Restart = true;
        m_startedAt = m_shared->Samples;
        spawn = !std::exchange(m_shared->ThreadAlive, true);
    }
    m_running = true;
    m_shared->Wake.notify_all();
    if (!spawn)
        return;
    try {
        std::thread(&TProcessSampler::Run, m_shared).detach();
    } catch (const std::system_error& e) {
        std::scoped_lock lock(m_shared->Lock);
        m_shared->ThreadAlive = false;
        m_log(QStringLiteral("<WARNING>Processes not read : ") + QString::fromLocal8Bit(e.what()));
    }
}

void TProcessSampler::Stop()
{
    {
        std::scoped_lock lock(m_shared->Lock);
        m_shared->Running = false;
    }
    m_running = false;
    m_latest.clear();
}

bool TProcessSampler::WaitForSample(int timeoutMs)
{
    Shared& s = *m_shared;
    std::unique_lock lock(s.Lock);
    const auto sampled = [&] { return s.Samples > m_startedAt; };
    if (!m_waited && m_running)
        s.Sampled.wait_for(lock, std::chrono::milliseconds(timeoutMs), sampled);
    m_waited = true; // once: reads that never end cost the run one timeout in all
    if (!m_running || !sampled())
        return false;
    if (s.Samples != m_generation) {
        m_latest = s.Latest;
        m_generation = s.Samples;
    }
    return true;
}

void TProcessSampler::Run(std::shared_ptr<Shared> shared)
{
    Shared& s = *shared;
    TProcessShares shares;
    std::unique_lock lock(s.Lock);
    // Stopped, the thread ends, so that nothing of the sampler stays but its object; a Start
    // while it finishes its last read finds it still there.
    while (s.Owner && s.Running) {
        if (s.LastRead && Clock::now() < *s.LastRead + s.Interval) {
            s.Wake.wait_until(lock, *s.LastRead + s.Interval,
                              [&] { return !s.Owner || !s.Running; });
            continue;
        }
        if (std::exchange(s.Restart, false))
            shares.Reset();
        s.LastRead = Clock::now();
        lock.unlock();
        const std::int64_t before = ThreadCpuUs();
        std::optional<std::vector<ProcessShare>> busiest = shares.Next(*s.Source, Kept);
        const std::int64_t cost = ThreadCpuUs() - before;
        lock.lock();
        s.Interval = std::chrono::milliseconds(IntervalAfterMs(cost));
        if (!busiest || !s.Running || s.Restart)
            continue;
        s.Latest = std::move(*busiest);
        const std::uint64_t number = ++s.Samples;
        s.Sampled.notify_all();
        if (s.Owner) {
            auto* owner = static_cast<TProcessSampler*>(s.Owner);
            QMetaObject::invokeMethod(
                owner, [owner, sample = s.Latest, number] { owner->Take(sample, number); },
                Qt::QueuedConnection);
        }
    }
    s.ThreadAlive = false;
}

void TProcessSampler::Take(std::vector<ProcessShare> sample, std::uint64_t number)
{
    // A sample from before a Stop, or one WaitForSample took already, is not shown.
    if (!m_running || number <= m_startedAt || number <= m_generation)
        return;
    m_latest = std::move(sample);
    m_generation = number;
    if (OnSample)
        OnSample();
}
