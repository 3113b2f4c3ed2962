// The UCP/EMI server over loopback with a real client: each operation's answer, logins against the accounts,
// the window of operations the server sends, and bytes that are no UCP at all.
#include "ucpserver/UcpServer.h"

#include "tests/engine/ServerSuite.h"

#include <random>
#include <string>
#include <vector>

namespace {

using namespace test_server;

// A frame from its TRN, O or R, OT and fields, LEN and CHK counted here as the standard defines them.
// lengthWrong is added to LEN.
std::string Frame(int trn, char kind, int ot, const std::string& fields, int lengthWrong = 0) {
    const std::string tail = fields + "/";
    char head[32];
    std::snprintf(head, sizeof head, "%02d/%05zu/%c/%02d/", trn, 14 + tail.size() + 2 + lengthWrong, kind, ot);
    const std::string body = head + tail;
    unsigned sum = 0;
    for (char c : body)
        sum += uint8_t(c);
    char check[3];
    std::snprintf(check, sizeof check, "%02X", sum & 0xFF);
    return "\x02" + body + check + "\x03";
}
std::string Op(int trn, int ot, const std::string& fields) { return Frame(trn, 'O', ot, fields); }
std::string Ack(int trn, int ot, const std::string& fields) { return Frame(trn, 'R', ot, "A/" + fields); }
std::string Nack(int trn, int ot, const char* ec) { return Frame(trn, 'R', ot, std::string("N/") + ec + "/"); }

// The 33 fields of the 50 series, those given by name and the rest empty.
std::string Series50(std::initializer_list<std::pair<std::string_view, std::string>> given) {
    std::string fields;
    for (std::string_view name : ucp::kSeries50Fields) {
        const auto it = std::find_if(given.begin(), given.end(), [&](const auto& g) { return g.first == name; });
        fields += (fields.empty() && name == ucp::kSeries50Fields[0] ? "" : "/") + (it == given.end() ? "" : it->second);
    }
    return fields;
}
std::string Submit(int trn, const std::string& adc, const std::string& amsg, const char* mt = "3") {
    return Op(trn, 51, Series50({{"AdC", adc}, {"OAdC", "06111"}, {"MT", mt}, {"Msg", amsg}}));
}
// A transparent 51 of this many octets after a concatenation UDH of six: the UDH counts toward the 140.
std::string TransparentSubmit(int trn, std::size_t octets) {
    const uint8_t udh[] = {0x05, 0x00, 0x03, 0x45, 0x02, 0x01};
    return Op(trn, 51, Series50({{"AdC", "0612345678"}, {"OAdC", "06111"}, {"MT", "4"}, {"NB", std::to_string(8 * octets)},
                                 {"Msg", std::string(2 * octets, 'A')}, {"XSer", ucp::XSerElementHex(ucp::kXSerUdh, udh)}}));
}
// "Hello" as GSM code points; kScts and kNextScts stand for the SCTS of the case's clock (TZ=UTC) and the
// second after, which Run puts in.
const std::string kHello = "48656C6C6F";
const std::string kScts = "{scts}", kNextScts = "{scts+1}";
// IRA "secret" in hex, as PWD carries it.
const std::string kSecret = "736563726574";

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ServerSuite); // its PDUs open with their length, UCP's do not

struct UcpTraits {
    using Server = CUcpServer;
    static constexpr uint16_t kProtocol = protocol::kUcp;
};
struct Exchange {
    const char* name;
    std::vector<std::string> sent;
    std::vector<std::string> answers;
};

