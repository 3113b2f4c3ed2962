// CMPP and SMGP version sniffing over PDUs written field by field from the two versions' layouts.
#include "decoder/ProtocolVersion.h"

#include "protocol/Registry.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

namespace {

using test_bytes::Builder;
using test_bytes::CmppDeliverHead;
using Bytes = std::vector<uint8_t>;
constexpr uint16_t kCmpp = protocol::kCmpp, kSmgp = protocol::kSmgp;

// CMPP FWD, each version to one number: Source_Id, Destination_Id, NodesCount, Msg_Fwd_Type, Msg_Id, Pk_total,
// Pk_number, Registered_Delivery, Msg_level, Service_Id, Fee_UserType, Fee_terminal_Id (3.0: its pseudo-code and
// type), TP_pid, TP_udhi, Msg_Fmt, Msg_src, FeeType, FeeCode, ValId_Time, At_Time, Src_Id (3.0: pseudo-code,
// type, SrcType), DestUsr_tl, Dest_Id (3.0: pseudo-code, type), Msg_Length, "hi", then Reserve 8 or LinkID 20.
Bytes CmppForward(int version) {
    const bool three = version == 3;
    Builder b;
    b.text("901234", 6).text("902345", 6).u8(1).u8(0).fill(8).u8(1).u8(1).u8(0).u8(0).text("SVC", 10).u8(0)
        .text("13800138000", 21);
    if (three) b.text("FEE", 32).u8(0);
    b.u8(0).u8(0).u8(15).text("901234", 6).text("01", 2).text("000010", 6).fill(17).fill(17).text("10658000", 21);
    if (three) b.text("SRC", 32).u8(0).u8(0);
    b.u8(1).text("13900139000", 21);
    if (three) b.text("DEST", 32).u8(0);
    return b.u8(2).raw("hi").fill(three ? 20 : 8).bytes();
}

// SMGP Deliver and Submit: the fields of both versions, then Reserve 8.
const Bytes kSmgpDeliver = Builder().fill(10).u8(0).u8(15).text("20260101120000", 14).text("13300133000", 21)
                               .text("10620000", 21).u8(2).raw("hi").fill(8);
const Bytes kSmgpSubmit = Builder().u8(0).u8(1).u8(1).text("SVC", 10).text("01", 2).text("000010", 6)
                              .text("000000", 6).u8(15).fill(17).fill(17).text("10620000", 21).fill(21).u8(1)
                              .text("13300133000", 21).u8(2).raw("hi").fill(8);

TEST(ProtocolVersion, ShownByVersionOctetOrBodyLengthAndGuessedByWhereTheFieldsEnd) {
    const struct {
        const char* name;
        uint16_t family;
        uint32_t command;
        Bytes body;
        int shown, byLength;
    } cases[] = {
        {"CMPP CONNECT 3.0", kCmpp, 0x00000001, Builder().text("901234", 6).fill(16).u8(0x30).u32(0), 3, 0},
        {"CMPP CONNECT without its Timestamp", kCmpp, 0x00000001, Builder().text("901234", 6).fill(16).u8(0x30), 0, 0},
        {"CMPP CONNECT_RESP 2.0: Status 1", kCmpp, 0x80000001, Builder().u8(0).fill(16).u8(0x30), 2, 0},
        {"CMPP CONNECT_RESP 3.0: Status 4", kCmpp, 0x80000001, Builder().u32(0).fill(16).u8(0x30), 3, 0},
        {"CMPP SUBMIT_RESP 2.0", kCmpp, 0x80000004, Builder().fill(8).u8(0), 2, 0},
        {"CMPP DELIVER_RESP 3.0", kCmpp, 0x80000005, Builder().fill(8).u32(0), 3, 0},
        {"SMGP Login_Resp 2.0", kSmgp, 0x80000001, Builder().u32(0).fill(16).u8(0x20), 2, 0},
        {"CMPP DELIVER 2.0", kCmpp, 0x00000005, CmppDeliverHead(2).u8(2).raw("hi").fill(8), 0, 2},
        {"CMPP DELIVER 3.0", kCmpp, 0x00000005, CmppDeliverHead(3).u8(2).raw("hi").fill(20), 0, 3},
        {"CMPP DELIVER one octet short of either", kCmpp, 0x00000005, CmppDeliverHead(3).u8(2).raw("hi").fill(19), 0, 0},
        {"CMPP SUBMIT whose count octet is past the body", kCmpp, 0x00000004, Builder().fill(100), 0, 0},
        {"SMGP Deliver without TLVs reads as 2.0", kSmgp, 0x00000003, kSmgpDeliver, 0, 2},
        {"SMGP Deliver with a TLV", kSmgp, 0x00000003, Builder().raw(kSmgpDeliver).u16(3).u16(4).raw("LINK"), 0, 3},
        {"SMGP Deliver with a TLV cut short", kSmgp, 0x00000003, Builder().raw(kSmgpDeliver).u16(3).u16(5).raw("LINK"), 0, 0},
        {"SMGP Submit without TLVs reads as 2.0", kSmgp, 0x00000002, kSmgpSubmit, 0, 2},
        // A 1.3 client leaves out FixedFee: 2.0, whose rows read that layout too.
        {"SMGP 1.3 Submit", kSmgp, 0x00000002, Builder().raw(Bytes(kSmgpSubmit.begin(), kSmgpSubmit.begin() + 21))
                                                   .raw(Bytes(kSmgpSubmit.begin() + 27, kSmgpSubmit.end())), 0, 2},
        {"SMGP 1.3 Submit with TLVs after its Reserve", kSmgp, 0x00000002,
         Builder().raw(Bytes(kSmgpSubmit.begin(), kSmgpSubmit.begin() + 21)).raw(Bytes(kSmgpSubmit.begin() + 27, kSmgpSubmit.end()))
             .u16(3).u16(4).raw("LINK").u16(1).u16(1).u8(0), 0, 2},
        // No destination, no content, and a Reserve whose last six octets the 1.3 layout reads as a TLV.
        {"SMGP Submit that the 3.0 and the 1.3 layout both end at", kSmgp, 0x00000002,
         Builder().u8(0).u8(1).u8(1).text("SVC", 10).text("01", 2).text("000010", 6).text("000000", 6).u8(15).fill(17)
             .fill(17).text("10620000", 21).fill(21).u8(0).u8(0).raw(Bytes{0, 0, 0, 1, 0, 2, 0, 0})
             .u16(3).u16(4).raw("LINK"), 0, 0},
        {"CMPP FWD 2.0", kCmpp, 0x00000009, CmppForward(2), 0, 2},
        {"CMPP FWD 3.0", kCmpp, 0x00000009, CmppForward(3), 0, 3},
        {"CMPP FWD_RESP 2.0: Result 1", kCmpp, 0x80000009, Builder().fill(8).u8(1).u8(1).u8(1), 2, 0},
        {"CMPP FWD_RESP 3.0: Result 4", kCmpp, 0x80000009, Builder().fill(8).u8(1).u8(1).u32(1), 3, 0},
        {"SMGP Login of a 1.3 client", kSmgp, 0x00000001, Builder().text("client", 8).fill(16).u8(0).u32(0).u8(0x13), 13, 0},
        {"SMGP Login of 1.0, the first 1.x", kSmgp, 0x00000001, Builder().text("client", 8).fill(16).u8(0).u32(0).u8(0x10), 13, 0},
        {"CMPP CONNECT of 1.3: CMPP has no 1.x layout", kCmpp, 0x00000001, Builder().text("901234", 6).fill(16).u8(0x13).u32(0), 2, 0},
        {"not CMPP or SMGP", protocol::kSmpp, 0x00000001, Builder().text("901234", 6).fill(16).u8(0x30).u32(0), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes pdu = Builder().u32(uint32_t(12 + c.body.size())).u32(c.command).u32(1).raw(c.body);
        EXPECT_EQ(protocol_version::Shown(c.family, pdu.data(), uint32_t(pdu.size())), c.shown);
        EXPECT_EQ(protocol_version::ByLength(c.family, pdu.data(), uint32_t(pdu.size())), c.byLength);
    }
    const Bytes header = Builder().u32(11).u32(0x00000001).fill(3); // shorter than any header
    EXPECT_EQ(protocol_version::Shown(kCmpp, header.data(), uint32_t(header.size())), 0);
    EXPECT_EQ(protocol_version::ByLength(kCmpp, header.data(), uint32_t(header.size())), 0);
}

} // namespace
