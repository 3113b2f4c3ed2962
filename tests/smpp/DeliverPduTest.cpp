// Composer text in each data_coding, the bodies of server-started PDUs, and reading submitted messages.
#include "smpp/DeliverPdu.h"
#include "smpp/LongMessage.h"
#include "smpp/MessageBody.h"
#include "smpp/SubmittedMessage.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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
        {"ASCII ends at U+007F", "\x7f\u0080", 0, 100, Builder().u8(0x7F).u8('?')},
        {"Latin-1 ends at U+00FF", "\u00ff\u0100", 3, 100, Builder().u8(0xFF).u8('?')},
        {"UCS-2 ends at U+FFFF", "\uffff\U00010000", 8, 100, Builder().u16(0xFFFF).u16(0x003F)},
        {"bad UTF-8, ASCII", "a\xff" "b", 0, 100, Builder().raw("a?b")},
        {"bad UTF-8, raw", "a\xff", 4, 100, Builder().raw("a\xff")},
        {"bad UTF-8, a lead octet the next does not continue", "\xc3" "A", 3, 100, Builder().raw("?A")},
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

TEST(EncodeMessage, WritesTheGsmAlphabetAndRefusesWhatItLacks) {
    // The 03.38 default alphabet in septet order, 0x1B (the escape) left out, then its extension table.
    const std::string alphabet = "@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞ" "ÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
                                 "¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà";
    Bytes septets;
    for (int septet = 0; septet < 0x80; ++septet) {
        if (septet != 0x1B)
            septets.push_back(uint8_t(septet));
    }
    const struct {
        const char* name;
        std::string utf8;
        uint8_t dataCoding;
        Bytes octets;
        std::string error;
    } cases[] = {
        {"the whole default alphabet", alphabet, 0, septets, ""},
        {"every escape", "\f^{}\\[~]|€", 0,
         {0x1B, 0x0A, 0x1B, 0x14, 0x1B, 0x28, 0x1B, 0x29, 0x1B, 0x2F, 0x1B, 0x3C, 0x1B, 0x3D, 0x1B, 0x3E, 0x1B, 0x40,
          0x1B, 0x65},
         ""},
        {"a character neither table has", "Ab\u0416c\u0416", 0, {}, "'\u0416' (U+0416) is not in the GSM 7-bit alphabet"},
        {"the grave accent is no GSM character", "`", 0, {}, "'`' (U+0060) is not in the GSM 7-bit alphabet"},
        {"nor the escape itself", "\x1b", 0, {}, "'\x1b' (U+001B) is not in the GSM 7-bit alphabet"},
        {"bad UTF-8", "a\xff", 0, {}, "octet 0xFF is not in the GSM 7-bit alphabet"},
        {"IA5 stays ASCII", "a{\u20ac", 1, Builder().raw("a{?"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const smpp::EncodedText encoded = smpp::EncodeMessage(c.utf8, c.dataCoding);
        EXPECT_EQ(encoded.error, c.error);
        EXPECT_EQ(encoded.octets, c.octets);
    }
    EXPECT_EQ(smpp::EncodeMessage(std::string(300, '{'), 0).octets.size(), 600u) << "never cut";
    EXPECT_EQ(smpp::EncodePhoneText("\u4e2d", 3).error, "'\u4e2d' (U+4E2D) is not in Latin-1") << "a phone refuses in every coding";
    EXPECT_EQ(smpp::EncodePhoneText("a\u00e9", 0).error, "'\u00e9' (U+00E9) is not in ASCII");
    EXPECT_EQ(smpp::EncodePhoneText("a\u00e9", 4).octets, Builder().raw("a\u00e9").bytes());
}

TEST(Split, CutsEachCodingAtItsPartBoundaries) {
    using smpp::SplitOption;
    const auto text = [](std::initializer_list<Bytes> pieces) {
        Bytes out;
        for (const Bytes& piece : pieces)
            out.insert(out.end(), piece.begin(), piece.end());
        return out;
    };
    const Bytes escape = {0x1B, 0x65}, han = {0xD6, 0xD0};
    const struct {
        const char* name;
        Bytes octets;
        uint8_t dataCoding;
        SplitOption option;
        std::vector<size_t> bodies; // each part's octets, header left out
    } cases[] = {
        {"GSM 160: one plain part", Bytes(160, 'a'), 0, SplitOption::Udh8, {160}},
        {"GSM 161", Bytes(161, 'a'), 0, SplitOption::Udh8, {153, 8}},
        {"GSM 306", Bytes(306, 'a'), 0, SplitOption::Udh8, {153, 153}},
        {"GSM 307", Bytes(307, 'a'), 0, SplitOption::Udh8, {153, 153, 1}},
        {"GSM escape across the boundary", text({Bytes(152, 'a'), escape, Bytes(7, 'a')}), 0, SplitOption::Udh8, {152, 9}},
        {"GSM escape just inside", text({Bytes(151, 'a'), escape, Bytes(8, 'a')}), 0, SplitOption::Udh8, {153, 8}},
        {"GSM 16-bit reference", Bytes(161, 'a'), 0, SplitOption::Udh16, {152, 9}},
        {"GSM SAR", Bytes(161, 'a'), 0, SplitOption::Sar, {160, 1}},
        {"IA5 counts septets too", Bytes(161, 'a'), 1, SplitOption::Udh8, {153, 8}},
        {"UCS-2 70: one plain part", Bytes(140, 'a'), 8, SplitOption::Udh8, {140}},
        {"UCS-2 71", Bytes(142, 'a'), 8, SplitOption::Udh8, {134, 8}},
        {"UCS-2 16-bit reference", Bytes(142, 'a'), 8, SplitOption::Udh16, {132, 10}},
        {"UCS-2 SAR", Bytes(142, 'a'), 8, SplitOption::Sar, {140, 2}},
        {"UCS-2 surrogate pair across the boundary", text({Bytes(132, 'a'), {0xD8, 0x3D, 0xDE, 0x00}, Bytes(6, 'a')}),
         8, SplitOption::Udh8, {132, 10}},
        {"8-bit 140: one plain part", Bytes(140, 'a'), 4, SplitOption::Udh8, {140}},
        {"8-bit 141", Bytes(141, 'a'), 4, SplitOption::Udh8, {134, 7}},
        {"8-bit 268", Bytes(268, 'a'), 4, SplitOption::Udh8, {134, 134}},
        {"8-bit 16-bit reference", Bytes(141, 'a'), 4, SplitOption::Udh16, {133, 8}},
        {"8-bit SAR", Bytes(141, 'a'), 4, SplitOption::Sar, {140, 1}},
        {"GBK character across the boundary", text({Bytes(133, 'a'), han, Bytes(6, 'a')}), 15, SplitOption::Udh8,
         {133, 8}},
        {"GBK 0x80 is one octet, the euro", text({Bytes(133, 'a'), {0x80}, Bytes(7, 'a')}), 15, SplitOption::Udh8, {134, 7}},
        {"payload: never cut", Bytes(500, 'a'), 0, SplitOption::Payload, {500}},
        {"255 parts", Bytes(134 * 255, 'a'), 4, SplitOption::Udh8, std::vector<size_t>(255, 134)},
        {"256 parts refused", Bytes(134 * 255 + 1, 'a'), 4, SplitOption::Udh8, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const smpp::SplitResult split = smpp::Split(c.octets, c.dataCoding, c.option, 0x1234);
        ASSERT_EQ(split.parts.size(), c.bodies.size());
        EXPECT_EQ(split.error.empty(), !c.bodies.empty()) << split.error;
        const size_t total = c.bodies.size();
        Bytes joined;
        for (size_t i = 0; i < total; ++i) {
            const smpp::MessagePart& part = split.parts[i];
            const auto seq = uint8_t(i + 1);
            Bytes header;
            std::vector<smpp::Tlv> tlvs;
            if (total > 1 && c.option == SplitOption::Udh8)
                header = {0x05, 0x00, 0x03, 0x34, uint8_t(total), seq};
            if (total > 1 && c.option == SplitOption::Udh16)
                header = {0x06, 0x08, 0x04, 0x12, 0x34, uint8_t(total), seq};
            if (total > 1 && c.option == SplitOption::Sar)
                tlvs = {{0x020C, {0x12, 0x34}}, {0x020E, {uint8_t(total)}}, {0x020F, {seq}}};
            ASSERT_EQ(part.message.size(), header.size() + c.bodies[i]);
            EXPECT_EQ(Bytes(part.message.begin(), part.message.begin() + std::ptrdiff_t(header.size())), header);
            EXPECT_EQ(part.udhi, !header.empty());
            EXPECT_EQ(part.inPayload, c.option == SplitOption::Payload && c.octets.size() > 160);
            ASSERT_EQ(part.tlvs.size(), tlvs.size());
            for (size_t t = 0; t < tlvs.size(); ++t) {
                EXPECT_EQ(part.tlvs[t].tag, tlvs[t].tag);
                EXPECT_EQ(part.tlvs[t].value, tlvs[t].value);
            }
            joined.insert(joined.end(), part.message.begin() + std::ptrdiff_t(header.size()), part.message.end());
        }
        if (total > 0) {
            EXPECT_EQ(joined, c.octets);
        }
    }

    // A part as a deliver_sm: UDHI joins the esm_class asked for; a whole message_payload leaves sm_length 0.
    smpp::DeliverFields base;
    base.esmClass = 0x03;
    const smpp::SplitResult udh = smpp::Split(Bytes(161, 'a'), 0, SplitOption::Udh8, 7);
    EXPECT_EQ(smpp::WithPart(base, udh.parts[0]).esmClass, 0x43);
    const smpp::SplitResult payload = smpp::Split(Bytes(200, 'a'), 0, SplitOption::Payload, 7);
    const Bytes body = smpp::DeliverSmBody(smpp::WithPart(base, payload.parts[0]));
    EXPECT_EQ(Bytes(body.end() - 205, body.end()), Bytes(Builder().u8(0).u16(0x0424).u16(200).raw(Bytes(200, 'a'))));
    base.messagePayload = true; // the composer's choice holds for a text short enough for short_message
    EXPECT_TRUE(smpp::WithPart(base, smpp::Split(Bytes(5, 'a'), 0, SplitOption::Udh8, 7).parts[0]).messagePayload);
}

TEST(Split, KnowsAConcatenationHeaderAndNeverReadsPastTheContent) {
    const struct {
        const char* name;
        Bytes content;
        bool header;
    } cases[] = {
        {"8-bit reference", {0x05, 0x00, 0x03, 0x01, 0x02, 0x01, 'a'}, true},
        {"16-bit reference, last part", {0x06, 0x08, 0x04, 0x01, 0x02, 0x03, 0x03, 'a'}, true},
        {"another element first", {0x08, 0x70, 0x01, 0x00, 0x00, 0x03, 0x01, 0x02, 0x02}, true},
        {"the header alone", {0x05, 0x00, 0x03, 0x01, 0x02, 0x01}, true},
        {"plain text", Builder().raw("hello"), false},
        {"nothing", {}, false},
        {"header length past the content", {0x05, 0x00, 0x03, 0x01, 0x02}, false},
        {"element past the header", {0x04, 0x00, 0x03, 0x01, 0x02, 0x01}, false},
        {"wrong element length", {0x05, 0x00, 0x04, 0x01, 0x02, 0x01}, false},
        {"one part only", {0x05, 0x00, 0x03, 0x01, 0x01, 0x01}, false},
        {"sequence 0", {0x05, 0x00, 0x03, 0x01, 0x02, 0x00}, false},
        {"sequence past total", {0x05, 0x00, 0x03, 0x01, 0x02, 0x03}, false},
        {"no concatenation element", {0x03, 0x70, 0x01, 0x00}, false},
        {"header length only", {0x00}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A copy of exactly the content's size, so that a read past it is seen by the sanitizer.
        const auto copy = std::make_unique<uint8_t[]>(c.content.size());
        std::copy(c.content.begin(), c.content.end(), copy.get());
        EXPECT_EQ(smpp::StartsWithConcatenationHeader(copy.get(), c.content.size()), c.header);
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
    smpp::DeliverFields alert = Fields(text);
    alert.sourceAddr = std::string(70, '1'); // alert_notification's addresses are 65 octets wide, as data_sm's
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
        {"alert_notification of a long source", smpp::AlertNotificationBody(alert),
         Builder().u8(1).u8(2).cstr(std::string(64, '1')).u8(3).u8(4).cstr("67890").raw(tlv)},
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
        {"data_sm without message_payload", 0x00000103,
         Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456").u8(0).u8(1).u8(8), {"456"}, ""},
        {"a truncated optional parameter is left out", 0x00000004,
         Builder().cstr("").u8(1).u8(1).cstr("123").u8(1).u8(1).cstr("456").raw(submitTail).u16(0x0424).u16(9).raw("ab"),
         {"456"}, "Hi"},
    };
    smpp::SubmittedMessage reused; // as the router reads every submit: into the one message
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto m = smpp::ParseSubmitted(c.commandId, c.body.data(), int32_t(c.body.size()));
        ASSERT_TRUE(m);
        ASSERT_TRUE(smpp::ParseSubmitted(c.commandId, c.body.data(), int32_t(c.body.size()), reused));
        EXPECT_EQ(reused.message, m->message);
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

Bytes Written(uint32_t commandId, const smpp::DeliverFields& fields) {
    Bytes body;
    wire::Writer out(body);
    smpp::WriteMessageBody(commandId, fields, out);
    return Bytes(body.begin(), body.begin() + std::ptrdiff_t(out.Size()));
}

TEST(MessageBody, ReadsBackWhatItWritesAndRefusesEveryCutBody) {
    smpp::DeliverFields full = Fields(Builder().raw("Hi"));
    full.serviceType = "CMT";
    smpp::DeliverFields payload = full;
    payload.messagePayload = true;
    smpp::DeliverFields data = full; // data_sm has none of these
    data.protocolId = data.priorityFlag = data.replaceIfPresent = data.smDefaultMsgId = 0;
    data.validityPeriod.clear();
    const struct {
        const char* name;
        uint32_t commandId;
        smpp::DeliverFields fields;
    } cases[] = {
        {"submit_sm", 0x00000004, full},
        {"deliver_sm, message_payload", 0x00000005, payload},
        {"data_sm", 0x00000103, data},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes body = Written(c.commandId, c.fields);
        ASSERT_FALSE(body.empty());
        smpp::DeliverFields back;
        ASSERT_TRUE(smpp::ReadMessageBody(c.commandId, body.data(), body.size(), back));
        EXPECT_EQ(back, c.fields);
        // The server's own reader of what ESMEs submit takes the same fields from the same body.
        const auto submitted = smpp::ParseSubmitted(c.commandId, body.data(), int32_t(body.size()));
        if (c.commandId != 0x00000005) {
            ASSERT_TRUE(submitted);
            EXPECT_EQ(submitted->destinations.at(0).addr, c.fields.destAddr);
            EXPECT_EQ(submitted->message, c.fields.message);
            EXPECT_EQ(submitted->dataCoding, c.fields.dataCoding);
        }
        // Cut anywhere, the body is refused unless it ends between optional parameters, and then it
        // reads as what writes those octets; nothing past the cut is read.
        int taken = 0;
        for (std::size_t cut = 0; cut < body.size(); ++cut) {
            const auto copy = std::make_unique<uint8_t[]>(cut);
            std::copy_n(body.begin(), cut, copy.get());
            if (!smpp::ReadMessageBody(c.commandId, copy.get(), cut, back))
                continue;
            ++taken;
            const Bytes again = Written(c.commandId, back);
            Bytes expected(body.begin(), body.begin() + std::ptrdiff_t(cut));
            if (c.commandId == 0x00000103 && cut == body.size() - 12) // data_sm always carries message_payload
                expected.insert(expected.end(), {0x04, 0x24, 0, 0});
            EXPECT_EQ(again, expected) << cut;
        }
        EXPECT_LE(taken, 2) << "the end of the mandatory fields and of the message's parameter";
    }
    EXPECT_TRUE(Written(0x00000103 + 1, full).empty()) << "no body for another command";
    EXPECT_FALSE(smpp::ReadMessageBody(0x00000001, nullptr, 0, payload));
}

} // namespace