class UcpServerTest : public ServerTest<UcpTraits> {
protected:
    static std::string Scts(int64_t seconds) { return UtcText(seconds, "%d%m%y%H%M%S"); }
    // The frame with the SCTS of now (and of the second after) in place of kScts (kNextScts), its LEN and
    // CHK counted again.
    std::string Stamped(std::string frame) const {
        bool changed = false;
        for (const auto& [mark, seconds] : {std::pair{kScts, now}, std::pair{kNextScts, now + 1}})
            for (std::size_t at; (at = frame.find(mark)) != std::string::npos; changed = true)
                frame.replace(at, mark.size(), Scts(seconds));
        if (!changed)
            return frame;
        // TRN, O or R, OT and the fields are where Frame put them: build it again around them.
        const std::string inner = frame.substr(1, frame.rfind('/') - 1);
        return Frame(std::stoi(inner.substr(0, 2)), inner[9], std::stoi(inner.substr(11, 2)), inner.substr(14));
    }
    // Each exchange on a connection of its own: the frames sent, then exactly the answers expected.
    void Run(const Exchange& c) {
        SCOPED_TRACE(c.name);
        now += 60; // later than every SCTS an earlier case was given
        auto client = Connect();
        for (const std::string& frame : c.sent)
            client->Send(frame);
        for (std::string answer : c.answers)
            EXPECT_EQ(client->NextFrame(), Stamped(answer));
        EXPECT_EQ(client->NextFrame(50), std::nullopt);
    }
};

TEST_F(UcpServerTest, AnswersEachOperationOnItsTrnAndOtWithoutAccounts) {
    const std::string longText(2 * 161, '4'); // 161 GSM code points
    const Exchange cases[] = {
        {"alert keeps alive", {Op(7, 31, "0612345678/0539")}, {Ack(7, 31, "0000")}},
        {"submit names the message by AdC:SCTS, a second one second later",
         {Submit(1, "0612345678", kHello), Submit(2, "0687654321", kHello)},
         {Ack(1, 51, "/0612345678:" + kScts), Ack(2, 51, "/0687654321:" + kNextScts)}},
        {"call input", {Op(3, 1, "0612345678/06111//3/" + kHello)}, {Ack(3, 1, "0612345678:" + kScts)}},
        {"login without accounts, then a second one",
         {Op(4, 60, "07656765/6/5/1/" + kSecret + "//0100/////"), Op(5, 60, "07656765/6/5/1///0100/////")},
         {Ack(4, 60, ""), Nack(5, 60, "07")}},
        {"login that is no session start", {Op(4, 60, "07656765/6/5/2/" + kSecret + "//0100/////")}, {Nack(4, 60, "03")}},
        {"login with no STYP", {Op(4, 60, "07656765/6/5//" + kSecret + "//0100/////")}, {Nack(4, 60, "03")}},
        {"AdC not digits", {Submit(5, "06x2345678", kHello)}, {Nack(5, 51, "06")}},
        {"AdC empty", {Submit(5, "", kHello)}, {Nack(5, 51, "06")}},
        {"AdC of 16 digits, the most", {Submit(5, "0612345678901234", kHello)}, {Ack(5, 51, "/0612345678901234:" + kScts)}},
        {"AdC of 17 digits", {Submit(5, "06123456789012345", kHello)}, {Nack(5, 51, "06")}},
        {"AMsg over 160 characters", {Submit(6, "0612345678", longText)}, {Nack(6, 51, "24")}},
        {"TMsg and UDH of 140 octets", {TransparentSubmit(6, 134)}, {Ack(6, 51, "/0612345678:" + kScts)}},
        {"TMsg and UDH of 141 octets", {TransparentSubmit(6, 135)}, {Nack(6, 51, "24")}},
        {"TMsg one octet more than NB counts",
         {Op(6, 51, Series50({{"AdC", "0612345678"}, {"OAdC", "06111"}, {"MT", "4"}, {"NB", "16"}, {"Msg", "414243"}}))},
         {Nack(6, 51, "02")}},
        {"AMsg not hex", {Submit(6, "0612345678", "48656C6C6G")}, {Nack(6, 51, "02")}},
        {"AMsg of 7F, the last GSM code point (a-grave), then of 80",
         {Submit(6, "0612345678", "487F"), Submit(7, "0612345678", "4880")},
         {Ack(6, 51, "/0612345678:" + kScts), Nack(7, 51, "02")}},
        {"NMsg of digits, then one with a letter", {Submit(6, "0612345678", "0123", "2"), Submit(7, "0612345678", "012A", "2")},
         {Ack(6, 51, "/0612345678:" + kScts), Nack(7, 51, "02")}},
        {"MT none of 2, 3, 4", {Submit(6, "0612345678", kHello, "5")}, {Nack(6, 51, "02")}},
        {"a field too few", {Op(8, 51, Series50({{"AdC", "0612345678"}}).substr(1))}, {Nack(8, 51, "02")}},
        {"checksum one off", {[] { std::string f = Op(9, 31, "0612345678/0539"); f[f.size() - 2] ^= 1; return f; }()},
         {Nack(9, 31, "01")}},
        {"a result's checksum one off: no answer to an answer",
         {[] { std::string f = Ack(9, 52, "/"); f[f.size() - 2] ^= 1; return f; }()}, {}},
        {"LEN one short", {Frame(9, 'O', 31, "0612345678/0539", -1)}, {Nack(9, 31, "02")}},
        {"LEN counting STX and ETX", {Frame(9, 'O', 31, "0612345678/0539", 2)}, {Nack(9, 31, "02")}},
        {"multiple address call input", {Op(10, 2, "1/0612345678/06111//3/" + kHello)}, {Nack(10, 2, "03")}},
        {"message transfer", {Op(11, 30, "0612345678/////////" + kHello)}, {Nack(11, 30, "03")}},
        {"inquiry", {Op(12, 55, Series50({{"AdC", "0612345678"}}))}, {Nack(12, 55, "03")}},
        {"an OT no table has", {Op(13, 99, "1")}, {Nack(13, 99, "03")}},
        {"a result to nothing of ours", {Ack(14, 52, "/")}, {}},
    };
    for (const Exchange& c : cases)
        Run(c);
}

