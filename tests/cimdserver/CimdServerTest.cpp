// The CIMD2 server over loopback with a real client: each operation's answer, logins against the accounts,
// the capture of both directions, and bytes that are no CIMD2 at all.
#include "cimdserver/CimdServer.h"

#include "tests/engine/ServerSuite.h"

#include <random>
#include <string>
#include <vector>

namespace {

using namespace test_server;

// A packet of operation, number and "code:value" parameters, each ended by TAB; the checksum summed here
// from STX through the last TAB, or left out.
std::string Packet(int operation, int number, const std::vector<std::string>& parameters, bool checksum = true) {
    char head[16];
    std::snprintf(head, sizeof head, "\x02%02d:%03d\t", operation, number);
    std::string body = head;
    for (const std::string& p : parameters)
        body += p + "\t";
    unsigned sum = 0;
    for (char c : body)
        sum += uint8_t(c);
    char check[3];
    std::snprintf(check, sizeof check, "%02X", sum & 0xFF);
    return body + (checksum ? check : "") + "\x03";
}
// Stamp(k) stands for the time stamp of the case's clock (TZ=UTC) k seconds on.
std::string Stamp(int k) { return k == 0 ? "{060}" : "{060+" + std::to_string(k) + "}"; }
const std::string kStamp = Stamp(0), kNextStamp = Stamp(1);

struct CimdTraits {
    using Server = CCimdServer;
    static constexpr uint16_t kProtocol = protocol::kCimd2;
};
struct Exchange {
    const char* name;
    std::vector<std::string> sent;
    std::vector<std::string> answers;
};

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ServerSuite); // its PDUs open with their length, CIMD2's do not

class CimdServerTest : public ServerTest<CimdTraits> {
protected:
    // The packet with the 060 of now (and of the second after) in place of kStamp (kNextStamp), sealed again.
    std::string Stamped(std::string packet) const {
        bool changed = false;
        for (int k = 0; k < 4; ++k)
            for (std::size_t at; (at = packet.find(Stamp(k))) != std::string::npos; changed = true)
                packet.replace(at, Stamp(k).size(), UtcText(now + k, "%y%m%d%H%M%S"));
        if (!changed)
            return packet;
        std::vector<std::string> parameters;
        for (std::size_t at = 8, tab; (tab = packet.find('\t', at)) != std::string::npos; at = tab + 1)
            parameters.push_back(packet.substr(at, tab - at));
        return Packet(std::stoi(packet.substr(1, 2)), std::stoi(packet.substr(4, 3)), parameters);
    }
    // Each exchange on a connection of its own: the packets sent, then exactly the answers expected.
    void Run(const Exchange& c) {
        SCOPED_TRACE(c.name);
        now += 60; // later than every 060 an earlier case was given
        auto client = Connect();
        for (const std::string& packet : c.sent)
            client->Send(Stamped(packet));
        for (const std::string& answer : c.answers)
            EXPECT_EQ(client->NextFrame(), Stamped(answer));
        EXPECT_EQ(client->NextFrame(50), std::nullopt);
    }
};

const std::string kTo = "021:+358501234567";

