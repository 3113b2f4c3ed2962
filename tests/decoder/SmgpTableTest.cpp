// SMGP 2.0 and 3.0 records built from field values decode to the exact lines of the SMGP decode rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "decoder/PacketDecoder.h"
#include "decoder/tables/Tables.h"
#include "tests/support/Bytes.h"
#include "tests/support/DecodeExpect.h"

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;
using test_decode::Dump;

constexpr uint16_t kSmgp2 = 3;
constexpr uint16_t kSmgp3 = 9;

constexpr char kUnknownError[] = "未知错误!";
constexpr char kLengthError[] = "消息长度错误!";

// An SMGP PDU: 12-octet header (length, request id, sequence id) and the body.
std::vector<uint8_t> SmgpPdu(uint32_t requestId, uint32_t sequence, const std::vector<uint8_t>& body = {}) {
    Builder b;
    b.u32(static_cast<uint32_t>(12 + body.size())).u32(requestId).u32(sequence).raw(body);
    return b;
}

// Expected lines, laid out by walking the field widths the way the wire format places them.
// Ids, texts and places are compared; icons are checked on their own below.
class Expect : public test_decode::Layout<Expect> {
public:
    // The six capture-header lines of a record made by CaptureRecord with its default peer.
    Expect(uint16_t protocol, size_t pduSize) {
        const std::string name = protocol == kSmgp2 ? "SMGP" : "SMGP3";
        CaptureHeader(static_cast<uint32_t>(16 + pduSize), "1970-01-01 00:00:00", 5018,
                      std::to_string(protocol) + " (" + name + ")", false);
    }
    Expect& group(int32_t id, std::string text) { return field(id, std::move(text), 0); }
    Expect& field(int32_t id, std::string text, int32_t width) { return Add(id, std::move(text), width); }
    // The line that ends the walk early; it covers at most the rest of the record.
    Expect& error(int32_t id, std::string text) { return AddToRecordEnd(id, std::move(text)); }
};

// The SMGP 2.0 header lines of a PDU of `length` octets.
Expect& Smgp2Header(Expect& e, uint32_t length, const std::string& request, uint32_t sequence) {
    return e.group(290, "SMGP: ----- 中国电信短信网关协议 -----")
        .field(291, "SMGP: 长度 = " + std::to_string(length), 4)
        .field(298, "SMGP: 请求 = " + request, 4)
        .field(293, "SMGP: 序列号 = " + std::to_string(sequence), 4);
}

Expect& Smgp3Header(Expect& e, uint32_t length, const std::string& request, uint32_t sequence) {
    return e.group(2290, "SMGP3: ----- 中国电信短信网关协议v3.0 -----")
        .field(2291, "SMGP3: 长度 = " + std::to_string(length), 4)
        .field(2298, "SMGP3: 请求 = " + request, 4)
        .field(2293, "SMGP: 序列号 = " + std::to_string(sequence), 4);
}

void ExpectLines(const std::vector<uint8_t>& record, bool expectedOk, const Expect& expect) {
    CPacketDecoder decoder;
    test_decode::ExpectDecode(decoder, record, expectedOk, expect.lines());
}

struct Case {
    const char* name;
    std::vector<uint8_t> record;
    bool ok;
    Expect expect;
};

void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectLines(c.record, c.ok, c.expect);
    }
}

// ---- bodies built from field values ----

std::vector<uint8_t> LoginBody(uint8_t version) {
    return Builder().text("SP000001", 8).text("pass", 16).u8(2).u32(1206123045).u8(version);
}

std::vector<uint8_t> LoginRespBody(uint32_t status, uint8_t version) {
    return Builder().u32(status).text("AUTH", 16).u8(version);
}

const std::vector<uint8_t> kMsgId = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};
const std::string kMsgIdHex = "0102030405060708090A";

struct SubmitFields {
    uint8_t msgType = 3;
    std::string feeType = "01";
    uint8_t format = 15;
    std::vector<std::string> dests = {"13300000001", "13300000002"};
    std::vector<uint8_t> content = {0xC4, 0xE3, 0xBA, 0xC3}; // 你好 in GBK
};

std::vector<uint8_t> SubmitBody(const SubmitFields& f) {
    Builder b;
    b.u8(f.msgType).u8(1).u8(1).text("HELP", 10).text(f.feeType, 2).text("000010", 6).text("000000", 6);
    b.u8(f.format).text("", 17).text("", 17).text("10620000", 21).text("13300000009", 21);
    b.u8(static_cast<uint32_t>(f.dests.size()));
    for (const std::string& d : f.dests) b.text(d, 21);
    b.u8(static_cast<uint32_t>(f.content.size())).raw(f.content).fill(8);
    return b;
}

