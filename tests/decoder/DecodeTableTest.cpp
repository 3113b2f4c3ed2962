// The whole decode table: capture-header lines, protocol routes, table integrity and name lookups.
#include "decoder/PacketDecoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "decoder/tables/Tables.h"
#include "tests/support/Bytes.h"

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

class DecodeTableTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1); // capture times are shown in local time
        tzset();
    }

    bool Decode(const Bytes& record) { return decoder.Decode(record.data(), static_cast<int32_t>(record.size())); }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const DecodeLine& line : decoder.Lines()) out.push_back(line.text);
        return out;
    }

    CPacketDecoder decoder;
};

TEST_F(DecodeTableTest, CaptureHeaderOnly) {
    const Bytes record = Builder().u32le(16).u32le(1234567890).u32(0x7F000001).u16le(40000).u16le(2);
    EXPECT_TRUE(Decode(record)) << "the SMPP case is found, but no bytes are left for its group";
    const std::vector<std::string> expected = {
        "TCP: ----- Network base info -----",  "TCP: Packet len = 16", "TCP: Time = 2009-02-13 23:31:30",
        "TCP: Source address = 127.000.000.001", "TCP: Source port = 40000", "TCP: Protocol = 2 (SMPP)",
    };
    EXPECT_EQ(Texts(), expected);
    const struct {
        int32_t id, offset, width, iconId, isGroup;
    } layout[] = {{1, 0, 0, 152, 1}, {2, 0, 4, 159, 0}, {3, 4, 4, 159, 0},
                  {4, 8, 4, 159, 0}, {5, 12, 2, 159, 0}, {6, 14, 2, 159, 0}};
    ASSERT_EQ(decoder.Lines().size(), std::size(layout));
    for (size_t i = 0; i < std::size(layout); ++i) {
        SCOPED_TRACE(i);
        const DecodeLine& line = decoder.Lines()[i];
        EXPECT_EQ(line.id, layout[i].id);
        EXPECT_EQ(line.offset, layout[i].offset);
        EXPECT_EQ(line.width, layout[i].width);
        EXPECT_EQ(line.iconId, layout[i].iconId);
        EXPECT_EQ(line.isGroup, layout[i].isGroup);
    }
}

TEST_F(DecodeTableTest, ProtocolCodeLeadsToItsHeader) {
    const struct {
        uint16_t protocol;
        int32_t firstId;
    } routes[] = {{1, 10}, {2, 1890}, {3, 290}, {4, 1010}, {6, 1300}, {7, 1700}, {8, 180}, {9, 2290}};
    for (const auto& route : routes) {
        SCOPED_TRACE(route.protocol);
        Decode(CaptureRecord(route.protocol, Bytes{0}));
        ASSERT_GE(decoder.Lines().size(), 7u);
        const DecodeLine& group = decoder.Lines()[6];
        EXPECT_EQ(group.id, route.firstId);
        EXPECT_EQ(group.offset, 16);
        EXPECT_EQ(group.isGroup, 1);
    }
}

