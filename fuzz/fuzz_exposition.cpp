// What a node_exporter (or anything at its address) sends back: the exposition text, and the
// machine's figures made of its samples, twice, so the counters' continuation runs too.

#include "remote/CounterContinuity.h"
#include "remote/ExpositionText.h"
#include "remote/NodeExporterFigures.h"
#include "support/FuzzCheck.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
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

// The samples written out again, as an exporter writes them, read back the same.
void CheckRoundTrip(const ExpositionSamples& samples, const ExpositionLimits& limits)
{
    std::string text;
    for (const ExpositionSample& sample : samples.Samples()) {
        text += samples.Name(sample);
        text += '{';
        for (const ExpositionLabel& label : samples.Labels(sample)) {
            text += samples.Text(label.Name);
            text += "=\"";
            for (const char c : samples.Text(label.Value))
                text += c == '\\'   ? "\\\\"
                        : c == '"'  ? "\\\""
                        : c == '\n' ? "\\n"
                                    : std::string(1, c);
            text += "\",";
        }
        char value[32];
        text += "} ";
        text.append(value, std::to_chars(value, value + sizeof(value), sample.Value).ptr);
        text += '\n';
    }
    ExpositionSamples again;
    again.Parse(text, limits);
    FUZZ_CHECK(again.ErrorCount() == 0, "a sample written out does not read back");
    FUZZ_CHECK(again.Samples().size() == samples.Samples().size(), "samples lost on reading back");
    for (std::size_t i = 0; i < again.Samples().size(); ++i) {
        const ExpositionSample& a = samples.Samples()[i];
        const ExpositionSample& b = again.Samples()[i];
        FUZZ_CHECK(samples.Name(a) == again.Name(b), "a name read back otherwise");
        FUZZ_CHECK(a.Value == b.Value || (std::isnan(a.Value) && std::isnan(b.Value)),
                   "a value read back otherwise");
        FUZZ_CHECK(a.LabelCount == b.LabelCount, "labels read back otherwise");
        for (std::uint32_t k = 0; k < a.LabelCount; ++k)
            FUZZ_CHECK(samples.Text(samples.Labels(a)[k].Value) ==
                           again.Text(again.Labels(b)[k].Value),
                       "a label value read back otherwise");
    }
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
    CheckRoundTrip(samples, limits);

    CounterContinuity continuity;
    for (int scrape = 0; scrape < 2; ++scrape) {
        NodeExporterFigures figures = NodeExporterFigures::FromSamples(samples);
        figures.ContinueCounters(continuity);
        (void)figures.DiskSpaceAt(QStringLiteral("/home"));
    }
    return 0;
}