// The submit lines up to and including the reserved field; `base` is 0 for SMGP 2.0, 2000 for 3.0.
Expect& SubmitLines(Expect& e, int32_t base, const std::string& typeName, const std::string& serviceLabel,
                    const SubmitFields& f, const std::string& feeSuffix, const std::string& formatName,
                    const std::string& contentText) {
    e.group(base + 499, "SUBMIT: ----- CP发送短消息请求 -----")
        .field(base + 500, "SUBMIT: 短消息类型 = " + std::to_string(f.msgType) + typeName, 1)
        .field(base + 501, "SUBMIT: 是否要求返回状态报告 = 1 (需要/是)", 1)
        .field(base + 502, "SUBMIT: 发送优先级 = 1", 1)
        .field(base + 503, serviceLabel + " = HELP", 10)
        .field(base + 504, "SUBMIT: 收费类型 = " + f.feeType + feeSuffix, 2)
        .field(base + 505, "SUBMIT: 资费代码 = 000010", 6)
        .field(base + 506, "SUBMIT: 包月费 = 000000", 6)
        .field(base + 507, "SUBMIT: 短信格式 = " + std::to_string(f.format) + formatName, 1)
        .field(base + 508, "SUBMIT: 有效时间 = ", 17)
        .field(base + 509, "SUBMIT: 定时发送时间 = ", 17)
        .field(base + 510, "SUBMIT: 短信发送号码 = 10620000", 21)
        .field(base + 511, "SUBMIT: 计费用户 = 13300000009", 21)
        .field(base + 512, "SUBMIT: 短信接收号码总数 = " + std::to_string(f.dests.size()), 1)
        // the list shows its text up to the first NUL but covers every 21-octet number
        .field(base + 513, "SUBMIT: 短信接收号码 = " + (f.dests.empty() ? std::string() : f.dests[0]),
               static_cast<int32_t>(21 * f.dests.size()))
        .field(base + 514, "SUBMIT: 短信长度 = " + std::to_string(f.content.size()), 1)
        .field(base + 515, "SUBMIT: 短信内容 = " + contentText, static_cast<int32_t>(f.content.size()))
        .field(base + 516, "SUBMIT: 保留", 8);
    return e;
}

struct DeliverFields {
    uint8_t isReport = 0;
    uint8_t format = 8;
    std::vector<uint8_t> content = {0x4E, 0x2D, 0x65, 0x87}; // 中文 in UCS-2
};

std::vector<uint8_t> DeliverBody(const DeliverFields& f) {
    Builder b;
    b.raw(kMsgId).u8(f.isReport).u8(f.format).text("20240102030405", 14).text("13300000001", 21);
    b.text("10620000", 21).u8(static_cast<uint32_t>(f.content.size())).raw(f.content).fill(8);
    return b;
}

Expect& DeliverLines(Expect& e, int32_t base, const DeliverFields& f, const std::string& flagName,
                     const std::string& formatName, const std::string& contentText) {
    e.group(base + 600, "DELIVER: ----- SMGW向CP发送短消息请求 -----")
        .field(base + 601, "DELIVER: 短信标识 = " + kMsgIdHex, 10)
        .field(base + 602, "DELIVER: 是否状态报告 = " + std::to_string(f.isReport) + flagName, 1)
        .field(base + 603, "DELIVER: 短信格式 = " + std::to_string(f.format) + formatName, 1)
        .field(base + 604, "DELIVER: 短信接收时间 = 20240102030405", 14)
        .field(base + 605, "DELIVER: 短信发送号码 = 13300000001", 21)
        .field(base + 608, "DELIVER: 短信接收号码 = 10620000", 21)
        .field(base + 609, "DELIVER: 短信长度 = " + std::to_string(f.content.size()), 1)
        .field(base + 610, "DELIVER: 短信内容 = " + contentText, static_cast<int32_t>(f.content.size()))
        .field(base + 611, "DELIVER: 保留", 8);
    return e;
}

// A status report as message content: "id:", ten raw octets of message id, then plain text.
const std::string kReportText = " sub:001 dlvrd:001 stat:DELIVRD err:000";
std::vector<uint8_t> ReportContent() { return Builder().raw("id:").raw(kMsgId).raw(kReportText); }

std::vector<uint8_t> TransactionBody(uint16_t length, const std::vector<uint8_t>& content) {
    Builder b;
    b.u32(0).text("TX0001", 20).u8(1).u8(15).text("13300000001", 21).text("10620000", 21).text("S01", 20);
    b.text("GAME", 10).text("SP01", 8).u8(0).text("T1", 9).text("IC1", 15).u8(2).u8(3);
    b.u16(length).raw(content).fill(8);
    return b;
}

// The transaction lines up to its body length; the body and reserved lines follow per case.
Expect& TransactionLines(Expect& e, const std::string& lengthText) {
    return e.group(620, "TRANSACTION: ----- SMGW向SP发送的交易请求 -----")
        .field(621, "TRANSACTION: 状态报告 = 0", 4)
        .field(622, "TRANSACTION: 短消息流水号 = TX0001", 20)
        .field(623, "TRANSACTION: 短消息类型 = 1", 1)
        .field(625, "TRANSACTION: 短消息格式 = 15 (GB18030编码)", 1)
        .field(626, "TRANSACTION: 发送号码 = 13300000001", 21)
        .field(627, "TRANSACTION: 接收号码 = 10620000", 21)
        .field(630, "TRANSACTION: 会话号 = S01", 20)
        .field(631, "TRANSACTION: 业务代码 = GAME", 10)
        .field(632, "TRANSACTION: 内容提供商代码 = SP01", 8)
        .field(633, "TRANSACTION: 加密设置 = 0", 1)
        .field(634, "TRANSACTION: 终端序列号 = T1", 9)
        .field(635, "TRANSACTION: IC卡的序列号 = IC1", 15)
        .field(636, "TRANSACTION: 密钥代码 = 2", 1)
        .field(637, "TRANSACTION: 信息交互类型 = 3", 1)
        .field(638, "TRANSACTION: 短消息长度 = " + lengthText, 2);
}

