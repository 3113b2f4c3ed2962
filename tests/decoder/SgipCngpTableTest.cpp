// SGIP and CNGP records decode to the exact lines of their tables, and bad records end in an error line.
#include "decoder/PacketDecoder.h"
#include "decoder/tables/Tables.h"
#include "tests/support/Bytes.h"
#include "tests/support/DecodeExpect.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;
using namespace test_decode;

// The node id and the sequence lie above 2^31 so a signed print would show.
constexpr uint32_t kNode = 3000012345u;
constexpr uint32_t kStamp = 1206153000u;
constexpr uint32_t kSequence = 4000000001u;

// SGIP: length, command id and the 12-byte sequence (node id, time stamp, sequence).
Bytes SgipPdu(uint32_t command, const Bytes& body) {
    return Builder().u32(static_cast<uint32_t>(20 + body.size())).u32(command).u32(kNode).u32(kStamp).u32(kSequence)
        .raw(body);
}

// CNGP: length, command id, command status, sequence number.
Bytes CngpPdu(uint32_t command, uint32_t status, const Bytes& body) {
    return Builder().u32(static_cast<uint32_t>(16 + body.size())).u32(command).u32(status).u32(77).raw(body);
}
Bytes CngpCasePdu(uint32_t command, const Bytes& body) { return CngpPdu(command, 0, body); }

const Protocol kSgip{6, "SGIP", 1300, "SGIP: ----- 联通短消息网关系统接口协议 -----", 160, 156,
                     {{1301, "SGIP: 长度", 4}, {1302, "SGIP: 命令", 4}, {1303, "SGIP: 序号", 12}}, SgipPdu,
                     {"3000012345 1206153000 4000000001"}};
const Protocol kCngp{7, "CNGP", 1700, "CNGP: ----- 短消息网关与服务提供商（SP）接口协议 -----", 160, 156,
                     {{1701, "CNGP: 消息总长度", 4}, {1702, "CNGP: 命令标识", 4}, {1703, "CNGP: command status", 4},
                      {1704, "CNGP: sequence number", 4}},
                     CngpCasePdu, {"0 (成功)", "77"}};

CPacketDecoder& Decoder() {
    static CPacketDecoder decoder;
    return decoder;
}

void RunCases(const Protocol& p, const std::vector<PduCase>& cases) { RunPduCases(Decoder(), p, cases); }

TEST(SgipCngpRows, HoldTogetherAndNameEveryCase) {
    ExpectRowsHoldTogether(decode_table::SgipCngpFamily());
    EXPECT_EQ(ExpectCasesNamed(decode_table::SgipCngpFamily(), 1302, 1302), 10);
    EXPECT_EQ(ExpectCasesNamed(decode_table::SgipCngpFamily(), 1702, 1702), 10);
}

// Capture and protocol header once per protocol: a command without a body ends after the
// sequence, false and without an error line, and a record ending inside the sequence shows
// the error line there. CNGP names its command status as SMGP names its results.
TEST(SgipCngpDecode, Headers) {
    const Bytes unbind = SgipPdu(2, {}), exit = CngpPdu(6, 0, {});
    Expect sgip, sgipCut, cngp, cngpCut;
    sgip.CaptureHeader(kSgip, 36).Header(kSgip, {"20", "0x00000002 (Unbind命令)", "3000012345 1206153000 4000000001"});
    ExpectDecode(Decoder(), CaptureRecord(kSgip.code, unbind), false, sgip.lines());
    sgipCut.CaptureHeader(kSgip, 29).Header(kSgip, {"20", "0x00000002 (Unbind命令)"});
    ExpectDecode(Decoder(), CaptureRecord(kSgip.code, Bytes(unbind.begin(), unbind.begin() + 13)), false,
                 sgipCut.lines());
    cngp.CaptureHeader(kCngp, 32).Header(kCngp, {"16", "0x00000006 (退出请求)", "0 (成功)", "77"});
    ExpectDecode(Decoder(), CaptureRecord(kCngp.code, exit), false, cngp.lines());
    cngpCut.CaptureHeader(kCngp, 30).Header(kCngp, {"16", "0x00000006 (退出请求)", "0 (成功)"});
    ExpectDecode(Decoder(), CaptureRecord(kCngp.code, Bytes(exit.begin(), exit.begin() + 14)), false, cngpCut.lines());

    const struct {
        uint32_t status;
        const char* text;
    } statuses[] = {{1, "1 (系统忙)"},   {2, "2 (超过最大连接数)"}, {21, "21 (认证错)"}, {22, "22 (版本太高)"},
                    {39, "39 (路由错误)"}, {3, "3 (未知)"},           {40, "40 (未知)"},    {256, "256 (未知)"}};
    for (const auto& s : statuses) {
        SCOPED_TRACE(s.text);
        ExpectDecode(Decoder(), CaptureRecord(kCngp.code, CngpPdu(0x80000004, s.status, {})), false,
                     Expect().Header(kCngp, {"16", "0x80000004 (测试通信链路是否正常的应答)", s.text, "77"}).lines(), 6);
    }
}

