// The mobile server over loopback with a simulator client: what each packet gets, LOGIN names.
#include "mobile/MobileServer.h"

#include "tests/engine/ServerSuite.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace test_server;
using namespace test_protocol;
using test_bytes::Builder;
using test_bytes::Pdu12;

Bytes Login(const std::string& number, uint32_t sequence) {
    return Pdu12(kLogin, sequence, Builder().u32(1).text(number, 24));
}
Bytes LoginResp(uint32_t sequence, int32_t result) {
    return Builder().u32(16).u32(kLoginResp).u32(sequence).u32(static_cast<uint32_t>(result));
}
Bytes Submit(uint32_t sequence, const std::string& text) {
    return Pdu12(kSubmit, sequence, Builder().text("13900000002", 24).text("13900000001", 24).text("ABCDEFGHIJ", 10)
                                        .u8(static_cast<uint32_t>(text.size())).raw(text));
}
// result 0 and a msg_id of ten NULs, whatever the SUBMIT carried.
Bytes SubmitResp(uint32_t sequence) { return Builder().u32(26).u32(kSubmitResp).u32(sequence).u32(0).fill(10); }

struct MobileTraits {
    using Server = CMobileServer;
    static constexpr uint16_t kProtocol = 8;
    static constexpr const char* kName = "Mobile";
    static constexpr const char* kOk = "OK";
    static Bytes Login(const std::string& name, uint32_t sequence) { return ::Login(name, sequence); }
    static Bytes LoginAnswer(const std::string&, uint32_t sequence) { return LoginResp(sequence, 0); }
};
INSTANTIATE_TYPED_TEST_SUITE_P(Mobile, ServerSuite, MobileTraits);

using MobileServerTest = ServerTest<MobileTraits>;

// Each packet on a connection that has not logged in, once with the mobile protocol's filter
// row on and once with it off: the answer comes either way, the records only with it on.
TEST_F(MobileServerTest, EachPacketGetsItsAnswerAndIsCapturedUnderTheMobileRow) {
    constexpr uint32_t kMarker = 0x77; // a SUBMIT after the packet: nothing else was sent for it
    const struct {
        const char* name;
        Bytes packet;
        std::optional<Bytes> answer; // none: nothing is sent back
        bool closes;
    } cases[] = {
        {"LOGIN", Login("13900000001", 0x01020304), LoginResp(0x01020304, 0), false},
        {"SUBMIT, without LOGIN", Submit(5, "hello"), SubmitResp(5), false},
        {"SUBMIT of no text", Submit(6, ""), SubmitResp(6), false},
        {"DELIVER_RESP", Pdu12(kDeliverResp, 7, Builder().u32(0).text("0123456789", 10)), std::nullopt, false},
        {"DELIVER", Pdu12(kDeliver, 8), std::nullopt, false},
        {"unknown command", Pdu12(0x00004444, 9), std::nullopt, false},
        // A length the receive buffer cannot frame: the header alone is kept and the stream dropped.
        {"length 11", Builder().u32(11).u32(kLogin).u32(10), std::nullopt, true},    // below the header
        {"length 10241", Builder().u32(10241).u32(kLogin).u32(11), std::nullopt, true}, // above the buffer
    };
    for (const auto& c : cases) {
        std::unique_ptr<TestClient> client;
        for (const bool captured : {true, false}) {
            SCOPED_TRACE(std::string(c.name).append(captured ? ", captured" : ", mobile row off"));
            if (!client || c.closes)
                client = Connect(); // one connection for both, so that LOGIN meets no earlier one's number
            ASSERT_TRUE(log.Reset());
            log.SetFilter(std::string(29, '1') + (captured ? "1" : "0"));
            client->Send(c.packet);
            if (c.answer) {
                EXPECT_EQ(client->NextPdu(), *c.answer);
            }
            if (c.closes) {
                EXPECT_TRUE(client->WaitForDisconnected(kCloseWaitMs));
                EXPECT_TRUE(client->Received().empty());
            } else {
                client->Send(Submit(kMarker, ""));
                EXPECT_EQ(client->NextPdu(), SubmitResp(kMarker));
            }
            std::vector<Bytes> expected;
            if (captured) {
                expected.push_back(FromClient(*client, c.packet));
                if (c.answer)
                    expected.push_back(FromServer(*c.answer));
            }
            std::vector<Bytes> records = Records();
            std::erase_if(records, [](const Bytes& r) { return r.size() >= 28 && r[27] == kMarker; });
            EXPECT_EQ(records, expected);
        }
    }
}

