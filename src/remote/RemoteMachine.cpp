#include "remote/RemoteMachine.h"

#include "platform/linux/LocalMachine.h"
#include "platform/linux/MachineRecords.h"

#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

using namespace MachineRecords;

namespace {

constexpr std::uint64_t RemoteTickTo100Ns =
    static_cast<std::uint64_t>(10000000 / NodeExporterFigures::TicksPerSecond);

// Beyond the requests' own deadlines, for their replies to come through the event loop.
constexpr int FirstReplyGraceMs = 200;
constexpr int WaitStepMs = 50;

constexpr QLatin1StringView QueryScheme("prometheus+");
// The address's parameters that name the user's own queries, in the inputs' order.
constexpr std::array<const char*, QueryInputCount> QueryKeys = {
    "cpu", "memory", "swap", "diskread", "diskwrite", "netin", "netout", "temperature"};

// What the core takes in when it starts: the number of processors, the disks and interfaces by
// name, and which of the interfaces carry the machine's talk with itself.
QStringList InventoryOf(const NodeExporterFigures& figures)
{
    QStringList inventory{QString::number(figures.Cpus.size())};
    for (const DiskStats& disk : figures.Disks)
        inventory << QStringLiteral("disk ") + QLatin1String(disk.Name);
    for (const NetDevStats& net : figures.Interfaces)
        inventory << QStringLiteral("net ") + QLatin1String(net.Name);
    for (const QString& name : figures.Loopback)
        inventory << QStringLiteral("loopback ") + name;
    return inventory;
}

} // namespace

class RemoteMachine::RemotePerf : public PerfDataSource
{
public:
    explicit RemotePerf(RemoteMachine& machine)
        : m_machine(machine), m_systemName(machine.m_name.toUpper().toStdU16String())
    {}

    long Query(const QString& valueName, std::byte* buffer, std::uint32_t& size) override
    {
        m_machine.Poll();
        timespec wall{}, monotonic{};
        clock_gettime(CLOCK_REALTIME, &wall);
        clock_gettime(CLOCK_MONOTONIC, &monotonic);
        const NodeExporterFigures* figures =
            m_machine.Figures() ? &m_machine.CountersNow(wall, monotonic) : nullptr;
        PerfBlockWriter writer(buffer, size);
        BeginGlobalBlock(writer, wall, monotonic, m_systemName);
        // Without a reply the objects are left out, as a local file that cannot be read is.
        if (figures && Wanted(valueName, ProcessorIndex) && !figures->Cpus.empty())
            WriteProcessors(writer, figures->Total, figures->Cpus, RemoteTickTo100Ns);
        if (figures && Wanted(valueName, PhysicalDiskIndex))
            WriteDisks(writer, figures->Disks);
        if (figures && Wanted(valueName, NetworkInterfaceIndex))
            WriteInterfaces(writer, figures->Interfaces);
        const std::uint32_t length = writer.EndBlock();
        if (!writer.Fits())
            return PerfLayout::ErrorMoreData;
        size = length;
        return PerfLayout::ErrorSuccess;
    }

    QStringList PerflibLocales() override { return {QStringLiteral("009")}; }
    std::optional<QByteArray> TitleTable(const QString& locale, const QString& valueName) override
    {
        return MachineRecords::TitleTable(locale, valueName);
    }
    std::vector<PerfServiceInfo> Services() override { return {}; }
    bool SetCountersDisabled(const QString&, std::uint32_t) override { return false; }
    QStringList LoopbackInterfaces() override
    {
        const NodeExporterFigures* figures = m_machine.Figures();
        return figures ? figures->Loopback : QStringList();
    }
    std::uint32_t InventoryRevision() override { return m_machine.m_inventoryRevision; }

private:
    RemoteMachine& m_machine;
    std::u16string m_systemName;
};