// The transaction response: its body length is read in host order (low octet first).
std::vector<uint8_t> TransactionRespBody(uint8_t report, std::vector<uint8_t> lengthOctets,
                                         const std::vector<uint8_t>& content) {
    Builder b;
    b.u32(0).text("TX0001", 20).u8(1).u8(report).text("01", 2).text("000010", 6).text("000500", 6).u8(0);
    b.text("13300000001", 21).text("13300000009", 21).text("10620000", 21).text("S01", 20).text("GAME", 10);
    b.text("SP01", 8).u8(0).u8(1).text("T1", 9).text("IC1", 15).u8(2).u8(3);
    b.raw(lengthOctets).raw(content).fill(8);
    return b;
}

Expect& TransactionRespLines(Expect& e, uint8_t report, const std::string& lengthText) {
    return e.group(650, "TRANSACTION_RESP: ----- SMGW向SP发送的交易响应 -----")
        .field(651, "TRANSACTION_RESP: 请求返回的状态 = 0", 4)
        .field(652, "TRANSACTION_RESP: 短消息流水号 = TX0001", 20)
        .field(653, "TRANSACTION_RESP: 短消息类型 = 1", 1)
        .field(654, "TRANSACTION_RESP: 是否要求返回状态报告 = " + std::to_string(report), 1)
        .field(655, "TRANSACTION_RESP: 收费类型 = 01", 2)
        .field(656, "TRANSACTION_RESP: 每条信息的资费 = 000010", 6)
        .field(657, "TRANSACTION_RESP: 包月/封顶费用 = 000500", 6)
        .field(658, "TRANSACTION_RESP: 短消息格式 = 0 (ASCII串)", 1)
        .field(660, "TRANSACTION_RESP: 短消息发送用户号码 = 13300000001", 21)
        .field(661, "TRANSACTION_RESP: 计费用户号码 = 13300000009", 21)
        .field(662, "TRANSACTION_RESP: 短消息接收号码 = 10620000", 21)
        .field(663, "TRANSACTION_RESP: 会话号 = S01", 20)
        .field(664, "TRANSACTION_RESP: 业务代码 = GAME", 10)
        .field(665, "TRANSACTION_RESP:  内容提供商代码= SP01", 8)
        .field(666, "TRANSACTION_RESP: 加密设置 = 0", 1)
        .field(667, "TRANSACTION_RESP: 应答信息的加密模式 = 1", 1)
        .field(668, "TRANSACTION_RESP: 终端序列号 = T1", 9)
        .field(670, "TRANSACTION_RESP: IC卡的序列号 = IC1", 15)
        .field(671, "TRANSACTION_RESP: 密钥代码 = 2", 1)
        .field(672, "TRANSACTION_RESP: 信息交互类型 = 3", 1)
        .field(673, "TRANSACTION_RESP: 短消息长度 = " + lengthText, 2);
}

std::vector<uint8_t> Tlv(uint16_t tag, const std::vector<uint8_t>& value) {
    return Builder().u16(tag).u16(static_cast<uint32_t>(value.size())).raw(value);
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- whole PDUs ----

std::vector<uint8_t> Smgp2(uint32_t requestId, const std::vector<uint8_t>& body) {
    return CaptureRecord(kSmgp2, SmgpPdu(requestId, 7, body));
}

std::vector<uint8_t> Smgp3(uint32_t requestId, const std::vector<uint8_t>& body) {
    return CaptureRecord(kSmgp3, SmgpPdu(requestId, 7, body));
}

Expect Smgp2Lines(const std::string& request, size_t bodySize) {
    Expect e(kSmgp2, 12 + bodySize);
    Smgp2Header(e, static_cast<uint32_t>(12 + bodySize), request, 7);
    return e;
}

Expect Smgp3Lines(const std::string& request, size_t bodySize) {
    Expect e(kSmgp3, 12 + bodySize);
    Smgp3Header(e, static_cast<uint32_t>(12 + bodySize), request, 7);
    return e;
}

} // namespace

