// SMPP sessions over loopback: binds, unbind, enquire_link, the bound rule and PDUs the server does not serve.
#include "tests/smpp/EsmeSupport.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace test_esme;

TEST_F(SmppServerTest, BindAnswersWithTheNameCutToFifteenCharacters) {
    struct Case {
        const char* name;
        uint32_t commandId;
        Bytes body;
        std::string expectedName;
        uint32_t expectedLength;
    };
    const Case cases[] = {
        {"transceiver", 0x00000009, BindBody("esme1"), "esme1", 16 + 6 + 5},
        {"receiver", 0x00000001, BindBody("rx"), "rx", 16 + 3 + 5},
        {"transmitter", 0x00000002, BindBody("tx"), "tx", 16 + 3 + 5},
        {"twenty letters", 0x00000002, BindBody("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNO", 37},
        {"exactly fifteen", 0x00000009, BindBody("ABCDEFGHIJKLMNO"), "ABCDEFGHIJKLMNO", 37},
        {"empty system_id", 0x00000002, BindBody(""), "", 22},
        {"no body at all", 0x00000001, {}, "", 22},
        {"system_id without NUL ends with the body", 0x00000009, Builder().raw("ABC"), "ABC", 16 + 4 + 5},
        {"long system_id without NUL", 0x00000009, Builder().raw("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNO", 37},
    };
    uint32_t sequence = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto esme = Connect();
        esme->Send(SmppPdu(c.commandId, ++sequence, c.body));
        const auto response = esme->NextPdu();
        ASSERT_TRUE(response);
        EXPECT_EQ(*response, BindResp(c.commandId | 0x80000000, sequence, c.expectedName));
        EXPECT_EQ(response->size(), c.expectedLength);
        EXPECT_EQ(std::string(server.NameOf(server.GetConnectionCount() - 1)), c.expectedName);
    }
}

TEST_F(SmppServerTest, RebindReplacesTheNameAndIsAnsweredAgain) {
    auto esme = ConnectBound("first");
    esme->Send(SmppPdu(0x00000001, 2, BindBody("second")));
    EXPECT_EQ(esme->NextPdu(), BindResp(0x80000001, 2, "second"));
    EXPECT_STREQ(server.NameOf(0), "second");
    EXPECT_EQ(observer.events, (std::vector<std::string>{"connected 0", "logged in 0", "logged in 0"}));
}

TEST_F(SmppServerTest, EnquireLinkOfABoundEsmeIsAnsweredWithItsSequence) {
    auto esme = ConnectBound("esme");
    esme->Send(SmppPdu(0x00000015, 7));
    EXPECT_EQ(esme->NextPdu(), Builder().u32(16).u32(0x80000015).u32(0).u32(7).bytes());
}

TEST_F(SmppServerTest, UnbindIsAnsweredThenTheConnectionCloses) {
    auto esme = ConnectBound("esme");
    esme->Send(SmppPdu(0x00000006, 9));
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000006, 9));
    EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
    EXPECT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 0; }));
    EXPECT_EQ(observer.events, (std::vector<std::string>{"connected 0", "logged in 0", "disconnected 0", "removed 0"}));
}

// Every request but a bind needs a bound connection: unbound, it is captured, not answered, and
// the connection goes after the close pause.
TEST_F(SmppServerTest, RequestsBeforeABindCloseTheConnectionWithoutAnswer) {
    struct Case {
        const char* name;
        uint32_t commandId;
        Bytes body;
    };
    const Case cases[] = {
        {"unbind", 0x00000006, {}},
        {"enquire_link", 0x00000015, {}},
        {"query_sm", 0x00000003, Builder().cstr("000042").u8(1).u8(1).cstr("12345")},
        {"submit_sm", 0x00000004, SubmitBody()},
        {"replace_sm", 0x00000007, Builder().cstr("000001").u8(1).u8(1).cstr("12345").cstr("").cstr("").u8(0).u8(0).u8(0)},
        {"cancel_sm", 0x00000008, Builder().cstr("").cstr("000001").u8(1).u8(1).cstr("12345").u8(1).u8(1).cstr("67890")},
        {"submit_multi", 0x00000021, SubmitMultiBody()},
        {"data_sm", 0x00000103, DataSmBody()},
    };
    // All at once, each on its own connection, so the close pauses overlap.
    std::vector<std::unique_ptr<Esme>> esmes;
    std::vector<Bytes> requests;
    for (const Case& c : cases) {
        esmes.push_back(Connect());
        requests.push_back(SmppPdu(c.commandId, 5, c.body));
        esmes.back()->Send(requests.back());
    }
    ASSERT_TRUE(WaitForRecords(int32_t(std::size(cases))));
    const std::vector<Bytes> records = Records();
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_TRUE(esmes[i]->WaitForDisconnected(kCloseWaitMs));
        EXPECT_TRUE(esmes[i]->Received().empty());
        EXPECT_EQ(std::count(records.begin(), records.end(), FromEsme(*esmes[i], requests[i])), 1);
    }
    EXPECT_EQ(log.GetCount(), int32_t(std::size(cases))) << "no response was captured";
    EXPECT_EQ(server.GetNextMessageId(), 0);
    EXPECT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 0; }));
}