TEST_F(CimdServerTest, AnswersEachOperationOnItsNumber) {
    const std::string longText(161, 'a');
    const Exchange cases[] = {
        {"login without accounts, then a second one", {Packet(1, 1, {"010:any", "011:x"}), Packet(1, 3, {"010:any"})},
         {Packet(51, 1, {}), Packet(51, 3, {"900:100"})}},
        {"alive", {Packet(40, 3, {})}, {Packet(90, 3, {})}},
        {"alive, its checksum left out", {Packet(40, 5, {}, false)}, {Packet(90, 5, {})}},
        {"logout", {Packet(2, 7, {})}, {Packet(52, 7, {})}},
        {"submit answered with 021 and a 060 unique per message",
         {Packet(3, 1, {kTo, "033:Hello _Oa _XXe"}), Packet(3, 3, {kTo, "034:48656C6C6F", "032:050003010201", "030:4"})},
         {Packet(53, 1, {kTo, "060:" + kStamp}), Packet(53, 3, {kTo, "060:" + kNextStamp})}},
        {"enquiry and cancel of a submitted message, then of none",
         {Packet(3, 1, {kTo, "033:Hi"}), Packet(4, 3, {kTo, "060:" + kStamp}), Packet(6, 5, {kTo, "060:" + kStamp}),
          Packet(6, 7, {kTo, "060:" + kStamp})},
         {Packet(53, 1, {kTo, "060:" + kStamp}), Packet(54, 3, {kTo, "060:" + kStamp, "061:1"}), Packet(56, 5, {}),
          Packet(56, 7, {"900:7"})}},
        {"destination not digits", {Packet(3, 9, {"021:12a4", "033:Hi"})}, {Packet(53, 9, {"900:300"})}},
        {"no destination", {Packet(3, 9, {"033:Hi"})}, {Packet(53, 9, {"900:300"})}},
        {"an unknown escape", {Packet(3, 9, {kTo, "033:_zz"})}, {Packet(53, 9, {"900:302"})}},
        {"over 160 characters", {Packet(3, 9, {kTo, "033:" + longText})}, {Packet(53, 9, {"900:302"})}},
        {"binary and UDH of 140 octets", {Packet(3, 9, {kTo, "034:" + std::string(2 * 134, 'A'), "032:050003010201"})},
         {Packet(53, 9, {kTo, "060:" + kStamp})}},
        {"binary and UDH of 141 octets", {Packet(3, 9, {kTo, "034:" + std::string(2 * 135, 'A'), "032:050003010201"})},
         {Packet(53, 9, {"900:302"})}},
        {"binary not hex", {Packet(3, 9, {kTo, "034:4G"})}, {Packet(53, 9, {"900:302"})}},
        {"user data header not hex", {Packet(3, 9, {kTo, "034:48", "032:0500030G0201"})}, {Packet(53, 9, {"900:302"})}},
        {"text and binary both", {Packet(3, 9, {kTo, "033:Hi", "034:48"})}, {Packet(53, 9, {"900:303"})}},
        {"an operation the SMSC sends", {Packet(20, 11, {kTo})}, {Packet(98, 11, {"900:1"})}},
        {"an operation CIMD2 does not have", {Packet(7, 13, {})}, {Packet(98, 13, {"900:1"})}},
        {"checksum one off", {[] { std::string p = Packet(40, 15, {}); p[p.size() - 2] ^= 1; return p; }()},
         {Packet(99, 15, {})}},
        {"an even number from the client", {Packet(40, 16, {})}, {Packet(99, 16, {})}},
        {"a parameter without ':'", {Packet(3, 17, {"021+358"})}, {Packet(99, 17, {})}},
        {"a response to nothing of ours", {Packet(70, 2, {})}, {}},
        {"bytes between packets and a packet cut by the next STX", {"junk" + Packet(40, 19, {}) + "\x02" "40:0",
                                                                    Packet(40, 21, {})},
         {Packet(90, 19, {}), Packet(90, 21, {})}},
    };
    for (const Exchange& c : cases)
        Run(c);
}

TEST_F(CimdServerTest, LoginChecksUserIdentityAndPasswordAgainstTheAccounts) {
    Account account;
    account.systemId = "kannel";
    account.password = "secret";
    server.SetAccounts({account});
    const std::string login = Packet(1, 1, {"010:kannel", "011:secret"});
    const Exchange cases[] = {
        {"right password, then a submit", {login, Packet(3, 3, {kTo, "033:Hi"})},
         {Packet(51, 1, {}), Packet(53, 3, {kTo, "060:" + kStamp})}},
        {"wrong password", {Packet(1, 1, {"010:kannel", "011:secreT"})}, {Packet(51, 1, {"900:100"})}},
        {"no account", {Packet(1, 1, {"010:other", "011:secret"})}, {Packet(51, 1, {"900:100"})}},
        {"submit before login", {Packet(3, 3, {kTo, "033:Hi"})}, {Packet(53, 3, {"900:1"})}},
        {"a second login", {login, login}, {Packet(51, 1, {}), Packet(51, 1, {"900:100"})}},
    };
    for (const Exchange& c : cases)
        Run(c);
    EXPECT_EQ(std::count(observer.events.begin(), observer.events.end(), "logged in 0"), 1);
}

