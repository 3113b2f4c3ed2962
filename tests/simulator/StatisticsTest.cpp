// The run's statistics over a scripted capture: counts per command, status, direction and connection,
// rates over hand-moved time, latency percentiles, unanswered requests, the log's wipe, Reset, and the
// Prometheus text read back by a parser of its own.
#include "simulator/Statistics.h"

#include "tests/support/Bytes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using test_bytes::Builder;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

constexpr int64_t kT0 = 1'700'000'000'000'000;
int64_t g_now = kT0;
int64_t Now() { return g_now; }
int64_t g_captured = kT0; // what the log's clock says when the next PDU is captured
int64_t Captured() { return g_captured; }

constexpr uint16_t kSmpp = 2, kTest = 8;
constexpr uint32_t kEsme = 0x0A000001, kSmsc = 0x7F000001;
constexpr uint32_t kBindTrx = 0x00000009, kSubmit = 0x00000004, kDeliver = 0x00000005, kResp = 0x80000000;

class StatisticsTest : public ::testing::Test {
protected:
    StatisticsTest() {
        log.Reset();
        log.SetTimeSource(Captured);
        pairs.SetClock(Now);
        stats.SetClock(Now);
        g_now = kT0;
    }
    // A PDU on connection, received by the server (in) or sent by it (out), captured at kT0 + atUs;
    // or, opened, read from a capture file with that time.
    void Add(uint64_t connection, bool out, int64_t atUs, const Bytes& pdu, uint16_t protocol = kSmpp,
             bool opened = false) {
        const PacketPeer esme{kEsme, uint16_t(40000 + connection)}, smsc{kSmsc, 5018};
        const PacketPeer from = out ? smsc : esme, to = out ? esme : smsc;
        g_captured = kT0 + atUs;
        if (opened)
            ASSERT_TRUE(log.AddCaptured(protocol, kT0 + atUs, from.address, from.port, to, pdu.data(),
                                        uint32_t(pdu.size()), connection, out));
        else
            ASSERT_TRUE(log.AddPacket(protocol, from.address, from.port, pdu.data(), uint32_t(pdu.size()), 9, to,
                                      connection, out));
    }
    // A request in and its answer out, latencyUs apart.
    void Exchange(uint64_t connection, int64_t atUs, uint32_t command, uint32_t sequence, int64_t latencyUs,
                  uint32_t status = 0) {
        Add(connection, false, atUs, SmppPdu(command, sequence));
        Add(connection, true, atUs + latencyUs, SmppPdu(command | kResp, sequence, {}, status));
    }
    std::string Json(const char* member) const {
        const QJsonValue value = stats.Json().value(member);
        const QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
        return value.isObject() || value.isArray() ? document.toJson(QJsonDocument::Compact).toStdString()
                                                   : std::to_string(value.toInteger());
    }

    CPacketLog log;
    CPacketDecoder decoder;
    CPacketPairs pairs{log, decoder};
    CStatistics stats{log, pairs, decoder};
};

// The JSON rows of a command and of a status, as a reader of /stats sees them.
std::string Command(const char* protocol, const char* name, int in, int out, int opened = 0) {
    return std::string(R"({"command":")") + name + R"(","in":)" + std::to_string(in) + R"(,"opened":)" +
           std::to_string(opened) + R"(,"out":)" + std::to_string(out) + R"(,"protocol":")" + protocol + "\"}";
}
std::string Status(const char* protocol, int status, const char* name, int in, int out, int opened = 0) {
    return std::string(R"({"in":)") + std::to_string(in) + R"(,"name":")" + name + R"(","opened":)" +
           std::to_string(opened) + R"(,"out":)" + std::to_string(out) + R"(,"protocol":")" + protocol +
           R"(","status":)" + std::to_string(status) + "}";
}
std::string List(const std::vector<std::string>& rows) {
    std::string text = "[";
    for (const std::string& row : rows)
        text += (text.size() > 1 ? "," : "") + row;
    return text + "]";
}

