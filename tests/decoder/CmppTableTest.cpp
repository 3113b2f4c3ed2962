// CMPP 2.0, CMPP 3.0 and mobile TEST records decode to the exact lines their tables describe.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "decoder/PacketDecoder.h"
#include "decoder/tables/Tables.h"
#include "tests/support/Bytes.h"
#include "tests/support/DecodeExpect.h"

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;
using namespace test_decode;

// 12-octet header (length, command, sequence) and the body.
Bytes Pdu(uint32_t command, uint32_t sequence, const Bytes& body = {}) {
    return test_bytes::Pdu12(command, sequence, body);
}
Bytes CasePdu(uint32_t command, const Bytes& body) { return Pdu(command, 1, body); }

const Protocol kCmpp2{1, "CMPP", 10, "CMPP: ----- 中国移动点对点协议 -----", 153, 157,
                      {{11, "CMPP: 长度", 4}, {12, "CMPP: 命令", 4}, {13, "CMPP: 序号", 4}}, CasePdu, {"1"}};
const Protocol kCmpp3{4, "CMPP3", 1010, "CMPP3: ----- 中国移动点对点协议v3 -----", 153, 157,
                      {{1011, "CMPP3: 长度", 4}, {1012, "CMPP3: 命令", 4}, {1013, "CMPP3: 序号", 4}}, CasePdu, {"1"}};
const Protocol kTest{8, "TEST", 180, "TEST: ----- 模拟终端协议 -----", 160, 156,
                     {{181, "TEST: 长度", 4}, {182, "TEST: 命令", 4}, {183, "TEST: 序号", 4}}, CasePdu, {"1"}};

constexpr uint32_t kConnect = 0x00000001, kConnectResp = 0x80000001, kTerminate = 0x00000002;
constexpr uint32_t kSubmit = 0x00000004, kSubmitResp = 0x80000004, kDeliver = 0x00000005, kDeliverResp = 0x80000005;
constexpr uint32_t kActiveTest = 0x00000008, kActiveTestResp = 0x80000008;
constexpr uint32_t kLogin = 0x00001001, kTestSubmit = 0x00001002, kTestDeliver = 0x00001003;

// The 64-bit message id: 4 + 5 + 5 + 6 + 6 bits of time, 22 bits of gateway, 16 of sequence.
struct MsgIdFields {
    uint32_t month, day, hour, minute, second, gateway, sequence;
};

Bytes MsgId(const MsgIdFields& f) {
    const uint64_t v = uint64_t{f.month} << 60 | uint64_t{f.day} << 55 | uint64_t{f.hour} << 50 |
                       uint64_t{f.minute} << 44 | uint64_t{f.second} << 38 | uint64_t{f.gateway} << 16 | f.sequence;
    return Builder().u32(static_cast<uint32_t>(v >> 32)).u32(static_cast<uint32_t>(v));
}

std::string MsgIdText(const MsgIdFields& f) {
    return Fmt("%02u%02u%02u%02u%02u%07u%05u", f.month, f.day, f.hour, f.minute, f.second, f.gateway, f.sequence);
}

const MsgIdFields kSubmitId{1, 2, 3, 4, 5, 4194303, 42}; // the largest gateway code
const MsgIdFields kDeliverId{12, 31, 23, 59, 59, 123456, 65535};
const MsgIdFields kReportId{1, 1, 1, 2, 1, 1, 42};
const Bytes kGbkNiHao{0xC4, 0xE3, 0xBA, 0xC3};  // 你好 in GBK
const Bytes kUcs2NiHao{0x4F, 0x60, 0x59, 0x7D}; // 你好 as UCS-2, big-endian

// A status report as deliver content; the destination is 21 octets in CMPP 2.0 and 32 in 3.0.
Bytes Report(size_t destWidth, uint32_t smscSequence) {
    return Builder().raw(MsgId(kReportId)).text("DELIVRD", 7).text("0601011200", 10).text("0601011201", 10)
        .text("13800138000", destWidth).u32(smscSequence);
}

std::string ReportText(uint32_t smscSequence) {
    return "信息标识 = " + MsgIdText(kReportId) +
           ", 结果 = DELIVRD, 提交时间 = 0601011200, 完成时间 = 0601011201, 目的号码 = 13800138000, SMSC = " +
           std::to_string(smscSequence);
}