TEST(SmgpTable, Smgp2PdusDecodeToTheirFieldLines) {
    std::vector<Case> cases;
    {
        const auto body = LoginBody(0x20);
        Expect e = Smgp2Lines("0x00000001 (登录请求)", body.size());
        e.group(299, "LOGIN: ----- 登录请求 -----")
            .field(300, "LOGIN: SP编号或者SMG编号 = SP000001", 8) // eight characters, no NUL: cut at the width
            .field(301, "LOGIN: 客户端密码 = pass", 16)
            .field(302, "LOGIN: 登录类型 = 2", 1)
            .field(303, "LOGIN: 时间戳 = 1206123045", 4)
            .field(304, "LOGIN: 版本号 = 2.0", 1);
        cases.push_back({"login", Smgp2(0x00000001, body), true, e});
    }
    {
        const auto body = LoginRespBody(21, 0x20);
        Expect e = Smgp2Lines("0x80000001 (登录回应)", body.size());
        e.group(400, "LOGIN_RESP: ----- 登录回应 -----")
            .field(401, "LOGIN_RESP: 返回结果 = 21", 4)
            .field(402, "LOGIN_RESP: 认证码 = AUTH", 16)
            .field(403, "LOGIN_RESP: 版本号 = 2.0", 1);
        cases.push_back({"login response", Smgp2(0x80000001, body), true, e});
    }
    {
        const SubmitFields f;
        const auto body = SubmitBody(f);
        Expect e = Smgp2Lines("0x00000002 (CP发送短消息请求)", body.size());
        SubmitLines(e, 0, " (点播)", "SUBMIT: 服务类型", f, " (按条收费)", " (含GB汉字)", "你好");
        cases.push_back({"submit to two numbers, GB text", Smgp2(0x00000002, body), true, e});
    }
    {
        const auto body = Builder().raw(kMsgId).u32(21).bytes();
        Expect e = Smgp2Lines("0x80000002 (CP发送短消息回应)", body.size());
        e.group(550, "SUBMIT_RESP: ----- CP发送短消息回应 -----")
            .field(551, "SUBMIT_RESP: 短信标识 = " + kMsgIdHex, 10)
            .field(552, "SUBMIT_RESP: 返回结果 = 21 (认证错)", 4);
        cases.push_back({"submit response, result 21", Smgp2(0x80000002, body), true, e});
    }
    {
        const DeliverFields f;
        const auto body = DeliverBody(f);
        Expect e = Smgp2Lines("0x00000003 (SMGW向CP发送短消息请求)", body.size());
        DeliverLines(e, 0, f, " (不需要/否)", " (UCS2编码)", "中文");
        cases.push_back({"deliver, UCS-2 text", Smgp2(0x00000003, body), true, e});
    }
    {
        DeliverFields f;
        f.isReport = 1;
        f.format = 0;
        f.content = ReportContent();
        const auto body = DeliverBody(f);
        Expect e = Smgp2Lines("0x00000003 (SMGW向CP发送短消息请求)", body.size());
        DeliverLines(e, 0, f, " (需要/是)", " (ASCII串)", "id:" + kMsgIdHex + kReportText);
        cases.push_back({"deliver carrying a status report", Smgp2(0x00000003, body), true, e});
    }
    {
        DeliverFields f;
        f.isReport = 2;
        f.format = 8; // the report flag wins over the format
        f.content = ReportContent();
        const auto body = DeliverBody(f);
        Expect e = Smgp2Lines("0x00000003 (SMGW向CP发送短消息请求)", body.size());
        DeliverLines(e, 0, f, " (产生SMC话单)", " (UCS2编码)", "id:" + kMsgIdHex + kReportText);
        cases.push_back({"deliver with report flag 2", Smgp2(0x00000003, body), true, e});
    }
    {
        const auto body = Builder().raw(kMsgId).u32(1).bytes();
        Expect e = Smgp2Lines("0x80000003 (SMGW向CP发送短消息回应)", body.size());
        e.group(613, "DELIVER_RESP: ----- SMGW向CP发送短消息回应 -----")
            .field(615, "DELIVER_RESP: 短信标识 = " + kMsgIdHex, 10)
            .field(616, "DELIVER_RESP: 返回结果 = 1 (系统忙)", 4);
        cases.push_back({"deliver response, result 1", Smgp2(0x80000003, body), true, e});
    }
    {
        const std::vector<uint8_t> content = {0xD6, 0xD0, 'o', 'k'}; // 中 in GBK, then ok
        const auto body = TransactionBody(4, content);
        Expect e = Smgp2Lines("0x00000016 (SMGW向SP发送的交易请求)", body.size());
        TransactionLines(e, "4").field(640, "TRANSACTION: 请求消息体 = 中ok", 4).field(641, "TRANSACTION: 保留", 8);
        cases.push_back({"transaction", Smgp2(0x00000016, body), true, e});
    }
    {
        const auto body = TransactionRespBody(0, {3, 0}, Builder().raw("ACK"));
        Expect e = Smgp2Lines("0x80000016 (SMGW向SP发送的交易响应)", body.size());
        TransactionRespLines(e, 0, "3")
            .field(674, "TRANSACTION_RESP: 响应消息体 = ACK", 3)
            .field(675, "TRANSACTION_RESP: 保留 =", 8);
        cases.push_back({"transaction response, length low octet first", Smgp2(0x80000016, body), true, e});
    }
    {
        const auto content = ReportContent();
        const auto body = TransactionRespBody(1, {static_cast<uint8_t>(content.size()), 0}, content);
        Expect e = Smgp2Lines("0x80000016 (SMGW向SP发送的交易响应)", body.size());
        TransactionRespLines(e, 1, std::to_string(content.size()))
            .field(674, "TRANSACTION_RESP: 响应消息体 = id:" + kMsgIdHex + kReportText,
                   static_cast<int32_t>(content.size()))
            .field(675, "TRANSACTION_RESP: 保留 =", 8);
        cases.push_back({"transaction response carrying a report", Smgp2(0x80000016, body), true, e});
    }
    RunCases(cases);
}

