#include "remote/PromQuery.h"

#include "remote/ExpositionText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

QueryReply Failed(const char* type, const QString& error)
{
    QueryReply reply;
    reply.ErrorType = QLatin1String(type);
    reply.Error = error;
    return reply;
}

// A sample as the API gives it: [time, "value"], the value a string so NaN and the infinities
// survive JSON.
std::optional<QuerySeries> Sample(const QJsonValue& pair)
{
    const QJsonArray array = pair.toArray();
    if (array.size() != 2 || !array[0].isDouble() || !array[1].isString())
        return std::nullopt;
    const QByteArray text = array[1].toString().toUtf8();
    const std::optional<double> value =
        ParseSampleValue(std::string_view(text.constData(), size_t(text.size())));
    if (!value)
        return std::nullopt;
    QuerySeries series;
    series.Time = array[0].toDouble();
    series.Value = *value;
    return series;
}

// A label value inside a selector's quotes.
QString Quoted(const QString& value)
{
    QString text = value;
    text.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    text.replace(u'\n', QStringLiteral("\\n"));
    return u'"' + text + u'"';
}

} // namespace

std::optional<double> QueryReply::Value() const
{
    if (!Ok || Series.empty())
        return std::nullopt;
    return Series.front().Value;
}

QueryReply ParseQueryReply(const QByteArray& json, const QueryLimits& limits)
{
    if (json.size() > limits.MaxReplySize)
        return Failed("reply",
                      QStringLiteral("the reply is larger than %1 bytes").arg(limits.MaxReplySize));
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return Failed("reply", QStringLiteral("the reply is not a JSON object"));
    const QJsonObject top = document.object();
    const QString status = top.value(QLatin1String("status")).toString();
    if (status == u"error") {
        QueryReply reply = Failed("", top.value(QLatin1String("error")).toString());
        reply.ErrorType = top.value(QLatin1String("errorType")).toString();
        return reply;
    }
    if (status != u"success")
        return Failed("reply", QStringLiteral("the reply has no status"));

    const QJsonObject data = top.value(QLatin1String("data")).toObject();
    const QString type = data.value(QLatin1String("resultType")).toString();
    const QJsonValue result = data.value(QLatin1String("result"));
    QueryReply reply;
    if (type == u"scalar") {
        const std::optional<QuerySeries> series = Sample(result);
        if (!series)
            return Failed("reply", QStringLiteral("a scalar without a value"));
        reply.Series.push_back(*series);
    } else if (type == u"vector") {
        if (!result.isArray())
            return Failed("reply", QStringLiteral("a vector without its series"));
        for (const QJsonValue& item : result.toArray()) {
            if (reply.Series.size() >= limits.MaxSeries)
                break;
            const QJsonObject object = item.toObject();
            std::optional<QuerySeries> series = Sample(object.value(QLatin1String("value")));
            if (!series)
                return Failed("reply", QStringLiteral("a series without a value"));
            const QJsonObject metric = object.value(QLatin1String("metric")).toObject();
            for (auto label = metric.begin(); label != metric.end(); ++label)
                series->Labels.insert(label.key(), label.value().toString());
            reply.Series.push_back(std::move(*series));
        }
    } else {
        return Failed("reply",
                      QStringLiteral("a result of type \"%1\", not an instant value").arg(type));
    }
    reply.Ok = true;
    return reply;
}

QueryTable Queries(const QString& job, const QString& instance, const QueryTable& own)
{
    QStringList matchers;
    if (!job.isEmpty())
        matchers << QStringLiteral("job=") + Quoted(job);
    if (!instance.isEmpty())
        matchers << QStringLiteral("instance=") + Quoted(instance);
    const QString machine = matchers.join(u',');
    const auto select = [&](const QString& matcher) {
        QStringList all;
        for (const QString& part : {matcher, machine})
            if (!part.isEmpty())
                all << part;
        return u'{' + all.join(u',') + u'}';
    };
    // Whole disks only, as the local reader counts them: no partitions, no virtual devices.
    const QString wholeDisks = QStringLiteral(
        "device!~\"(loop|ram|zram|dm-|md|nbd|sr|fd).*|.*[0-9]p[0-9]+|(sd|hd|vd|xvd)[a-z]+[0-9]+\"");
    const QString notLoopback = QStringLiteral("device!=\"lo\"");
    QueryTable table = {
        // Idle as the local figure counts it: waiting for input or output is idle too.
        QStringLiteral("100 * (1 - sum(rate(node_cpu_seconds_total%1[1m])) / "
                       "sum(rate(node_cpu_seconds_total%2[1m])))")
            .arg(select(QStringLiteral("mode=~\"idle|iowait\"")), select({})),
        QStringLiteral(
            "100 * avg(1 - node_memory_MemAvailable_bytes%1 / node_memory_MemTotal_bytes%1)")
            .arg(select({})),
        QStringLiteral(
            "100 * avg(1 - node_memory_SwapFree_bytes%1 / (node_memory_SwapTotal_bytes%1 > 0))")
            .arg(select({})),
        QStringLiteral("sum(rate(node_disk_read_bytes_total%1[1m]))").arg(select(wholeDisks)),
        QStringLiteral("sum(rate(node_disk_written_bytes_total%1[1m]))").arg(select(wholeDisks)),
        QStringLiteral("sum(rate(node_network_receive_bytes_total%1[1m]))")
            .arg(select(notLoopback)),
        QStringLiteral("sum(rate(node_network_transmit_bytes_total%1[1m]))")
            .arg(select(notLoopback)),
        QStringLiteral("max(node_hwmon_temp_celsius%1)").arg(select({})),
    };
    for (std::size_t i = 0; i < table.size(); ++i)
        if (!own[i].trimmed().isEmpty())
            table[i] = own[i].trimmed();
    return table;
}

QByteArray QueryPath(const QString& query)
{
    return QByteArrayLiteral("/api/v1/query?query=") + QUrl::toPercentEncoding(query);
}
