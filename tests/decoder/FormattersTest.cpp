// Field formatters: exact texts for addresses, bits, message ids, contents, reports and TLVs.
#include "decoder/Formatters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/GbkText.h"
#include "decoder/MessageContent.h"
#include "decoder/PacketDecoder.h"
#include "tests/support/Bytes.h"

namespace {

using test_bytes::Builder;
using Bytes = std::vector<uint8_t>;

int32_t Size(const Bytes& b) { return static_cast<int32_t>(b.size()); }

// A formatter's input bytes and the exact text it makes of them.
struct TextCase {
    const char* name;
    Bytes input;
    const char* expected;
};

template <typename Format>
void ExpectTexts(const std::vector<TextCase>& cases, Format format) {
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(format(c.input.data(), Size(c.input)), c.expected);
    }
}

// The names of the full decode table (SMPP esm_class parts, SMGP 3.0 TLV values).
const NameIndex& RealNames() {
    static const CPacketDecoder decoder;
    return decoder.Names();
}

TEST(FormattersTest, AddressHexAndBits) {
    EXPECT_EQ(FormatIpv4(0x7F000001), "127.000.000.001");
    EXPECT_EQ(FormatIpv4(0xFFFFFFFF), "255.255.255.255");
    EXPECT_EQ(FormatHex(Bytes{0x00, 0xAB}.data(), 2), "00AB");
    EXPECT_EQ(FormatHex(nullptr, 0), "");
    EXPECT_EQ(FormatBits(0xFF), "11111111");
    EXPECT_EQ(FormatBits(0x40), "01000000");
    // TBCD: low nibble first, 0xA-0xE as * # a b c, the filler 0xF left out wherever it stands.
    const Bytes tbcd{0x31, 0xA2, 0xCB, 0xED, 0xF4, 0x5F};
    std::string digits;
    AppendTbcd(digits, tbcd.data(), Size(tbcd));
    EXPECT_EQ(digits, "132*#abc45");
}

TEST(FormattersTest, CmppMsgId) {
    ExpectTexts({
        // month 1, day 1, hour 1, minute 2, second 1, gateway 1, sequence 42
        {"all fields", {0x10, 0x84, 0x20, 0x40, 0x00, 0x01, 0x00, 0x2A}, "0101010201000000100042"},
        // gateway code bits (low 6 bits of byte 3, bytes 4 and 5) all set: the largest 22-bit value
        {"largest gateway code", {0x00, 0x00, 0x00, 0x3F, 0xFF, 0xFF, 0x00, 0x00}, "0000000000419430300000"},
        {"every bit set", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "1531316363419430365535"},
        {"zero", {0, 0, 0, 0, 0, 0, 0, 0}, "0000000000000000000000"},
        // bytes that are not there read as zero: month, day, hour and minute remain
        {"three bytes given", {0x10, 0x84, 0x20}, "0101010200000000000000"},
    }, FormatCmppMsgId);
}

TEST(FormattersTest, Ucs2) {
    ExpectTexts({
        {"two characters", {0x4F, 0x60, 0x59, 0x7D}, "你好"},
        {"odd width 5 keeps two characters", {0x00, 0x41, 0x00, 0x42, 0x00}, "AB"},
        {"odd width 1 is empty", {0x00}, ""},
        {"empty", {}, ""},
        {"surrogate pair", {0xD8, 0x3D, 0xDE, 0x00}, "\U0001F600"},
        {"high surrogate then a letter", {0xD8, 0x3D, 0x00, 0x41}, "\uFFFDA"},
        {"high surrogate then the first character past the low ones", {0xDB, 0xFF, 0xE0, 0x00}, "\uFFFD\uE000"},
        {"low surrogate alone", {0xDE, 0x00, 0x00, 0x41}, "\uFFFDA"},
        {"the last low surrogate alone", {0xDF, 0xFF, 0x00, 0x41}, "\uFFFDA"},
        {"the character before the surrogates", {0xD7, 0xFF}, "\uD7FF"},
        {"the last of two octets, the first of three", {0x07, 0xFF, 0x08, 0x00}, "\u07FF\u0800"},
        {"high surrogate at the end", {0x00, 0x41, 0xD8, 0x3D}, "A\uFFFD"},
        {"pair cut by odd width", {0xD8, 0x3D, 0xDE}, "\uFFFD"},
        {"text ends at U+0000", {0x00, 0x41, 0x00, 0x00, 0x00, 0x42}, "A"},
        {"Latin-1 and Euro sign", {0x00, 0xE9, 0x20, 0xAC}, "é€"},
        // A control character would break the line it is shown on: C0, DEL and C1 are escaped, U+00A0 is not.
        {"control characters", {0x00, 0x0A, 0x00, 0x7F, 0x00, 0x80, 0x00, 0x9F, 0x00, 0xA0}, "\\x0A\\x7F\\x80\\x9F\u00A0"},
    }, DecodeUcs2);
}

