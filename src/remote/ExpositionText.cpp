#include "remote/ExpositionText.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsNameStart(char c, bool colon)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (colon && c == ':');
}

bool IsNameChar(char c, bool colon)
{
    return IsNameStart(c, colon) || (c >= '0' && c <= '9');
}

bool EqualsNoCase(std::string_view text, std::string_view lower)
{
    return text.size() == lower.size() &&
           std::equal(text.begin(), text.end(), lower.begin(),
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
}

std::optional<MetricType> TypeNamed(std::string_view name)
{
    constexpr std::pair<std::string_view, MetricType> types[] = {
        {"counter", MetricType::Counter},
        {"gauge", MetricType::Gauge},
        {"histogram", MetricType::Histogram},
        {"summary", MetricType::Summary},
        {"untyped", MetricType::Untyped}};
    for (const auto& [text, type] : types)
        if (name == text)
            return type;
    return std::nullopt;
}

} // namespace

std::optional<double> ParseSampleValue(std::string_view token)
{
    bool negative = false;
    if (!token.empty() && (token.front() == '+' || token.front() == '-')) {
        negative = token.front() == '-';
        token.remove_prefix(1);
    }
    double value = 0;
    if (EqualsNoCase(token, "inf") || EqualsNoCase(token, "infinity")) {
        value = std::numeric_limits<double>::infinity();
    } else if (EqualsNoCase(token, "nan")) {
        value = std::numeric_limits<double>::quiet_NaN();
    } else {
        // from_chars would take its own spellings of NaN and infinity and a second sign.
        if (token.empty() ||
            !((token.front() >= '0' && token.front() <= '9') || token.front() == '.'))
            return std::nullopt;
        const char* end = token.data() + token.size();
        const auto [stop, error] = std::from_chars(token.data(), end, value);
        if (error != std::errc() || stop != end)
            return std::nullopt;
    }
    return negative ? -value : value;
}

// Reads one line, from after its leading blanks to before its line end, into the samples.
class ExpositionSamples::LineReader
{
public:
    LineReader(ExpositionSamples& out, const ExpositionLimits& limits, std::string_view line)
        : m_out(out), m_limits(limits), m_line(line)
    {}

    // nullptr when the line was taken, else why not.
    const char* Sample();
    const char* Comment();

private:
    char Peek() const { return m_at < m_line.size() ? m_line[m_at] : '\0'; }
    bool AtEnd() const { return m_at >= m_line.size(); }
    void SkipBlanks()
    {
        while (m_at < m_line.size() && IsBlank(m_line[m_at]))
            ++m_at;
    }
    std::string_view Name(bool colon);
    std::string_view Token();
    TextSpan Keep(std::string_view text);
    const char* Labels(ExpositionSample& sample);
    const char* QuotedValue(TextSpan& span);

    ExpositionSamples& m_out;
    const ExpositionLimits& m_limits;
    std::string_view m_line;
    std::size_t m_at = 0;
};

std::string_view ExpositionSamples::LineReader::Name(bool colon)
{
    const std::size_t start = m_at;
    if (m_at < m_line.size() && IsNameStart(m_line[m_at], colon))
        while (++m_at < m_line.size() && IsNameChar(m_line[m_at], colon)) {
        }
    return m_line.substr(start, m_at - start);
}

std::string_view ExpositionSamples::LineReader::Token()
{
    const std::size_t start = m_at;
    while (m_at < m_line.size() && !IsBlank(m_line[m_at]))
        ++m_at;
    return m_line.substr(start, m_at - start);
}

TextSpan ExpositionSamples::LineReader::Keep(std::string_view text)
{
    const TextSpan span{static_cast<std::uint32_t>(m_out.m_text.size()),
                        static_cast<std::uint32_t>(text.size())};
    m_out.m_text.append(text);
    return span;
}

const char* ExpositionSamples::LineReader::QuotedValue(TextSpan& span)
{
    span.Offset = static_cast<std::uint32_t>(m_out.m_text.size());
    for (;;) {
        const std::size_t stop = m_line.find_first_of("\"\\", m_at);
        if (stop == std::string_view::npos)
            return "label value without its closing quote";
        m_out.m_text.append(m_line.substr(m_at, stop - m_at));
        m_at = stop + 1;
        if (m_line[stop] == '"')
            break;
        switch (Peek()) {
        case '\\':
        case '"':
            m_out.m_text += Peek();
            break;
        case 'n':
            m_out.m_text += '\n';
            break;
        default:
            return "unknown escape in a label value";
        }
        ++m_at;
    }
    span.Size = static_cast<std::uint32_t>(m_out.m_text.size() - span.Offset);
    return span.Size > m_limits.MaxNameSize ? "label value too long" : nullptr;
}

