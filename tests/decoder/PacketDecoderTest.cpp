// The walk over a descriptor table: widths, repeats, lists, case scans and the two error lines.
#include "decoder/PacketDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "decoder/tables/Tables.h"
#include "tests/support/Bytes.h"
#include "wire/Hex.h"

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

// Decodes from a buffer of exactly the record's size, so a read past its end is a real overrun.
bool Decode(CPacketDecoder& decoder, const Bytes& record) {
    const auto exact = std::make_unique<uint8_t[]>(record.size());
    std::copy(record.begin(), record.end(), exact.get());
    return decoder.Decode(exact.get(), static_cast<int32_t>(record.size()));
}

struct WalkCase {
    const char* name;
    Bytes record;
    bool result;
    std::vector<Line> lines; // error lines included
};

void RunWalkCases(CPacketDecoder& decoder, const std::vector<WalkCase>& cases) {
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Decode(decoder, c.record), c.result);
        const std::vector<DecodeLine>& got = decoder.Lines();
        ASSERT_EQ(got.size(), c.lines.size());
        for (size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE("line " + std::to_string(i) + ": " + c.lines[i].text);
            EXPECT_EQ(got[i].id, c.lines[i].id);
            EXPECT_EQ(got[i].text, c.lines[i].text);
            EXPECT_EQ(got[i].offset, c.lines[i].offset);
            EXPECT_EQ(got[i].width, c.lines[i].width);
        }
    }
}

CPacketDecoder DecoderOf(std::span<const FieldDescriptor> rows, std::span<const ValueName> values = {}) {
    const Family families[] = {{rows, {}, values}};
    return CPacketDecoder(families);
}

// The single line of a one-row table that shows `value` with the given kind and width.
DecodeLine OneField(int32_t kind, int32_t width, const Bytes& value) {
    const FieldDescriptor rows[] = {{1, kind, width, "v =", -1, kEnd, 0, 163, kNone, kNone}};
    CPacketDecoder decoder = DecoderOf(rows);
    EXPECT_TRUE(Decode(decoder, value));
    return decoder.Lines().size() == 1 ? decoder.Lines()[0] : DecodeLine{-1, "not one line", -1, -1, -1, -1};
}

Bytes Tlv(uint16_t tag, const Bytes& value, int32_t length = -1) {
    return Builder().u16(tag).u16(length < 0 ? static_cast<uint32_t>(value.size()) : static_cast<uint32_t>(length))
        .raw(value);
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
    const std::string widest(4095, 'a');
    const std::string z64 = wire::ToHex(Bytes(64, 'z')); // the most the trailing line shows
    const auto head = [](const std::string& size) {
        return std::vector<Line>{{10, "W: group", 0, 0}, {11, "W: size = " + size, 0, 2}};
    };
    const auto with = [](std::vector<Line> lines, std::vector<Line> more) {
        lines.insert(lines.end(), more.begin(), more.end());
        return lines;
    };
    RunWalkCases(decoder, {
        {"three bytes of text", Builder().u16(3).raw("abc").u32(7), true,
         with(head("3"), {{12, "W: text = abc", 2, 3}, {13, "W: tail = 7", 5, 4}})},
        {"empty text", Builder().u16(0).u32(9), true, with(head("0"), {{12, "W: text = ", 2, 0}, {13, "W: tail = 9", 2, 4}})},
        {"4095 is the widest field", Builder().u16(4095).raw(widest).u32(1), true,
         with(head("4095"), {{12, "W: text = " + widest, 2, 4095}, {13, "W: tail = 1", 4097, 4}})},
        {"4096 is a length error", Builder().u16(4096).fill(5000, 'a'), false,
         with(head("4096"), {{12, "消息长度错误!", 2, 4096}})},
        {"length error clipped to the record", Builder().u16(0xFFFF).raw("abc"), false,
         with(head("65535"), {{12, "消息长度错误!", 2, 3}})},
        {"text runs past the record", Builder().u16(10).raw("abc"), false, with(head("10"), {{12, "未知错误!", 2, 3}})},
        {"tail cut", Builder().u16(1).raw("a").u16(0), false,
         with(head("1"), {{12, "W: text = a", 2, 1}, {13, "未知错误!", 3, 2}})},
        {"one byte: the size does not fit", Bytes{0}, false, {{10, "W: group", 0, 0}, {11, "未知错误!", 0, 1}}},
        {"nothing at all", Bytes{}, true, {}},
        {"bytes after the last field close the walk", Builder().u16(0).u32(1).raw("zz"), true,
         with(head("0"), {{12, "W: text = ", 2, 0}, {13, "W: tail = 1", 2, 4},
                          {kTrailingOctetsLineId, "Octets not decoded: 2 = 7A7A", 6, 2}})},
        {"64 octets after the last field: all shown, so no \"...\"", Builder().u16(0).u32(1).fill(64, 'z'), true,
         with(head("0"), {{12, "W: text = ", 2, 0}, {13, "W: tail = 1", 2, 4},
                          {kTrailingOctetsLineId, "Octets not decoded: 64 = " + z64, 6, 64}})},
    });
}

