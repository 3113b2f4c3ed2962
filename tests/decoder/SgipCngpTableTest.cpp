// SGIP and CNGP records decode to the exact lines of their tables, and bad records end in an error line.
#include "decoder/PacketDecoder.h"
#include "decoder/tables/Tables.h"
#include "tests/support/Bytes.h"
#include "tests/support/DecodeExpect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;

constexpr uint16_t kSgip = 6;
constexpr uint16_t kCngp = 7;
constexpr size_t kCaptureHeaderLines = 6;

// SGIP: length, command id and the 12-byte sequence (node id, time stamp, sequence).
std::vector<uint8_t> SgipPdu(uint32_t command, uint32_t node, uint32_t stamp, uint32_t sequence,
                             const std::vector<uint8_t>& body = {}) {
    return Builder().u32(static_cast<uint32_t>(20 + body.size())).u32(command).u32(node).u32(stamp).u32(sequence)
        .raw(body);
}

// CNGP: length, command id, command status, sequence number.
std::vector<uint8_t> CngpPdu(uint32_t command, uint32_t status, uint32_t sequence,
                             const std::vector<uint8_t>& body = {}) {
    return Builder().u32(static_cast<uint32_t>(16 + body.size())).u32(command).u32(status).u32(sequence).raw(body);
}

// Expected lines in walk order, from the end of the capture header on; each offset follows from
// the widths of the lines before it.
class Expect : public test_decode::Layout<Expect> {
public:
    Expect() : Layout(16) {}
    Expect& HeaderGroup(int32_t id, std::string text) { return Add(id, std::move(text), 0, 160, 1); }
    Expect& HeaderField(int32_t id, std::string text, int32_t width) { return Add(id, std::move(text), width, 156, 0); }
    Expect& BodyGroup(int32_t id, std::string text) { return Add(id, std::move(text), 0, 161, 1); }
    Expect& Field(int32_t id, std::string text, int32_t width) { return Add(id, std::move(text), width, 163, 0); }
    // An error line covers what is left of the record; the walk ends with it.
    Expect& Error(int32_t id, std::string text, int32_t width, int32_t iconId = 163) {
        return Add(id, std::move(text), width, iconId, 0);
    }
};

struct DecodeCase {
    const char* name;
    std::vector<uint8_t> record;
    Expect expected; // the lines after the six capture-header lines
    bool ok;
};

void CheckDecode(const DecodeCase& c, const char* protocolLine) {
    SCOPED_TRACE(c.name);
    CPacketDecoder decoder;
    const auto got = test_decode::ExpectDecode(decoder, c.record, c.ok, c.expected.lines(), kCaptureHeaderLines);
    if (got.lines.size() >= kCaptureHeaderLines) {
        EXPECT_EQ(got.lines[5].text, protocolLine);
    }
}

// ---------------------------------------------------------------------------------------------
// SGIP

const char kSgipGroup[] = "SGIP: ----- 联通短消息网关系统接口协议 -----";
const char kSgipProtocolLine[] = "TCP: Protocol = 6 (SGIP)";

// The node id and the sequence lie above 2^31 so a signed print would show.
constexpr uint32_t kNode = 3000012345u;
constexpr uint32_t kStamp = 1206153000u;
constexpr uint32_t kSequence = 4000000001u;
const char kSequenceText[] = "SGIP: 序号 = 3000012345 1206153000 4000000001";

Expect SgipHeader(uint32_t length, const std::string& command) {
    Expect e;
    e.HeaderGroup(1300, kSgipGroup)
        .HeaderField(1301, "SGIP: 长度 = " + std::to_string(length), 4)
        .HeaderField(1302, "SGIP: 命令 = " + command, 4)
        .HeaderField(1303, kSequenceText, 12);
    return e;
}

std::vector<uint8_t> SgipRecord(uint32_t command, const std::vector<uint8_t>& body = {}) {
    return CaptureRecord(kSgip, SgipPdu(command, kNode, kStamp, kSequence, body));
}

std::vector<uint8_t> SgipBind() {
    return Builder().u8(1).text("sp001", 16).text("secret", 16).text("", 8);
}

// Submit body bytes besides the users and the content.
constexpr uint32_t kSgipSubmitFixed = 21 + 21 + 1 + 5 + 10 + 1 + 6 + 6 + 1 + 1 + 1 + 16 + 16 + 1 + 1 + 1 + 1 + 1 + 4 + 8;

std::vector<uint8_t> SgipSubmit(uint8_t users, uint32_t messageLength, std::string_view content) {
    Builder b;
    b.text("10655", 21).text("8613800000000", 21).u8(users);
    for (int i = 0; i < users; ++i) b.text("861390000000" + std::to_string(i + 1), 21);
    b.text("12345", 5)     // corporation code fills its field: no NUL
        .text("HELP", 10)
        .u8(2)             // fee type: by message
        .text("000010", 6) // fills its field: no NUL
        .text("0", 6)
        .u8(1)             // agent flag: received
        .u8(2)             // MT not caused by an MO request
        .u8(9)             // priority
        .text("", 16)
        .text("", 16)
        .u8(1)             // report always
        .u8(0)
        .u8(0)
        .u8(15)            // GB text
        .u8(0)
        .u32(messageLength)
        .raw(content)
        .text("", 8);
    return b;
}

