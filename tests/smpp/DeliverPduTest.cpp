// Composer text in each data_coding, the bodies of server-started PDUs, and reading submitted messages.
#include "smpp/DeliverPdu.h"
#include "smpp/SubmittedMessage.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using test_bytes::Builder;
using Bytes = std::vector<uint8_t>;

TEST(EncodeText, GivesTheOctetsOfEachCodingCutAtACharacter) {
    const struct {
        const char* name;
        std::string utf8;
        uint8_t dataCoding;
        size_t maxOctets;
        Bytes octets;
    } cases[] = {
        {"ASCII", "Hi \u00e9\u4e2d", 0, 100, Builder().raw("Hi ??")},
        {"IA5 as ASCII", "Hi \u00e9", 1, 100, Builder().raw("Hi ?")},
        {"Latin-1", "\u00e9\u4e2d", 3, 100, Builder().u8(0xE9).u8('?')},
        {"UCS-2", "A\u4e2d\U0001F600", 8, 100, Builder().u16(0x0041).u16(0x4E2D).u16(0x003F)}, // beyond the BMP
        {"GBK", "A\u4e2d\U0001F600", 15, 100, Builder().u8('A').u8(0xD6).u8(0xD0).u8('?')},
        {"raw", "\u00e9\u4e2d", 4, 100, Builder().raw("\u00e9\u4e2d")},
        {"another coding as ASCII", "\u00e9x", 9, 100, Builder().raw("?x")},
        {"bad UTF-8, ASCII", "a\xff" "b", 0, 100, Builder().raw("a?b")},
        {"bad UTF-8, raw", "a\xff", 4, 100, Builder().raw("a\xff")},
        {"cut, ASCII", "abc", 0, 2, Builder().raw("ab")},
        {"cut, UCS-2 on a whole character", "ABC", 8, 5, Builder().u16('A').u16('B')},
        {"cut, GBK on a whole character", "\u4e2d\u4e2d", 15, 3, Builder().u8(0xD6).u8(0xD0)},
        {"cut, raw on a whole character", "\u00e9\u4e2d", 4, 4, Builder().raw("\u00e9")},
        {"nothing fits", "\u4e2d", 8, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(smpp::EncodeText(c.utf8, c.dataCoding, c.maxOctets), c.octets);
    }
}

smpp::DeliverFields Fields(Bytes message) {
    smpp::DeliverFields f;
    f.serviceType = "CMTLONG"; // longer than the field: cut to five
    f.sourceTon = 1, f.sourceNpi = 2, f.sourceAddr = "12345";
    f.destTon = 3, f.destNpi = 4, f.destAddr = "67890";
    f.esmClass = 5, f.protocolId = 6, f.priorityFlag = 7;
    f.scheduleDeliveryTime = "", f.validityPeriod = "231114221320000+";
    f.registeredDelivery = 1, f.replaceIfPresent = 0, f.dataCoding = 8, f.smDefaultMsgId = 9;
    f.message = std::move(message);
    f.tlvs = {{0x0204, {0x12, 0x34}}};
    return f;
}

TEST(ServerPduBodies, HoldEveryFieldInOrder) {
    const Bytes text = Builder().raw("Hi");
    const Bytes long255(255, 'x');
    const Bytes head = Builder().cstr("CMTLO").u8(1).u8(2).cstr("12345").u8(3).u8(4).cstr("67890").u8(5).u8(6).u8(7)
                           .cstr("").cstr("231114221320000+").u8(1).u8(0).u8(8).u8(9);
    const Bytes tlv = Builder().u16(0x0204).u16(2).u8(0x12).u8(0x34);
    const struct {
        const char* name;
        Bytes body;
        Bytes expected;
    } cases[] = {
        {"deliver_sm", smpp::DeliverSmBody(Fields(text)), Builder().raw(head).u8(2).raw("Hi").raw(tlv)},
        {"deliver_sm of 254 octets", smpp::DeliverSmBody(Fields(Bytes(254, 'x'))),
         Builder().raw(head).u8(254).raw(Bytes(254, 'x')).raw(tlv)},
        {"deliver_sm of 255 octets, in message_payload", smpp::DeliverSmBody(Fields(long255)),
         Builder().raw(head).u8(0).u16(0x0424).u16(255).raw(long255).raw(tlv)},
        {"data_sm", smpp::DataSmBody(Fields(text)),
         Builder().cstr("CMTLO").u8(1).u8(2).cstr("12345").u8(3).u8(4).cstr("67890").u8(5).u8(1).u8(8)
             .u16(0x0424).u16(2).raw("Hi").raw(tlv)},
        {"alert_notification", smpp::AlertNotificationBody(Fields(text)),
         Builder().u8(1).u8(2).cstr("12345").u8(3).u8(4).cstr("67890").raw(tlv)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.body, c.expected);
    }
}

TEST(SubmittedMessage, ReadsAddressesAndTextOfEachKind) {
    const Bytes submitTail = Builder().u8(0).u8(0).u8(0).cstr("").cstr("").u8(1).u8(0).u8(8).u8(0).u8(2).raw("Hi");
    const Bytes payload = Builder().u16(0x0424).u16(3).raw("abc");
    const struct {
        const char* name;
        uint32_t commandId;
        Bytes body;
        std::vector<std::string> destinations;
        std::string message;
    } cases[] = {
        {"submit_sm", 0x00000004, Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456").raw(submitTail),
         {"456"}, "Hi"},
        {"submit_sm with message_payload", 0x00000004,
         Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456").raw(submitTail).u16(0x0210).u16(1).u8(0x34)
             .raw(payload),
         {"456"}, "abc"},
        {"data_sm", 0x00000103,
         Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456").u8(0).u8(1).u8(8).raw(payload), {"456"},
         "abc"},
        {"submit_multi", 0x00000021,
         Builder().cstr("").u8(1).u8(1).cstr("123").u8(3).u8(1).u8(1).u8(1).cstr("456").u8(2).cstr("list").u8(1)
             .u8(1).u8(1).cstr("789").raw(submitTail),
         {"456", "789"}, "Hi"},
        {"a truncated optional parameter is left out", 0x00000004,
         Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456").raw(submitTail).u16(0x0424).u16(9).raw("ab"),
         {"456"}, "Hi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto m = smpp::ParseSubmitted(c.commandId, c.body.data(), int32_t(c.body.size()));
        ASSERT_TRUE(m);
        EXPECT_EQ(m->source.addr, "123");
        std::vector<std::string> destinations;
        for (const auto& d : m->destinations)
            destinations.push_back(d.addr);
        EXPECT_EQ(destinations, c.destinations);
        EXPECT_EQ(std::string(m->message.begin(), m->message.end()), c.message);
        EXPECT_EQ(m->registeredDelivery, 1);
        EXPECT_EQ(m->dataCoding, 8);
    }

    const struct {
        uint32_t commandId;
        Bytes body;
    } bad[] = {
        {0x00000004, Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456").u8(0)}, // ends before sm_length
        {0x00000004, Builder().cstr("").u8(1).u8(1).raw(std::string(30, '1'))},                 // address without NUL
        {0x00000004, Builder().cstr("").u8(1).u8(1).cstr("1").u8(1).u8(1).cstr("4").u8(0).u8(0).u8(0).cstr("").cstr("")
                         .u8(1).u8(0).u8(8).u8(0).u8(9).raw("Hi")},                                        // sm_length past the end
        {0x00000021, Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(7).cstr("456").raw(submitTail)}, // dest_flag 7
        {0x00000003, Builder().cstr("000001")},                                                            // not a submit
        {0x00000004, {}},                                                                                  // no body
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(smpp::ParseSubmitted(b.commandId, b.body.data(), int32_t(b.body.size())));
    }
}

} // namespace
