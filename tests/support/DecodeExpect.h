// Expected decode lines for the decoder's table tests: header lines from field values, body lines by width.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decoder/PacketDecoder.h"
#include "decoder/tables/Tables.h"
#include "tests/support/Bytes.h"

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

// A command as header lines show it: "0x00000004 (name)".
inline std::string Command(uint32_t code, std::string_view name) {
    return Fmt("0x%08X (%.*s)", code, static_cast<int>(name.size()), name.data());
}

inline constexpr int32_t kRest = -1;      // width of an error line: what the record holds from its offset on
inline const std::string kUnknownError(kUnknownErrorText);
inline const std::string kLengthError(kLengthErrorText);

// One expected decode line.
struct Line {
    int32_t id;
    std::string text;
    int32_t offset;
    int32_t width;
    int32_t iconId;
    int32_t isGroup;
};

// A body line as a case lists it. A body's first line is its group (width 0), the others are
// fields under it, error lines included (width kRest).
struct Field {
    int32_t id;
    std::string text;
    int32_t width;
};

inline std::vector<Field> Join(std::vector<Field> a, const std::vector<Field>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// How a protocol's records start after the capture header: a group line, then one line per
// header field ("label = value"): length, command, then the rest. A test's cases build their
// PDUs with `pdu`, which fixes what the fields after the command show (`rest`).
struct Protocol {
    struct HeaderField {
        int32_t id;
        const char* label; // the text before " = "
        int32_t width;
    };
    uint16_t code;    // protocol code in the capture header
    const char* name; // shown after the code on the capture header's protocol line
    int32_t groupId;
    const char* group;
    int32_t groupIcon, fieldIcon;
    std::vector<HeaderField> fields;
    Bytes (*pdu)(uint32_t command, const Bytes& body);
    std::vector<std::string> rest;
};

inline Bytes Record(const Protocol& p, uint32_t command, const Bytes& body = {}) {
    return test_bytes::CaptureRecord(p.code, p.pdu(command, body));
}

// Expected lines in walk order: each line starts where the one before it ended.
class Expect {
public:
    explicit Expect(int32_t offset = 16) : m_offset(offset) {} // 16: after the capture header

    const std::vector<Line>& lines() const { return m_lines; }

    Expect& Add(int32_t id, std::string text, int32_t width, int32_t iconId, int32_t isGroup) {
        m_lines.push_back({id, std::move(text), m_offset, width, iconId, isGroup});
        if (width != kRest) m_offset += width;
        return *this;
    }
    // The six capture-header lines of a record made by test_bytes::CaptureRecord with its default
    // time (0), address and port; starts at offset 0.
    Expect& CaptureHeader(const Protocol& p, uint32_t packetLen) {
        m_offset = 0;
        Add(1, "TCP: ----- Network base info -----", 0, 152, 1);
        Add(2, "TCP: Packet len = " + std::to_string(packetLen), 4, 159, 0);
        Add(3, "TCP: Time = 1970-01-01 00:00:00", 4, 159, 0);
        Add(4, "TCP: Source address = 127.000.000.001", 4, 159, 0);
        Add(5, "TCP: Source port = 5018", 2, 159, 0);
        return Add(6, Fmt("TCP: Protocol = %u (%s)", p.code, p.name), 2, 159, 0);
    }
    // The protocol's group line and one field line per value (the text after " = "). With fewer
    // values than fields the record ends inside the next field, which shows the error line.
    Expect& Header(const Protocol& p, const std::vector<std::string>& values) {
        Add(p.groupId, p.group, 0, p.groupIcon, 1);
        for (size_t i = 0; i < p.fields.size(); ++i) {
            const Protocol::HeaderField& f = p.fields[i];
            if (i == values.size()) return Add(f.id, kUnknownError, kRest, p.fieldIcon, 0);
            Add(f.id, std::string(f.label) + " = " + values[i], f.width, p.fieldIcon, 0);
        }
        return *this;
    }
    Expect& Body(std::span<const Field> body) {
        for (size_t i = 0; i < body.size(); ++i)
            Add(body[i].id, body[i].text, body[i].width, i == 0 ? 161 : 163, i == 0 ? 1 : 0);
        return *this;
    }

private:
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

// Expects exactly the lines `want`, field by field, in a record of `total` bytes.
inline void ExpectLines(std::span<const DecodeLine> got, std::span<const Line> want, int32_t total) {
    EXPECT_EQ(got.size(), want.size()) << Dump(got);
    for (size_t i = 0; i < want.size() && i < got.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i) + ": " + want[i].text);
        EXPECT_EQ(got[i].id, want[i].id);
        EXPECT_EQ(got[i].text, want[i].text);
        EXPECT_EQ(got[i].offset, want[i].offset);
        EXPECT_EQ(got[i].width, want[i].width == kRest ? total - want[i].offset : want[i].width);
        EXPECT_EQ(got[i].iconId, want[i].iconId);
        EXPECT_EQ(got[i].isGroup, want[i].isGroup);
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

// One PDU of a table-driven case and the body lines it decodes to (none for a command without
// a body); the protocol header lines follow from the command and the size.
struct PduCase {
    const char* name;
    uint32_t command;
    const char* commandName;
    Bytes body;
    std::vector<Field> lines;
    bool ok = true; // false for a command without a body and for a record cut short
    size_t cut = 0; // octets missing at the record's end
};

// Decodes each case's record and expects, after the capture header (checked once per protocol
// on its own), the protocol header and exactly the case's body lines.
inline void RunPduCases(CPacketDecoder& decoder, const Protocol& p, const std::vector<PduCase>& cases) {
    for (const PduCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes record = Record(p, c.command, c.body);
        const std::string length = std::to_string(record.size() - 16);
        record.resize(record.size() - c.cut);
        std::vector<std::string> values = {length, Command(c.command, c.commandName)};
        values.insert(values.end(), p.rest.begin(), p.rest.end());
        ExpectDecode(decoder, record, c.ok, Expect().Header(p, values).Body(c.lines).lines(), 6);
    }
}

// One line of a decode: the first line with `id` has exactly this text and width (and offset,
// unless -1). For value names and content rules, where the rest of the body is checked elsewhere.
struct LineCase {
    std::string name;
    Bytes record;
    int32_t id;
    std::string text;
    int32_t width;
    int32_t offset = -1;
};

inline void RunLineCases(CPacketDecoder& decoder, const std::vector<LineCase>& cases) {
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded got = Decode(decoder, c.record);
        const auto line =
            std::find_if(got.lines.begin(), got.lines.end(), [&](const DecodeLine& l) { return l.id == c.id; });
        ASSERT_NE(line, got.lines.end()) << Dump(got.lines);
        EXPECT_EQ(line->text, c.text);
        EXPECT_EQ(line->width, c.width);
        if (c.offset >= 0) {
            EXPECT_EQ(line->offset, c.offset);
        }
    }
}

// A family's rows hold together inside the whole table: every id they name is one of theirs, a
// width source is a field the walk has already passed in the same body, a borrowed name list has
// rows, and a row's id leads to that row in the whole table (references resolve to the first
// row with an id, so no other family may hold one of these ids ahead of it).
inline void ExpectRowsHoldTogether(const decode_table::Family& family) {
    const CPacketDecoder whole;
    const std::span<const FieldDescriptor> rows = family.descriptors;
    std::set<int32_t> ids;
    for (const FieldDescriptor& d : rows) ids.insert(d.id);
    for (size_t i = 0; i < rows.size(); ++i) {
        const FieldDescriptor& d = rows[i];
        SCOPED_TRACE(Fmt("row %d \"%s\"", d.id, d.label));
        EXPECT_GT(d.id, 0); // an id below 0 reads as the table's terminator
        if (d.kind == -1) continue;
        EXPECT_TRUE(d.next <= 0 || ids.count(d.next)) << "next " << d.next;
        EXPECT_EQ(d.next == decode_table::kDispatch, d.selectorId > 0);
        EXPECT_TRUE(d.selectorId <= 0 || ids.count(d.selectorId)) << "selector " << d.selectorId;
        if (d.widthSourceId > 0) {
            bool passed = false;
            for (size_t j = i; j-- > 0 && rows[j].next != decode_table::kEnd;)
                passed = passed || rows[j].id == d.widthSourceId;
            EXPECT_TRUE(passed) << "width source " << d.widthSourceId;
        }
        if (d.caseOwner != 0) {
            const int32_t at = whole.PositionOf(d.id);
            ASSERT_GE(at, 0);
            EXPECT_STREQ(whole.Descriptors()[at].label, d.label);
        }
    }
    for (const NameCategory& n : family.nameCategories) {
        SCOPED_TRACE(Fmt("field %d borrows %d", n.descriptorId, n.category));
        EXPECT_TRUE(ids.count(n.descriptorId));
        EXPECT_TRUE(whole.Names().HasCategory(n.category));
    }
}

// Every case of the selector `selector` names a command in code table `table`; returns how many
// cases there are.
inline int ExpectCasesNamed(const decode_table::Family& family, int32_t selector, int32_t table) {
    const CPacketDecoder whole;
    int cases = 0;
    for (const FieldDescriptor& d : family.descriptors) {
        if (d.id != selector || d.caseOwner != 0 || d.kind == -1) continue;
        SCOPED_TRACE(Fmt("table %d case %s", table, d.label));
        ++cases;
        EXPECT_NE(whole.LookupCodeName(table, static_cast<uint32_t>(std::strtoul(d.label, nullptr, 16))), "未知");
    }
    EXPECT_GT(cases, 0) << "selector " << selector;
    return cases;
}

} // namespace test_decode