Expect SgipSubmitLines(uint32_t length, uint8_t users, const std::string& firstUser, int32_t contentSize,
                       const std::string& content) {
    Expect e = SgipHeader(length, "0x00000003 (提交MT短消息)");
    e.BodyGroup(1314, "SUBMIT: ----- 提交MT短消息 -----")
        .Field(1340, "SUBMIT: SP的接入号码 = 10655", 21)
        .Field(1341, "SUBMIT: 付费号码 = 8613800000000", 21)
        .Field(1342, "SUBMIT: 接收短消息的手机数量 = " + std::to_string(users), 1)
        .Field(1343, "SUBMIT: 接收该短消息的手机号 = " + firstUser, 21 * users)
        .Field(1344, "SUBMIT: 企业代码 = 12345", 5)
        .Field(1345, "SUBMIT: 业务代码 = HELP", 10)
        .Field(1346, "SUBMIT: 计费类型 = 2 (对\"计费用户号码\"按条计信息费)", 1)
        .Field(1348, "SUBMIT: 该条短消息的收费值(分) = 000010", 6)
        .Field(1350, "SUBMIT: 赠送用户的话费(分) = 0", 6)
        .Field(1351, "SUBMIT: 代收费标志 = 1 (实收)", 1)
        .Field(1352, "SUBMIT: 引起MT消息的原因 = 2 (非MO点播引起的MT消息)", 1)
        .Field(1354, "SUBMIT: 优先级0-9从低到高 = 9", 1)
        .Field(1355, "SUBMIT: 短消息寿命的终止时间 = ", 16)
        .Field(1356, "SUBMIT: 短消息定时发送的时间 = ", 16)
        .Field(1357, "SUBMIT: 状态报告标记 = 1 (该条消息无论最后是否成功都要返回状态报告)", 1)
        .Field(1358, "SUBMIT: GSM协议类型 = 0", 1)
        .Field(1359, "SUBMIT: GSM协议类型 = 0", 1)
        .Field(1360, "SUBMIT: 短消息的编码格式 = 15 (含GB汉字)", 1)
        .Field(1361, "SUBMIT: 信息类型 = 0 (短消息信息)", 1)
        .Field(1362, "SUBMIT: 短消息的长度 = " + std::to_string(contentSize), 4)
        .Field(1363, "SUBMIT: 短消息的内容 = " + content, contentSize)
        .Field(1365, "SUBMIT: LinkID = ", 8);
    return e;
}

std::vector<uint8_t> SgipDeliver(uint8_t coding, const std::vector<uint8_t>& content) {
    return Builder().text("8613900000001", 21).text("10655", 21).u8(0).u8(1).u8(coding)
        .u32(static_cast<uint32_t>(content.size())).raw(content).text("", 8);
}

Expect SgipDeliverLines(const std::string& codingText, int32_t contentSize, const std::string& content) {
    Expect e = SgipHeader(20 + 57 + contentSize, "0x00000004 (发送MO短消息)");
    e.BodyGroup(1316, "DELIVER: ----- 发送MO短消息 -----")
        .Field(1381, "DELIVER: 发送短消息的用户手机号 = 8613900000001", 21)
        .Field(1382, "DELIVER: SP的接入号码 = 10655", 21)
        .Field(1384, "DELIVER: GSM协议类型 = 0", 1)
        .Field(1385, "DELIVER: GSM协议类型 = 1", 1)
        .Field(1386, "DELIVER: 短消息的编码格式 = " + codingText, 1)
        .Field(1387, "DELIVER: 短消息的长度 = " + std::to_string(contentSize), 4)
        .Field(1388, "DELIVER: 短消息的内容 = " + content, contentSize)
        .Field(1389, "DELIVER: LinkID = ", 8);
    return e;
}

std::vector<uint8_t> SgipReport(uint8_t state, uint8_t error) {
    return Builder().u32(kNode).u32(1206150000u).u32(7).u8(0).text("8613900000001", 21).u8(state).u8(error)
        .text("", 8).text("10655", 21);
}