TEST(SmgpTable, Smgp3PdusDecodeToTheirFieldLines) {
    std::vector<Case> cases;
    {
        const auto body = LoginBody(0x30);
        Expect e = Smgp3Lines("0x00000001 (登录请求)", body.size());
        e.group(2299, "LOGIN: ----- 登录请求 -----")
            .field(2300, "LOGIN: SP编号或者SMG编号 = SP000001", 8)
            .field(2301, "LOGIN: 客户端密码 = pass", 16)
            .field(2302, "LOGIN: 登录类型 = 2", 1)
            .field(2303, "LOGIN: 时间戳 = 1206123045", 4)
            .field(2304, "LOGIN: 版本号 = 3.0", 1);
        cases.push_back({"login", Smgp3(0x00000001, body), true, e});
    }
    {
        const auto body = LoginRespBody(0, 0x30);
        Expect e = Smgp3Lines("0x80000001 (登录回应)", body.size());
        e.group(2400, "LOGIN_RESP: ----- 登录回应 -----")
            .field(2401, "LOGIN_RESP: 返回结果 = 0", 4)
            .field(2402, "LOGIN_RESP: 认证码 = AUTH", 16)
            .field(2403, "LOGIN_RESP: 版本号 = 3.0", 1);
        cases.push_back({"login response", Smgp3(0x80000001, body), true, e});
    }
    SubmitFields mt;
    mt.msgType = 6;
    mt.feeType = "02";
    mt.format = 0;
    mt.dests = {"13300000001"};
    mt.content = {'h', 'i'};
    {
        const auto body = SubmitBody(mt);
        Expect e = Smgp3Lines("0x00000002 (CP发送短消息请求)", body.size());
        SubmitLines(e, 2000, " (MT消息 SP发给终端)", "SUBMIT: 业务代码", mt, " (包月)", " (ASCII串)", "hi");
        cases.push_back({"submit without TLVs ends after the reserved field", Smgp3(0x00000002, body), true, e});
    }
    {
        auto body = SubmitBody(mt);
        body = Concat(body, Tlv(4, {2}));
        body = Concat(body, Tlv(3, Builder().raw("LINK0001")));
        body = Concat(body, Tlv(11, {5}));
        Expect e = Smgp3Lines("0x00000002 (CP发送短消息请求)", body.size());
        SubmitLines(e, 2000, " (MT消息 SP发给终端)", "SUBMIT: 业务代码", mt, " (包月)", " (ASCII串)", "hi")
            .field(2517, "SUBMIT TLV: 计费用户类型 = 2 (对SP计费)", 5)
            .field(2517, "SUBMIT TLV: LinkID(交易标识) = LINK0001", 12)
            .field(2517, "SUBMIT TLV: SP发送的消息类型 = 5 (包月扣费通知消息)", 5);
        cases.push_back({"submit with three TLVs, one line each", Smgp3(0x00000002, body), true, e});
    }
    {
        const auto body = Builder().raw(kMsgId).u32(21).bytes();
        Expect e = Smgp3Lines("0x80000002 (CP发送短消息回应)", body.size());
        e.group(2550, "SUBMIT_RESP: ----- CP发送短消息回应 -----")
            .field(2551, "SUBMIT_RESP: 短信标识 = " + kMsgIdHex, 10)
            .field(2552, "SUBMIT_RESP: 返回结果 = 21 (认证错)", 4);
        cases.push_back({"submit response, result 21", Smgp3(0x80000002, body), true, e});
    }
    {
        const DeliverFields f;
        const auto body = Concat(DeliverBody(f), Tlv(1, {0}));
        Expect e = Smgp3Lines("0x00000003 (SMGW向CP发送短消息请求)", body.size());
        DeliverLines(e, 2000, f, " (不需要/否)", " (UCS2编码)", "中文")
            .field(2612, "DELIVER TLV: TP_PID(GSM协议类型) = 0", 5);
        cases.push_back({"deliver with a TLV", Smgp3(0x00000003, body), true, e});
    }
    {
        DeliverFields f;
        f.isReport = 1;
        f.format = 0;
        f.content = ReportContent();
        const auto body = DeliverBody(f);
        Expect e = Smgp3Lines("0x00000003 (SMGW向CP发送短消息请求)", body.size());
        DeliverLines(e, 2000, f, " (需要/是)", " (ASCII串)", "id:" + kMsgIdHex + kReportText);
        cases.push_back({"deliver carrying a status report", Smgp3(0x00000003, body), true, e});
    }
    {
        const auto body = Builder().raw(kMsgId).u32(1).bytes();
        Expect e = Smgp3Lines("0x80000003 (SMGW向CP发送短消息回应)", body.size());
        e.group(2613, "DELIVER_RESP: ----- SMGW向CP发送短消息回应 -----")
            .field(2615, "DELIVER_RESP: 短信标识 = " + kMsgIdHex, 10)
            .field(2616, "DELIVER_RESP: 返回结果 = 1 (系统忙)", 4);
        cases.push_back({"deliver response named like SMGP 2.0", Smgp3(0x80000003, body), true, e});
    }
    RunCases(cases);
}

