// A Prometheus server's answers to instant queries, and the queries each skin input asks.
#include "remote/PromQuery.h"

#include <QUrlQuery>
#include <cmath>
#include <gtest/gtest.h>

TEST(PromQuery, ReadsVectorsScalarsAndTheServersErrors)
{
    const QueryReply vector = ParseQueryReply(
        R"({"status":"success","data":{"resultType":"vector","result":[)"
        R"({"metric":{"__name__":"node_network_receive_bytes_total","device":"eth0","instance":"nas:9100","job":"node"},"value":[1796869721.946,"162957701"]},)"
        R"({"metric":{"mode":"idle"},"value":[1796869721.907,"NaN"]}]}})");
    ASSERT_TRUE(vector.Ok);
    ASSERT_EQ(vector.Series.size(), 2u);
    EXPECT_EQ(vector.Series[0].Labels.value(QStringLiteral("instance")), "nas:9100");
    EXPECT_DOUBLE_EQ(vector.Series[0].Time, 1796869721.946);
    EXPECT_EQ(vector.Value(), 162957701.0);
    EXPECT_TRUE(std::isnan(vector.Series[1].Value));

    const QueryReply scalar = ParseQueryReply(
        R"({"status":"success","data":{"resultType":"scalar","result":[1796869721.935,"-Inf"]}})");
    ASSERT_TRUE(scalar.Ok);
    EXPECT_EQ(scalar.Value(), -INFINITY);

    const QueryReply empty =
        ParseQueryReply(R"({"status":"success","data":{"resultType":"vector","result":[]}})");
    EXPECT_TRUE(empty.Ok);
    EXPECT_FALSE(empty.Value());

    const QueryReply error = ParseQueryReply(
        R"({"status":"error","errorType":"bad_data","error":"invalid parameter \"query\": 1:35: parse error: unclosed left parenthesis"})");
    EXPECT_FALSE(error.Ok);
    EXPECT_EQ(error.ErrorType, "bad_data");
    EXPECT_TRUE(error.Error.endsWith(QStringLiteral("unclosed left parenthesis")));
}

TEST(PromQuery, RefusesWhatIsNotAnInstantAnswerAndStaysWithinBounds)
{
    for (
        const char* json :
        {"<html>502 Bad Gateway</html>", R"({"status":"success"})",
         R"({"status":"success","data":{"resultType":"matrix","result":[{"metric":{},"values":[[1,"1"]]}]}})",
         R"({"status":"success","data":{"resultType":"vector","result":[{"metric":{},"value":[1,2]}]}})",
         R"({"status":"success","data":{"resultType":"scalar","result":[1,"twelve"]}})"}) {
        const QueryReply reply = ParseQueryReply(json);
        EXPECT_FALSE(reply.Ok) << json;
        EXPECT_FALSE(reply.Error.isEmpty()) << json;
    }
    QByteArray many = R"({"status":"success","data":{"resultType":"vector","result":[)";
    for (int i = 0; i < 10; ++i)
        many += QByteArray(i ? "," : "") + R"({"metric":{},"value":[1,"1"]})";
    many += "]}}";
    EXPECT_EQ(ParseQueryReply(many, {1 << 20, 4}).Series.size(), 4u);
    EXPECT_FALSE(ParseQueryReply(many, {many.size() - 1, 256}).Ok);
}

TEST(PromQuery, DefaultQueriesSelectTheMachineAndTheUsersOwnOverrideThem)
{
    QueryTable own;
    own[size_t(QueryInput::Temperature)] = QStringLiteral(" max(smartctl_temperature) ");
    const QueryTable queries =
        Queries(QStringLiteral("node"), QStringLiteral("nas \"2\":9100"), own);
    for (std::size_t i = 0; i < queries.size(); ++i) {
        if (i == size_t(QueryInput::Temperature))
            EXPECT_EQ(queries[i], "max(smartctl_temperature)");
        else
            EXPECT_TRUE(
                queries[i].contains(QStringLiteral(R"(job="node",instance="nas \"2\":9100"})")))
                << queries[i].toStdString();
    }
    EXPECT_FALSE(Queries({}, {})[size_t(QueryInput::Memory)].contains(u','));

    const QByteArray path = QueryPath(queries[0]);
    ASSERT_TRUE(path.startsWith("/api/v1/query?query="));
    EXPECT_EQ(QUrlQuery(QString::fromLatin1(path.mid(path.indexOf('?') + 1)))
                  .queryItemValue(QStringLiteral("query"), QUrl::FullyDecoded),
              queries[0]);
}