Bytes SgipSubmit(uint8_t users, uint32_t messageLength, std::string_view content) {
    Builder b;
    b.text("10655", 21).text("8613800000000", 21).u8(users);
    for (int i = 0; i < users; ++i) b.text("861390000000" + std::to_string(i + 1), 21);
    b.text("12345", 5).text("HELP", 10).u8(2).text("000010", 6).text("0", 6); // code and fee fill their fields: no NUL
    b.u8(1).u8(2).u8(9).text("", 16).text("", 16).u8(1).u8(0).u8(0).u8(15).u8(0);
    return b.u32(messageLength).raw(content).text("", 8);
}

std::vector<Field> SgipSubmitLines(uint8_t users, const std::string& firstUser, int32_t contentSize,
                                   const std::string& content) {
    return {{1314, "SUBMIT: ----- 提交MT短消息 -----", 0},
            {1340, "SUBMIT: SP的接入号码 = 10655", 21}, {1341, "SUBMIT: 付费号码 = 8613800000000", 21},
            {1342, "SUBMIT: 接收短消息的手机数量 = " + std::to_string(users), 1},
            {1343, "SUBMIT: 接收该短消息的手机号 = " + firstUser, 21 * users}, {1344, "SUBMIT: 企业代码 = 12345", 5},
            {1345, "SUBMIT: 业务代码 = HELP", 10}, {1346, "SUBMIT: 计费类型 = 2 (对\"计费用户号码\"按条计信息费)", 1},
            {1348, "SUBMIT: 该条短消息的收费值(分) = 000010", 6}, {1350, "SUBMIT: 赠送用户的话费(分) = 0", 6},
            {1351, "SUBMIT: 代收费标志 = 1 (实收)", 1}, {1352, "SUBMIT: 引起MT消息的原因 = 2 (非MO点播引起的MT消息)", 1},
            {1354, "SUBMIT: 优先级0-9从低到高 = 9", 1}, {1355, "SUBMIT: 短消息寿命的终止时间 = ", 16},
            {1356, "SUBMIT: 短消息定时发送的时间 = ", 16}, {1357, "SUBMIT: 状态报告标记 = 1 (该条消息无论最后是否成功都要返回状态报告)", 1},
            {1358, "SUBMIT: GSM协议类型 = 0", 1}, {1359, "SUBMIT: GSM协议类型 = 0", 1},
            {1360, "SUBMIT: 短消息的编码格式 = 15 (含GB汉字)", 1}, {1361, "SUBMIT: 信息类型 = 0 (短消息信息)", 1},
            {1362, "SUBMIT: 短消息的长度 = " + std::to_string(contentSize), 4},
            {1363, "SUBMIT: 短消息的内容 = " + content, contentSize},
            {1365, "SUBMIT: LinkID = ", 8}};
}

Bytes SgipDeliver(uint8_t coding, uint32_t length, const Bytes& content) {
    return Builder().text("8613900000001", 21).text("10655", 21).u8(0).u8(1).u8(coding).u32(length).raw(content)
        .text("", 8);
}

// The deliver lines up to its message length.
std::vector<Field> SgipDeliverHead(const std::string& coding, const std::string& length) {
    return {{1316, "DELIVER: ----- 发送MO短消息 -----", 0},
            {1381, "DELIVER: 发送短消息的用户手机号 = 8613900000001", 21}, {1382, "DELIVER: SP的接入号码 = 10655", 21},
            {1384, "DELIVER: GSM协议类型 = 0", 1}, {1385, "DELIVER: GSM协议类型 = 1", 1},
            {1386, "DELIVER: 短消息的编码格式 = " + coding, 1},
            {1387, "DELIVER: 短消息的长度 = " + length, 4}};
}

