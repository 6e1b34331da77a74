// The exposition text parser: every form a line may take, lines it cannot read, and its bounds.
#include "remote/ExpositionText.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string Labels(const ExpositionSamples& samples, const ExpositionSample& sample)
{
    std::string text;
    for (const ExpositionLabel& label : samples.Labels(sample))
        text += std::string(samples.Text(label.Name)) + '=' +
                std::string(samples.Text(label.Value)) + ';';
    return text;
}

} // namespace

TEST(ExpositionText, ReadsEveryFormOfALine)
{
    ExpositionSamples samples;
    samples.Parse(
        "# HELP http_requests_total The total \\\\ of \\n requests.\r\n"
        "# TYPE http_requests_total counter\n"
        "\n"
        "   # a comment of any other kind\n"
        "http_requests_total{method=\"post\",code=\"200\"} 1027 1395066363000\r\n"
        "http_requests_total { method = \"get\" , path=\"C:\\\\dir \\\"x\\\"\\nnext\", } 3\n"
        "metric_without_labels\t12.47\n"
        "nan_value NaN\n"
        "up_inf +Inf\n"
        "down_inf -Inf\n"
        "exponent 1.5e-03 -1395066363000\n"
        "empty_labels{} 7\n");
    ASSERT_EQ(samples.ErrorCount(), 0u) << samples.Errors()[0].Reason;
    const auto& s = samples.Samples();
    ASSERT_EQ(s.size(), 8u);
    EXPECT_EQ(samples.Name(s[0]), "http_requests_total");
    EXPECT_EQ(Labels(samples, s[0]), "method=post;code=200;");
    EXPECT_EQ(s[0].Value, 1027);
    EXPECT_TRUE(s[0].HasTimestamp);
    EXPECT_EQ(s[0].Timestamp, 1395066363000);
    EXPECT_EQ(Labels(samples, s[1]), "method=get;path=C:\\dir \"x\"\nnext;");
    EXPECT_EQ(samples.Label(s[1], "absent"), "");
    EXPECT_FALSE(s[1].HasTimestamp);
    EXPECT_EQ(samples.Name(s[2]), "metric_without_labels");
    EXPECT_EQ(s[2].Value, 12.47);
    EXPECT_TRUE(std::isnan(s[3].Value));
    EXPECT_EQ(s[4].Value, INFINITY);
    EXPECT_EQ(s[5].Value, -INFINITY);
    EXPECT_EQ(s[6].Value, 0.0015);
    EXPECT_EQ(s[6].Timestamp, -1395066363000);
    EXPECT_EQ(s[7].LabelCount, 0u);
    EXPECT_EQ(samples.Type("http_requests_total"), MetricType::Counter);
    EXPECT_EQ(samples.Type("up_inf"), MetricType::Untyped);
}

TEST(ExpositionText, ReportsBadLinesByNumberAndKeepsTheRest)
{
    ExpositionSamples samples;
    samples.Parse("good_one 1\n"
                  "bad-name 1\n"
                  "no_value{a=\"b\"}\n"
                  "bad_escape{a=\"\\t\"} 1\n"
                  "unclosed{a=\"b} 1\n"
                  "twice{a=\"1\",a=\"2\"} 1\n"
                  "bad_value 0x10\n"
                  "bad_stamp 1 12.5\n"
                  "# TYPE good_two gauges\n"
                  "good_two{a=\"b\"} 2\n"
                  "cut_short 12");
    std::vector<std::uint32_t> lines;
    for (const ExpositionError& error : samples.Errors())
        lines.push_back(error.Line);
    EXPECT_EQ(lines, (std::vector<std::uint32_t>{2, 3, 4, 5, 6, 7, 8, 9, 11}));
    ASSERT_EQ(samples.Samples().size(), 2u);
    EXPECT_EQ(samples.Name(samples.Samples()[1]), "good_two");
    EXPECT_EQ(samples.Labels(samples.Samples()[1]).size(), 1u);
}

TEST(ExpositionText, HostileInputStaysWithinItsBounds)
{
    ExpositionLimits limits;
    limits.MaxLineLength = 100;
    limits.MaxSamples = 3;
    limits.MaxLabels = 2;
    limits.MaxNameSize = 8;
    limits.MaxErrors = 2;
    ExpositionSamples samples;
    samples.Parse("long " + std::string(200, '1') + "\n" +
                      "many{a=\"1\",b=\"2\",c=\"3\"} 1\n"
                      "big{a=\"123456789\"} 1\n"
                      "a 1\nb 2\nc 3\nd 4\ne 5\n",
                  limits);
    EXPECT_EQ(samples.Samples().size(), 3u);
    EXPECT_TRUE(samples.Truncated());
    EXPECT_EQ(samples.ErrorCount(), 3u);
    EXPECT_EQ(samples.Errors().size(), 2u);
}
