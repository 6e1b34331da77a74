// The cost of another machine's reply, read once a second: a node_exporter reply of a large
// server (64 processors, 24 disks, 32 interfaces, its sensors and file systems, about 260 KiB)
// parsed, and parsed and made into the machine's figures with their counters continued. The
// time of one iteration is the cost per second of watching that machine.
#include "remote/CounterContinuity.h"
#include "remote/ExpositionText.h"
#include "remote/NodeExporterFigures.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::string ServerReply()
{
    std::string text;
    const auto family = [&](const std::string& name, const char* type) {
        text += "# HELP " + name + " A figure of the machine, explained at some length.\n";
        text += "# TYPE " + name + ' ' + type + '\n';
    };
    const auto sample = [&](const std::string& name, const std::string& labels, double value) {
        text += name + '{' + labels + "} " + std::to_string(value) + '\n';
    };
    family("node_cpu_seconds_total", "counter");
    const char* modes[] = {"idle", "iowait", "irq", "nice", "softirq", "steal", "system", "user"};
    for (int cpu = 0; cpu < 64; ++cpu)
        for (const char* mode : modes)
            sample("node_cpu_seconds_total",
                   "cpu=\"" + std::to_string(cpu) + "\",mode=\"" + mode + '"', 123456.78 + cpu);
    for (const char* metric : {"node_cpu_guest_seconds_total", "node_cpu_scaling_frequency_hertz",
                               "node_cpu_frequency_max_hertz", "node_cpu_core_throttles_total"})
        for (int cpu = 0; cpu < 64; ++cpu) {
            if (cpu == 0)
                family(metric, "gauge");
            sample(metric, "cpu=\"" + std::to_string(cpu) + '"', 2.4e9);
        }
    for (const char* metric :
         {"node_disk_read_bytes_total", "node_disk_written_bytes_total",
          "node_disk_reads_completed_total", "node_disk_writes_completed_total",
          "node_disk_io_time_seconds_total", "node_disk_read_time_seconds_total",
          "node_disk_write_time_seconds_total", "node_disk_reads_merged_total",
          "node_disk_writes_merged_total", "node_disk_io_now",
          "node_disk_discards_completed_total"}) {
        family(metric, "counter");
        for (int disk = 0; disk < 24; ++disk)
            sample(metric, "device=\"sd" + std::string(1, char('a' + disk)) + '"', 7.167935488e+09);
    }
    for (const char* metric : {"node_network_receive_bytes_total",
                               "node_network_transmit_bytes_total",
                               "node_network_receive_packets_total",
                               "node_network_transmit_packets_total",
                               "node_network_receive_errs_total",
                               "node_network_transmit_errs_total",
                               "node_network_receive_drop_total",
                               "node_network_transmit_drop_total",
                               "node_network_receive_multicast_total",
                               "node_network_receive_fifo_total",
                               "node_network_transmit_fifo_total",
                               "node_network_receive_frame_total",
                               "node_network_transmit_colls_total",
                               "node_network_transmit_carrier_total",
                               "node_network_mtu_bytes",
                               "node_network_up",
                               "node_network_protocol_type",
                               "node_network_speed_bytes",
                               "node_network_carrier",
                               "node_network_flags"}) {
        family(metric, "counter");
        for (int nic = 0; nic < 32; ++nic)
            sample(metric, "device=\"eth" + std::to_string(nic) + '"', 1.62957457e+08);
    }
    family("node_network_info", "gauge");
    for (int nic = 0; nic < 32; ++nic)
        sample("node_network_info",
               "address=\"02:fc:00:00:00:01\",broadcast=\"ff:ff:ff:ff:ff:ff\",device=\"eth" +
                   std::to_string(nic) + "\",duplex=\"full\",ifalias=\"\",operstate=\"up\"",
               1);
    family("node_hwmon_temp_celsius", "gauge");
    for (int chip = 0; chip < 4; ++chip)
        for (int input = 1; input <= 34; ++input)
            sample("node_hwmon_temp_celsius",
                   "chip=\"platform_coretemp_" + std::to_string(chip) + "\",sensor=\"temp" +
                       std::to_string(input) + '"',
                   45);
    for (const char* metric :
         {"node_filesystem_avail_bytes", "node_filesystem_free_bytes", "node_filesystem_size_bytes",
          "node_filesystem_files", "node_filesystem_files_free", "node_filesystem_readonly",
          "node_filesystem_device_error"}) {
        family(metric, "gauge");
        for (int fs = 0; fs < 40; ++fs)
            sample(metric,
                   "device=\"/dev/sd" + std::to_string(fs) +
                       "\",fstype=\"ext4\",mountpoint=\"/srv/" + std::to_string(fs) + '"',
                   2.70553174016e+11);
    }
    // The rest of an exporter's reply: interrupts, softnet, schedulers, the exporter's own.
    family("node_interrupts_total", "counter");
    for (int irq = 0; irq < 40; ++irq)
        for (int cpu = 0; cpu < 16; ++cpu)
            sample("node_interrupts_total",
                   "cpu=\"" + std::to_string(cpu) + "\",devices=\"nvme0q" + std::to_string(irq) +
                       "\",info=\"PCI-MSIX-0000:01:00.0\",type=\"" + std::to_string(irq) + '"',
                   96188);
    return text;
}

const std::string& Reply()
{
    static const std::string reply = ServerReply();
    return reply;
}

void ParseReply(benchmark::State& state)
{
    ExpositionSamples samples;
    for (auto _ : state) {
        samples.Parse(Reply());
        benchmark::DoNotOptimize(samples.Samples().data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Reply().size()));
    state.counters["samples"] = double(samples.Samples().size());
    state.counters["KiB"] = double(Reply().size()) / 1024;
}
BENCHMARK(ParseReply)->Unit(benchmark::kMicrosecond);

void FiguresOfReply(benchmark::State& state)
{
    ExpositionSamples samples;
    CounterContinuity continuity;
    for (auto _ : state) {
        samples.Parse(Reply());
        NodeExporterFigures figures = NodeExporterFigures::FromSamples(samples);
        figures.ContinueCounters(continuity);
        benchmark::DoNotOptimize(figures.Total.Idle);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Reply().size()));
}
BENCHMARK(FiguresOfReply)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