TEST(SgipCngpDecode, SgipBodies) {
    const Bytes gbk = {0xC4, 0xE3, 0xBA, 0xC3};  // "你好" in GBK
    const Bytes ucs2 = {0x4F, 0x60, 0x59, 0x7D}; // "你好" in UCS-2: a deliver shows it as text whatever the coding
    const Bytes reserved = Builder().text("", 8);
    const Field linkId{1389, "DELIVER: LinkID = ", 8};
    std::vector<PduCase> cases = {
        {"bind", 0x00000001, "登录命令", Builder().u8(1).text("sp001", 16).text("secret", 16).text("", 8),
         {{1310, "BIND: ----- BIND(登录) -----", 0}, {1320, "BIND: 登录类型 = 1 (SP向SMG建立的连接，用于发送命令)", 1},
          {1321, "BIND: 登录名 = sp001", 16}, {1322, "BIND: 密码 = secret", 16}, {1323, "BIND: 保留 = ", 8}}},
        {"bind response, success", 0x80000001, "登录应答", Builder().u8(0).raw(reserved),
         {{1311, "BIND_RESP: ----- BIND(登录)应答 -----", 0}, {1331, "BIND_RESP: Bind执行命令是否成功 = 0 (成功)", 1},
          {1330, "BIND_RESP: 保留 = ", 8}}},
        {"submit to two users, GB text", 0x00000003, "提交MT短消息", SgipSubmit(2, 4, std::string(gbk.begin(), gbk.end())),
         SgipSubmitLines(2, "8613900000001", 4, "你好")},
        {"submit to no user", 0x00000003, "提交MT短消息", SgipSubmit(0, 5, "hello"), SgipSubmitLines(0, "", 5, "hello")},
        {"submit response", 0x80000003, "提交MT短消息应答", Builder().u8(0).raw(reserved),
         {{1315, "SUBMIT_RESP: ----- 提交MT短消息应答 -----", 0}, {1370, "SUBMIT_RESP: Submit命令是否成功接收 = 0 (成功)", 1},
          {1371, "SUBMIT_RESP: 保留 = ", 8}}},
        {"deliver, plain text", 0x00000004, "发送MO短消息", SgipDeliver(0, 8, Builder().raw("hi there")),
         Join(SgipDeliverHead("0 (ASCII串)", "8"), {{1388, "DELIVER: 短消息的内容 = hi there", 8}, linkId})},
        {"deliver, UCS-2 shown as text", 0x00000004, "发送MO短消息", SgipDeliver(8, 4, ucs2),
         Join(SgipDeliverHead("8 (UCS2编码)", "4"), {{1388, "DELIVER: 短消息的内容 = O`Y}", 4}, linkId})},
        {"deliver response", 0x80000004, "发送MO短消息应答", Builder().u8(0).raw(reserved),
         {{1317, "DELIVER_RESP: ----- 发送MO短消息应答 -----", 0},
          {1395, "DELIVER_RESP: Deliver命令是否成功接收 = 0 (成功)", 1}, {1396, "DELIVER_RESP: 保留  ", 8}}},
        {"report of a failed submit", 0x00000005, "发送状态报告",
         Builder().u32(kNode).u32(1206150000u).u32(7).u8(0).text("8613900000001", 21).u8(2).u8(25).text("", 8)
             .text("10655", 21),
         {{1400, "REPORT: ----- 发送状态报告 -----", 0}, {1401, "REPORT: 序号 = 3000012345 1206150000 7", 12},
          {1402, "REPORT: 命令类型 = 0 (对先前一条Submit命令的状态报告)", 1}, {1403, "REPORT: 接收短消息的手机 = 8613900000001", 21},
          {1404, "REPORT: 执行状态 = 2 (发送失败)", 1}, {1405, "REPORT: 错误码值 = 25 (用户不能通信)", 1}, {1406, "REPORT: 保留 = ", 8},
          {1407, "REPORT: SP的接入号码 = 10655", 21}}},
        {"report response", 0x80000005, "发送状态报告应答", Builder().u8(3).raw(reserved),
         {{1410, "REPORT_RESP: ----- 发送状态报告应答 -----", 0},
          {1411, "REPORT_RESP: Report命令是否成功接收 = 3 (失败)", 1}, {1412, "REPORT_RESP: 保留  ", 8}}},
        // three of the five content octets
        {"content longer than the record", 0x00000003, "提交MT短消息", SgipSubmit(1, 5, "hello"),
         [] {
             std::vector<Field> lines = SgipSubmitLines(1, "8613900000001", 5, "");
             lines.resize(lines.size() - 2); // the content and the LinkID after it
             lines.push_back({1363, kUnknownError, kRest});
             return lines;
         }(),
         false, 8 + 2},
        // 4200 octets of users in a record of a few hundred
        {"user count beyond the record", 0x00000003, "提交MT短消息", [] {
             Bytes body = SgipSubmit(2, 5, "hello");
             body[42] = 200;
             return body;
         }(),
         {{1314, "SUBMIT: ----- 提交MT短消息 -----", 0}, {1340, "SUBMIT: SP的接入号码 = 10655", 21},
          {1341, "SUBMIT: 付费号码 = 8613800000000", 21}, {1342, "SUBMIT: 接收短消息的手机数量 = 200", 1},
          {1343, kUnknownError, kRest}},
         false},
    };
    // A message length no record can hold is a width error at the content, whatever follows it.
    for (uint32_t length : {4096u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        cases.push_back({"impossible message length", 0x00000004, "发送MO短消息",
                         SgipDeliver(0, length, Builder().raw("hello")),
                         Join(SgipDeliverHead("0 (ASCII串)", std::to_string(length)),
                              {{1388, kLengthError, kRest}}),
                         false});
    }
    // Commands without a body line show the header and nothing after it, without an error line.
    const struct {
        uint32_t command;
        const char* name;
    } headerOnly[] = {{0x00000002, "Unbind命令"}, {0x80000002, "Unbind_Resp应答"}, {0x10000001, "激活测试"},
                      {0x10000010, "激活测试应答"}, {0x00000099, "未知"}};
    for (const auto& h : headerOnly) {
        cases.push_back({h.name, h.command, h.name, {}, {}, false});
        cases.push_back({h.name, h.command, h.name, Builder().u8(0).raw(reserved), {}, false});
    }
    RunCases(kSgip, cases);
    RunLineCases(Decoder(), {
        {"bind refused", Record(kSgip, 0x80000001, Builder().u8(1).raw(reserved)), 1331,
         "BIND_RESP: Bind执行命令是否成功 = 1 (失败)", 1},
        {"submit refused", Record(kSgip, 0x80000003, Builder().u8(1).raw(reserved)), 1370,
         "SUBMIT_RESP: Submit命令是否成功接收 = 1 (失败)", 1},
        {"submit result without a row", Record(kSgip, 0x80000003, Builder().u8(255).raw(reserved)), 1370,
         "SUBMIT_RESP: Submit命令是否成功接收 = 255 (失败)", 1},
    });
}

Bytes Tlv(uint16_t tag, uint8_t value) { return Builder().u16(tag).u16(1).u8(value); }

// The submit up to its fee type, then the rest; the fee type is two characters.
Bytes CngpSubmit(std::string_view feeType, const Bytes& tail) {
    return Builder().text("1234567890", 10).u8(2).u8(1).u8(3).text("HELP", 10).text(feeType, 2).u8(2).text("000010", 6)
        .u8(15).text("", 17).text("", 17).text("10655", 21).text("", 21).u8(1).text("13900000001", 21).u8(5)
        .raw("hello").raw(tail);
}

std::vector<Field> CngpSubmitLines(const std::string& feeType) {
    return {{1730, "SUBMIT: ----- SP发送短消息请求 -----", 0},
            {1731, "SUBMIT: SP的企业代码 = 1234567890", 10}, {1732, "SUBMIT: 短消息子类型 = 2 (点播下发)", 1},
            {1733, "SUBMIT: 是否要求返回状态报告 = 1 (要求)", 1}, {1734, "SUBMIT: 发送优先级 = 3", 1}, {1735, "SUBMIT: 业务类型 = HELP", 10},
            {1736, "SUBMIT: 资费类型 = " + feeType, 2}, {1737, "SUBMIT: 计费用户类型字段 = 2 (对SP计费)", 1},
            {1738, "SUBMIT: 每条短消息的信息费 = 000010", 6}, {1739, "SUBMIT: 短消息格式 = 15 (GB2312编码)", 1},
            {1740, "SUBMIT: 有效时间 = ", 17}, {1741, "SUBMIT: 定时发送时间 = ", 17}, {1742, "SUBMIT: 发送用户号码 = 10655", 21},
            {1743, "SUBMIT: 计费用户号码 = ", 21}, {1744, "SUBMIT: 接收号码总数 = 1", 1}, {1745, "SUBMIT: 接收号码 = 13900000001", 21},
            {1746, "SUBMIT: 短消息长度 = 5", 1},
            {1747, "SUBMIT: 短消息内容 = hello", 5}};
}

Bytes CngpDeliver(uint8_t isReport, uint8_t format, const Bytes& content) {
    return Builder().text("0000000001", 10).u8(isReport).u8(format).text("20061215123000", 14) // time fills its field
        .text("13900000001", 21).text("10655", 21).u8(static_cast<uint8_t>(content.size())).raw(content)
        .raw(Tlv(0x0100, 0));
}

// The deliver lines up to its content length.
std::vector<Field> CngpDeliverHead(const std::string& isReport, const std::string& format, const std::string& length) {
    return {{1760, "DELIVER: ----- SMGW发送短消息请求 -----", 0},
            {1761, "DELIVER: SMGW产生的短消息流水号 = 0000000001", 10}, {1762, "DELIVER: 是否状态报告 = " + isReport, 1},
            {1763, "DELIVER: 短消息格式 = " + format, 1}, {1764, "DELIVER: 接收时间 = 20061215123000", 14},
            {1765, "DELIVER: 发送用户号码 = 13900000001", 21}, {1766, "DELIVER: 接收用户号码 = 10655", 21},
            {1767, "DELIVER: 短消息长度 = " + length, 1}};
}

TEST(SgipCngpDecode, CngpBodies) {
    const std::vector<Field> deliverTlv = {{1770, "DELIVER: 协议标识-标识 = 256 (协议标识)", 2},
                                           {1771, "DELIVER: 协议标识-实际长度 = 1", 2},
                                           {1772, "DELIVER: 协议标识-值 = 0", 1}};
    // a report: "id:", ten raw bytes of message id, then text
    const Bytes report = Builder().raw("id:").raw(Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 0xAB}).raw(" stat:DELIVRD err:000");
    const auto reportSize = static_cast<int32_t>(report.size());
    std::vector<PduCase> cases = {
        {"login", 0x00000001, "登录请求",
         Builder().text("1234567890", 10).text("authenticator01", 16).u8(2).u32(1206153000).u8(0x20),
         {{1710, "LOGIN: ----- 请求连接 -----", 0}, {1711, "LOGIN: SPID(SP企业代码) = 1234567890", 10},
          {1712, "LOGIN: 客户端密码 = authenticator01", 16}, {1713, "LOGIN: 登录类型 = 2 (收发短消息)", 1},
          {1714, "LOGIN: 时间戳的明文 = 1206153000", 4}, {1715, "LOGIN: 客户端版本号 = 2.0", 1}}},
        {"login response", 0x80000001, "登录请求的应答", Builder().text("server-auth", 16).u8(0x20),
         {{1720, "LOGIN_RESP: ----- 请求连接应答 -----", 0}, {1721, "LOGIN_RESP: 服务器端认证码 = server-auth", 16},
          {1722, "LOGIN_RESP: 服务器版本号 = 2.0", 1}}},
        {"submit with its protocol id", 0x00000002, "SP发送短消息请求", CngpSubmit("01", Tlv(0x0100, 1)),
         Join(CngpSubmitLines("01 (按条收费)"), {{1748, "SUBMIT: 协议标识-标识 = 256 (协议标识)", 2},
                                                {1749, "SUBMIT: 协议标识-实际长度 = 1", 2},
                                                {1750, "SUBMIT: 协议标识-值 = 1", 1}})},
        {"submit without the optional protocol id", 0x00000002, "SP发送短消息请求", CngpSubmit("01", {}),
         CngpSubmitLines("01 (按条收费)")},
        {"submit response with congestion state", 0x80000002, "SP发送短消息请求的应答",
         Builder().text("0123456789", 10).raw(Tlv(0x0428, 2)),
         {{1755, "SUBMIT_RESP: ----- SP发送短消息请求应答 -----", 0}, {1756, "SUBMIT_RESP: SMGW产生的短消息流水号 = 0123456789", 10},
          {1757, "SUBMIT_RESP: 流量控制-标识 = 1064 (拥塞状态)", 2}, {1758, "SUBMIT_RESP: 流量控制-实际长度 = 1", 2},
          {1759, "SUBMIT_RESP: 流量控制-值 = 2", 1}}},
        {"deliver of a UCS-2 message", 0x00000003, "SMGW发送短消息请求", CngpDeliver(0, 8, {0x4F, 0x60, 0x59, 0x7D}),
         Join(Join(CngpDeliverHead("0 (不是)", "8 (UCS2编码)", "4"), {{1768, "DELIVER: 短消息内容 = 你好", 4}}), deliverTlv)},
        {"deliver of a status report", 0x00000003, "SMGW发送短消息请求", CngpDeliver(1, 0, report),
         Join(Join(CngpDeliverHead("1 (是)", "0 (ASCII编码)", std::to_string(reportSize)),
                   {{1768, "DELIVER: 短消息内容 = id:000102030405060708AB stat:DELIVRD err:000", reportSize}}),
              deliverTlv)},
        {"deliver response", 0x80000003, "SMGW发送短消息的应答", Builder().text("0000000001", 10).raw(Tlv(0x0428, 0)),
         {{1780, "DELIVER_RESP: ----- SMGW发送短消息请求应答 -----", 0}, {1781, "DELIVER_RESP: SMGW产生的短消息流水号 = 0000000001", 10},
          {1782, "DELIVER_RESP: 流量控制-标识 = 1064 (拥塞状态)", 2}, {1783, "DELIVER_RESP: 流量控制-实际长度 = 1", 2},
          {1784, "DELIVER_RESP: 流量控制-值 = 0", 1}}},
        // one byte of the tag left
        {"cut inside the protocol-id tag", 0x00000002, "SP发送短消息请求", CngpSubmit("01", Tlv(0x0100, 1)),
         Join(CngpSubmitLines("01 (按条收费)"), {{1748, kUnknownError, kRest}}), false, 4},
        {"content length past the record", 0x00000003, "SMGW发送短消息请求",
         [] {
             Bytes body = CngpDeliver(0, 0, Builder().raw("hello"));
             body[68] = 200;
             return body;
         }(),
         Join(CngpDeliverHead("0 (不是)", "0 (ASCII编码)", "200"), {{1768, kUnknownError, kRest}}), false},
    };
    const struct {
        uint32_t command;
        const char* name;
    } headerOnly[] = {{0x00000004, "测试通信链路是否正常请求"}, {0x80000004, "测试通信链路是否正常的应答"},
                      {0x00000006, "退出请求"}, {0x80000006, "退出请求的应答"}, {0x00000005, "未知"}};
    for (const auto& h : headerOnly) {
        cases.push_back({h.name, h.command, h.name, {}, {}, false});
        cases.push_back({h.name, h.command, h.name, Builder().fill(12, 0x31), {}, false});
    }
    RunCases(kCngp, cases);

    // The fee type is two characters whose decimal value picks the name.
    std::vector<LineCase> feeTypes;
    for (const auto& [fee, name] : std::vector<std::pair<std::string, std::string>>{
             {"00", "00 (免费)"}, {"01", "01 (按条收费)"}, {"02", "02 (包月)"}, {"03", "03 (封顶)"},
             {"04", "04 (包月扣费请求)"}, {"05", "05 (CR话单)"}, {"06", "06 (保留)"}, {"99", "99 (保留)"},
             {"1", "1 (按条收费)"}, // one digit and a NUL
             {"", " (免费)"}}) {     // no digits reads as 0
        feeTypes.push_back(
            {"fee type " + fee, Record(kCngp, 2, CngpSubmit(fee, {})), 1736, "SUBMIT: 资费类型 = " + name, 2});
    }
    feeTypes.push_back({"unknown tag", Record(kCngp, 0x80000003, Builder().text("0000000001", 10).raw(Tlv(0x0007, 0))),
                        1782, "DELIVER_RESP: 流量控制-标识 = 7 (未知)", 2});
    RunLineCases(Decoder(), feeTypes);
}

} // namespace
