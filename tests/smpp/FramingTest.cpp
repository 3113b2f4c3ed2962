// Cutting PDUs out of the byte stream: split and joined segments, closes in between, bad lengths.
#include "tests/smpp/EsmeSupport.h"

#include <string>
#include <vector>

namespace {

using namespace test_esme;

TEST_F(SmppServerTest, PduSentOneOctetPerSegmentIsAnsweredOnceAfterItsLastOctet) {
    struct Case {
        const char* name;
        Bytes request;
        Bytes response;
    };
    const Case cases[] = {
        {"enquire_link, header only", SmppPdu(0x00000015, 3), SmppPdu(0x80000015, 3)},
        {"submit_sm", SmppPdu(0x00000004, 4, SubmitBody()), SmppPdu(0x80000004, 4, Builder().cstr("000000"))},
    };
    auto esme = ConnectBound("esme");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (size_t i = 0; i + 1 < c.request.size(); ++i) {
            esme->Send(Bytes{c.request[i]});
            esme->Socket().flush();
            ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetReceivedCount(0) == int32_t(i + 1); }))
                << "octet " << i;
        }
        EXPECT_TRUE(esme->Received().empty());
        esme->Send(Bytes{c.request.back()});
        EXPECT_EQ(esme->NextPdu(), c.response);
        EXPECT_EQ(server.GetReceivedCount(0), 0);
        EXPECT_EQ(server.GetWantedCount(0), 16);
        EXPECT_EQ(server.GetFrameState(0), 0);
    }
}

TEST_F(SmppServerTest, PdusInOneSegmentAreAllAnsweredInOrder) {
    auto esme = ConnectBound("esme");
    esme->Send(Builder().raw(SmppPdu(0x00000015, 21)).raw(SmppPdu(0x00000015, 22)).bytes());
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000015, 21));
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000015, 22));

    // A whole session in one segment; what follows the unbind is never read.
    esme->Send(Builder()
                   .raw(SmppPdu(0x00000002, 30, BindBody("again")))
                   .raw(SmppPdu(0x00000004, 31, SubmitBody()))
                   .raw(SmppPdu(0x00000006, 32))
                   .raw(SmppPdu(0x00000015, 33))
                   .bytes());
    EXPECT_EQ(esme->NextPdu(), BindResp(0x80000002, 30, "again"));
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000004, 31, Builder().cstr("000000")));
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000006, 32));
    EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
    EXPECT_TRUE(esme->Received().empty());
}

TEST_F(SmppServerTest, PduArrivingWhileAnotherConnectionClosesCompletes) {
    auto leaving = ConnectBound("leaving");
    auto staying = ConnectBound("staying");
    const Bytes submit = SmppPdu(0x00000004, 41, SubmitBody());
    const size_t half = 20; // past the header, inside the body
    staying->Send(Bytes(submit.begin(), submit.begin() + half));
    ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetReceivedCount(1) == int32_t(half); }));

    leaving->Send(SmppPdu(0x00000006, 40));
    EXPECT_EQ(leaving->NextPdu(), SmppPdu(0x80000006, 40));
    ASSERT_TRUE(server.IsClosing(0));

    staying->Send(Bytes(submit.begin() + half, submit.end()));
    EXPECT_EQ(staying->NextPdu(), SmppPdu(0x80000004, 41, Builder().cstr("000000")));

    // Halfway through another PDU when the first connection goes: its slots move to index 0 intact.
    const Bytes enquire = SmppPdu(0x00000015, 42);
    staying->Send(Bytes(enquire.begin(), enquire.begin() + 9));
    ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetReceivedCount(1) == 9; }));
    EXPECT_TRUE(leaving->WaitForDisconnected(kCloseWaitMs));
    ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 1; }));
    EXPECT_STREQ(server.NameOf(0), "staying");
    EXPECT_EQ(server.GetReceivedCount(0), 9);
    staying->Send(Bytes(enquire.begin() + 9, enquire.end()));
    EXPECT_EQ(staying->NextPdu(), SmppPdu(0x80000015, 42));
}

// A command_length the receive buffer cannot frame: the header is kept as a 16-octet PDU of
// unknown kind, generic_nack ESME_RINVCMDLEN answers it, and the connection is closed.
TEST_F(SmppServerTest, CommandLengthOutsideSixteenTo10240IsRefused) {
    struct Case {
        const char* name;
        uint32_t length;
        Bytes trailing; // what the ESME sends after the header
    };
    const Case cases[] = {
        {"zero", 0, {}},
        {"one", 1, {}},
        {"fifteen", 15, Builder().raw("more octets")},
        {"one past the buffer", 10241, Bytes(100, 0xAB)},
        {"largest signed", 0x7FFFFFFF, {}},
        {"all ones", 0xFFFFFFFF, Bytes(10, 0)},
    };
    uint32_t sequence = 500;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.Reset();
        auto esme = ConnectBound("esme");
        const int32_t afterBind = log.GetCount();
        const Bytes header = Builder().u32(c.length).u32(0x00000004).u32(0).u32(++sequence);
        esme->Send(Builder().raw(header).raw(c.trailing).bytes());
        EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000000, sequence, {}, 0x00000002));
        EXPECT_TRUE(esme->WaitForDisconnected(kCloseWaitMs));
        EXPECT_TRUE(esme->Received().empty());
        const std::vector<Bytes> records = Records();
        ASSERT_EQ(records.size(), size_t(afterBind + 2));
        EXPECT_EQ(records[size_t(afterBind)], FromEsme(*esme, header));
        EXPECT_EQ(records[size_t(afterBind + 1)], FromServer(SmppPdu(0x80000000, sequence, {}, 0x00000002)));
        EXPECT_EQ(server.GetNextMessageId(), 0) << "no handler ran";
        ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 0; }));
    }
}

TEST_F(SmppServerTest, PduFillingTheWholeBufferIsServed) {
    auto esme = ConnectBound("esme");
    // submit_sm padded with an unknown TLV to exactly 10240 octets.
    const Bytes body = SubmitBody();
    const size_t padding = 10240 - 16 - body.size() - 4;
    const Bytes request =
        SmppPdu(0x00000004, 61, Builder().raw(body).u16(0x1400).u16(uint32_t(padding)).fill(padding, 0x55));
    ASSERT_EQ(request.size(), 10240u);
    esme->Send(request);
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000004, 61, Builder().cstr("000000")));
    ASSERT_TRUE(WaitForRecords(4));
    EXPECT_EQ(Records()[2], FromEsme(*esme, request));
}

TEST_F(SmppServerTest, PeerClosingHalfwayThroughAPduLeavesNoTrace) {
    auto esme = ConnectBound("esme");
    const Bytes submit = SmppPdu(0x00000004, 71, SubmitBody());
    esme->Send(Bytes(submit.begin(), submit.begin() + 30));
    ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetReceivedCount(0) == 30; }));
    esme->Close();
    ASSERT_TRUE(test_net::WaitUntil([&] { return server.GetConnectionCount() == 0; }, kCloseWaitMs));
    EXPECT_EQ(log.GetCount(), 2) << "only the bind and its response";
    EXPECT_EQ(observer.events, (std::vector<std::string>{"connected 0", "logged in 0", "disconnected 0", "removed 0"}));
}

} // namespace