TEST_F(StatisticsTest, CountsPerCommandStatusDirectionAndConnection) {
    Exchange(1, 0, kBindTrx, 1, 100);
    Exchange(1, 1000, kSubmit, 2, 100);
    Exchange(1, 2000, kSubmit, 3, 100, 0x58);
    Exchange(2, 3000, kSubmit, 1, 100, 0x58);
    Add(2, true, 4000, SmppPdu(kDeliver, 9));
    Add(2, false, 4100, SmppPdu(kDeliver | kResp, 9));
    Add(2, false, 4200, SmppPdu(0x00000777, 2));                   // a command SMPP does not have
    Add(2, true, 4300, SmppPdu(0x80000000, 2, {}, 3));             // its generic_nack
    Add(3, false, 5000, Builder().u32(40).u32(0x00001001).u32(1).u32(1).text("139", 24), kTest);
    Add(3, true, 5100, Builder().u32(16).u32(0x80001001).u32(1).u32(0), kTest);
    Add(4, false, 6000, Builder().u16(1));                           // too short for a command id
    const Bytes typed = SmppPdu(kSubmit, 5);
    ASSERT_TRUE(log.AddTyped(kSmpp, typed.data(), uint32_t(typed.size()))); // typed in: no traffic
    // A file opened into the capture: counted apart, in no rate and no latency, never unanswered.
    Add(9, false, 7000, SmppPdu(kSubmit, 1), kSmpp, true);
    Add(9, true, 7500, SmppPdu(kSubmit | kResp, 1, {}, 0x58), kSmpp, true);
    Add(9, false, 7600, SmppPdu(kSubmit, 2), kSmpp, true);

    EXPECT_EQ(Json("pdus"), "15");
    EXPECT_EQ(Json("openedPdus"), "3");
    EXPECT_EQ(Json("commands"), List({Command("SMPP", "bind_transceiver", 1, 0), Command("SMPP", "bind_transceiver_resp", 0, 1),
                                      Command("SMPP", "submit_sm", 3, 0, 2), Command("SMPP", "submit_sm_resp", 0, 3, 1),
                                      Command("SMPP", "deliver_sm", 0, 1), Command("SMPP", "deliver_sm_resp", 1, 0),
                                      Command("SMPP", "0x00000777", 1, 0), Command("SMPP", "generic_nack", 0, 1),
                                      Command("TEST", "登录请求", 1, 0), Command("TEST", "登录应答", 0, 1),
                                      Command("SMPP", "unknown", 1, 0)}));
    EXPECT_EQ(Json("statuses"), List({Status("SMPP", 0, "ESME_ROK", 1, 2), Status("SMPP", 0x58, "ESME_RTHROTTLED", 0, 2, 1),
                                      Status("SMPP", 3, "ESME_RINVCMDID", 0, 1), Status("TEST", 0, "", 0, 1)}));
    // Tarnwick answered the binds, submits, the unknown command and the login; the ESME the deliver_sm.
    EXPECT_EQ(stats.Latency(CStatistics::Answerer::Tarnwick).count, 6u);
    EXPECT_EQ(stats.Latency(CStatistics::Answerer::Client).count, 1u);
    EXPECT_EQ(Json("esmeLatencyMs"), R"({"count":1,"max":0.1,"p50":0.1,"p90":0.1,"p99":0.1})");
    g_now = kT0 + 59'000'000;
    EXPECT_EQ(stats.Unanswered(), 0) << "the opened submit_sm waits for nothing of this run";
    EXPECT_DOUBLE_EQ(stats.SubmitSmPerSecond(60), 3.0 / 60);
    const QJsonArray connections = stats.Json().value("connections").toArray();
    ASSERT_EQ(connections.size(), 5);
    const QJsonObject second = connections[1].toObject();
    EXPECT_EQ(second.value("id").toInt(), 2);
    EXPECT_EQ(second.value("pdus").toInt(), 6);
    EXPECT_EQ(QJsonDocument(second.value("commands").toArray()).toJson(QJsonDocument::Compact).toStdString(),
              List({Command("SMPP", "submit_sm", 1, 0), Command("SMPP", "submit_sm_resp", 0, 1),
                    Command("SMPP", "deliver_sm", 0, 1), Command("SMPP", "deliver_sm_resp", 1, 0),
                    Command("SMPP", "0x00000777", 1, 0), Command("SMPP", "generic_nack", 0, 1)}));
    EXPECT_EQ(QJsonDocument(second.value("statuses").toArray()).toJson(QJsonDocument::Compact).toStdString(),
              List({Status("SMPP", 0, "ESME_ROK", 1, 0), Status("SMPP", 0x58, "ESME_RTHROTTLED", 0, 1),
                    Status("SMPP", 3, "ESME_RINVCMDID", 0, 1)}));
    EXPECT_EQ(stats.Csv().split('\n').mid(0, 4).join('\n').toStdString(),
              "kind,protocol,name,in,out,opened\ncommand,SMPP,bind_transceiver,1,0,0\n"
              "command,SMPP,bind_transceiver_resp,0,1,0\ncommand,SMPP,submit_sm,3,0,2");
}

