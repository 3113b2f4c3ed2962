// Fault rules over loopback: what each rule does to the answer, refused binds, delays and their
// order, throttling, chance, the console count, and the rule files that are refused.
#include "smpp/SmppServer.h"

#include "tests/engine/ServerSuite.h"

#include <optional>
#include <string>
#include <vector>

namespace test_server {
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ServerSuite);
}

namespace {

using namespace test_server;
using test_bytes::Builder;
using test_bytes::SmppPdu;

constexpr uint32_t kSubmit = 0x00000004, kSubmitResp = 0x80000004;

Bytes BindBody(const std::string& systemId) {
    return Builder().cstr(systemId).cstr("pw").cstr("").u8(0x34).u8(1).u8(1).cstr("");
}
Bytes Submit(uint32_t sequence, const std::string& destination = "67890") {
    return SmppPdu(kSubmit, sequence, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr(destination)
        .u8(0).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(0).u8(0).u8(2).raw("Hi"));
}
Bytes SubmitMulti(uint32_t sequence) { // to the SME 111 and the list "friends"
    return SmppPdu(0x00000021, sequence, Builder().cstr("").u8(1).u8(1).cstr("12345").u8(2)
        .u8(1).u8(1).u8(1).cstr("111").u8(2).cstr("friends")
        .u8(0).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0).u8(0).u8(0).u8(2).raw("Hi"));
}
Bytes Submitted(uint32_t sequence, const std::string& id) { return SmppPdu(kSubmitResp, sequence, Builder().cstr(id)); }
Bytes Status(uint32_t commandId, uint32_t sequence, uint32_t status) { return SmppPdu(commandId, sequence, {}, status); }

struct SmppTraits {
    using Server = CSmppServer;
    static constexpr uint16_t kProtocol = 2;
};

class FaultRulesTest : public ServerTest<SmppTraits> {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        server.SetScheduler(scheduler);
        server.Faults().SetSeed(7);
    }
    void Rules(const char* json) {
        QString error;
        const auto rules = fault_rules::Parse(json, &error);
        ASSERT_EQ(error, QString());
        ASSERT_EQ(server.Faults().SetRules(rules), QString());
    }
    std::unique_ptr<TestClient> Bound(const std::string& systemId = "esme") {
        auto esme = Connect();
        esme->Send(SmppPdu(0x00000009, 1, BindBody(systemId)));
        EXPECT_TRUE(esme->NextPdu());
        return esme;
    }
    // Everything the client has been sent once an unknown command's nack, sent last, is back.
    std::vector<Bytes> AnswersUpToMarker(TestClient& esme) {
        esme.Send(SmppPdu(0x000000FF, 0x77));
        std::vector<Bytes> answers;
        for (std::optional<Bytes> pdu; (pdu = esme.NextPdu()) && *pdu != Status(0x80000000, 0x77, 3);)
            answers.push_back(*pdu);
        return answers;
    }

    CManualScheduler scheduler;
};

