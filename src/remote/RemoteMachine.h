#pragma once

#include "platform/Gpus.h"
#include "platform/HttpFetch.h"
#include "platform/MachineSource.h"
#include "remote/CounterContinuity.h"
#include "remote/ExpositionText.h"
#include "remote/FigureTimeline.h"
#include "remote/RateCounters.h"
#include "remote/RemoteSensors.h"

#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <time.h>

// Another machine's figures from its node_exporter, in the same readers as this machine's. The
// core's queries answer at once from the replies that came (the counters along the line between
// the last two, see FigureTimeline); each query also asks for the next reply when it is due, so
// the exporter is asked once per sampling period, one request at a time. When the machine is gone
// its figures are missing, and it is asked again after a pause that doubles from FirstRetryMs up to
// MaxRetryMs.
//
// An address "prometheus+http://server:9090/?job=node&instance=nas:9100" names a Prometheus
// server instead: each period it is asked one instant query per input, one after another, and
// the answers become counters (see RateCounters). A parameter named after an input ("cpu",
// "memory", "swap", "diskread", "diskwrite", "netin", "netout", "temperature") is the user's own
// query for it, in place of the one over the job's and instance's node_exporter series.
class RemoteMachine : public MachineSource
{
public:
    // Asked once a period on average, however the window's ticks fall around it, and never
    // two requests closer than a period less EarlyTickMs: by default once a second, never twice
    // within MinRequestGapMs.
    static constexpr int DefaultPeriodMs = 1000;
    static constexpr int EarlyTickMs = 100;
    static constexpr int MinRequestGapMs = DefaultPeriodMs - EarlyTickMs;
    static constexpr int FirstRetryMs = 1000;
    static constexpr int MaxRetryMs = 30000;

    // `clockMs` tells the time in milliseconds (tests pass their own); the default is the
    // monotonic clock.
    RemoteMachine(QString url, std::unique_ptr<HttpFetch> fetch,
                  std::function<void(const QString&)> log, std::function<qint64()> clockMs = {});
    ~RemoteMachine() override;

    PerfDataSource& PerfSource() override;
    SystemInfo& System() override;
    IfTable& Interfaces() override;
    std::unique_ptr<SensorSource> MakeSensors() override;
    // Its cards are not among what the exporter's figures give.
    std::unique_ptr<GpuSource> MakeGpus() override { return nullptr; }
    QString RemoteName() const override { return m_name; }
    bool ThroughQueries() const { return !m_queryBase.isEmpty(); }
    QString Failure() const override;
    QStringList InputsWithoutData() const override { return m_withoutData; }
    bool NoInputHasData() const override;

    // The user's period between two requests (a longer one spares a busy server), at least
    // DefaultPeriodMs.
    void AskEvery(int periodMs);
    // Asks for the next reply when one is due and none is under way.
    void Poll();
    // Waits, turning the event loop, for the first two replies (the core takes its first rates
    // from the second), for a failure or answers without data, or until `ms` pass. Returns
    // whether figures came.
    bool WaitForFigures(int ms);

    // The last reply's figures, null while there are none.
    const NodeExporterFigures* Figures() const
    {
        return m_timeline.Empty() ? nullptr : &m_timeline.Latest();
    }
    // The counters as they stand now on the line between the replies, and the moment they
    // stand for on the clocks of the performance data.
    const NodeExporterFigures& CountersNow(timespec& wall, timespec& monotonic);

private:
    class RemotePerf;
    class RemoteSystem;
    class RemoteIfTable;

    void Take(const HttpReply& reply);
    void TakeAnswer(const HttpReply& reply);
    void AskNext();
    void Show(NodeExporterFigures figures);
    void Reached();
    void Lose(const QString& reason);
    void PlanNextRequest(qint64 now);

    QString m_url;
    QString m_name;
    std::function<void(const QString&)> m_log;
    ExpositionSamples m_samples;
    CounterContinuity m_continuity;
    FigureTimeline m_timeline;
    std::shared_ptr<RemoteSensorFigures> m_sensorFigures = std::make_shared<RemoteSensorFigures>();
    QString m_failure;
    // Its processors, disks and interfaces as the last reply named them (empty before the
    // first), and how often they changed.
    QStringList m_inventory;
    std::uint32_t m_inventoryRevision = 0;
    // Through a server's queries: their table (empty for an exporter), the next one this
    // period asks, its answers so far, and when the last period ended.
    QueryTable m_queries;
    QString m_queryBase;
    std::size_t m_nextQuery = QueryInputCount;
    RateCounters::Answers m_answers;
    QStringList m_withoutData; // the inputs whose last answers matched nothing
    RateCounters m_rates;
    std::optional<qint64> m_lastPeriodAt;
    int m_retryMs = FirstRetryMs;
    int m_periodMs = DefaultPeriodMs;
    QElapsedTimer m_elapsed;
    std::function<qint64()> m_clockMs;
    // The clock's reading when it was made, and the system's clocks at that moment.
    qint64 m_originMs = 0;
    timespec m_originWall{};
    timespec m_originMonotonic{};
    qint64 m_nextRequestAt = 0;
    std::unique_ptr<RemotePerf> m_perf;
    std::unique_ptr<RemoteSystem> m_system;
    std::unique_ptr<RemoteIfTable> m_interfaces;
    // Last, so it goes first: a reply still coming is dropped with it.
    std::unique_ptr<HttpFetch> m_fetch;
};

// The window's source of figures: this machine for an empty address, otherwise the
// node_exporter at `url` fetched with `options`, once its first reply came or its deadline passed.
// The first two replies come a default period apart, so that rates show at once; the later ones
// every `periodMs`.
std::unique_ptr<MachineSource> MakeMachineSource(const QString& url,
                                                 const HttpFetchOptions& options,
                                                 std::function<void(const QString&)> log,
                                                 int periodMs = RemoteMachine::DefaultPeriodMs);