// Both directions are captured under CIMD2, summarised by operation, number and 900, so that pairing sees them.
TEST_F(CimdServerTest, CapturesBothDirectionsWithTheirNumberAndError) {
    EXPECT_EQ(observer.lines, std::vector<std::string>{"CIMD2 server start ok! (port = " + std::to_string(port) + ")\r\n"});
    auto client = Connect();
    client->Send(Packet(3, 41, {"021:x"}));
    ASSERT_EQ(client->NextFrame(), Packet(53, 41, {"900:300"}));
    ASSERT_EQ(log.GetCount(), 2);
    const PacketSummary& request = log.SummaryAt(0);
    const PacketSummary& answer = log.SummaryAt(1);
    EXPECT_EQ(request.protocol, protocol::kCimd2);
    EXPECT_EQ(request.command, 3u);
    EXPECT_EQ(answer.command, 0x80000003u);
    EXPECT_EQ(request.ShownSequence(), 41u);
    EXPECT_EQ(answer.ShownSequence(), 41u);
    EXPECT_EQ(answer.status, 300u);
    EXPECT_TRUE(answer.fromServer);
}

class Answers : public CCimdMessageListener {
public:
    void OnCimdAnswered(uint64_t tag, const text_server::Result& result) override { answered.emplace_back(tag, result); }
    void OnCimdSubmitted(const CConnection&, const cimd_server::Submitted& message) override { submitted.push_back(message); }
    std::vector<std::pair<uint64_t, text_server::Result>> answered;
    std::vector<cimd_server::Submitted> submitted;
};

// What a submit carries goes on as the 20 would carry it back: text as GSM septets, or octets with UDH and DCS.
TEST_F(CimdServerTest, SubmitsGoOnAsSeptetsOrOctetsWithTheirHeaderAndCoding) {
    Answers answers;
    server.SetMessageListener(&answers);
    auto client = Connect();
    client->Send(Packet(3, 1, {kTo, "023:0900", "033:Hi @ _XXe_--"}) + Packet(3, 3, {kTo, "034:01FF", "032:050003070201", "030:245"}));
    ASSERT_TRUE(client->NextFrame() && client->NextFrame());
    ASSERT_EQ(answers.submitted.size(), 2u);
    const text_server::Content &text = answers.submitted[0].content, &binary = answers.submitted[1].content;
    EXPECT_EQ(answers.submitted[0].originator, "0900");
    EXPECT_EQ(text.septets, (std::vector<uint8_t>{'H', 'i', ' ', 0x00, ' ', 0x1B, 0x65, 0x11})); // as DeliverTo's 033
    EXPECT_EQ(std::tuple(binary.binary, binary.octets, binary.udh, binary.dcs),
              std::tuple(true, std::vector<uint8_t>{0x01, 0xFF}, std::vector<uint8_t>{5, 0, 3, 7, 2, 1}, uint8_t(245)));
}

