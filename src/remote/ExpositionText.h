#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Bounds on what one reply may make us hold, so that a hostile or broken exporter cannot grow
// memory without end. What came before a bound is kept.
struct ExpositionLimits
{
    std::size_t MaxLineLength = 64 * 1024;
    std::size_t MaxSamples = 50000; // a large server's exporter sends a few thousand
    std::size_t MaxLabels = 32;     // per sample
    std::size_t MaxNameSize = 1024; // a metric's or a label's name, or a label's value
    std::size_t MaxErrors = 16;     // reported with their line; the rest are only counted
};

enum class MetricType : std::uint8_t
{
    Untyped,
    Counter,
    Gauge,
    Histogram,
    Summary,
};

// A piece of the samples' own copy of the text.
struct TextSpan
{
    std::uint32_t Offset = 0;
    std::uint32_t Size = 0;
};

struct ExpositionLabel
{
    TextSpan Name;
    TextSpan Value; // with its escapes undone
};

struct ExpositionSample
{
    TextSpan Name;
    std::uint32_t FirstLabel = 0;
    std::uint32_t LabelCount = 0;
    double Value = 0;
    std::int64_t Timestamp = 0; // milliseconds since the epoch, where HasTimestamp
    bool HasTimestamp = false;
};

struct ExpositionError
{
    std::uint32_t Line = 0; // from 1
    const char* Reason = "";
};

// The samples of one reply in Prometheus' text exposition format. A line that cannot be read is
// reported and passed over; the others are kept. Names and label values live in one buffer of
// the object's own, a run of samples of one metric shares its name, and parsing again reuses
// the memory, so steady scraping does not allocate.
class ExpositionSamples
{
public:
    void Parse(std::string_view text, const ExpositionLimits& limits = {});

    const std::vector<ExpositionSample>& Samples() const { return m_samples; }
    std::string_view Text(TextSpan span) const { return {m_text.data() + span.Offset, span.Size}; }
    std::string_view Name(const ExpositionSample& sample) const { return Text(sample.Name); }
    std::span<const ExpositionLabel> Labels(const ExpositionSample& sample) const
    {
        return {m_labels.data() + sample.FirstLabel, sample.LabelCount};
    }
    // The value of a sample's label; empty when it has none, as Prometheus treats it.
    std::string_view Label(const ExpositionSample& sample, std::string_view name) const;
    // What the metric's "# TYPE" line says, Untyped without one.
    MetricType Type(std::string_view metric) const;

    // The first lines that could not be read, and how many there were in all.
    const std::vector<ExpositionError>& Errors() const { return m_errors; }
    std::size_t ErrorCount() const { return m_errorCount; }
    // Whether the reply held more samples than the limit, which were left out.
    bool Truncated() const { return m_truncated; }

private:
    class LineReader;

    std::string m_text;
    std::vector<ExpositionSample> m_samples;
    std::vector<ExpositionLabel> m_labels;
    std::vector<std::pair<TextSpan, MetricType>> m_types;
    std::vector<ExpositionError> m_errors;
    std::size_t m_errorCount = 0;
    bool m_truncated = false;
};

// A sample's value as the format writes it: a decimal or exponent number, "NaN", "+Inf", "-Inf".
std::optional<double> ParseSampleValue(std::string_view token);
