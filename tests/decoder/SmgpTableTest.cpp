// SMGP 2.0 and 3.0 records built from field values decode to the exact lines of the SMGP decode rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decoder/PacketDecoder.h"
#include "decoder/tables/Tables.h"
#include "tests/support/Bytes.h"
#include "tests/support/DecodeExpect.h"

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;
using namespace test_decode;

// An SMGP PDU: 12-octet header (length, request id, sequence id) and the body.
Bytes Pdu(uint32_t requestId, uint32_t sequence, const Bytes& body = {}) {
    return test_bytes::Pdu12(requestId, sequence, body);
}
Bytes CasePdu(uint32_t requestId, const Bytes& body) { return Pdu(requestId, 7, body); }

const Protocol kSmgp2{3, "SMGP", 290, "SMGP: ----- 中国电信短信网关协议 -----", 155, 158,
                      {{291, "SMGP: 长度", 4}, {298, "SMGP: 请求", 4}, {293, "SMGP: 序列号", 4}}, CasePdu, {"7"}};
const Protocol kSmgp3{9, "SMGP3", 2290, "SMGP3: ----- 中国电信短信网关协议v3.0 -----", 155, 158,
                      {{2291, "SMGP3: 长度", 4}, {2298, "SMGP3: 请求", 4}, {2293, "SMGP: 序列号", 4}}, CasePdu, {"7"}};

constexpr uint32_t kLogin = 0x00000001, kLoginResp = 0x80000001, kSubmit = 0x00000002, kSubmitResp = 0x80000002;
constexpr uint32_t kDeliver = 0x00000003, kDeliverResp = 0x80000003, kTransaction = 0x00000016;
constexpr uint32_t kTransactionResp = 0x80000016;

CPacketDecoder& Decoder() {
    static CPacketDecoder decoder;
    return decoder;
}

void RunCases(const Protocol& p, const std::vector<PduCase>& cases) { RunPduCases(Decoder(), p, cases); }

const Bytes kMsgId = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};
const std::string kMsgIdHex = "0102030405060708090A";

Bytes Tlv(uint16_t tag, const Bytes& value) {
    return Builder().u16(tag).u16(static_cast<uint32_t>(value.size())).raw(value);
}

Bytes LoginBody(uint8_t version) {
    return Builder().text("SP000001", 8).text("pass", 16).u8(2).u32(1206123045).u8(version);
}

struct SubmitFields {
    uint8_t msgType = 3;
    std::string feeType = "01";
    uint8_t format = 15;
    std::vector<std::string> dests = {"13300000001", "13300000002"};
    Bytes content = {0xC4, 0xE3, 0xBA, 0xC3}; // 你好 in GBK
    int destCount = -1;                       // -1: the number of dests
    int length = -1;                          // -1: the size of content
};

Bytes SubmitBody(const SubmitFields& f, const Bytes& tail = Builder().fill(8)) {
    Builder b;
    b.u8(f.msgType).u8(1).u8(1).text("HELP", 10).text(f.feeType, 2).text("000010", 6).text("000000", 6);
    b.u8(f.format).text("", 17).text("", 17).text("10620000", 21).text("13300000009", 21);
    b.u8(f.destCount >= 0 ? f.destCount : static_cast<uint32_t>(f.dests.size()));
    for (const std::string& d : f.dests) b.text(d, 21);
    return b.u8(f.length >= 0 ? f.length : static_cast<uint32_t>(f.content.size())).raw(f.content).raw(tail);
}