TEST_F(FaultRulesTest, EachRuleShapesTheAnswerAndTheFirstMatchWins) {
    const struct {
        const char* name;
        const char* rules;
        Bytes request;
        std::vector<Bytes> answers;
        bool closes;
    } cases[] = {
        {"no rule matches", R"([{"command":"submit_sm","systemId":"^other$","status":8}])", Submit(2),
         {Submitted(2, "000000")}, false},
        {"error status: header only, no message id", R"([{"command":"submit_sm","status":"0X45"}])", Submit(2),
         {Status(kSubmitResp, 2, 0x45)}, false}, // hex written 0X as well as 0x
        {"every message operation", R"([{"status":69}])", Submit(2), {Status(kSubmitResp, 2, 0x45)}, false},
        {"drop", R"([{"action":"drop"}])", Submit(2), {}, false},
        {"nack", R"([{"action":"nack","status":8}])", Submit(2), {Status(0x80000000, 2, 8)}, false},
        {"close after the answer", R"([{"action":"close"}])", Submit(2), {Submitted(2, "000000")}, true},
        {"close after an error answer", R"([{"action":"close","status":8}])", Submit(2), {Status(kSubmitResp, 2, 8)}, true},
        {"enquire_link by name", R"([{"command":"enquire_link","status":8}])", SmppPdu(0x00000015, 2),
         {Status(0x80000015, 2, 8)}, false},
        {"message operations leave enquire_link alone", R"([{"status":8}])", SmppPdu(0x00000015, 2),
         {SmppPdu(0x80000015, 2)}, false},
        {"first matching rule wins",
         R"([{"destination":"^999","status":1},{"command":"submit_sm","systemId":"^es","status":20},{"status":69}])",
         Submit(2), {Status(kSubmitResp, 2, 20)}, false},
        {"any destination of a submit_multi", R"([{"destination":"^friends$","status":51}])", SubmitMulti(2),
         {Status(0x80000021, 2, 51)}, false},
        {"data_sm addresses longer than submit_sm's", R"([{"destination":"^999","status":69}])",
         SmppPdu(0x00000103, 2, Builder().cstr("").u8(1).u8(1).cstr(std::string(30, '1')).u8(1).u8(1)
                                    .cstr(std::string(25, '9')).u8(0).u8(0).u8(0)),
         {Status(0x80000103, 2, 0x45)}, false},
        {"a submit_multi cut inside its source offers no destination", R"([{"destination":"^1","status":69}])",
         SmppPdu(0x00000021, 2, Builder().cstr("").u8(1).u8(1).raw(std::string(30, '1'))),
         {SmppPdu(0x80000021, 2, Builder().cstr("000000").u8(0))}, false},
        {"destination of the full 20 characters", R"([{"destination":"^12345678901234567890$","status":11}])",
         Submit(2, "12345678901234567890"), {Status(kSubmitResp, 2, 11)}, false},
        {"disabled rule", R"([{"status":8,"enabled":false}])", Submit(2), {Submitted(2, "000000")}, false},
        {"probability 0", R"([{"status":8,"probability":0}])", Submit(2), {Submitted(2, "000000")}, false},
        {"probability 1, the top of its range", R"([{"status":8,"probability":1}])", Submit(2), {Status(kSubmitResp, 2, 8)}, false},
        {"failed unbind stays open", R"([{"command":"unbind","status":8}])", SmppPdu(0x00000006, 2),
         {Status(0x80000006, 2, 8)}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rules(c.rules);
        server.SetNextMessageId(0);
        auto esme = Bound();
        ASSERT_TRUE(log.Reset());
        esme->Send(c.request);
        if (c.closes) {
            for (const Bytes& answer : c.answers)
                EXPECT_EQ(esme->NextPdu(), answer);
            EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
        } else {
            EXPECT_EQ(AnswersUpToMarker(*esme), c.answers);
        }
        // The brief list shows the request and whatever answer went out.
        std::vector<Bytes> expected{FromClient(*esme, c.request)};
        for (const Bytes& answer : c.answers)
            expected.push_back(FromServer(answer));
        std::vector<Bytes> records = Records();
        std::erase_if(records, [](const Bytes& r) { return r.size() >= 32 && r[31] == 0x77; });
        EXPECT_EQ(records, expected);
    }
}

// A rule's SMPP 5.0 parameters reach a session at 5.0 only: congestion_state on any answer but a generic_nack, the
// delivery failure ones on submit_sm_resp and data_sm_resp, behind an empty message_id where the answer is an error.
// A session at 3.4 gets the answers without them, and one at 3.3 never an octet of any optional parameter.
TEST_F(FaultRulesTest, TheParametersOf50GoToSessionsAt50Only) {
    Rules(R"([{"command":"submit_sm","status":"0x45","congestionState":80,"additionalStatusInfoText":"busy",)"
          R"("deliveryFailureReason":2,"dpfResult":1,"networkErrorCode":"3:27"},)"
          R"({"command":"data_sm","congestionState":10,"dpfResult":0},)"
          R"({"command":"enquire_link","congestionState":40,"dpfResult":1},)"
          R"({"command":"query_sm","action":"nack","status":8,"congestionState":90}])");
    using test_bytes::Tlv;
    const Bytes dataSm = SmppPdu(0x00000103, 2, Builder().cstr("").u8(1).u8(1).cstr("1").u8(1).u8(1).cstr("2").u8(0).u8(0).u8(0));
    const Bytes congestion40 = Tlv(0x0428, {40});
    const struct {
        const char* name;
        Bytes request;
        Bytes at50, below50;
    } cases[] = {
        {"an error answer", Submit(2),
         SmppPdu(kSubmitResp, 2, Builder().u8(0).raw(Tlv(0x0428, {80})).raw(Tlv(0x001D, {'b', 'u', 's', 'y', 0}))
                                     .raw(Tlv(0x0425, {2})).raw(Tlv(0x0420, {1})).raw(Tlv(0x0423, {3, 0, 27})), 0x45),
         Status(kSubmitResp, 2, 0x45)},
        {"a served answer", dataSm,
         SmppPdu(0x80000103, 2, Builder().cstr("000000").raw(Tlv(0x0428, {10})).raw(Tlv(0x0420, {0}))),
         SmppPdu(0x80000103, 2, Builder().cstr("000000"))},
        {"congestion alone on a bodiless answer", SmppPdu(0x00000015, 2), SmppPdu(0x80000015, 2, congestion40),
         SmppPdu(0x80000015, 2)},
        {"nothing on a generic_nack", SmppPdu(0x00000003, 2, Builder().cstr("1")), Status(0x80000000, 2, 8),
         Status(0x80000000, 2, 8)},
    };
    for (const auto& c : cases) {
        for (const uint8_t version : {0x50, 0x34, 0x33}) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(version));
            server.SetNextMessageId(0);
            auto esme = Connect();
            esme->Send(SmppPdu(0x00000009, 1, Builder().cstr("esme").cstr("pw").cstr("").u8(version).u8(0).u8(0).cstr("")));
            ASSERT_TRUE(esme->NextPdu());
            esme->Send(c.request);
            EXPECT_EQ(AnswersUpToMarker(*esme), std::vector<Bytes>{version == 0x50 ? c.at50 : c.below50});
        }
    }
}