TEST(SmgpTable, SubmitFieldsAreNamedByTheirValues) {
    struct Variant {
        const char* name;
        SubmitFields fields;
        std::string typeName, feeSuffix, formatName, content;
    };
    auto with = [](auto change) {
        SubmitFields f;
        f.content = {'a', 'b', 'c'};
        f.format = 0;
        change(f);
        return f;
    };
    const Variant variants[] = {
        {"fee type 02", with([](SubmitFields& f) { f.feeType = "02"; }), " (点播)", " (包月)", " (ASCII串)", "abc"},
        {"fee type 09 has no name", with([](SubmitFields& f) { f.feeType = "09"; }), " (点播)", "", " (ASCII串)", "abc"},
        {"fee type of one digit", with([](SubmitFields& f) { f.feeType = "3"; }), " (点播)", " (封顶)", " (ASCII串)", "abc"},
        {"message type 7 unknown", with([](SubmitFields& f) { f.msgType = 7; }), " (未知)", " (按条收费)", " (ASCII串)", "abc"},
        {"binary content", with([](SubmitFields& f) { f.format = 4; }), " (点播)", " (按条收费)", " (二进制信息)", "二进制信息!"},
        {"card write content", with([](SubmitFields& f) { f.format = 3; }), " (点播)", " (按条收费)", " (短信写卡操作)", "短信写卡操作!"},
        {"format without a rule", with([](SubmitFields& f) { f.format = 9; }), " (点播)", " (按条收费)", " (未知)",
         "Unknown data_coding，can't parse!"},
        {"no destinations", with([](SubmitFields& f) { f.dests.clear(); }), " (点播)", " (按条收费)", " (ASCII串)", "abc"},
        {"empty content", with([](SubmitFields& f) { f.content.clear(); }), " (点播)", " (按条收费)", " (ASCII串)", ""},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        const auto body = SubmitBody(v.fields);
        Expect e = Smgp2Lines("0x00000002 (CP发送短消息请求)", body.size());
        SubmitLines(e, 0, v.typeName, "SUBMIT: 服务类型", v.fields, v.feeSuffix, v.formatName, v.content);
        ExpectLines(Smgp2(0x00000002, body), true, e);
    }
}

TEST(SmgpTable, CommandsWithoutABodyShowTheHeaderOnly) {
    struct Command {
        uint16_t protocol;
        uint32_t id;
        std::string request;
    };
    const Command commands[] = {
        {kSmgp2, 0x00000004, "0x00000004 (测试通信链路是否正常请求)"},
        {kSmgp2, 0x80000004, "0x80000004 (测试通信链路是否正常回应)"},
        {kSmgp2, 0x00000005, "0x00000005 (SMGW转发MT/MO短消息请求)"},
        {kSmgp2, 0x80000005, "0x80000005 (SMGW转发MT/MO短消息回应)"},
        {kSmgp2, 0x00000006, "0x00000006 (退出请求)"},
        {kSmgp2, 0x80000006, "0x80000006 (退出回应)"},
        {kSmgp2, 0x00000007, "0x00000007 (CP统计查询请求)"}, // named, but no case
        {kSmgp2, 0x12345678, "0x12345678 (未知)"},
        {kSmgp3, 0x00000004, "0x00000004 (测试通信链路是否正常请求)"},
        {kSmgp3, 0x80000004, "0x80000004 (测试通信链路是否正常回应)"},
        {kSmgp3, 0x00000006, "0x00000006 (退出请求)"},
        {kSmgp3, 0x80000006, "0x80000006 (退出回应)"},
        {kSmgp3, 0x00000016, "0x00000016 (SMGW向SP发送的交易请求)"}, // a 2.0 command without a 3.0 case
        {kSmgp3, 0x80000009, "0x80000009 (MO路由更新回应)"},
    };
    for (const Command& c : commands) {
        SCOPED_TRACE(c.request);
        Expect e(c.protocol, 12);
        if (c.protocol == kSmgp2)
            Smgp2Header(e, 12, c.request, 7);
        else
            Smgp3Header(e, 12, c.request, 7);
        ExpectLines(CaptureRecord(c.protocol, SmgpPdu(c.id, 7)), false, e);
    }
}

TEST(SmgpTable, HeaderAndBodyLinesCarryTheirIcons) {
    CPacketDecoder decoder;
    const auto record = Smgp3(0x00000001, LoginBody(0x30));
    decoder.Decode(record.data(), static_cast<int32_t>(record.size()));
    const std::vector<DecodeLine>& lines = decoder.Lines();
    ASSERT_EQ(lines.size(), 16u) << Dump(lines);
    struct Icon {
        size_t line;
        int32_t iconId;
        int32_t isGroup;
    };
    const Icon icons[] = {{6, 155, 1}, {7, 158, 0}, {9, 158, 0}, {10, 161, 1}, {11, 163, 0}, {15, 163, 0}};
    for (const Icon& i : icons) {
        SCOPED_TRACE(lines[i.line].text);
        EXPECT_EQ(lines[i.line].iconId, i.iconId);
        EXPECT_EQ(lines[i.line].isGroup, i.isGroup);
    }
}