// The submit lines up to the destination count; `base` is 0 for SMGP 2.0, 2000 for 3.0. The
// names are the texts after the values, " (name)" or empty.
std::vector<Field> SubmitHead(int32_t base, const SubmitFields& f, const std::string& typeName,
                              const std::string& feeName, const std::string& formatName) {
    const int count = f.destCount >= 0 ? f.destCount : static_cast<int>(f.dests.size());
    return {{base + 499, "SUBMIT: ----- CP发送短消息请求 -----", 0},
            {base + 500, "SUBMIT: 短消息类型 = " + std::to_string(f.msgType) + typeName, 1},
            {base + 501, "SUBMIT: 是否要求返回状态报告 = 1 (需要/是)", 1}, {base + 502, "SUBMIT: 发送优先级 = 1", 1},
            {base + 503, base ? "SUBMIT: 业务代码 = HELP" : "SUBMIT: 服务类型 = HELP", 10},
            {base + 504, "SUBMIT: 收费类型 = " + f.feeType + feeName, 2}, {base + 505, "SUBMIT: 资费代码 = 000010", 6},
            {base + 506, "SUBMIT: 包月费 = 000000", 6},
            {base + 507, "SUBMIT: 短信格式 = " + std::to_string(f.format) + formatName, 1},
            {base + 508, "SUBMIT: 有效时间 = ", 17}, {base + 509, "SUBMIT: 定时发送时间 = ", 17},
            {base + 510, "SUBMIT: 短信发送号码 = 10620000", 21}, {base + 511, "SUBMIT: 计费用户 = 13300000009", 21},
            {base + 512, "SUBMIT: 短信接收号码总数 = " + std::to_string(count), 1}};
}

// The whole submit; the list shows its text up to the first NUL but covers every 21-octet number.
std::vector<Field> SubmitLines(int32_t base, const SubmitFields& f, const std::string& typeName,
                               const std::string& feeName, const std::string& formatName, const std::string& content) {
    const auto size = static_cast<int32_t>(f.content.size());
    const auto listWidth = 21 * static_cast<int32_t>(f.dests.size());
    return Join(SubmitHead(base, f, typeName, feeName, formatName),
                {{base + 513, "SUBMIT: 短信接收号码 = " + (f.dests.empty() ? "" : f.dests[0]), listWidth},
                 {base + 514, "SUBMIT: 短信长度 = " + std::to_string(size), 1},
                 {base + 515, "SUBMIT: 短信内容 = " + content, size},
                 {base + 516, "SUBMIT: 保留", 8}});
}

struct DeliverFields {
    uint8_t isReport = 0;
    uint8_t format = 8;
    Bytes content = {0x4E, 0x2D, 0x65, 0x87}; // 中文 in UCS-2
};

Bytes DeliverBody(const DeliverFields& f, const Bytes& tail = {}) {
    return Builder().raw(kMsgId).u8(f.isReport).u8(f.format).text("20240102030405", 14).text("13300000001", 21)
        .text("10620000", 21).u8(static_cast<uint32_t>(f.content.size())).raw(f.content).fill(8).raw(tail);
}

std::vector<Field> DeliverLines(int32_t base, const DeliverFields& f, const std::string& flagName,
                                const std::string& formatName, const std::string& content) {
    const auto size = static_cast<int32_t>(f.content.size());
    return {{base + 600, "DELIVER: ----- SMGW向CP发送短消息请求 -----", 0},
            {base + 601, "DELIVER: 短信标识 = " + kMsgIdHex, 10},
            {base + 602, "DELIVER: 是否状态报告 = " + std::to_string(f.isReport) + flagName, 1},
            {base + 603, "DELIVER: 短信格式 = " + std::to_string(f.format) + formatName, 1},
            {base + 604, "DELIVER: 短信接收时间 = 20240102030405", 14}, {base + 605, "DELIVER: 短信发送号码 = 13300000001", 21},
            {base + 608, "DELIVER: 短信接收号码 = 10620000", 21}, {base + 609, "DELIVER: 短信长度 = " + std::to_string(size), 1},
            {base + 610, "DELIVER: 短信内容 = " + content, size},
            {base + 611, "DELIVER: 保留", 8}};
}

// A status report as message content: "id:", ten raw octets of message id, then plain text.
const std::string kReportText = " sub:001 dlvrd:001 stat:DELIVRD err:000";
const Bytes kReport = Builder().raw("id:").raw(kMsgId).raw(kReportText);
const std::string kReportShown = "id:" + kMsgIdHex + kReportText;

Bytes TransactionBody(uint16_t length, const Bytes& content) {
    Builder b;
    b.u32(0).text("TX0001", 20).u8(1).u8(15).text("13300000001", 21).text("10620000", 21).text("S01", 20);
    b.text("GAME", 10).text("SP01", 8).u8(0).text("T1", 9).text("IC1", 15).u8(2).u8(3);
    return b.u16(length).raw(content).fill(8);
}