TEST(PacketDecoderWalk, WidthSourceReadByItsKind) {
    const struct {
        const char* name;
        int32_t kind, width;
        Bytes value; // the source field's bytes
        bool fits;   // the value is 3
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FieldDescriptor rows[] = {
            {20, c.kind, c.width,   "S: size =", -1, 21,   0, 163, kNone, kNone},
            {21, 6,      kVariable, "S: text =", -1, kEnd, 0, 163, kNone, 20},
        };
        CPacketDecoder decoder = DecoderOf(rows);
        EXPECT_EQ(Decode(decoder, Builder().raw(c.value).raw("xyz")), c.fits);
        ASSERT_EQ(decoder.Lines().size(), 2u);
        // A negative width never moves the walk backwards: the error covers what is left.
        EXPECT_EQ(decoder.Lines()[1].text, c.fits ? "S: text = xyz" : "消息长度错误!");
        EXPECT_EQ(decoder.Lines()[1].offset, c.width);
        EXPECT_EQ(decoder.Lines()[1].width, 3);
    }
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
        {"record ends before the NUL", Builder().raw("abc"), false, {{11, "未知错误!", 0, 3}}},
        {"GBK text", Builder().raw(Bytes{0xC4, 0xE3, 0}).u8(1), true,
         {{11, "T: name = 你", 0, 3}, {12, "T: after = 1", 3, 1}}},
    });
}

// A counted list of entries, each an SME address (flag 1, TON, address) or a list name (flag 2, name).
constexpr FieldDescriptor kEntries[] = {
    {11, 9,  1,         "L: count =", -1, 12,        0, 163, kNone, kNone},
    {12, 45, kVariable, "L: dests =", -1, 13,        0, 163, 20,    11},    // entries from 20
    {13, 9,  1,         "L: esm =",   -1, kEnd,      0, 163, kNone, kNone},
    {20, 9,  1,         "L: flag =",  -1, kDispatch, 0, 163, 20,    kNone},
    {20, 9,  1,         "1",           0, 21,        0, 163, kNone, kNone},
    {20, 9,  1,         "2",           0, 23,        0, 163, kNone, kNone},
    {20, -1, 0,         "",            0, kEnd,      0, 163, kNone, kNone},
    {21, 9,  1,         "L: ton =",   -1, 22,        0, 163, kNone, kNone},
    {22, 55, 21,        "L: addr =",  -1, 12,        0, 163, kNone, kNone}, // back to the list
    {23, 55, 21,        "L: name =",  -1, 12,        0, 163, kNone, kNone}, // back to the list
};