TEST(SgipTable, MessagesDecodeToTheirLines) {
    // 0x4F60 0x597D: UCS-2 for "你好"; the deliver shows its content as text whatever the coding.
    const std::vector<uint8_t> ucs2 = {0x4F, 0x60, 0x59, 0x7D};
    const std::vector<uint8_t> gbk = {0xC4, 0xE3, 0xBA, 0xC3}; // "你好" in GBK

    std::vector<DecodeCase> cases;
    cases.push_back({"bind", SgipRecord(0x00000001, SgipBind()),
                     SgipHeader(61, "0x00000001 (登录命令)")
                         .BodyGroup(1310, "BIND: ----- BIND(登录) -----")
                         .Field(1320, "BIND: 登录类型 = 1 (SP向SMG建立的连接，用于发送命令)", 1)
                         .Field(1321, "BIND: 登录名 = sp001", 16)
                         .Field(1322, "BIND: 密码 = secret", 16)
                         .Field(1323, "BIND: 保留 = ", 8),
                     true});
    cases.push_back({"bind response, success", SgipRecord(0x80000001, Builder().u8(0).text("", 8)),
                     SgipHeader(29, "0x80000001 (登录应答)")
                         .BodyGroup(1311, "BIND_RESP: ----- BIND(登录)应答 -----")
                         .Field(1331, "BIND_RESP: Bind执行命令是否成功 = 0 (成功)", 1)
                         .Field(1330, "BIND_RESP: 保留 = ", 8),
                     true});
    cases.push_back({"bind response, refused", SgipRecord(0x80000001, Builder().u8(1).text("", 8)),
                     SgipHeader(29, "0x80000001 (登录应答)")
                         .BodyGroup(1311, "BIND_RESP: ----- BIND(登录)应答 -----")
                         .Field(1331, "BIND_RESP: Bind执行命令是否成功 = 1 (失败)", 1)
                         .Field(1330, "BIND_RESP: 保留 = ", 8),
                     true});
    cases.push_back({"submit to two users, GB text",
                     SgipRecord(0x00000003, SgipSubmit(2, 4, std::string(gbk.begin(), gbk.end()))),
                     SgipSubmitLines(20 + kSgipSubmitFixed + 42 + 4, 2, "8613900000001", 4, "你好"), true});
    cases.push_back({"submit to no user", SgipRecord(0x00000003, SgipSubmit(0, 5, "hello")),
                     SgipSubmitLines(20 + kSgipSubmitFixed + 5, 0, "", 5, "hello"), true});
    cases.push_back({"deliver, plain text", SgipRecord(0x00000004, SgipDeliver(0, Builder().raw("hi there"))),
                     SgipDeliverLines("0 (ASCII串)", 8, "hi there"), true});
    cases.push_back({"deliver, UCS-2 shown as text", SgipRecord(0x00000004, SgipDeliver(8, ucs2)),
                     SgipDeliverLines("8 (UCS2编码)", 4, "O`Y}"), true});
    cases.push_back({"deliver response", SgipRecord(0x80000004, Builder().u8(0).text("", 8)),
                     SgipHeader(29, "0x80000004 (发送MO短消息应答)")
                         .BodyGroup(1317, "DELIVER_RESP: ----- 发送MO短消息应答 -----")
                         .Field(1395, "DELIVER_RESP: Deliver命令是否成功接收 = 0 (成功)", 1)
                         .Field(1396, "DELIVER_RESP: 保留  ", 8),
                     true});
    cases.push_back({"report of a failed submit", SgipRecord(0x00000005, SgipReport(2, 25)),
                     SgipHeader(20 + 65, "0x00000005 (发送状态报告)")
                         .BodyGroup(1400, "REPORT: ----- 发送状态报告 -----")
                         .Field(1401, "REPORT: 序号 = 3000012345 1206150000 7", 12)
                         .Field(1402, "REPORT: 命令类型 = 0 (对先前一条Submit命令的状态报告)", 1)
                         .Field(1403, "REPORT: 接收短消息的手机 = 8613900000001", 21)
                         .Field(1404, "REPORT: 执行状态 = 2 (发送失败)", 1)
                         .Field(1405, "REPORT: 错误码值 = 25 (用户不能通信)", 1)
                         .Field(1406, "REPORT: 保留 = ", 8)
                         .Field(1407, "REPORT: SP的接入号码 = 10655", 21),
                     true});
    cases.push_back({"report response", SgipRecord(0x80000005, Builder().u8(3).text("", 8)),
                     SgipHeader(29, "0x80000005 (发送状态报告应答)")
                         .BodyGroup(1410, "REPORT_RESP: ----- 发送状态报告应答 -----")
                         .Field(1411, "REPORT_RESP: Report命令是否成功接收 = 3 (失败)", 1)
                         .Field(1412, "REPORT_RESP: 保留  ", 8),
                     true});
    for (const auto& c : cases) CheckDecode(c, kSgipProtocolLine);
}

TEST(SgipTable, SubmitResponseNamesItsResult) {
    struct Row {
        uint8_t result;
        const char* text;
    };
    const Row rows[] = {
        {0, "SUBMIT_RESP: Submit命令是否成功接收 = 0 (成功)"},
        {1, "SUBMIT_RESP: Submit命令是否成功接收 = 1 (失败)"},
        {255, "SUBMIT_RESP: Submit命令是否成功接收 = 255 (失败)"},
    };
    for (const Row& r : rows) {
        CheckDecode({r.text, SgipRecord(0x80000003, Builder().u8(r.result).text("", 8)),
                     SgipHeader(29, "0x80000003 (提交MT短消息应答)")
                         .BodyGroup(1315, "SUBMIT_RESP: ----- 提交MT短消息应答 -----")
                         .Field(1370, r.text, 1)
                         .Field(1371, "SUBMIT_RESP: 保留 = ", 8),
                     true},
                    kSgipProtocolLine);
    }
}