std::vector<Field> TransactionLines(const std::string& length) {
    return {{620, "TRANSACTION: ----- SMGW向SP发送的交易请求 -----", 0},
            {621, "TRANSACTION: 状态报告 = 0", 4}, {622, "TRANSACTION: 短消息流水号 = TX0001", 20},
            {623, "TRANSACTION: 短消息类型 = 1", 1}, {625, "TRANSACTION: 短消息格式 = 15 (GB18030编码)", 1},
            {626, "TRANSACTION: 发送号码 = 13300000001", 21}, {627, "TRANSACTION: 接收号码 = 10620000", 21},
            {630, "TRANSACTION: 会话号 = S01", 20}, {631, "TRANSACTION: 业务代码 = GAME", 10},
            {632, "TRANSACTION: 内容提供商代码 = SP01", 8}, {633, "TRANSACTION: 加密设置 = 0", 1},
            {634, "TRANSACTION: 终端序列号 = T1", 9}, {635, "TRANSACTION: IC卡的序列号 = IC1", 15},
            {636, "TRANSACTION: 密钥代码 = 2", 1}, {637, "TRANSACTION: 信息交互类型 = 3", 1},
            {638, "TRANSACTION: 短消息长度 = " + length, 2}};
}

// The transaction response: its body length is read in host order (low octet first).
Bytes TransactionRespBody(uint8_t report, const Bytes& lengthOctets, const Bytes& content) {
    Builder b;
    b.u32(0).text("TX0001", 20).u8(1).u8(report).text("01", 2).text("000010", 6).text("000500", 6).u8(0);
    b.text("13300000001", 21).text("13300000009", 21).text("10620000", 21).text("S01", 20).text("GAME", 10);
    b.text("SP01", 8).u8(0).u8(1).text("T1", 9).text("IC1", 15).u8(2).u8(3);
    return b.raw(lengthOctets).raw(content).fill(8);
}

std::vector<Field> TransactionRespLines(uint8_t report, const std::string& length) {
    return {{650, "TRANSACTION_RESP: ----- SMGW向SP发送的交易响应 -----", 0},
            {651, "TRANSACTION_RESP: 请求返回的状态 = 0", 4}, {652, "TRANSACTION_RESP: 短消息流水号 = TX0001", 20},
            {653, "TRANSACTION_RESP: 短消息类型 = 1", 1},
            {654, "TRANSACTION_RESP: 是否要求返回状态报告 = " + std::to_string(report), 1},
            {655, "TRANSACTION_RESP: 收费类型 = 01", 2}, {656, "TRANSACTION_RESP: 每条信息的资费 = 000010", 6},
            {657, "TRANSACTION_RESP: 包月/封顶费用 = 000500", 6}, {658, "TRANSACTION_RESP: 短消息格式 = 0 (ASCII串)", 1},
            {660, "TRANSACTION_RESP: 短消息发送用户号码 = 13300000001", 21}, {661, "TRANSACTION_RESP: 计费用户号码 = 13300000009", 21},
            {662, "TRANSACTION_RESP: 短消息接收号码 = 10620000", 21}, {663, "TRANSACTION_RESP: 会话号 = S01", 20},
            {664, "TRANSACTION_RESP: 业务代码 = GAME", 10}, {665, "TRANSACTION_RESP:  内容提供商代码= SP01", 8},
            {666, "TRANSACTION_RESP: 加密设置 = 0", 1}, {667, "TRANSACTION_RESP: 应答信息的加密模式 = 1", 1},
            {668, "TRANSACTION_RESP: 终端序列号 = T1", 9}, {670, "TRANSACTION_RESP: IC卡的序列号 = IC1", 15},
            {671, "TRANSACTION_RESP: 密钥代码 = 2", 1}, {672, "TRANSACTION_RESP: 信息交互类型 = 3", 1},
            {673, "TRANSACTION_RESP: 短消息长度 = " + length, 2}};
}

