// CMPP 2.0, CMPP 3.0 and mobile TEST records decode to the exact lines their tables describe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "decoder/PacketDecoder.h"
#include "decoder/tables/Tables.h"
#include "tests/support/Bytes.h"
#include "tests/support/DecodeExpect.h"

namespace {

using test_bytes::Builder;
using test_decode::Bytes;
using test_decode::Decoded;
using test_decode::Dump;
using test_decode::Fmt;
using test_decode::Line;

// ---- PDUs from field values ----

// 12-octet header (length, command, sequence) and the body; `length` 0 means the real size.
Bytes Pdu(uint32_t command, uint32_t sequence, const Bytes& body = {}, uint32_t length = 0) {
    return Builder().u32(length ? length : static_cast<uint32_t>(12 + body.size())).u32(command).u32(sequence).raw(body);
}

struct MsgIdFields {
    uint32_t month, day, hour, minute, second, gateway, sequence;
};

// The 64-bit CMPP message id: 4 + 5 + 5 + 6 + 6 bits of time, 22 bits of gateway, 16 of sequence.
Bytes MsgId(const MsgIdFields& f) {
    const uint64_t v = uint64_t{f.month} << 60 | uint64_t{f.day} << 55 | uint64_t{f.hour} << 50 |
                       uint64_t{f.minute} << 44 | uint64_t{f.second} << 38 | uint64_t{f.gateway} << 16 | f.sequence;
    return Builder().u32(static_cast<uint32_t>(v >> 32)).u32(static_cast<uint32_t>(v));
}

std::string MsgIdText(const MsgIdFields& f) {
    return Fmt("%02u%02u%02u%02u%02u%07u%05u", f.month, f.day, f.hour, f.minute, f.second, f.gateway, f.sequence);
}

const MsgIdFields kZeroId{0, 0, 0, 0, 0, 0, 0};
const MsgIdFields kSubmitId{1, 2, 3, 4, 5, 4194303, 42}; // the largest gateway code
const MsgIdFields kDeliverId{12, 31, 23, 59, 59, 123456, 65535};
const MsgIdFields kReportId{1, 1, 1, 2, 1, 1, 42};

const Bytes kGbkNiHao{0xC4, 0xE3, 0xBA, 0xC3}; // 你好 in GBK
const Bytes kUcs2NiHao{0x4F, 0x60, 0x59, 0x7D}; // 你好 as UCS-2, big-endian

// A status report as deliver content; the destination is 21 octets in CMPP 2.0 and 32 in 3.0.
Bytes Report(size_t destWidth, uint32_t smscSequence) {
    return Builder()
        .raw(MsgId(kReportId))
        .text("DELIVRD", 7)
        .text("0601011200", 10)
        .text("0601011201", 10)
        .text("13800138000", destWidth)
        .u32(smscSequence);
}

std::string ReportText(uint32_t smscSequence) {
    return "信息标识 = " + MsgIdText(kReportId) +
           ", 结果 = DELIVRD, 提交时间 = 0601011200, 完成时间 = 0601011201, 目的号码 = 13800138000, SMSC = " +
           std::to_string(smscSequence);
}

struct SubmitFields {
    uint8_t registeredDelivery = 1;
    uint8_t feeUserType = 2;
    uint8_t feeTerminalType = 0; // CMPP 3.0 only
    uint8_t msgFmt = 15;
    std::string feeType = "02";
    std::vector<std::string> dests = {"13800138000", "13900139000", "13700137000"};
    int destCount = -1;          // -1: the number of dests
    uint8_t destTerminalType = 0; // CMPP 3.0 only
    Bytes content = Builder().raw("hello");
    int msgLength = -1; // -1: the size of content
};

// version 2 or 3: the 3.0 body widens the fee and destination numbers and adds the type octets.
Bytes SubmitBody(int version, const SubmitFields& f) {
    const size_t numberWidth = version == 3 ? 32 : 21;
    Builder b;
    b.raw(MsgId(kZeroId)).u8(1).u8(1).u8(f.registeredDelivery).u8(3).text("MCN", 10).u8(f.feeUserType);
    b.text("13800138000", numberWidth);
    if (version == 3) b.u8(f.feeTerminalType);
    b.u8(0).u8(1).u8(f.msgFmt).text("901234", 6).text(f.feeType, 2).text("000010", 6);
    b.text("080101120000032+", 17).text("", 17).text("10658000", 21);
    b.u8(f.destCount >= 0 ? f.destCount : static_cast<uint32_t>(f.dests.size()));
    for (const std::string& dest : f.dests) b.text(dest, numberWidth);
    if (version == 3) b.u8(f.destTerminalType);
    b.u8(f.msgLength >= 0 ? f.msgLength : static_cast<uint32_t>(f.content.size())).raw(f.content);
    if (version == 3)
        b.text("LINK0001", 20);
    else
        b.fill(8);
    return b;
}

// Body octets ahead of the list of numbers in a submit.
constexpr int32_t kSubmit2Head = 8 + 1 + 1 + 1 + 1 + 10 + 1 + 21 + 1 + 1 + 1 + 6 + 2 + 6 + 17 + 17 + 21 + 1;
constexpr int32_t kSubmit3Head = 8 + 1 + 1 + 1 + 1 + 10 + 1 + 32 + 1 + 1 + 1 + 1 + 6 + 2 + 6 + 17 + 17 + 21 + 1;

// The 3.0 submit of the tests: UCS-2 content to two numbers, fee charged to a pseudo number.
const SubmitFields kSubmit3Fields{.registeredDelivery = 0,
                                  .feeUserType = 3,
                                  .feeTerminalType = 1,
                                  .msgFmt = 8,
                                  .feeType = "01",
                                  .dests = {"13800138000", "13900139000"},
                                  .content = kUcs2NiHao};

struct DeliverFields {
    uint8_t msgFmt = 15;
    uint8_t srcTerminalType = 0; // CMPP 3.0 only
    uint8_t registeredDelivery = 0;
    Bytes content = kGbkNiHao;
    int msgLength = -1; // -1: the size of content
};

Bytes DeliverBody(int version, const DeliverFields& f) {
    Builder b;
    b.raw(MsgId(kDeliverId)).text("10658000", 21).text("MCN", 10).u8(0).u8(0).u8(f.msgFmt);
    b.text("13800138000", version == 3 ? 32 : 21);
    if (version == 3) b.u8(f.srcTerminalType);
    b.u8(f.registeredDelivery);
    b.u8(f.msgLength >= 0 ? f.msgLength : static_cast<uint32_t>(f.content.size())).raw(f.content);
    if (version == 3)
        b.text("", 20);
    else
        b.fill(8);
    return b;
}

// ---- Expected lines ----

struct Protocol {
    uint16_t code;
    const char* name;   // protocol name on the capture header's protocol line
    int32_t headerId;   // group id; length, command and sequence follow it
    const char* group;  // group label
    const char* prefix; // label prefix of the header fields
    int32_t groupIcon;
    int32_t fieldIcon;
    uint16_t port;
};

const Protocol kCmpp2{1, "CMPP", 10, "CMPP: ----- 中国移动点对点协议 -----", "CMPP", 153, 157, 7890};
const Protocol kCmpp3{4, "CMPP3", 1010, "CMPP3: ----- 中国移动点对点协议v3 -----", "CMPP3", 153, 157, 7890};
const Protocol kTest{8, "TEST", 180, "TEST: ----- 模拟终端协议 -----", "TEST", 160, 156, 8880};

Bytes Record(const Protocol& p, const Bytes& pdu) { return test_bytes::CaptureRecord(p.code, pdu, 0, 0x7F000001, p.port); }

// Lines in walk order; each field starts where the one before it ended. The records carry time 0,
// shown as the epoch in UTC.
class Expect : public test_decode::Layout<Expect> {
public:
    // The capture header of a record of `packetLen` octets and the protocol's group line.
    Expect(const Protocol& p, uint32_t packetLen) : m_protocol(p) {
        CaptureHeader(packetLen, "1970-01-01 00:00:00", p.port, Fmt("%u (%s)", p.code, p.name));
        Add(p.headerId, p.group, 0, p.groupIcon, 1);
    }