TEST(FormattersTest, GbkText) {
    ExpectTexts({
        {"GBK Chinese", {0xC4, 0xE3, 0xBA, 0xC3}, "你好"},
        {"mixed", {'S', 'P', 0xC4, 0xE3, '1'}, "SP你1"},
        {"ends at NUL", {'a', 0, 'b'}, "a"},
        {"0x80 does not convert", {'a', 0x80, 'b'}, "a\\x80b"},
        {"lead byte cut at the end", {'a', 0xC4}, "a\\xC4"},
        {"lead byte before a blank", {0xC4, ' ', 'x'}, "\\xC4 x"},
        {"four-byte GB18030 form", {0x81, 0x30, 0x81, 0x30}, "\u0080"},
        {"bad byte then Chinese", {0xFF, 0xC4, 0xE3}, "\\xFF你"},
        {"control characters", {'a', '\t', 0xC4, 0xE3, 0x0A, 0x7F}, "a\\x09你\\x0A\\x7F"},
    }, GbkToUtf8);
    const Bytes chinese{0xC4, 0xE3, 0xBA, 0xC3};
    EXPECT_EQ(GbkToUtf8(chinese.data(), 3), "你\\xBA") << "a count that cuts a character";
}

TEST(FormattersTest, ShortMessageByDataCoding) {
    const Bytes ascii{'h', 'i', 0, 'x'}, gbk{0xC4, 0xE3, 0xBA, 0xC3}, ucs2{0x4F, 0x60, 0x59, 0x7D}, latin1{0xE9, 0, 0x85};
    const struct {
        const char* name;
        int32_t dataCoding;
        const Bytes* bytes;
        const char* gateway; // FormatShortMessage
        const char* smpp;    // FormatSmppShortMessage
    } cases[] = {
        {"0 gateway text to NUL, SMPP GSM 03.38 to the last octet", 0, &ascii, "hi", "hi@x"},
        {"15 GBK text", 15, &gbk, "你好", "你好"},
        {"8 UCS-2", 8, &ucs2, "你好", "你好"},
        {"4 binary", 4, &ascii, "68690078 (二进制信息!)", "68690078"},
        {"3 SIM write / Latin 1", 3, &latin1, "E90085 (短信写卡操作!)", "é\\x00\\x85"},
        {"1 IA5", 1, &ascii, "68690078 (Unknown data_coding，can't parse!)", "hi\\x00x"},
        {"none seen: SMPP reads ASCII", -1, &gbk, "C4E3BAC3 (Unknown data_coding，can't parse!)", "\\xC4\\xE3\\xBA\\xC3"},
        {"5 no rule", 5, &ascii, "68690078 (Unknown data_coding，can't parse!)", "68690078 (Unknown data_coding，can't parse!)"},
        {"0xF6 SIM data", 0xF6, &latin1, "E90085 (8-bit data, class 2: SIM data download)",
         "E90085 (8-bit data, class 2: SIM data download)"},
        {"0xF0 SMPP flash: GSM 03.38, whatever the SMSC means by 0", 0xF0, &ascii,
         "68690078 (Unknown data_coding，can't parse!)", "hi@x"},
        {"0xFB: bit 3 is reserved, so class 3 in GSM 03.38", 0xFB, &ascii, "68690078 (Unknown data_coding，can't parse!)",
         "hi@x"},
        {"0xFE: bit 3 is reserved, so class 2 8-bit data", 0xFE, &latin1, "E90085 (8-bit data, class 2: SIM data download)",
         "E90085 (8-bit data, class 2: SIM data download)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatShortMessage(c.bytes->data(), Size(*c.bytes), c.dataCoding), c.gateway);
        EXPECT_EQ(FormatSmppShortMessage(c.bytes->data(), Size(*c.bytes), c.dataCoding), c.smpp);
    }
    EXPECT_EQ(FormatShortMessage(ascii.data(), 0, 0), "");
    EXPECT_EQ(FormatSmppShortMessage(ascii.data(), 1, 0), "h") << "the width bounds the text";
}

TEST(FormattersTest, DefaultAlphabetAsTheSmscMeansIt) {
    const Bytes mail{'a', 0x00, 'b', 0x1B, 0x65, 0xE9};
    EXPECT_EQ(FormatSmppShortMessage(mail.data(), Size(mail), 0, DefaultAlphabet::Gsm), "a@b€\\xE9");
    EXPECT_EQ(FormatSmppShortMessage(mail.data(), Size(mail), 0, DefaultAlphabet::Ascii),
              "a\\x00b\\x1Be\\xE9 (default alphabet read as ASCII)");
    EXPECT_EQ(FormatSmppShortMessage(mail.data(), Size(mail), 0, DefaultAlphabet::Latin1),
              "a\\x00b\\x1Beé (default alphabet read as Latin-1)");
    EXPECT_EQ(FormatSmppShortMessage(mail.data(), Size(mail), 1, DefaultAlphabet::Ascii), "a\\x00b\\x1Be\\xE9")
        << "only data_coding 0 follows the setting";
    EXPECT_EQ(DefaultAlphabetNamed("latin1"), DefaultAlphabet::Latin1);
    EXPECT_EQ(DefaultAlphabetNamed("GSM"), std::nullopt) << "setting values are lower case";
}

TEST(FormattersTest, CmppReport) {
    const Bytes msgId{0x10, 0x84, 0x20, 0x40, 0x00, 0x01, 0x00, 0x2A};
    // Msg_Id, Stat, Submit_time, Done_time, Dest_terminal_Id (21 or 32 wide), SMSC_sequence
    const auto report = [&](size_t destWidth) -> Bytes {
        return Builder().raw(msgId).text("DELIVRD", 7).text("0601011200", 10).text("0601011201", 10)
            .text("13800138000", destWidth).u32(77);
    };
    const Bytes cmpp2 = report(21), cmpp3 = report(32);
    const char* expected = "信息标识 = 0101010201000000100042, 结果 = DELIVRD, 提交时间 = 0601011200, "
                           "完成时间 = 0601011201, 目的号码 = 13800138000, SMSC = 77";
    EXPECT_EQ(FormatCmppReport(cmpp2.data(), Size(cmpp2), CmppReportLayout::Cmpp2), expected);
    EXPECT_EQ(FormatCmppReport(cmpp3.data(), Size(cmpp3), CmppReportLayout::Cmpp3), expected);
    // A report cut after the status: the missing parts are empty and the sequence reads 0.
    EXPECT_EQ(FormatCmppReport(cmpp2.data(), 15, CmppReportLayout::Cmpp2),
              "信息标识 = 0101010201000000100042, 结果 = DELIVRD, 提交时间 = , 完成时间 = , 目的号码 = , SMSC = 0");
}

TEST(FormattersTest, SmgpReport) {
    const Bytes report = Builder().raw("id:").raw(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 0xAB}).raw("stat:DELIVRD").u8(0).raw("x");
    EXPECT_EQ(FormatSmgpReport(report.data(), Size(report)), "id:010203040506070809ABstat:DELIVRD");
    EXPECT_EQ(FormatSmgpReport(report.data(), 13), "id:010203040506070809AB");
    EXPECT_EQ(FormatSmgpReport(report.data(), 5), "id:0102") << "only the id bytes that are there";
}

