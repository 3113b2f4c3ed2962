// The display filter: every kind of term and field expression, negated and combined, against one fixed capture;
// bad filters and where they fail.
#include "analysis/DisplayFilter.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace test_bytes;

constexpr int64_t kT0 = 1'700'000'000'000'000;
int64_t Later() { return kT0 + 60'000'000; }

constexpr uint32_t kSmsc = 0x0A000002; // 10.0.0.2
struct Captured {
    uint16_t protocol;
    uint64_t connection; // 0: typed
    uint32_t client;
    bool fromClient;
    std::vector<uint8_t> pdu;
};

const std::vector<uint8_t> kGruesse = {0x00, 'G', 0x00, 'r', 0x00, 0xFC, 0x00, 0xDF, 0x00, 'e'}; // UCS-2 "Grüße"

const Captured kCapture[] = {
    // clang-format off
    /* 0 */ {2, 7, 0x0A000001, true,  SmppPdu(0x00000004, 1, SmppMessageBody("111", "222", 0, 0, Octets("Hello World")))},
    /* 1 */ {2, 7, 0x0A000001, false, SmppPdu(0x80000004, 1, Builder().cstr("id1"), 0x58)},
    /* 2 */ {2, 7, 0x0A000001, true,  SmppPdu(0x00000015, 2)},
    /* 3 */ {2, 8, 0x0A000003, false, SmppPdu(0x00000005, 3, SmppMessageBody("333", "444", 0, 8, kGruesse))},
    /* 4 */ {2, 8, 0x0A000003, true,  SmppPdu(0x80000005, 3, Builder().cstr(""))},
    /* 5 */ {2, 8, 0x0A000003, true,  SmppPdu(0x00000103, 4, DataSmBody("333", "444", 0, 1, Builder().raw(Tlv(0x0424, Octets("payload words"))).raw(Tlv(0x001E, Octets("receipted"))).raw(Tlv(0x0302, {0x01}))))},
    /* 6 */ {8, 9, 0xC0A86404, true,  Pdu12(0x00001002, 1, Builder().text("138", 24).text("139", 24).text("", 10).u8(12).raw("mobile hello"))},
    /* 7 */ {2, 7, 0x0A000001, true,  [] { auto p = SmppPdu(0x00000004, 9, SmppMessageBody("111", "222", 0, 0, Octets("Hello again"))); p.resize(40); return p; }()},
    /* 8 */ {2, 0, 0,          true,  SmppPdu(0x00000004, 5, SmppMessageBody("1", "2", 0, 0, Octets("typed hello, zed")))},
    // clang-format on
};

class DisplayFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(log.Reset());
        for (const Captured& c : kCapture) {
            const uint16_t serverPort = c.protocol == 8 ? 8880 : 2775;
            const auto size = static_cast<uint32_t>(c.pdu.size());
            if (c.connection == 0)
                ASSERT_TRUE(log.AddTyped(c.protocol, c.pdu.data(), size));
            else if (c.fromClient)
                ASSERT_TRUE(log.AddCaptured(c.protocol, kT0, c.client, 40000, {kSmsc, serverPort}, c.pdu.data(), size, c.connection));
            else
                ASSERT_TRUE(log.AddCaptured(c.protocol, kT0, kSmsc, serverPort, {c.client, 40000}, c.pdu.data(), size, c.connection));
        }
        pairs.SetClock(Later);
    }
    std::vector<int32_t> Matching() const {
        std::vector<int32_t> rows;
        for (int32_t i = 0; i < log.GetCount(); ++i)
            if (filter.Matches(i, log, pairs))
                rows.push_back(i);
        return rows;
    }
    CPacketLog log;
    CPacketPairs pairs{log, CPacketDecoder()};
    CDisplayFilter filter{CPacketDecoder()};
};

