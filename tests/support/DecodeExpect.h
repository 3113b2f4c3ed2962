// Expected decode lines for the decoder's table tests: laid out field by field, then compared line by line.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decoder/PacketDecoder.h"

namespace test_decode {

using Bytes = std::vector<uint8_t>;

// Capture times are shown in local time; the expected times are UTC, whatever the shell says.
inline const bool kUtcTimes = [] {
    setenv("TZ", "UTC", 1);
    tzset();
    return true;
}();

// printf into a string (texts up to 511 bytes).
[[gnu::format(printf, 1, 2)]] inline std::string Fmt(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

inline constexpr int32_t kUnchecked = -1;   // Line::iconId, Line::isGroup: not compared
inline constexpr int32_t kToRecordEnd = -1; // Line::width of an error line: not negative, not past the record

// One expected decode line.
struct Line {
    int32_t id;
    std::string text;
    int32_t offset;
    int32_t width;
    int32_t iconId = kUnchecked;
    int32_t isGroup = kUnchecked;
};

// Expected lines in walk order: each line starts where the one before it ended. A test derives
// its own layout (`class Expect : public Layout<Expect>`) with shorthands for its protocol's lines.
template <typename Self>
class Layout {
public:
    const std::vector<Line>& lines() const { return m_lines; }
    int32_t offset() const { return m_offset; }

    Self& Add(int32_t id, std::string text, int32_t width, int32_t iconId = kUnchecked, int32_t isGroup = kUnchecked) {
        m_lines.push_back({id, std::move(text), m_offset, width, iconId, isGroup});
        m_offset += width;
        return self();
    }
    // The error line that ends the walk early; it covers at most what is left of the record.
    Self& AddToRecordEnd(int32_t id, std::string text) {
        m_lines.push_back({id, std::move(text), m_offset, kToRecordEnd});
        return self();
    }
    // Forgets the last n lines, as when the record ends inside the first of them.
    Self& DropLast(size_t n) {
        m_offset = m_lines[m_lines.size() - n].offset;
        m_lines.resize(m_lines.size() - n);
        return self();
    }
    // The six capture-header lines of a record made by test_bytes::CaptureRecord from its default
    // address; `protocol` is the text after "TCP: Protocol = ". With `look` false the icons and
    // group flags are not compared.
    Self& CaptureHeader(uint32_t packetLen, std::string_view time, uint16_t port, std::string_view protocol,
                        bool look = true) {
        const int32_t groupIcon = look ? 152 : kUnchecked, fieldIcon = look ? 159 : kUnchecked;
        const int32_t group = look ? 1 : kUnchecked, field = look ? 0 : kUnchecked;
        Add(1, "TCP: ----- Network base info -----", 0, groupIcon, group);
        Add(2, "TCP: Packet len = " + std::to_string(packetLen), 4, fieldIcon, field);
        Add(3, "TCP: Time = " + std::string(time), 4, fieldIcon, field);
        Add(4, "TCP: Source address = 127.000.000.001", 4, fieldIcon, field);
        Add(5, "TCP: Source port = " + std::to_string(port), 2, fieldIcon, field);
        return Add(6, "TCP: Protocol = " + std::string(protocol), 2, fieldIcon, field);
    }

protected:
    explicit Layout(int32_t offset = 0) : m_offset(offset) {}

private:
    Self& self() { return static_cast<Self&>(*this); }

    std::vector<Line> m_lines;
    int32_t m_offset;
};

struct Decoded {
    bool ok;
    std::vector<DecodeLine> lines;
    int32_t total; // the record's size
};

// Decodes from a buffer of exactly the record's size, so a read past its end is a real overrun.
inline Decoded Decode(CPacketDecoder& decoder, const Bytes& record) {
    auto exact = std::make_unique<uint8_t[]>(record.size());
    std::copy(record.begin(), record.end(), exact.get());
    const auto total = static_cast<int32_t>(record.size());
    const bool ok = decoder.Decode(exact.get(), total);
    return {ok, decoder.Lines(), total};
}

inline std::string Dump(std::span<const DecodeLine> lines) {
    std::string out;
    for (const DecodeLine& l : lines)
        out += Fmt("  {%d, \"%s\", %d, %d, %d, %d}\n", l.id, l.text.c_str(), l.offset, l.width, l.iconId, l.isGroup);
    return out;
}

// Expects exactly the lines `want`, field by field; `total` bounds the error lines of width kToRecordEnd.
inline void ExpectLines(std::span<const DecodeLine> got, std::span<const Line> want, int32_t total) {
    EXPECT_EQ(got.size(), want.size()) << Dump(got);
    for (size_t i = 0; i < want.size() && i < got.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i) + ": " + want[i].text);
        EXPECT_EQ(got[i].id, want[i].id);
        EXPECT_EQ(got[i].text, want[i].text);
        EXPECT_EQ(got[i].offset, want[i].offset);
        if (want[i].width != kToRecordEnd) {
            EXPECT_EQ(got[i].width, want[i].width);
        } else {
            EXPECT_GE(got[i].width, 0);
            EXPECT_LE(got[i].offset + got[i].width, total);
        }
        if (want[i].iconId != kUnchecked) {
            EXPECT_EQ(got[i].iconId, want[i].iconId);
        }
        if (want[i].isGroup != kUnchecked) {
            EXPECT_EQ(got[i].isGroup, want[i].isGroup);
        }
    }
}

// Decodes `record` and expects the walk's outcome and, from line `from` on, exactly the lines `want`.
inline Decoded ExpectDecode(CPacketDecoder& decoder, const Bytes& record, bool ok, std::span<const Line> want,
                            size_t from = 0) {
    Decoded got = Decode(decoder, record);
    EXPECT_EQ(got.ok, ok);
    if (got.lines.size() < from) {
        ADD_FAILURE() << "fewer than " << from << " lines:\n" << Dump(got.lines);
        return got;
    }
    ExpectLines(std::span<const DecodeLine>(got.lines).subspan(from), want, got.total);
    return got;
}

} // namespace test_decode