TEST(PacketDecoderWalk, CountedEntries) {
    CPacketDecoder decoder = DecoderOf(kEntries);
    const Bytes sme = Builder().u8(1).u8(1).cstr("111");  // flag, TON, address
    const Bytes list = Builder().u8(2).cstr("friends");   // flag, list name
    const std::vector<Line> smeLines{{20, "L: flag = 1", 1, 1}, {21, "L: ton = 1", 2, 1}, {22, "L: addr = 111", 3, 4}};
    const auto with = [](std::vector<Line> lines, std::vector<Line> more) {
        lines.insert(lines.end(), more.begin(), more.end());
        return lines;
    };
    RunWalkCases(decoder, {
        {"no entry", Builder().u8(0).u8(3), true, {{11, "L: count = 0", 0, 1}, {13, "L: esm = 3", 1, 1}}},
        {"an address and a list", Builder().u8(2).raw(sme).raw(list).u8(3), true,
         with(with({{11, "L: count = 2", 0, 1}}, smeLines),
              {{20, "L: flag = 2", 7, 1}, {23, "L: name = friends", 8, 8}, {13, "L: esm = 3", 16, 1}})},
        // Bad: the record ends after the first of two entries.
        {"fewer entries than counted", Builder().u8(2).raw(sme), false,
         with(with({{11, "L: count = 2", 0, 1}}, smeLines), {{12, "未知错误!", 7, 0}})},
        // Bad: the record ends inside an entry, at a field's end.
        {"entry cut after its flag", Builder().u8(1).u8(1), false,
         {{11, "L: count = 1", 0, 1}, {20, "L: flag = 1", 1, 1}, {12, "未知错误!", 2, 0}}},
        // Bad: an address without its NUL runs past the record.
        {"address without its NUL", Builder().u8(1).u8(1).u8(1).raw("12"), false,
         {{11, "L: count = 1", 0, 1}, {20, "L: flag = 1", 1, 1}, {21, "L: ton = 1", 2, 1}, {22, "未知错误!", 3, 2}}},
        // Bad: a flag with no case ends the walk; the rest is shown as octets.
        {"flag without a case", Builder().u8(1).u8(3).u8(9), false,
         {{11, "L: count = 1", 0, 1}, {20, "L: flag = 3", 1, 1},
          {kTrailingOctetsLineId, "Octets not decoded: 1 = 09", 2, 1}}},
    });

    constexpr FieldDescriptor uncounted[] = {
        {12, 45, kVariable, "U: dests =", -1, kEnd, 0, 163, 20, 99}, // 99 is never decoded
        {20, 9,  1,         "U: flag =",  -1, 12,   0, 163, kNone, kNone},
    };
    CPacketDecoder noCount = DecoderOf(uncounted);
    RunWalkCases(noCount, {{"count never decoded", Bytes{1}, false, {{12, "消息长度错误!", 0, 1}}}});
}