class RemoteMachine::RemoteSystem : public SystemInfo
{
public:
    explicit RemoteSystem(RemoteMachine& machine) : m_machine(machine) {}

    OsVersion Version() override { return {5, 1, 2600, 2}; }
    std::uint32_t NumberOfProcessors() override
    {
        const NodeExporterFigures* figures = m_machine.Figures();
        return figures ? static_cast<std::uint32_t>(figures->Cpus.size()) : 0;
    }
    MemoryStatus GlobalMemoryStatus() override
    {
        m_machine.Poll();
        const NodeExporterFigures* figures = m_machine.Figures();
        return figures && figures->HasMemory ? MemoryStatusOf(figures->Memory) : MemoryStatus();
    }
    bool NtDllAvailable() override { return true; }
    long NtQuerySystemInformation(int infoClass, void* buffer, std::uint32_t length) override
    {
        timespec wall{}, monotonic{};
        const NodeExporterFigures* figures =
            m_machine.Figures() ? &m_machine.CountersNow(wall, monotonic) : nullptr;
        return SystemInformation(infoClass, buffer, length,
                                 figures ? static_cast<std::uint32_t>(figures->Cpus.size()) : 0,
                                 figures ? figures->Total.IdleAll() * RemoteTickTo100Ns : 0);
    }
    // The window's own clock: the core times its sampling by it.
    std::uint32_t TickCount() override { return MonotonicMilliseconds(); }

private:
    RemoteMachine& m_machine;
};

class RemoteMachine::RemoteIfTable : public IfTable
{
public:
    explicit RemoteIfTable(RemoteMachine& machine) : m_machine(machine) {}

    bool Load() override { return m_loaded = true; }
    void Unload() override { m_loaded = false; }
    std::uint32_t GetIfTable(IfLayout::MibIfTable* table, std::uint32_t& size, bool) override
    {
        if (!m_loaded || !m_machine.Figures())
            return IfLayout::ErrorInvalidParameter;
        timespec wall{}, monotonic{};
        const NodeExporterFigures* figures = &m_machine.CountersNow(wall, monotonic);
        return FillIfTable(figures->Interfaces, table, size);
    }

private:
    RemoteMachine& m_machine;
    bool m_loaded = false;
};

RemoteMachine::RemoteMachine(QString url, std::unique_ptr<HttpFetch> fetch,
                             std::function<void(const QString&)> log,
                             std::function<qint64()> clockMs)
    : m_url(std::move(url)), m_name(QUrl(m_url).host()), m_log(std::move(log)),
      m_clockMs(std::move(clockMs)), m_perf(std::make_unique<RemotePerf>(*this)),
      m_system(std::make_unique<RemoteSystem>(*this)),
      m_interfaces(std::make_unique<RemoteIfTable>(*this)), m_fetch(std::move(fetch))
{
    if (!m_clockMs) {
        m_elapsed.start();
        m_clockMs = [this] {
            return m_elapsed.elapsed();
        };
    }
    if (m_url.startsWith(QueryScheme)) {
        QUrl server(m_url.mid(QueryScheme.size()));
        const QUrlQuery parameters(server);
        QueryTable own;
        for (std::size_t i = 0; i < QueryInputCount; ++i)
            own[i] = parameters.queryItemValue(QLatin1String(QueryKeys[i]), QUrl::FullyDecoded);
        const QString instance =
            parameters.queryItemValue(QStringLiteral("instance"), QUrl::FullyDecoded);
        m_queries = Queries(parameters.queryItemValue(QStringLiteral("job"), QUrl::FullyDecoded),
                            instance, own);
        server.setQuery(QString());
        server.setFragment(QString());
        QString base = server.toString();
        while (base.endsWith(u'/'))
            base.chop(1);
        m_queryBase = base;
        if (!instance.isEmpty())
            m_name = instance.section(u':', 0, 0);
    }
    m_originMs = m_clockMs();
    clock_gettime(CLOCK_REALTIME, &m_originWall);
    clock_gettime(CLOCK_MONOTONIC, &m_originMonotonic);
}