TEST(SmgpTable, BadRecordsEndWithAnErrorLine) {
    std::vector<Case> cases;
    {
        const auto pdu = SmgpPdu(0x00000001, 7, LoginBody(0x20));
        const std::vector<uint8_t> cut(pdu.begin(), pdu.begin() + 6); // length and half the request id
        Expect e(kSmgp2, cut.size());
        e.group(290, "SMGP: ----- 中国电信短信网关协议 -----").field(291, "SMGP: 长度 = 42", 4).error(298, kUnknownError);
        cases.push_back({"cut inside the header", CaptureRecord(kSmgp2, cut), false, e});
    }
    // The fixed submit fields ahead of the destination count, as bytes and as lines.
    auto submitHead = [](Builder& b) {
        b.u8(3).u8(1).u8(1).text("HELP", 10).text("01", 2).text("000010", 6).text("000000", 6).u8(0);
        b.text("", 17).text("", 17).text("10620000", 21).text("13300000009", 21);
    };
    auto submitHeadLines = [](Expect& e, size_t pduSize) -> Expect& {
        return Smgp2Header(e, static_cast<uint32_t>(pduSize), "0x00000002 (CP发送短消息请求)", 7)
            .group(499, "SUBMIT: ----- CP发送短消息请求 -----")
            .field(500, "SUBMIT: 短消息类型 = 3 (点播)", 1)
            .field(501, "SUBMIT: 是否要求返回状态报告 = 1 (需要/是)", 1)
            .field(502, "SUBMIT: 发送优先级 = 1", 1)
            .field(503, "SUBMIT: 服务类型 = HELP", 10)
            .field(504, "SUBMIT: 收费类型 = 01 (按条收费)", 2)
            .field(505, "SUBMIT: 资费代码 = 000010", 6)
            .field(506, "SUBMIT: 包月费 = 000000", 6)
            .field(507, "SUBMIT: 短信格式 = 0 (ASCII串)", 1)
            .field(508, "SUBMIT: 有效时间 = ", 17)
            .field(509, "SUBMIT: 定时发送时间 = ", 17)
            .field(510, "SUBMIT: 短信发送号码 = 10620000", 21)
            .field(511, "SUBMIT: 计费用户 = 13300000009", 21);
    };
    {
        Builder b;
        submitHead(b);
        b.u8(1).text("13300000001", 21).u8(200).raw("abcd"); // the length claims 200 octets, 4 follow
        const auto pdu = SmgpPdu(0x00000002, 7, b);
        Expect e(kSmgp2, pdu.size());
        submitHeadLines(e, pdu.size())
            .field(512, "SUBMIT: 短信接收号码总数 = 1", 1)
            .field(513, "SUBMIT: 短信接收号码 = 13300000001", 21)
            .field(514, "SUBMIT: 短信长度 = 200", 1)
            .error(515, kUnknownError);
        cases.push_back({"content longer than the record", CaptureRecord(kSmgp2, pdu), false, e});
    }
    {
        Builder b;
        submitHead(b);
        b.u8(255).text("13300000001", 21).u8(2).raw("hi").fill(8); // 255 numbers claimed, one present
        const auto pdu = SmgpPdu(0x00000002, 7, b);
        Expect e(kSmgp2, pdu.size());
        submitHeadLines(e, pdu.size()).field(512, "SUBMIT: 短信接收号码总数 = 255", 1).error(513, kUnknownError);
        cases.push_back({"destination count past the record", CaptureRecord(kSmgp2, pdu), false, e});
    }
    {
        const auto body = TransactionBody(0xFFFF, Builder().raw("PING"));
        Expect e = Smgp2Lines("0x00000016 (SMGW向SP发送的交易请求)", body.size());
        TransactionLines(e, "65535").error(640, kLengthError);
        cases.push_back({"transaction body of 65535 octets", Smgp2(0x00000016, body), false, e});
    }
    struct RespLength {
        const char* name;
        std::vector<uint8_t> octets;
        std::string shown;
        const char* error;
    };
    const RespLength respLengths[] = {
        // Written high octet first as the request's is, 3 reads as 768 and overruns the record.
        {"response length in network order", {0, 3}, "768", kUnknownError},
        {"response length -1", {0xFF, 0xFF}, "-1", kLengthError},
        // A negative width other than -1 must not move the walk backwards.
        {"response length -32768", {0x00, 0x80}, "-32768", kLengthError},
        {"response length 4096", {0x00, 0x10}, "4096", kLengthError},
    };
    for (const RespLength& r : respLengths) {
        const auto body = TransactionRespBody(0, r.octets, Builder().raw("ACK"));
        Expect e = Smgp2Lines("0x80000016 (SMGW向SP发送的交易响应)", body.size());
        TransactionRespLines(e, 0, r.shown).error(674, r.error);
        cases.push_back({r.name, Smgp2(0x80000016, body), false, e});
    }
    SubmitFields mt;
    mt.msgType = 6;
    mt.feeType = "02";
    mt.format = 0;
    mt.dests = {"13300000001"};
    mt.content = {'h', 'i'};
    auto smgp3SubmitLines = [&mt](Expect& e) -> Expect& {
        return SubmitLines(e, 2000, " (MT消息 SP发给终端)", "SUBMIT: 业务代码", mt, " (包月)", " (ASCII串)", "hi");
    };
    {
        auto body = Concat(SubmitBody(mt), Tlv(4, {2}));
        body = Concat(body, Builder().u16(3).u16(20).raw("LINK0"));
        Expect e = Smgp3Lines("0x00000002 (CP发送短消息请求)", body.size());
        smgp3SubmitLines(e).field(2517, "SUBMIT TLV: 计费用户类型 = 2 (对SP计费)", 5).error(2517, kUnknownError);
        cases.push_back({"last TLV claims 20 octets, 5 follow", Smgp3(0x00000002, body), false, e});
    }
    {
        const auto body = Concat(SubmitBody(mt), Builder().u16(3).u8(0)); // tag and half a length
        Expect e = Smgp3Lines("0x00000002 (CP发送短消息请求)", body.size());
        smgp3SubmitLines(e).error(2517, kUnknownError);
        cases.push_back({"TLV cut inside its length", Smgp3(0x00000002, body), false, e});
    }
    {
        const DeliverFields f;
        const auto body = Concat(DeliverBody(f), Builder().u16(1).u16(2).u8(0));
        Expect e = Smgp3Lines("0x00000003 (SMGW向CP发送短消息请求)", body.size());
        DeliverLines(e, 2000, f, " (不需要/否)", " (UCS2编码)", "中文").error(2612, kUnknownError);
        cases.push_back({"deliver TLV one octet short", Smgp3(0x00000003, body), false, e});
    }
    RunCases(cases);
}