TEST(SmgpTableRows, HoldTogetherAndNameEveryCommand) {
    ExpectRowsHoldTogether(decode_table::SmgpFamily());
    ExpectCasesNamed(decode_table::SmgpFamily(), 298, 298);
    ExpectCasesNamed(decode_table::SmgpFamily(), 2298, 2298);
    // SMGP 3.0 records are listed with the SMGP 2.0 command names.
    for (uint32_t code : {0x00000001u, 0x80000001u, 0x00000002u, 0x80000002u, 0x00000003u, 0x80000003u, 0x00000004u,
                          0x80000004u, 0x00000005u, 0x80000005u, 0x00000006u, 0x80000006u, 0x00000007u, 0x80000007u,
                          0x00000008u, 0x80000008u, 0x00000009u, 0x80000009u, 0x00000016u, 0x80000016u}) {
        EXPECT_NE(Decoder().LookupCodeName(298, code), "未知") << code;
        EXPECT_EQ(Decoder().LookupCodeName(2298, code), Decoder().LookupCodeName(298, code)) << code;
    }
    EXPECT_EQ(Decoder().LookupCodeName(2298, 0x00000008), "MT路由更新请求");
    EXPECT_EQ(Decoder().LookupCodeName(2298, 0x00000010), "未知");
}

// Capture and protocol header once per protocol: a command without a body ends after the
// sequence, false and without an error line; a record ending inside the request id shows one there.
TEST(SmgpDecode, Headers) {
    for (const Protocol* p : {&kSmgp2, &kSmgp3}) {
        SCOPED_TRACE(p->name);
        const Bytes pdu = Pdu(0x00000004, 4000000001u);
        Expect whole;
        whole.CaptureHeader(*p, 28).Header(*p, {"12", "0x00000004 (测试通信链路是否正常请求)", "4000000001"});
        ExpectDecode(Decoder(), CaptureRecord(p->code, pdu), false, whole.lines());
        Expect cut;
        cut.CaptureHeader(*p, 22).Header(*p, {"12"});
        ExpectDecode(Decoder(), CaptureRecord(p->code, Bytes(pdu.begin(), pdu.begin() + 6)), false, cut.lines());
    }
}