// Commands without a body line show the header and nothing after it, without an error line.
TEST(SgipTable, CommandsWithoutBodyShowTheHeaderOnly) {
    struct Row {
        const char* name;
        uint32_t command;
        const char* commandText;
    };
    const Row rows[] = {
        {"unbind", 0x00000002, "0x00000002 (Unbind命令)"},
        {"unbind response", 0x80000002, "0x80000002 (Unbind_Resp应答)"},
        {"activity test: named, but no case", 0x10000001, "0x10000001 (激活测试)"},
        {"activity test response", 0x10000010, "0x10000010 (激活测试应答)"},
        {"unknown command", 0x00000099, "0x00000099 (未知)"},
    };
    for (const Row& r : rows) {
        // Bytes after the header are never shown for these commands.
        CheckDecode({r.name, SgipRecord(r.command, Builder().u8(0).text("", 8)), SgipHeader(29, r.commandText), false},
                    kSgipProtocolLine);
        CheckDecode({r.name, SgipRecord(r.command), SgipHeader(20, r.commandText), false}, kSgipProtocolLine);
    }
}

TEST(SgipTable, BadRecordsEndInAnErrorLine) {
    std::vector<DecodeCase> cases;
    {
        auto record = SgipRecord(0x00000001, SgipBind());
        record.resize(16 + 8 + 5); // five bytes of the 12-byte sequence
        Expect e;
        e.HeaderGroup(1300, kSgipGroup)
            .HeaderField(1301, "SGIP: 长度 = 61", 4)
            .HeaderField(1302, "SGIP: 命令 = 0x00000001 (登录命令)", 4)
            .Error(1303, "未知错误!", 5, 156);
        cases.push_back({"cut inside the sequence", record, e, false});
    }
    {
        auto record = SgipRecord(0x00000003, SgipSubmit(1, 5, "hello"));
        record.resize(record.size() - 8 - 2); // three of the five content bytes
        Expect e = SgipSubmitLines(20 + kSgipSubmitFixed + 21 + 5, 1, "8613900000001", 5, "hello");
        e.DropLast(2).Error(1363, "未知错误!", 3);
        cases.push_back({"content longer than the record", record, e, false});
    }
    for (const auto& c : cases) CheckDecode(c, kSgipProtocolLine);
}