// A report flag over content too short for a report's layout: the line keeps the field's octets
// and the walk goes on to the reserved field.
TEST(SmgpTable, ShortReportContentStaysInsideItsField) {
    for (size_t length : {0u, 2u, 5u, 12u, 13u}) {
        SCOPED_TRACE(length);
        DeliverFields f;
        f.isReport = 1;
        f.format = 0;
        const auto full = ReportContent();
        f.content.assign(full.begin(), full.begin() + static_cast<long>(length));
        const auto record = Smgp2(0x00000003, DeliverBody(f));
        CPacketDecoder decoder;
        EXPECT_TRUE(decoder.Decode(record.data(), static_cast<int32_t>(record.size())));
        const std::vector<DecodeLine>& lines = decoder.Lines();
        ASSERT_EQ(lines.size(), 20u) << Dump(lines);
        const int32_t contentOffset = 16 + 12 + 10 + 1 + 1 + 14 + 21 + 21 + 1;
        EXPECT_EQ(lines[18].id, 610);
        EXPECT_EQ(lines[18].offset, contentOffset);
        EXPECT_EQ(lines[18].width, static_cast<int32_t>(length));
        EXPECT_EQ(lines[18].text.rfind("DELIVER: 短信内容 =", 0), 0u);
        EXPECT_EQ(lines[19].id, 611);
        EXPECT_EQ(lines[19].offset, contentOffset + static_cast<int32_t>(length));
    }
}

TEST(SmgpTable, Smgp3CommandsAreNamedLikeSmgp2) {
    CPacketDecoder decoder;
    const uint32_t codes[] = {0x00000001, 0x80000001, 0x00000002, 0x80000002, 0x00000003, 0x80000003, 0x00000004,
                              0x80000004, 0x00000005, 0x80000005, 0x00000006, 0x80000006, 0x00000007, 0x80000007,
                              0x00000008, 0x80000008, 0x00000009, 0x80000009, 0x00000016, 0x80000016};
    for (uint32_t code : codes) {
        SCOPED_TRACE(code);
        EXPECT_NE(decoder.LookupCodeName(298, code), "未知");
        EXPECT_EQ(decoder.LookupCodeName(2298, code), decoder.LookupCodeName(298, code));
    }
    EXPECT_EQ(decoder.LookupCodeName(2298, 0x00000008), "MT路由更新请求");
    EXPECT_EQ(decoder.LookupCodeName(2298, 0x80000016), "SMGW向SP发送的交易响应");
    EXPECT_EQ(decoder.LookupCodeName(2298, 0x00000010), "未知");
}

TEST(SmgpTable, EveryReferenceNamesARowOfTheFamily) {
    const decode_table::Family family = decode_table::SmgpFamily();
    std::set<int32_t> ids;
    for (const FieldDescriptor& d : family.descriptors) ids.insert(d.id);
    for (const FieldDescriptor& d : family.descriptors) {
        SCOPED_TRACE(std::to_string(d.id) + " " + d.label);
        EXPECT_GT(d.id, 0);
        if (d.next > 0) {
            EXPECT_TRUE(ids.count(d.next));
        }
        if (d.next == decode_table::kDispatch) {
            EXPECT_TRUE(ids.count(d.selectorId));
        }
        if (d.selectorId > 0) {
            EXPECT_EQ(d.next, decode_table::kDispatch);
        }
        if (d.widthSourceId > 0) {
            EXPECT_TRUE(ids.count(d.widthSourceId));
            EXPECT_EQ(d.width, decode_table::kVariable);
        }
        if (d.width == decode_table::kVariable && d.kind != 70) {
            EXPECT_GT(d.widthSourceId, 0);
        }
    }
    // A borrowed list is one of the family's own or one of the CMPP lists (report flags, message formats).
    std::set<int32_t> categories;
    for (const decode_table::Family& lists : {family, decode_table::CmppFamily()})
        for (const ValueName& v : lists.valueNames) categories.insert(v.category);
    for (const NameCategory& n : family.nameCategories) {
        SCOPED_TRACE(n.descriptorId);
        EXPECT_TRUE(ids.count(n.descriptorId));
        EXPECT_TRUE(categories.count(n.category));
    }
    // The rows are loaded into the whole table: each family row is reachable there by its id.
    CPacketDecoder decoder;
    for (int32_t id : ids) EXPECT_GE(decoder.PositionOf(id), 0) << id;
}
