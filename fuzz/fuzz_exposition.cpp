// What a node_exporter (or anything at its address) sends back: the exposition text, and the
// machine's figures made of its samples, twice, so the counters' continuation runs too.

#include "remote/CounterContinuity.h"
#include "remote/ExpositionText.h"
#include "remote/NodeExporterFigures.h"
#include "support/FuzzCheck.h"

#include <cstdint>
#include <string_view>

namespace {

void CheckBounds(const ExpositionSamples& samples, const ExpositionLimits& limits,
                 std::size_t textSize)
{
    FUZZ_CHECK(samples.Samples().size() <= limits.MaxSamples, "more samples than allowed");
    FUZZ_CHECK(samples.Errors().size() <= limits.MaxErrors, "more errors kept than allowed");
    FUZZ_CHECK(samples.Errors().size() <= samples.ErrorCount(), "errors not counted");
    std::size_t kept = 0;
    for (const ExpositionSample& sample : samples.Samples()) {
        FUZZ_CHECK(sample.LabelCount <= limits.MaxLabels, "more labels than allowed");
        const std::string_view name = samples.Name(sample);
        FUZZ_CHECK(!name.empty() && name.size() <= limits.MaxNameSize, "a bad metric name kept");
        for (const ExpositionLabel& label : samples.Labels(sample)) {
            FUZZ_CHECK(label.Value.Size <= limits.MaxNameSize, "a label value over its bound");
            kept += label.Name.Size + label.Value.Size;
        }
    }
    // Unescaping only shortens, and names are kept once per run of a metric.
    FUZZ_CHECK(kept <= textSize, "more text kept than was read");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ExpositionLimits limits;
    limits.MaxSamples = 2000;
    limits.MaxLabels = 8;
    limits.MaxNameSize = 64;
    ExpositionSamples samples;
    samples.Parse(text, limits);
    CheckBounds(samples, limits, size);

    CounterContinuity continuity;
    for (int scrape = 0; scrape < 2; ++scrape) {
        NodeExporterFigures figures = NodeExporterFigures::FromSamples(samples);
        figures.ContinueCounters(continuity);
        (void)figures.DiskSpaceAt(QStringLiteral("/home"));
    }
    return 0;
}
