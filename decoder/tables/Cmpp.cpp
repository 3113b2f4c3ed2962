// Decode rows of CMPP 2.0, CMPP 3.0 and the mobile TEST protocol: descriptors, command names and value names.
#include "decoder/tables/TableChecks.h"
#include "decoder/tables/Tables.h"
#include "protocol/TestCommands.h"

#include <array>
#include <iterator>

namespace decode_table {
namespace {

// Columns: {id, kind, width, label, caseOwner, next, isGroup, iconId, selectorId, widthSourceId}.
// Icons: 153/157 CMPP header group/fields, 160/156 TEST header group/fields, 161/163 body group/fields.
constexpr FieldDescriptor kDescriptors[] = {
    // ---- CMPP 2.0 (protocol code 1) ----
    {  10,  0,  0, "CMPP: ----- 中国移动点对点协议 -----",          -1,  11,        1, 153, kNone, kNone},
    {  11,  2,  4, "CMPP: 长度 =",                                   -1,  12,        0, 157, kNone, kNone},
    {  12, 30,  4, "CMPP: 命令 =",                                   -1,  13,        0, 157, kNone, kNone},
    {  13,  2,  4, "CMPP: 序号 =",                                   -1,  kDispatch, 0, 157,    12, kNone},
    // command-id cases
    {  12,  8,  4, "00000001",                                        0,  20,        0, 157, kNone, kNone},
    {  12,  8,  4, "80000001",                                        0,  30,        0, 157, kNone, kNone},
    {  12,  8,  4, "00000002",                                        0,  kEnd,      0, 157, kNone, kNone},
    {  12,  8,  4, "80000002",                                        0,  kEnd,      0, 157, kNone, kNone},
    {  12,  8,  4, "00000004",                                        0,  60,        0, 157, kNone, kNone},
    {  12,  8,  4, "80000004",                                        0, 100,        0, 157, kNone, kNone},
    {  12,  8,  4, "00000005",                                        0, 120,        0, 157, kNone, kNone},
    {  12,  8,  4, "80000005",                                        0, 160,        0, 157, kNone, kNone},
    {  12,  8,  4, "00000006",                                        0,  kEnd,      0, 157, kNone, kNone},
    {  12,  8,  4, "80000006",                                        0,  kEnd,      0, 157, kNone, kNone},
    {  12,  8,  4, "00000007",                                        0,  kEnd,      0, 157, kNone, kNone},
    {  12,  8,  4, "80000007",                                        0,  kEnd,      0, 157, kNone, kNone},
    {  12,  8,  4, "00000008",                                        0,  kEnd,      0, 157, kNone, kNone},
    {  12,  8,  4, "80000008",                                        0, 170,        0, 157, kNone, kNone},
    {  12,  8,  4, "00000009",                                        0, 250,        0, 157, kNone, kNone},
    {  12,  8,  4, "80000009",                                        0, 280,        0, 157, kNone, kNone},
    {  12,  8,  4, "00000010",                                        0,  kEnd,      0, 157, kNone, kNone},
    {  12,  8,  4, "80000010",                                        0,  kEnd,      0, 157, kNone, kNone},
    {  12, -1,  0, "",                                                0,  kEnd,      0, 157, kNone, kNone},
    // connect
    {  20,  0,  0, "CONNECT: ----- 请求连接 -----",                  -1,  21,        1, 161, kNone, kNone},
    {  21,  6,  6, "CONNECT: 源地址 =",                              -1,  22,        0, 163, kNone, kNone},
    {  22, 58, 16, "CONNECT: 认证码 =",                              -1,  23,        0, 163, kNone, kNone}, // an MD5 authenticator: octets, shown in hex
    {  23, 33,  1, "CONNECT: 版本号 =",                              -1,  24,        0, 163, kNone, kNone},
    {  24,  2,  4, "CONNECT: 时间戳 =",                              -1,  kEnd,      0, 163, kNone, kNone},
    // connect response
    {  30,  0,  0, "CONNECT_RESP: ----- 请求连接应答 -----",         -1,  31,        1, 161, kNone, kNone},
    {  31,  9,  1, "CONNECT_RESP: 状态 =",                           -1,  32,        0, 163, kNone, kNone},
    {  32, 58, 16, "CONNECT_RESP: 认证码 =",                         -1,  33,        0, 163, kNone, kNone}, // an MD5 authenticator: octets, shown in hex
    {  33, 33,  1, "CONNECT_RESP: 版本号 =",                         -1,  kEnd,      0, 163, kNone, kNone},
    // submit
    {  60,  0,  0, "SUBMIT: ----- 提交短信 -----",                   -1,  61,        1, 161, kNone, kNone},
    {  61, 1000, 8, "SUBMIT: 信息标识 =",                            -1,  62,        0, 163, kNone, kNone},
    {  62,  9,  1, "SUBMIT: 相同Msg_Id的信息总条数 =",               -1,  63,        0, 163, kNone, kNone},
    {  63,  9,  1, "SUBMIT: 相同Msg_Id的信息序号 =",                 -1,  64,        0, 163, kNone, kNone},
    {  64,  9,  1, "SUBMIT: 要求状态报告 =",                         -1,  65,        0, 163, kNone, kNone},
    {  65,  9,  1, "SUBMIT: 信息级别 =",                             -1,  66,        0, 163, kNone, kNone},
    {  66,  6, 10, "SUBMIT: 业务类型 =",                             -1,  67,        0, 163, kNone, kNone},
    {  67,  9,  1, "SUBMIT: 计费用户类型 =",                         -1,  68,        0, 163, kNone, kNone},
    {  68,  6, 21, "SUBMIT: 被计费用户的号码 =",                     -1,  69,        0, 163, kNone, kNone},
    {  69,  9,  1, "SUBMIT: GSM协议类型 =",                          -1,  70,        0, 163, kNone, kNone},
    {  70, 39,  1, "SUBMIT: TP_udhi(用户数据头标识) =",                     -1,  73,        0, 163, kNone, kNone}, // the UDHI octet: its header, when set, opens the content
    {  73, 38,  1, "SUBMIT: 信息格式 =",                             -1,  75,        0, 163, kNone, kNone},
    {  75,  6,  6, "SUBMIT: 信息内容来源 =",                         -1,  76,        0, 163, kNone, kNone},
    {  76,  6,  2, "SUBMIT: 资费类别 =",                             -1,  77,        0, 163, kNone, kNone},
    {  77,  6,  6, "SUBMIT: 资费代码 =",                             -1,  78,        0, 163, kNone, kNone},
    {  78,  6, 17, "SUBMIT: 存活有效期 =",                           -1,  79,        0, 163, kNone, kNone},
    {  79,  6, 17, "SUBMIT: 定时发送时间 =",                         -1,  80,        0, 163, kNone, kNone},
    {  80,  6, 21, "SUBMIT: 源号码 =",                               -1,  81,        0, 163, kNone, kNone},
    {  81,  9,  1, "SUBMIT: 接收用户数 =",                           -1,  85,        0, 163, kNone, kNone},
    {  85, 31, kVariable, "SUBMIT: 接收短信的MSISDN号码 =",          -1,  86,        0, 163, kNone,    81}, // shows the first number, covers all
    {  86, 32,  1, "SUBMIT: 信息长度 =",                             -1,  87,        0, 163, kNone, kNone},
    {  87, 100, kVariable, "SUBMIT: 信息内容 =",                     -1,  88,        0, 163, kNone,    86},
    {  88,  0,  8, "SUBMIT: 保留",                                   -1,  kEnd,      0, 163, kNone, kNone},
    // submit response
    { 100,  0,  0, "SUBMIT_RESP: ----- 提交短信应答 -----",          -1, 101,        1, 161, kNone, kNone},
    { 101, 1000, 8, "SUBMIT_RESP: 信息标识 =",                       -1, 102,        0, 163, kNone, kNone},
    { 102, 32,  1, "SUBMIT_RESP: 结果 =",                            -1,  kEnd,      0, 163, kNone, kNone},
    // deliver
    { 120,  0,  0, "DELIVER: ----- 短信下发 -----",                  -1, 121,        1, 161, kNone, kNone},
    { 121, 1000, 8, "DELIVER: 信息标识 =",                           -1, 122,        0, 163, kNone, kNone},
    { 122,  6, 21, "DELIVER: 目的号码 =",                            -1, 123,        0, 163, kNone, kNone},
    { 123,  6, 10, "DELIVER: 业务类型 =",                            -1, 124,        0, 163, kNone, kNone},
    { 124,  9,  1, "DELIVER: GSM协议类型 =",                         -1, 125,        0, 163, kNone, kNone},
    { 125, 39,  1, "DELIVER: TP_udhi(用户数据头标识) =",                    -1, 126,        0, 163, kNone, kNone}, // the UDHI octet: its header, when set, opens the content
    { 126, 38,  1, "DELIVER: 信息格式 =",                            -1, 127,        0, 163, kNone, kNone},
    { 127,  6, 21, "DELIVER: 源号码 =",                              -1, 129,        0, 163, kNone, kNone},
    { 129, 53,  1, "DELIVER: 是否状态报告 =",                        -1, 131,        0, 163, kNone, kNone},
    { 131, 32,  1, "DELIVER: 信息长度 =",                            -1, 132,        0, 163, kNone, kNone},
    { 132, 100, kVariable, "DELIVER: 信息内容 =",                    -1, 133,        0, 163, kNone,   131}, // a report in the 2.0 layout when flagged
    { 133,  0,  8, "DELIVER: 保留",                                  -1,  kEnd,      0, 163, kNone, kNone},
    // deliver response
    { 160,  0,  0, "DELIVER_RESP: ----- 下发短信应答 -----",         -1, 161,        1, 161, kNone, kNone},
    { 161, 1000, 8, "DELIVER_RESP: 信息标识 =",                      -1, 162,        0, 163, kNone, kNone},
    { 162, 32,  1, "DELIVER_RESP: 结果 =",                           -1,  kEnd,      0, 163, kNone, kNone},
    // activity-test response
    { 170,  0,  0, "ACTIVETEST_RESP: ----- 激活测试应答 -----",      -1, 171,        1, 161, kNone, kNone},
    { 171,  0,  1, "ACTIVETEST_RESP: 保留",                          -1,  kEnd,      0, 163, kNone, kNone},
    // forward between gateways; the list of numbers shows the first, as the submit's does
    { 250,   0, 0, "FWD: ----- 消息前转 -----",                      -1, 251,       1, 161, kNone, kNone},
    { 251,   6, 6, "FWD: 源网关代码 =",                              -1, 252,       0, 163, kNone, kNone},
    { 252,   6, 6, "FWD: 目的网关代码 =",                            -1, 253,       0, 163, kNone, kNone},
    { 253,   9, 1, "FWD: 经过的网关数量 =",                          -1, 254,       0, 163, kNone, kNone},
    { 254,   9, 1, "FWD: 前转类型 =",                                -1, 255,       0, 163, kNone, kNone},
    { 255, 1000, 8, "FWD: 信息标识 =",                                -1, 256,       0, 163, kNone, kNone},
    { 256,   9, 1, "FWD: 相同Msg_Id的信息总条数 =",                  -1, 257,       0, 163, kNone, kNone},
    { 257,   9, 1, "FWD: 相同Msg_Id的信息序号 =",                    -1, 258,       0, 163, kNone, kNone},
    { 258,   9, 1, "FWD: 要求状态报告 =",                            -1, 259,       0, 163, kNone, kNone},
    { 259,   9, 1, "FWD: 信息级别 =",                                -1, 260,       0, 163, kNone, kNone},
    { 260,   6, 10, "FWD: 业务类型 =",                                -1, 261,       0, 163, kNone, kNone},
    { 261,   9, 1, "FWD: 计费用户类型 =",                            -1, 262,       0, 163, kNone, kNone},
    { 262,   6, 21, "FWD: 被计费用户的号码 =",                        -1, 263,       0, 163, kNone, kNone},
    { 263,   9, 1, "FWD: GSM协议类型 =",                             -1, 264,       0, 163, kNone, kNone},
    { 264,  39, 1, "FWD: TP_udhi(用户数据头标识) =",                 -1, 265,       0, 163, kNone, kNone},
    { 265,  38, 1, "FWD: 信息格式 =",                                -1, 266,       0, 163, kNone, kNone},
    { 266,   6, 6, "FWD: 信息内容来源 =",                            -1, 267,       0, 163, kNone, kNone},
    { 267,   6, 2, "FWD: 资费类别 =",                                -1, 268,       0, 163, kNone, kNone},
    { 268,   6, 6, "FWD: 资费代码 =",                                -1, 269,       0, 163, kNone, kNone},
    { 269,   6, 17, "FWD: 存活有效期 =",                              -1, 270,       0, 163, kNone, kNone},
    { 270,   6, 17, "FWD: 定时发送时间 =",                            -1, 271,       0, 163, kNone, kNone},
    { 271,   6, 21, "FWD: 源号码 =",                                  -1, 272,       0, 163, kNone, kNone},
    { 272,   9, 1, "FWD: 接收用户数 =",                              -1, 273,       0, 163, kNone, kNone},
    { 273,  31, kVariable, "FWD: 接收短信的MSISDN号码 =",                    -1, 274,       0, 163, kNone,   272},
    { 274,  32, 1, "FWD: 信息长度 =",                                -1, 275,       0, 163, kNone, kNone},
    { 275, 100, kVariable, "FWD: 信息内容 =",                                -1, 276,       0, 163, kNone,   274},
    { 276,   0, 8, "FWD: 保留",                                      -1, kEnd,      0, 163, kNone, kNone},
    // forward response
    { 280,   0, 0, "FWD_RESP: ----- 消息前转应答 -----",             -1, 281,       1, 161, kNone, kNone},
    { 281, 1000, 8, "FWD_RESP: 信息标识 =",                           -1, 282,       0, 163, kNone, kNone},
    { 282,   9, 1, "FWD_RESP: 相同Msg_Id的信息总条数 =",             -1, 283,       0, 163, kNone, kNone},
    { 283,   9, 1, "FWD_RESP: 相同Msg_Id的信息序号 =",               -1, 284,       0, 163, kNone, kNone},
    { 284,  32, 1, "FWD_RESP: 结果 =",                               -1, kEnd,      0, 163, kNone, kNone},

    // ---- CMPP 3.0 (protocol code 4) ----
    {1010,  0,  0, "CMPP3: ----- 中国移动点对点协议v3 -----",        -1, 1011,       1, 153, kNone, kNone},
    {1011,  2,  4, "CMPP3: 长度 =",                                  -1, 1012,       0, 157, kNone, kNone},
    {1012, 30,  4, "CMPP3: 命令 =",                                  -1, 1013,       0, 157, kNone, kNone}, // named from code table 12
    {1013,  2,  4, "CMPP3: 序号 =",                                  -1,  kDispatch, 0, 157,  1012, kNone},
    // command-id cases
    {1012,  8,  4, "00000001",                                        0, 1020,       0, 157, kNone, kNone},
    {1012,  8,  4, "80000001",                                        0, 1030,       0, 157, kNone, kNone},
    {1012,  8,  4, "00000002",                                        0,  kEnd,      0, 157, kNone, kNone},
    {1012,  8,  4, "80000002",                                        0,  kEnd,      0, 157, kNone, kNone},
    {1012,  8,  4, "00000004",                                        0, 1060,       0, 157, kNone, kNone},
    {1012,  8,  4, "80000004",                                        0, 1100,       0, 157, kNone, kNone},
    {1012,  8,  4, "00000005",                                        0, 1120,       0, 157, kNone, kNone},
    {1012,  8,  4, "80000005",                                        0, 1160,       0, 157, kNone, kNone},
    {1012,  8,  4, "00000006",                                        0,  kEnd,      0, 157, kNone, kNone},
    {1012,  8,  4, "80000006",                                        0,  kEnd,      0, 157, kNone, kNone},
    {1012,  8,  4, "00000007",                                        0,  kEnd,      0, 157, kNone, kNone},
    {1012,  8,  4, "80000007",                                        0,  kEnd,      0, 157, kNone, kNone},
    {1012,  8,  4, "00000008",                                        0,  kEnd,      0, 157, kNone, kNone},
    {1012,  8,  4, "80000008",                                        0, 1170,       0, 157, kNone, kNone},
    {1012,  8,  4, "00000009",                                        0, 1200,       0, 157, kNone, kNone},
    {1012,  8,  4, "80000009",                                        0, 1250,       0, 157, kNone, kNone},
    {1012,  8,  4, "00000010",                                        0,  kEnd,      0, 157, kNone, kNone},
    {1012,  8,  4, "80000010",                                        0,  kEnd,      0, 157, kNone, kNone},
    {1012, -1,  0, "",                                                0,  kEnd,      0, 157, kNone, kNone},
    // connect
    {1020,  0,  0, "CONNECT: ----- 请求连接 -----",                  -1, 1021,       1, 161, kNone, kNone},
    {1021,  6,  6, "CONNECT: 源地址 =",                              -1, 1022,       0, 163, kNone, kNone},
    {1022, 58, 16, "CONNECT: 认证码 =",                              -1, 1023,       0, 163, kNone, kNone}, // an MD5 authenticator: octets, shown in hex
    {1023, 33,  1, "CONNECT: 版本号 =",                              -1, 1024,       0, 163, kNone, kNone},
    {1024,  2,  4, "CONNECT: 时间戳 =",                              -1,  kEnd,      0, 163, kNone, kNone},
    // connect response
    {1030,  0,  0, "CONNECT_RESP: ----- 请求连接应答 -----",         -1, 1031,       1, 161, kNone, kNone},
    {1031,  2,  4, "CONNECT_RESP: 状态 =",                           -1, 1032,       0, 163, kNone, kNone},
    {1032, 58, 16, "CONNECT_RESP: 认证码 =",                         -1, 1033,       0, 163, kNone, kNone}, // an MD5 authenticator: octets, shown in hex
    {1033, 33,  1, "CONNECT_RESP: 版本号 =",                         -1,  kEnd,      0, 163, kNone, kNone},
    // submit
    {1060,  0,  0, "SUBMIT: ----- 提交短信 -----",                   -1, 1061,       1, 161, kNone, kNone},
    {1061, 1000, 8, "SUBMIT: 信息标识 =",                            -1, 1062,       0, 163, kNone, kNone},
    {1062,  9,  1, "SUBMIT: 相同Msg_Id的信息总条数 =",               -1, 1063,       0, 163, kNone, kNone},
    {1063,  9,  1, "SUBMIT: 相同Msg_Id的信息序号 =",                 -1, 1064,       0, 163, kNone, kNone},
    {1064,  9,  1, "SUBMIT: 要求状态报告 =",                         -1, 1065,       0, 163, kNone, kNone},
    {1065,  9,  1, "SUBMIT: 信息级别 =",                             -1, 1066,       0, 163, kNone, kNone},
    {1066,  6, 10, "SUBMIT: 业务类型 =",                             -1, 1067,       0, 163, kNone, kNone},
    {1067,  9,  1, "SUBMIT: 计费用户类型 =",                         -1, 1068,       0, 163, kNone, kNone},
    {1068,  6, 32, "SUBMIT: 被计费用户的号码 =",                     -1, 1069,       0, 163, kNone, kNone},
    {1069, 32,  1, "SUBMIT: 被计费用户的号码类型 =",                 -1, 1070,       0, 163, kNone, kNone},
    {1070,  9,  1, "SUBMIT: GSM协议类型 =",                          -1, 1071,       0, 163, kNone, kNone},
    {1071, 39,  1, "SUBMIT: TP_udhi(用户数据头标识) =",                     -1, 1073,       0, 163, kNone, kNone}, // the UDHI octet: its header, when set, opens the content
    {1073, 38,  1, "SUBMIT: 信息格式 =",                             -1, 1075,       0, 163, kNone, kNone},
    {1075,  6,  6, "SUBMIT: 信息内容来源 =",                         -1, 1076,       0, 163, kNone, kNone},
    {1076,  6,  2, "SUBMIT: 资费类别 =",                             -1, 1077,       0, 163, kNone, kNone},
    {1077,  6,  6, "SUBMIT: 资费代码 =",                             -1, 1078,       0, 163, kNone, kNone},
    {1078,  6, 17, "SUBMIT: 存活有效期 =",                           -1, 1079,       0, 163, kNone, kNone},
    {1079,  6, 17, "SUBMIT: 定时发送时间 =",                         -1, 1080,       0, 163, kNone, kNone},
    {1080,  6, 21, "SUBMIT: 源号码 =",                               -1, 1082,       0, 163, kNone, kNone},
    {1082,  9,  1, "SUBMIT: 接收用户数 =",                           -1, 1084,       0, 163, kNone, kNone},
    {1084, 43, kVariable, "SUBMIT: 接收短信的MSISDN号码 =",          -1, 1085,       0, 163, kNone,  1082}, // shows the first number, covers all
    {1085, 32,  1, "SUBMIT: 接收短信的用户的号码类型 =",             -1, 1086,       0, 163, kNone, kNone},
    {1086, 32,  1, "SUBMIT: 信息长度 =",                             -1, 1087,       0, 163, kNone, kNone},
    {1087, 100, kVariable, "SUBMIT: 信息内容 =",                     -1, 1088,       0, 163, kNone,  1086},
    {1088,  6, 20, "SUBMIT: 点播业务使用的LinkID =",                 -1,  kEnd,      0, 163, kNone, kNone},
    // submit response
    {1100,  0,  0, "SUBMIT_RESP: ----- 提交短信应答 -----",          -1, 1101,       1, 161, kNone, kNone},
    {1101, 1000, 8, "SUBMIT_RESP: 信息标识 =",                       -1, 1102,       0, 163, kNone, kNone},
    {1102,  2,  4, "SUBMIT_RESP: 结果 =",                            -1,  kEnd,      0, 163, kNone, kNone},
    // deliver
    {1120,  0,  0, "DELIVER: ----- 短信下发 -----",                  -1, 1121,       1, 161, kNone, kNone},
    {1121, 1000, 8, "DELIVER: 信息标识 =",                           -1, 1122,       0, 163, kNone, kNone},
    {1122,  6, 21, "DELIVER: 目的号码 =",                            -1, 1123,       0, 163, kNone, kNone},
    {1123,  6, 10, "DELIVER: 业务类型 =",                            -1, 1124,       0, 163, kNone, kNone},
    {1124,  9,  1, "DELIVER: GSM协议类型 =",                         -1, 1125,       0, 163, kNone, kNone},
    {1125, 39,  1, "DELIVER: TP_udhi(用户数据头标识) =",                    -1, 1126,       0, 163, kNone, kNone}, // the UDHI octet: its header, when set, opens the content
    {1126, 38,  1, "DELIVER: 信息格式 =",                            -1, 1127,       0, 163, kNone, kNone},
    {1127,  6, 32, "DELIVER: 源号码 =",                              -1, 1128,       0, 163, kNone, kNone},
    {1128, 32,  1, "DELIVER: 源号码类型 =",                          -1, 1129,       0, 163, kNone, kNone},
    {1129, 53,  1, "DELIVER: 是否状态报告 =",                        -1, 1131,       0, 163, kNone, kNone},
    {1131, 32,  1, "DELIVER: 信息长度 =",                            -1, 1132,       0, 163, kNone, kNone},
    {1132, 101, kVariable, "DELIVER: 信息内容 =",                    -1, 1133,       0, 163, kNone,  1131}, // a report in the 3.0 layout when flagged
    {1133,  6, 20, "DELIVER: 点播业务使用的LinkID =",                -1,  kEnd,      0, 163, kNone, kNone},
    // deliver response
    {1160,  0,  0, "DELIVER_RESP: ----- 下发短信应答 -----",         -1, 1161,       1, 161, kNone, kNone},
    {1161, 1000, 8, "DELIVER_RESP: 信息标识 =",                      -1, 1162,       0, 163, kNone, kNone},
    {1162,  2,  4, "DELIVER_RESP: 结果 =",                           -1,  kEnd,      0, 163, kNone, kNone},
    // activity-test response
    {1170,  0,  0, "ACTIVETEST_RESP: ----- 激活测试应答 -----",      -1, 171,        1, 161, kNone, kNone}, // shares the CMPP 2.0 reserved octet
    { 171,  0,  1, "ACTIVETEST_RESP: 保留",                          -1,  kEnd,      0, 163, kNone, kNone}, // never reached: 171 means the CMPP 2.0 row
    // forward between gateways: pseudo numbers beside the real ones
    {1200,   0, 0, "FWD: ----- 消息前转 -----",                      -1, 1201,      1, 161, kNone, kNone},
    {1201,   6, 6, "FWD: 源网关代码 =",                              -1, 1202,      0, 163, kNone, kNone},
    {1202,   6, 6, "FWD: 目的网关代码 =",                            -1, 1203,      0, 163, kNone, kNone},
    {1203,   9, 1, "FWD: 经过的网关数量 =",                          -1, 1204,      0, 163, kNone, kNone},
    {1204,   9, 1, "FWD: 前转类型 =",                                -1, 1205,      0, 163, kNone, kNone},
    {1205, 1000, 8, "FWD: 信息标识 =",                                -1, 1206,      0, 163, kNone, kNone},
    {1206,   9, 1, "FWD: 相同Msg_Id的信息总条数 =",                  -1, 1207,      0, 163, kNone, kNone},
    {1207,   9, 1, "FWD: 相同Msg_Id的信息序号 =",                    -1, 1208,      0, 163, kNone, kNone},
    {1208,   9, 1, "FWD: 要求状态报告 =",                            -1, 1209,      0, 163, kNone, kNone},
    {1209,   9, 1, "FWD: 信息级别 =",                                -1, 1210,      0, 163, kNone, kNone},
    {1210,   6, 10, "FWD: 业务类型 =",                                -1, 1211,      0, 163, kNone, kNone},
    {1211,   9, 1, "FWD: 计费用户类型 =",                            -1, 1212,      0, 163, kNone, kNone},
    {1212,   6, 21, "FWD: 被计费用户的号码 =",                        -1, 1213,      0, 163, kNone, kNone},
    {1213,   6, 32, "FWD: 被计费用户的伪码 =",                        -1, 1214,      0, 163, kNone, kNone},
    {1214,  32, 1, "FWD: 被计费用户的号码类型 =",                    -1, 1215,      0, 163, kNone, kNone},
    {1215,   9, 1, "FWD: GSM协议类型 =",                             -1, 1216,      0, 163, kNone, kNone},
    {1216,  39, 1, "FWD: TP_udhi(用户数据头标识) =",                 -1, 1217,      0, 163, kNone, kNone},
    {1217,  38, 1, "FWD: 信息格式 =",                                -1, 1218,      0, 163, kNone, kNone},
    {1218,   6, 6, "FWD: 信息内容来源 =",                            -1, 1219,      0, 163, kNone, kNone},
    {1219,   6, 2, "FWD: 资费类别 =",                                -1, 1220,      0, 163, kNone, kNone},
    {1220,   6, 6, "FWD: 资费代码 =",                                -1, 1221,      0, 163, kNone, kNone},
    {1221,   6, 17, "FWD: 存活有效期 =",                              -1, 1222,      0, 163, kNone, kNone},
    {1222,   6, 17, "FWD: 定时发送时间 =",                            -1, 1223,      0, 163, kNone, kNone},
    {1223,   6, 21, "FWD: 源号码 =",                                  -1, 1224,      0, 163, kNone, kNone},
    {1224,   6, 32, "FWD: 源号码的伪码 =",                            -1, 1225,      0, 163, kNone, kNone},
    {1225,  32, 1, "FWD: 源号码类型 =",                              -1, 1226,      0, 163, kNone, kNone},
    {1226,  32, 1, "FWD: 源号码的来源 =",                            -1, 1227,      0, 163, kNone, kNone},
    {1227,   9, 1, "FWD: 接收用户数 =",                              -1, 1228,      0, 163, kNone, kNone},
    {1228,  31, kVariable, "FWD: 接收短信的MSISDN号码 =",                    -1, 1229,      0, 163, kNone,  1227},
    {1229,   6, 32, "FWD: 接收号码的伪码 =",                          -1, 1230,      0, 163, kNone, kNone},
    {1230,  32, 1, "FWD: 接收号码类型 =",                            -1, 1231,      0, 163, kNone, kNone},
    {1231,  32, 1, "FWD: 信息长度 =",                                -1, 1232,      0, 163, kNone, kNone},
    {1232, 101, kVariable, "FWD: 信息内容 =",                                -1, 1233,      0, 163, kNone,  1231},
    {1233,   6, 20, "FWD: 点播业务使用的LinkID =",                    -1, kEnd,      0, 163, kNone, kNone},
    // forward response
    {1250,   0, 0, "FWD_RESP: ----- 消息前转应答 -----",             -1, 1251,      1, 161, kNone, kNone},
    {1251, 1000, 8, "FWD_RESP: 信息标识 =",                           -1, 1252,      0, 163, kNone, kNone},
    {1252,   9, 1, "FWD_RESP: 相同Msg_Id的信息总条数 =",             -1, 1253,      0, 163, kNone, kNone},
    {1253,   9, 1, "FWD_RESP: 相同Msg_Id的信息序号 =",               -1, 1254,      0, 163, kNone, kNone},
    {1254,   2, 4, "FWD_RESP: 结果 =",                               -1, kEnd,      0, 163, kNone, kNone},

    // ---- mobile TEST protocol (protocol code 8) ----
    { 180,  0,  0, "TEST: ----- 模拟终端协议 -----",                 -1, 181,        1, 160, kNone, kNone},
    { 181,  2,  4, "TEST: 长度 =",                                   -1, 182,        0, 156, kNone, kNone},
    { 182, 50,  4, "TEST: 命令 =",                                   -1, 183,        0, 156, kNone, kNone},
    { 183,  2,  4, "TEST: 序号 =",                                   -1,  kDispatch, 0, 156,   182, kNone},
    // command-id cases
    { 182,  8,  4, "00001001",                                        0, 190,        0, 156, kNone, kNone},
    { 182,  8,  4, "80001001",                                        0, 200,        0, 156, kNone, kNone},
    { 182,  8,  4, "00001002",                                        0, 215,        0, 156, kNone, kNone},
    { 182,  8,  4, "80001002",                                        0, 222,        0, 156, kNone, kNone},
    { 182,  8,  4, "00001003",                                        0, 230,        0, 156, kNone, kNone},
    { 182,  8,  4, "80001003",                                        0, 240,        0, 156, kNone, kNone},
    { 182, -1,  0, "",                                                0,  kEnd,      0, 156, kNone, kNone},
    // login
    { 190,  0,  0, "LOGIN: ----- TEST请求连接 -----",                -1, 191,        1, 161, kNone, kNone},
    { 191,  2,  4, "LOGIN: 终端类型 =",                              -1, 192,        0, 163, kNone, kNone},
    { 192,  6, 24, "LOGIN: 终端号码 =",                              -1,  kEnd,      0, 163, kNone, kNone},
    // login response
    { 200,  0,  0, "LOGIN_RESP: ----- TEST请求连接应答 -----",       -1, 201,        1, 161, kNone, kNone},
    { 201,  2,  4, "LOGIN_RESP: 返回结果 =",                         -1,  kEnd,      0, 163, kNone, kNone},
    // submit
    { 215,  0,  0, "SUBMIT: ----- TEST发送短消息请求 -----",         -1, 216,        1, 161, kNone, kNone},
    { 216,  6, 24, "SUBMIT: 目的终端号码 =",                         -1, 217,        0, 163, kNone, kNone},
    { 217,  6, 24, "SUBMIT: 源终端号码 =",                           -1, 218,        0, 163, kNone, kNone},
    { 218,  6, 10, "SUBMIT: 短消息ID =",                             -1, 219,        0, 163, kNone, kNone},
    { 219, 32,  1, "SUBMIT: 短消息长度 =",                           -1, 220,        0, 163, kNone, kNone},
    { 220,  6, kVariable, "SUBMIT: 短消息内容 =",                    -1,  kEnd,      0, 163, kNone,   219}, // plain text: a submit has no format octet
    // submit response
    { 222,  0,  0, "SUBMIT_RESP: ----- TEST发送短消息应答 -----",    -1, 223,        1, 161, kNone, kNone},
    { 223,  2,  4, "SUBMIT_RESP: 返回结果 =",                        -1, 224,        0, 163, kNone, kNone},
    { 224,  6, 10, "SUBMIT_RESP: 短消息ID =",                        -1,  kEnd,      0, 163, kNone, kNone},
    // deliver
    { 230,  0,  0, "DELIVER: ----- TEST下发短消息请求 -----",        -1, 231,        1, 161, kNone, kNone},
    { 231,  6, 24, "DELIVER: 目的终端号码 =",                        -1, 232,        0, 163, kNone, kNone},
    { 232,  6, 24, "DELIVER: 源终端号码 =",                          -1, 233,        0, 163, kNone, kNone},
    { 233,  6, 10, "DELIVER: 短消息ID =",                            -1, 234,        0, 163, kNone, kNone},
    { 234, 32,  1, "DELIVER: 短消息长度 =",                          -1, 236,        0, 163, kNone, kNone},
    { 236, 38,  1, "DELIVER: 短信格式 =",                            -1, 235,        0, 163, kNone, kNone}, // the format octet sits before the content
    { 235, 100, kVariable, "DELIVER: 短消息内容 =",                  -1,  kEnd,      0, 163, kNone,   234},
    // deliver response
    { 240,  0,  0, "DELIVER_RESP: ----- TEST下发短消息应答 -----",   -1, 241,        1, 161, kNone, kNone},
    { 241,  2,  4, "DELIVER_RESP: 返回结果 =",                       -1, 242,        0, 163, kNone, kNone},
    { 242,  6, 10, "DELIVER_RESP: 短消息ID =",                       -1,  kEnd,      0, 163, kNone, kNone},
};

// 75 + 32 CMPP 2.0 rows, 78 + 39 CMPP 3.0 rows (171 listed again with its reply), 35 TEST rows.
static_assert(std::size(kDescriptors) == 188 + 32 + 39);

// Command names; table 1012 repeats table 12 so the brief list names CMPP 3.0 commands too.
constexpr CommandName kCmppCommands[] = {
    {0x00000001, "请求连接"},
    {0x80000001, "请求连接应答"},
    {0x00000002, "终止连接"},
    {0x80000002, "终止连接应答"},
    {0x00000004, "提交短信"},
    {0x80000004, "提交短信应答"},
    {0x00000005, "短信下发"},
    {0x80000005, "下发短信应答"},
    {0x00000006, "发送短信状态查询"},
    {0x80000006, "发送短信状态查询应答"},
    {0x00000007, "删除短信"},
    {0x80000007, "删除短信应答"},
    {0x00000008, "激活测试"},
    {0x80000008, "激活测试应答"},
    {0x00000009, "消息前转"},
    {0x80000009, "消息前转应答"},
    {0x00000010, "MT路由请求"},
    {0x80000010, "MT路由请求应答"},
    {0x00000011, "MO路由请求"},
    {0x80000011, "MO路由请求应答"},
    {0x00000012, "获取路由请求"},
    {0x80000012, "获取路由请求应答"},
    {0x00000013, "MT路由更新"},
    {0x80000013, "MT路由更新应答"},
    {0x00000014, "MO路由更新"},
    {0x80000014, "MO路由更新应答"},
    {0x00000015, "MT路由更新"},     // same name as 0x00000013
    {0x80000015, "MT路由更新应答"}, // same name as 0x80000013
    {0x00000016, "MO路由更新"},     // same name as 0x00000014
    {0x80000016, "MO路由更新应答"}, // same name as 0x80000014
};
static_assert(std::size(kCmppCommands) == 30);

// The TEST commands, as the registry names them.
constexpr auto BuildTestCommands() {
    std::array<CommandName, std::size(protocol::test::kCommands)> rows{};
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = {protocol::test::kCommands[i].id, protocol::test::kCommands[i].name.data()};
    return rows;
}
constexpr auto kTestCommands = BuildTestCommands();

constexpr CommandTable kCommandTables[] = {
    {  12, kCmppCommands},
    {1012, kCmppCommands},
    { 182, kTestCommands},
};

constexpr auto kCodeNames = Flatten<CodeName, kCommandTables>();

// Value names. Categories with the same rows share one list; -1 is the wildcard and comes last.
constexpr Named kConnectStatus[] = {
    { 0, "正确"},
    { 1, "消息结构错"},
    { 2, "非法源地址"},
    { 3, "认证错"},
    { 4, "版本太高"},
    {-1, "其他错误"},
};

constexpr Named kReportFlag[] = {
    { 0, "不需要/否"},
    { 1, "需要/是"},
    { 2, "产生SMC话单"},
    {-1, "未知"},
};

constexpr Named kReportRequest3[] = {
    { 0, "不需要"},
    { 1, "需要"},
    { 2, "产生SMC话单"},
    {-1, "未知"},
};

constexpr Named kFeeUserType[] = {
    { 0, "对目的终端MSISDN计费"},
    { 1, "对源终端MSISDN计费"},
    { 2, "对SP计费"},
    { 3, "本字段无效，计费用户参见下一字段"},
    {-1, "未知"},
};

constexpr Named kMessageFormat[] = {
    { 0, "ASCII串"},
    { 3, "短信写卡操作"},
    { 4, "二进制信息"},
    { 8, "UCS2编码"},
    {15, "含GB汉字"},
    {-1, "未知"},
};

constexpr Named kFeeType[] = {
    { 1, "对[计费用户号码]免费"},
    { 2, "对[计费用户号码]按条计信息费"},
    { 3, "对[计费用户号码]按包月收取信息费"},
    { 4, "对[计费用户号码]的信息费封顶"},
    { 5, "对[计费用户号码]的收费是由SP实现"},
    {-1, "未知"},
};

constexpr Named kSubmitResult[] = {
    { 0, "正确"},
    { 1, "消息结构错"},
    { 2, "命令字错"},
    { 3, "消息序号重复"},
    { 4, "消息长度错"},
    { 5, "资费代码错"},
    { 6, "超过最大信息长"},
    { 7, "业务代码错"},
    { 8, "流量控制错"},
    {-1, "未知"},
};

constexpr Named kForwardType[] = {
    { 0, "MT前转"},
    { 1, "MO前转"},
    { 2, "MT时的状态报告"},
    { 3, "MO时的状态报告"},
    {-1, "未知"},
};

constexpr Named kNumberType[] = {
    { 0, "真实号码"},
    { 1, "伪码"},
    {-1, "未知"},
};

// The fields 1067 and 1069 are named from the lists of their own ids, which the SMGP rows hold:
// the SMGP 3.0 TLVs show the same names.
constexpr CategoryRows kCategories[] = {
    {  31, kConnectStatus},
    {  64, kReportFlag},
    {  67, kFeeUserType},
    {  73, kMessageFormat},
    {  76, kFeeType},
    { 254, kForwardType},
    { 102, kSubmitResult},
    {1031, kConnectStatus},
    {1064, kReportRequest3},
    {1073, kMessageFormat},
    {1076, kFeeType},
    {1085, kNumberType},
    {1102, kSubmitResult},
};

constexpr auto kValueNames = Flatten<ValueName, kCategories>();

// Deliver fields that show the names of a list kept under a submit field's id.
constexpr NameCategory kNameCategories[] = {
    { 126,  73}, // 2.0 deliver format reads the submit format names
    { 129,  64}, // 2.0 deliver report flag reads the submit report-request names
    { 162, 102}, // 2.0 deliver response result reads the submit response names
    {1126,  73}, // 3.0 deliver format reads the 2.0 submit format names
    {1129,  64}, // 3.0 deliver report flag reads the 2.0 names, not those of 1064
    { 258,  64}, // 2.0 forward: the submit's names for report request, fee user, format, fee type, result
    { 261,  67},
    { 265,  73},
    { 267,  76},
    { 284, 102},
    {1204, 254}, // 3.0 forward: the 2.0 forward type, the 3.0 submit's names for the rest
    {1208, 1064},
    {1211, 1067},
    {1214, 1069},
    {1217, 1073},
    {1219, 1076},
    {1225, 1069},
    {1230, 1069},
    {1254, 1102},
};

static_assert(NoTerminatorLookalike(kDescriptors));
static_assert(CaseListsClosed(kDescriptors));
static_assert(ReferencesResolve(kDescriptors));
static_assert(WildcardsLast(kValueNames));
// 1067 and 1069 have their rows in the SMGP family (see above).
constexpr int32_t kSmgpCategories[] = {1067, 1069};
static_assert(NameCategoriesResolve(kDescriptors, kValueNames, kNameCategories, kSmgpCategories));

} // namespace

Family CmppFamily() { return {kDescriptors, kCodeNames, kValueNames, kNameCategories}; }
} // namespace decode_table