RemoteMachine::~RemoteMachine() = default;

PerfDataSource& RemoteMachine::PerfSource()
{
    return *m_perf;
}

SystemInfo& RemoteMachine::System()
{
    return *m_system;
}

IfTable& RemoteMachine::Interfaces()
{
    return *m_interfaces;
}

std::unique_ptr<SensorSource> RemoteMachine::MakeSensors()
{
    return std::make_unique<RemoteSensors>(m_sensorFigures);
}

QString RemoteMachine::Failure() const
{
    return m_failure.isEmpty() ? QString() : QStringLiteral("connection lost (%1)").arg(m_failure);
}

bool RemoteMachine::NoInputHasData() const
{
    return m_withoutData.size() == qsizetype(QueryInputCount);
}

void RemoteMachine::AskEvery(int periodMs)
{
    m_periodMs = std::max(periodMs, DefaultPeriodMs);
}

void RemoteMachine::PlanNextRequest(qint64 now)
{
    // Due a period after this one was due, so that a request that waited for the next tick
    // does not put off every later one; one that went late (after a retry's pause, or from a
    // window that was busy) counts from now.
    m_nextRequestAt = std::max(m_nextRequestAt + m_periodMs, now + m_periodMs - EarlyTickMs);
}

void RemoteMachine::Poll()
{
    const qint64 now = m_clockMs();
    if (ThroughQueries() && m_nextQuery < QueryInputCount) {
        AskNext(); // the rest of a period whose request could not go at once
        return;
    }
    if (m_fetch->Busy() || now < m_nextRequestAt)
        return;
    if (ThroughQueries()) {
        m_nextQuery = 0;
        m_answers = {};
        PlanNextRequest(now);
        AskNext();
        return;
    }
    if (m_fetch->Get(m_url, [this](const HttpReply& reply) { Take(reply); }))
        PlanNextRequest(now);
}

const NodeExporterFigures& RemoteMachine::CountersNow(timespec& wall, timespec& monotonic)
{
    qint64 shownAt = 0;
    const NodeExporterFigures& counters = m_timeline.CountersAt(m_clockMs(), shownAt);
    // Every reply comes after the origin, so the moment is never before it.
    const auto later = [&](const timespec& origin) {
        const qint64 ns = static_cast<qint64>(origin.tv_nsec) + (shownAt - m_originMs) * 1000000;
        timespec t{};
        t.tv_sec = origin.tv_sec + static_cast<time_t>(ns / 1000000000);
        t.tv_nsec = static_cast<long>(ns % 1000000000);
        return t;
    };
    wall = later(m_originWall);
    monotonic = later(m_originMonotonic);
    return counters;
}

bool RemoteMachine::WaitForFigures(int ms)
{
    QEventLoop loop;
    QTimer ask;
    ask.callOnTimeout([&] {
        Poll();
        if (m_timeline.HasSpan() || !m_failure.isEmpty() || NoInputHasData())
            loop.quit();
    });
    ask.start(WaitStepMs);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    Poll();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return Figures() != nullptr;
}

void RemoteMachine::Take(const HttpReply& reply)
{
    if (!reply.Ok()) {
        Lose(reply.Reason);
        return;
    }
    m_samples.Parse(
        std::string_view(reply.Body.constData(), static_cast<size_t>(reply.Body.size())));
    NodeExporterFigures figures = NodeExporterFigures::FromSamples(m_samples);
    if (figures.Cpus.empty() && !figures.HasMemory) {
        Lose(QStringLiteral("no node_exporter figures in the reply"));
        return;
    }
    figures.ContinueCounters(m_continuity);
    Show(std::move(figures));
}

