// The whole decode table: references, families, command and value names, and the decoder's state
// between records. What each record decodes to is the golden corpus's (tests/decoder/golden).
#include "decoder/PacketDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "decoder/tables/TableIds.h"
#include "decoder/tables/Tables.h"
#include "protocol/Registry.h"
#include "protocol/SmppStatus.h"
#include "protocol/SmppTlvs.h"
#include "tests/support/Bytes.h"
#include "cimd/Codes.h"
#include "ucp/Operations.h"

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

class DecodeTableTest : public ::testing::Test {
protected:
    bool Decode(const Bytes& record) { return decoder.Decode(record.data(), static_cast<int32_t>(record.size())); }

    CPacketDecoder decoder;
};

const decode_table::Family kFamilies[] = {
    decode_table::CaptureHeaderFamily(), decode_table::CmppFamily(), decode_table::SmgpFamily(),
    decode_table::SgipCngpFamily(), decode_table::SmppFamily(), // UCP adds code names only
};

TEST_F(DecodeTableTest, EveryReferenceResolves) {
    EXPECT_EQ(decoder.DescriptorCount(), 860);
    int32_t rows = 0;
    for (const decode_table::Family& family : kFamilies) {
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
            const bool ownWidth = row.kind == 70 || row.kind == 71;
            if (row.width == -1 && !ownWidth) {
                EXPECT_GE(decoder.PositionOf(row.widthSourceId), 0) << "width source " << row.widthSourceId;
            }
            EXPECT_GE(CPacketDecoder::IconIndex(row.iconId), 0);
        }
    }
    EXPECT_EQ(rows, decoder.DescriptorCount());
    EXPECT_EQ(decoder.Descriptors().back().id, -1) << "the loaded table ends with its terminator";
}

// A family's rows hold together inside the whole table: every id they name is one of theirs, a
// width source is a field the walk has already passed in the same body, a borrowed name list has
// rows, and a row other than a case is the first of its id in the whole table (references resolve
// to the first row with an id, so no other family may hold one of these ids ahead of it).
TEST_F(DecodeTableTest, EveryFamilyHoldsTogether) {
    for (const decode_table::Family& family : std::span(kFamilies).subspan(1)) { // the protocol cases lead out of the capture header
        const std::span<const FieldDescriptor> rows = family.descriptors;
        SCOPED_TRACE(rows.front().label);
        std::set<int32_t> ids;
        for (const FieldDescriptor& d : rows) ids.insert(d.id);
        for (size_t i = 0; i < rows.size(); ++i) {
            const FieldDescriptor& d = rows[i];
            SCOPED_TRACE("row " + std::to_string(d.id) + " \"" + d.label + "\"");
            EXPECT_GT(d.id, 0); // an id below 0 reads as the table's terminator
            if (d.kind == -1) continue;
            EXPECT_TRUE(d.next <= 0 || ids.count(d.next)) << "next " << d.next;
            // An Entries row (45) names the first row of its entries where a dispatch names its selector.
            EXPECT_EQ(d.next == decode_table::kDispatch || d.kind == 45, d.selectorId > 0);
            EXPECT_TRUE(d.selectorId <= 0 || ids.count(d.selectorId)) << "selector " << d.selectorId;
            if (d.widthSourceId > 0) {
                bool passed = false;
                for (size_t j = i; j-- > 0 && rows[j].next != decode_table::kEnd;)
                    passed = passed || rows[j].id == d.widthSourceId;
                EXPECT_TRUE(passed) << "width source " << d.widthSourceId;
            }
            if (d.caseOwner != 0) {
                const int32_t at = decoder.PositionOf(d.id);
                ASSERT_GE(at, 0);
                EXPECT_STREQ(decoder.Descriptors()[at].label, d.label);
            }
        }
        for (const NameCategory& n : family.nameCategories) {
            SCOPED_TRACE("field " + std::to_string(n.descriptorId) + " borrows " + std::to_string(n.category));
            EXPECT_TRUE(ids.count(n.descriptorId));
            EXPECT_TRUE(decoder.Names().HasCategory(n.category));
        }
    }
}

// Every case of a command-id selector is read as eight hex digits, appears once, and names a command
// in the code table that the header line or the brief list of captured PDUs takes its names from.
TEST_F(DecodeTableTest, EveryCaseNamesACommand) {
    const struct {
        int32_t selector, table, cases;
    } selectors[] = {
        {1892, 1892, 31},                   // SMPP 3.4 and 5.0
        {12, 12, 18},     {12, 1012, 18},   // CMPP 2.0: header line, brief list
        {1012, 1012, 18}, {1012, 12, 18},   // CMPP 3.0
        {182, 182, 6},                      // TEST
        {298, 298, 14},   {2298, 2298, 12}, // SMGP 2.0 and 3.0
        {1302, 1302, 10}, {1702, 1702, 10}, // SGIP, CNGP
    };
    for (const auto& s : selectors) {
        SCOPED_TRACE("selector " + std::to_string(s.selector) + ", table " + std::to_string(s.table));
        int cases = 0;
        std::set<std::string> labels;
        for (const FieldDescriptor& d : decoder.Descriptors()) {
            if (d.id != s.selector || d.caseOwner != 0 || d.kind == -1) continue;
            ++cases;
            EXPECT_TRUE(labels.insert(d.label).second) << d.label << ": a second case would never be reached";
            EXPECT_EQ(d.kind, 8) << d.label << ": a case matches the command id as eight hex digits";
            EXPECT_NE(decoder.LookupCodeName(s.table, static_cast<uint32_t>(std::strtoul(d.label, nullptr, 16))), "未知")
                << d.label;
        }
        EXPECT_EQ(cases, s.cases);
    }
}