struct SubmitFields {
    uint8_t registeredDelivery = 1, feeUserType = 2, feeTerminalType = 0, msgFmt = 15; // fee terminal type: 3.0
    std::string feeType = "02";
    std::vector<std::string> dests = {"13800138000", "13900139000", "13700137000"};
    int destCount = -1;           // -1: the number of dests
    uint8_t destTerminalType = 0; // 3.0 only
    Bytes content = Builder().raw("hello");
    int msgLength = -1; // -1: the size of content
};

// version 2 or 3: the 3.0 body widens the fee and destination numbers and adds the type octets.
Bytes SubmitBody(int version, const SubmitFields& f) {
    const size_t number = version == 3 ? 32 : 21;
    Builder b;
    b.raw(MsgId({})).u8(1).u8(1).u8(f.registeredDelivery).u8(3).text("MCN", 10).u8(f.feeUserType);
    b.text("13800138000", number);
    if (version == 3) b.u8(f.feeTerminalType);
    b.u8(0).u8(1).u8(f.msgFmt).text("901234", 6).text(f.feeType, 2).text("000010", 6);
    b.text("080101120000032+", 17).text("", 17).text("10658000", 21);
    b.u8(f.destCount >= 0 ? f.destCount : static_cast<uint32_t>(f.dests.size()));
    for (const std::string& dest : f.dests) b.text(dest, number);
    if (version == 3) b.u8(f.destTerminalType);
    b.u8(f.msgLength >= 0 ? f.msgLength : static_cast<uint32_t>(f.content.size())).raw(f.content);
    return version == 3 ? b.text("LINK0001", 20) : b.fill(8);
}

// The 3.0 submit of the tests: UCS-2 content to two numbers, fee charged to a pseudo number.
const SubmitFields kSubmit3{.registeredDelivery = 0, .feeUserType = 3, .feeTerminalType = 1, .msgFmt = 8,
                            .feeType = "01", .dests = {"13800138000", "13900139000"}, .content = kUcs2NiHao};

// The submit lines up to the count of numbers: the default fields for 2.0, kSubmit3 for 3.0.
std::vector<Field> SubmitHead(int version, int destCount) {
    const bool v3 = version == 3;
    const int32_t b = v3 ? 1000 : 0;
    std::vector<Field> lines = {
        {b + 60, "SUBMIT: ----- 提交短信 -----", 0}, {b + 61, "SUBMIT: 信息标识 = " + MsgIdText({}), 8},
        {b + 62, "SUBMIT: 相同Msg_Id的信息总条数 = 1", 1}, {b + 63, "SUBMIT: 相同Msg_Id的信息序号 = 1", 1},
        {b + 64, v3 ? "SUBMIT: 要求状态报告 = 0 (不需要)" : "SUBMIT: 要求状态报告 = 1 (需要/是)", 1},
        {b + 65, "SUBMIT: 信息级别 = 3", 1}, {b + 66, "SUBMIT: 业务类型 = MCN", 10},
        {b + 67, v3 ? "SUBMIT: 计费用户类型 = 3 (本字段无效，计费用户参见下一字段)" : "SUBMIT: 计费用户类型 = 2 (对SP计费)", 1},
        {b + 68, "SUBMIT: 被计费用户的号码 = 13800138000", v3 ? 32 : 21}};
    if (v3) lines.push_back({1069, "SUBMIT: 被计费用户的号码类型 = 1 (伪码)", 1});
    return Join(lines, {
        {b + 69 + v3, "SUBMIT: GSM协议类型 = 0", 1}, {b + 70 + v3, "SUBMIT: GSM协议类型 = 1", 1},
        {b + 73, v3 ? "SUBMIT: 信息格式 = 8 (UCS2编码)" : "SUBMIT: 信息格式 = 15 (含GB汉字)", 1},
        {b + 75, "SUBMIT: 信息内容来源 = 901234", 6},
        {b + 76, v3 ? "SUBMIT: 资费类别 = 01 (对[计费用户号码]免费)" : "SUBMIT: 资费类别 = 02 (对[计费用户号码]按条计信息费)", 2},
        {b + 77, "SUBMIT: 资费代码 = 000010", 6}, {b + 78, "SUBMIT: 存活有效期 = 080101120000032+", 17},
        {b + 79, "SUBMIT: 定时发送时间 = ", 17}, {b + 80, "SUBMIT: 源号码 = 10658000", 21},
        {b + 81 + v3, "SUBMIT: 接收用户数 = " + std::to_string(destCount), 1}});
}

