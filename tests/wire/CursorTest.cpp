// wire::Cursor and wire::Writer: every read bounded by the bytes, the first failure and its offset kept.
#include "wire/Cursor.h"
#include "wire/Writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using wire::Cursor;
using wire::CursorError;
using Bytes = std::vector<uint8_t>;

TEST(Cursor, ReadsFieldsInOrderBigEndian) {
    const Bytes bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 'a', 'b', 0, 'x', 'y', 0, 0, 0xEE};
    Cursor in(bytes.data(), bytes.size());
    EXPECT_EQ(in.U8(), 0x01);
    EXPECT_EQ(in.U16(), 0x0203);
    EXPECT_EQ(in.U32(), 0x04050607u);
    EXPECT_EQ(in.CString(3), "ab");
    EXPECT_EQ(in.Text(4), "xy") << "a fixed-width field ends at its first NUL and consumes its width";
    in.Skip(0);
    EXPECT_EQ(in.Offset(), 14u);
    EXPECT_EQ(in.Remaining(), 1u);
    EXPECT_EQ(in.Bytes(1).front(), 0xEE);
    EXPECT_TRUE(in.Ok());
    EXPECT_EQ(in.Remaining(), 0u);
}

TEST(Cursor, RemembersTheFirstFailureAndWhereItStarted) {
    const Bytes bytes = {0x00, 0x10, 'a', 'b', 'c', 0x7F};
    const struct {
        const char* name;
        void (*read)(Cursor&);
        CursorError error;
        size_t offset;
    } cases[] = {
        {"u32 past the end", [](Cursor& in) { in.Skip(3); in.U32(); }, CursorError::Short, 3},
        {"u16 on the last octet", [](Cursor& in) { in.Skip(5); in.U16(); }, CursorError::Short, 5},
        {"skip past the end", [](Cursor& in) { in.U8(); in.Skip(6); }, CursorError::Short, 1},
        {"bytes past the end", [](Cursor& in) { in.Bytes(7); }, CursorError::Short, 0},
        {"c string without NUL in its width", [](Cursor& in) { in.Skip(2); in.CString(3); }, CursorError::Unterminated, 2},
        {"c string running off the end", [](Cursor& in) { in.Skip(2); in.CString(10); }, CursorError::Short, 2},
        {"c string of width 0", [](Cursor& in) { in.CString(0); }, CursorError::Unterminated, 0},
        {"text past the end", [](Cursor& in) { in.Skip(4); in.Text(3); }, CursorError::Short, 4},
        {"later failures do not move it", [](Cursor& in) { in.Skip(4); in.U32(); in.Skip(9); in.CString(1); }, CursorError::Short, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Cursor in(bytes.data(), bytes.size());
        c.read(in);
        EXPECT_FALSE(in.Ok());
        EXPECT_EQ(in.Error(), c.error);
        EXPECT_EQ(in.ErrorOffset(), c.offset);
        EXPECT_EQ(in.Remaining(), 0u);
        EXPECT_EQ(in.U32(), 0u) << "reads after a failure give 0";
        EXPECT_EQ(in.CString(6), "");
        EXPECT_TRUE(in.Bytes(1).empty());
    }
}

TEST(Cursor, StartsAtAnOffsetAndRefusesOneBeyondTheBytes) {
    const Bytes bytes = {1, 2, 3, 4, 5};
    Cursor at(bytes.data(), bytes.size(), 1);
    EXPECT_EQ(at.U32(), 0x02030405u);
    Cursor beyond(bytes.data(), bytes.size(), 6);
    EXPECT_EQ(beyond.Error(), CursorError::Short);
    Cursor none(nullptr, 4);
    EXPECT_EQ(none.U8(), 0);
    EXPECT_EQ(none.Error(), CursorError::Short) << "no data is no bytes, whatever size is given";
}

TEST(Writer, WritesFieldsAndDropsWhatDoesNotFit) {
    uint8_t buffer[16] = {};
    wire::Writer out(buffer, sizeof buffer);
    out.U32(0).U16(0x0210).U8(0x34).CString("ab").Text("xyz", 2).Text("q", 3);
    out.PatchU32(0, static_cast<uint32_t>(out.Size()));
    ASSERT_TRUE(out.Ok());
    EXPECT_EQ(Bytes(buffer, buffer + out.Size()),
              (Bytes{0, 0, 0, 15, 0x02, 0x10, 0x34, 'a', 'b', 0, 'x', 'y', 'q', 0, 0}));

    out.U16(0xFFFF);
    EXPECT_FALSE(out.Ok()) << "one octet of room left";
    out.U8(1);
    EXPECT_EQ(out.Size(), 15u) << "nothing written after a failure";
    EXPECT_EQ(buffer[15], 0);
}

TEST(Writer, GrowsAtTheEndOfAVectorAndWritesParameters) {
    Bytes out = {9};
    const Bytes big(wire::kMaxTlvValue + 1, 'v');
    std::size_t size = 0;
    {
        wire::Writer grow(out);
        grow.CString(std::string_view("abc\0d", 5), 8).CString("long", 2).Tlv(0x0424, Bytes{'x'}).Tlv(0x0001, big);
        grow.PatchU32(1, 0xA1A2A3A4);
        ASSERT_TRUE(grow.Ok());
        size = grow.Size();
    }
    EXPECT_EQ(size, out.size()) << "cut to what was written when the writer goes";
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 13),
              (Bytes{9, 0xA1, 0xA2, 0xA3, 0xA4, 'l', 'o', 0, 0x04, 0x24, 0, 1, 'x'}))
        << "a C string cut at its own NUL and at its width";

    // Read back: the cut value is whole up to its counted length; what follows a short one fails.
    Cursor in(out.data(), out.size(), 8);
    uint16_t tag = 0;
    std::span<const uint8_t> value;
    ASSERT_TRUE(in.Tlv(tag, value));
    EXPECT_EQ(tag, 0x0424);
    ASSERT_TRUE(in.Tlv(tag, value));
    EXPECT_EQ(value.size(), wire::kMaxTlvValue);
    EXPECT_FALSE(in.Tlv(tag, value));
    EXPECT_TRUE(in.Ok()) << "no parameter left is an end, not an error";

    const struct {
        const char* name;
        Bytes bytes;
        bool ok;
    } rest[] = {
        {"three octets left", {0x04, 0x24, 0}, true},
        {"a value past the end", {0x04, 0x24, 0, 2, 'x'}, false},
    };
    for (const auto& c : rest) {
        SCOPED_TRACE(c.name);
        Cursor tail(c.bytes.data(), c.bytes.size());
        EXPECT_FALSE(tail.Tlv(tag, value));
        EXPECT_EQ(tail.Ok(), c.ok);
    }
    const Bytes alert = {0x13, 0x0C, 0, 0}; // alert_on_message_delivery, last: a parameter with no value is one
    Cursor last(alert.data(), alert.size());
    ASSERT_TRUE(last.Tlv(tag, value));
    EXPECT_EQ(tag, 0x130C);
    EXPECT_TRUE(value.empty());
}

} // namespace