TEST_F(SmppServerTest, EmptySystemIdBindsNothingSoASubmitClosesTheConnection) {
    auto esme = Connect();
    esme->Send(SmppPdu(0x00000002, 1, BindBody("")));
    EXPECT_EQ(esme->NextPdu(), BindResp(0x80000002, 1, ""));
    esme->Send(SmppPdu(0x00000004, 2, SubmitBody()));
    EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
    EXPECT_TRUE(esme->Received().empty());
}

// Requests the server does not serve, and responses an ESME has no reason to send, get
// generic_nack ESME_RINVCMDID with their sequence_number; the connection stays, bound or not.
TEST_F(SmppServerTest, UnknownAndUnexpectedPdusGetGenericNack) {
    struct Case {
        const char* name;
        uint32_t commandId;
        Bytes body;
    };
    const Case cases[] = {
        {"outbind", 0x0000000B, Builder().cstr("smsc").cstr("pw")},
        {"alert_notification", 0x00000102, Builder().u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456")},
        {"deliver_sm", 0x00000005, SubmitBody()},
        {"generic_nack", 0x80000000, {}},
        {"submit_sm_resp", 0x80000004, Builder().cstr("000001")},
        {"bind_transceiver_resp", 0x80000009, Builder().cstr("x")},
        {"enquire_link_resp", 0x80000015, {}},
        {"command id no table knows", 0x12345678, Builder().raw("junk")},
        {"all ones", 0xFFFFFFFF, {}},
    };
    auto unbound = Connect();
    auto bound = ConnectBound("esme");
    uint32_t sequence = 0x7FFFFFF0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (Esme* esme : {unbound.get(), bound.get()}) {
            esme->Send(SmppPdu(c.commandId, ++sequence, c.body));
            EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000000, sequence, {}, 0x00000003));
        }
    }
    EXPECT_EQ(server.GetConnectionCount(), 2);
    EXPECT_FALSE(server.IsClosing(0));
    EXPECT_FALSE(server.IsClosing(1));
    bound->Send(SmppPdu(0x00000015, 1));
    EXPECT_EQ(bound->NextPdu(), SmppPdu(0x80000015, 1));
}

// deliver_sm_resp is the ESME's normal answer to a deliver_sm: it is captured, never answered,
// and never closes the connection, bound or not.
TEST_F(SmppServerTest, DeliverSmRespIsTakenWithoutAnswer) {
    auto unbound = Connect();
    auto bound = ConnectBound("esme");
    const Bytes response = SmppPdu(0x80000005, 31, Builder().cstr(""));
    const int32_t before = log.GetCount();
    unbound->Send(response);
    bound->Send(response);
    ASSERT_TRUE(WaitForRecords(before + 2));
    // An enquire_link behind it shows that nothing was sent for the deliver_sm_resp.
    bound->Send(SmppPdu(0x00000015, 32));
    EXPECT_EQ(bound->NextPdu(), SmppPdu(0x80000015, 32));
    EXPECT_TRUE(unbound->Received().empty());
    EXPECT_FALSE(server.IsClosing(0));
    EXPECT_FALSE(server.IsClosing(1));

    log.SetFilter(std::string(12, '1') + '0' + std::string(17, '1'));
    bound->Send(response);
    bound->Send(SmppPdu(0x00000015, 33));
    EXPECT_EQ(bound->NextPdu(), SmppPdu(0x80000015, 33));
    EXPECT_EQ(Records().at(static_cast<size_t>(before + 4)), FromEsme(*bound, SmppPdu(0x00000015, 33)))
        << "a deliver_sm_resp is filed under filter index 12";
}

} // namespace