TEST_F(DecodeTableTest, CommandNames) {
    const struct {
        int32_t table;
        uint32_t code;
        const char* name;
    } rows[] = {
        {1892, 0x80000103, "data_sm_resp"},
        {6, 5, "未知"},
        {1012, 0x80000016, "MO路由更新应答"}, // the brief list's CMPP 3.0 names
        {12, 0x00001001, "未知"},
        {2298, 0x00000008, "MT路由更新请求"},
        {2298, 0x00000010, "未知"},
    };
    for (const auto& r : rows) EXPECT_EQ(decoder.LookupCodeName(r.table, r.code), r.name) << r.table << "/" << r.code;
    // UCP's command ids are its OTs, a result's with the response bit; the codec's table names them.
    for (const ucp::OperationType& type : ucp::kOperationTypes) {
        EXPECT_EQ(decoder.LookupCodeName(decode_ids::kUcpCommands, type.ot), type.name);
        EXPECT_EQ(decoder.LookupCodeName(decode_ids::kUcpCommands, 0x80000000u | type.ot), std::string(type.name) + " result");
    }
    // CIMD2's responses are their operation's code plus 50, kept as the operation's id with the response bit.
    for (const cimd::OperationName& op : cimd::kOperations) {
        const uint32_t id = op.code < 50 ? op.code : 0x80000000u | (op.code < 98 ? op.code - 50u : op.code);
        EXPECT_EQ(decoder.LookupCodeName(decode_ids::kCimdCommands, id), op.name) << int(op.code);
    }
    // SMGP 3.0 commands are listed with the SMGP 2.0 names.
    for (uint32_t code : {0x00000001u, 0x80000001u, 0x00000002u, 0x80000002u, 0x00000003u, 0x80000003u, 0x00000004u,
                          0x80000004u, 0x00000005u, 0x80000005u, 0x00000006u, 0x80000006u, 0x00000007u, 0x80000007u,
                          0x00000008u, 0x80000008u, 0x00000009u, 0x80000009u, 0x00000016u, 0x80000016u}) {
        EXPECT_NE(decoder.LookupCodeName(298, code), "未知") << code;
        EXPECT_EQ(decoder.LookupCodeName(2298, code), decoder.LookupCodeName(298, code)) << code;
    }
}