TEST(SmgpDecode, Smgp2Bodies) {
    const SubmitFields submit;
    const Bytes ack = Builder().raw("ACK");
    const std::vector<Field> submitToCount = SubmitHead(0, {.destCount = 255}, " (点播)", " (按条收费)", " (含GB汉字)");
    RunCases(kSmgp2, {
        {"login", kLogin, "登录请求", LoginBody(0x20),
         {{299, "LOGIN: ----- 登录请求 -----", 0},
          {300, "LOGIN: SP编号或者SMG编号 = SP000001", 8}, // eight characters, no NUL: cut at the width
          {301, "LOGIN: 客户端密码 = pass", 16}, {302, "LOGIN: 登录类型 = 2", 1}, {303, "LOGIN: 时间戳 = 1206123045", 4},
          {304, "LOGIN: 版本号 = 2.0", 1}}},
        {"login response", kLoginResp, "登录回应", Builder().u32(21).text("AUTH", 16).u8(0x20),
         {{400, "LOGIN_RESP: ----- 登录回应 -----", 0}, {401, "LOGIN_RESP: 返回结果 = 21", 4},
          {402, "LOGIN_RESP: 认证码 = AUTH", 16}, {403, "LOGIN_RESP: 版本号 = 2.0", 1}}},
        {"submit to two numbers, GB text", kSubmit, "CP发送短消息请求", SubmitBody(submit),
         SubmitLines(0, submit, " (点播)", " (按条收费)", " (含GB汉字)", "你好")},
        {"submit response, result 21", kSubmitResp, "CP发送短消息回应", Builder().raw(kMsgId).u32(21),
         {{550, "SUBMIT_RESP: ----- CP发送短消息回应 -----", 0}, {551, "SUBMIT_RESP: 短信标识 = " + kMsgIdHex, 10},
          {552, "SUBMIT_RESP: 返回结果 = 21 (认证错)", 4}}},
        {"deliver, UCS-2 text", kDeliver, "SMGW向CP发送短消息请求", DeliverBody({}),
         DeliverLines(0, {}, " (不需要/否)", " (UCS2编码)", "中文")},
        {"deliver carrying a status report", kDeliver, "SMGW向CP发送短消息请求", DeliverBody({1, 0, kReport}),
         DeliverLines(0, {1, 0, kReport}, " (需要/是)", " (ASCII串)", kReportShown)},
        // the report flag wins over the format
        {"deliver with report flag 2", kDeliver, "SMGW向CP发送短消息请求", DeliverBody({2, 8, kReport}),
         DeliverLines(0, {2, 8, kReport}, " (产生SMC话单)", " (UCS2编码)", kReportShown)},
        {"deliver response, result 1", kDeliverResp, "SMGW向CP发送短消息回应", Builder().raw(kMsgId).u32(1),
         {{613, "DELIVER_RESP: ----- SMGW向CP发送短消息回应 -----", 0}, {615, "DELIVER_RESP: 短信标识 = " + kMsgIdHex, 10},
          {616, "DELIVER_RESP: 返回结果 = 1 (系统忙)", 4}}},
        {"transaction", kTransaction, "SMGW向SP发送的交易请求", TransactionBody(4, {0xD6, 0xD0, 'o', 'k'}), // 中 in GBK
         Join(TransactionLines("4"), {{640, "TRANSACTION: 请求消息体 = 中ok", 4}, {641, "TRANSACTION: 保留", 8}})},
        {"transaction response, length low octet first", kTransactionResp, "SMGW向SP发送的交易响应",
         TransactionRespBody(0, {3, 0}, ack),
         Join(TransactionRespLines(0, "3"),
              {{674, "TRANSACTION_RESP: 响应消息体 = ACK", 3}, {675, "TRANSACTION_RESP: 保留 =", 8}})},
        {"transaction response carrying a report", kTransactionResp, "SMGW向SP发送的交易响应",
         TransactionRespBody(1, {static_cast<uint8_t>(kReport.size()), 0}, kReport),
         Join(TransactionRespLines(1, std::to_string(kReport.size())),
              {{674, "TRANSACTION_RESP: 响应消息体 = " + kReportShown, static_cast<int32_t>(kReport.size())},
               {675, "TRANSACTION_RESP: 保留 =", 8}})},
        // commands named without a body, and one without a name
        {"link test", 0x00000004, "测试通信链路是否正常请求", {}, {}, false},
        {"link test response", 0x80000004, "测试通信链路是否正常回应", {}, {}, false},
        {"forward", 0x00000005, "SMGW转发MT/MO短消息请求", {}, {}, false},
        {"forward response", 0x80000005, "SMGW转发MT/MO短消息回应", {}, {}, false},
        {"exit", 0x00000006, "退出请求", {}, {}, false},
        {"exit response", 0x80000006, "退出回应", {}, {}, false},
        {"query: named, but no case", 0x00000007, "CP统计查询请求", {}, {}, false},
        {"unknown request", 0x12345678, "未知", {}, {}, false},
        // bad records
        {"content longer than the record", kSubmit, "CP发送短消息请求",
         SubmitBody({.dests = {"13300000001"}, .content = Builder().raw("abcd"), .length = 200}, {}),
         Join(SubmitHead(0, {.dests = {"13300000001"}}, " (点播)", " (按条收费)", " (含GB汉字)"),
              {{513, "SUBMIT: 短信接收号码 = 13300000001", 21}, {514, "SUBMIT: 短信长度 = 200", 1}, {515, kUnknownError, kRest}}),
         false},
        {"destination count past the record", kSubmit, "CP发送短消息请求",
         SubmitBody({.dests = {"13300000001"}, .destCount = 255}), Join(submitToCount, {{513, kUnknownError, kRest}}),
         false},
        {"transaction body of 65535 octets", kTransaction, "SMGW向SP发送的交易请求",
         TransactionBody(0xFFFF, Builder().raw("PING")),
         Join(TransactionLines("65535"), {{640, kLengthError, kRest}}), false},
        // written high octet first as the request's is, 3 reads as 768 and overruns the record
        {"response length in network order", kTransactionResp, "SMGW向SP发送的交易响应", TransactionRespBody(0, {0, 3}, ack),
         Join(TransactionRespLines(0, "768"), {{674, kUnknownError, kRest}}), false},
        {"response length -1", kTransactionResp, "SMGW向SP发送的交易响应", TransactionRespBody(0, {0xFF, 0xFF}, ack),
         Join(TransactionRespLines(0, "-1"), {{674, kLengthError, kRest}}), false},
        // a negative width other than -1 must not move the walk backwards
        {"response length -32768", kTransactionResp, "SMGW向SP发送的交易响应", TransactionRespBody(0, {0x00, 0x80}, ack),
         Join(TransactionRespLines(0, "-32768"), {{674, kLengthError, kRest}}), false},
        {"response length 4096", kTransactionResp, "SMGW向SP发送的交易响应", TransactionRespBody(0, {0x00, 0x10}, ack),
         Join(TransactionRespLines(0, "4096"), {{674, kLengthError, kRest}}), false},
    });
}