TEST_F(DecodeTableTest, UnknownProtocolCodes) {
    const struct {
        const char* name;
        uint16_t protocol;
        const char* line;
    } cases[] = {
        {"code 5 names no protocol", 5, "TCP: Protocol = 5 (未知)"},
        {"zero", 0, "TCP: Protocol = 0 (未知)"},
        {"largest code", 0xFFFF, "TCP: Protocol = 65535 (未知)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(Decode(CaptureRecord(c.protocol, SmppPdu(0x15, 1))));
        ASSERT_EQ(decoder.Lines().size(), 6u) << "no error line";
        EXPECT_EQ(decoder.Lines().back().text, c.line);
    }
}

TEST_F(DecodeTableTest, ShortAndInconsistentRecords) {
    const Bytes header = CaptureRecord(2, {});
    struct Case {
        const char* name;
        Bytes record;
        bool result;
        size_t lines;
        const char* last;
        int32_t lastOffset;
        int32_t lastWidth;
    } cases[] = {
        {"ten bytes: the address does not fit", Bytes(header.begin(), header.begin() + 10), false, 4, "未知错误!", 8, 2},
        {"one byte", Bytes{0x10}, false, 2, "未知错误!", 0, 1},
        // The length field claims 1000 bytes; only the bytes given are decoded.
        {"length field larger than the record", Builder().u32le(1000).u32le(0).u32(0x7F000001).u16le(1).u16le(2).u16(0),
         false, 8, "未知错误!", 16, 2},
        {"generic_nack: header lines, no body", CaptureRecord(2, SmppPdu(0x80000000, 1)), false, 11,
         "SMPP: Sequence number = 1", 28, 4},
        {"submit_sm cut inside the body", [] {
             Bytes r = CaptureRecord(2, SmppPdu(4, 1, Builder().cstr("CMT").u8(1).u8(1).cstr("1234567890")));
             r.resize(r.size() - 3);
             return r;
         }(),
         false, 16, "未知错误!", 38, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Decode(c.record), c.result);
        ASSERT_EQ(decoder.Lines().size(), c.lines);
        EXPECT_EQ(decoder.Lines().back().text, c.last);
        EXPECT_EQ(decoder.Lines().back().offset, c.lastOffset);
        EXPECT_EQ(decoder.Lines().back().width, c.lastWidth);
    }
    EXPECT_TRUE(decoder.Decode(header.data(), 0));
    EXPECT_TRUE(decoder.Lines().empty());
    EXPECT_FALSE(decoder.Decode(nullptr, 16));
    EXPECT_FALSE(decoder.Decode(header.data(), -1));
}

TEST_F(DecodeTableTest, DataCodingDoesNotOutliveItsRecord) {
    const Bytes submit = CaptureRecord(2, SmppPdu(4, 1, Builder()
                                                            .cstr("").u8(0).u8(0).cstr("1").u8(0).u8(0).cstr("2")
                                                            .u8(0).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0)
                                                            .u8(0) // data_coding
                                                            .u8(0).u8(2).raw("hi")));
    ASSERT_TRUE(Decode(submit));
    EXPECT_EQ(decoder.Lines().back().text, "SUB_SM: short_message = hi");

    // replace_sm has no data_coding: its text has no rule, whatever the previous record held.
    const Bytes replace = CaptureRecord(2, SmppPdu(7, 2, Builder()
                                                             .cstr("5").u8(0).u8(0).cstr("1").cstr("").cstr("")
                                                             .u8(0).u8(0).u8(2).raw("hi")));
    ASSERT_TRUE(Decode(replace));
    EXPECT_EQ(decoder.Lines().back().text, "REPLACE_SM: short_message = Unknown data_coding，can't parse!");
}

TEST_F(DecodeTableTest, EveryReferenceResolves) {
    EXPECT_EQ(decoder.DescriptorCount(), 683);
    const decode_table::Family families[] = {
        decode_table::CaptureHeaderFamily(), decode_table::CmppFamily(), decode_table::SmgpFamily(),
        decode_table::SgipCngpFamily(), decode_table::SmppFamily(),
    };
    int32_t rows = 0;
    for (const decode_table::Family& family : families) {
        for (const FieldDescriptor& row : family.descriptors) {
            SCOPED_TRACE("row " + std::to_string(row.id) + " \"" + row.label + "\"");
            ++rows;
            if (row.kind == -1) continue; // the end of a case list
            if (row.next > 0) {
                EXPECT_GE(decoder.PositionOf(row.next), 0) << "next " << row.next;
            }
            if (row.next == decode_table::kDispatch) {
                EXPECT_GE(decoder.PositionOf(row.selectorId), 0) << "selector " << row.selectorId;
            }
            const bool ownWidth = row.kind == 57 || row.kind == 70 || row.kind == 71;
            if (row.width == -1 && !ownWidth) {
                EXPECT_GE(decoder.PositionOf(row.widthSourceId), 0) << "width source " << row.widthSourceId;
            }
            EXPECT_GE(CPacketDecoder::IconIndex(row.iconId), 0);
        }
    }
    EXPECT_EQ(rows, decoder.DescriptorCount());
    EXPECT_EQ(decoder.Descriptors().back().id, -1) << "the loaded table ends with its terminator";
}

TEST_F(DecodeTableTest, SuffixOfFieldsSharingNames) {
    const Bytes ton{1}, status{0, 0, 0, 0x58}, esm{0x04};
    EXPECT_EQ(decoder.ValueSuffix(1905, ton.data(), 1), " (International)") << "bind addr_ton shares category 1942";
    EXPECT_EQ(decoder.ValueSuffix(1893, status.data(), 3), "") << "a status cut short has no name";
    EXPECT_EQ(decoder.ValueSuffix(1980, esm.data(), 0), "") << "no esm_class byte, no breakdown";
    EXPECT_EQ(decoder.LookupCodeName(6, 5), "未知");
}

} // namespace
