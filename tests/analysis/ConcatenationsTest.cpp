// Concatenated messages: parts by UDH and by SAR parameters put together, missing parts named, bad parts refused.
#include "analysis/Concatenations.h"
#include "smpp/LongMessage.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace test_bytes;
using Lines = std::vector<std::pair<std::string, int32_t>>;

constexpr uint32_t kEsme = 0x0A000001, kSmsc = 0x0A000002;

// A user data header with one 8-bit-reference concatenation element, then the text.
std::vector<uint8_t> Udh8(uint8_t reference, uint8_t total, uint8_t part, const std::vector<uint8_t>& text) {
    return Builder().u8(5).u8(0x00).u8(3).u8(reference).u8(total).u8(part).raw(text);
}
std::vector<uint8_t> UdhSubmit(uint8_t reference, uint8_t total, uint8_t part, const std::vector<uint8_t>& text,
                               const char* destination = "222") {
    return SmppPdu(0x00000004, part, SmppMessageBody("111", destination, 0x40, 0, Udh8(reference, total, part, text)));
}
std::vector<uint8_t> SarDeliver(uint16_t reference, uint8_t total, uint8_t part, const std::vector<uint8_t>& text,
                                const std::vector<uint8_t>& more = {}) {
    const auto tlvs =
        Builder().raw(Tlv(0x020C, Builder().u16(reference))).raw(Tlv(0x020E, {total})).raw(Tlv(0x020F, {part})).raw(more);
    return SmppPdu(0x00000005, 50 + part, SmppMessageBody("333", "444", 0, 8, text, tlvs));
}

struct Feed {
    uint64_t connection;
    bool fromEsme;
    std::vector<uint8_t> pdu;
};

// UCS-2 "Héllo" split inside its second character.
const std::vector<uint8_t> kHello1 = {0x00, 'H', 0x00}, kHello2 = {0xE9, 0x00, 'l', 0x00, 'l', 0x00, 'o'};

const Feed kFeed[] = {
    /* row 1 */ {7, true, UdhSubmit(1, 3, 1, Octets("Hi "))},
    /* row 2 */ {7, false, SmppPdu(0x80000004, 1, Builder().cstr("m1"))},
    /* row 3 */ {7, true, UdhSubmit(1, 3, 3, Octets("world"))},
    /* row 4 */ {8, true, UdhSubmit(1, 3, 2, Octets("other connection"))},
    /* row 5 */ {7, false, SarDeliver(0x1234, 2, 1, kHello1)},
    /* row 6 */ {7, true, UdhSubmit(1, 3, 2, {0x00, ' '})}, // GSM: 0x00 is '@'
    /* row 7 */ {7, false, SarDeliver(0x1234, 2, 2, kHello2, Tlv(0x0424, {0x00, 'x'}))}, // short_message is the text
    /* row 8 */ {7, true, UdhSubmit(9, 3, 3, Octets("c"))},
    /* row 9 */ {7, true, UdhSubmit(9, 3, 1, Octets("a"))}, // the earlier part after the later one
    /* row 10 */ {7, true, UdhSubmit(1, 2, 1, Octets("may still come"))},
    /* row 11 */ {7, true, UdhSubmit(10, 2, 1, Octets("A"))},
    /* row 12 */ {7, true, UdhSubmit(10, 2, 1, Octets("A"))}, // sent again: one part still missing
    /* row 13 */ {7, true, SmppPdu(0x00000004, 3, SmppMessageBody("111", "222", 0x40, 8, Udh8(10, 2, 2, {0x00, 'b'})))},
    /* row 14 */ {7, false, SarDeliver(0x1301, 2, 1, kHello1)},
    /* row 15 */ {7, false, SarDeliver(0x1302, 2, 2, kHello2)}, // another message: the references' low octets differ
    /* row 16 */ {7, true, UdhSubmit(10, 2, 1, Octets("C"))}, // rows 12 and 13 complete: a new message
    /* row 17 */ {7, true, UdhSubmit(10, 2, 2, Octets("d"))},
};

class ConcatenationsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(log.Reset()); }
    void Play() {
        for (const Feed& f : kFeed)
            ASSERT_TRUE(log.AddCaptured(2, 0, f.fromEsme ? kEsme : kSmsc, f.fromEsme ? 40000 : 2775, {},
                                        f.pdu.data(), static_cast<uint32_t>(f.pdu.size()), f.connection));
    }
    static Lines Of(const std::vector<ReassemblyLine>& lines) {
        Lines out;
        for (const ReassemblyLine& line : lines)
            out.emplace_back(line.text, line.record);
        return out;
    }
    CPacketLog log;
};

TEST_F(ConcatenationsTest, PartsPutTogether) {
    CConcatenations parts(log, CPacketDecoder());
    Play();
    CConcatenations later(log, CPacketDecoder()); // made after the records: reads them when made
    const Lines udh = {{"Reassembled message (3 parts)", -1},
                       {"Hi @ world", -1},
                       {"Part 1 of 3: row 1", 0},
                       {"Part 2 of 3: row 6", 5},
                       {"Part 3 of 3: row 3", 2}};
    const Lines sar = {{"Reassembled message (2 parts)", -1},
                       {"Héllo", -1},
                       {"Part 1 of 2: row 5", 4},
                       {"Part 2 of 2: row 7", 6}};
    const Lines gap = {{"Part 2 of 3 not captured", -1}};
    const Lines otherConnection = {{"Part 1 of 3 not captured", -1}};
    const Lines mixed = {{"Reassembled message (2 parts)", -1}, // each part read by its own data_coding
                         {"Ab", -1},
                         {"Part 1 of 2: row 12", 11},
                         {"Part 2 of 2: row 13", 12}};
    const Lines again = {{"Reassembled message (2 parts)", -1}, {"Cd", -1}, {"Part 1 of 2: row 16", 15},
                         {"Part 2 of 2: row 17", 16}};
    const Lines expected[] = {{}, {}, {}, otherConnection, {}, udh, sar, gap, gap, {}, {}, {}, mixed,
                              {}, {{"Part 1 of 2 not captured", -1}}, {}, again};
    for (const CConcatenations* c : {&parts, &later})
        for (int32_t i = 0; i < log.GetCount(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(Of(c->LinesFor(i)), expected[i]);
        }
    EXPECT_TRUE(parts.LinesFor(-1).empty());
    EXPECT_TRUE(parts.LinesFor(99).empty());

    // After a reset the same reference starts afresh.
    ASSERT_TRUE(log.Reset());
    EXPECT_TRUE(parts.LinesFor(5).empty());
    Play();
    EXPECT_EQ(Of(parts.LinesFor(5)), udh);
}

// The parts the composers send, in each way and as deliver_sm or data_sm, are put back together here as the ESME
// would.
TEST_F(ConcatenationsTest, TheComposersPartsPutTogether) {
    const std::string text = std::string(300, 'x') + "\u20ac";
    const smpp::EncodedText encoded = smpp::EncodeMessage(text, 0);
    CConcatenations parts(log, CPacketDecoder());
    for (const bool dataSm : {false, true}) {
        for (const smpp::SplitOption option : {smpp::SplitOption::Udh8, smpp::SplitOption::Udh16, smpp::SplitOption::Sar}) {
            SCOPED_TRACE(std::string(smpp::NameOf(option)) + (dataSm ? " in data_sm" : " in deliver_sm"));
            const smpp::SplitResult split = smpp::Split(encoded.octets, 0, option, smpp::NextReference());
            ASSERT_EQ(split.parts.size(), 2u);
            smpp::DeliverFields fields;
            fields.sourceAddr = "333", fields.destAddr = "444";
            for (const smpp::MessagePart& part : split.parts) {
                const smpp::DeliverFields carried = smpp::WithPart(fields, part);
                const auto pdu = dataSm ? SmppPdu(0x00000103, 1, smpp::DataSmBody(carried))
                                        : SmppPdu(0x00000005, 1, smpp::DeliverSmBody(carried));
                ASSERT_TRUE(log.AddCaptured(2, 0, kSmsc, 2775, {}, pdu.data(), static_cast<uint32_t>(pdu.size()), 7));
            }
            const Lines lines = Of(parts.LinesFor(log.GetCount() - 1));
            ASSERT_GE(lines.size(), 2u);
            EXPECT_EQ(lines[0].first, "Reassembled message (2 parts)");
            EXPECT_EQ(lines[1].first, text);
        }
    }
}

TEST_F(ConcatenationsTest, BadPartsAreNoParts) {
    const auto record = [](const std::vector<uint8_t>& pdu) { return CaptureRecord(2, pdu); };
    const auto sar = [](std::vector<uint8_t> reference, std::vector<uint8_t> total, uint8_t part) {
        const auto tlvs = Builder().raw(Tlv(0x020C, reference)).raw(Tlv(0x020E, total)).raw(Tlv(0x020F, {part}));
        return SmppPdu(0x00000004, 1, SmppMessageBody("1", "2", 0, 0, Octets("x"), tlvs));
    };
    const std::vector<uint8_t> bad[] = {
        SmppPdu(0x00000004, 1, SmppMessageBody("1", "2", 0x40, 0, Builder().u8(9).u8(0).u8(3).u8(1).u8(2).u8(1))), // UDH runs past
        SmppPdu(0x00000004, 1, SmppMessageBody("1", "2", 0, 0, Udh8(1, 2, 1, Octets("x")))), // a UDH without UDHI is text
        // Concatenation elements one octet too short, each followed by an element that would read as its part.
        SmppPdu(0x00000004, 1, SmppMessageBody("1", "2", 0x40, 0, Builder().u8(6).u8(0).u8(2).u8(5).u8(2).u8(1).u8(0))),
        SmppPdu(0x00000004, 1, SmppMessageBody("1", "2", 0x40, 0, Builder().u8(7).u8(8).u8(3).u16(5).u8(2).u8(1).u8(0))),
        UdhSubmit(1, 1, 1, Octets("x")),  // one part only
        UdhSubmit(1, 3, 0, Octets("x")),  // part 0
        UdhSubmit(1, 3, 4, Octets("x")),  // part beyond the count
        sar({0, 1, 2}, {2}, 1),           // a reference of three octets
        sar({0, 1}, {0, 2}, 1),           // a count of two octets
        sar({0, 1}, {2}, 3),              // part beyond the count
        SmppPdu(0x00000004, 1, SmppMessageBody("1", "2", 0, 0, Octets("x"), Tlv(0x020C, {0, 1}))), // a lone reference
        SmppPdu(0x00000004, 1, Builder().fill(30, 'a')), // no NUL where a string must end
        SmppPdu(0x00000021, 1, SmppMessageBody("1", "2", 0x40, 0, Udh8(1, 2, 1, Octets("x")))), // submit_multi
    };
    for (const auto& pdu : bad) {
        SCOPED_TRACE(::testing::PrintToString(pdu));
        const auto r = record(pdu);
        EXPECT_FALSE(CConcatenations::ReadPart(r.data(), static_cast<uint32_t>(r.size())));
    }
    // A port element after the concatenation's, as a WAP push sends: the part is found, its text behind both.
    const auto ported = record(SmppPdu(0x00000004, 1, SmppMessageBody("1", "2", 0x40, 0,
        Builder().u8(11).u8(0).u8(3).u8(7).u8(2).u8(1).u8(5).u8(4).u16(2948).u16(9200).raw("x"))));
    const auto part = CConcatenations::ReadPart(ported.data(), static_cast<uint32_t>(ported.size()));
    ASSERT_TRUE(part);
    EXPECT_EQ((std::vector<int32_t>{part->reference, part->total, part->number, part->textLength}), (std::vector<int32_t>{7, 2, 1, 1}));
    // Every cut of a good part reads nothing past the cut and finds no part; the whole one is found.
    for (const auto& pdu : {UdhSubmit(1, 2, 1, Octets("x")), sar({0, 1}, {2}, 1)}) {
        const auto whole = record(pdu);
        for (size_t cut = 0; cut < whole.size(); ++cut) {
            const std::vector<uint8_t> r(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
            EXPECT_FALSE(CConcatenations::ReadPart(r.data(), static_cast<uint32_t>(r.size()))) << cut;
        }
        EXPECT_TRUE(CConcatenations::ReadPart(whole.data(), static_cast<uint32_t>(whole.size())));
    }
}

} // namespace