TEST_F(DisplayFilterTest, TermsAgainstOneCapture) {
    struct Case {
        const char* filter;
        std::vector<int32_t> rows;
        bool dependsOnTime = false;
    };
    const Case cases[] = {
        {"", {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"submit_sm", {0, 7, 8}},
        {"SMPP:Submit_SM", {0, 7, 8}},
        {"  submit_sm_resp  ", {1}},
        {"!submit_sm", {1, 2, 3, 4, 5, 6}},
        {"提交请求", {6}},
        {"test:提交请求", {6}},
        {"error", {0, 1, 2, 5, 6, 7}, true}, // the request answered 0x58, its answer, and the unanswered
        {"unanswered", {2, 5, 6, 7}, true},  // the typed submit has no connection: nothing could answer it
        {"!unanswered !error", {3, 4, 8}, true},
        {"status:0x58", {0, 1}},
        {"status:88", {0, 1}},
        {"status:0", {3, 4}},
        {"status:0xFFFFFFFF", {}},
        {"port:8880", {6}},
        {"port:40000 !port:2775", {6}},
        {"ip:10.0.0.3", {3, 4, 5}},
        {"ip:10.0.0.2 !conn:7", {3, 4, 5, 6}},
        {"ip:192.168.100.4", {6}},
        {"seq:3", {3, 4}},
        {"seq:0X9", {7}},
        {"conn:8", {3, 4, 5}},
        {"submit_sm conn:7", {0, 7}},
        {"!conn:7 !conn:8", {6, 8}},
        {"text:HELLO", {0, 6, 8}},     // not 7: its short_message is cut off
        {"text:ZED", {8}},             // both ends of the alphabet fold
        {"text:grü", {3}},             // UCS-2, compared as UTF-8
        {"text:payload", {5}},         // message_payload
        {"text:short_message", {}},    // the label is not the text
        {"text:receipted", {}},        // nor another parameter's value
        {"deliver_sm !text:xyz", {3}},
        {"smpp.destination_addr=444", {3, 5}},  // a field by its text
        {"smpp.data_coding=0x8", {3}},          // by its number
        {"smpp.source_addr=1", {8}},            // the field of that name, not one whose name starts alike
        {"smpp.command_status=88", {1}},
        {"smpp.dest_addr_ton=international", {0, 3, 5, 7, 8}}, // by its value's name
        {"smpp.tlv.message_payload", {5}},      // present
        {"smpp.tlv.callback_num", {}},          // not its callback_num_pres_ind
        {"!smpp.tlv.receipted_message_id data_sm", {}},
        {"test.destination=138", {6}},
        // Precedence: and (written or side by side) binds tighter than or; parentheses first.
        {"submit_sm or deliver_sm and conn:7", {0, 7, 8}},
        {"deliver_sm || submit_sm && conn:7", {0, 3, 7}},
        {"deliver_sm || submit_sm conn:7", {0, 3, 7}},
        {"(submit_sm or deliver_sm) conn:8", {3}},
        {"conn:8 (deliver_sm or data_sm)", {3, 5}},
        {"!(submit_sm || deliver_sm)", {1, 2, 4, 5, 6}},
        {"not submit_sm and not deliver_sm", {1, 2, 4, 5, 6}},
        {"!!submit_sm", {0, 7, 8}},
        {"submit_sm !conn:7", {8}},
        {"(error) && !(unanswered)", {0, 1}, true},
        // Each comparison, on numbers, on value names, on text and on octets.
        {"smpp.data_coding == 8", {3}},
        {"smpp.data_coding != 0", {3, 5}}, // only where the field is
        {"smpp.data_coding > 0", {3, 5}},
        {"smpp.data_coding >= 0x8", {3}},
        {"smpp.data_coding < 1", {0, 7, 8}},
        {"smpp.data_coding <= 1", {0, 5, 7, 8}},
        {"smpp.command_status == ESME_RTHROTTLED", {1}}, // a request's status is its own header's
        {"smpp.command_status == esme_rthrottled", {1}},
        {"smpp.command_status != ESME_ROK", {1}},
        {"smpp.esm_class >= 0", {0, 3, 5, 7, 8}},
        {"smpp.dest_addr_ton == International", {0, 3, 5, 7, 8}},
        {"smpp.dest_addr_ton == \"International\"", {0, 3, 5, 7, 8}},
        {"status:ESME_RTHROTTLED", {0, 1}}, // the answer's status, on the request too
        {"smpp.destination_addr == \"444\"", {3, 5}},
        {"smpp.destination_addr != 444", {0, 7, 8}},
        {"smpp.destination_addr > \"3\"", {3, 5}},
        {"smpp.destination_addr contains 4", {3, 5}},
        {"smpp.destination_addr matches \"^2{3}$\"", {0, 7}},
        {"smpp.short_message contains \"World\"", {0}},  // the octets
        {"smpp.short_message contains \"Grü\"", {3}},    // the text they decode to
        {"smpp.short_message matches \"z.d$\"", {8}},
        {"smpp.tlv.message_payload contains payload", {5}},
        {"smpp.destination_addr == 444 or port:8880", {3, 5, 6}},
        {"text:\"hello, zed\"", {8}},
        {"test", {6}}, // a protocol by the name of its header's group
        {"smpp && !submit_sm", {1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        display_filter::Error error;
        ASSERT_TRUE(filter.Parse(c.filter, error)) << error.what;
        EXPECT_EQ(Matching(), c.rows);
        EXPECT_EQ(filter.DependsOnTime(), c.dependsOnTime);
        EXPECT_EQ(filter.IsEmpty(), std::string(c.filter).empty());
    }
}

// text: reads a CMPP DELIVER's content in either layout, 2.0's and 3.0's (Src_terminal_Id of 21 or 32 octets).
TEST_F(DisplayFilterTest, TextFindsTheContentOfBothCmppLayouts) {
    ASSERT_TRUE(log.Reset());
    for (const int version : {2, 3}) {
        const std::vector<uint8_t> pdu = Pdu12(0x00000005, uint32_t(version), CmppDeliverHead(version).u8(8)
            .raw(version == 2 ? "cmpp two" : "cmpp six").fill(version == 2 ? 8 : 20));
        ASSERT_TRUE(log.AddCaptured(version == 2 ? protocol::kCmpp : protocol::kCmpp3, kT0, kSmsc, 7890, {0x0A000001, 40000}, pdu.data(),
                                    uint32_t(pdu.size()), 3));
    }
    // And a command its table names with a capital ("Login") is found however it is typed.
    const std::string login = "\x02" "01:001\t010:a\t011:b\t\x03";
    ASSERT_TRUE(log.AddCaptured(protocol::kCimd2, kT0, 0x0A000001, 40000, {kSmsc, 9971},
                                reinterpret_cast<const uint8_t*>(login.data()), uint32_t(login.size()), 4));
    for (const auto& [text, rows] : {std::pair<const char*, std::vector<int32_t>>{"text:two", {0}}, {"text:six", {1}},
                                     {"text:cmpp", {0, 1}}, {"cimd2:login", {2}}}) {
        display_filter::Error error;
        ASSERT_TRUE(filter.Parse(text, error)) << error.what;
        EXPECT_EQ(Matching(), rows) << text;
    }
}

TEST_F(DisplayFilterTest, BadFiltersSayWhereAndKeepTheFilterBefore) {
    struct Case {
        const char* filter;
        int column;
        const char* error;
    };
    const std::string deep = std::string(70, '(') + "submit_sm" + std::string(70, ')');
    const Case cases[] = {
        {"foo", 1, "unknown term \"foo\": not a command name, field or keyword"},
        {"submit_sm bar", 11, "unknown term \"bar\": not a command name, field or keyword"}, // the first good term does not count
        {"SMGP:submit_sm", 1, "unknown term \"SMGP:submit_sm\": not a command name, field or keyword"}, // not an SMGP command
        {"port:70000", 1, "port:70000: not a port number"},
        {"port:-1", 1, "port:-1: not a port number"},
        {"ip:1.2.3", 1, "ip:1.2.3: not an IPv4 address"},
        {"ip:1.2.3.256", 1, "ip:1.2.3.256: not an IPv4 address"},
        {"ip:1.2.3.4.5", 1, "ip:1.2.3.4.5: not an IPv4 address"},
        {"ip:1.2.3.0004", 1, "ip:1.2.3.0004: not an IPv4 address"}, // an octet of four digits
        {"status:zz", 1, "status:zz: not a status number or name"},
        {"status:0x100000000", 1, "status:0x100000000: not a status number or name"},
        {"status:", 1, "status: needs a number or a status name"},
        {"!seq:", 2, "seq: needs a number"},
        {"text:", 1, "text: needs a word"},
        {"!", 1, "\"!\" negates nothing"},
        {"submit_sm not", 11, "\"not\" negates nothing"},
        {"smpp.no_such_field=1", 1, "unknown field \"smpp.no_such_field\" (tarnwick-decode --list-fields lists them)"},
        {"提交请求 smpp.nope", 6, "unknown field \"smpp.nope\" (tarnwick-decode --list-fields lists them)"}, // columns count characters
        {"submit_sm == 3", 1, "unknown field \"submit_sm\" (tarnwick-decode --list-fields lists them)"},
        {"smpp.data_coding ==", 20, "\"==\" needs a value after it"},
        {"smpp.data_coding == (", 21, "\"==\" needs a value after it"},
        {"smpp.data_coding == foo", 21, "\"foo\" is neither a number nor a value name of smpp.data_coding"},
        {"smpp.data_coding == 0x8000000000000000", 21, "\"0x8000000000000000\" is neither a number nor a value name of smpp.data_coding"},
        {"smpp.deliver_sm == 1", 17, "smpp.deliver_sm has no value to compare; alone, it asks for its presence"},
        {"smpp.data_coding contains 8", 18, "\"contains\" needs a text or octets field; smpp.data_coding is a number"},
        {"smpp.data_coding matches \"8\"", 18, "\"matches\" needs a text or octets field; smpp.data_coding is a number"},
        {"smpp.destination_addr == \"444", 26, "a quoted value without its closing '\"'"},
        {"text:\"open", 6, "a quoted value without its closing '\"'"},
        {"\"444\"", 1, "a quoted value needs a field and a comparison before it"},
        {"submit_sm \"444\"", 11, "a quoted value needs a field and a comparison before it"},
        {"(submit_sm", 1, "\"(\" without its \")\""},
        {"submit_sm)", 10, "\")\" without its \"(\""},
        {"()", 2, "\")\" without its \"(\""},
        {"submit_sm and", 14, "a term is missing here"},
        {"or submit_sm", 1, "\"or\" needs a term before it"},
        {"submit_sm || && deliver_sm", 14, "\"&&\" needs a term before it"},
        {"== 3", 1, "\"==\" needs a term before it"},
        {"submit_sm & deliver_sm", 11, "a lone '&': and is \"&&\", or is \"||\""},
        {"submit_sm | deliver_sm", 11, "a lone '|': and is \"&&\", or is \"||\""},
        {deep.c_str(), 66, "nested too deeply (64 levels at most)"},
    };
    display_filter::Error error;
    ASSERT_TRUE(filter.Parse("conn:8", error));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        EXPECT_FALSE(filter.Check(c.filter, error));
        EXPECT_FALSE(filter.Parse(c.filter, error));
        EXPECT_EQ(error.what, c.error);
        EXPECT_EQ(error.Column(c.filter), c.column);
        EXPECT_EQ(Matching(), (std::vector<int32_t>{3, 4, 5}));
    }
}

// Every field line of every record, as "Apply as filter" writes it, makes a filter that reads and that its own
// record passes: the decode and the filter agree on each field's name and value, quotes and backslashes included.
TEST_F(DisplayFilterTest, EachDecodeLineAsAFilterHoldsForItsRecord) {
    const auto quotes = SmppPdu(0x00000004, 6, SmppMessageBody("1", "2", 0, 1, Octets(R"(say "hi" \ bye)")));
    ASSERT_TRUE(log.AddCaptured(2, kT0, 0x0A000001, 40000, {kSmsc, 2775}, quotes.data(), uint32_t(quotes.size()), 7));
    CPacketDecoder decoder;
    std::vector<std::string> some;
    for (int32_t i = 0; i < log.GetCount(); ++i) {
        uint32_t length = 0;
        const uint8_t* record = log.PacketAt(i, &length);
        decoder.Decode(record, static_cast<int32_t>(length));
        for (const DecodeLine& line : decoder.Lines()) {
            const std::string expression = display_filter::ExpressionFor(line);
            if (line.parent >= 0 || expression.empty())
                continue;
            SCOPED_TRACE(expression);
            display_filter::Error error;
            ASSERT_TRUE(filter.Parse(expression, error)) << error.what;
            EXPECT_TRUE(filter.Matches(i, log, pairs));
            if (i == 3 || i == 9)
                some.push_back(expression);
        }
    }
    for (const char* expected : {"smpp.destination_addr == \"444\"", "smpp.data_coding == 8", "smpp.short_message == \"Grüße\"",
                                 R"(smpp.short_message == "say \"hi\" \\ bye")"})
        EXPECT_NE(std::find(some.begin(), some.end(), expected), some.end()) << expected;
}

TEST_F(DisplayFilterTest, MatchesNeedsAnExpression) {
    display_filter::Error error;
    EXPECT_FALSE(filter.Parse("smpp.destination_addr matches \"(\"", error));
    EXPECT_EQ(error.Column("smpp.destination_addr matches \"(\""), 31);
    EXPECT_TRUE(error.what.starts_with("not a regular expression: ")) << error.what;
    EXPECT_TRUE(filter.Check("smpp.destination_addr matches \"[0-9]+\"", error));
}

// The help's examples are filters the grammar reads, and between them they show every kind of term it has; the
// operators and keywords the help lists are no terms of their own.
TEST(FilterHelp, ExamplesParseAndShowEveryKindOfTerm) {
    using display_filter::Kind;
    const CPacketDecoder decoder;
    std::set<Kind> kinds;
    std::function<void(const display_filter::Node&)> collect = [&](const display_filter::Node& node) {
        if (node.op == display_filter::Node::Op::Term)
            kinds.insert(node.term.kind);
        for (const display_filter::Node& child : node.children)
            collect(child);
    };
    int operators = 0;
    for (const display_filter::HelpLine& line : display_filter::Help()) {
        const std::string written(line.written);
        display_filter::Node node;
        display_filter::Error error;
        if (written.find(", ") == std::string::npos && !display_filter::Parse(written, decoder, node, error)) {
            ++operators; // "==", "and", "contains": read between terms only, so no filter alone
            continue;
        }
        for (size_t at = 0; at != std::string::npos;) {
            const size_t comma = written.find(", ", at);
            const std::string example = written.substr(at, comma - at);
            SCOPED_TRACE(example);
            EXPECT_TRUE(display_filter::Parse(example, decoder, node, error)) << error.what;
            collect(node);
            at = comma == std::string::npos ? comma : comma + 2;
        }
    }
    EXPECT_EQ(kinds, (std::set<Kind>{Kind::Command, Kind::Port, Kind::Ip, Kind::Connection, Kind::Sequence, Kind::Status,
                                     Kind::Error, Kind::Unanswered, Kind::Text, Kind::Field}));
    EXPECT_EQ(operators, 17);
}

} // namespace
