// The walk over a descriptor table: widths, repeats, lists, case scans and the two error lines.
#include "decoder/PacketDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/tables/Tables.h"
#include "tests/support/Bytes.h"

namespace {

using decode_table::Family;
using decode_table::kDispatch;
using decode_table::kEnd;
using decode_table::kNone;
using decode_table::kVariable;
using test_bytes::Builder;
using Bytes = std::vector<uint8_t>;

// What a test checks of one line.
struct Line {
    int32_t id;
    std::string text;
    int32_t offset;
    int32_t width;
};

std::vector<Line> Brief(const CPacketDecoder& decoder) {
    std::vector<Line> out;
    for (const DecodeLine& l : decoder.Lines()) out.push_back({l.id, l.text, l.offset, l.width});
    return out;
}

void ExpectLines(const std::vector<Line>& actual, const std::vector<Line>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i));
        EXPECT_EQ(actual[i].id, expected[i].id);
        EXPECT_EQ(actual[i].text, expected[i].text);
        EXPECT_EQ(actual[i].offset, expected[i].offset);
        EXPECT_EQ(actual[i].width, expected[i].width);
    }
}

struct WalkCase {
    const char* name;
    Bytes record;
    bool result;
    std::vector<Line> lines;
};

void RunWalkCases(CPacketDecoder& decoder, const std::vector<WalkCase>& cases) {
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decoder.Decode(c.record.data(), static_cast<int32_t>(c.record.size())), c.result);
        ExpectLines(Brief(decoder), c.lines);
    }
}

CPacketDecoder DecoderOf(std::span<const FieldDescriptor> rows, std::span<const ValueName> values = {}) {
    const Family families[] = {{rows, {}, values}};
    return CPacketDecoder(families);
}

// Columns: {id, kind, width, label, caseOwner, next, isGroup, iconId, selectorId, widthSourceId}.

// A text whose width another field gives, between two fixed fields.
constexpr FieldDescriptor kSized[] = {
    {10, 0, 0,         "W: group",  -1, 11,   1, 161, kNone, kNone},
    {11, 4, 2,         "W: size =", -1, 12,   0, 163, kNone, kNone},
    {12, 6, kVariable, "W: text =", -1, 13,   0, 163, kNone, 11},
    {13, 2, 4,         "W: tail =", -1, kEnd, 0, 163, kNone, kNone},
};

TEST(PacketDecoderWalk, WidthFromAnotherField) {
    CPacketDecoder decoder = DecoderOf(kSized);
    const Bytes big(4095, 'a');
    std::vector<WalkCase> cases = {
        {"three bytes of text", Builder().u16(3).raw("abc").u32(7), true,
         {{10, "W: group", 0, 0}, {11, "W: size = 3", 0, 2}, {12, "W: text = abc", 2, 3}, {13, "W: tail = 7", 5, 4}}},
        {"empty text", Builder().u16(0).u32(9), true,
         {{10, "W: group", 0, 0}, {11, "W: size = 0", 0, 2}, {12, "W: text = ", 2, 0}, {13, "W: tail = 9", 2, 4}}},
        {"4096 is a length error", Builder().u16(4096).fill(5000, 'a'), false,
         {{10, "W: group", 0, 0}, {11, "W: size = 4096", 0, 2}, {12, "消息长度错误!", 2, 4096}}},
        {"length error clipped to the record", Builder().u16(0xFFFF).raw("abc"), false,
         {{10, "W: group", 0, 0}, {11, "W: size = 65535", 0, 2}, {12, "消息长度错误!", 2, 3}}},
        {"text runs past the record", Builder().u16(10).raw("abc"), false,
         {{10, "W: group", 0, 0}, {11, "W: size = 10", 0, 2}, {12, "未知错误!", 2, 3}}},
        {"tail cut", Builder().u16(1).raw("a").u16(0), false,
         {{10, "W: group", 0, 0}, {11, "W: size = 1", 0, 2}, {12, "W: text = a", 2, 1}, {13, "未知错误!", 3, 2}}},
        {"one byte: the size does not fit", Bytes{0}, false, {{10, "W: group", 0, 0}, {11, "未知错误!", 0, 1}}},
        {"nothing at all", Bytes{}, true, {}},
        {"bytes after the last field are not shown", Builder().u16(0).u32(1).raw("zz"), true,
         {{10, "W: group", 0, 0}, {11, "W: size = 0", 0, 2}, {12, "W: text = ", 2, 0}, {13, "W: tail = 1", 2, 4}}},
    };
    RunWalkCases(decoder, cases);

    // The widest field that is not an error.
    const Bytes widest = Builder().u16(4095).raw(big).u32(1);
    EXPECT_TRUE(decoder.Decode(widest.data(), static_cast<int32_t>(widest.size())));
    ASSERT_EQ(decoder.Lines().size(), 4u);
    EXPECT_EQ(decoder.Lines()[2].width, 4095);
    EXPECT_EQ(decoder.Lines()[3].offset, 4097);
}

