// What the SMPP server hands to the capture log: records in both directions, filter indices, the wipe of a full log.
#include "tests/smpp/EsmeSupport.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace test_esme;

constexpr uint8_t kMarkerSequence = 0x77;

std::string FilterWithout(int index) {
    std::string filter(30, '1');
    filter[size_t(index)] = '0';
    return filter;
}

TEST_F(SmppServerTest, RecordsShowTheEsmeAsSourceOfRequestsAndTheServerAsSourceOfResponses) {
    auto esme = Connect();
    const Bytes bind = SmppPdu(0x00000002, 1, BindBody("esme"));
    const Bytes submit = SmppPdu(0x00000004, 2, SubmitBody());
    const Bytes enquire = SmppPdu(0x00000015, 3);
    esme->Send(Builder().raw(bind).raw(submit).raw(enquire).bytes());
    ASSERT_TRUE(WaitForRecords(6));
    EXPECT_EQ(Records(), (std::vector<Bytes>{
                             FromEsme(*esme, bind),
                             FromServer(BindResp(0x80000002, 1, "esme")),
                             FromEsme(*esme, submit),
                             FromServer(SmppPdu(0x80000004, 2, Builder().cstr("000000"))),
                             FromEsme(*esme, enquire),
                             FromServer(SmppPdu(0x80000015, 3)),
                         }));
    EXPECT_EQ(Records()[4].size(), 32u) << "packetLength of a 16-octet enquire_link";
}

// Each PDU is filed under its own row of the filter: switching off one row drops exactly that
// direction of the exchange.
class FilterIndexTest : public SmppServerTest {
protected:
    FilterIndexTest() { maxConnections = 40; }
};

TEST_F(FilterIndexTest, EachCommandIsFiledUnderItsFilterIndex) {
    struct Case {
        const char* name;
        Bytes request;
        int requestIndex;
        std::optional<Bytes> response; // none when the server does not answer
        int responseIndex;
    };
    const Case cases[] = {
        {"bind_receiver", SmppPdu(0x00000001, 1, BindBody("b")), 3, BindResp(0x80000001, 1, "b"), 4},
        {"bind_transmitter", SmppPdu(0x00000002, 1, BindBody("b")), 5, BindResp(0x80000002, 1, "b"), 6},
        {"query_sm", SmppPdu(0x00000003, 1, Builder().cstr("000007")), 7,
         SmppPdu(0x80000003, 1, Builder().cstr("000007").u8(0).u8(0).u8(0)), 8},
        {"submit_sm", SmppPdu(0x00000004, 1, SubmitBody()), 9, SmppPdu(0x80000004, 1, Builder().cstr("000000")), 10},
        {"unbind", SmppPdu(0x00000006, 1), 13, SmppPdu(0x80000006, 1), 14},
        {"replace_sm", SmppPdu(0x00000007, 1, Builder().cstr("000001")), 15, SmppPdu(0x80000007, 1), 16},
        {"cancel_sm", SmppPdu(0x00000008, 1, Builder().cstr("").cstr("000001")), 17, SmppPdu(0x80000008, 1), 18},
        {"bind_transceiver", SmppPdu(0x00000009, 1, BindBody("b")), 19, BindResp(0x80000009, 1, "b"), 20},
        {"enquire_link", SmppPdu(0x00000015, 1), 22, SmppPdu(0x80000015, 1), 23},
        {"submit_multi", SmppPdu(0x00000021, 1, SubmitMultiBody()), 24,
         SmppPdu(0x80000021, 1, Builder().cstr("000000").u8(0)), 25},
        {"data_sm", SmppPdu(0x00000103, 1, DataSmBody()), 27, SmppPdu(0x80000103, 1, Builder().cstr("000000")), 28},
        {"deliver_sm_resp", SmppPdu(0x80000005, 1, Builder().cstr("")), 12, std::nullopt, -1},
        {"unknown", SmppPdu(0x00000005, 1, SubmitBody()), -1, SmppPdu(0x80000000, 1, {}, 3), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool dropRequest : {true, false}) {
            SCOPED_TRACE(dropRequest ? "request row off" : "response row off");
            const int off = dropRequest ? c.requestIndex : c.responseIndex;
            server.SetNextMessageId(0);
            auto esme = ConnectBound("esme");
            log.Reset();
            if (off == -1)
                log.SetShowUnknown(false);
            else
                log.SetFilter(FilterWithout(off));
            esme->Send(c.request);
            if (c.response) {
                EXPECT_EQ(esme->NextPdu(), *c.response);
            } else {
                // An enquire_link behind it is answered only once the request has been handled.
                esme->Send(SmppPdu(0x00000015, kMarkerSequence));
                EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000015, kMarkerSequence));
            }

            std::vector<Bytes> expected;
            if (off != c.requestIndex)
                expected.push_back(FromEsme(*esme, c.request));
            if (c.response && off != c.responseIndex)
                expected.push_back(FromServer(*c.response));
            std::vector<Bytes> records = Records();
            std::erase_if(records, [](const Bytes& r) { return r.size() >= 32 && r[31] == kMarkerSequence; });
            EXPECT_EQ(records, expected);

            log.SetFilter(std::string(30, '1'));
            log.SetShowUnknown(true);
        }
    }
}

TEST_F(SmppServerTest, RefusedLengthIsOmittedWithShowUnknownOffButItsNackIsKept) {
    log.SetShowUnknown(false);
    auto esme = Connect();
    esme->Send(Builder().u32(8).u32(0x00000015).u32(0).u32(77).bytes());
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000000, 77, {}, 2));
    EXPECT_EQ(Records(), std::vector<Bytes>{FromServer(SmppPdu(0x80000000, 77, {}, 2))});
}

// A full log is wiped once the PDU that found no room has been handled, so capturing goes on.
TEST_F(SmppServerTest, FullLogIsWipedAfterThePduAndTheServerStillAnswers) {
    auto esme = ConnectBound("esme");
    // Fill the area so that a 32-octet enquire_link record ends exactly at its last byte.
    log.Reset();
    const std::vector<uint8_t> filler(CPacketLog::kAreaSize - 16 - 32 - 16, 0x11);
    ASSERT_TRUE(log.AddPacket(8, kLoopback, 8880, filler.data(), uint32_t(filler.size()), 29));

    const Bytes enquire = SmppPdu(0x00000015, 5);
    esme->Send(enquire);
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000015, 5));
    EXPECT_EQ(log.GetCount(), 0) << "the response found no room: wiped";
    EXPECT_FALSE(log.IsFull());

    const Bytes submit = SmppPdu(0x00000004, 6, SubmitBody());
    esme->Send(submit);
    EXPECT_EQ(esme->NextPdu(), SmppPdu(0x80000004, 6, Builder().cstr("000000")));
    EXPECT_EQ(Records(), (std::vector<Bytes>{FromEsme(*esme, submit),
                                             FromServer(SmppPdu(0x80000004, 6, Builder().cstr("000000")))}));
}

} // namespace