TEST(SmgpDecode, Smgp3Bodies) {
    const SubmitFields mt{.msgType = 6, .feeType = "02", .format = 0, .dests = {"13300000001"}, .content = {'h', 'i'}};
    const std::vector<Field> mtLines = SubmitLines(2000, mt, " (MT消息 SP发给终端)", " (包月)", " (ASCII串)", "hi");
    const Bytes feeUser = Tlv(4, {2});
    const Field feeUserLine{2517, "SUBMIT TLV: 计费用户类型 = 2 (对SP计费)", 5};
    RunCases(kSmgp3, {
        {"login", kLogin, "登录请求", LoginBody(0x30),
         {{2299, "LOGIN: ----- 登录请求 -----", 0}, {2300, "LOGIN: SP编号或者SMG编号 = SP000001", 8},
          {2301, "LOGIN: 客户端密码 = pass", 16}, {2302, "LOGIN: 登录类型 = 2", 1}, {2303, "LOGIN: 时间戳 = 1206123045", 4},
          {2304, "LOGIN: 版本号 = 3.0", 1}}},
        {"login response", kLoginResp, "登录回应", Builder().u32(0).text("AUTH", 16).u8(0x30),
         {{2400, "LOGIN_RESP: ----- 登录回应 -----", 0}, {2401, "LOGIN_RESP: 返回结果 = 0", 4},
          {2402, "LOGIN_RESP: 认证码 = AUTH", 16}, {2403, "LOGIN_RESP: 版本号 = 3.0", 1}}},
        {"submit without TLVs ends after the reserved field", kSubmit, "CP发送短消息请求", SubmitBody(mt), mtLines},
        {"submit with three TLVs, one line each", kSubmit, "CP发送短消息请求",
         SubmitBody(mt, Builder().fill(8).raw(feeUser).raw(Tlv(3, Builder().raw("LINK0001"))).raw(Tlv(11, {5}))),
         Join(mtLines, {feeUserLine,
                        {2517, "SUBMIT TLV: LinkID(交易标识) = LINK0001", 12},
                        {2517, "SUBMIT TLV: SP发送的消息类型 = 5 (包月扣费通知消息)", 5}})},
        {"submit response, result 21", kSubmitResp, "CP发送短消息回应", Builder().raw(kMsgId).u32(21),
         {{2550, "SUBMIT_RESP: ----- CP发送短消息回应 -----", 0}, {2551, "SUBMIT_RESP: 短信标识 = " + kMsgIdHex, 10},
          {2552, "SUBMIT_RESP: 返回结果 = 21 (认证错)", 4}}},
        {"deliver with a TLV", kDeliver, "SMGW向CP发送短消息请求", DeliverBody({}, Tlv(1, {0})),
         Join(DeliverLines(2000, {}, " (不需要/否)", " (UCS2编码)", "中文"),
              {{2612, "DELIVER TLV: TP_PID(GSM协议类型) = 0", 5}})},
        {"deliver carrying a status report", kDeliver, "SMGW向CP发送短消息请求", DeliverBody({1, 0, kReport}),
         DeliverLines(2000, {1, 0, kReport}, " (需要/是)", " (ASCII串)", kReportShown)},
        {"deliver response named like SMGP 2.0", kDeliverResp, "SMGW向CP发送短消息回应", Builder().raw(kMsgId).u32(1),
         {{2613, "DELIVER_RESP: ----- SMGW向CP发送短消息回应 -----", 0}, {2615, "DELIVER_RESP: 短信标识 = " + kMsgIdHex, 10},
          {2616, "DELIVER_RESP: 返回结果 = 1 (系统忙)", 4}}},
        {"link test response", 0x80000004, "测试通信链路是否正常回应", {}, {}, false},
        {"exit", 0x00000006, "退出请求", {}, {}, false},
        {"exit response", 0x80000006, "退出回应", {}, {}, false},
        {"a 2.0 command without a 3.0 case", kTransaction, "SMGW向SP发送的交易请求", {}, {}, false},
        {"route update response", 0x80000009, "MO路由更新回应", {}, {}, false},
        // TLVs that do not fit
        {"last TLV claims 20 octets, 5 follow", kSubmit, "CP发送短消息请求",
         SubmitBody(mt, Builder().fill(8).raw(feeUser).u16(3).u16(20).raw("LINK0")),
         Join(mtLines, {feeUserLine, {2517, kUnknownError, kRest}}), false},
        {"TLV cut inside its length", kSubmit, "CP发送短消息请求", SubmitBody(mt, Builder().fill(8).u16(3).u8(0)),
         Join(mtLines, {{2517, kUnknownError, kRest}}), false},
        {"deliver TLV one octet short", kDeliver, "SMGW向CP发送短消息请求", DeliverBody({}, Builder().u16(1).u16(2).u8(0)),
         Join(DeliverLines(2000, {}, " (不需要/否)", " (UCS2编码)", "中文"), {{2612, kUnknownError, kRest}}), false},
    });
}