// A refused bind leaves the connection unbound; its next request learns 0x00000004 and the bound
// rule closes the connection. Another system id binds as usual.
TEST_F(FaultRulesTest, RefusedBindLeavesTheConnectionUnbound) {
    Rules(R"([{"command":"bind","systemId":"^bad","status":13}])");
    auto good = Bound("good");
    EXPECT_STREQ(ConnectionOf(*good)->Name(), "good");
    const struct {
        const char* name;
        const char* rules;
        std::vector<Bytes> answers;
    } cases[] = {
        {"status", R"([{"command":"bind","systemId":"^bad","status":13}])", {Status(0x80000009, 1, 13)}},
        {"nack", R"([{"command":"bind_transceiver","action":"nack","status":13}])", {Status(0x80000000, 1, 13)}},
        {"drop", R"([{"command":"bind","action":"drop"}])", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rules(c.rules);
        auto esme = Connect();
        esme->Send(SmppPdu(0x00000009, 1, BindBody("bad-esme")));
        EXPECT_EQ(AnswersUpToMarker(*esme), c.answers);
        EXPECT_STREQ(ConnectionOf(*esme)->Name(), "");
        esme->Send(Submit(2));
        EXPECT_EQ(esme->NextPdu(), Status(kSubmitResp, 2, 4));
        EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
    }
    // A bind no rule refuses clears the refusal before it, though the accounts refuse it: the request
    // after it is closed on, untold.
    Rules(R"([{"command":"bind","systemId":"^bad","status":13}])");
    QString error;
    ASSERT_TRUE(server.SetAccounts(accounts::Parse(R"([{"systemId":"good","password":"pw"}])", &error)));
    auto esme = Connect();
    esme->Send(SmppPdu(0x00000009, 1, BindBody("bad-esme")));
    esme->Send(SmppPdu(0x00000009, 2, BindBody("nobody")));
    EXPECT_EQ(AnswersUpToMarker(*esme).size(), 2u);
    esme->Send(Submit(3));
    EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
    EXPECT_TRUE(esme->Received().empty());
}

// Another policy in place of the rules decides every answer the server gives, sees the request as
// the server read it, and hears of the connection's close; taken away, the rules decide again.
TEST_F(FaultRulesTest, AnotherAnswerPolicyDecidesInPlaceOfTheRules) {
    struct Policy : smpp::IAnswerPolicy {
        bool IsActive() const override { return true; }
        smpp::AnswerDecision Decide(const smpp::PolicyRequest& r, CScheduler&) override {
            asked.push_back(std::string(r.systemId) + (r.bound ? "+" : "-"));
            using Kind = smpp::AnswerDecision::Kind;
            if (r.commandId == kSubmit)
                return {Kind::StatusOnly, r.responseId, r.responseFilterIndex, 0x58};
            if (r.commandId == 0x00000015)
                return {Kind::Drop};
            return {};
        }
        void Forget(uint64_t connection) override { forgotten.push_back(connection); }
        std::vector<std::string> asked;
        std::vector<uint64_t> forgotten;
    } policy;
    Rules(R"([{"command":"submit_sm","status":8}])");
    server.SetAnswerPolicy(&policy);
    auto esme = Bound();
    const uint64_t id = ConnectionOf(*esme)->Id();
    esme->Send(Builder().raw(Submit(2)).raw(SmppPdu(0x00000015, 3)).bytes());
    EXPECT_EQ(AnswersUpToMarker(*esme), std::vector<Bytes>{Status(kSubmitResp, 2, 0x58)});
    EXPECT_EQ(policy.asked, (std::vector<std::string>{"esme-", "esme+", "esme+"})) << "never asked of the nacked marker";
    esme->Reset();
    ASSERT_TRUE(WaitUntil([&] { return server.GetConnectionCount() == 0; }, kCloseWaitMs));
    EXPECT_EQ(policy.forgotten, std::vector<uint64_t>{id});

    server.SetAnswerPolicy(nullptr);
    auto again = Bound();
    again->Send(Submit(2));
    EXPECT_EQ(again->NextPdu(), Status(kSubmitResp, 2, 8));
}

// Answers leave in request order except the delayed one, which keeps the message id its request
// took; a held answer whose connection has gone is dropped.
TEST_F(FaultRulesTest, DelayedAnswerGoesOutLateWithoutHoldingBackTheOthers) {
    {
        Rules(R"([{"command":"query_sm","action":"nack","status":3,"delayMs":100}])");
        auto nacked = Bound();
        nacked->Send(SmppPdu(0x00000003, 2, Builder().cstr("000000").u8(1).u8(1).cstr("12345")));
        EXPECT_EQ(AnswersUpToMarker(*nacked), std::vector<Bytes>{}) << "the nack is held too";
        scheduler.Advance(100);
        EXPECT_EQ(nacked->NextPdu(), Status(0x80000000, 2, 3));
    }

    Rules(R"([{"destination":"^1","delayMs":500},{"command":"enquire_link","delayMs":200,"action":"close"}])");
    auto esme = Bound();
    esme->Send(Builder().raw(Submit(2, "111")).raw(Submit(3, "222")).raw(SmppPdu(0x00000015, 4)).bytes());
    EXPECT_EQ(AnswersUpToMarker(*esme), std::vector<Bytes>{Submitted(3, "000001")});
    EXPECT_EQ(scheduler.Pending(), 3u) << "two answers and the console count";
    scheduler.Advance(199);
    EXPECT_FALSE(esme->NextPdu(100));
    scheduler.Advance(1);
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000015, 4));
    EXPECT_TRUE(WaitUntil([&] { return IsClosing(*esme); }));
    scheduler.Advance(300);
    EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
    EXPECT_TRUE(esme->Received().empty()) << "the submit_sm answer died with its connection";

    auto other = Bound();
    ASSERT_TRUE(log.Reset());
    other->Send(Submit(5, "123"));
    ASSERT_TRUE(WaitUntil([&] { return log.GetCount() == 1; }));
    other->Reset();
    ASSERT_TRUE(WaitUntil([&] { return server.GetConnectionCount() == 0; }, kCloseWaitMs));
    scheduler.Advance(500);
    EXPECT_EQ(Records(), std::vector<Bytes>{FromClient(*other, Submit(5, "123"))}) << "no answer captured";
}