TEST_F(DecodeTableTest, ValueNamesAndSuffixes) {
    const struct {
        int32_t category;
        int32_t value;
        const char* name;
    } rows[] = {
        {1956, 6, "Cyrllic (ISO-8859-5)"},
        {1956, 240, "GSM message class 0, default alphabet"},
        {1956, 255, "GSM message class 3, 8-bit data"}, // bit 3 is reserved
        {2250, 2, "Distribution List Name"},
        {1958, 17, ""},  // the wildcard of sm_length has no name
        {1893, -5, ""},  // negative values are never named
        {2653, 200, "not applicable"},
        {2652, 32, ""},  // no wildcard: an unlisted value has no name
        {2655, 64, "UDHI Indicator set"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(decoder.LookupValueName(r.category, r.value), r.name) << r.category << "/" << r.value;

    const Bytes ton{1}, status{0, 0, 0, 0x58}, esm{0x04}, flash{0xF0};
    EXPECT_EQ(decoder.ValueSuffix(1987, flash.data(), 1), " (GSM message class 0, default alphabet)")
        << "deliver_sm data_coding shares category 1956";
    EXPECT_EQ(decoder.ValueSuffix(1905, ton.data(), 1), " (International)") << "bind addr_ton shares category 1942";
    EXPECT_EQ(decoder.ValueSuffix(1893, status.data(), 3), "") << "a status cut short has no name";
    EXPECT_EQ(decoder.ValueSuffix(1980, esm.data(), 0), "") << "no esm_class byte, no breakdown";

    // registered_delivery without a row of its own is read bit by bit, in every list that has a "reserved" row.
    const Bytes failureOnly{0x02}, intermediate{0x10};
    EXPECT_EQ(decoder.ValueSuffix(1985, failureOnly.data(), 1),
              " (Receipt=SMSC Delivery Receipt requested on failure; SME Ack=No SME acknowledgement requested; "
              "Intermediate=No Intermediate notification requested)");
    EXPECT_EQ(decoder.ValueSuffix(2192, intermediate.data(), 1),
              " (Receipt=No SMSC Delivery Receipt requested; SME Ack=No SME acknowledgement requested; "
              "Intermediate=Intermediate notification requested)") << "submit_multi shares the submit_sm list";
}

TEST_F(DecodeTableTest, NothingToDecode) {
    const Bytes header = CaptureRecord(2, {});
    EXPECT_TRUE(decoder.Decode(header.data(), 0));
    EXPECT_TRUE(decoder.Lines().empty());
    EXPECT_FALSE(decoder.Decode(nullptr, 16));
    EXPECT_FALSE(decoder.Decode(header.data(), -1));
}

TEST_F(DecodeTableTest, DataCodingDoesNotOutliveItsRecord) {
    const Bytes submit = CaptureRecord(2, SmppPdu(4, 1, Builder()
                                                            .cstr("").u8(0).u8(0).cstr("1").u8(0).u8(0).cstr("2")
                                                            .u8(0).u8(0).u8(0).cstr("").cstr("").u8(0).u8(0)
                                                            .u8(15) // data_coding: GB2312
                                                            .u8(0).u8(2).raw("\xC4\xE3")));
    ASSERT_TRUE(Decode(submit));
    EXPECT_EQ(decoder.Lines().back().text, "SUB_SM: short_message = 你");

    // replace_sm has no data_coding: its text reads as ASCII, whatever the previous record held.
    const Bytes replace = CaptureRecord(2, SmppPdu(7, 2, Builder()
                                                             .cstr("5").u8(0).u8(0).cstr("1").cstr("").cstr("")
                                                             .u8(0).u8(0).u8(2).raw("\xC4\xE3")));
    ASSERT_TRUE(Decode(replace));
    EXPECT_EQ(decoder.Lines().back().text, "REPLACE_SM: short_message = \\xC4\\xE3");
}

} // namespace

// Every field row has a stable name "protocol.Name" of its own words (never the fallback of its id), and a name
// means one type of value wherever it is used: a filter or a script that reads smpp.destination_addr reads
// the same kind of value in a submit_sm and a deliver_sm.
TEST_F(DecodeTableTest, EveryFieldHasAStableNameOfOneType) {
    const DecodeTable& table = decoder.Table();
    std::map<std::string, FieldType> typeOf;
    std::set<std::string> protocols;
    for (size_t position = 0; position + 1 < table.rows.size(); ++position) {
        const FieldDescriptor& row = table.rows[position];
        const std::string& name = table.fieldNames[position];
        SCOPED_TRACE("row " + std::to_string(row.id) + " \"" + row.label + "\" named \"" + name + "\"");
        if (row.caseOwner != decode_table::kNone || row.kind == -1) {
            EXPECT_TRUE(name.empty());
            continue;
        }
        const size_t dot = name.find('.');
        protocols.insert(name.substr(0, dot));
        if (row.isGroup)
            continue;
        EXPECT_NE(dot, std::string::npos);
        EXPECT_EQ(name.find("field_"), std::string::npos) << "a label without a name in its protocol's list";
        EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_."), std::string::npos);
        const auto [it, first] = typeOf.emplace(name, TypeOf(KindOf(row)));
        EXPECT_TRUE(first || it->second == TypeOf(KindOf(row))) << "a name shared by fields of other types";
    }
    EXPECT_EQ(protocols, (std::set<std::string>{"capture", "cmpp", "test", "smgp", "sgip", "cngp", "smpp"}));
}

// Fields that scripts and filters name, read from a whole PDU: the name, the raw value and the value's name.
TEST_F(DecodeTableTest, FieldsCarryTheirNameAndRawValue) {
    using test_bytes::Tlv;
    const Bytes submit = CaptureRecord(protocol::kSmpp, SmppPdu(0x00000004, 7, test_bytes::SmppMessageBody(
        "12345", "10086", 0, 8, {}, Tlv(protocol::smpp::kTagMessagePayload, {0x4E, 0x2D})), 0x11));
    ASSERT_TRUE(Decode(submit));
    struct Expected {
        std::string_view field;
        FieldType type;
        int64_t number;
        std::string_view text, name;
    };
    const Expected expected[] = {
        {"smpp.command_status", FieldType::Number, 0x11, "0x00000011", protocol::smpp::StatusDescription(0x11)},
        {"smpp.sequence_number", FieldType::Number, 7, "7", ""},
        {"smpp.command_id", FieldType::Number, 4, "0x00000004", "submit_sm"},
        {"smpp.destination_addr", FieldType::Text, 0, "10086", ""},
        {"smpp.dest_addr_ton", FieldType::Number, 1, "1", "International"},
        {"smpp.tlv.message_payload", FieldType::Octets, 0, "中", ""},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.field);
        const auto line = std::find_if(decoder.Lines().begin(), decoder.Lines().end(),
                                       [&](const DecodeLine& l) { return l.field == e.field; });
        ASSERT_NE(line, decoder.Lines().end());
        EXPECT_EQ(line->type, e.type);
        EXPECT_EQ(line->number, e.number); // 0 for a value that is no number
        EXPECT_EQ(line->ValueText(), e.text);
        EXPECT_EQ(line->ValueName(), e.name);
        // The display text is the label, the value and its name, as the window shows it.
        EXPECT_TRUE(line->text.ends_with(line->Show()));
    }
}