// A message length that no record can hold is a width error at the content, whatever the bytes after it.
TEST(SgipTable, ImpossibleMessageLengthIsAWidthError) {
    const uint32_t lengths[] = {4096, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (uint32_t length : lengths) {
        SCOPED_TRACE(length);
        const auto record = SgipRecord(0x00000004, Builder().text("8613900000001", 21).text("10655", 21).u8(0).u8(0)
                                                       .u8(0).u32(length).raw("hello").text("", 8));
        CPacketDecoder decoder;
        EXPECT_FALSE(decoder.Decode(record.data(), static_cast<int32_t>(record.size())));
        const auto& last = decoder.Lines().back();
        EXPECT_EQ(last.id, 1388);
        EXPECT_EQ(last.text, "消息长度错误!");
        EXPECT_EQ(last.offset, 36 + 21 + 21 + 3 + 4);
        EXPECT_GE(last.width, 0);
        EXPECT_LE(last.offset + last.width, static_cast<int32_t>(record.size()));
    }
}

// Users are 21 bytes each; a count larger than the record holds must not be read past its end.
TEST(SgipTable, UserCountBeyondTheRecordIsCaught) {
    auto record = SgipRecord(0x00000003, SgipSubmit(2, 5, "hello"));
    record[16 + 20 + 42] = 200; // 4200 bytes of users in a record of a few hundred
    CPacketDecoder decoder;
    EXPECT_FALSE(decoder.Decode(record.data(), static_cast<int32_t>(record.size())));
    const auto& last = decoder.Lines().back();
    EXPECT_EQ(last.id, 1343);
    EXPECT_EQ(last.text, "未知错误!");
    EXPECT_EQ(last.offset, 16 + 20 + 43);
    EXPECT_LE(last.offset + last.width, static_cast<int32_t>(record.size()));
}

// ---------------------------------------------------------------------------------------------
// CNGP

const char kCngpGroup[] = "CNGP: ----- 短消息网关与服务提供商（SP）接口协议 -----";
const char kCngpProtocolLine[] = "TCP: Protocol = 7 (CNGP)";

Expect CngpHeader(uint32_t length, const std::string& command, const std::string& status = "0 (成功)",
                  uint32_t sequence = 77) {
    Expect e;
    e.HeaderGroup(1700, kCngpGroup)
        .HeaderField(1701, "CNGP: 消息总长度 = " + std::to_string(length), 4)
        .HeaderField(1702, "CNGP: 命令标识 = " + command, 4)
        .HeaderField(1703, "CNGP: command status = " + status, 4)
        .HeaderField(1704, "CNGP: sequence number = " + std::to_string(sequence), 4);
    return e;
}

std::vector<uint8_t> CngpRecord(uint32_t command, const std::vector<uint8_t>& body = {}, uint32_t status = 0) {
    return CaptureRecord(kCngp, CngpPdu(command, status, 77, body));
}

// The submit up to its fee type, then the rest; the fee type is two characters.
std::vector<uint8_t> CngpSubmit(std::string_view feeType, const std::vector<uint8_t>& tail) {
    return Builder()
        .text("1234567890", 10) // fills its field: no NUL
        .u8(2)                  // on-demand delivery
        .u8(1)                  // report wanted
        .u8(3)
        .text("HELP", 10)
        .text(feeType, 2)
        .u8(2) // charge the SP
        .text("000010", 6)
        .u8(15) // GB2312
        .text("", 17)
        .text("", 17)
        .text("10655", 21)
        .text("", 21)
        .u8(1)
        .text("13900000001", 21)
        .u8(5)
        .raw("hello")
        .raw(tail);
}

std::vector<uint8_t> Tlv(uint16_t tag, uint8_t value) { return Builder().u16(tag).u16(1).u8(value); }

Expect CngpSubmitLines(uint32_t length, const std::string& feeTypeLine) {
    Expect e = CngpHeader(length, "0x00000002 (SP发送短消息请求)");
    e.BodyGroup(1730, "SUBMIT: ----- SP发送短消息请求 -----")
        .Field(1731, "SUBMIT: SP的企业代码 = 1234567890", 10)
        .Field(1732, "SUBMIT: 短消息子类型 = 2 (点播下发)", 1)
        .Field(1733, "SUBMIT: 是否要求返回状态报告 = 1 (要求)", 1)
        .Field(1734, "SUBMIT: 发送优先级 = 3", 1)
        .Field(1735, "SUBMIT: 业务类型 = HELP", 10)
        .Field(1736, feeTypeLine, 2)
        .Field(1737, "SUBMIT: 计费用户类型字段 = 2 (对SP计费)", 1)
        .Field(1738, "SUBMIT: 每条短消息的信息费 = 000010", 6)
        .Field(1739, "SUBMIT: 短消息格式 = 15 (GB2312编码)", 1)
        .Field(1740, "SUBMIT: 有效时间 = ", 17)
        .Field(1741, "SUBMIT: 定时发送时间 = ", 17)
        .Field(1742, "SUBMIT: 发送用户号码 = 10655", 21)
        .Field(1743, "SUBMIT: 计费用户号码 = ", 21)
        .Field(1744, "SUBMIT: 接收号码总数 = 1", 1)
        .Field(1745, "SUBMIT: 接收号码 = 13900000001", 21)
        .Field(1746, "SUBMIT: 短消息长度 = 5", 1)
        .Field(1747, "SUBMIT: 短消息内容 = hello", 5);
    return e;
}
// Header, the fixed fields with one receiver, and five bytes of content.
constexpr uint32_t kCngpSubmitLength = 16 + (10 + 1 + 1 + 1 + 10 + 2 + 1 + 6 + 1 + 17 + 17 + 21 + 21 + 1 + 21 + 1) + 5;

std::vector<uint8_t> CngpDeliver(uint8_t isReport, uint8_t format, const std::vector<uint8_t>& content) {
    return Builder()
        .text("0000000001", 10)
        .u8(isReport)
        .u8(format)
        .text("20061215123000", 14) // fills its field: no NUL
        .text("13900000001", 21)
        .text("10655", 21)
        .u8(static_cast<uint8_t>(content.size()))
        .raw(content)
        .raw(Tlv(0x0100, 0));
}

Expect CngpDeliverLines(uint8_t isReport, const std::string& isReportName, const std::string& formatText,
                        int32_t contentSize, const std::string& content) {
    Expect e = CngpHeader(16 + 69 + contentSize + 5, "0x00000003 (SMGW发送短消息请求)");
    e.BodyGroup(1760, "DELIVER: ----- SMGW发送短消息请求 -----")
        .Field(1761, "DELIVER: SMGW产生的短消息流水号 = 0000000001", 10)
        .Field(1762, "DELIVER: 是否状态报告 = " + std::to_string(isReport) + " (" + isReportName + ")", 1)
        .Field(1763, "DELIVER: 短消息格式 = " + formatText, 1)
        .Field(1764, "DELIVER: 接收时间 = 20061215123000", 14)
        .Field(1765, "DELIVER: 发送用户号码 = 13900000001", 21)
        .Field(1766, "DELIVER: 接收用户号码 = 10655", 21)
        .Field(1767, "DELIVER: 短消息长度 = " + std::to_string(contentSize), 1)
        .Field(1768, "DELIVER: 短消息内容 = " + content, contentSize)
        .Field(1770, "DELIVER: 协议标识-标识 = 256 (协议标识)", 2)
        .Field(1771, "DELIVER: 协议标识-实际长度 = 1", 2)
        .Field(1772, "DELIVER: 协议标识-值 = 0", 1);
    return e;
}

TEST(CngpTable, MessagesDecodeToTheirLines) {
    std::vector<DecodeCase> cases;
    cases.push_back({"login",
                     CngpRecord(0x00000001, Builder().text("1234567890", 10).text("authenticator01", 16).u8(2)
                                                .u32(1206153000).u8(0x20)),
                     CngpHeader(48, "0x00000001 (登录请求)")
                         .BodyGroup(1710, "LOGIN: ----- 请求连接 -----")
                         .Field(1711, "LOGIN: SPID(SP企业代码) = 1234567890", 10)
                         .Field(1712, "LOGIN: 客户端密码 = authenticator01", 16)
                         .Field(1713, "LOGIN: 登录类型 = 2 (收发短消息)", 1)
                         .Field(1714, "LOGIN: 时间戳的明文 = 1206153000", 4)
                         .Field(1715, "LOGIN: 客户端版本号 = 2.0", 1),
                     true});
    cases.push_back({"login response, system busy",
                     CngpRecord(0x80000001, Builder().text("server-auth", 16).u8(0x20), 1),
                     CngpHeader(33, "0x80000001 (登录请求的应答)", "1 (系统忙)")
                         .BodyGroup(1720, "LOGIN_RESP: ----- 请求连接应答 -----")
                         .Field(1721, "LOGIN_RESP: 服务器端认证码 = server-auth", 16)
                         .Field(1722, "LOGIN_RESP: 服务器版本号 = 2.0", 1),
                     true});
    cases.push_back({"submit with its protocol id", CngpRecord(0x00000002, CngpSubmit("01", Tlv(0x0100, 1))),
                     CngpSubmitLines(kCngpSubmitLength + 5, "SUBMIT: 资费类型 = 01 (按条收费)")
                         .Field(1748, "SUBMIT: 协议标识-标识 = 256 (协议标识)", 2)
                         .Field(1749, "SUBMIT: 协议标识-实际长度 = 1", 2)
                         .Field(1750, "SUBMIT: 协议标识-值 = 1", 1),
                     true});
    cases.push_back({"submit without the optional protocol id", CngpRecord(0x00000002, CngpSubmit("01", {})),
                     CngpSubmitLines(kCngpSubmitLength, "SUBMIT: 资费类型 = 01 (按条收费)"), true});
    cases.push_back({"submit response with congestion state",
                     CngpRecord(0x80000002, Builder().text("0123456789", 10).raw(Tlv(0x0428, 2))),
                     CngpHeader(31, "0x80000002 (SP发送短消息请求的应答)")
                         .BodyGroup(1755, "SUBMIT_RESP: ----- SP发送短消息请求应答 -----")
                         .Field(1756, "SUBMIT_RESP: SMGW产生的短消息流水号 = 0123456789", 10)
                         .Field(1757, "SUBMIT_RESP: 流量控制-标识 = 1064 (拥塞状态)", 2)
                         .Field(1758, "SUBMIT_RESP: 流量控制-实际长度 = 1", 2)
                         .Field(1759, "SUBMIT_RESP: 流量控制-值 = 2", 1),
                     true});
    // 0x4F60 0x597D: UCS-2 for "你好".
    cases.push_back({"deliver of a UCS-2 message", CngpRecord(0x00000003, CngpDeliver(0, 8, {0x4F, 0x60, 0x59, 0x7D})),
                     CngpDeliverLines(0, "不是", "8 (UCS2编码)", 4, "你好"), true});
    {
        // A report: "id:", ten raw bytes of message id, then text.
        const auto report = Builder().raw("id:").raw(std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 0xAB})
                                .raw(" stat:DELIVRD err:000").bytes();
        cases.push_back({"deliver of a status report", CngpRecord(0x00000003, CngpDeliver(1, 0, report)),
                         CngpDeliverLines(1, "是", "0 (ASCII编码)", static_cast<int32_t>(report.size()),
                                          "id:000102030405060708AB stat:DELIVRD err:000"),
                         true});
    }
    cases.push_back({"deliver response",
                     CngpRecord(0x80000003, Builder().text("0000000001", 10).raw(Tlv(0x0428, 0))),
                     CngpHeader(31, "0x80000003 (SMGW发送短消息的应答)")
                         .BodyGroup(1780, "DELIVER_RESP: ----- SMGW发送短消息请求应答 -----")
                         .Field(1781, "DELIVER_RESP: SMGW产生的短消息流水号 = 0000000001", 10)
                         .Field(1782, "DELIVER_RESP: 流量控制-标识 = 1064 (拥塞状态)", 2)
                         .Field(1783, "DELIVER_RESP: 流量控制-实际长度 = 1", 2)
                         .Field(1784, "DELIVER_RESP: 流量控制-值 = 0", 1),
                     true});
    cases.push_back({"deliver response with an unknown tag",
                     CngpRecord(0x80000003, Builder().text("0000000001", 10).raw(Tlv(0x0007, 0))),
                     CngpHeader(31, "0x80000003 (SMGW发送短消息的应答)")
                         .BodyGroup(1780, "DELIVER_RESP: ----- SMGW发送短消息请求应答 -----")
                         .Field(1781, "DELIVER_RESP: SMGW产生的短消息流水号 = 0000000001", 10)
                         .Field(1782, "DELIVER_RESP: 流量控制-标识 = 7 (未知)", 2)
                         .Field(1783, "DELIVER_RESP: 流量控制-实际长度 = 1", 2)
                         .Field(1784, "DELIVER_RESP: 流量控制-值 = 0", 1),
                     true});
    for (const auto& c : cases) CheckDecode(c, kCngpProtocolLine);
}