// A connection remembers the last request no rule matched; the next one that differs, if only
// by an octet of its destination, still meets every rule. Rules of the text protocols are not the SMPP server's.
TEST_F(FaultRulesTest, ARepeatedRequestNoRuleMatchedLeavesTheRulesInForce) {
    Rules(R"([{"protocol":"cimd2","status":9},{"protocol":"smpp","destination":"^1|^2221$","status":8}])");
    auto esme = Bound();
    const struct {
        const char* destination;
        Bytes answer;
    } steps[] = {
        {"222", Submitted(2, "000000")}, {"222", Submitted(3, "000001")}, {"111", Status(kSubmitResp, 4, 8)},
        {"211", Submitted(5, "000002")}, // only the first octet differs from the last one read
        {"222", Submitted(6, "000003")}, {"2221", Status(kSubmitResp, 7, 8)}, {"22", Submitted(8, "000004")},
    };
    uint32_t sequence = 1;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.destination);
        esme->Send(Submit(++sequence, step.destination));
        EXPECT_EQ(esme->NextPdu(), step.answer);
    }
    // As many rules again, other destinations: what the old rules said of one no longer counts.
    Rules(R"([{"protocol":"cimd2","status":9},{"protocol":"smpp","destination":"^222$","status":8}])");
    esme->Send(Submit(++sequence, "222"));
    EXPECT_EQ(esme->NextPdu(), Status(kSubmitResp, sequence, 8));
    esme->Send(Submit(++sequence, "111"));
    EXPECT_EQ(esme->NextPdu(), Submitted(sequence, "000005"));
}

