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
        EXPECT_STREQ(server.NameOf(IndexOf(*step.client)), step.number);
    }
    EXPECT_FALSE(server.IsClosing(0));
    EXPECT_FALSE(server.IsClosing(1));
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
        EXPECT_STREQ(server.NameOf(0), c.number);
    }
}

} // namespace