    // The three protocol-header fields; the command is shown with `commandName`.
    Expect& Header(uint32_t length, uint32_t command, const std::string& commandName, uint32_t sequence) {
        const Protocol& p = m_protocol;
        Add(p.headerId + 1, Fmt("%s: 长度 = %u", p.prefix, length), 4, p.fieldIcon, 0);
        Add(p.headerId + 2, Fmt("%s: 命令 = 0x%08X (%s)", p.prefix, command, commandName.c_str()), 4, p.fieldIcon, 0);
        return Add(p.headerId + 3, Fmt("%s: 序号 = %u", p.prefix, sequence), 4, p.fieldIcon, 0);
    }
    Expect& HeaderLength(uint32_t length) {
        return Add(m_protocol.headerId + 1, Fmt("%s: 长度 = %u", m_protocol.prefix, length), 4, m_protocol.fieldIcon, 0);
    }

    Expect& Group(int32_t id, const std::string& text) { return Add(id, text, 0, 161, 1); }
    Expect& Field(int32_t id, const std::string& text, int32_t width) { return Add(id, text, width, 163, 0); }
    // An error line in place of a body field, covering what is left of the record.
    Expect& Error(int32_t id, int32_t width) { return Add(id, std::string(kUnknownErrorText), width, 163, 0); }
    Expect& HeaderError(int32_t id, int32_t width) {
        return Add(id, std::string(kUnknownErrorText), width, m_protocol.fieldIcon, 0);
    }

private:
    Protocol m_protocol;
};

// The capture header and protocol header of a whole PDU with `bodySize` body octets.
Expect Whole(const Protocol& p, size_t bodySize, uint32_t command, const std::string& commandName, uint32_t sequence) {
    Expect e(p, static_cast<uint32_t>(28 + bodySize));
    e.Header(static_cast<uint32_t>(12 + bodySize), command, commandName, sequence);
    return e;
}

// One decoder for the whole suite: the table is built once.
CPacketDecoder& Decoder() {
    static CPacketDecoder decoder;
    return decoder;
}

Decoded Decode(const Bytes& record) { return test_decode::Decode(Decoder(), record); }

struct PduCase {
    const char* name;
    Bytes record;
    std::vector<Line> expected;
    bool ok; // false for commands without a body and for records cut short
};

void RunCases(const std::vector<PduCase>& cases) {
    for (const PduCase& c : cases) {
        SCOPED_TRACE(c.name);
        test_decode::ExpectDecode(Decoder(), c.record, c.ok, c.expected);
    }
}

// ---- the rows themselves ----

TEST(CmppTableRows, EveryReferenceNamesARowOfTheFamily) {
    const decode_table::Family family = decode_table::CmppFamily();
    std::set<int32_t> ids;
    std::set<int32_t> categories;
    for (const FieldDescriptor& d : family.descriptors) ids.insert(d.id);
    for (const ValueName& v : family.valueNames) categories.insert(v.category);
    std::set<int32_t> seen; // a width source must come before the field that reads it
    for (const FieldDescriptor& d : family.descriptors) {
        SCOPED_TRACE(Fmt("row %d \"%s\"", d.id, d.label));
        if (d.next > 0) {
            EXPECT_TRUE(ids.count(d.next));
        }
        if (d.selectorId > 0) {
            EXPECT_TRUE(ids.count(d.selectorId));
        }
        if (d.next == decode_table::kDispatch) {
            EXPECT_GT(d.selectorId, 0);
        }
        if (d.width == decode_table::kVariable && d.kind != -1) {
            EXPECT_TRUE(seen.count(d.widthSourceId));
        }
        seen.insert(d.id);
    }
    for (const NameCategory& alias : family.nameCategories) {
        SCOPED_TRACE(alias.descriptorId);
        EXPECT_TRUE(ids.count(alias.descriptorId));
        EXPECT_TRUE(categories.count(alias.category));
    }
}

// The brief list names CMPP 3.0 commands from table 1012 and the header line from table 12;
// both must name every command that has a case, as must table 182 for TEST.
TEST(CmppTableRows, CommandTablesNameEveryCase) {
    const CPacketDecoder decoder;
    const struct {
        int32_t selector;
        int32_t table;
    } lists[] = {{12, 12}, {12, 1012}, {1012, 12}, {1012, 1012}, {182, 182}};
    for (const auto& list : lists) {
        for (const FieldDescriptor& d : decode_table::CmppFamily().descriptors) {
            if (d.id != list.selector || d.caseOwner != 0 || d.kind == -1) continue;
            SCOPED_TRACE(Fmt("table %d case %s", list.table, d.label));
            const auto code = static_cast<uint32_t>(std::strtoul(d.label, nullptr, 16));
            EXPECT_NE(decoder.LookupCodeName(list.table, code), "未知");
        }
    }
    EXPECT_EQ(decoder.LookupCodeName(1012, 0x80000016), "MO路由更新应答");
    EXPECT_EQ(decoder.LookupCodeName(182, 0x80001003), "下发应答");
    EXPECT_EQ(decoder.LookupCodeName(12, 0x00001001), "未知");
}

TEST(CmppTableRows, WholeTableHolds683Descriptors) {
    EXPECT_EQ(CPacketDecoder().DescriptorCount(), 683);
}

// ---- whole PDUs ----

constexpr uint32_t kConnect = 0x00000001, kConnectResp = 0x80000001, kTerminate = 0x00000002;
constexpr uint32_t kSubmit = 0x00000004, kSubmitResp = 0x80000004, kDeliver = 0x00000005, kDeliverResp = 0x80000005;
constexpr uint32_t kQuery = 0x00000006, kActiveTest = 0x00000008, kActiveTestResp = 0x80000008;
constexpr uint32_t kLogin = 0x00001001, kLoginResp = 0x80001001, kTestSubmit = 0x00001002;
constexpr uint32_t kTestSubmitResp = 0x80001002, kTestDeliver = 0x00001003, kTestDeliverResp = 0x80001003;

// The lines of the default 2.0 submit up to its count of numbers.
Expect Submit2Head(Expect e, int destCount) {
    e.Group(60, "SUBMIT: ----- 提交短信 -----")
        .Field(61, "SUBMIT: 信息标识 = " + MsgIdText(kZeroId), 8)
        .Field(62, "SUBMIT: 相同Msg_Id的信息总条数 = 1", 1)
        .Field(63, "SUBMIT: 相同Msg_Id的信息序号 = 1", 1)
        .Field(64, "SUBMIT: 要求状态报告 = 1 (需要/是)", 1)
        .Field(65, "SUBMIT: 信息级别 = 3", 1)
        .Field(66, "SUBMIT: 业务类型 = MCN", 10)
        .Field(67, "SUBMIT: 计费用户类型 = 2 (对SP计费)", 1)
        .Field(68, "SUBMIT: 被计费用户的号码 = 13800138000", 21)
        .Field(69, "SUBMIT: GSM协议类型 = 0", 1)
        .Field(70, "SUBMIT: GSM协议类型 = 1", 1)
        .Field(73, "SUBMIT: 信息格式 = 15 (含GB汉字)", 1)
        .Field(75, "SUBMIT: 信息内容来源 = 901234", 6)
        .Field(76, "SUBMIT: 资费类别 = 02 (对[计费用户号码]按条计信息费)", 2)
        .Field(77, "SUBMIT: 资费代码 = 000010", 6)
        .Field(78, "SUBMIT: 存活有效期 = 080101120000032+", 17)
        .Field(79, "SUBMIT: 定时发送时间 = ", 17)
        .Field(80, "SUBMIT: 源号码 = 10658000", 21)
        .Field(81, "SUBMIT: 接收用户数 = " + std::to_string(destCount), 1);
    return e;
}

// The lines of kSubmit3Fields up to its count of numbers.
Expect Submit3Head(Expect e, int destCount) {
    e.Group(1060, "SUBMIT: ----- 提交短信 -----")
        .Field(1061, "SUBMIT: 信息标识 = " + MsgIdText(kZeroId), 8)
        .Field(1062, "SUBMIT: 相同Msg_Id的信息总条数 = 1", 1)
        .Field(1063, "SUBMIT: 相同Msg_Id的信息序号 = 1", 1)
        .Field(1064, "SUBMIT: 要求状态报告 = 0 (不需要)", 1)
        .Field(1065, "SUBMIT: 信息级别 = 3", 1)
        .Field(1066, "SUBMIT: 业务类型 = MCN", 10)
        .Field(1067, "SUBMIT: 计费用户类型 = 3 (本字段无效，计费用户参见下一字段)", 1)
        .Field(1068, "SUBMIT: 被计费用户的号码 = 13800138000", 32)
        .Field(1069, "SUBMIT: 被计费用户的号码类型 = 1 (伪码)", 1)
        .Field(1070, "SUBMIT: GSM协议类型 = 0", 1)
        .Field(1071, "SUBMIT: GSM协议类型 = 1", 1)
        .Field(1073, "SUBMIT: 信息格式 = 8 (UCS2编码)", 1)
        .Field(1075, "SUBMIT: 信息内容来源 = 901234", 6)
        .Field(1076, "SUBMIT: 资费类别 = 01 (对[计费用户号码]免费)", 2)
        .Field(1077, "SUBMIT: 资费代码 = 000010", 6)
        .Field(1078, "SUBMIT: 存活有效期 = 080101120000032+", 17)
        .Field(1079, "SUBMIT: 定时发送时间 = ", 17)
        .Field(1080, "SUBMIT: 源号码 = 10658000", 21)
        .Field(1082, "SUBMIT: 接收用户数 = " + std::to_string(destCount), 1);
    return e;
}

// The lines of a deliver up to its report flag; `version` 2 or 3.
Expect DeliverHead(Expect e, int version, const std::string& format, const std::string& flag) {
    const int32_t base = version == 3 ? 1000 : 0;
    e.Group(base + 120, "DELIVER: ----- 短信下发 -----")
        .Field(base + 121, "DELIVER: 信息标识 = " + MsgIdText(kDeliverId), 8)
        .Field(base + 122, "DELIVER: 目的号码 = 10658000", 21)
        .Field(base + 123, "DELIVER: 业务类型 = MCN", 10)
        .Field(base + 124, "DELIVER: GSM协议类型 = 0", 1)
        .Field(base + 125, "DELIVER: GSM协议类型 = 0", 1)
        .Field(base + 126, "DELIVER: 信息格式 = " + format, 1)
        .Field(base + 127, "DELIVER: 源号码 = 13800138000", version == 3 ? 32 : 21);
    if (version == 3) e.Field(1128, "DELIVER: 源号码类型 = 0", 1);
    e.Field(base + 129, "DELIVER: 是否状态报告 = " + flag, 1);
    return e;
}

TEST(CmppDecode, Cmpp2Pdus) {
    const Bytes connect = Builder().text("901234", 6).raw("0123456789abcdef").u8(0x20).u32(1206123010);
    const Bytes connectResp = Builder().u8(0).text("ismg-auth", 16).u8(0x20);
    const Bytes submit = SubmitBody(2, {});
    const Bytes submitResp = Builder().raw(MsgId(kSubmitId)).u8(0);
    const Bytes deliver = DeliverBody(2, {});
    const Bytes report = DeliverBody(2, {.msgFmt = 0, .registeredDelivery = 1, .content = Report(21, 7)});
    const Bytes deliverResp = Builder().raw(MsgId(kDeliverId)).u8(0);
    const Bytes query = Builder().text("20240101", 8).u8(0).text("MCN", 10).fill(8);

    RunCases({
        {"connect", Record(kCmpp2, Pdu(kConnect, 1, connect)),
         Whole(kCmpp2, connect.size(), kConnect, "请求连接", 1)
             .Group(20, "CONNECT: ----- 请求连接 -----")
             .Field(21, "CONNECT: 源地址 = 901234", 6)
             .Field(22, "CONNECT: 认证码 = 0123456789abcdef", 16)
             .Field(23, "CONNECT: 版本号 = 2.0", 1)
             .Field(24, "CONNECT: 时间戳 = 1206123010", 4)
             .lines(),
         true},
        {"connect response", Record(kCmpp2, Pdu(kConnectResp, 1, connectResp)),
         Whole(kCmpp2, connectResp.size(), kConnectResp, "请求连接应答", 1)
             .Group(30, "CONNECT_RESP: ----- 请求连接应答 -----")
             .Field(31, "CONNECT_RESP: 状态 = 0 (正确)", 1)
             .Field(32, "CONNECT_RESP: 认证码 = ismg-auth", 16)
             .Field(33, "CONNECT_RESP: 版本号 = 2.0", 1)
             .lines(),
         true},
        {"submit to three numbers", Record(kCmpp2, Pdu(kSubmit, 2, submit)),
         Submit2Head(Whole(kCmpp2, submit.size(), kSubmit, "提交短信", 2), 3)
             .Field(85, "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 3 * 21)
             .Field(86, "SUBMIT: 信息长度 = 5", 1)
             .Field(87, "SUBMIT: 信息内容 = hello", 5)
             .Field(88, "SUBMIT: 保留", 8)
             .lines(),
         true},
        {"submit response", Record(kCmpp2, Pdu(kSubmitResp, 2, submitResp)),
         Whole(kCmpp2, submitResp.size(), kSubmitResp, "提交短信应答", 2)
             .Group(100, "SUBMIT_RESP: ----- 提交短信应答 -----")
             .Field(101, "SUBMIT_RESP: 信息标识 = 0102030405419430300042", 8)
             .Field(102, "SUBMIT_RESP: 结果 = 0 (正确)", 1)
             .lines(),
         true},
        {"deliver of GBK text", Record(kCmpp2, Pdu(kDeliver, 3, deliver)),
         DeliverHead(Whole(kCmpp2, deliver.size(), kDeliver, "短信下发", 3), 2, "15 (含GB汉字)", "0 (不需要/否)")
             .Field(131, "DELIVER: 信息长度 = 4", 1)
             .Field(132, "DELIVER: 信息内容 = 你好", 4)
             .Field(133, "DELIVER: 保留", 8)
             .lines(),
         true},
        {"deliver of a status report", Record(kCmpp2, Pdu(kDeliver, 4, report)),
         DeliverHead(Whole(kCmpp2, report.size(), kDeliver, "短信下发", 4), 2, "0 (ASCII串)", "1 (需要/是)")
             .Field(131, "DELIVER: 信息长度 = 60", 1)
             .Field(132, "DELIVER: 信息内容 = " + ReportText(7), 60)
             .Field(133, "DELIVER: 保留", 8)
             .lines(),
         true},
        {"deliver response", Record(kCmpp2, Pdu(kDeliverResp, 3, deliverResp)),
         Whole(kCmpp2, deliverResp.size(), kDeliverResp, "下发短信应答", 3)
             .Group(160, "DELIVER_RESP: ----- 下发短信应答 -----")
             .Field(161, "DELIVER_RESP: 信息标识 = " + MsgIdText(kDeliverId), 8)
             .Field(162, "DELIVER_RESP: 结果 = 0 (正确)", 1)
             .lines(),
         true},
        {"activity test response", Record(kCmpp2, Pdu(kActiveTestResp, 5, {0})),
         Whole(kCmpp2, 1, kActiveTestResp, "激活测试应答", 5)
             .Group(170, "ACTIVETEST_RESP: ----- 激活测试应答 -----")
             .Field(171, "ACTIVETEST_RESP: 保留", 1)
             .lines(),
         true},
        {"activity test has no body", Record(kCmpp2, Pdu(kActiveTest, 5)),
         Whole(kCmpp2, 0, kActiveTest, "激活测试", 5).lines(), false},
        {"terminate has no body", Record(kCmpp2, Pdu(kTerminate, 6)), Whole(kCmpp2, 0, kTerminate, "终止连接", 6).lines(),
         false},
        {"query shows the header only", Record(kCmpp2, Pdu(kQuery, 7, query)),
         Whole(kCmpp2, query.size(), kQuery, "发送短信状态查询", 7).lines(), false},
        {"command without a case", Record(kCmpp2, Pdu(0x00000099, 8)), Whole(kCmpp2, 0, 0x00000099, "未知", 8).lines(),
         false},
    });
}

TEST(CmppDecode, Cmpp3Pdus) {
    const Bytes connect = Builder().text("901234", 6).raw("0123456789abcdef").u8(0x30).u32(1206123010);
    const Bytes connectResp = Builder().u32(0).text("ismg-auth", 16).u8(0x30);
    const Bytes submit = SubmitBody(3, kSubmit3Fields);
    const Bytes submitResp = Builder().raw(MsgId(kSubmitId)).u32(0);
    const Bytes deliver = DeliverBody(3, {.msgFmt = 0, .content = Builder().raw("hello")});
    const Bytes report = DeliverBody(3, {.msgFmt = 0, .registeredDelivery = 1, .content = Report(32, 123456)});
    const Bytes deliverResp = Builder().raw(MsgId(kDeliverId)).u32(0);

    RunCases({
        {"connect", Record(kCmpp3, Pdu(kConnect, 1, connect)),
         Whole(kCmpp3, connect.size(), kConnect, "请求连接", 1)
             .Group(1020, "CONNECT: ----- 请求连接 -----")
             .Field(1021, "CONNECT: 源地址 = 901234", 6)
             .Field(1022, "CONNECT: 认证码 = 0123456789abcdef", 16)
             .Field(1023, "CONNECT: 版本号 = 3.0", 1)
             .Field(1024, "CONNECT: 时间戳 = 1206123010", 4)
             .lines(),
         true},
        {"connect response with a four-octet status", Record(kCmpp3, Pdu(kConnectResp, 1, connectResp)),
         Whole(kCmpp3, connectResp.size(), kConnectResp, "请求连接应答", 1)
             .Group(1030, "CONNECT_RESP: ----- 请求连接应答 -----")
             .Field(1031, "CONNECT_RESP: 状态 = 0 (正确)", 4)
             .Field(1032, "CONNECT_RESP: 认证码 = ismg-auth", 16)
             .Field(1033, "CONNECT_RESP: 版本号 = 3.0", 1)
             .lines(),
         true},
        {"submit of UCS-2 text to two numbers", Record(kCmpp3, Pdu(kSubmit, 2, submit)),
         Submit3Head(Whole(kCmpp3, submit.size(), kSubmit, "提交短信", 2), 2)
             .Field(1084, "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 2 * 32)
             .Field(1085, "SUBMIT: 接收短信的用户的号码类型 = 0 (真实号码)", 1)
             .Field(1086, "SUBMIT: 信息长度 = 4", 1)
             .Field(1087, "SUBMIT: 信息内容 = 你好", 4)
             .Field(1088, "SUBMIT: 点播业务使用的LinkID = LINK0001", 20)
             .lines(),
         true},
        {"submit response with a four-octet result", Record(kCmpp3, Pdu(kSubmitResp, 2, submitResp)),
         Whole(kCmpp3, submitResp.size(), kSubmitResp, "提交短信应答", 2)
             .Group(1100, "SUBMIT_RESP: ----- 提交短信应答 -----")
             .Field(1101, "SUBMIT_RESP: 信息标识 = 0102030405419430300042", 8)
             .Field(1102, "SUBMIT_RESP: 结果 = 0 (正确)", 4)
             .lines(),
         true},
        {"deliver of ASCII text", Record(kCmpp3, Pdu(kDeliver, 3, deliver)),
         DeliverHead(Whole(kCmpp3, deliver.size(), kDeliver, "短信下发", 3), 3, "0 (ASCII串)", "0 (不需要/否)")
             .Field(1131, "DELIVER: 信息长度 = 5", 1)
             .Field(1132, "DELIVER: 信息内容 = hello", 5)
             .Field(1133, "DELIVER: 点播业务使用的LinkID = ", 20)
             .lines(),
         true},
        {"deliver of a status report in the 3.0 layout", Record(kCmpp3, Pdu(kDeliver, 4, report)),
         DeliverHead(Whole(kCmpp3, report.size(), kDeliver, "短信下发", 4), 3, "0 (ASCII串)", "1 (需要/是)")
             .Field(1131, "DELIVER: 信息长度 = 71", 1)
             .Field(1132, "DELIVER: 信息内容 = " + ReportText(123456), 71)
             .Field(1133, "DELIVER: 点播业务使用的LinkID = ", 20)
             .lines(),
         true},
        {"deliver response without names", Record(kCmpp3, Pdu(kDeliverResp, 3, deliverResp)),
         Whole(kCmpp3, deliverResp.size(), kDeliverResp, "下发短信应答", 3)
             .Group(1160, "DELIVER_RESP: ----- 下发短信应答 -----")
             .Field(1161, "DELIVER_RESP: 信息标识 = " + MsgIdText(kDeliverId), 8)
             .Field(1162, "DELIVER_RESP: 结果 = 0", 4)
             .lines(),
         true},
        {"activity test response reaches the shared reserved octet", Record(kCmpp3, Pdu(kActiveTestResp, 5, {0})),
         Whole(kCmpp3, 1, kActiveTestResp, "激活测试应答", 5)
             .Group(1170, "ACTIVETEST_RESP: ----- 激活测试应答 -----")
             .Field(171, "ACTIVETEST_RESP: 保留", 1)
             .lines(),
         true},
        // the record ends where the body would start, so the walk stops before the body's group
        {"activity test response without its reserved octet", Record(kCmpp3, Pdu(kActiveTestResp, 5)),
         Whole(kCmpp3, 0, kActiveTestResp, "激活测试应答", 5).lines(), true},
        {"activity test has no body", Record(kCmpp3, Pdu(kActiveTest, 5)),
         Whole(kCmpp3, 0, kActiveTest, "激活测试", 5).lines(), false},
        {"terminate has no body", Record(kCmpp3, Pdu(kTerminate, 6)), Whole(kCmpp3, 0, kTerminate, "终止连接", 6).lines(),
         false},
    });
}

TEST(CmppDecode, TestProtocolPdus) {
    const Bytes login = Builder().u32(1).text("13900000001", 24);
    const Bytes submit =
        Builder().text("13900000002", 24).text("13900000001", 24).text("0000000001", 10).u8(5).raw("hello");
    const Bytes submitResp = Builder().u32(0).fill(10);
    const Bytes deliver =
        Builder().text("13900000001", 24).text("13900000002", 24).text("abc", 10).u8(4).u8(8).raw(kUcs2NiHao);
    const Bytes deliverResp = Builder().u32(0).text("abc", 10);

    RunCases({
        {"login", Record(kTest, Pdu(kLogin, 1, login)),
         Whole(kTest, login.size(), kLogin, "登录请求", 1)
             .Group(190, "LOGIN: ----- TEST请求连接 -----")
             .Field(191, "LOGIN: 终端类型 = 1", 4)
             .Field(192, "LOGIN: 终端号码 = 13900000001", 24)
             .lines(),
         true},
        {"login response", Record(kTest, Pdu(kLoginResp, 1, Builder().u32(0))),
         Whole(kTest, 4, kLoginResp, "登录应答", 1)
             .Group(200, "LOGIN_RESP: ----- TEST请求连接应答 -----")
             .Field(201, "LOGIN_RESP: 返回结果 = 0", 4)
             .lines(),
         true},
        {"submit shows its content as plain text", Record(kTest, Pdu(kTestSubmit, 2, submit)),
         Whole(kTest, submit.size(), kTestSubmit, "提交请求", 2)
             .Group(215, "SUBMIT: ----- TEST发送短消息请求 -----")
             .Field(216, "SUBMIT: 目的终端号码 = 13900000002", 24)
             .Field(217, "SUBMIT: 源终端号码 = 13900000001", 24)
             .Field(218, "SUBMIT: 短消息ID = 0000000001", 10)
             .Field(219, "SUBMIT: 短消息长度 = 5", 1)
             .Field(220, "SUBMIT: 短消息内容 = hello", 5)
             .lines(),
         true},
        {"submit response as the server sends it", Record(kTest, Pdu(kTestSubmitResp, 2, submitResp)),
         Whole(kTest, submitResp.size(), kTestSubmitResp, "提交应答", 2)
             .Group(222, "SUBMIT_RESP: ----- TEST发送短消息应答 -----")
             .Field(223, "SUBMIT_RESP: 返回结果 = 0", 4)
             .Field(224, "SUBMIT_RESP: 短消息ID = ", 10)
             .lines(),
         true},
        {"deliver reads its format octet before the content", Record(kTest, Pdu(kTestDeliver, 3, deliver)),
         Whole(kTest, deliver.size(), kTestDeliver, "下发请求", 3)
             .Group(230, "DELIVER: ----- TEST下发短消息请求 -----")
             .Field(231, "DELIVER: 目的终端号码 = 13900000001", 24)
             .Field(232, "DELIVER: 源终端号码 = 13900000002", 24)
             .Field(233, "DELIVER: 短消息ID = abc", 10)
             .Field(234, "DELIVER: 短消息长度 = 4", 1)
             .Field(236, "DELIVER: 短信格式 = 8", 1)
             .Field(235, "DELIVER: 短消息内容 = 你好", 4)
             .lines(),
         true},
        {"deliver response", Record(kTest, Pdu(kTestDeliverResp, 3, deliverResp)),
         Whole(kTest, deliverResp.size(), kTestDeliverResp, "下发应答", 3)
             .Group(240, "DELIVER_RESP: ----- TEST下发短消息应答 -----")
             .Field(241, "DELIVER_RESP: 返回结果 = 0", 4)
             .Field(242, "DELIVER_RESP: 短消息ID = abc", 10)
             .lines(),
         true},
        {"command without a case", Record(kTest, Pdu(0x00001004, 4)), Whole(kTest, 0, 0x00001004, "未知", 4).lines(),
         false},
    });
}

// ---- single lines: value names, widths and content by format ----

struct LineCase {
    const char* name;
    Bytes record;
    int32_t id; // the line under test: the first line with this id
    std::string text;
    int32_t width = -1;  // -1: not checked
    int32_t offset = -1; // -1: not checked
};

void RunLineCases(const std::vector<LineCase>& cases) {
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded got = Decode(c.record);
        const auto line = std::find_if(got.lines.begin(), got.lines.end(), [&](const DecodeLine& l) { return l.id == c.id; });
        ASSERT_NE(line, got.lines.end()) << Dump(got.lines);
        EXPECT_EQ(line->text, c.text);
        if (c.width >= 0) {
            EXPECT_EQ(line->width, c.width);
        }
        if (c.offset >= 0) {
            EXPECT_EQ(line->offset, c.offset);
        }
    }
}

Bytes Cmpp2(uint32_t command, const Bytes& body) { return Record(kCmpp2, Pdu(command, 1, body)); }
Bytes Cmpp3(uint32_t command, const Bytes& body) { return Record(kCmpp3, Pdu(command, 1, body)); }

TEST(CmppDecode, ValueNames) {
    const Bytes id = MsgId(kDeliverId);
    RunLineCases({
        {"2.0 connect status 3", Cmpp2(kConnectResp, Builder().u8(3).fill(17)), 31, "CONNECT_RESP: 状态 = 3 (认证错)"},
        {"2.0 connect status without a row", Cmpp2(kConnectResp, Builder().u8(9).fill(17)), 31,
         "CONNECT_RESP: 状态 = 9 (其他错误)"},
        // read as one octet, 0x00000100 would be named as status 0
        {"3.0 connect status read as 32 bits", Cmpp3(kConnectResp, Builder().u32(0x100).fill(17)), 1031,
         "CONNECT_RESP: 状态 = 256 (其他错误)"},
        {"3.0 connect status 4", Cmpp3(kConnectResp, Builder().u32(4).fill(17)), 1031,
         "CONNECT_RESP: 状态 = 4 (版本太高)"},
        {"2.0 submit result 8", Cmpp2(kSubmitResp, Builder().raw(id).u8(8)), 102, "SUBMIT_RESP: 结果 = 8 (流量控制错)"},
        {"2.0 submit result without a row", Cmpp2(kSubmitResp, Builder().raw(id).u8(200)), 102,
         "SUBMIT_RESP: 结果 = 200 (未知)"},
        {"3.0 submit result read as 32 bits", Cmpp3(kSubmitResp, Builder().raw(id).u32(0x0105)), 1102,
         "SUBMIT_RESP: 结果 = 261 (未知)"},
        {"3.0 submit result 5", Cmpp3(kSubmitResp, Builder().raw(id).u32(5)), 1102, "SUBMIT_RESP: 结果 = 5 (资费代码错)"},
        {"2.0 deliver result reads the submit result names", Cmpp2(kDeliverResp, Builder().raw(id).u8(3)), 162,
         "DELIVER_RESP: 结果 = 3 (消息序号重复)"},
        {"3.0 deliver result has no names", Cmpp3(kDeliverResp, Builder().raw(id).u32(3)), 1162,
         "DELIVER_RESP: 结果 = 3"},
        {"2.0 report request 2", Cmpp2(kSubmit, SubmitBody(2, {.registeredDelivery = 2})), 64,
         "SUBMIT: 要求状态报告 = 2 (产生SMC话单)"},
        {"3.0 report request has its own names", Cmpp3(kSubmit, SubmitBody(3, {.registeredDelivery = 1})), 1064,
         "SUBMIT: 要求状态报告 = 1 (需要)"},
        {"3.0 report flag without a row", Cmpp3(kDeliver, DeliverBody(3, {.registeredDelivery = 7})), 1129,
         "DELIVER: 是否状态报告 = 7 (未知)"},
        {"2.0 fee user type 0", Cmpp2(kSubmit, SubmitBody(2, {.feeUserType = 0})), 67,
         "SUBMIT: 计费用户类型 = 0 (对目的终端MSISDN计费)"},
        {"3.0 fee user type without a row", Cmpp3(kSubmit, SubmitBody(3, {.feeUserType = 4})), 1067,
         "SUBMIT: 计费用户类型 = 4 (未知)"},
        {"3.0 fee number type 0", Cmpp3(kSubmit, SubmitBody(3, {.feeTerminalType = 0})), 1069,
         "SUBMIT: 被计费用户的号码类型 = 0 (真实号码)"},
        {"3.0 destination type without a row", Cmpp3(kSubmit, SubmitBody(3, {.destTerminalType = 2})), 1085,
         "SUBMIT: 接收短信的用户的号码类型 = 2 (未知)"},
        {"3.0 deliver source type has no names", Cmpp3(kDeliver, DeliverBody(3, {.srcTerminalType = 1})), 1128,
         "DELIVER: 源号码类型 = 1"},
        {"2.0 fee type from two characters", Cmpp2(kSubmit, SubmitBody(2, {.feeType = "05"})), 76,
         "SUBMIT: 资费类别 = 05 (对[计费用户号码]的收费是由SP实现)"},
        {"3.0 fee type from two characters", Cmpp3(kSubmit, SubmitBody(3, {.feeType = "03"})), 1076,
         "SUBMIT: 资费类别 = 03 (对[计费用户号码]按包月收取信息费)"},
        {"fee type 00 has no row", Cmpp2(kSubmit, SubmitBody(2, {.feeType = "00"})), 76, "SUBMIT: 资费类别 = 00 (未知)"},
        {"fee type without digits reads 0", Cmpp3(kSubmit, SubmitBody(3, {.feeType = ""})), 1076,
         "SUBMIT: 资费类别 =  (未知)"},
        {"2.0 submit format 4", Cmpp2(kSubmit, SubmitBody(2, {.msgFmt = 4})), 73, "SUBMIT: 信息格式 = 4 (二进制信息)"},
        {"3.0 submit format without a row", Cmpp3(kSubmit, SubmitBody(3, {.msgFmt = 9})), 1073,
         "SUBMIT: 信息格式 = 9 (未知)"},
        {"2.0 deliver format 8", Cmpp2(kDeliver, DeliverBody(2, {.msgFmt = 8})), 126, "DELIVER: 信息格式 = 8 (UCS2编码)"},
        {"3.0 deliver format 3", Cmpp3(kDeliver, DeliverBody(3, {.msgFmt = 3})), 1126,
         "DELIVER: 信息格式 = 3 (短信写卡操作)"},
    });
}

TEST(CmppDecode, DestinationListsCoverEveryNumber) {
    // The list shows the first number and covers count × 21 (2.0) or count × 32 (3.0) octets;
    // the field after it starts right after the last number.
    const std::vector<std::string> none;
    const std::vector<std::string> one = {"13800138000"};
    const std::vector<std::string> two = {"13800138000", "13900139000"};
    const int32_t list2 = 28 + kSubmit2Head;
    const int32_t list3 = 28 + kSubmit3Head;
    RunLineCases({
        {"2.0 no numbers", Cmpp2(kSubmit, SubmitBody(2, {.dests = none})), 85, "SUBMIT: 接收短信的MSISDN号码 = ", 0,
         list2},
        {"2.0 then the length", Cmpp2(kSubmit, SubmitBody(2, {.dests = none})), 86, "SUBMIT: 信息长度 = 5", 1, list2},
        {"2.0 one number", Cmpp2(kSubmit, SubmitBody(2, {.dests = one})), 85,
         "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 21, list2},
        {"2.0 two numbers", Cmpp2(kSubmit, SubmitBody(2, {.dests = two})), 86, "SUBMIT: 信息长度 = 5", 1, list2 + 42},
        {"3.0 no numbers", Cmpp3(kSubmit, SubmitBody(3, {.dests = none})), 1084, "SUBMIT: 接收短信的MSISDN号码 = ", 0,
         list3},
        {"3.0 one number", Cmpp3(kSubmit, SubmitBody(3, {.dests = one})), 1084,
         "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 32, list3},
        {"3.0 three numbers", Cmpp3(kSubmit, SubmitBody(3, {})), 1084, "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 96,
         list3},
        {"3.0 then the destination type", Cmpp3(kSubmit, SubmitBody(3, {.dests = two, .destTerminalType = 1})), 1085,
         "SUBMIT: 接收短信的用户的号码类型 = 1 (伪码)", 1, list3 + 64},
    });
}

Bytes TestDeliver(uint8_t format, const Bytes& content) {
    return Record(kTest, Pdu(kTestDeliver, 1,
                             Builder()
                                 .text("1", 24)
                                 .text("2", 24)
                                 .text("", 10)
                                 .u8(static_cast<uint32_t>(content.size()))
                                 .u8(format)
                                 .raw(content)));
}

TEST(CmppDecode, ContentFollowsTheFormatAndTheReportFlag) {
    const Bytes oddUcs2{0x4F, 0x60, 0x59, 0x7D, 0x41};
    RunLineCases({
        {"2.0 deliver, UCS-2", Cmpp2(kDeliver, DeliverBody(2, {.msgFmt = 8, .content = kUcs2NiHao})), 132,
         "DELIVER: 信息内容 = 你好", 4},
        {"3.0 deliver, GBK", Cmpp3(kDeliver, DeliverBody(3, {.msgFmt = 15, .content = kGbkNiHao})), 1132,
         "DELIVER: 信息内容 = 你好", 4},
        {"2.0 deliver, binary", Cmpp2(kDeliver, DeliverBody(2, {.msgFmt = 4, .content = {1, 2, 3}})), 132,
         "DELIVER: 信息内容 = 二进制信息!", 3},
        {"2.0 deliver, empty", Cmpp2(kDeliver, DeliverBody(2, {.msgFmt = 0, .content = {}})), 132,
         "DELIVER: 信息内容 = ", 0},
        {"2.0 submit, format without a rule", Cmpp2(kSubmit, SubmitBody(2, {.msgFmt = 9})), 87,
         "SUBMIT: 信息内容 = Unknown data_coding，can't parse!", 5},
        {"3.0 submit, SIM write", Cmpp3(kSubmit, SubmitBody(3, {.msgFmt = 3})), 1087, "SUBMIT: 信息内容 = 短信写卡操作!",
         5},
        {"TEST deliver, UCS-2 of odd width", TestDeliver(8, oddUcs2), 235, "DELIVER: 短消息内容 = 你好", 5},
        {"TEST deliver, GBK", TestDeliver(15, kGbkNiHao), 235, "DELIVER: 短消息内容 = 你好", 4},
        {"TEST deliver, binary", TestDeliver(4, {0xFF}), 235, "DELIVER: 短消息内容 = 二进制信息!", 1},
    });
}

// ---- records cut short or lying about their sizes ----

// The record of a PDU cut to its first `keep` octets.
Bytes Cut(const Protocol& p, const Bytes& pdu, size_t keep) {
    return Record(p, Bytes(pdu.begin(), pdu.begin() + static_cast<std::ptrdiff_t>(keep)));
}

TEST(CmppDecode, BadRecordsEndWithAnErrorLine) {
    const Bytes submit = SubmitBody(2, {});
    const Bytes manyDests = SubmitBody(2, {.dests = {"13800138000"}, .destCount = 100});
    const Bytes longContent = SubmitBody(2, {.msgLength = 200});
    const Bytes submit3 = SubmitBody(3, kSubmit3Fields);
    const Bytes testSubmit = Builder().text("1", 24).text("2", 24).text("", 10).u8(255).raw("abc");
    const Bytes login = Builder().u32(1).text("13900000001", 24);
    auto length = [](const Bytes& body) { return static_cast<uint32_t>(12 + body.size()); };
    auto packet = [](size_t pduOctets) { return static_cast<uint32_t>(16 + pduOctets); };
    const auto remaining = [](const Bytes& body, int32_t from) { return static_cast<int32_t>(body.size()) - from; };

    const std::vector<PduCase> cases = {
        // the record ends two octets into the command id
        {"header cut inside the command id", Cut(kCmpp2, Pdu(kSubmit, 1, submit), 6),
         Expect(kCmpp2, packet(6)).HeaderLength(length(submit)).HeaderError(12, 2).lines(), false},
        // three numbers announced, the record ends after two of them
        {"2.0 list of numbers cut", Cut(kCmpp2, Pdu(kSubmit, 1, submit), 12 + kSubmit2Head + 42),
         Submit2Head(Expect(kCmpp2, packet(12 + kSubmit2Head + 42)).Header(length(submit), kSubmit, "提交短信", 1), 3)
             .Error(85, 42)
             .lines(),
         false},
        // a count of 100 numbers in a PDU that holds one
        {"2.0 count beyond the record", Record(kCmpp2, Pdu(kSubmit, 1, manyDests)),
         Submit2Head(Whole(kCmpp2, manyDests.size(), kSubmit, "提交短信", 1), 100)
             .Error(85, remaining(manyDests, kSubmit2Head))
             .lines(),
         false},
        // a content length of 200 with 5 content octets and the 8 reserved ones left
        {"2.0 content beyond the record", Record(kCmpp2, Pdu(kSubmit, 1, longContent)),
         Submit2Head(Whole(kCmpp2, longContent.size(), kSubmit, "提交短信", 1), 3)
             .Field(85, "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 63)
             .Field(86, "SUBMIT: 信息长度 = 200", 1)
             .Error(87, 5 + 8)
             .lines(),
         false},
        // two 32-octet numbers announced, 40 octets left
        {"3.0 list of numbers cut", Cut(kCmpp3, Pdu(kSubmit, 1, submit3), 12 + kSubmit3Head + 40),
         Submit3Head(Expect(kCmpp3, packet(12 + kSubmit3Head + 40)).Header(length(submit3), kSubmit, "提交短信", 1), 2)
             .Error(1084, 40)
             .lines(),
         false},
        // a TEST submit announcing 255 content octets and carrying 3
        {"TEST content beyond the record", Record(kTest, Pdu(kTestSubmit, 1, testSubmit)),
         Whole(kTest, testSubmit.size(), kTestSubmit, "提交请求", 1)
             .Group(215, "SUBMIT: ----- TEST发送短消息请求 -----")
             .Field(216, "SUBMIT: 目的终端号码 = 1", 24)
             .Field(217, "SUBMIT: 源终端号码 = 2", 24)
             .Field(218, "SUBMIT: 短消息ID = ", 10)
             .Field(219, "SUBMIT: 短消息长度 = 255", 1)
             .Error(220, 3)
             .lines(),
         false},
        // the record ends ten octets into the terminal number
        {"TEST login cut inside the number", Cut(kTest, Pdu(kLogin, 1, login), 12 + 4 + 10),
         Expect(kTest, packet(12 + 4 + 10))
             .Header(length(login), kLogin, "登录请求", 1)
             .Group(190, "LOGIN: ----- TEST请求连接 -----")
             .Field(191, "LOGIN: 终端类型 = 1", 4)
             .Error(192, 10)
             .lines(),
         false},
    };
    RunCases(cases);
}

TEST(CmppDecode, FieldsStopAtTheirOwnEnd) {
    // A terminal number that fills its 24 octets without a NUL, followed by more bytes: the
    // line shows the 24 characters and nothing of what comes after the field.
    const std::string number(24, '7');
    const Bytes login = Builder().u32(1).raw(number).raw("XYZ");
    const Decoded got = Decode(Record(kTest, Pdu(kLogin, 1, login, 40)));
    EXPECT_TRUE(got.ok);
    ASSERT_EQ(got.lines.size(), 13u) << Dump(got.lines);
    EXPECT_EQ(got.lines.back().text, "LOGIN: 终端号码 = " + number);
    EXPECT_EQ(got.lines.back().width, 24);

    // A report flagged on content too short to hold one: the content line keeps its own width
    // and the walk goes on to the reserved octets.
    const Bytes shortReport = Builder().raw(MsgId(kReportId)).raw("DE");
    const Decoded flagged =
        Decode(Cmpp2(kDeliver, DeliverBody(2, {.msgFmt = 0, .registeredDelivery = 1, .content = shortReport})));
    EXPECT_TRUE(flagged.ok);
    ASSERT_GE(flagged.lines.size(), 2u);
    const DecodeLine& content = flagged.lines[flagged.lines.size() - 2];
    EXPECT_EQ(content.id, 132);
    EXPECT_EQ(content.width, 10);
    EXPECT_EQ(content.text.rfind("DELIVER: 信息内容 = 信息标识 = " + MsgIdText(kReportId), 0), 0u) << content.text;
    EXPECT_EQ(flagged.lines.back().text, "DELIVER: 保留");
    EXPECT_EQ(flagged.lines.back().offset, content.offset + 10);

    // Bytes after a body whose walk has ended are not shown.
    const Decoded tail = Decode(Record(kCmpp2, Pdu(kActiveTestResp, 1, Builder().u8(0).raw("extra"))));
    EXPECT_TRUE(tail.ok);
    ASSERT_FALSE(tail.lines.empty());
    EXPECT_EQ(tail.lines.back().id, 171);
    EXPECT_EQ(tail.lines.back().offset, 28);
}

} // namespace
