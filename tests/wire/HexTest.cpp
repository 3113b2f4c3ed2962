// wire::ParseHex: the one hex grammar of the command line and the "Decode hex" dialog.
#include "wire/Hex.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Kind = wire::HexError::Kind;

TEST(ParseHex, DigitPairsBetweenSeparators) {
    const struct {
        const char* text;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"", {}},
        {" \n\t", {}},
        {"00ab10", {0x00, 0xAB, 0x10}},
        {" 00 AB\r\n10\t", {0x00, 0xAB, 0x10}},
        {"0x0010 0XAB", {0x00, 0x10, 0xAB}},
        {"03-04:05,06", {0x03, 0x04, 0x05, 0x06}},
        {"0X1b2C, 0x03-04:05", {0x1B, 0x2C, 0x03, 0x04, 0x05}},
        {"0x00,,0x01", {0x00, 0x01}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const wire::HexResult r = wire::ParseHex(c.text);
        EXPECT_TRUE(r.Ok());
        EXPECT_EQ(r.bytes, c.bytes);
    }
}

TEST(ParseHex, EveryRefusalNamesItsPosition) {
    const struct {
        const char* text;
        wire::HexError error;
    } cases[] = {
        {"00 0g", {Kind::NotHexDigit, 4, 1}},       // g is no digit
        {"10x20", {Kind::NotHexDigit, 2, 1}},       // 0x only opens a run
        {"00;01", {Kind::NotHexDigit, 2, 1}},       // a semicolon is no separator
        {"00 \xE4\xB8\x80", {Kind::NotHexDigit, 3, 1}}, // a Chinese character: its first octet
        {"001", {Kind::NotWholeBytes, 0, 3}},       // half a byte at the end of a run
        {"0 0 1 0", {Kind::NotWholeBytes, 0, 1}},   // a byte split by a blank is not guessed at
        {"00 0x", {Kind::NotWholeBytes, 3, 2}},     // a prefix without digits
        {"00 0xABC", {Kind::NotWholeBytes, 3, 5}},  // the run's length includes its prefix
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const wire::HexResult r = wire::ParseHex(c.text);
        EXPECT_EQ(r.error, c.error);
        EXPECT_TRUE(r.bytes.empty());
    }
}

} // namespace
