#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <array>
#include <optional>
#include <vector>

// One series of an instant query's answer.
struct QuerySeries
{
    QMap<QString, QString> Labels;
    double Value = 0;
    double Time = 0; // seconds since the epoch, as the server evaluated it
};

// A Prometheus server's answer to /api/v1/query.
struct QueryReply
{
    bool Ok = false;
    QString
        ErrorType; // the server's ("bad_data", "timeout", ...), or ours for a reply not understood
    QString Error;
    std::vector<QuerySeries> Series; // a scalar answer is one series without labels

    // The figure a skin's input shows: the first series' value (the server's order, so a query
    // that picks one machine, or adds them up, decides which).
    std::optional<double> Value() const;
};

// Bounds on what one answer may make us hold.
struct QueryLimits
{
    qsizetype MaxReplySize = 1 << 20;
    std::size_t MaxSeries = 256;
};

QueryReply ParseQueryReply(const QByteArray& json, const QueryLimits& limits = {});

// The inputs of a skin that a Prometheus server can feed, each by its own query.
enum class QueryInput
{
    Processor,   // percent busy
    Memory,      // percent in use
    Swap,        // percent in use
    DiskRead,    // bytes a second
    DiskWrite,   // bytes a second
    NetworkIn,   // bytes a second
    NetworkOut,  // bytes a second
    Temperature, // °C, the hottest sensor
};
inline constexpr std::size_t QueryInputCount = 8;
using QueryTable = std::array<QString, QueryInputCount>;

// The query for each input: the user's own where given, else one over the node_exporter
// series of the job and instance named (either may be empty: every one). Over several machines
// the defaults give the average of the percentages and the sum of the rates.
QueryTable Queries(const QString& job, const QString& instance, const QueryTable& own = {});

// The request's path and query string.
QByteArray QueryPath(const QString& query);