TEST_F(FaultRulesTest, ThrottlesAboveTheRateInEachSecond) {
    Rules(R"([{"command":"submit_sm","ratePerSecond":2}])");
    auto esme = Bound();
    const std::vector<Bytes> burst{Submitted(1, "000000"), Submitted(2, "000001"), Status(kSubmitResp, 3, 0x58)};
    for (int second = 0; second < 2; ++second) {
        SCOPED_TRACE(second);
        for (uint32_t s = 1; s <= 3; ++s)
            esme->Send(Submit(s));
        EXPECT_EQ(AnswersUpToMarker(*esme), burst);
        scheduler.Advance(1000);
        server.SetNextMessageId(0);
    }
    scheduler.Advance(CSmppServer::kFaultReportMs);
    EXPECT_EQ(observer.lines.back(),
              "Fault rule 1 (submit_sm, answer, status 0x00000000) applied 6 times in 10 s, 2 throttled\r\n");
}

// The same seed meets the same faults, about as often as the rule's chance says (a chance halved
// or doubled falls outside the bounds); the console counts each rule once per ten seconds.
TEST_F(FaultRulesTest, ChanceFollowsTheSeedAndTheConsoleCountsPerRule) {
    Rules(R"([{"probability":0.5,"status":8},{"command":"enquire_link","action":"drop"}])");
    std::vector<std::vector<Bytes>> runs;
    for (int run = 0; run < 2; ++run) {
        server.Faults().SetSeed(42);
        server.SetNextMessageId(0);
        auto esme = Bound();
        Builder burst;
        for (uint32_t s = 1; s <= 1000; ++s)
            burst.raw(Submit(s));
        esme->Send(burst);
        runs.push_back(AnswersUpToMarker(*esme));
    }
    EXPECT_EQ(runs[0], runs[1]);
    const auto refused = std::count_if(runs[0].begin(), runs[0].end(), [](const Bytes& b) { return b[11] == 8; });
    EXPECT_GT(refused, 400);
    EXPECT_LT(refused, 600);

    observer.lines.clear();
    auto esme = Bound();
    esme->Send(SmppPdu(0x00000015, 2));
    AnswersUpToMarker(*esme);
    scheduler.Advance(CSmppServer::kFaultReportMs);
    const std::string count = std::to_string(2 * refused);
    EXPECT_EQ(observer.lines,
              (std::vector<std::string>{
                  "Fault rule 1 (message operations, answer, status 0x00000008) applied " + count + " times in 10 s\r\n",
                  "Fault rule 2 (enquire_link, drop, status 0x00000000) applied 1 times in 10 s\r\n"}));
    scheduler.Advance(CSmppServer::kFaultReportMs);
    EXPECT_EQ(observer.lines.size(), 2u) << "a quiet rule says nothing";
}