struct DeliverFields {
    uint8_t msgFmt = 15, srcTerminalType = 0, registeredDelivery = 0; // source terminal type: 3.0
    Bytes content = kGbkNiHao;
};

Bytes DeliverBody(int version, const DeliverFields& f) {
    Builder b;
    b.raw(MsgId(kDeliverId)).text("10658000", 21).text("MCN", 10).u8(0).u8(0).u8(f.msgFmt);
    b.text("13800138000", version == 3 ? 32 : 21);
    if (version == 3) b.u8(f.srcTerminalType);
    b.u8(f.registeredDelivery).u8(static_cast<uint32_t>(f.content.size())).raw(f.content);
    return version == 3 ? b.text("", 20) : b.fill(8);
}

// The deliver lines: `format` and `flag` are the texts after " = ", `content` the shown content.
std::vector<Field> DeliverLines(int version, const std::string& format, const std::string& flag,
                                const std::string& content, int32_t contentWidth) {
    const bool v3 = version == 3;
    const int32_t b = v3 ? 1000 : 0;
    std::vector<Field> lines = {
        {b + 120, "DELIVER: ----- 短信下发 -----", 0}, {b + 121, "DELIVER: 信息标识 = " + MsgIdText(kDeliverId), 8},
        {b + 122, "DELIVER: 目的号码 = 10658000", 21}, {b + 123, "DELIVER: 业务类型 = MCN", 10},
        {b + 124, "DELIVER: GSM协议类型 = 0", 1}, {b + 125, "DELIVER: GSM协议类型 = 0", 1},
        {b + 126, "DELIVER: 信息格式 = " + format, 1}, {b + 127, "DELIVER: 源号码 = 13800138000", v3 ? 32 : 21}};
    if (v3) lines.push_back({1128, "DELIVER: 源号码类型 = 0", 1});
    return Join(lines, {{b + 129, "DELIVER: 是否状态报告 = " + flag, 1},
                        {b + 131, "DELIVER: 信息长度 = " + std::to_string(contentWidth), 1},
                        {b + 132, "DELIVER: 信息内容 = " + content, contentWidth},
                        v3 ? Field{1133, "DELIVER: 点播业务使用的LinkID = ", 20} : Field{133, "DELIVER: 保留", 8}});
}

// One decoder for the whole suite: the table is built once.
CPacketDecoder& Decoder() {
    static CPacketDecoder decoder;
    return decoder;
}

void RunCases(const Protocol& p, const std::vector<PduCase>& cases) { RunPduCases(Decoder(), p, cases); }
void RunLineCases(const std::vector<LineCase>& cases) { test_decode::RunLineCases(Decoder(), cases); }

TEST(CmppTableRows, HoldTogetherAndNameEveryCase) {
    ExpectRowsHoldTogether(decode_table::CmppFamily());
    // The brief list names CMPP 3.0 commands from table 1012, the header line from table 12.
    for (const auto& [selector, table] : {std::pair{12, 12}, {12, 1012}, {1012, 12}, {1012, 1012}, {182, 182}})
        ExpectCasesNamed(decode_table::CmppFamily(), selector, table);
    EXPECT_EQ(Decoder().LookupCodeName(1012, 0x80000016), "MO路由更新应答");
    EXPECT_EQ(Decoder().LookupCodeName(12, 0x00001001), "未知");
    EXPECT_EQ(Decoder().DescriptorCount(), 683);
}