const char* ExpositionSamples::LineReader::Labels(ExpositionSample& sample)
{
    ++m_at; // the brace
    sample.FirstLabel = static_cast<std::uint32_t>(m_out.m_labels.size());
    for (;;) {
        SkipBlanks();
        if (Peek() == '}')
            break;
        const std::string_view name = Name(false);
        if (name.empty())
            return "bad label name";
        if (name.size() > m_limits.MaxNameSize)
            return "label name too long";
        if (sample.LabelCount >= m_limits.MaxLabels)
            return "too many labels";
        for (const ExpositionLabel& label : m_out.Labels(sample))
            if (m_out.Text(label.Name) == name)
                return "a label given twice";
        ExpositionLabel label{Keep(name), {}};
        SkipBlanks();
        if (Peek() != '=')
            return "label without '='";
        ++m_at;
        SkipBlanks();
        if (Peek() != '"')
            return "label value without quotes";
        ++m_at;
        if (const char* error = QuotedValue(label.Value))
            return error;
        m_out.m_labels.push_back(label);
        ++sample.LabelCount;
        SkipBlanks();
        if (Peek() == ',')
            ++m_at;
        else if (Peek() != '}')
            return "labels not separated by ','";
    }
    ++m_at;
    return nullptr;
}

const char* ExpositionSamples::LineReader::Sample()
{
    ExpositionSample sample;
    const std::string_view name = Name(true);
    if (name.empty() || (!AtEnd() && Peek() != '{' && !IsBlank(Peek())))
        return "bad metric name";
    if (name.size() > m_limits.MaxNameSize)
        return "metric name too long";
    // A metric's samples follow one another, so most share the name before them.
    if (!m_out.m_samples.empty() && m_out.Name(m_out.m_samples.back()) == name)
        sample.Name = m_out.m_samples.back().Name;
    else
        sample.Name = Keep(name);
    SkipBlanks();
    if (Peek() == '{')
        if (const char* error = Labels(sample))
            return error;
    SkipBlanks();
    const std::optional<double> value = ParseSampleValue(Token());
    if (!value)
        return "bad sample value";
    sample.Value = *value;
    SkipBlanks();
    if (!AtEnd()) {
        const std::string_view stamp = Token();
        const char* end = stamp.data() + stamp.size();
        const auto [stop, error] = std::from_chars(stamp.data(), end, sample.Timestamp);
        if (error != std::errc() || stop != end)
            return "bad timestamp";
        sample.HasTimestamp = true;
        SkipBlanks();
        if (!AtEnd())
            return "text after the timestamp";
    }
    m_out.m_samples.push_back(sample);
    return nullptr;
}

const char* ExpositionSamples::LineReader::Comment()
{
    ++m_at; // the '#'
    SkipBlanks();
    const std::string_view keyword = Token();
    const bool help = keyword == "HELP";
    if (!help && keyword != "TYPE")
        return nullptr; // a comment of any other kind says nothing
    SkipBlanks();
    const std::string_view metric = Name(true);
    if (metric.empty() || (!AtEnd() && !IsBlank(Peek())))
        return "bad metric name";
    if (metric.size() > m_limits.MaxNameSize)
        return "metric name too long";
    SkipBlanks();
    if (help) {
        for (std::size_t slash = m_line.find('\\', m_at); slash != std::string_view::npos;
             slash = m_line.find('\\', slash + 2))
            if (slash + 1 >= m_line.size() ||
                (m_line[slash + 1] != '\\' && m_line[slash + 1] != 'n'))
                return "unknown escape in a help text";
        return nullptr;
    }
    const std::optional<MetricType> type = TypeNamed(Token());
    SkipBlanks();
    if (!type || !AtEnd())
        return "unknown metric type";
    if (*type != MetricType::Untyped)
        m_out.m_types.emplace_back(Keep(metric), *type);
    return nullptr;
}

void ExpositionSamples::Parse(std::string_view text, const ExpositionLimits& limits)
{
    m_text.clear();
    m_samples.clear();
    m_labels.clear();
    m_types.clear();
    m_errors.clear();
    m_errorCount = 0;
    m_truncated = false;
    // Offsets are 32-bit; a reply is capped far below that before it gets here.
    text = text.substr(0, std::numeric_limits<std::uint32_t>::max());

    std::uint32_t number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        ++number;
        const std::size_t newline = text.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t first = std::min(line.find_first_not_of(" \t"), line.size());
        line.remove_prefix(first);
        if (line.empty())
            continue;

        const char* error = nullptr;
        if (newline == std::string_view::npos) {
            error = "last line without its line end"; // likely cut short, so its value is not
        } else if (line.size() > limits.MaxLineLength) {
            error = "line too long";
        } else if (line.front() == '#') {
            error = LineReader(*this, limits, line).Comment();
        } else if (m_samples.size() >= limits.MaxSamples) {
            m_truncated = true;
            return;
        } else {
            const std::size_t textSize = m_text.size(), labelCount = m_labels.size();
            error = LineReader(*this, limits, line).Sample();
            if (error) { // nothing of a line that was not taken stays
                m_text.resize(textSize);
                m_labels.resize(labelCount);
            }
        }
        if (error) {
            if (m_errors.size() < limits.MaxErrors)
                m_errors.push_back({number, error});
            ++m_errorCount;
        }
    }
}

std::string_view ExpositionSamples::Label(const ExpositionSample& sample,
                                          std::string_view name) const
{
    for (const ExpositionLabel& label : Labels(sample))
        if (Text(label.Name) == name)
            return Text(label.Value);
    return {};
}

MetricType ExpositionSamples::Type(std::string_view metric) const
{
    for (const auto& [name, type] : m_types)
        if (Text(name) == metric)
            return type;
    return MetricType::Untyped;
}