// SMPP 5.0's broadcast family is counted and named as any command is, its statuses by their names.
TEST_F(StatisticsTest, CountsTheBroadcastFamilyOf50) {
    Exchange(1, 0, 0x00000111, 1, 100);
    Exchange(1, 1000, 0x00000112, 2, 100, 0x10E);
    Exchange(1, 2000, 0x00000113, 3, 100, 0x10F);
    EXPECT_EQ(Json("commands"),
              List({Command("SMPP", "broadcast_sm", 1, 0), Command("SMPP", "broadcast_sm_resp", 0, 1),
                    Command("SMPP", "query_broadcast_sm", 1, 0), Command("SMPP", "query_broadcast_sm_resp", 0, 1),
                    Command("SMPP", "cancel_broadcast_sm", 1, 0), Command("SMPP", "cancel_broadcast_sm_resp", 0, 1)}));
    EXPECT_EQ(Json("statuses"), List({Status("SMPP", 0, "ESME_ROK", 0, 1), Status("SMPP", 0x10E, "ESME_RBCASTQUERYFAIL", 0, 1),
                                      Status("SMPP", 0x10F, "ESME_RBCASTCANCELFAIL", 0, 1)}));
}

// Rates count submit_sm by its capture time in 100 ms steps, whatever else goes by.
TEST_F(StatisticsTest, SubmitSmRatesFollowHandMovedTime) {
    for (int i = 0; i < 60; ++i)
        Add(1, false, int64_t(i) * 1'000'000, SmppPdu(kSubmit, uint32_t(i)));       // one a second for 60 s
    for (int i = 0; i < 20; ++i)
        Add(1, false, 59'500'000 + i, SmppPdu(kSubmit, uint32_t(100 + i)));         // and 20 in the last second
    Add(1, true, 59'600'000, SmppPdu(kDeliver, 1));
    const struct {
        int64_t now; // after kT0
        double perSecond1, perSecond10, perSecond60;
    } cases[] = {
        {59'950'000, 21, 3, 80.0 / 60},
        {60'450'000, 20, 2.9, 79.0 / 60},  // the submit at 59.0 s is more than a second old
        {61'000'000, 0, 2.8, 78.0 / 60},
        {120'000'000, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.now);
        g_now = kT0 + c.now;
        EXPECT_DOUBLE_EQ(stats.SubmitSmPerSecond(1), c.perSecond1);
        EXPECT_DOUBLE_EQ(stats.SubmitSmPerSecond(10), c.perSecond10);
        EXPECT_DOUBLE_EQ(stats.SubmitSmPerSecond(60), c.perSecond60);
    }
    g_now = kT0 + 60'000'000;
    const std::vector<uint32_t> history = stats.SubmitSmHistory();
    ASSERT_EQ(history.size(), 300u);
    EXPECT_EQ(history[299], 0u);
    EXPECT_EQ(history[298], 21u);
    EXPECT_EQ(history[240], 1u);
    EXPECT_EQ(history[239], 1u);
    EXPECT_EQ(history[238], 0u);

    // The ring comes round: a submit 300 s after the first takes its slot afresh.
    Add(1, false, 300'000'000, SmppPdu(kSubmit, 200));
    Add(1, false, 0, SmppPdu(kSubmit, 201)); // as old as the ring is long: counted in no slot
    g_now = kT0 + 300'050'000;
    EXPECT_DOUBLE_EQ(stats.SubmitSmPerSecond(1), 1);
}