// CNGP numbers its command status as SMGP numbers its results.
TEST(CngpTable, CommandStatusIsNamed) {
    struct Row {
        uint32_t status;
        const char* text;
    };
    const Row rows[] = {
        {0, "0 (成功)"},         {1, "1 (系统忙)"},     {2, "2 (超过最大连接数)"}, {21, "21 (认证错)"},
        {22, "22 (版本太高)"},   {39, "39 (路由错误)"}, {3, "3 (未知)"},           {40, "40 (未知)"},
        {256, "256 (未知)"},
    };
    for (const Row& r : rows) {
        CheckDecode({r.text, CngpRecord(0x80000004, {}, r.status),
                     CngpHeader(16, "0x80000004 (测试通信链路是否正常的应答)", r.text), false},
                    kCngpProtocolLine);
    }
}

// The fee type is two characters whose decimal value picks the name.
TEST(CngpTable, FeeTypeIsNamedFromItsTwoCharacters) {
    struct Row {
        std::string feeType;
        const char* line;
    };
    const Row rows[] = {
        {"00", "SUBMIT: 资费类型 = 00 (免费)"},
        {"01", "SUBMIT: 资费类型 = 01 (按条收费)"},
        {"02", "SUBMIT: 资费类型 = 02 (包月)"},
        {"03", "SUBMIT: 资费类型 = 03 (封顶)"},
        {"04", "SUBMIT: 资费类型 = 04 (包月扣费请求)"},
        {"05", "SUBMIT: 资费类型 = 05 (CR话单)"},
        {"06", "SUBMIT: 资费类型 = 06 (保留)"},
        {"99", "SUBMIT: 资费类型 = 99 (保留)"},
        {"1", "SUBMIT: 资费类型 = 1 (按条收费)"}, // one digit and a NUL
        {"", "SUBMIT: 资费类型 =  (免费)"},       // no digits reads as 0
    };
    for (const Row& r : rows) {
        CheckDecode({r.line, CngpRecord(0x00000002, CngpSubmit(r.feeType, {})),
                     CngpSubmitLines(kCngpSubmitLength, r.line), true},
                    kCngpProtocolLine);
    }
}

