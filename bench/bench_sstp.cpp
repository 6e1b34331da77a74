// One SSTP exchange with a local host that answers at once: the client's own CPU time (the
// host runs on a thread of its own and is not counted).
#include "net/FastSstp.h"
#include "support/SstpTestHost.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

void ExchangeWith(benchmark::State& state, bool hostCloses)
{
    SstpTestHost host([hostCloses](const QByteArray&) {
        SstpHostReply reply;
        reply.Bytes = "SSTP/1.4 200 OK\r\nCharset: UTF-8\r\n\r\n";
        reply.Close = hostCloses;
        return reply;
    });
    TFastSstp sstp;
    sstp.SstpSender = QStringLiteral("Pulsmir II");
    sstp.Port = host.Port();
    const QString script = QStringLiteral("\\0\\s[0]Pulsmir is up.\\w8 I'll keep an eye on it.\\e");
    for (auto _ : state) {
        if (sstp.SendScriptNow(script, SstpOption::NoDescript) != TSstpResult::sr200) {
            state.SkipWithError("the host did not answer 200");
            break;
        }
    }
}

void BM_SendExchange_HostCloses(benchmark::State& state)
{
    ExchangeWith(state, true);
}
BENCHMARK(BM_SendExchange_HostCloses)->Unit(benchmark::kMicrosecond);

// Wall time includes the quiet moment that tells a whole reply; the CPU time is what counts.
void BM_SendExchange_HostKeepsOpen(benchmark::State& state)
{
    ExchangeWith(state, false);
}
BENCHMARK(BM_SendExchange_HostKeepsOpen)->Unit(benchmark::kMicrosecond)->Iterations(30);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