TEST_F(StatisticsTest, LatencyPercentilesAndHistogram) {
    // 1 ms to 100 ms, shuffled by a stride, on two connections.
    for (int i = 0; i < 100; ++i) {
        const int ms = (i * 37) % 100 + 1;
        Exchange(uint64_t(1 + i % 2), int64_t(i) * 200'000, kSubmit, uint32_t(i + 1), int64_t(ms) * 1000);
    }
    const CStatistics::LatencySummary latency = stats.Latency(CStatistics::Answerer::Tarnwick);
    EXPECT_EQ(latency.count, 100u);
    EXPECT_NEAR(latency.p50, 50, 0.5);
    EXPECT_NEAR(latency.p90, 90, 0.9);
    EXPECT_NEAR(latency.p99, 99, 0.99);
    EXPECT_DOUBLE_EQ(latency.max, 100);
    // Bounds 0.1 .. 10 ms, then 25, 50, 100, 250 ms ...: 1 ms, 1.x .. 2.5, 2.6 .. 5, and so on.
    const std::array<uint64_t, CStatistics::kLatencyBuckets> buckets = {0, 0, 0, 1, 1, 3, 5, 15, 25, 50};
    EXPECT_EQ(stats.LatencyBuckets(CStatistics::Answerer::Tarnwick), buckets);
    EXPECT_EQ(stats.LatencyBuckets(CStatistics::Answerer::Client), (std::array<uint64_t, CStatistics::kLatencyBuckets>{}));

    // A percentile is the latency at rank ceil(p * count): of 1, 2 and 3 ms the p50 is 2 ms, the p90 3 ms.
    stats.Reset();
    for (uint32_t ms : {3, 1, 2})
        Exchange(9, int64_t(ms) * 1'000'000, kSubmit, ms, int64_t(ms) * 1000);
    EXPECT_NEAR(stats.Latency(CStatistics::Answerer::Tarnwick).p50, 2, 0.02);
    EXPECT_NEAR(stats.Latency(CStatistics::Answerer::Tarnwick).p90, 3, 0.03);
    // Above 0.256 ms a percentile is the middle of its bucket (1000 .. 1003 µs here), never above the largest seen.
    stats.Reset();
    Exchange(9, 5'000'000, kSubmit, 7, 1000);
    EXPECT_DOUBLE_EQ(stats.Latency(CStatistics::Answerer::Tarnwick).p50, 1);
    Exchange(9, 6'000'000, kSubmit, 8, 50'000); // now the largest is far beyond: 1.001, the bucket's middle
    EXPECT_DOUBLE_EQ(stats.Latency(CStatistics::Answerer::Tarnwick).p50, 1.001);
}

// A request left without its answer counts once the pairs' unanswered time has passed, and no longer
// when its answer comes late; the log's wipe loses neither counts nor a request in flight.
TEST_F(StatisticsTest, UnansweredAndWhatSurvivesTheWipe) {
    Exchange(1, 0, kBindTrx, 1, 100);
    Add(1, false, 1'000'000, SmppPdu(kSubmit, 2));   // answered after the wipe
    Add(1, false, 1'100'000, SmppPdu(kSubmit, 3));   // never answered
    Add(1, true, 1'200'000, SmppPdu(kDeliver, 7));   // the ESME answers it late, after the wipe
    g_now = kT0 + 1'300'000;
    EXPECT_EQ(stats.Unanswered(), 0);

    g_now = kT0 + 2'000'000; // a PDU typed in fills the log, which is wiped while all three wait
    const Bytes filler(CPacketLog::kAreaSize - CPacketLog::kHeaderSize, 0);
    ASSERT_TRUE(log.AddTyped(kSmpp, filler.data(), uint32_t(filler.size())));
    Add(1, true, 2'500'000, SmppPdu(kSubmit | kResp, 2)); // and wiped again by this answer
    ASSERT_EQ(log.WipeCount(), 2);
    Add(2, true, 2'600'000, SmppPdu(kSubmit | kResp, 3)); // another connection's sequence 3: no answer to ours
    Add(1, false, 2'600'000, SmppPdu(kSubmit | kResp, 3)); // nor one from the end that sent the request
    EXPECT_EQ(stats.Latency(CStatistics::Answerer::Tarnwick).count, 2u);
    EXPECT_DOUBLE_EQ(stats.Latency(CStatistics::Answerer::Tarnwick).max, 1500);
    EXPECT_EQ(stats.Commands()[2].in, 2u) << "submit_sm counted before the wipe";
    EXPECT_EQ(stats.Commands()[4].out, 2u) << "submit_sm_resp";
    g_now = kT0 + 6'099'999;
    EXPECT_EQ(stats.Unanswered(), 0);
    g_now = kT0 + 6'100'000;
    EXPECT_EQ(stats.Unanswered(), 1) << "submit 3";
    g_now = kT0 + 6'250'000;
    EXPECT_EQ(stats.Unanswered(), 2) << "and the deliver_sm";
    Add(1, false, 6'250'000, SmppPdu(kDeliver | kResp, 7));
    EXPECT_EQ(stats.Unanswered(), 1);
    EXPECT_DOUBLE_EQ(stats.Latency(CStatistics::Answerer::Client).max, 5050) << "the ESME's answer, kept apart";
    EXPECT_DOUBLE_EQ(stats.Latency(CStatistics::Answerer::Tarnwick).max, 1500);

    // Wiped again once submit 3 (carried) and submit 4 (in the log) are overdue: both still count.
    Add(1, false, 2'700'000, SmppPdu(kSubmit, 4));
    g_now = kT0 + 7'700'000;
    EXPECT_EQ(stats.Unanswered(), 2);
    const int64_t wipes = log.WipeCount();
    ASSERT_TRUE(log.AddTyped(kSmpp, filler.data(), uint32_t(filler.size())));
    ASSERT_EQ(log.WipeCount(), wipes + 1);
    EXPECT_EQ(stats.Unanswered(), 2);

    Add(1, false, 6'500'000, SmppPdu(kSubmit, 20)); // waiting across the reset, then unanswered
    g_now = kT0 + 7'000'000;
    const uint64_t generation = stats.Generation();
    stats.Reset();
    EXPECT_NE(stats.Generation(), generation);
    EXPECT_EQ(Json("commands"), "[]");
    EXPECT_EQ(Json("latencyMs"), R"({"count":0,"max":0,"p50":0,"p90":0,"p99":0})");
    EXPECT_EQ(Json("esmeLatencyMs"), R"({"count":0,"max":0,"p50":0,"p90":0,"p99":0})");
    Add(9, false, 7'000'000, SmppPdu(kSubmit, 21), kSmpp, true); // opened: waits for nothing of this run
    ASSERT_TRUE(log.AddTyped(kSmpp, filler.data(), uint32_t(filler.size()))); // wiped, neither carried
    g_now = kT0 + 20'000'000;
    EXPECT_EQ(stats.Unanswered(), 0);
    EXPECT_EQ(stats.SubmitSmPerSecond(60), 0);
    Exchange(5, 7'000'000, kSubmit, 1, 100);
    EXPECT_EQ(Json("pdus"), "2");
}

// Every line of the exposition text is a comment or a well-formed sample of a family whose TYPE came
// first; the histogram's buckets climb to +Inf, which equals _count.
TEST_F(StatisticsTest, PrometheusTextReadsBack) {
    Exchange(1, 0, kBindTrx, 1, 80);
    Exchange(1, 1000, kSubmit, 2, 300, 0x58);
    Exchange(1, 2000, kSubmit, 3, 20'000'000, 0x09); // a status SMPP gives no name
    // A system id with a quote, a backslash and a line feed in it is written escaped, as every label is.
    stats.SetQueues([] { return std::vector<CSmppServer::QueueDepth>{{"esme1", 3, 2, 10}, {"a\"\\\nb", 0, 0, 1}}; });
    EXPECT_EQ(stats.QueuesText(), "esme1: 3 kept, 2 waiting, 10 unanswered; a\"\\\nb: 0 kept, 0 waiting, 1 unanswered");
    EXPECT_EQ(Json("queues"), R"([{"kept":3,"systemId":"esme1","unanswered":10,"waiting":2},)"
                              R"({"kept":0,"systemId":"a\"\\\nb","unanswered":1,"waiting":0}])");
    Add(1, true, 3000, SmppPdu(kDeliver, 9));
    Add(1, false, 3400, SmppPdu(kDeliver | kResp, 9));
    Add(2, false, 100, SmppPdu(kSubmit, 1), kSmpp, true);
    const std::string text = stats.Prometheus(3, 1).toStdString();

    const QRegularExpression sample(R"(^([a-z_]+)(?:\{((?:[a-z_]+="(?:[^"\\\n]|\\[\\"n])*",?)*)\})? (\S+)$)");
    const QRegularExpression label(R"re(([a-z_]+)="((?:[^"\\]|\\.)*)")re");
    std::map<std::string, std::string> types;
    std::map<std::string, double> values; // "name{labels}" -> value
    std::vector<std::pair<std::string, double>> buckets;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        SCOPED_TRACE(line);
        if (line.rfind("# TYPE ", 0) == 0) {
            const size_t space = line.find(' ', 7);
            types[line.substr(7, space - 7)] = line.substr(space + 1);
            continue;
        }
        if (line.rfind("# HELP ", 0) == 0)
            continue;
        const QRegularExpressionMatch match = sample.match(QString::fromStdString(line));
        ASSERT_TRUE(match.hasMatch());
        std::string family = match.captured(1).toStdString();
        for (const char* suffix : {"_bucket", "_sum", "_count"})
            if (!types.count(family) && family.size() > strlen(suffix) && family.ends_with(suffix))
                family.resize(family.size() - strlen(suffix));
        ASSERT_TRUE(types.count(family)) << "no TYPE before the sample";
        bool ok = false;
        const double value = match.captured(3).toDouble(&ok);
        ASSERT_TRUE(ok);
        EXPECT_FALSE(match.captured(3).endsWith('.')) << "a whole number is written without its point";
        std::string labels;
        for (auto it = label.globalMatch(match.captured(2)); it.hasNext();) {
            const QRegularExpressionMatch pair = it.next();
            EXPECT_FALSE(pair.captured(2).endsWith('.'));
            labels += pair.captured(1).toStdString() + "=" + pair.captured(2).toStdString() + ";";
            if (match.captured(1).endsWith("_bucket") && pair.captured(1) == "le" && labels.starts_with("by=tarnwick;"))
                buckets.emplace_back(pair.captured(2).toStdString(), value);
        }
        values[match.captured(1).toStdString() + "{" + labels + "}"] = value;
    }
    EXPECT_EQ(types, (std::map<std::string, std::string>{{"tarnwick_connections", "gauge"},
                                                          {"tarnwick_opened_pdus_total", "counter"},
                                                          {"tarnwick_pdus_total", "counter"},
                                                          {"tarnwick_response_latency_seconds", "histogram"},
                                                          {"tarnwick_smpp_queue_depth", "gauge"},
                                                          {"tarnwick_unanswered_requests", "gauge"}}));
    EXPECT_EQ(values["tarnwick_smpp_queue_depth{system_id=esme1;queue=kept;}"], 3);
    EXPECT_EQ(values[R"(tarnwick_smpp_queue_depth{system_id=a\"\\\nb;queue=unanswered;})"], 1);
    EXPECT_EQ(values["tarnwick_smpp_queue_depth{system_id=esme1;queue=waiting;}"], 2);
    EXPECT_EQ(values["tarnwick_pdus_total{protocol=SMPP;command=submit_sm;status=;direction=in;}"], 2);
    EXPECT_EQ(values["tarnwick_opened_pdus_total{protocol=SMPP;command=submit_sm;status=;direction=in;}"], 1);
    EXPECT_EQ(values["tarnwick_pdus_total{protocol=SMPP;command=submit_sm_resp;status=ESME_RTHROTTLED;direction=out;}"], 1);
    EXPECT_EQ(values["tarnwick_pdus_total{protocol=SMPP;command=submit_sm_resp;status=0x00000009;direction=out;}"], 1);
    EXPECT_EQ(values["tarnwick_connections{server=smpp;}"], 3);
    EXPECT_EQ(values["tarnwick_connections{server=mobile;}"], 1);
    EXPECT_EQ(values["tarnwick_unanswered_requests{}"], 0);
    EXPECT_DOUBLE_EQ(values["tarnwick_response_latency_seconds_sum{by=tarnwick;}"], 20.00038);
    EXPECT_DOUBLE_EQ(values["tarnwick_response_latency_seconds_sum{by=esme;}"], 0.0004);
    EXPECT_EQ(values["tarnwick_response_latency_seconds_count{by=esme;}"], 1);
    ASSERT_EQ(buckets.size(), size_t(CStatistics::kLatencyBuckets));
    EXPECT_EQ(buckets.front(), (std::pair<std::string, double>{"0.0001", 1}));
    EXPECT_EQ(buckets[2], (std::pair<std::string, double>{"0.0005", 2}));
    for (size_t i = 1; i < buckets.size(); ++i)
        EXPECT_LE(buckets[i - 1].second, buckets[i].second) << buckets[i].first;
    EXPECT_EQ(buckets.back(), (std::pair<std::string, double>{"+Inf", 3}));
    EXPECT_EQ(buckets[buckets.size() - 2].second, 2) << "20 s lies above the last bound";
    EXPECT_EQ(values["tarnwick_response_latency_seconds_count{by=tarnwick;}"], buckets.back().second);
}

} // namespace