// The server's 20 and 23 go out on even numbers; 70, 73 and 99 on their number settle them, and one left
// unanswered counts as such once the result time-out has passed.
TEST_F(CimdServerTest, DeliversAndReportsOnEvenNumbersAndPairsTheirResponses) {
    CManualScheduler scheduler;
    scheduler.SetWallClock([this] { return now * 1'000'000; });
    server.SetScheduler(scheduler);
    Answers answers;
    server.SetMessageListener(&answers);
    auto client = Connect();
    client->Send(Packet(1, 1, {"010:kannel", "011:x"}));
    ASSERT_EQ(client->NextFrame(), Packet(51, 1, {}));
    cimd_server::Content text, binary;
    text.septets = {'H', 'i', ' ', 0x00, ' ', 0x1B, 0x65, 0x11}; // "Hi @ €_" in GSM septets
    binary.binary = true;
    binary.octets = {0x01, 0xFF};
    binary.udh = {0x05, 0x00, 0x03, 0x07, 0x02, 0x01};
    binary.dcs = 4;
    EXPECT_EQ(server.DeliverTo("kannel", "0900", text, 1), 1);
    EXPECT_EQ(server.DeliverTo("kannel", "Tarnwick", binary, 2), 1);
    EXPECT_EQ(server.Report(ConnectionOf(*client)->Id(), "kannel", {"+358501234567", "231114221320", 3, 27}),
              text_server::Delivery::Sent);
    EXPECT_EQ(server.DeliverTo("kannel", "0900", text, 3), 1);
    const std::string expected[] = {
        Packet(20, 0, {"021:kannel", "023:0900", "060:" + Stamp(0), "033:Hi @ _XXe_--"}),
        Packet(20, 2, {"021:kannel", "026:Tarnwick", "060:" + Stamp(1), "032:050003070201", "030:4", "034:01FF"}),
        Packet(23, 4, {"021:+358501234567", "060:231114221320", "061:3", "062:27", "063:" + Stamp(2)}),
        Packet(20, 6, {"021:kannel", "023:0900", "060:" + Stamp(3), "033:Hi @ _XXe_--"}),
    };
    for (const std::string& packet : expected)
        EXPECT_EQ(client->NextFrame(), Stamped(packet));
    client->Send(Packet(53, 0, {"900:5"})); // a submit's response on 000 answers nothing of ours
    client->Send(Packet(70, 0, {}));
    client->Send(Packet(73, 4, {}));
    client->Send(Packet(99, 6, {})); // a NACK carries no 900: refused all the same
    client->Send(Packet(70, 8, {})); // nothing of ours on 008: captured, nothing more
    client->Send(Packet(40, 1, {}));
    ASSERT_EQ(client->NextFrame(), Packet(90, 1, {}));
    const CConnection& connection = *ConnectionOf(*client);
    EXPECT_EQ(server.OutstandingCount(connection), 1u);
    scheduler.Advance(text_server::kDefaultResultTimeoutSeconds * 1000);
    using text_server::Outcome;
    EXPECT_EQ(answers.answered, (std::vector<std::pair<uint64_t, text_server::Result>>{
                                    {1, {Outcome::Positive, 0}}, {3, {Outcome::Negative, 0}}, {2, {Outcome::NoAnswer, 0}}}));
    EXPECT_EQ(server.OutstandingCount(connection), 0u);
    EXPECT_EQ(observer.lines.back(), "No result [0] in 10 s: the operation counts as unanswered\r\n");
    EXPECT_EQ(server.DeliverTo("nobody", "0900", text, 9), 0);
}

// 128 operations of ours are outstanding at most, one per even number; the rest wait in order, and an answer
// frees its number for the next.
TEST_F(CimdServerTest, KeepsAtMostOneOperationPerEvenNumberOutstanding) {
    auto client = Connect();
    client->Send(Packet(1, 1, {"010:kannel", "011:x"}));
    ASSERT_EQ(client->NextFrame(), Packet(51, 1, {}));
    cimd_server::Content text;
    text.septets = {'H', 'i'};
    for (int i = 0; i < 130; ++i)
        ASSERT_EQ(server.DeliverTo("kannel", "0900", text), 1);
    std::vector<int> numbers;
    while (auto frame = client->NextFrame(numbers.size() < 128 ? test_net::kWaitMs : 50))
        numbers.push_back(cimd::Parse(*frame).packet.number);
    ASSERT_EQ(numbers.size(), 128u);
    EXPECT_EQ(numbers.front(), 0);
    EXPECT_EQ(numbers.back(), 254);
    EXPECT_EQ(server.WaitingCount(*ConnectionOf(*client)), 2u);
    client->Send(Packet(70, 10, {}));
    const auto next = client->NextFrame();
    ASSERT_TRUE(next);
    EXPECT_EQ(cimd::Parse(*next).packet.number, 10);
}

// A connection remembers its last kRemembered submits for enquiry and cancel: one more forgets the first.
TEST_F(CimdServerTest, RemembersTheLastSubmitsForEnquiry) {
    auto client = Connect();
    std::string submits;
    for (std::size_t n = 0; n <= cimd_server::kRemembered; ++n)
        submits += Packet(3, 1, {kTo, "033:Hi"});
    client->Send(submits);
    for (std::size_t n = 0; n <= cimd_server::kRemembered; ++n)
        ASSERT_TRUE(client->NextFrame());
    client->Send(Stamped(Packet(4, 3, {kTo, "060:" + kStamp})) + Stamped(Packet(4, 5, {kTo, "060:" + kNextStamp})));
    EXPECT_EQ(client->NextFrame(), Packet(54, 3, {"900:7"}));
    EXPECT_EQ(client->NextFrame(), Stamped(Packet(54, 5, {kTo, "060:" + kNextStamp, "061:1"})));
}