TEST(PacketDecoderWalk, WidthSourceReadByItsKind) {
    struct Case {
        const char* name;
        int32_t kind;
        int32_t width;
        Bytes value; // the source field's bytes, meaning 3 (or what the name says)
        bool fits;
    } cases[] = {
        {"32-bit host order", 1, 4, {3, 0, 0, 0}, true},
        {"32-bit network order", 2, 4, {0, 0, 0, 3}, true},
        {"16-bit signed host order", 3, 2, {3, 0}, true},
        {"16-bit network order", 4, 2, {0, 3}, true},
        {"one byte", 9, 1, {3}, true},
        {"16-bit signed host order, -5", 3, 2, {0xFB, 0xFF}, false},
        {"16-bit signed host order, -1", 3, 2, {0xFF, 0xFF}, false},
        {"32-bit network order, all ones", 2, 4, {0xFF, 0xFF, 0xFF, 0xFF}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FieldDescriptor rows[] = {
            {20, c.kind, c.width,   "S: size =", -1, 21,   0, 163, kNone, kNone},
            {21, 6,      kVariable, "S: text =", -1, kEnd, 0, 163, kNone, 20},
        };
        CPacketDecoder decoder = DecoderOf(rows);
        const Bytes record = Builder().raw(c.value).raw("xyz");
        EXPECT_EQ(decoder.Decode(record.data(), static_cast<int32_t>(record.size())), c.fits);
        ASSERT_EQ(decoder.Lines().size(), 2u);
        const DecodeLine& text = decoder.Lines()[1];
        EXPECT_EQ(text.offset, c.width);
        if (c.fits) {
            EXPECT_EQ(text.text, "S: text = xyz");
            EXPECT_EQ(text.width, 3);
        } else { // a negative width never moves the walk backwards
            EXPECT_EQ(text.text, "消息长度错误!");
            EXPECT_EQ(text.width, 3);
        }
    }
}

TEST(PacketDecoderWalk, MissingWidthSourceIsALengthError) {
    constexpr FieldDescriptor rows[] = {
        {10, 0, 0,         "M: group",  -1, 11,   1, 161, kNone, kNone},
        {11, 6, kVariable, "M: text =", -1, kEnd, 0, 163, kNone, 99}, // 99 is never decoded
    };
    CPacketDecoder decoder = DecoderOf(rows);
    RunWalkCases(decoder, {{"unknown width covers the rest", Bytes{'a', 'b'}, false,
                            {{10, "M: group", 0, 0}, {11, "消息长度错误!", 0, 2}}}});
    // The error line hangs in the tree like the field it replaces.
    EXPECT_EQ(decoder.Lines()[1].iconId, 163);
    EXPECT_EQ(decoder.Lines()[1].isGroup, 0);
}

TEST(PacketDecoderWalk, TextUpToItsNul) {
    constexpr FieldDescriptor rows[] = {
        {11, 55, 8, "T: name =",  -1, 12,   0, 163, kNone, kNone},
        {12, 9,  1, "T: after =", -1, kEnd, 0, 163, kNone, kNone},
    };
    CPacketDecoder decoder = DecoderOf(rows);
    RunWalkCases(decoder, {
        {"NUL inside shortens the field", Builder().cstr("ab").u8(7), true,
         {{11, "T: name = ab", 0, 3}, {12, "T: after = 7", 3, 1}}},
        {"no NUL within the width", Builder().raw("abcdefgh").u8(7), true,
         {{11, "T: name = abcdefgh", 0, 8}, {12, "T: after = 7", 8, 1}}},
        {"empty text", Builder().u8(0).u8(1), true, {{11, "T: name = ", 0, 1}, {12, "T: after = 1", 1, 1}}},
        {"record ends before the NUL", Builder().raw("abc"), false, {{11, "未知错误!", 0, 3}}},
        {"GBK text", Builder().raw(Bytes{0xC4, 0xE3, 0}).u8(1), true,
         {{11, "T: name = 你", 0, 3}, {12, "T: after = 1", 3, 1}}},
    });
}

TEST(PacketDecoderWalk, DestinationList) {
    constexpr FieldDescriptor rows[] = {
        {11, 9,  1,         "L: count =", -1, 12,   0, 163, kNone, kNone},
        {12, 44, kVariable, "L: dests =", -1, 13,   0, 163, kNone, 11},
        {13, 9,  1,         "L: esm =",   -1, kEnd, 0, 163, kNone, kNone},
    };
    CPacketDecoder decoder = DecoderOf(rows);
    const auto sme = [](const char* address) { return Builder().u8(1).u8(1).u8(1).cstr(address).bytes(); };
    const auto list = [](const char* name) { return Builder().u8(2).cstr(name).bytes(); };
    RunWalkCases(decoder, {
        {"no destination", Builder().u8(0).u8(3), true,
         {{11, "L: count = 0", 0, 1}, {12, "L: dests = ", 1, 0}, {13, "L: esm = 3", 1, 1}}},
        {"one SME address", Builder().u8(1).raw(sme("111")).u8(3), true,
         {{11, "L: count = 1", 0, 1}, {12, "L: dests = 111", 1, 7}, {13, "L: esm = 3", 8, 1}}},
        {"an address and a list", Builder().u8(2).raw(sme("111")).raw(list("friends")).u8(3), true,
         {{11, "L: count = 2", 0, 1}, {12, "L: dests = 111,friends", 1, 16}, {13, "L: esm = 3", 17, 1}}},
        {"two addresses", Builder().u8(2).raw(sme("111")).raw(sme("222")).u8(3), true,
         {{11, "L: count = 2", 0, 1}, {12, "L: dests = 111,222", 1, 14}, {13, "L: esm = 3", 15, 1}}},
        {"fewer entries than counted", Builder().u8(2).raw(sme("111")), false,
         {{11, "L: count = 2", 0, 1}, {12, "未知错误!", 1, 7}}},
        {"address without its NUL", Builder().u8(1).u8(1).u8(1).u8(1).raw("12"), false,
         {{11, "L: count = 1", 0, 1}, {12, "未知错误!", 1, 5}}},
        {"entry cut inside TON and NPI", Builder().u8(1).u8(1).u8(1), false,
         {{11, "L: count = 1", 0, 1}, {12, "未知错误!", 1, 2}}},
    });
}

TEST(PacketDecoderWalk, RepeatingRecordsUntilTheEnd) {
    constexpr FieldDescriptor rows[] = {
        {11, 9,  1,         "R: count =",  -1, 12, 0, 163, kNone, kNone},
        {12, 57, kVariable, "R: failed =", -1, 12, 0, 163, kNone, kNone}, // repeats
    };
    CPacketDecoder decoder = DecoderOf(rows);
    const auto failed = [](const char* address, uint32_t error) {
        return Builder().u8(1).u8(1).cstr(address).u32(error).bytes();
    };
    RunWalkCases(decoder, {
        {"two entries", Builder().u8(2).raw(failed("123", 8)).raw(failed("45", 9)), true,
         {{11, "R: count = 2", 0, 1}, {12, "R: failed = 123", 1, 10}, {12, "R: failed = 45", 11, 9}}},
        {"none", Builder().u8(0), true, {{11, "R: count = 0", 0, 1}}},
        {"error code cut", Builder().u8(1).u8(1).u8(1).cstr("123").u16(0), false,
         {{11, "R: count = 1", 0, 1}, {12, "未知错误!", 1, 8}}},
        {"address without NUL", Builder().u8(1).u8(1).u8(1).raw("12345"), false,
         {{11, "R: count = 1", 0, 1}, {12, "未知错误!", 1, 7}}},
        {"one byte left", Builder().u8(1).u8(1), false, {{11, "R: count = 1", 0, 1}, {12, "未知错误!", 1, 1}}},
    });
}

Bytes Tlv(uint16_t tag, const Bytes& value, int32_t length = -1) {
    return Builder().u16(tag).u16(length < 0 ? static_cast<uint32_t>(value.size()) : static_cast<uint32_t>(length))
        .raw(value)
        .bytes();
}

TEST(PacketDecoderWalk, SmppOptionalParametersOnePerLine) {
    constexpr FieldDescriptor rows[] = {
        {11, 9,  1,         "P: field =", -1, 12, 0, 163, kNone, kNone},
        {12, 71, kVariable, "P TLV:",     -1, 12, 0, 163, kNone, kNone}, // repeats
    };
    CPacketDecoder decoder = DecoderOf(rows);
    RunWalkCases(decoder, {
        {"several in a row",
         Builder().u8(1).raw(Tlv(0x020C, {0, 42})).raw(Tlv(0x020E, {3})).raw(Tlv(0x0424, {'h', 'i'}))
             .raw(Tlv(0x130C, {})).raw(Tlv(0x7777, {'x'})).raw(Tlv(0x0006, {2})),
         true,
         {{11, "P: field = 1", 0, 1},
          {12, "P TLV: sar_msg_ref_num(Generic) = 42", 1, 6},
          {12, "P TLV: sar_total_segments(Generic) = 3", 7, 5},
          {12, "P TLV: message_payload(Generic) = hi", 12, 6},
          {12, "P TLV: alert_on_message_delivery(CDMA) = ", 18, 4},
          {12, "P TLV: 未知(0x7777) = x", 22, 5},
          {12, "P TLV: dest_network_type(Generic) = case 0x02", 27, 5}}},
        {"value runs past the record", Builder().u8(1).raw(Tlv(0x0424, {'a', 'b'}, 10)), false,
         {{11, "P: field = 1", 0, 1}, {12, "未知错误!", 1, 6}}},
        {"two stray bytes after the last parameter", Builder().u8(1).raw(Tlv(0x0210, {0x34})).u16(0x0210), false,
         {{11, "P: field = 1", 0, 1}, {12, "P TLV: SC_interface_version(Generic) = 52", 1, 5}, {12, "未知错误!", 6, 2}}},
        {"length of 4092 or more", Builder().u8(1).raw(Tlv(0x0424, {'a'}, 0xFFFF)), false,
         {{11, "P: field = 1", 0, 1}, {12, "消息长度错误!", 1, 5}}},
    });
}

TEST(PacketDecoderWalk, Smgp3TlvsOnePerLine) {
    constexpr FieldDescriptor rows[] = {
        {12, 70, kVariable, "G TLV:", -1, 12, 0, 163, kNone, kNone}, // repeats
    };
    // The SMGP family brings the names of the TLV values.
    const Family families[] = {{rows, {}, {}}, decode_table::SmgpFamily()};
    CPacketDecoder decoder(families);
    RunWalkCases(decoder, {
        {"a long text value is not shown but covered",
         Builder().raw(Tlv(3, Bytes(300, 'x'))).raw(Tlv(4, {2})).raw(Tlv(99, {1, 2})), true,
         {{12, "G TLV: LinkID(交易标识) = ", 0, 304},
          {12, "G TLV: 计费用户类型 = 2 (对SP计费)", 304, 5},
          {12, "G TLV: 未知 = ", 309, 6}}},
        {"header cut", Builder().raw(Tlv(4, {2})).u8(0), false,
         {{12, "G TLV: 计费用户类型 = 2 (对SP计费)", 0, 5}, {12, "未知错误!", 5, 1}}},
    });
}

// Protocol bodies chosen by a command type that an earlier field holds.
constexpr FieldDescriptor kCases[] = {
    {10, 0, 0, "C: group",      -1, 11,        1, 161, kNone, kNone},
    {11, 4, 2, "C: type =",     -1, 12,        0, 156, kNone, kNone},
    {12, 2, 4, "C: sequence =", -1, kDispatch, 0, 156, 11,    kNone},
    {11, 4, 2, "1",              0, 20,        0, 156, kNone, kNone},
    {11, 4, 2, "2",             12, 21,        0, 156, kNone, kNone}, // only for dispatcher 12
    {11, 4, 2, "3",             77, 20,        0, 156, kNone, kNone}, // serves another dispatcher
    {11, 4, 2, "4",              0, kEnd,      0, 156, kNone, kNone}, // a command without a body
    {11, 4, 2, "5",              0, kDispatch, 0, 156, kNone, kNone}, // never taken
    {11, 4, 2, "5",              0, 21,        0, 156, kNone, kNone},
    {11, 4, 2, "6",              0, 55,        0, 156, kNone, kNone}, // a body not in the table
    {11, -1, 0, "",              0, kEnd,      0, 156, kNone, kNone},
    {11, 4, 2, "7",              0, 20,        0, 156, kNone, kNone}, // after the end of the list
    {20, 0, 0, "C: body one",   -1, 22,        1, 161, kNone, kNone},
    {22, 9, 1, "C: value =",    -1, kEnd,      0, 163, kNone, kNone},
    {21, 0, 0, "C: body two",   -1, 22,        1, 161, kNone, kNone},
};

TEST(PacketDecoderWalk, CaseScan) {
    CPacketDecoder decoder = DecoderOf(kCases);
    const auto record = [](uint16_t type) { return Builder().u16(type).u32(9).u8(5).bytes(); };
    const std::vector<Line> header = [] {
        return std::vector<Line>{{10, "C: group", 0, 0}, {11, "C: type = 0", 0, 2}, {12, "C: sequence = 9", 2, 4}};
    }();
    const auto with = [&](uint16_t type, std::vector<Line> body) {
        std::vector<Line> lines = header;
        lines[1].text = "C: type = " + std::to_string(type);
        lines.insert(lines.end(), body.begin(), body.end());
        return lines;
    };
    RunWalkCases(decoder, {
        {"case for any dispatcher", record(1), true, with(1, {{20, "C: body one", 6, 0}, {22, "C: value = 5", 6, 1}})},
        {"case for this dispatcher", record(2), true, with(2, {{21, "C: body two", 6, 0}, {22, "C: value = 5", 6, 1}})},
        {"case of another dispatcher is skipped", record(3), false, with(3, {})},
        {"command without a body", record(4), false, with(4, {})},
        {"a matching dispatch case is passed over", record(5), true,
         with(5, {{21, "C: body two", 6, 0}, {22, "C: value = 5", 6, 1}})},
        {"body missing from the table", record(6), false, with(6, {})},
        {"no case", record(8), false, with(8, {})},
        {"case after the end of the list", record(7), false, with(7, {})},
        {"record ends with the header", Builder().u16(1).u32(9), true, with(1, {})},
    });
}

TEST(PacketDecoderWalk, CaseKinds) {
    struct Case {
        const char* name;
        int32_t kind;
        int32_t width;
        Bytes selector;
        const char* label;
    } cases[] = {
        {"32-bit host order", 1, 4, {0x2A, 0, 0, 0}, "42"},
        {"32-bit network order", 2, 4, {0, 0, 0, 0x2A}, "42"},
        {"16-bit signed host order", 3, 2, {0xFE, 0xFF}, "-2"},
        {"16-bit network order", 4, 2, {0xFF, 0xFE}, "65534"},
        {"eight hex digits", 8, 4, {0x80, 0x00, 0x00, 0x0A}, "8000000A"},
        {"text up to NUL", 6, 4, {'A', 'B', 0, 'x'}, "AB"},
        {"text of the full width", 6, 2, {'A', 'B'}, "AB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FieldDescriptor rows[] = {
            {11, c.kind, c.width, "K: type =", -1, kDispatch, 0, 156, 11,    kNone}, // its own selector
            {11, c.kind, c.width, "0",          0, 30,        0, 156, kNone, kNone},
            {11, c.kind, c.width, c.label,      0, 20,        0, 156, kNone, kNone},
            {11, -1,     0,       "",           0, kEnd,      0, 156, kNone, kNone},
            {20, 9,      1,       "K: body =", -1, kEnd,      0, 163, kNone, kNone},
            {30, 9,      1,       "K: zero =", -1, kEnd,      0, 163, kNone, kNone},
        };
        CPacketDecoder decoder = DecoderOf(rows);
        const Bytes record = Builder().raw(c.selector).u8(1);
        EXPECT_TRUE(decoder.Decode(record.data(), static_cast<int32_t>(record.size())));
        ASSERT_EQ(decoder.Lines().size(), 2u);
        EXPECT_EQ(decoder.Lines()[1].text, "K: body = 1");
    }
}

TEST(PacketDecoderWalk, SelectorOutsideTheRecordMatchesNothing) {
    // A one-byte selector field at the very end of the record, matched by four-byte cases.
    constexpr FieldDescriptor rows[] = {
        {11, 9, 1, "E: type =", -1, kDispatch, 0, 156, 11,    kNone},
        {11, 8, 4, "00000000",   0, 20,        0, 156, kNone, kNone},
        {11, -1, 0, "",          0, kEnd,      0, 156, kNone, kNone},
        {20, 9, 1, "E: body =", -1, kEnd,      0, 163, kNone, kNone},
    };
    CPacketDecoder decoder = DecoderOf(rows);
    RunWalkCases(decoder, {{"selector bytes past the end", Bytes{0}, false, {{11, "E: type = 0", 0, 1}}}});
}

TEST(PacketDecoderWalk, DispatchWithoutItsSelectorEndsTheWalk) {
    constexpr FieldDescriptor rows[] = {
        {11, 9, 1, "D: seq =", -1, kDispatch, 0, 156, 50,    kNone}, // 50 is never decoded
        {50, 8, 4, "00000000",  0, 20,        0, 156, kNone, kNone},
        {50, -1, 0, "",         0, kEnd,      0, 156, kNone, kNone},
        {20, 9, 1, "D: body =", -1, kEnd,     0, 163, kNone, kNone},
    };
    CPacketDecoder decoder = DecoderOf(rows);
    RunWalkCases(decoder, {{"no selector line", Bytes{1, 2}, true, {{11, "D: seq = 1", 0, 1}}}});
}

TEST(PacketDecoderWalk, TableFaultsEndTheWalk) {
    constexpr FieldDescriptor loop[] = {
        {10, 0, 0, "Z: group", -1, 10, 1, 161, kNone, kNone}, // names itself and covers nothing
    };
    CPacketDecoder looping = DecoderOf(loop);
    const Bytes record{1, 2, 3};
    EXPECT_FALSE(looping.Decode(record.data(), 3));
    EXPECT_LE(looping.Lines().size(), 3u);

    constexpr FieldDescriptor dangling[] = {
        {10, 9, 1, "N: a =", -1, 77, 0, 163, kNone, kNone}, // 77 is not in the table
    };
    CPacketDecoder ending = DecoderOf(dangling);
    RunWalkCases(ending, {{"next id without a row", Bytes{4, 5}, true, {{10, "N: a = 4", 0, 1}}}});

    CPacketDecoder empty = DecoderOf({});
    EXPECT_EQ(empty.DescriptorCount(), 0);
    EXPECT_TRUE(empty.Decode(record.data(), 3));
    EXPECT_TRUE(empty.Lines().empty());
}

TEST(PacketDecoderWalk, IntegerKinds) {
    constexpr FieldDescriptor rows[] = {
        {1,  1, 4,  "k1 =",  -1, 2,    0, 163, kNone, kNone},
        {2,  2, 4,  "k2 =",  -1, 3,    0, 163, kNone, kNone},
        {3,  3, 2,  "k3 =",  -1, 4,    0, 163, kNone, kNone},
        {4,  4, 2,  "k4 =",  -1, 5,    0, 163, kNone, kNone},
        {5,  5, 1,  "k5 =",  -1, 6,    0, 163, kNone, kNone},
        {6,  8, 4,  "k8 =",  -1, 7,    0, 163, kNone, kNone},
        {7,  12, 2, "k12 =", -1, 8,    0, 163, kNone, kNone},
        {8,  13, 2, "k13 =", -1, 9,    0, 163, kNone, kNone},
        {9,  33, 1, "k33 =", -1, 10,   0, 163, kNone, kNone},
        {10, 51, 12, "k51 =", -1, 11,  0, 163, kNone, kNone},
        {11, 53, 1, "k53 =", -1, 12,   0, 163, kNone, kNone},
        {12, 56, 10, "k56 =", -1, 13,  0, 163, kNone, kNone},
        {13, 60, 2, "k60 =", -1, 14,   0, 163, kNone, kNone},
        {14, 11, 4, "k11 =", -1, 15,   0, 163, kNone, kNone},
        {15, 1000, 8, "k1000 =", -1, 16, 0, 163, kNone, kNone},
        {16, 99, 1, "k99 =", -1, 17,   0, 163, kNone, kNone},
        {17, 0, 3,  "k0 reserved", -1, kEnd, 0, 163, kNone, kNone},
    };
    CPacketDecoder decoder = DecoderOf(rows);
    const Bytes record = Builder()
                             .u32le(0xFFFFFFFE)
                             .u32(3000000000u)
                             .u16le(0xFFFE)
                             .u16(0xFFFE)
                             .u8('Z')
                             .u32(0x8000000A)
                             .u16le(40000)
                             .u16(40000)
                             .u8(0x34)
                             .u32(1).u32(2).u32(4294967295u)
                             .u8(0xFF)
                             .raw(Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 0xAB})
                             .u16(0xBEEF)
                             .u32le(0x0A000001)
                             .raw(Bytes{0x10, 0x84, 0x20, 0x40, 0x00, 0x01, 0x00, 0x2A})
                             .u8(1)
                             .fill(3);
    EXPECT_TRUE(decoder.Decode(record.data(), static_cast<int32_t>(record.size())));
    const std::vector<std::string> expected = {
        "k1 = 4294967294", "k2 = 3000000000", "k3 = -2", "k4 = 65534", "k5 = Z", "k8 = 0x8000000A",
        "k12 = 40000", "k13 = 40000", "k33 = 3.4", "k51 = 1 2 4294967295", "k53 = -1",
        "k56 = 000102030405060708AB", "k60 = 0xBEEF", "k11 = 010.000.000.001", "k1000 = 0101010201000000100042",
        "", "k0 reserved"};
    ASSERT_EQ(decoder.Lines().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(decoder.Lines()[i].text, expected[i]) << i;
    EXPECT_EQ(decoder.Lines().back().width, 3) << "reserved bytes are covered by a label-only line";
}

TEST(PacketDecoderWalk, ContentFollowsTheDataCodingAndReportFlag) {
    constexpr FieldDescriptor rows[] = {
        {11, 38,  1,         "M: coding =",  -1, 12,   0, 163, kNone, kNone},
        {12, 53,  1,         "M: report =",  -1, 13,   0, 163, kNone, kNone},
        {13, 9,   1,         "M: length =",  -1, 14,   0, 163, kNone, kNone},
        {14, 102, kVariable, "M: content =", -1, kEnd, 0, 163, kNone, 13},
    };
    CPacketDecoder decoder = DecoderOf(rows);
    const Bytes report = Builder().raw("id:").raw(Bytes(10, 0x11)).raw("stat:0").bytes();
    struct Case {
        const char* name;
        Bytes record;
        const char* content;
    } cases[] = {
        {"UCS-2", Builder().u8(8).u8(0).u8(2).u16(0x4E2D), "M: content = 中"},
        {"report", Builder().u8(8).u8(1).u8(static_cast<uint32_t>(report.size())).raw(report),
         "M: content = id:11111111111111111111stat:0"},
        {"coding without a rule", Builder().u8(9).u8(0).u8(1).u8('a'), "M: content = Unknown data_coding，can't parse!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(decoder.Decode(c.record.data(), static_cast<int32_t>(c.record.size())));
        ASSERT_EQ(decoder.Lines().size(), 4u);
        EXPECT_EQ(decoder.Lines()[3].text, c.content);
    }
}

TEST(PacketDecoderWalk, ValueNamesAndSuffix) {
    constexpr FieldDescriptor rows[] = {
        {40, 6, 2, "F: fee type =", -1, 41,   0, 163, kNone, kNone},
        {41, 9, 1, "F: flag =",     -1, 42,   0, 163, kNone, kNone},
        {42, 4, 2, "F: code =",     -1, kEnd, 0, 163, kNone, kNone},
    };
    constexpr ValueName values[] = {
        {40, 0, "no digits"}, {40, 2, "by message"},
        {41, -1, "any"},      {41, 1, "one"},      // the wildcard comes first, so it wins
        {42, 258, "two five eight"}, {42, 7, ""},  // an empty name is no name
    };
    CPacketDecoder decoder = DecoderOf(rows, values);
    const Bytes b02{'0', '2'}, bX1{'x', '1'}, b1{1}, b0102{1, 2}, b0007{0, 7};
    EXPECT_EQ(decoder.ValueSuffix(40, b02.data(), 2), " (by message)");
    EXPECT_EQ(decoder.ValueSuffix(40, bX1.data(), 2), " (no digits)");
    EXPECT_EQ(decoder.ValueSuffix(41, b1.data(), 1), " (any)");
    EXPECT_EQ(decoder.ValueSuffix(42, b0102.data(), 2), " (two five eight)");
    EXPECT_EQ(decoder.ValueSuffix(42, b0007.data(), 2), "");
    EXPECT_EQ(decoder.ValueSuffix(42, b0102.data(), 1), "") << "a value cut short has no name";
    EXPECT_EQ(decoder.ValueSuffix(99, b1.data(), 1), "") << "unknown descriptor";
    EXPECT_EQ(decoder.LookupValueName(41, -3), "") << "negative values have no name";
    EXPECT_EQ(decoder.LookupValueName(41, 1), "any");

    const Bytes record = Builder().raw("02").u8(5).u16(258);
    EXPECT_TRUE(decoder.Decode(record.data(), static_cast<int32_t>(record.size())));
    ASSERT_EQ(decoder.Lines().size(), 3u);
    EXPECT_EQ(decoder.Lines()[0].text, "F: fee type = 02 (by message)");
    EXPECT_EQ(decoder.Lines()[1].text, "F: flag = 5 (any)");
    EXPECT_EQ(decoder.Lines()[2].text, "F: code = 258 (two five eight)");
}

TEST(PacketDecoderWalk, NameCategoryOfAnotherField) {
    constexpr FieldDescriptor rows[] = {
        {60, 9, 1, "A: ton =",       -1, 61,   0, 163, kNone, kNone},
        {61, 9, 1, "A: other ton =", -1, kEnd, 0, 163, kNone, kNone},
    };
    constexpr ValueName values[] = {{60, 1, "International"}};
    constexpr NameCategory shared[] = {{61, 60}};
    const Family families[] = {{rows, {}, values, shared}};
    CPacketDecoder decoder(families);
    const Bytes record{1, 1};
    EXPECT_TRUE(decoder.Decode(record.data(), 2));
    ASSERT_EQ(decoder.Lines().size(), 2u);
    EXPECT_EQ(decoder.Lines()[1].text, "A: other ton = 1 (International)");
}

TEST(PacketDecoderWalk, IconIndex) {
    const struct {
        int32_t iconId;
        int index;
    } cases[] = {{153, 0}, {157, 1}, {155, 2}, {158, 3}, {152, 4}, {159, 5},
                 {160, 6}, {156, 7}, {161, 8}, {162, 9}, {163, 10}, {154, -1}, {0, -1}, {-1, -1}};
    for (const auto& c : cases) EXPECT_EQ(CPacketDecoder::IconIndex(c.iconId), c.index) << c.iconId;
}

} // namespace