TEST_F(UcpServerTest, LoginChecksOAdCAndPwdAgainstTheAccounts) {
    Account account;
    account.systemId = "07656765";
    account.password = "secret";
    server.SetAccounts({account});
    const std::string login = Op(1, 60, "07656765/6/5/1/" + kSecret + "//0100/////");
    const Exchange cases[] = {
        {"right password, then a submit", {login, Submit(2, "0612345678", kHello)},
         {Ack(1, 60, ""), Ack(2, 51, "/0612345678:" + kScts)}},
        {"wrong password", {Op(1, 60, "07656765/6/5/1/736563726575//0100/////")}, {Nack(1, 60, "07")}},
        {"PWD not hex", {Op(1, 60, "07656765/6/5/1/secret//0100/////")}, {Nack(1, 60, "07")}},
        {"no account", {Op(1, 60, "0765/6/5/1/" + kSecret + "//0100/////")}, {Nack(1, 60, "07")}},
        {"submit before login", {Submit(3, "0612345678", kHello)}, {Nack(3, 51, "04")}},
        {"a second login", {login, login}, {Ack(1, 60, ""), Nack(1, 60, "07")}},
    };
    for (const Exchange& c : cases)
        Run(c);
    EXPECT_EQ(std::count(observer.events.begin(), observer.events.end(), "logged in 0"), 1);
    // The online list's bind type: empty until the login, then a session's.
    auto client = Connect();
    EXPECT_EQ(server.SessionKind(*ConnectionOf(*client)), "");
    client->Send(login);
    EXPECT_EQ(client->NextFrame(), Ack(1, 60, ""));
    EXPECT_EQ(server.SessionKind(*ConnectionOf(*client)), "session");
}