TEST(CngpTable, CommandsWithoutBodyShowTheHeaderOnly) {
    struct Row {
        const char* name;
        uint32_t command;
        const char* commandText;
    };
    const Row rows[] = {
        {"activity test", 0x00000004, "0x00000004 (测试通信链路是否正常请求)"},
        {"activity test response", 0x80000004, "0x80000004 (测试通信链路是否正常的应答)"},
        {"exit", 0x00000006, "0x00000006 (退出请求)"},
        {"exit response", 0x80000006, "0x80000006 (退出请求的应答)"},
        {"unknown command", 0x00000005, "0x00000005 (未知)"},
    };
    for (const Row& r : rows) {
        CheckDecode({r.name, CngpRecord(r.command), CngpHeader(16, r.commandText), false}, kCngpProtocolLine);
        CheckDecode({r.name, CngpRecord(r.command, Builder().fill(12, 0x31)), CngpHeader(28, r.commandText), false},
                    kCngpProtocolLine);
    }
}

TEST(CngpTable, BadRecordsEndInAnErrorLine) {
    std::vector<DecodeCase> cases;
    {
        auto record = CngpRecord(0x00000002, CngpSubmit("01", Tlv(0x0100, 1)));
        record.resize(record.size() - 4); // one byte of the tag left
        Expect e = CngpSubmitLines(kCngpSubmitLength + 5, "SUBMIT: 资费类型 = 01 (按条收费)");
        e.Error(1748, "未知错误!", 1);
        cases.push_back({"cut inside the protocol-id tag", record, e, false});
    }
    {
        auto record = CngpRecord(0x00000003, CngpDeliver(0, 0, Builder().raw("hello")));
        record[16 + 16 + 68] = 200; // content length past the record
        Expect e = CngpHeader(16 + 69 + 5 + 5, "0x00000003 (SMGW发送短消息请求)");
        e.BodyGroup(1760, "DELIVER: ----- SMGW发送短消息请求 -----")
            .Field(1761, "DELIVER: SMGW产生的短消息流水号 = 0000000001", 10)
            .Field(1762, "DELIVER: 是否状态报告 = 0 (不是)", 1)
            .Field(1763, "DELIVER: 短消息格式 = 0 (ASCII编码)", 1)
            .Field(1764, "DELIVER: 接收时间 = 20061215123000", 14)
            .Field(1765, "DELIVER: 发送用户号码 = 13900000001", 21)
            .Field(1766, "DELIVER: 接收用户号码 = 10655", 21)
            .Field(1767, "DELIVER: 短消息长度 = 200", 1)
            .Error(1768, "未知错误!", 10);
        cases.push_back({"content length past the record", record, e, false});
    }
    {
        auto record = CngpRecord(0x80000001, Builder().text("server-auth", 16).u8(0x20));
        record.resize(16 + 14);
        Expect e;
        e.HeaderGroup(1700, kCngpGroup)
            .HeaderField(1701, "CNGP: 消息总长度 = 33", 4)
            .HeaderField(1702, "CNGP: 命令标识 = 0x80000001 (登录请求的应答)", 4)
            .HeaderField(1703, "CNGP: command status = 0 (成功)", 4)
            .Error(1704, "未知错误!", 2, 156);
        cases.push_back({"cut inside the sequence number", record, e, false});
    }
    for (const auto& c : cases) CheckDecode(c, kCngpProtocolLine);
}