// Capture and protocol header once per protocol: a command without a body ends after the
// sequence, false and without an error line; a record ending inside the command shows one there.
TEST(CmppDecode, Headers) {
    const struct {
        const Protocol& p;
        uint32_t command;
        const char* name;
    } rows[] = {{kCmpp2, kTerminate, "终止连接"}, {kCmpp3, kActiveTest, "激活测试"}, {kTest, 0x00001004, "未知"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.p.name);
        const Bytes pdu = Pdu(r.command, 4000000001u);
        Expect whole;
        whole.CaptureHeader(r.p, 28).Header(r.p, {"12", Command(r.command, r.name), "4000000001"});
        ExpectDecode(Decoder(), CaptureRecord(r.p.code, pdu), false, whole.lines());
        Expect cut;
        cut.CaptureHeader(r.p, 22).Header(r.p, {"12"});
        ExpectDecode(Decoder(), CaptureRecord(r.p.code, Bytes(pdu.begin(), pdu.begin() + 6)), false, cut.lines());
    }
}

TEST(CmppDecode, Cmpp2Bodies) {
    const Bytes report = DeliverBody(2, {.msgFmt = 0, .registeredDelivery = 1, .content = Report(21, 7)});
    RunCases(kCmpp2, {
        {"connect", kConnect, "请求连接", Builder().text("901234", 6).raw("0123456789abcdef").u8(0x20).u32(1206123010),
         {{20, "CONNECT: ----- 请求连接 -----", 0}, {21, "CONNECT: 源地址 = 901234", 6},
          {22, "CONNECT: 认证码 = 0123456789abcdef", 16}, {23, "CONNECT: 版本号 = 2.0", 1},
          {24, "CONNECT: 时间戳 = 1206123010", 4}}},
        {"connect response", kConnectResp, "请求连接应答", Builder().u8(0).text("ismg-auth", 16).u8(0x20),
         {{30, "CONNECT_RESP: ----- 请求连接应答 -----", 0}, {31, "CONNECT_RESP: 状态 = 0 (正确)", 1},
          {32, "CONNECT_RESP: 认证码 = ismg-auth", 16}, {33, "CONNECT_RESP: 版本号 = 2.0", 1}}},
        {"submit to three numbers", kSubmit, "提交短信", SubmitBody(2, {}),
         Join(SubmitHead(2, 3), {{85, "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 3 * 21}, {86, "SUBMIT: 信息长度 = 5", 1},
                                 {87, "SUBMIT: 信息内容 = hello", 5}, {88, "SUBMIT: 保留", 8}})},
        {"submit response", kSubmitResp, "提交短信应答", Builder().raw(MsgId(kSubmitId)).u8(0),
         {{100, "SUBMIT_RESP: ----- 提交短信应答 -----", 0}, {101, "SUBMIT_RESP: 信息标识 = 0102030405419430300042", 8},
          {102, "SUBMIT_RESP: 结果 = 0 (正确)", 1}}},
        {"deliver of GBK text", kDeliver, "短信下发", DeliverBody(2, {}),
         DeliverLines(2, "15 (含GB汉字)", "0 (不需要/否)", "你好", 4)},
        {"deliver of a status report", kDeliver, "短信下发", report,
         DeliverLines(2, "0 (ASCII串)", "1 (需要/是)", ReportText(7), 60)},
        {"deliver response", kDeliverResp, "下发短信应答", Builder().raw(MsgId(kDeliverId)).u8(0),
         {{160, "DELIVER_RESP: ----- 下发短信应答 -----", 0}, {161, "DELIVER_RESP: 信息标识 = " + MsgIdText(kDeliverId), 8},
          {162, "DELIVER_RESP: 结果 = 0 (正确)", 1}}},
        // bytes after a body whose walk has ended are not shown
        {"activity test response", kActiveTestResp, "激活测试应答", Builder().u8(0).raw("extra"),
         {{170, "ACTIVETEST_RESP: ----- 激活测试应答 -----", 0}, {171, "ACTIVETEST_RESP: 保留", 1}}},
        {"query shows the header only", 0x00000006, "发送短信状态查询",
         Builder().text("20240101", 8).u8(0).text("MCN", 10).fill(8), {}, false},
        {"command without a case", 0x00000099, "未知", {}, {}, false},
        // a count of 100 numbers in a PDU that holds three
        {"count beyond the record", kSubmit, "提交短信", SubmitBody(2, {.destCount = 100}),
         Join(SubmitHead(2, 100), {{85, kUnknownError, kRest}}), false},
        // a content length of 200 with 5 content octets and the 8 reserved ones left
        {"content beyond the record", kSubmit, "提交短信", SubmitBody(2, {.msgLength = 200}),
         Join(SubmitHead(2, 3), {{85, "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 63}, {86, "SUBMIT: 信息长度 = 200", 1},
                                 {87, kUnknownError, kRest}}),
         false},
    });
}

TEST(CmppDecode, Cmpp3Bodies) {
    const Bytes report = DeliverBody(3, {.msgFmt = 0, .registeredDelivery = 1, .content = Report(32, 123456)});
    RunCases(kCmpp3, {
        {"connect", kConnect, "请求连接", Builder().text("901234", 6).raw("0123456789abcdef").u8(0x30).u32(1206123010),
         {{1020, "CONNECT: ----- 请求连接 -----", 0}, {1021, "CONNECT: 源地址 = 901234", 6},
          {1022, "CONNECT: 认证码 = 0123456789abcdef", 16}, {1023, "CONNECT: 版本号 = 3.0", 1},
          {1024, "CONNECT: 时间戳 = 1206123010", 4}}},
        {"connect response with a four-octet status", kConnectResp, "请求连接应答",
         Builder().u32(0).text("ismg-auth", 16).u8(0x30),
         {{1030, "CONNECT_RESP: ----- 请求连接应答 -----", 0}, {1031, "CONNECT_RESP: 状态 = 0 (正确)", 4},
          {1032, "CONNECT_RESP: 认证码 = ismg-auth", 16}, {1033, "CONNECT_RESP: 版本号 = 3.0", 1}}},
        {"submit of UCS-2 text to two numbers", kSubmit, "提交短信", SubmitBody(3, kSubmit3),
         Join(SubmitHead(3, 2), {{1084, "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 2 * 32},
                                 {1085, "SUBMIT: 接收短信的用户的号码类型 = 0 (真实号码)", 1}, {1086, "SUBMIT: 信息长度 = 4", 1},
                                 {1087, "SUBMIT: 信息内容 = 你好", 4}, {1088, "SUBMIT: 点播业务使用的LinkID = LINK0001", 20}})},
        {"submit response with a four-octet result", kSubmitResp, "提交短信应答", Builder().raw(MsgId(kSubmitId)).u32(0),
         {{1100, "SUBMIT_RESP: ----- 提交短信应答 -----", 0}, {1101, "SUBMIT_RESP: 信息标识 = 0102030405419430300042", 8},
          {1102, "SUBMIT_RESP: 结果 = 0 (正确)", 4}}},
        {"deliver of ASCII text", kDeliver, "短信下发", DeliverBody(3, {.msgFmt = 0, .content = Builder().raw("hello")}),
         DeliverLines(3, "0 (ASCII串)", "0 (不需要/否)", "hello", 5)},
        {"deliver of a status report in the 3.0 layout", kDeliver, "短信下发", report,
         DeliverLines(3, "0 (ASCII串)", "1 (需要/是)", ReportText(123456), 71)},
        {"deliver response without names", kDeliverResp, "下发短信应答", Builder().raw(MsgId(kDeliverId)).u32(0),
         {{1160, "DELIVER_RESP: ----- 下发短信应答 -----", 0},
          {1161, "DELIVER_RESP: 信息标识 = " + MsgIdText(kDeliverId), 8}, {1162, "DELIVER_RESP: 结果 = 0", 4}}},
        {"activity test response reaches the shared reserved octet", kActiveTestResp, "激活测试应答", {0},
         {{1170, "ACTIVETEST_RESP: ----- 激活测试应答 -----", 0}, {171, "ACTIVETEST_RESP: 保留", 1}}},
        // the record ends where the body would start, so the walk stops before the body's group
        {"activity test response without its reserved octet", kActiveTestResp, "激活测试应答", {}, {}, true},
        {"terminate has no body", kTerminate, "终止连接", {}, {}, false},
        // two 32-octet numbers announced, the record ends 40 octets into them
        {"list of numbers cut", kSubmit, "提交短信", SubmitBody(3, kSubmit3),
         Join(SubmitHead(3, 2), {{1084, kUnknownError, kRest}}), false, 64 - 40 + 1 + 1 + 4 + 20},
    });
}

TEST(CmppDecode, TestProtocolBodies) {
    const Bytes login = Builder().u32(1).text("13900000001", 24);
    const std::vector<Field> loginHead = {{190, "LOGIN: ----- TEST请求连接 -----", 0}, {191, "LOGIN: 终端类型 = 1", 4}};
    RunCases(kTest, {
        {"login", kLogin, "登录请求", login, Join(loginHead, {{192, "LOGIN: 终端号码 = 13900000001", 24}})},
        // a number filling its 24 octets without a NUL shows nothing of the bytes after it
        {"login number without a NUL", kLogin, "登录请求", Builder().u32(1).raw(std::string(24, '7')).raw("XYZ"),
         Join(loginHead, {{192, "LOGIN: 终端号码 = " + std::string(24, '7'), 24}})},
        {"login cut inside the number", kLogin, "登录请求", login, Join(loginHead, {{192, kUnknownError, kRest}}), false,
         14},
        {"login response", 0x80001001, "登录应答", Builder().u32(0),
         {{200, "LOGIN_RESP: ----- TEST请求连接应答 -----", 0}, {201, "LOGIN_RESP: 返回结果 = 0", 4}}},
        {"submit shows its content as plain text", kTestSubmit, "提交请求",
         Builder().text("13900000002", 24).text("13900000001", 24).text("0000000001", 10).u8(5).raw("hello"),
         {{215, "SUBMIT: ----- TEST发送短消息请求 -----", 0}, {216, "SUBMIT: 目的终端号码 = 13900000002", 24},
          {217, "SUBMIT: 源终端号码 = 13900000001", 24}, {218, "SUBMIT: 短消息ID = 0000000001", 10},
          {219, "SUBMIT: 短消息长度 = 5", 1}, {220, "SUBMIT: 短消息内容 = hello", 5}}},
        {"submit response as the server sends it", 0x80001002, "提交应答", Builder().u32(0).fill(10),
         {{222, "SUBMIT_RESP: ----- TEST发送短消息应答 -----", 0}, {223, "SUBMIT_RESP: 返回结果 = 0", 4},
          {224, "SUBMIT_RESP: 短消息ID = ", 10}}},
        {"deliver reads its format octet before the content", kTestDeliver, "下发请求",
         Builder().text("13900000001", 24).text("13900000002", 24).text("abc", 10).u8(4).u8(8).raw(kUcs2NiHao),
         {{230, "DELIVER: ----- TEST下发短消息请求 -----", 0}, {231, "DELIVER: 目的终端号码 = 13900000001", 24},
          {232, "DELIVER: 源终端号码 = 13900000002", 24}, {233, "DELIVER: 短消息ID = abc", 10},
          {234, "DELIVER: 短消息长度 = 4", 1}, {236, "DELIVER: 短信格式 = 8", 1}, {235, "DELIVER: 短消息内容 = 你好", 4}}},
        {"deliver response", 0x80001003, "下发应答", Builder().u32(0).text("abc", 10),
         {{240, "DELIVER_RESP: ----- TEST下发短消息应答 -----", 0}, {241, "DELIVER_RESP: 返回结果 = 0", 4},
          {242, "DELIVER_RESP: 短消息ID = abc", 10}}},
    });
}

Bytes Submit2(const SubmitFields& f) { return Record(kCmpp2, kSubmit, SubmitBody(2, f)); }
Bytes Submit3(const SubmitFields& f) { return Record(kCmpp3, kSubmit, SubmitBody(3, f)); }
Bytes Deliver2(const DeliverFields& f) { return Record(kCmpp2, kDeliver, DeliverBody(2, f)); }
Bytes Deliver3(const DeliverFields& f) { return Record(kCmpp3, kDeliver, DeliverBody(3, f)); }

Bytes TestDeliver(uint8_t format, const Bytes& content) {
    return Record(kTest, kTestDeliver, Builder().text("1", 24).text("2", 24).text("", 10)
                                           .u8(static_cast<uint32_t>(content.size())).u8(format).raw(content));
}

// Names by value (rows, wildcards, lists borrowed from other fields, fields read as 32 bits) and
// content by format.
TEST(CmppDecode, ValueNamesAndContent) {
    const Bytes id = MsgId(kDeliverId);
    RunLineCases({
        {"2.0 connect status 3", Record(kCmpp2, kConnectResp, Builder().u8(3).fill(17)), 31,
         "CONNECT_RESP: 状态 = 3 (认证错)", 1},
        {"2.0 connect status without a row", Record(kCmpp2, kConnectResp, Builder().u8(9).fill(17)), 31,
         "CONNECT_RESP: 状态 = 9 (其他错误)", 1},
        // read as one octet, 0x00000100 would be named as status 0
        {"3.0 connect status read as 32 bits", Record(kCmpp3, kConnectResp, Builder().u32(0x100).fill(17)), 1031,
         "CONNECT_RESP: 状态 = 256 (其他错误)", 4},
        {"3.0 connect status 4", Record(kCmpp3, kConnectResp, Builder().u32(4).fill(17)), 1031,
         "CONNECT_RESP: 状态 = 4 (版本太高)", 4},
        {"2.0 submit result 8", Record(kCmpp2, kSubmitResp, Builder().raw(id).u8(8)), 102,
         "SUBMIT_RESP: 结果 = 8 (流量控制错)", 1},
        {"2.0 submit result without a row", Record(kCmpp2, kSubmitResp, Builder().raw(id).u8(200)), 102,
         "SUBMIT_RESP: 结果 = 200 (未知)", 1},
        {"3.0 submit result read as 32 bits", Record(kCmpp3, kSubmitResp, Builder().raw(id).u32(0x0105)), 1102,
         "SUBMIT_RESP: 结果 = 261 (未知)", 4},
        {"3.0 submit result 5", Record(kCmpp3, kSubmitResp, Builder().raw(id).u32(5)), 1102,
         "SUBMIT_RESP: 结果 = 5 (资费代码错)", 4},
        {"2.0 deliver result borrows the submit result names", Record(kCmpp2, kDeliverResp, Builder().raw(id).u8(3)),
         162, "DELIVER_RESP: 结果 = 3 (消息序号重复)", 1},
        {"2.0 report request 2", Submit2({.registeredDelivery = 2}), 64, "SUBMIT: 要求状态报告 = 2 (产生SMC话单)", 1},
        {"3.0 report request has its own names", Submit3({.registeredDelivery = 1}), 1064,
         "SUBMIT: 要求状态报告 = 1 (需要)", 1},
        {"3.0 report flag without a row", Deliver3({.registeredDelivery = 7}), 1129, "DELIVER: 是否状态报告 = 7 (未知)", 1},
        {"2.0 fee user type 0", Submit2({.feeUserType = 0}), 67, "SUBMIT: 计费用户类型 = 0 (对目的终端MSISDN计费)", 1},
        {"3.0 fee user type without a row", Submit3({.feeUserType = 4}), 1067, "SUBMIT: 计费用户类型 = 4 (未知)", 1},
        {"3.0 fee number type 0", Submit3({.feeTerminalType = 0}), 1069, "SUBMIT: 被计费用户的号码类型 = 0 (真实号码)", 1},
        {"3.0 destination type without a row", Submit3({.destTerminalType = 2}), 1085,
         "SUBMIT: 接收短信的用户的号码类型 = 2 (未知)", 1},
        {"3.0 deliver source type has no names", Deliver3({.srcTerminalType = 1}), 1128, "DELIVER: 源号码类型 = 1", 1},
        {"2.0 fee type from two characters", Submit2({.feeType = "05"}), 76,
         "SUBMIT: 资费类别 = 05 (对[计费用户号码]的收费是由SP实现)", 2},
        {"3.0 fee type from two characters", Submit3({.feeType = "03"}), 1076,
         "SUBMIT: 资费类别 = 03 (对[计费用户号码]按包月收取信息费)", 2},
        {"fee type 00 has no row", Submit2({.feeType = "00"}), 76, "SUBMIT: 资费类别 = 00 (未知)", 2},
        {"fee type without digits reads 0", Submit3({.feeType = ""}), 1076, "SUBMIT: 资费类别 =  (未知)", 2},
        {"2.0 submit format 4", Submit2({.msgFmt = 4}), 73, "SUBMIT: 信息格式 = 4 (二进制信息)", 1},
        {"3.0 submit format without a row", Submit3({.msgFmt = 9}), 1073, "SUBMIT: 信息格式 = 9 (未知)", 1},
        {"2.0 deliver format 8", Deliver2({.msgFmt = 8}), 126, "DELIVER: 信息格式 = 8 (UCS2编码)", 1},
        {"3.0 deliver format 3", Deliver3({.msgFmt = 3}), 1126, "DELIVER: 信息格式 = 3 (短信写卡操作)", 1},
        {"2.0 deliver, UCS-2", Deliver2({.msgFmt = 8, .content = kUcs2NiHao}), 132, "DELIVER: 信息内容 = 你好", 4},
        {"3.0 deliver, GBK", Deliver3({.msgFmt = 15}), 1132, "DELIVER: 信息内容 = 你好", 4},
        {"2.0 deliver, binary", Deliver2({.msgFmt = 4, .content = {1, 2, 3}}), 132, "DELIVER: 信息内容 = 二进制信息!", 3},
        {"2.0 deliver, empty", Deliver2({.msgFmt = 0, .content = {}}), 132, "DELIVER: 信息内容 = ", 0},
        {"2.0 submit, format without a rule", Submit2({.msgFmt = 9}), 87,
         "SUBMIT: 信息内容 = Unknown data_coding，can't parse!", 5},
        {"3.0 submit, SIM write", Submit3({.msgFmt = 3}), 1087, "SUBMIT: 信息内容 = 短信写卡操作!", 5},
        {"TEST deliver, UCS-2 of odd width", TestDeliver(8, {0x4F, 0x60, 0x59, 0x7D, 0x41}), 235,
         "DELIVER: 短消息内容 = 你好", 5},
        {"TEST deliver, GBK", TestDeliver(15, kGbkNiHao), 235, "DELIVER: 短消息内容 = 你好", 4},
        {"TEST deliver, binary", TestDeliver(4, {0xFF}), 235, "DELIVER: 短消息内容 = 二进制信息!", 1},
        // a report flagged on ten octets of content: the content keeps its width, the walk goes on
        {"short report",
         Deliver2({.msgFmt = 0, .registeredDelivery = 1, .content = Builder().raw(MsgId(kReportId)).raw("DE")}),
         133, "DELIVER: 保留", 8, 28 + 8 + 21 + 10 + 1 + 1 + 1 + 21 + 1 + 1 + 10},
    });
}

// A list shows its first number and covers count × 21 (2.0) or count × 32 (3.0) octets; the
// field after it starts right after the last number.
TEST(CmppDecode, DestinationListsCoverEveryNumber) {
    const int32_t list2 = 28 + 8 + 1 + 1 + 1 + 1 + 10 + 1 + 21 + 1 + 1 + 1 + 6 + 2 + 6 + 17 + 17 + 21 + 1;
    const int32_t list3 = list2 + 11 + 1;
    const std::vector<std::string> none, one = {"13800138000"}, two = {"13800138000", "13900139000"};
    RunLineCases({
        {"2.0 no numbers", Submit2({.dests = none}), 85, "SUBMIT: 接收短信的MSISDN号码 = ", 0, list2},
        {"2.0 then the length", Submit2({.dests = none}), 86, "SUBMIT: 信息长度 = 5", 1, list2},
        {"2.0 one number", Submit2({.dests = one}), 85, "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 21, list2},
        {"2.0 two numbers", Submit2({.dests = two}), 86, "SUBMIT: 信息长度 = 5", 1, list2 + 42},
        {"3.0 no numbers", Submit3({.dests = none}), 1084, "SUBMIT: 接收短信的MSISDN号码 = ", 0, list3},
        {"3.0 three numbers", Submit3({}), 1084, "SUBMIT: 接收短信的MSISDN号码 = 13800138000", 96, list3},
        {"3.0 then the destination type", Submit3({.dests = two, .destTerminalType = 1}), 1085,
         "SUBMIT: 接收短信的用户的号码类型 = 1 (伪码)", 1, list3 + 64},
    });
}

} // namespace