// Rules naming cimd2 decide about its logins and submits: an error code of CIMD2's own, a NACK, no answer, a
// close after the answer, or the answer after the delay; a rule that does not fire leaves it to the next, and rules
// of the other protocols leave it alone.
TEST_F(CimdServerTest, FaultRulesNamingCimd2ApplyToItsLoginsAndSubmits) {
    CManualScheduler scheduler;
    scheduler.SetWallClock([this] { return now * 1'000'000; });
    server.SetScheduler(scheduler);
    const std::string submit = Packet(3, 1, {kTo, "033:Hi"}), alive = Packet(40, 3, {});
    const std::string answer = Packet(53, 1, {kTo, "060:" + kStamp});
    const struct {
        const char* rules;
        std::vector<std::string> sent, answers, afterDelay;
        bool closed;
    } cases[] = {
        {R"([{"protocol":"cimd2","status":9}])", {submit}, {Packet(53, 1, {"900:9"})}, {}, false},
        {R"([{"protocol":"cimd2","command":"bind","systemId":"^kan","status":103}])",
         {Packet(1, 1, {"010:kannel"}), Packet(1, 3, {"010:other"})}, {Packet(51, 1, {"900:103"}), Packet(51, 3, {})}, {}, false},
        {R"([{"protocol":"cimd2","systemId":"^kan","status":9}])", {Packet(1, 1, {"010:kannel"})}, {Packet(51, 1, {})}, {}, false},
        {R"([{"protocol":"cimd2","probability":0,"status":9},{"protocol":"cimd2","status":8}])", {submit}, {Packet(53, 1, {"900:8"})}, {}, false},
        {R"([{"protocol":"cimd2","action":"nack"}])", {submit}, {Packet(99, 1, {})}, {}, false},
        {R"([{"protocol":"cimd2","action":"drop"}])", {submit, alive}, {Packet(90, 3, {})}, {}, false},
        {R"([{"protocol":"cimd2","destination":"^[+]358","action":"close"}])", {submit}, {answer}, {}, true},
        {R"([{"protocol":"cimd2","command":"bind","action":"close","status":100}])", {Packet(1, 1, {"010:a"})},
         {Packet(51, 1, {"900:100"})}, {}, true},
        {R"([{"protocol":"cimd2","destination":"^0"},{"protocol":"ucp","status":9},{"status":8}])", {submit}, {answer}, {}, false},
        {R"([{"protocol":"cimd2","delayMs":500}])", {submit, alive}, {Packet(90, 3, {})}, {answer}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rules);
        QString error;
        server.Faults().SetRules(fault_rules::Parse(c.rules, &error));
        ASSERT_EQ(error.toStdString(), "");
        now += 60;
        auto client = Connect();
        for (const std::string& packet : c.sent)
            client->Send(packet);
        for (const std::string& expected : c.answers)
            EXPECT_EQ(client->NextFrame(), Stamped(expected));
        EXPECT_EQ(client->NextFrame(50), std::nullopt);
        scheduler.Advance(500);
        for (const std::string& expected : c.afterDelay)
            EXPECT_EQ(client->NextFrame(), Stamped(expected));
        EXPECT_EQ(client->WaitForDisconnected(c.closed ? kCloseWaitMs : 50), c.closed);
    }
}

// Random and mutated packets, slow senders and a packet that never ends: answers or a close, never a crash,
// and the server still serves a fresh connection.
TEST_F(CimdServerTest, SurvivesRandomAndMutatedBytes) {
    std::mt19937 rng(34);
    const std::string valid = Packet(3, 1, {kTo, "033:Hello _Oa", "056:1"});
    for (int round = 0; round < 40; ++round) {
        auto client = Connect();
        std::string bytes = valid;
        for (int flips = 1 + int(rng() % 6); flips > 0; --flips)
            bytes[rng() % bytes.size()] = char(rng() % 4 == 0 ? "\x02\x03\t:"[rng() % 4] : rng());
        if (round % 4 == 0)
            bytes = std::string(1 + rng() % 300, char(rng()));
        for (std::size_t at = 0; at < bytes.size(); at += 1 + rng() % 7) // a slow sender, a few octets at a time
            client->Send(bytes.substr(at, 1 + rng() % 7));
        client->Send(std::string(5000, 'x')); // a packet without ETX passes its bound
        client->NextFrame(20);
    }
    auto client = Connect();
    client->Send(Packet(40, 1, {}));
    EXPECT_EQ(client->NextFrame(), Packet(90, 1, {}));
}

} // namespace