void RemoteMachine::AskNext()
{
    if (m_nextQuery >= QueryInputCount || m_fetch->Busy())
        return;
    const QString url = m_queryBase + QString::fromLatin1(QueryPath(m_queries[m_nextQuery]));
    m_fetch->Get(url, [this](const HttpReply& reply) { TakeAnswer(reply); });
}

void RemoteMachine::TakeAnswer(const HttpReply& reply)
{
    // The API answers a query it refuses with a 400 or 422 and its reason in the body.
    const QueryReply answer = reply.Ok() || reply.Error == HttpReply::Failure::HttpStatus
                                  ? ParseQueryReply(reply.Body)
                                  : QueryReply{};
    if (!answer.Ok) {
        m_nextQuery = QueryInputCount;
        if (!reply.Ok() && (answer.ErrorType == u"reply" || answer.Error.isEmpty()))
            Lose(reply.Reason);
        else
            Lose(answer.Error.isEmpty() ? answer.ErrorType : answer.Error);
        return;
    }
    m_answers[m_nextQuery] = answer.Value();
    if (++m_nextQuery < QueryInputCount) {
        AskNext();
        return;
    }
    const qint64 now = m_clockMs();
    const double seconds = m_lastPeriodAt ? (now - *m_lastPeriodAt) / 1000.0 : 0;
    m_lastPeriodAt = now;
    QStringList withoutData;
    for (std::size_t i = 0; i < QueryInputCount; ++i)
        if (!m_answers[i])
            withoutData << QLatin1String(QueryKeys[i]);
    if (!withoutData.isEmpty() && withoutData != m_withoutData)
        m_log(QStringLiteral("%1: no data for %2")
                  .arg(m_name, withoutData.join(QStringLiteral(", "))));
    m_withoutData = std::move(withoutData);
    NodeExporterFigures figures = m_rates.Advance(m_answers, seconds);
    if (NoInputHasData()) {
        // It answers, with nothing to show: missing figures rather than a row of zeros.
        Reached();
        m_timeline.Clear();
        m_sensorFigures->Lose();
        return;
    }
    Show(std::move(figures));
}

void RemoteMachine::Show(NodeExporterFigures figures)
{
    QStringList inventory = InventoryOf(figures);
    if (inventory != m_inventory) {
        m_inventory = std::move(inventory);
        ++m_inventoryRevision;
    }
    m_timeline.Add(figures, m_clockMs());
    m_sensorFigures->Take(figures);
    Reached();
}

void RemoteMachine::Reached()
{
    if (!m_failure.isEmpty())
        m_log(QStringLiteral("%1: connection back").arg(m_name));
    m_failure.clear();
    m_retryMs = FirstRetryMs;
}

void RemoteMachine::Lose(const QString& reason)
{
    m_timeline.Clear();
    m_sensorFigures->Lose();
    if (m_failure.isEmpty())
        m_log(QStringLiteral("%1: connection lost (%2)").arg(m_name, reason));
    m_failure = reason;
    m_withoutData.clear();
    m_nextRequestAt = m_clockMs() + m_retryMs;
    m_retryMs = std::min(m_retryMs * 2, MaxRetryMs);
}

std::unique_ptr<MachineSource> MakeMachineSource(const QString& url,
                                                 const HttpFetchOptions& options,
                                                 std::function<void(const QString&)> log,
                                                 int periodMs)
{
    if (url.isEmpty())
        return std::make_unique<LocalMachine>();
    log(QStringLiteral("Figures from ") + LoggableUrl(url));
    auto machine = std::make_unique<RemoteMachine>(url, MakeHttpFetch(options), std::move(log));
    // A server's queries go one after another, a period's worth for each reply of an exporter.
    const int requests = machine->ThroughQueries() ? 2 * int(QueryInputCount) : 2;
    machine->WaitForFigures(RemoteMachine::DefaultPeriodMs + requests * options.DeadlineMs +
                            FirstReplyGraceMs);
    machine->AskEvery(periodMs);
    return machine;
}