// A number is refused when another connection holds it, never because of the caller's own name;
// the newest connection is compared too, and a refused number is still kept as the name.
TEST_F(MobileServerTest, LoginRefusesANumberAnotherConnectionHolds) {
    auto older = Connect();
    auto newer = Connect();
    const struct {
        TestClient* client;
        const char* number;
        int32_t result;
    } steps[] = {
        {older.get(), "13900000001", kResultOk},
        {older.get(), "13900000001", kResultOk},          // its own number
        {newer.get(), "13900000001", kResultNumberInUse},
        {older.get(), "13900000002", kResultOk},
        {newer.get(), "13900000002", kResultNumberInUse},
        {older.get(), "13900000002", kResultNumberInUse}, // now held by the newest connection
    };
    uint32_t sequence = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(++sequence);
        step.client->Send(Login(step.number, sequence));
        EXPECT_EQ(step.client->NextPdu(), LoginResp(sequence, step.result));
        EXPECT_STREQ(ConnectionOf(*step.client)->Name(), step.number);
    }
    EXPECT_FALSE(NthConnection(server, 0)->IsClosing());
    EXPECT_FALSE(NthConnection(server, 1)->IsClosing());
}

TEST_F(MobileServerTest, LoginNamesTheConnectionWithWhatTheNumberFieldHolds) {
    const struct {
        const char* name;
        Bytes body;
        const char* number;
    } cases[] = {
        {"24 digits and no NUL", Builder().u32(1).raw("123456789012345678901234"), "1234567890123456789"}, // the name keeps 19
        {"LOGIN shorter than its layout", Builder().u32(1).raw("139"), "139"},
        {"no number at all", Builder().u32(1), ""},
    };
    auto client = Connect();
    uint32_t sequence = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        client->Send(Pdu12(kLogin, ++sequence, c.body));
        EXPECT_EQ(client->NextPdu(), LoginResp(sequence, kResultOk));
        EXPECT_STREQ(NthConnection(server, 0)->Name(), c.number);
    }
}

// A DELIVER whose msg_id is its sequence as ten digits.
Bytes Deliver(uint32_t sequence, const std::string& dest, const std::string& src, uint8_t format, const Bytes& content) {
    const std::string digits = std::to_string(sequence);
    return Pdu12(kDeliver, sequence, Builder().text(dest, 24).text(src, 24).text(std::string(10 - digits.size(), '0') + digits, 10)
                                         .u8(uint32_t(content.size())).u8(format).raw(content));
}
Bytes DeliverResp(uint32_t sequence, int32_t result) {
    return Pdu12(kDeliverResp, sequence, Builder().u32(uint32_t(result)).text("0000000001", 10));
}

struct AnswerListener : CMobileMessageListener {
    void OnDeliverAnswered(int32_t result, uint64_t tag) override { answers.emplace_back(result, tag); }
    void OnTerminalSubmitted(const CConnection&, const test_protocol::TerminalMessage& message) override {
        submitted.push_back(message);
    }
    std::vector<std::pair<int32_t, uint64_t>> answers;
    std::vector<test_protocol::TerminalMessage> submitted;
};

// A SUBMIT's content is what its msg_length counts, and no more than the packet holds.
TEST_F(MobileServerTest, SubmitGivesTheContentItsMsgLengthCounts) {
    AnswerListener listener;
    server.SetMessageListener(&listener);
    const auto submit = [](const std::string& destination) {
        return Builder().text(destination, 24).text("13900000001", 24).text("ABCDEFGHIJ", 10);
    };
    const struct {
        const char* name;
        Bytes body;
        const char* destination;
        std::string content;
    } cases[] = {
        {"as counted", submit("13900000002").u8(2).raw("Hi"), "13900000002", "Hi"},
        {"fewer counted than sent", submit("1").u8(1).raw("Hi"), "1", "H"},
        {"more counted than sent", submit("").u8(9).raw("Hi"), "", "Hi"},
        {"none counted", submit("2").u8(0).raw("Hi"), "2", ""},
        {"cut before msg_length", submit("3"), "3", ""},
    };
    auto phone = Connect();
    uint32_t sequence = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        phone->Send(Pdu12(kSubmit, ++sequence, c.body));
        EXPECT_EQ(phone->NextPdu(), SubmitResp(sequence));
        ASSERT_EQ(listener.submitted.size(), sequence);
        const test_protocol::TerminalMessage& got = listener.submitted.back();
        EXPECT_EQ(got.destTerminal, c.destination);
        EXPECT_EQ(got.srcTerminal, "13900000001");
        EXPECT_EQ(got.msgId, "ABCDEFGHIJ");
        EXPECT_EQ(std::string(got.content.begin(), got.content.end()), c.content);
    }
    server.SetMessageListener(nullptr);
}