TEST(PacketDecoderWalk, SmppOptionalParametersOnePerLine) {
    constexpr FieldDescriptor rows[] = {
        {11, 9,  1,         "P: field =", -1, 12, 0, 163, kNone, kNone},
        {12, 71, kVariable, "P TLV:",     -1, 12, 0, 163, kNone, kNone}, // repeats
    };
    CPacketDecoder decoder = DecoderOf(rows);
    RunWalkCases(decoder, {
        {"several in a row", Builder().u8(1).raw(Tlv(0x020C, {0, 42})).raw(Tlv(0x130C, {})).raw(Tlv(0x7777, {'x'})),
         true,
         {{11, "P: field = 1", 0, 1},
          {12, "P TLV: sar_msg_ref_num(Generic) = 42", 1, 6},
          {12, "P TLV: alert_on_message_delivery(CDMA) = ", 7, 4},
          {12, "P TLV: 未知(0x7777) = 78", 11, 5}}},
        {"value runs past the record", Builder().u8(1).raw(Tlv(0x0424, {'a', 'b'}, 10)), false,
         {{11, "P: field = 1", 0, 1}, {12, "未知错误!", 1, 6}}},
        {"two stray bytes after the last parameter", Builder().u8(1).raw(Tlv(0x0210, {0x34})).u16(0x0210), false,
         {{11, "P: field = 1", 0, 1}, {12, "P TLV: SC_interface_version(Generic) = 3.4", 1, 5}, {12, "未知错误!", 6, 2}}},
        {"length of 4092 or more", Builder().u8(1).raw(Tlv(0x0424, {'a'}, 0xFFFF)), false,
         {{11, "P: field = 1", 0, 1}, {12, "消息长度错误!", 1, 5}}},
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
    const auto lines = [](uint16_t type, std::vector<Line> body) {
        std::vector<Line> all{{10, "C: group", 0, 0}, {11, "C: type = " + std::to_string(type), 0, 2},
                              {12, "C: sequence = 9", 2, 4}};
        all.insert(all.end(), body.begin(), body.end());
        return all;
    };
    const std::vector<Line> one{{20, "C: body one", 6, 0}, {22, "C: value = 5", 6, 1}};
    const std::vector<Line> two{{21, "C: body two", 6, 0}, {22, "C: value = 5", 6, 1}};
    const std::vector<Line> rest{{kTrailingOctetsLineId, "Octets not decoded: 1 = 05", 6, 1}};
    RunWalkCases(decoder, {
        {"case for any dispatcher", record(1), true, lines(1, one)},
        {"case for this dispatcher", record(2), true, lines(2, two)},
        {"case of another dispatcher is skipped", record(3), false, lines(3, rest)},
        {"command without a body", record(4), false, lines(4, rest)},
        {"a matching dispatch case is passed over", record(5), true, lines(5, two)},
        {"body missing from the table", record(6), false, lines(6, rest)},
        {"no case", record(8), false, lines(8, rest)},
        {"case after the end of the list", record(7), false, lines(7, rest)},
        {"record ends with the header", Builder().u16(1).u32(9), true, lines(1, {})},
    });
}

TEST(PacketDecoderWalk, CaseKinds) {
    const struct {
        const char* name;
        int32_t kind, width;
        Bytes selector;
        const char* label;
    } cases[] = {
        {"32-bit host order", 1, 4, {0x2A, 0, 0, 0}, "42"},
        {"32-bit network order", 2, 4, {0, 0, 0, 0x2A}, "42"},
        {"16-bit signed host order", 3, 2, {0xFE, 0xFF}, "-2"},
        {"16-bit network order", 4, 2, {0xFF, 0xFE}, "65534"},
        {"eight hex digits", 8, 4, {0x80, 0x00, 0x00, 0x0A}, "8000000A"},
        {"one octet", 9, 1, {0xFE}, "254"},
        {"text up to NUL", 6, 4, {'A', 'B', 0, 'x'}, "AB"},
        {"text of the full width", 6, 2, {'A', 'B'}, "AB"},
    };
    for (const auto& c : cases) {
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
        EXPECT_TRUE(Decode(decoder, Builder().raw(c.selector).u8(1)));
        ASSERT_EQ(decoder.Lines().size(), 2u);
        EXPECT_EQ(decoder.Lines()[1].text, "K: body = 1");
    }
}

TEST(PacketDecoderWalk, DispatchThatCannotMatchEndsTheWalk) {
    // A one-byte selector field at the very end of the record, matched by four-byte cases.
    constexpr FieldDescriptor outside[] = {
        {11, 9, 1, "E: type =", -1, kDispatch, 0, 156, 11,    kNone},
        {11, 8, 4, "00000000",   0, 20,        0, 156, kNone, kNone},
        {11, -1, 0, "",          0, kEnd,      0, 156, kNone, kNone},
        {20, 9, 1, "E: body =", -1, kEnd,      0, 163, kNone, kNone},
    };
    CPacketDecoder beyond = DecoderOf(outside);
    RunWalkCases(beyond, {{"selector bytes past the end", Bytes{0}, false, {{11, "E: type = 0", 0, 1}}}});

    constexpr FieldDescriptor undecoded[] = {
        {11, 9, 1, "D: seq =", -1, kDispatch, 0, 156, 50,    kNone}, // 50 is never decoded
        {50, 8, 4, "00000000",  0, 20,        0, 156, kNone, kNone},
        {50, -1, 0, "",         0, kEnd,      0, 156, kNone, kNone},
        {20, 9, 1, "D: body =", -1, kEnd,     0, 163, kNone, kNone},
    };
    CPacketDecoder missing = DecoderOf(undecoded);
    RunWalkCases(missing, {{"no selector line", Bytes{1, 2}, true,
                            {{11, "D: seq = 1", 0, 1}, {kTrailingOctetsLineId, "Octets not decoded: 1 = 02", 1, 1}}}});
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
    RunWalkCases(ending, {{"next id without a row", Bytes{4, 5}, true,
                           {{10, "N: a = 4", 0, 1}, {kTrailingOctetsLineId, "Octets not decoded: 1 = 05", 1, 1}}}});

    constexpr FieldDescriptor unsized[] = {
        {10, 0, 0,         "M: group",  -1, 11,   1, 161, kNone, kNone},
        {11, 6, kVariable, "M: text =", -1, kEnd, 0, 163, kNone, 99}, // 99 is never decoded
    };
    CPacketDecoder unknownWidth = DecoderOf(unsized);
    RunWalkCases(unknownWidth, {{"width source never decoded", Bytes{'a', 'b'}, false,
                                 {{10, "M: group", 0, 0}, {11, "消息长度错误!", 0, 2}}}});
    // The length error covers the rest and hangs in the tree like the field it replaces.
    ASSERT_EQ(unknownWidth.Lines().size(), 2u);
    EXPECT_EQ(unknownWidth.Lines()[1].iconId, 163);
    EXPECT_EQ(unknownWidth.Lines()[1].isGroup, 0);

    CPacketDecoder empty = DecoderOf({});
    EXPECT_EQ(empty.DescriptorCount(), 0);
    EXPECT_TRUE(empty.Decode(record.data(), 3));
    EXPECT_TRUE(empty.Lines().empty());
}

TEST(PacketDecoderWalk, FieldKinds) {
    const struct {
        int32_t kind, width;
        Bytes value;
        const char* text;
    } cases[] = {
        {1, 4, Builder().u32le(0xFFFFFFFE), "v = 4294967294"},
        {2, 4, Builder().u32(3000000000u), "v = 3000000000"},
        {3, 2, Builder().u16le(0xFFFE), "v = -2"},
        {4, 2, Builder().u16(0xFFFE), "v = 65534"},
        {5, 1, Builder().u8('Z'), "v = Z"},
        {8, 4, Builder().u32(0x8000000A), "v = 0x8000000A"},
        {11, 4, Builder().u32le(0x0A000001), "v = 010.000.000.001"},
        {12, 2, Builder().u16le(40000), "v = 40000"},
        {13, 2, Builder().u16(40000), "v = 40000"},
        {33, 1, Builder().u8(0x34), "v = 3.4"},
        {51, 12, Builder().u32(1).u32(2).u32(4294967295u), "v = 1 2 4294967295"},
        {53, 1, Builder().u8(0xFF), "v = -1"},
        {56, 10, Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 0xAB}, "v = 000102030405060708AB"},
        {60, 2, Builder().u16(0xBEEF), "v = 0xBEEF"},
        {1000, 8, Bytes{0x10, 0x84, 0x20, 0x40, 0x00, 0x01, 0x00, 0x2A}, "v = 0101010201000000100042 (0x108420400001002A)"},
        {99, 1, Bytes{1}, ""},          // a kind without a rule shows nothing
        {0, 3, Bytes(3, 0), "v ="},     // reserved bytes: covered by a label-only line
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("kind " + std::to_string(c.kind));
        const DecodeLine line = OneField(c.kind, c.width, c.value);
        EXPECT_EQ(line.text, c.text);
        EXPECT_EQ(line.offset, 0);
        EXPECT_EQ(line.width, c.width);
    }
}

TEST(PacketDecoderWalk, ValueNamesAndSuffix) {
    constexpr FieldDescriptor rows[] = {
        {40, 6, 2, "F: fee type =", -1, 41,   0, 163, kNone, kNone},
        {41, 9, 1, "F: flag =",     -1, 42,   0, 163, kNone, kNone},
        {42, 4, 2, "F: code =",     -1, kEnd, 0, 163, kNone, kNone},
    };
    constexpr ValueName values[] = {
        {40, 0, "zero"},      {40, 2, "by message"},
        {41, -1, "any"},      {41, 1, "one"},      // the wildcard comes first, so it wins
        {42, 258, "two five eight"}, {42, 7, ""},  // an empty name is no name
    };
    CPacketDecoder decoder = DecoderOf(rows, values);
    const Bytes b0102{1, 2}, b0007{0, 7};
    // A fee type is a code of two digits; any other text is no code.
    for (const char* text : {"x1", "1", " 1", "1x", "fe", ""}) {
        const Bytes field{static_cast<uint8_t>(text[0]), static_cast<uint8_t>(text[0] ? text[1] : 0)};
        EXPECT_EQ(decoder.ValueSuffix(40, field.data(), 2), " (未知)") << '"' << text << '"';
    }
    EXPECT_EQ(decoder.ValueSuffix(42, b0007.data(), 2), "");
    EXPECT_EQ(decoder.ValueSuffix(42, b0102.data(), 1), "") << "a value cut short has no name";
    EXPECT_EQ(decoder.ValueSuffix(99, b0102.data(), 1), "") << "unknown descriptor";
    EXPECT_EQ(decoder.LookupValueName(41, -3), "") << "negative values have no name";

    RunWalkCases(decoder, {{"names in the lines", Builder().raw("02").u8(1).u16(258), true,
                            {{40, "F: fee type = 02 (by message)", 0, 2},
                             {41, "F: flag = 1 (any)", 2, 1},
                             {42, "F: code = 258 (two five eight)", 3, 2}}}});
}

TEST(PacketDecoderWalk, IconIndex) {
    const struct {
        int32_t iconId;
        int index;
    } cases[] = {{153, 0}, {157, 1}, {155, 2}, {158, 3}, {152, 4}, {159, 5},
                 {160, 6}, {156, 7}, {161, 8}, {162, 9}, {163, 10}, {154, -1}, {0, -1}, {-1, -1}};
    for (const auto& c : cases) EXPECT_EQ(CPacketDecoder::IconIndex(c.iconId), c.index) << c.iconId;
}

// Every decoder of the whole table walks one table in memory, while each keeps the lines of its own decode.
TEST(PacketDecoderWalk, DecodersShareOneTableAndKeepTheirOwnLines) {
    const CPacketDecoder first;
    CPacketDecoder copy(first);
    CPacketDecoder other;
    EXPECT_EQ(&copy.Table(), &first.Table());
    EXPECT_EQ(&other.Table(), &first.Table());
    const Bytes nack = Builder().u32le(32).u32le(0).u32(0x7F000001).u16le(5018).u16le(2).u32(16).u32(0x80000000).u32(0x58).u32(7).bytes();
    ASSERT_TRUE(!copy.Decode(nack.data(), int32_t(nack.size())) && !copy.Lines().empty());
    EXPECT_TRUE(first.Lines().empty() && other.Lines().empty()) << "a decode fills only its own decoder's lines";
}

} // namespace