TEST(FaultRuleFiles, BadFilesAreRefusedNamingTheRuleAndTheField) {
    const struct {
        const char* json;
        const char* error;
    } cases[] = {
        {R"([{"command":"submit_sm"},)", "Fault rules are not JSON (unterminated array at offset 25)"},
        {R"({"command":"submit_sm"})", "Fault rules must be a JSON array of rule objects"},
        {R"([{}, 3])", "Rule 2: not a JSON object"},
        {R"([{"delay":5}])", "Rule 1, \"delay\": unknown field"}, // delayMs is meant
        {R"([{"command":"submit"}])", "Rule 1, \"command\": unknown command \"submit\""},
        {R"([{}, {"systemId":"(esme"}])",
         "Rule 2, \"systemId\": bad regular expression (missing closing parenthesis at offset 5)"},
        {R"([{"destination":"[0-9"}])",
         "Rule 1, \"destination\": bad regular expression (missing terminating ] for character class at offset 4)"},
        {R"([{"status":"0x1G"}])", "Rule 1, \"status\": a command_status from 0 to 0xFFFFFFFF expected"},
        {R"([{"status":-1}])", "Rule 1, \"status\": a command_status from 0 to 0xFFFFFFFF expected"},
        {R"([{"delayMs":-5}])", "Rule 1, \"delayMs\": a whole number from 0 to 86400000 expected"},
        {R"([{"action":"hang"}])", "Rule 1, \"action\": answer, drop, close or nack expected, not \"hang\""},
        {R"([{"probability":1.5}])", "Rule 1, \"probability\": a number from 0 to 1 expected"},
        {R"([{"ratePerSecond":2.5}])", "Rule 1, \"ratePerSecond\": a whole number from 0 to 2147483647 expected"},
        {R"([{"enabled":"yes"}])", "Rule 1, \"enabled\": true or false expected"},
        {R"([{"congestionState":101}])", "Rule 1, \"congestionState\": a whole number from 0 to 100 expected"},
        {R"([{"dpfResult":2}])", "Rule 1, \"dpfResult\": a whole number from 0 to 1 expected"},
        {R"([{"deliveryFailureReason":"1"}])", "Rule 1, \"deliveryFailureReason\": a whole number from 0 to 255 expected"},
        {R"([{"additionalStatusInfoText":5}])", "Rule 1, \"additionalStatusInfoText\": text expected"},
        {R"([{"networkErrorCode":"3"}])", "Rule 1, \"networkErrorCode\": a network type and an error code expected (\"3:27\")"},
        {R"([{"networkErrorCode":"3:65536"}])", "Rule 1, \"networkErrorCode\": a network type and an error code expected (\"3:27\")"},
        {R"([{"networkErrorCode":"256:1"}])", "Rule 1, \"networkErrorCode\": a network type and an error code expected (\"3:27\")"},
        {R"([{"command":"broadcast_sm_resp"}])", "Rule 1, \"command\": unknown command \"broadcast_sm_resp\""},
        {R"([{"protocol":"emi"}])", "Rule 1, \"protocol\": \"smpp\", \"ucp\" or \"cimd2\" expected"},
        {R"([{"protocol":"ucp","command":"submit_sm"}])", "Rule 1, \"command\": \"\" or \"bind\" expected for ucp"},
        {R"([{"protocol":"ucp","status":100}])", "Rule 1, \"status\": an error code from 0 to 99 expected for ucp"},
        {R"([{"protocol":"cimd2","status":1000}])", "Rule 1, \"status\": an error code from 0 to 999 expected for cimd2"},
        {R"([{"protocol":"cimd2","ratePerSecond":5}])", "Rule 1, \"ratePerSecond\": not taken for cimd2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        QString error;
        EXPECT_TRUE(fault_rules::Parse(c.json, &error).empty());
        EXPECT_EQ(error.toStdString(), c.error);
    }
    const char* good = R"([{"command":"bind","systemId":"^x","status":"0x0000000D","delayMs":5,"action":"close",)"
                       R"("probability":0.25,"ratePerSecond":3,"enabled":false},{"command":"cancel_broadcast_sm",)"
                       R"("congestionState":0,"additionalStatusInfoText":"busy","deliveryFailureReason":255,"dpfResult":1,)"
                       R"("networkErrorCode":"255:65535"},{"protocol":"cimd2","command":"bind","status":103}])";
    QString error;
    const std::vector<FaultRule> rules = fault_rules::Parse(good, &error);
    EXPECT_EQ(error, QString());
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[2].protocol, "cimd2");
    EXPECT_FALSE(rules[0].enabled);
    EXPECT_EQ(rules[0].status, 13u);
    EXPECT_EQ(rules[1].parameters.networkErrorCode, 0xFFFFFF);
    EXPECT_EQ(rules[1].parameters.congestionState, 0);
    EXPECT_EQ(fault_rules::Parse(fault_rules::ToJson(rules), &error), rules) << "stored as read";
    FaultRule off;
    off.enabled = false;
    CFaultRules most;
    EXPECT_EQ(most.SetRules(std::vector<FaultRule>(CFaultRules::kMaxRules, off)), QString());
    EXPECT_EQ(most.SetRules(std::vector<FaultRule>(CFaultRules::kMaxRules + 1)), "More than 65535 fault rules");
    // A rule made on the options page, never read from JSON, meets the same bounds when it is set.
    using Change = void (*)(FaultRule&);
    const std::pair<Change, const char*> built[] = {
        {[](FaultRule& r) { r.delayMs = fault_rules::kMaxDelayMs, r.parameters = {100, std::string(255, 'x'), 255, 1, 0xFFFFFF}; }, ""},
        {[](FaultRule& r) { r.delayMs = fault_rules::kMaxDelayMs + 1; }, "Rule 1, \"delayMs\": a whole number from 0 to 86400000 expected"},
        {[](FaultRule& r) { r.probability = std::nan(""); }, "Rule 1, \"probability\": a number from 0 to 1 expected"},
        {[](FaultRule& r) { r.ratePerSecond = -1; }, "Rule 1, \"ratePerSecond\": a whole number from 0 to 2147483647 expected"},
        {[](FaultRule& r) { r.parameters.congestionState = 101; }, "Rule 1, \"congestionState\": a whole number from 0 to 100 expected"},
        {[](FaultRule& r) { r.parameters.additionalStatusInfoText.assign(256, 'x'); },
         "Rule 1, \"additionalStatusInfoText\": longer than 255 characters"},
        {[](FaultRule& r) { r.parameters.networkErrorCode = 0x1000000; },
         "Rule 1, \"networkErrorCode\": a network type and an error code expected (\"3:27\")"},
    };
    for (const auto& [change, error] : built) {
        FaultRule rule;
        change(rule);
        EXPECT_EQ(CFaultRules().SetRules({rule}).toStdString(), error);
    }
}

} // namespace
