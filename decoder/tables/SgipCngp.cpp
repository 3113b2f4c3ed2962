// Decode rows of SGIP and CNGP: headers, command-id cases, bodies, command names and value names.
#include "decoder/tables/TableChecks.h"
#include "decoder/tables/Tables.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace decode_table {
namespace {

// Icons: 160 header group, 156 header fields and cases, 161 body group, 163 body field.
constexpr FieldDescriptor kDescriptors[] = {
    // id  kind width      label                                                     owner  next       grp icon sel   widthSrc
    // SGIP header: the sequence number is node id, time stamp and sequence.
    {1300, 0,   0,         "SGIP: ----- 联通短消息网关系统接口协议 -----",           kNone, 1301,      1, 160, kNone, kNone},
    {1301, 2,   4,         "SGIP: 长度 =",                                           kNone, 1302,      0, 156, kNone, kNone},
    {1302, 52,  4,         "SGIP: 命令 =",                                           kNone, 1303,      0, 156, kNone, kNone},
    {1303, 51,  12,        "SGIP: 序号 =",                                           kNone, kDispatch, 0, 156, 1302,  kNone},
    // SGIP command ids; a case names its body group.
    {1302, 8,   4,         "00000001",                                               0,     1310,      0, 156, kNone, kNone},
    {1302, 8,   4,         "80000001",                                               0,     1311,      0, 156, kNone, kNone},
    {1302, 8,   4,         "00000002",                                               0,     kEnd,      0, 156, kNone, kNone}, // unbind carries no body
    {1302, 8,   4,         "80000002",                                               0,     kEnd,      0, 156, kNone, kNone},
    {1302, 8,   4,         "00000003",                                               0,     1314,      0, 156, kNone, kNone},
    {1302, 8,   4,         "80000003",                                               0,     1315,      0, 156, kNone, kNone},
    {1302, 8,   4,         "00000004",                                               0,     1316,      0, 156, kNone, kNone},
    {1302, 8,   4,         "80000004",                                               0,     1317,      0, 156, kNone, kNone},
    {1302, 8,   4,         "00000005",                                               0,     1400,      0, 156, kNone, kNone},
    {1302, 8,   4,         "80000005",                                               0,     1410,      0, 156, kNone, kNone},
    {1302, -1,  0,         "",                                                       0,     kEnd,      0, 156, kNone, kNone}, // end of the command list

    {1310, 0,   0,         "BIND: ----- BIND(登录) -----",                           kNone, 1320,      1, 161, kNone, kNone},
    {1320, 32,  1,         "BIND: 登录类型 =",                                       kNone, 1321,      0, 163, kNone, kNone},
    {1321, 6,   16,        "BIND: 登录名 =",                                         kNone, 1322,      0, 163, kNone, kNone},
    {1322, 6,   16,        "BIND: 密码 =",                                           kNone, 1323,      0, 163, kNone, kNone},
    {1323, 6,   8,         "BIND: 保留 =",                                           kNone, kEnd,      0, 163, kNone, kNone},

    {1311, 0,   0,         "BIND_RESP: ----- BIND(登录)应答 -----",                  kNone, 1331,      1, 161, kNone, kNone},
    {1331, 32,  1,         "BIND_RESP: Bind执行命令是否成功 =",                      kNone, 1330,      0, 163, kNone, kNone}, // result before reserved: walk order, not id order
    {1330, 6,   8,         "BIND_RESP: 保留 =",                                      kNone, kEnd,      0, 163, kNone, kNone},

    {1314, 0,   0,         "SUBMIT: ----- 提交MT短消息 -----",                       kNone, 1340,      1, 161, kNone, kNone},
    {1340, 6,   21,        "SUBMIT: SP的接入号码 =",                                 kNone, 1341,      0, 163, kNone, kNone},
    {1341, 6,   21,        "SUBMIT: 付费号码 =",                                     kNone, 1342,      0, 163, kNone, kNone},
    {1342, 9,   1,         "SUBMIT: 接收短消息的手机数量 =",                         kNone, 1343,      0, 163, kNone, kNone},
    {1343, 31,  kVariable, "SUBMIT: 接收该短消息的手机号 =",                         kNone, 1344,      0, 163, kNone, 1342},
    {1344, 6,   5,         "SUBMIT: 企业代码 =",                                     kNone, 1345,      0, 163, kNone, kNone},
    {1345, 6,   10,        "SUBMIT: 业务代码 =",                                     kNone, 1346,      0, 163, kNone, kNone},
    {1346, 32,  1,         "SUBMIT: 计费类型 =",                                     kNone, 1348,      0, 163, kNone, kNone},
    {1348, 6,   6,         "SUBMIT: 该条短消息的收费值(分) =",                       kNone, 1350,      0, 163, kNone, kNone},
    {1350, 6,   6,         "SUBMIT: 赠送用户的话费(分) =",                           kNone, 1351,      0, 163, kNone, kNone},
    {1351, 32,  1,         "SUBMIT: 代收费标志 =",                                   kNone, 1352,      0, 163, kNone, kNone},
    {1352, 32,  1,         "SUBMIT: 引起MT消息的原因 =",                             kNone, 1354,      0, 163, kNone, kNone},
    {1354, 32,  1,         "SUBMIT: 优先级0-9从低到高 =",                            kNone, 1355,      0, 163, kNone, kNone},
    {1355, 6,   16,        "SUBMIT: 短消息寿命的终止时间 =",                         kNone, 1356,      0, 163, kNone, kNone},
    {1356, 6,   16,        "SUBMIT: 短消息定时发送的时间 =",                         kNone, 1357,      0, 163, kNone, kNone},
    {1357, 32,  1,         "SUBMIT: 状态报告标记 =",                                 kNone, 1358,      0, 163, kNone, kNone},
    {1358, 32,  1,         "SUBMIT: GSM协议类型 =",                                  kNone, 1359,      0, 163, kNone, kNone}, // TP_pid
    {1359, 39,  1,         "SUBMIT: GSM协议类型 =",                                  kNone, 1360,      0, 163, kNone, kNone}, // TP_udhi, shown under the same label as TP_pid; its header, when set, opens the content
    {1360, 38,  1,         "SUBMIT: 短消息的编码格式 =",                             kNone, 1361,      0, 163, kNone, kNone}, // names: category 73
    {1361, 32,  1,         "SUBMIT: 信息类型 =",                                     kNone, 1362,      0, 163, kNone, kNone},
    {1362, 2,   4,         "SUBMIT: 短消息的长度 =",                                 kNone, 1363,      0, 163, kNone, kNone},
    {1363, 100, kVariable, "SUBMIT: 短消息的内容 =",                                 kNone, 1365,      0, 163, kNone, 1362},
    {1365, 6,   8,         "SUBMIT: LinkID =",                                       kNone, kEnd,      0, 163, kNone, kNone},

    {1315, 0,   0,         "SUBMIT_RESP: ----- 提交MT短消息应答 -----",              kNone, 1370,      1, 161, kNone, kNone},
    {1370, 32,  1,         "SUBMIT_RESP: Submit命令是否成功接收 =",                  kNone, 1371,      0, 163, kNone, kNone},
    {1371, 6,   8,         "SUBMIT_RESP: 保留 =",                                    kNone, kEnd,      0, 163, kNone, kNone},

    {1316, 0,   0,         "DELIVER: ----- 发送MO短消息 -----",                      kNone, 1381,      1, 161, kNone, kNone},
    {1381, 6,   21,        "DELIVER: 发送短消息的用户手机号 =",                      kNone, 1382,      0, 163, kNone, kNone},
    {1382, 6,   21,        "DELIVER: SP的接入号码 =",                                kNone, 1384,      0, 163, kNone, kNone},
    {1384, 32,  1,         "DELIVER: GSM协议类型 =",                                 kNone, 1385,      0, 163, kNone, kNone}, // TP_pid
    {1385, 39,  1,         "DELIVER: GSM协议类型 =",                                 kNone, 1386,      0, 163, kNone, kNone}, // TP_udhi, shown under the same label as TP_pid; its header, when set, opens the content
    {1386, 38,  1,         "DELIVER: 短消息的编码格式 =",                            kNone, 1387,      0, 163, kNone, kNone}, // names: category 73
    {1387, 2,   4,         "DELIVER: 短消息的长度 =",                                kNone, 1388,      0, 163, kNone, kNone},
    {1388, 100, kVariable, "DELIVER: 短消息的内容 =",                                kNone, 1389,      0, 163, kNone, 1387}, // by its message coding, as the submit's
    {1389, 6,   8,         "DELIVER: LinkID =",                                      kNone, kEnd,      0, 163, kNone, kNone},

    {1317, 0,   0,         "DELIVER_RESP: ----- 发送MO短消息应答 -----",             kNone, 1395,      1, 161, kNone, kNone},
    {1395, 32,  1,         "DELIVER_RESP: Deliver命令是否成功接收 =",                kNone, 1396,      0, 163, kNone, kNone}, // names: category 1370
    {1396, 6,   8,         "DELIVER_RESP: 保留 ",                                    kNone, kEnd,      0, 163, kNone, kNone}, // no "=" after the label

    {1400, 0,   0,         "REPORT: ----- 发送状态报告 -----",                       kNone, 1401,      1, 161, kNone, kNone},
    {1401, 51,  12,        "REPORT: 序号 =",                                         kNone, 1402,      0, 163, kNone, kNone},
    {1402, 32,  1,         "REPORT: 命令类型 =",                                     kNone, 1403,      0, 163, kNone, kNone},
    {1403, 6,   21,        "REPORT: 接收短消息的手机 =",                             kNone, 1404,      0, 163, kNone, kNone},
    {1404, 32,  1,         "REPORT: 执行状态 =",                                     kNone, 1405,      0, 163, kNone, kNone},
    {1405, 32,  1,         "REPORT: 错误码值 =",                                     kNone, 1406,      0, 163, kNone, kNone},
    {1406, 6,   8,         "REPORT: 保留 =",                                         kNone, 1407,      0, 163, kNone, kNone},
    {1407, 6,   21,        "REPORT: SP的接入号码 =",                                 kNone, kEnd,      0, 163, kNone, kNone},

    {1410, 0,   0,         "REPORT_RESP: ----- 发送状态报告应答 -----",              kNone, 1411,      1, 161, kNone, kNone},
    {1411, 32,  1,         "REPORT_RESP: Report命令是否成功接收 =",                  kNone, 1412,      0, 163, kNone, kNone},
    {1412, 6,   8,         "REPORT_RESP: 保留 ",                                     kNone, kEnd,      0, 163, kNone, kNone}, // no "=" after the label

    // CNGP header: a command status sits between command id and sequence number.
    {1700, 0,   0,         "CNGP: ----- 短消息网关与服务提供商（SP）接口协议 -----", kNone, 1701,      1, 160, kNone, kNone},
    {1701, 2,   4,         "CNGP: 消息总长度 =",                                     kNone, 1702,      0, 156, kNone, kNone},
    {1702, 103, 4,         "CNGP: 命令标识 =",                                       kNone, 1703,      0, 156, kNone, kNone},
    {1703, 2,   4,         "CNGP: command status =",                                 kNone, 1704,      0, 156, kNone, kNone}, // names: category 552, SMGP's result numbering
    {1704, 2,   4,         "CNGP: sequence number =",                                kNone, kDispatch, 0, 156, 1702,  kNone},
    // CNGP command ids; activity test and exit have no body.
    {1702, 8,   4,         "00000001",                                               0,     1710,      0, 156, kNone, kNone},
    {1702, 8,   4,         "80000001",                                               0,     1720,      0, 156, kNone, kNone},
    {1702, 8,   4,         "00000002",                                               0,     1730,      0, 156, kNone, kNone},
    {1702, 8,   4,         "80000002",                                               0,     1755,      0, 156, kNone, kNone},
    {1702, 8,   4,         "00000003",                                               0,     1760,      0, 156, kNone, kNone},
    {1702, 8,   4,         "80000003",                                               0,     1780,      0, 156, kNone, kNone},
    {1702, 8,   4,         "00000004",                                               0,     kEnd,      0, 156, kNone, kNone},
    {1702, 8,   4,         "80000004",                                               0,     kEnd,      0, 156, kNone, kNone},
    {1702, 8,   4,         "00000006",                                               0,     kEnd,      0, 156, kNone, kNone},
    {1702, 8,   4,         "80000006",                                               0,     kEnd,      0, 156, kNone, kNone},
    {1702, -1,  0,         "",                                                       0,     kEnd,      0, 156, kNone, kNone}, // end of the command list

    {1710, 0,   0,         "LOGIN: ----- 请求连接 -----",                            kNone, 1711,      1, 161, kNone, kNone},
    {1711, 6,   10,        "LOGIN: SPID(SP企业代码) =",                              kNone, 1712,      0, 163, kNone, kNone},
    {1712, 58,  16,        "LOGIN: 客户端密码 =",                                    kNone, 1713,      0, 163, kNone, kNone}, // an MD5 authenticator: octets, shown in hex
    {1713, 9,   1,         "LOGIN: 登录类型 =",                                      kNone, 1714,      0, 163, kNone, kNone},
    {1714, 2,   4,         "LOGIN: 时间戳的明文 =",                                  kNone, 1715,      0, 163, kNone, kNone},
    {1715, 33,  1,         "LOGIN: 客户端版本号 =",                                  kNone, kEnd,      0, 163, kNone, kNone},

    {1720, 0,   0,         "LOGIN_RESP: ----- 请求连接应答 -----",                   kNone, 1721,      1, 161, kNone, kNone},
    {1721, 58,  16,        "LOGIN_RESP: 服务器端认证码 =",                           kNone, 1722,      0, 163, kNone, kNone}, // an MD5 authenticator: octets, shown in hex
    {1722, 33,  1,         "LOGIN_RESP: 服务器版本号 =",                             kNone, kEnd,      0, 163, kNone, kNone},

    {1730, 0,   0,         "SUBMIT: ----- SP发送短消息请求 -----",                   kNone, 1731,      1, 161, kNone, kNone},
    {1731, 6,   10,        "SUBMIT: SP的企业代码 =",                                 kNone, 1732,      0, 163, kNone, kNone},
    {1732, 9,   1,         "SUBMIT: 短消息子类型 =",                                 kNone, 1733,      0, 163, kNone, kNone},
    {1733, 9,   1,         "SUBMIT: 是否要求返回状态报告 =",                         kNone, 1734,      0, 163, kNone, kNone},
    {1734, 9,   1,         "SUBMIT: 发送优先级 =",                                   kNone, 1735,      0, 163, kNone, kNone},
    {1735, 6,   10,        "SUBMIT: 业务类型 =",                                     kNone, 1736,      0, 163, kNone, kNone},
    {1736, 6,   2,         "SUBMIT: 资费类型 =",                                     kNone, 1737,      0, 163, kNone, kNone},
    {1737, 9,   1,         "SUBMIT: 计费用户类型字段 =",                             kNone, 1738,      0, 163, kNone, kNone},
    {1738, 6,   6,         "SUBMIT: 每条短消息的信息费 =",                           kNone, 1739,      0, 163, kNone, kNone},
    {1739, 38,  1,         "SUBMIT: 短消息格式 =",                                   kNone, 1740,      0, 163, kNone, kNone},
    {1740, 6,   17,        "SUBMIT: 有效时间 =",                                     kNone, 1741,      0, 163, kNone, kNone},
    {1741, 6,   17,        "SUBMIT: 定时发送时间 =",                                 kNone, 1742,      0, 163, kNone, kNone},
    {1742, 6,   21,        "SUBMIT: 发送用户号码 =",                                 kNone, 1743,      0, 163, kNone, kNone},
    {1743, 6,   21,        "SUBMIT: 计费用户号码 =",                                 kNone, 1744,      0, 163, kNone, kNone},
    {1744, 9,   1,         "SUBMIT: 接收号码总数 =",                                 kNone, 1745,      0, 163, kNone, kNone},
    {1745, 31,  kVariable, "SUBMIT: 接收号码 =",                                     kNone, 1746,      0, 163, kNone, 1744},
    {1746, 32,  1,         "SUBMIT: 短消息长度 =",                                   kNone, 1747,      0, 163, kNone, kNone},
    {1747, 106, kVariable, "SUBMIT: 短消息内容 =",                                   kNone, 1748,      0, 163, kNone, 1746},
    {1748, 4,   2,         "SUBMIT: 协议标识-标识 =",                                kNone, 1749,      0, 163, kNone, kNone},
    {1749, 4,   2,         "SUBMIT: 协议标识-实际长度 =",                            kNone, 1750,      0, 163, kNone, kNone},
    {1750, 9,   1,         "SUBMIT: 协议标识-值 =",                                  kNone, kEnd,      0, 163, kNone, kNone},

    {1755, 0,   0,         "SUBMIT_RESP: ----- SP发送短消息请求应答 -----",          kNone, 1756,      1, 161, kNone, kNone},
    {1756, 56,  10,        "SUBMIT_RESP: SMGW产生的短消息流水号 =",                  kNone, 1757,      0, 163, kNone, kNone},
    {1757, 4,   2,         "SUBMIT_RESP: 流量控制-标识 =",                           kNone, 1758,      0, 163, kNone, kNone},
    {1758, 4,   2,         "SUBMIT_RESP: 流量控制-实际长度 =",                       kNone, 1759,      0, 163, kNone, kNone},
    {1759, 9,   1,         "SUBMIT_RESP: 流量控制-值 =",                             kNone, kEnd,      0, 163, kNone, kNone},

    {1760, 0,   0,         "DELIVER: ----- SMGW发送短消息请求 -----",                kNone, 1761,      1, 161, kNone, kNone},
    {1761, 56,  10,        "DELIVER: SMGW产生的短消息流水号 =",                      kNone, 1762,      0, 163, kNone, kNone},
    {1762, 53,  1,         "DELIVER: 是否状态报告 =",                                kNone, 1763,      0, 163, kNone, kNone},
    {1763, 38,  1,         "DELIVER: 短消息格式 =",                                  kNone, 1764,      0, 163, kNone, kNone},
    {1764, 6,   14,        "DELIVER: 接收时间 =",                                    kNone, 1765,      0, 163, kNone, kNone},
    {1765, 6,   21,        "DELIVER: 发送用户号码 =",                                kNone, 1766,      0, 163, kNone, kNone},
    {1766, 6,   21,        "DELIVER: 接收用户号码 =",                                kNone, 1767,      0, 163, kNone, kNone},
    {1767, 32,  1,         "DELIVER: 短消息长度 =",                                  kNone, 1768,      0, 163, kNone, kNone},
    {1768, 106, kVariable, "DELIVER: 短消息内容 =",                                  kNone, 1770,      0, 163, kNone, 1767},
    {1770, 4,   2,         "DELIVER: 协议标识-标识 =",                               kNone, 1771,      0, 163, kNone, kNone},
    {1771, 4,   2,         "DELIVER: 协议标识-实际长度 =",                           kNone, 1772,      0, 163, kNone, kNone},
    {1772, 9,   1,         "DELIVER: 协议标识-值 =",                                 kNone, kEnd,      0, 163, kNone, kNone},

    {1780, 0,   0,         "DELIVER_RESP: ----- SMGW发送短消息请求应答 -----",       kNone, 1781,      1, 161, kNone, kNone},
    {1781, 56,  10,        "DELIVER_RESP: SMGW产生的短消息流水号 =",                 kNone, 1782,      0, 163, kNone, kNone},
    {1782, 4,   2,         "DELIVER_RESP: 流量控制-标识 =",                          kNone, 1783,      0, 163, kNone, kNone},
    {1783, 4,   2,         "DELIVER_RESP: 流量控制-实际长度 =",                      kNone, 1784,      0, 163, kNone, kNone},
    {1784, 9,   1,         "DELIVER_RESP: 流量控制-值 =",                            kNone, kEnd,      0, 163, kNone, kNone},
};

// SGIP 4 header rows, 11 case rows, 57 body rows; CNGP 5 header rows, 11 case rows, 52 body rows.
static_assert(std::size(kDescriptors) == 140);

static_assert(NoTerminatorLookalike(kDescriptors));
static_assert(CaseListsClosed(kDescriptors));
static_assert(ReferencesResolve(kDescriptors));

constexpr CodeName kCodeNames[] = {
    // SGIP command ids (the activity test has names but no case: its decode stops after the header)
    {1302, 0x00000001, "登录命令"},
    {1302, 0x80000001, "登录应答"},
    {1302, 0x00000002, "Unbind命令"},
    {1302, 0x80000002, "Unbind_Resp应答"},
    {1302, 0x00000003, "提交MT短消息"},
    {1302, 0x80000003, "提交MT短消息应答"},
    {1302, 0x00000004, "发送MO短消息"},
    {1302, 0x80000004, "发送MO短消息应答"},
    {1302, 0x00000005, "发送状态报告"},
    {1302, 0x80000005, "发送状态报告应答"},
    {1302, 0x10000001, "激活测试"},
    {1302, 0x10000010, "激活测试应答"},
    // CNGP command ids
    {1702, 0x00000001, "登录请求"},
    {1702, 0x80000001, "登录请求的应答"},
    {1702, 0x00000002, "SP发送短消息请求"},
    {1702, 0x80000002, "SP发送短消息请求的应答"},
    {1702, 0x00000003, "SMGW发送短消息请求"},
    {1702, 0x80000003, "SMGW发送短消息的应答"},
    {1702, 0x00000004, "测试通信链路是否正常请求"},
    {1702, 0x80000004, "测试通信链路是否正常的应答"},
    {1702, 0x00000006, "退出请求"},
    {1702, 0x80000006, "退出请求的应答"},
};
static_assert(std::size(kCodeNames) == 22);

constexpr auto kSgipValueNames = std::to_array<ValueName>({
    {1320, 1,  "SP向SMG建立的连接，用于发送命令"},
    {1320, 2,  "SMG向SP建立的连接，用于发送命令"},
    {1320, 3,  "SMG之间建立的连接，用于转发命令"},
    {1320, 4,  "SMG向GNS建立的连接，用于路由表的检索和维护"},
    {1320, 5,  "GNS向SMG建立的连接，用于路由表的更新"},
    {1320, 6,  "主备GNS之间建立的连接，用于主备路由表的一致性"},
    {1320, 11, "SP与SMG以及SMG之间建立的测试连接，用于跟踪测试"},
    {1320, -1, "保留"},
    {1331, 0,  "成功"},
    {1331, -1, "失败"},
    {1346, 0,  "\"短消息类型\"为\"发送\"，对\"计费用户号码\"不计信息费"},
    {1346, 1,  "对\"计费用户号码\"免费"},
    {1346, 2,  "对\"计费用户号码\"按条计信息费"},
    {1346, 3,  "对\"计费用户号码\"按包月收取信息费"},
    {1346, 4,  "对\"计费用户号码\"的收费是由SP实现"},
    {1346, -1, "未知"},
    {1351, 0,  "应收"},
    {1351, 1,  "实收"},
    {1351, -1, "未知"},
    {1352, 0,  "MO点播引起的第一条MT消息"},
    {1352, 1,  "MO点播引起的非第一条MT消息"},
    {1352, 2,  "非MO点播引起的MT消息"},
    {1352, 3,  "系统反馈引起的MT消息"},
    {1352, -1, "未知"},
    {1357, 0,  "该条消息只有最后出错时要返回状态报告"},
    {1357, 1,  "该条消息无论最后是否成功都要返回状态报告"},
    {1357, 2,  "该条消息不需要返回状态报告"},
    {1357, 3,  "该条消息仅携带包月计费信息，不下发给用户，要返回状态报告"},
    {1357, -1, "其它"},
    {1361, 0,  "短消息信息"},
    {1361, -1, "其它"},
    {1370, 0,  "成功"},
    {1370, -1, "失败"},
    {1402, 0,  "对先前一条Submit命令的状态报告"},
    {1402, 1,  "对先前一条前转Deliver命令的状态报告"},
    {1402, -1, "未知"},
    {1404, 0,  "发送成功"},
    {1404, 1,  "等待发送"},
    {1404, 2,  "发送失败"},
    {1404, -1, "未知"},
    {1405, 0,  "成功"},
    {1405, 25, "用户不能通信"},
    {1405, -1, "未知"},
    {1411, 0,  "成功"},
    {1411, -1, "失败"},
});

// The TLV tag fields (1748, 1757, 1770, 1782) name the tags 0x0100 and 0x0428.
// The fee type (1736) is named from the decimal value of its two characters.
constexpr auto kCngpValueNames = std::to_array<ValueName>({
    {1713, 0,    "发送短消息"},
    {1713, 1,    "接收短消息"},
    {1713, 2,    "收发短消息"},
    {1713, -1,   "保留"},
    {1732, 0,    "取消订阅"},
    {1732, 1,    "订阅或点播请求"},
    {1732, 2,    "点播下发"},
    {1732, 3,    "订阅下发"},
    {1732, -1,   "保留"},
    {1733, 0,    "不要求"},
    {1733, 1,    "要求"},
    {1733, -1,   "未知"},
    {1736, 0,    "免费"},
    {1736, 1,    "按条收费"},
    {1736, 2,    "包月"},
    {1736, 3,    "封顶"},
    {1736, 4,    "包月扣费请求"},
    {1736, 5,    "CR话单"},
    {1736, -1,   "保留"},
    {1737, 0,    "对目的终端计费"},
    {1737, 1,    "对源终端计费"},
    {1737, 2,    "对SP计费"},
    {1737, 3,    "按照计费用户号码计费"},
    {1737, -1,   "保留"},
    {1739, 0,    "ASCII编码"},
    {1739, 3,    "保留"},
    {1739, 4,    "二进制短消息"},
    {1739, 8,    "UCS2编码"},
    {1739, 15,   "GB2312编码"},
    {1739, -1,   "未知"},
    {1748, 256,  "协议标识"},
    {1748, 1064, "拥塞状态"},
    {1748, -1,   "未知"},
    {1757, 256,  "协议标识"},
    {1757, 1064, "拥塞状态"},
    {1757, -1,   "未知"},
    {1762, 0,    "不是"},
    {1762, 1,    "是"},
    {1762, -1,   "未知"},
    {1763, 0,    "ASCII编码"},
    {1763, 3,    "保留"},
    {1763, 4,    "二进制短消息"},
    {1763, 8,    "UCS2编码"},
    {1763, 15,   "GB2312编码"},
    {1763, -1,   "未知"},
    {1770, 256,  "协议标识"},
    {1770, 1064, "拥塞状态"},
    {1770, -1,   "未知"},
    {1782, 256,  "协议标识"},
    {1782, 1064, "拥塞状态"},
    {1782, -1,   "未知"},
});

template <std::size_t... N>
constexpr std::array<ValueName, (N + ...)> Concat(const std::array<ValueName, N>&... parts) {
    std::array<ValueName, (N + ...)> out{};
    std::size_t at = 0;
    ((std::copy(parts.begin(), parts.end(), out.begin() + at), at += N), ...);
    return out;
}

constexpr auto kValueNames = Concat(kSgipValueNames, kCngpValueNames);

// Fields that show the names of a list kept under another field's id.
constexpr NameCategory kNameCategories[] = {
    {1360, 73},   // submit message coding reads the CMPP message format names
    {1386, 73},   // deliver message coding reads the CMPP message format names
    {1395, 1370}, // deliver response result reads the submit response names
    {1703, 552},  // CNGP shares SMGP's status numbering
};

// The lists borrowed from other families: the CMPP message formats and the SMGP results.
constexpr int32_t kOtherFamilyCategories[] = {73, 552};

static_assert(WildcardsLast(kValueNames));
static_assert(NameCategoriesResolve(kDescriptors, kValueNames, kNameCategories, kOtherFamilyCategories));

} // namespace

Family SgipCngpFamily() { return {kDescriptors, kCodeNames, kValueNames, kNameCategories}; }
} // namespace decode_table