// Submit fields named by their values, and the content by its format.
TEST(SmgpDecode, SubmitVariants) {
    struct Variant {
        const char* name;
        SubmitFields fields;
        std::string typeName, feeName, formatName, content;
    };
    auto with = [](auto change) {
        SubmitFields f{.format = 0, .content = {'a', 'b', 'c'}};
        change(f);
        return f;
    };
    const Variant variants[] = {
        {"fee type 02", with([](SubmitFields& f) { f.feeType = "02"; }), " (点播)", " (包月)", " (ASCII串)", "abc"},
        {"fee type 09 has no name", with([](SubmitFields& f) { f.feeType = "09"; }), " (点播)", "", " (ASCII串)", "abc"},
        {"fee type of one digit", with([](SubmitFields& f) { f.feeType = "3"; }), " (点播)", " (封顶)", " (ASCII串)", "abc"},
        {"message type 7 unknown", with([](SubmitFields& f) { f.msgType = 7; }), " (未知)", " (按条收费)", " (ASCII串)",
         "abc"},
        {"binary content", with([](SubmitFields& f) { f.format = 4; }), " (点播)", " (按条收费)", " (二进制信息)", "二进制信息!"},
        {"card write content", with([](SubmitFields& f) { f.format = 3; }), " (点播)", " (按条收费)", " (短信写卡操作)", "短信写卡操作!"},
        {"format without a rule", with([](SubmitFields& f) { f.format = 9; }), " (点播)", " (按条收费)", " (未知)",
         "Unknown data_coding，can't parse!"},
        {"no destinations", with([](SubmitFields& f) { f.dests.clear(); }), " (点播)", " (按条收费)", " (ASCII串)", "abc"},
        {"empty content", with([](SubmitFields& f) { f.content.clear(); }), " (点播)", " (按条收费)", " (ASCII串)", ""},
    };
    for (const Variant& v : variants) {
        RunCases(kSmgp2, {{v.name, kSubmit, "CP发送短消息请求", SubmitBody(v.fields),
                           SubmitLines(0, v.fields, v.typeName, v.feeName, v.formatName, v.content)}});
    }
}

// A report flag over content too short for a report's layout: the content keeps the field's
// octets and the walk goes on to the reserved field right after them.
TEST(SmgpDecode, ShortReportContentStaysInsideItsField) {
    const int32_t contentOffset = 16 + 12 + 10 + 1 + 1 + 14 + 21 + 21 + 1;
    for (size_t length : {0u, 2u, 5u, 12u, 13u}) {
        const DeliverFields f{1, 0, Bytes(kReport.begin(), kReport.begin() + static_cast<long>(length))};
        RunLineCases(Decoder(), {{"report of " + std::to_string(length) + " octets",
                                  Record(kSmgp2, kDeliver, DeliverBody(f)),
                                  611, "DELIVER: 保留", 8, contentOffset + static_cast<int32_t>(length)}});
    }
}

} // namespace