// ---------------------------------------------------------------------------------------------
// The rows themselves

TEST(SgipCngpRows, EveryReferenceNamesARowOfTheFamily) {
    const auto family = decode_table::SgipCngpFamily();
    std::set<int32_t> ids;
    for (const auto& d : family.descriptors) ids.insert(d.id);
    for (const auto& d : family.descriptors) {
        SCOPED_TRACE(std::to_string(d.id) + " " + d.label);
        // An id of -1 is the table's terminator: the rows after it would never be loaded.
        EXPECT_GT(d.id, 0);
        EXPECT_TRUE(d.next <= 0 || ids.count(d.next));
        EXPECT_TRUE(d.selectorId <= 0 || ids.count(d.selectorId));
        EXPECT_TRUE(d.widthSourceId <= 0 || ids.count(d.widthSourceId));
        EXPECT_EQ(d.next == decode_table::kDispatch, d.selectorId > 0);
        EXPECT_EQ(d.width == decode_table::kVariable, d.widthSourceId > 0);
    }
    // A field that reads another list's names must name a list that has rows in the whole table.
    CPacketDecoder decoder;
    for (const auto& c : family.nameCategories) {
        SCOPED_TRACE(c.descriptorId);
        EXPECT_TRUE(ids.count(c.descriptorId));
        EXPECT_FALSE(decoder.LookupValueName(c.category, 0).empty());
    }
}

// References resolve to the first row with an id in the whole table, so no other protocol may
// hold one of these ids ahead of them.
TEST(SgipCngpRows, IdsAreTheirsInTheWholeTable) {
    CPacketDecoder decoder;
    for (const auto& d : decode_table::SgipCngpFamily().descriptors) {
        if (d.caseOwner == 0) continue; // case rows share the command field's id
        SCOPED_TRACE(d.id);
        const int32_t at = decoder.PositionOf(d.id);
        ASSERT_GE(at, 0);
        EXPECT_STREQ(decoder.Descriptors()[at].label, d.label);
        EXPECT_EQ(decoder.Descriptors()[at].kind, d.kind);
    }
}

// A width source must be a field the walk has already passed: it comes earlier in the same body.
TEST(SgipCngpRows, WidthSourcesPrecedeTheirFields) {
    const auto rows = decode_table::SgipCngpFamily().descriptors;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].widthSourceId <= 0) continue;
        SCOPED_TRACE(rows[i].id);
        bool found = false;
        for (size_t j = i; j-- > 0 && rows[j].next != decode_table::kEnd;) found = found || rows[j].id == rows[i].widthSourceId;
        EXPECT_TRUE(found);
    }
}

// Each command case list follows its header, ends with a kind -1 row, and every case has a command name.
TEST(SgipCngpRows, CaseListsAreClosedAndNamed) {
    const auto family = decode_table::SgipCngpFamily();
    CPacketDecoder decoder;
    for (int32_t selector : {1302, 1702}) {
        SCOPED_TRACE(selector);
        int cases = 0;
        bool closed = false;
        for (const auto& d : family.descriptors) {
            if (d.id != selector || d.caseOwner != 0) continue;
            if (d.kind == -1) {
                closed = true;
                break;
            }
            ++cases;
            EXPECT_EQ(d.kind, 8);
            const uint32_t code = static_cast<uint32_t>(std::stoul(d.label, nullptr, 16));
            EXPECT_NE(decoder.LookupCodeName(selector, code), "未知") << d.label;
        }
        EXPECT_EQ(cases, 10);
        EXPECT_TRUE(closed);
    }
}

} // namespace