// Both directions are captured under UCP, summarised by OT, TRN and EC, so that pairing sees them.
TEST_F(UcpServerTest, CapturesBothDirectionsWithTheirTrnOtAndError) {
    EXPECT_EQ(observer.lines, std::vector<std::string>{"UCP server start ok! (port = " + std::to_string(port) + ")\r\n"});
    auto client = Connect();
    client->Send(Submit(42, "06x", kHello));
    ASSERT_EQ(client->NextFrame(), Nack(42, 51, "06"));
    ASSERT_EQ(log.GetCount(), 2);
    const PacketSummary& request = log.SummaryAt(0);
    const PacketSummary& answer = log.SummaryAt(1);
    EXPECT_EQ(request.protocol, protocol::kUcp);
    EXPECT_EQ(request.command, 51u);
    EXPECT_EQ(answer.command, 0x80000033u);
    EXPECT_EQ(request.ShownSequence(), 42u);
    EXPECT_EQ(answer.ShownSequence(), 42u);
    EXPECT_TRUE(answer.Has(PacketSummary::kHasStatus));
    EXPECT_EQ(answer.status, 6u);
    EXPECT_TRUE(answer.fromServer);
}

class Answers : public CUcpMessageListener {
public:
    void OnUcpSubmitted(const CConnection& connection, const ucp_server::Submitted& message) override {
        submitted.push_back(message);
        connectionId = connection.Id();
    }
    void OnUcpAnswered(uint64_t tag, const text_server::Result& result) override { answered.push_back({tag, result}); }
    std::vector<ucp_server::Submitted> submitted;
    uint64_t connectionId = 0;
    using Answered = std::pair<uint64_t, text_server::Result>;
    std::vector<Answered> answered;
};

// 52s beyond the window of 100 wait in order; each result frees its TRN for the next, and so does the result
// time-out of one never answered.
TEST_F(UcpServerTest, DeliveriesKeepAtMostAHundredOutstandingAndMatchTheirResultsByTrn) {
    CManualScheduler scheduler;
    scheduler.SetWallClock([this] { return now * 1'000'000; });
    server.SetScheduler(scheduler);
    server.SetResultTimeout(3);
    Answers answers;
    server.SetMessageListener(&answers);
    auto client = Connect();
    client->Send(Op(0, 60, "0900/6/5/1/" + kSecret + "//0100/////"));
    ASSERT_EQ(client->NextFrame(), Ack(0, 60, ""));
    ucp_server::Content hello;
    hello.septets = {'H', 'i'};
    for (uint64_t tag = 1; tag <= 103; ++tag)
        ASSERT_EQ(server.DeliverTo("0900", "Tarnwick", hello, tag), 1);
    EXPECT_EQ(server.DeliverTo("0901", "06111", hello), 0); // nobody logged in under that address
    std::vector<std::string> frames;
    while (auto frame = client->NextFrame(frames.size() < 100 ? test_net::kWaitMs : 50))
        frames.push_back(*frame);
    ASSERT_EQ(frames.size(), 100u);
    const CConnection& connection = *ConnectionOf(*client);
    EXPECT_EQ(server.OutstandingCount(connection), 100u);
    EXPECT_EQ(server.WaitingCount(connection), 3u);
    const ucp::ParseResult first = ucp::Parse(frames[0]);
    ASSERT_TRUE(first.Ok());
    EXPECT_EQ(first.message.ot, 52);
    EXPECT_EQ(first.message.Text(0), "0900");
    EXPECT_EQ(ucp::UnpackAlphanumeric(first.message.Text(1)), U"Tarnwick");
    EXPECT_EQ(first.message.Text(28), "5039");
    EXPECT_EQ(first.message.Text(20), "4869");
    client->Send(Frame(3, 'R', 51, "A//")); // a result to a submit, which the server never sends: no answer to TRN 3
    client->Send(Frame(17, 'R', 52, "A//")); // TRN 17 was the 18th: its tag
    client->Send(Frame(3, 'R', 52, "N/02/"));
    const auto next = client->NextFrame();
    ASSERT_TRUE(next);
    EXPECT_EQ(ucp::Parse(*next).message.trn, 17); // the first TRN free again
    EXPECT_TRUE(WaitUntil([&] { return answers.answered.size() == 2; }));
    EXPECT_EQ(answers.answered, (std::vector<Answers::Answered>{{18, {text_server::Outcome::Positive, 0}}, {4, {text_server::Outcome::Negative, 2}}}));
    EXPECT_TRUE(WaitUntil([&] { return server.WaitingCount(connection) == 1; }));
    // Every one sent so far falls due at once, the 3 s set above after it went and not a moment before:
    // the 98 of the first hundred still out and the two sent since.
    scheduler.Advance(2999);
    ASSERT_EQ(answers.answered.size(), 2u);
    scheduler.Advance(1);
    ASSERT_EQ(answers.answered.size(), 102u);
    EXPECT_EQ(answers.answered[2], (Answers::Answered{1, {text_server::Outcome::NoAnswer, 0}}));
    EXPECT_EQ(server.WaitingCount(connection), 0u);
    EXPECT_EQ(server.OutstandingCount(connection), 1u);
    // Behind a full window at most kMaxWaiting wait; the next is refused.
    for (uint64_t tag = 0; tag < 99 + text_server::kMaxWaiting; ++tag)
        ASSERT_EQ(server.DeliverTo("0900", "Tarnwick", hello, 1000 + tag), 1);
    EXPECT_EQ(server.WaitingCount(connection), text_server::kMaxWaiting);
    EXPECT_EQ(server.DeliverTo("0900", "Tarnwick", hello), 0);
}