TEST(MsgFormatFor, KeepsTheSharedCodingsAndReadsTheRestAsText) {
    const std::pair<uint8_t, uint8_t> cases[] = {{0, 0}, {4, 4}, {8, 8}, {15, 15}, {1, 0}, {3, 0}, {0xF0, 0}};
    for (const auto& [dataCoding, format] : cases)
        EXPECT_EQ(CMobileServer::MsgFormatFor(dataCoding), format) << int(dataCoding);
}

// A DELIVER goes, as often as asked, to every simulator logged in under the number, each with the
// next sequence and msg_id; only its own answer settles it, once.
TEST_F(MobileServerTest, DeliverReachesEverySimulatorUnderTheNumberAndItsAnswerIsMatched) {
    AnswerListener listener;
    server.SetMessageListener(&listener);
    std::unique_ptr<TestClient> phones[3];
    const char* numbers[] = {"13900000001", "13900000001", "13900000002"};
    for (int i = 0; i < 3; ++i) {
        phones[i] = Connect();
        phones[i]->Send(Login(numbers[i], 1));
        ASSERT_TRUE(phones[i]->NextPdu());
    }
    EXPECT_EQ(server.LoggedInTerminals(), (std::vector<std::string>{"13900000001", "13900000002"}));

    const auto silent = Connect(); // never logged in: no number, and no DELIVER to no number
    ASSERT_TRUE(log.Reset());
    const Bytes text = Builder().u16(0x4E2D);
    EXPECT_EQ(server.DeliverToTerminal("13900000001", "13800000000", 8, text, 2, 5), 4);
    EXPECT_EQ(server.DeliverToTerminal("13900000003", "13800000000", 8, text), 0);
    EXPECT_EQ(server.DeliverToTerminal("", "13800000000", 8, text), 0);
    const Bytes sent[] = {Deliver(1, "13900000001", "13800000000", 8, text), Deliver(2, "13900000001", "13800000000", 8, text),
                          Deliver(3, "13900000001", "13800000000", 8, text), Deliver(4, "13900000001", "13800000000", 8, text)};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(phones[i / 2]->NextPdu(), sent[i]);
    EXPECT_EQ(Records(), (std::vector<Bytes>{FromServer(sent[0]), FromServer(sent[1]), FromServer(sent[2]),
                                             FromServer(sent[3])}));
    EXPECT_EQ(server.DeliverToTerminal("13900000002", "1", 0, Bytes(300, 'x'), 1, 6), 1);
    EXPECT_EQ(phones[2]->NextPdu(), Deliver(5, "13900000002", "1", 0, Bytes(255, 'x'))) << "cut to 255 octets";

    const struct {
        const char* name;
        int phone;
        Bytes answer;
        std::vector<std::pair<int32_t, uint64_t>> settled; // all settled so far
    } steps[] = {
        {"its own", 0, DeliverResp(1, 0), {{0, 5}}},
        {"the same again", 0, DeliverResp(1, 0), {{0, 5}}},
        {"another simulator's sequence", 0, DeliverResp(3, 0), {{0, 5}}},
        {"refused, no msg_id", 1, Pdu12(kDeliverResp, 3, Builder().u32(uint32_t(-1))), {{0, 5}, {-1, 5}}},
        {"too short for a result", 1, Pdu12(kDeliverResp, 4, Builder().u8(0)), {{0, 5}, {-1, 5}}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        phones[step.phone]->Send(step.answer);
        phones[step.phone]->Send(Submit(0x77, ""));
        EXPECT_EQ(phones[step.phone]->NextPdu(), SubmitResp(0x77)) << "and nothing before it";
        EXPECT_EQ(listener.answers, step.settled);
    }
    EXPECT_EQ(server.PendingCount(*NthConnection(server, 0)), 1u);
    EXPECT_EQ(server.PendingCount(*NthConnection(server, 1)), 1u);
    // A simulator that goes loses its own unanswered DELIVERs only.
    phones[0]->Close();
    ASSERT_TRUE(WaitUntil([&] { return server.GetConnectionCount() == 3; }, kCloseWaitMs)); // the silent one stays
    EXPECT_EQ(server.PendingCount(*NthConnection(server, 0)), 1u);
    phones[1]->Send(DeliverResp(4, 0));
    EXPECT_TRUE(WaitUntil([&] { return listener.answers.size() == 3; }));
    server.SetMessageListener(nullptr);
}

} // namespace