// A text reads as a receipt when it opens with its id and names its state among four keys or more, all of it
// printable up to the free text.
TEST(FormattersTest, ReceiptText) {
    const struct {
        const char* text;
        size_t fields; // 0: no receipt
    } cases[] = {
        {"id:1 sub:001 dlvrd:001 stat:DELIVRD", 4},
        {"id:1 dlvrd:001 stat:DELIVRD", 0},         // three keys: a message that reads like one
        {"id:1 sub:001 dlvrd:001 err:000", 0},      // no state
        {"sub:001 id:1 dlvrd:001 stat:DELIVRD", 0}, // the id not first
        {"id:1 sub:001 dlvrd:\x01 stat:DELIVRD", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto fields = ParseReceipt(c.text);
        EXPECT_EQ(fields ? fields->size() : 0u, c.fields);
    }
}

TEST(FormattersTest, EsmClassBreakdown) {
    const struct {
        const char* name;
        int32_t descriptorId; // the esm_class field of submit_sm, submit_multi, data_sm, deliver_sm
        uint8_t esmClass;
        const char* expected;
    } cases[] = {
        {"submit UDHI", 1948, 0x40, " (GSM=UDHI Indicator; Type=Default message Type; Mode=Default SMSC Mode)"},
        {"submit_multi store and forward ack", 2187, 0x0B,
         " (GSM=No specific features selected; Type=Short Message contains ESME Delivery Acknowledgement; "
         "Mode=Store and Forward mode)"},
        {"data_sm reply path, reserved type", 2218, 0xA5,
         " (GSM=Set Reply Path; Type=reserved; Mode=Datagram mode)"},
        {"deliver receipt", 1980, 0x04,
         " (GSM=No specific features selected; Type=Short Message contains SMSC Delivery Receipt; "
         "Mode=not applicable)"},
        {"deliver UDHI and reply path, abort", 1980, 0xDA,
         " (GSM=UDHI and Reply Path; Type=Short Message contains Conversation Abort; Mode=not applicable)"},
        {"not an esm_class field", 1950, 0x40, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatEsmClass(RealNames(), c.descriptorId, c.esmClass), c.expected);
    }
}

// Tag, length (the value's own unless given) and value, as both protocols lay out a TLV.
Bytes Tlv(uint16_t tag, const Bytes& value, int32_t length = -1) {
    return Builder().u16(tag).u16(static_cast<uint32_t>(length < 0 ? Size(value) : length)).raw(value);
}

TEST(FormattersTest, Smgp3Tlv) {
    const auto format = [](const uint8_t* tlv, int32_t size) { return FormatSmgp3Tlv(RealNames(), tlv, size); };
    ExpectTexts({
        {"fee user type with name", Tlv(4, {2}), "计费用户类型 = 2 (对SP计费)"},
        {"fee user type by wildcard", Tlv(4, {9}), "计费用户类型 = 9 (未知)"},
        {"message type", Tlv(11, {14}), "SP发送的消息类型 = 14 (群发结果通知消息。无该字段时，默认为普通短消息)"},
        {"message type reserved", Tlv(11, {200}), "SP发送的消息类型 = 200 (保留)"},
        {"plain number", Tlv(1, {5}), "TP_PID(GSM协议类型) = 5"},
        {"number of two octets", Tlv(1, {0x01, 0x00}), "TP_PID(GSM协议类型) = 256"},
        {"number longer than 4 octets in hex", Tlv(9, {1, 2, 3, 4, 5}), "相同LinkID的消息总条数(从1开始) = 0102030405"},
        {"TP_udhi by its own name", Tlv(2, {1}), "TP_UDHI(用户数据头标识) = 1"},
        {"link id text, NULs after it", Tlv(3, {'L', 'K', '0', '1', 0, 0}), "LinkID(交易标识) = LK01"},
        {"link id octets", Tlv(3, {0xE8, 0xFA, 0x00, 0x01}), "LinkID(交易标识) = E8FA0001"},
        {"GBK is no identifier", Tlv(16, {0xC4, 0xE3}), "信息内容的来源 = C4E3"},
        {"unknown tag in hex", Tlv(99, {'a', 'b', 'c'}), "未知 = 616263"},
        {"number with empty value", Tlv(1, {}), "TP_PID(GSM协议类型) = "},
    }, format);
    const Bytes long300 = Tlv(3, Bytes(300, 'x'));
    EXPECT_EQ(format(long300.data(), Size(long300)), "LinkID(交易标识) = " + std::string(300, 'x')) << "read at its length";
    const Bytes longer = Tlv(3, {'a', 'b', 'c', 'd'}, 10);
    EXPECT_EQ(format(longer.data(), 6), "LinkID(交易标识) = ab") << "value cut by the size given";
}

TEST(FormattersTest, SmppTlv) {
    ExpectTexts({
        {"16-bit", Tlv(0x020C, {0x00, 0x2A}), "sar_msg_ref_num(Generic) = 42"},
        {"version", Tlv(0x0210, {0x34}), "SC_interface_version(Generic) = 3.4"},
        {"32-bit", Tlv(0x0017, {0x00, 0x01, 0x00, 0x00}), "qos_time_to_live(Generic) = 65536"},
        {"named octet", Tlv(0x000E, {0x01}), "source_network_type(Generic) = 1 (GSM)"},
        {"octet without a name", Tlv(0x0005, {0x0A}), "dest_addr_subunit(GSM) = 10"},
        {"message state", Tlv(0x0427, {0x02}), "message_state(Generic) = 2 (DELIVERED)"},
        {"text", Tlv(0x001E, {'m', 's', 'g', '1', 0}), "receipted_message_id(Generic) = msg1"},
        {"no value text", Tlv(0x130C, {}), "alert_on_message_delivery(CDMA) = "},
        {"name with its stray parenthesis", Tlv(0x1738, {'1', '3', '9'}), "计费号码) = 139"},
        {"unknown tag in hex", Tlv(0x1234, {'a', 'b'}), "未知(0x1234) = 6162"},
        {"16-bit rule with one byte", Tlv(0x020C, {0x01}), "sar_msg_ref_num(Generic) = "},
        {"8-bit rule with no byte", Tlv(0x0210, {}), "SC_interface_version(Generic) = "},
        {"number of one octet", Tlv(0x0604, {3}), "broadcast_rep_num(GSM) = 3"},
        {"number longer than 4 octets in hex", Tlv(0x0604, {1, 2, 3, 4, 5}), "broadcast_rep_num(GSM) = 0102030405"},
    }, FormatSmppTlv);
    const Bytes cut = Tlv(0x0017, {0, 0, 0, 9});
    EXPECT_EQ(FormatSmppTlv(cut.data(), 6), "qos_time_to_live(Generic) = ") << "value bytes past the size given";
}

} // namespace