// A 53 carries the SCTS the submit's answer gave and the time of its delivery; it goes on the submitting
// connection.
TEST_F(UcpServerTest, NotificationCarriesTheSubmitsScts) {
    Answers answers;
    server.SetMessageListener(&answers);
    auto client = Connect();
    // Only NRq 1 asks for a notification. An OAdC of OTOA 5039 is a name; XSer's DCS goes with the text.
    const uint8_t dcs[] = {0xF0};
    for (const char* nrq : {"0", "", "1"})
        client->Send(Op(1, 51, Series50({{"AdC", "0612345678"}, {"OAdC", *ucp::PackAlphanumeric(U"Tarnwick")}, {"NRq", nrq},
                                         {"MT", "3"}, {"Msg", kHello}, {"XSer", ucp::XSerElementHex(ucp::kXSerDcs, dcs)},
                                         {"OTOA", std::string(ucp::kOtoaAlphanumeric)}})));
    for (int answer = 0; answer < 3; ++answer)
        ASSERT_TRUE(client->NextFrame());
    ASSERT_EQ(answers.submitted.size(), 3u);
    EXPECT_FALSE(answers.submitted[0].notification);
    EXPECT_FALSE(answers.submitted[1].notification);
    const ucp_server::Submitted& message = answers.submitted[2];
    EXPECT_TRUE(message.notification);
    EXPECT_EQ(message.content.septets, (std::vector<uint8_t>{'H', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(message.oadc + "/" + std::to_string(message.content.dcs), "Tarnwick/240");
    now += 60; // delivered a minute after it was submitted
    ASSERT_EQ(server.Notify(answers.connectionId, "", {message.adc, message.oadc, message.scts, '0', "000", "Delivered"}),
              text_server::Delivery::Sent);
    const auto frame = client->NextFrame();
    ASSERT_TRUE(frame);
    const ucp::ParseResult r = ucp::Parse(*frame);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.message.ot, 53);
    EXPECT_EQ(r.message.Text(14), message.scts);
    EXPECT_EQ(r.message.Text(17), Scts(now)) << "DSCTS is when it was delivered";
    EXPECT_EQ(r.message.Text(15), "0");
    EXPECT_EQ(ucp::DecodeAMsg(r.message.Text(20)), U"Delivered");
    // The submitting connection gone: kept for its login, up to kMaxWaiting each for kMaxKeptLogins logins.
    using text_server::Delivery;
    const ucp_server::Notification note{message.adc, message.oadc, message.scts, '0', "000", "Delivered"};
    EXPECT_EQ(server.Notify(999, "", note), Delivery::Refused); // no login to keep it for
    for (std::size_t n = 0; n < text_server::kMaxWaiting; ++n)
        ASSERT_EQ(server.Notify(999, "0", note), Delivery::Kept);
    EXPECT_EQ(server.Notify(999, "0", note), Delivery::Refused);
    for (std::size_t n = 1; n < text_server::kMaxKeptLogins; ++n)
        ASSERT_EQ(server.Notify(999, std::to_string(n), note), Delivery::Kept);
    EXPECT_EQ(server.Notify(999, "new", note), Delivery::Refused);
    EXPECT_EQ(server.Notify(999, "1", note), Delivery::Kept); // a login kept already still has room
}

// A transparent 51 given back as a 52 carries the MT, NB, TMsg and XSer (UDH, then DCS) it came with.
TEST_F(UcpServerTest, ABinaryMessageGoesOutAsItCameIn) {
    Answers answers;
    server.SetMessageListener(&answers);
    auto client = Connect();
    client->Send(Op(0, 60, "0900/6/5/1/" + kSecret + "//0100/////"));
    const uint8_t udh[] = {0x05, 0x00, 0x03, 0x45, 0x02, 0x01}, dcs[] = {0xF5};
    const std::string xser = ucp::XSerElementHex(ucp::kXSerUdh, udh) + ucp::XSerElementHex(ucp::kXSerDcs, dcs);
    client->Send(Op(1, 51, Series50({{"AdC", "0900"}, {"MT", "4"}, {"NB", "24"}, {"Msg", "01FF7F"}, {"XSer", xser}})));
    ASSERT_TRUE(client->NextFrame() && client->NextFrame());
    ASSERT_EQ(answers.submitted.size(), 1u);
    ASSERT_EQ(server.DeliverTo("0900", "06111", answers.submitted[0].content), 1);
    const std::string frame = client->NextFrame().value_or(""); // the parse's fields point into it
    const ucp::ParseResult r = ucp::Parse(frame);
    std::string fields;
    for (std::size_t at : {ucp::FieldIndex(ucp::kSeries50Fields, "MT"), ucp::FieldIndex(ucp::kSeries50Fields, "NB"),
                           ucp::FieldIndex(ucp::kSeries50Fields, "Msg"), ucp::FieldIndex(ucp::kSeries50Fields, "XSer")})
        fields += std::string(r.message.Text(at)) + "/";
    EXPECT_EQ(fields, "4/24/01FF7F/" + xser + "/");
}

// Rules naming ucp refuse its submits with UCP's own two-digit error, NACK (02), drop them or close after the
// answer; the login of "bind" rules is OT 60's OAdC.
TEST_F(UcpServerTest, FaultRulesNamingUcpApplyToItsLoginsAndSubmits) {
    const char* rules = R"([{"protocol":"ucp","destination":"^061","status":24},{"protocol":"ucp","destination":"^062",)"
                        R"("action":"nack"},{"protocol":"ucp","destination":"^063","action":"drop"},)"
                        R"({"protocol":"ucp","command":"bind","systemId":"^09","status":7},{"protocol":"ucp","action":"close"}])";
    QString error;
    server.Faults().SetRules(fault_rules::Parse(rules, &error));
    ASSERT_EQ(error.toStdString(), "");
    auto client = Connect();
    for (const char* to : {"0612345678", "0622345678", "0632345678"})
        client->Send(Submit(1, to, kHello));
    client->Send(Op(1, 1, "0612345678/06111//3/" + kHello)); // a call input, as a submit
    client->Send(Op(2, 60, "0900/6/5/1/" + kSecret + "//0100/////"));
    EXPECT_EQ(client->NextFrame(), Nack(1, 51, "24"));
    EXPECT_EQ(client->NextFrame(), Nack(1, 51, "02"));
    EXPECT_EQ(client->NextFrame(), Nack(1, 1, "24"));
    EXPECT_EQ(client->NextFrame(), Nack(2, 60, "07"));
    EXPECT_EQ(client->NextFrame(50), std::nullopt);
    // The last rule answers a submit no other rule takes, then closes the session.
    client->Send(Submit(3, "0642345678", kHello));
    EXPECT_EQ(client->NextFrame(), Stamped(Ack(3, 51, "/0642345678:" + kScts)));
    EXPECT_TRUE(client->WaitForDisconnected(kCloseWaitMs));
}

// Whatever arrives, the server answers with a negative result or closes, and a new client is served after.
TEST_F(UcpServerTest, ChaosGetsANackOrACloseAndNeverStopsTheServer) {
    std::mt19937 random(34);
    const std::string good = Submit(1, "0612345678", kHello);
    std::vector<std::string> inputs = {
        "garbage between frames" + Op(2, 31, "1/2"),           // stray octets, then a frame: answered
        "\x02" "01/00019/R/01/A//69" + Op(3, 31, "1/2"),        // a frame without ETX, then a whole one
        std::string(1, '\x02') + std::string(5000, 'x'),       // no ETX within the largest frame
        "\x02\x03",                                             // nothing inside
    };
    for (int i = 0; i < 60; ++i) {
        std::string mutated = good;
        for (int flips = 0; flips < 1 + i % 4; ++flips)
            mutated[1 + random() % (mutated.size() - 2)] = char(random() % 256);
        inputs.push_back(mutated);
        std::string noise(1 + random() % 300, '\0');
        for (char& c : noise)
            c = char(random() % 256);
        inputs.push_back(noise);
    }
    for (const std::string& input : inputs) {
        auto client = Connect();
        client->Send(input);
        client->Send(Op(99, 31, "0612345678/0539"));
        // Either the alert is answered (after any NACKs) or the connection is closed.
        EXPECT_TRUE(WaitUntil([&] {
            return client->ReceivedText().find(Ack(99, 31, "0000")) != std::string::npos || IsClosing(*client) ||
                   !client->IsConnected();
        })) << input;
        const std::string received = client->ReceivedText();
        for (std::size_t at = 0; (at = received.find("/R/", at)) != std::string::npos; ++at)
            EXPECT_TRUE(received.compare(at + 6, 2, "A/") == 0 || received.compare(at + 6, 2, "N/") == 0) << received;
        EXPECT_LE(ConnectionOf(*client) ? ConnectionOf(*client)->Receiving().capacity : 0,
                  int32_t(ucp::kMaxFrameOctets) + CFramedServer::kReadAhead);
    }
    // A whole frame, its checksum right, whose header is no UCP header: nothing to answer on, so it closes.
    auto stranger = Connect();
    std::string headerless = Op(5, 31, "1/2");
    headerless.replace(1, 2, "AB");
    headerless.replace(headerless.size() - 3, 2, [&] {
        unsigned sum = 0;
        for (std::size_t i = 1; i < headerless.size() - 3; ++i)
            sum += uint8_t(headerless[i]);
        char check[3];
        std::snprintf(check, sizeof check, "%02X", sum & 0xFF);
        return std::string(check);
    }());
    stranger->Send(headerless);
    EXPECT_TRUE(stranger->WaitForDisconnected(kCloseWaitMs));
    EXPECT_EQ(stranger->ReceivedText(), "");
    now += 60;
    auto slow = Connect();
    for (char c : good) {
        slow->Send(std::string(1, c));
        QTest::qWait(1);
    }
    EXPECT_EQ(slow->NextFrame(), Stamped(Ack(1, 51, "/0612345678:" + kScts)));
}

} // namespace
