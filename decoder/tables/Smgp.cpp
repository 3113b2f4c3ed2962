// Decode rows of SMGP 2.0 and SMGP 3.0: headers, command cases, bodies, command names and value names.
#include "decoder/tables/TableChecks.h"
#include "decoder/tables/Tables.h"

#include <iterator>

namespace decode_table {
namespace {

// Icons of the SMGP rows: header group and fields, body group and fields.
constexpr int32_t kHead = 155;
constexpr int32_t kHeadField = 158;
constexpr int32_t kBody = 161;
constexpr int32_t kField = 163;

// clang-format off
constexpr FieldDescriptor kDescriptors[] = {
    // id    kind width      label                                                   owner next       grp icon        selector widthSource

    // ---- SMGP 2.0 (protocol code 3) ----
    {290,    0,   0,         "SMGP: ----- 中国电信短信网关协议 -----",                   -1,   291,       1,  kHead,      kNone,   kNone},
    {291,    2,   4,         "SMGP: 长度 =",                                           -1,   298,       0,  kHeadField, kNone,   kNone},
    {298,    40,  4,         "SMGP: 请求 =",                                           -1,   293,       0,  kHeadField, kNone,   kNone},
    {293,    2,   4,         "SMGP: 序列号 =",                                         -1,   kDispatch, 0,  kHeadField, 298,     kNone},

    // command-id cases
    {298,    8,   4,         "00000001",                                              0,    299,       0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "80000001",                                              0,    400,       0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "00000002",                                              0,    499,       0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "80000002",                                              0,    550,       0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "00000003",                                              0,    600,       0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "80000003",                                              0,    613,       0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "00000004",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "80000004",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "00000005",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "80000005",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "00000006",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "80000006",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "00000016",                                              0,    620,       0,  kHeadField, kNone,   kNone},
    {298,    8,   4,         "80000016",                                              0,    650,       0,  kHeadField, kNone,   kNone},
    {298,    -1,  0,         "",                                                      0,    kEnd,      0,  kHeadField, kNone,   kNone},

    // login
    {299,    0,   0,         "LOGIN: ----- 登录请求 -----",                              -1,   300,       1,  kBody,      kNone,   kNone},
    {300,    6,   8,         "LOGIN: SP编号或者SMG编号 =",                               -1,   301,       0,  kField,     kNone,   kNone},
    {301,    58,  16,        "LOGIN: 客户端密码 =",                                      -1,   302,       0,  kField,     kNone,   kNone}, // an MD5 authenticator: octets, shown in hex
    {302,    9,   1,         "LOGIN: 登录类型 =",                                        -1,   303,       0,  kField,     kNone,   kNone},
    {303,    2,   4,         "LOGIN: 时间戳 =",                                          -1,   304,       0,  kField,     kNone,   kNone},
    {304,    33,  1,         "LOGIN: 版本号 =",                                          -1,   kEnd,      0,  kField,     kNone,   kNone},

    // login response
    {400,    0,   0,         "LOGIN_RESP: ----- 登录回应 -----",                         -1,   401,       1,  kBody,      kNone,   kNone},
    {401,    2,   4,         "LOGIN_RESP: 返回结果 =",                                   -1,   402,       0,  kField,     kNone,   kNone},
    {402,    58,  16,        "LOGIN_RESP: 认证码 =",                                     -1,   403,       0,  kField,     kNone,   kNone}, // an MD5 authenticator: octets, shown in hex
    {403,    33,  1,         "LOGIN_RESP: 版本号 =",                                     -1,   kEnd,      0,  kField,     kNone,   kNone},

    // submit
    {499,    0,   0,         "SUBMIT: ----- CP发送短消息请求 -----",                      -1,   500,       1,  kBody,      kNone,   kNone},
    {500,    9,   1,         "SUBMIT: 短消息类型 =",                                     -1,   501,       0,  kField,     kNone,   kNone},
    {501,    9,   1,         "SUBMIT: 是否要求返回状态报告 =",                            -1,   502,       0,  kField,     kNone,   kNone}, // names: category 64
    {502,    9,   1,         "SUBMIT: 发送优先级 =",                                     -1,   503,       0,  kField,     kNone,   kNone},
    {503,    6,   10,        "SUBMIT: 服务类型 =",                                       -1,   504,       0,  kField,     kNone,   kNone},
    {504,    6,   2,         "SUBMIT: 收费类型 =",                                       -1,   505,       0,  kField,     kNone,   kNone},
    {505,    6,   6,         "SUBMIT: 资费代码 =",                                       -1,   506,       0,  kField,     kNone,   kNone},
    {506,    6,   6,         "SUBMIT: 包月费 =",                                         -1,   507,       0,  kField,     kNone,   kNone},
    {507,    38,  1,         "SUBMIT: 短信格式 =",                                       -1,   508,       0,  kField,     kNone,   kNone}, // names: category 73
    {508,    6,   17,        "SUBMIT: 有效时间 =",                                       -1,   509,       0,  kField,     kNone,   kNone},
    {509,    6,   17,        "SUBMIT: 定时发送时间 =",                                   -1,   510,       0,  kField,     kNone,   kNone},
    {510,    6,   21,        "SUBMIT: 短信发送号码 =",                                   -1,   511,       0,  kField,     kNone,   kNone},
    {511,    6,   21,        "SUBMIT: 计费用户 =",                                       -1,   512,       0,  kField,     kNone,   kNone},
    {512,    9,   1,         "SUBMIT: 短信接收号码总数 =",                               -1,   513,       0,  kField,     kNone,   kNone},
    {513,    42,  kVariable, "SUBMIT: 短信接收号码 =",                                   -1,   514,       0,  kField,     kNone,   512},
    {514,    32,  1,         "SUBMIT: 短信长度 =",                                       -1,   515,       0,  kField,     kNone,   kNone},
    {515,    100, kVariable, "SUBMIT: 短信内容 =",                                       -1,   516,       0,  kField,     kNone,   514},
    {516,    0,   8,         "SUBMIT: 保留",                                             -1,   kEnd,      0,  kField,     kNone,   kNone},

    // submit of an SMGP 1.3 client: the 2.0 fields without 包月费 and the TLVs some such clients send after
    // them, read when only they end where the PDU does
    {520,    0,   0,         "SUBMIT: ----- CP发送短消息请求 (SMGP 1.3) -----",           -1,   521,       1,  kBody,      kNone,   kNone},
    {521,    9,   1,         "SUBMIT: 短消息类型 =",                                     -1,   522,       0,  kField,     kNone,   kNone}, // names: category 500
    {522,    9,   1,         "SUBMIT: 是否要求返回状态报告 =",                            -1,   523,       0,  kField,     kNone,   kNone}, // names: category 64
    {523,    9,   1,         "SUBMIT: 发送优先级 =",                                     -1,   524,       0,  kField,     kNone,   kNone},
    {524,    6,   10,        "SUBMIT: 服务类型 =",                                       -1,   525,       0,  kField,     kNone,   kNone},
    {525,    6,   2,         "SUBMIT: 收费类型 =",                                       -1,   526,       0,  kField,     kNone,   kNone}, // names: category 504
    {526,    6,   6,         "SUBMIT: 资费代码 =",                                       -1,   527,       0,  kField,     kNone,   kNone},
    {527,    38,  1,         "SUBMIT: 短信格式 =",                                       -1,   528,       0,  kField,     kNone,   kNone}, // names: category 73
    {528,    6,   17,        "SUBMIT: 有效时间 =",                                       -1,   529,       0,  kField,     kNone,   kNone},
    {529,    6,   17,        "SUBMIT: 定时发送时间 =",                                   -1,   530,       0,  kField,     kNone,   kNone},
    {530,    6,   21,        "SUBMIT: 短信发送号码 =",                                   -1,   531,       0,  kField,     kNone,   kNone},
    {531,    6,   21,        "SUBMIT: 计费用户 =",                                       -1,   532,       0,  kField,     kNone,   kNone},
    {532,    9,   1,         "SUBMIT: 短信接收号码总数 =",                               -1,   533,       0,  kField,     kNone,   kNone},
    {533,    42,  kVariable, "SUBMIT: 短信接收号码 =",                                   -1,   534,       0,  kField,     kNone,   532},
    {534,    32,  1,         "SUBMIT: 短信长度 =",                                       -1,   535,       0,  kField,     kNone,   kNone},
    {535,    100, kVariable, "SUBMIT: 短信内容 =",                                       -1,   536,       0,  kField,     kNone,   534},
    {536,    0,   8,         "SUBMIT: 保留",                                             -1,   537,       0,  kField,     kNone,   kNone},
    {537,    70,  kVariable, "SUBMIT TLV:",                                              -1,   537,       0,  kField,     kNone,   kNone}, // one line per TLV until the PDU ends

    // submit response
    {550,    0,   0,         "SUBMIT_RESP: ----- CP发送短消息回应 -----",                 -1,   551,       1,  kBody,      kNone,   kNone},
    {551,    56,  10,        "SUBMIT_RESP: 短信标识 =",                                  -1,   552,       0,  kField,     kNone,   kNone},
    {552,    2,   4,         "SUBMIT_RESP: 返回结果 =",                                  -1,   kEnd,      0,  kField,     kNone,   kNone},

    // deliver
    {600,    0,   0,         "DELIVER: ----- SMGW向CP发送短消息请求 -----",               -1,   601,       1,  kBody,      kNone,   kNone},
    {601,    56,  10,        "DELIVER: 短信标识 =",                                      -1,   602,       0,  kField,     kNone,   kNone},
    {602,    53,  1,         "DELIVER: 是否状态报告 =",                                  -1,   603,       0,  kField,     kNone,   kNone}, // names: category 64
    {603,    38,  1,         "DELIVER: 短信格式 =",                                      -1,   604,       0,  kField,     kNone,   kNone}, // names: category 73
    {604,    6,   14,        "DELIVER: 短信接收时间 =",                                  -1,   605,       0,  kField,     kNone,   kNone},
    {605,    6,   21,        "DELIVER: 短信发送号码 =",                                  -1,   608,       0,  kField,     kNone,   kNone},
    {608,    6,   21,        "DELIVER: 短信接收号码 =",                                  -1,   609,       0,  kField,     kNone,   kNone},
    {609,    32,  1,         "DELIVER: 短信长度 =",                                      -1,   610,       0,  kField,     kNone,   kNone},
    {610,    102, kVariable, "DELIVER: 短信内容 =",                                      -1,   611,       0,  kField,     kNone,   609},
    {611,    0,   8,         "DELIVER: 保留",                                            -1,   kEnd,      0,  kField,     kNone,   kNone},

    // deliver response
    {613,    0,   0,         "DELIVER_RESP: ----- SMGW向CP发送短消息回应 -----",          -1,   615,       1,  kBody,      kNone,   kNone},
    {615,    56,  10,        "DELIVER_RESP: 短信标识 =",                                 -1,   616,       0,  kField,     kNone,   kNone},
    {616,    2,   4,         "DELIVER_RESP: 返回结果 =",                                 -1,   kEnd,      0,  kField,     kNone,   kNone}, // names: category 552

    // transaction
    {620,    0,   0,         "TRANSACTION: ----- SMGW向SP发送的交易请求 -----",           -1,   621,       1,  kBody,      kNone,   kNone},
    {621,    2,   4,         "TRANSACTION: 状态报告 =",                                  -1,   622,       0,  kField,     kNone,   kNone},
    {622,    6,   20,        "TRANSACTION: 短消息流水号 =",                              -1,   623,       0,  kField,     kNone,   kNone},
    {623,    32,  1,         "TRANSACTION: 短消息类型 =",                                -1,   625,       0,  kField,     kNone,   kNone},
    {625,    38,  1,         "TRANSACTION: 短消息格式 =",                                -1,   626,       0,  kField,     kNone,   kNone},
    {626,    6,   21,        "TRANSACTION: 发送号码 =",                                  -1,   627,       0,  kField,     kNone,   kNone},
    {627,    6,   21,        "TRANSACTION: 接收号码 =",                                  -1,   630,       0,  kField,     kNone,   kNone},
    {630,    6,   20,        "TRANSACTION: 会话号 =",                                    -1,   631,       0,  kField,     kNone,   kNone},
    {631,    6,   10,        "TRANSACTION: 业务代码 =",                                  -1,   632,       0,  kField,     kNone,   kNone},
    {632,    6,   8,         "TRANSACTION: 内容提供商代码 =",                            -1,   633,       0,  kField,     kNone,   kNone},
    {633,    32,  1,         "TRANSACTION: 加密设置 =",                                  -1,   634,       0,  kField,     kNone,   kNone},
    {634,    6,   9,         "TRANSACTION: 终端序列号 =",                                -1,   635,       0,  kField,     kNone,   kNone},
    {635,    6,   15,        "TRANSACTION: IC卡的序列号 =",                              -1,   636,       0,  kField,     kNone,   kNone},
    {636,    32,  1,         "TRANSACTION: 密钥代码 =",                                  -1,   637,       0,  kField,     kNone,   kNone},
    {637,    32,  1,         "TRANSACTION: 信息交互类型 =",                              -1,   638,       0,  kField,     kNone,   kNone},
    {638,    4,   2,         "TRANSACTION: 短消息长度 =",                                -1,   640,       0,  kField,     kNone,   kNone},
    {640,    102, kVariable, "TRANSACTION: 请求消息体 =",                                -1,   641,       0,  kField,     kNone,   638},
    {641,    0,   8,         "TRANSACTION: 保留",                                        -1,   kEnd,      0,  kField,     kNone,   kNone},

    // transaction response
    {650,    0,   0,         "TRANSACTION_RESP: ----- SMGW向SP发送的交易响应 -----",      -1,   651,       1,  kBody,      kNone,   kNone},
    {651,    2,   4,         "TRANSACTION_RESP: 请求返回的状态 =",                       -1,   652,       0,  kField,     kNone,   kNone},
    {652,    6,   20,        "TRANSACTION_RESP: 短消息流水号 =",                         -1,   653,       0,  kField,     kNone,   kNone},
    {653,    32,  1,         "TRANSACTION_RESP: 短消息类型 =",                           -1,   654,       0,  kField,     kNone,   kNone},
    {654,    53,  1,         "TRANSACTION_RESP: 是否要求返回状态报告 =",                  -1,   655,       0,  kField,     kNone,   kNone}, // sets the report flag for the body
    {655,    6,   2,         "TRANSACTION_RESP: 收费类型 =",                             -1,   656,       0,  kField,     kNone,   kNone},
    {656,    6,   6,         "TRANSACTION_RESP: 每条信息的资费 =",                       -1,   657,       0,  kField,     kNone,   kNone},
    {657,    6,   6,         "TRANSACTION_RESP: 包月/封顶费用 =",                        -1,   658,       0,  kField,     kNone,   kNone},
    {658,    38,  1,         "TRANSACTION_RESP: 短消息格式 =",                           -1,   660,       0,  kField,     kNone,   kNone},
    {660,    6,   21,        "TRANSACTION_RESP: 短消息发送用户号码 =",                   -1,   661,       0,  kField,     kNone,   kNone},
    {661,    6,   21,        "TRANSACTION_RESP: 计费用户号码 =",                         -1,   662,       0,  kField,     kNone,   kNone},
    {662,    6,   21,        "TRANSACTION_RESP: 短消息接收号码 =",                       -1,   663,       0,  kField,     kNone,   kNone},
    {663,    6,   20,        "TRANSACTION_RESP: 会话号 =",                               -1,   664,       0,  kField,     kNone,   kNone},
    {664,    6,   10,        "TRANSACTION_RESP: 业务代码 =",                             -1,   665,       0,  kField,     kNone,   kNone},
    {665,    6,   8,         "TRANSACTION_RESP:  内容提供商代码=",                        -1,   666,       0,  kField,     kNone,   kNone}, // label spacing as shown to users
    {666,    32,  1,         "TRANSACTION_RESP: 加密设置 =",                             -1,   667,       0,  kField,     kNone,   kNone},
    {667,    32,  1,         "TRANSACTION_RESP: 应答信息的加密模式 =",                   -1,   668,       0,  kField,     kNone,   kNone},
    {668,    6,   9,         "TRANSACTION_RESP: 终端序列号 =",                           -1,   670,       0,  kField,     kNone,   kNone},
    {670,    6,   15,        "TRANSACTION_RESP: IC卡的序列号 =",                         -1,   671,       0,  kField,     kNone,   kNone},
    {671,    32,  1,         "TRANSACTION_RESP: 密钥代码 =",                             -1,   672,       0,  kField,     kNone,   kNone},
    {672,    32,  1,         "TRANSACTION_RESP: 信息交互类型 =",                         -1,   673,       0,  kField,     kNone,   kNone},
    {673,    4,   2,         "TRANSACTION_RESP: 短消息长度 =",                           -1,   674,       0,  kField,     kNone,   kNone},
    {674,    102, kVariable, "TRANSACTION_RESP: 响应消息体 =",                           -1,   675,       0,  kField,     kNone,   673},
    {675,    0,   8,         "TRANSACTION_RESP: 保留 =",                                 -1,   kEnd,      0,  kField,     kNone,   kNone},

    // ---- SMGP 1.3 (protocol code 10): the 2.0 bodies, but a SUBMIT without FixedFee ----
    {1290,   0,   0,         "SMGP13: ----- 中国电信短信网关协议v1.3 -----",             -1,   1291,      1,  kHead,      kNone,   kNone},
    {1291,   2,   4,         "SMGP13: 长度 =",                                         -1,   1298,      0,  kHeadField, kNone,   kNone},
    {1298,   40,  4,         "SMGP13: 请求 =",                                         -1,   1293,      0,  kHeadField, kNone,   kNone}, // named from code table 298
    {1293,   2,   4,         "SMGP: 序列号 =",                                         -1,   kDispatch, 0,  kHeadField, 1298,    kNone}, // shares the SMGP 2.0 label

    // command-id cases
    {1298,   8,   4,         "00000001",                                              0,    299,       0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "80000001",                                              0,    400,       0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "00000002",                                              0,    520,       0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "80000002",                                              0,    550,       0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "00000003",                                              0,    600,       0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "80000003",                                              0,    613,       0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "00000004",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "80000004",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "00000005",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "80000005",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "00000006",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {1298,   8,   4,         "80000006",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {1298,   -1,  0,         "",                                                      0,    kEnd,      0,  kHeadField, kNone,   kNone},

    // ---- SMGP 3.0 (protocol code 9) ----
    {2290,   0,   0,         "SMGP3: ----- 中国电信短信网关协议v3.0 -----",              -1,   2291,      1,  kHead,      kNone,   kNone},
    {2291,   2,   4,         "SMGP3: 长度 =",                                          -1,   2298,      0,  kHeadField, kNone,   kNone},
    {2298,   40,  4,         "SMGP3: 请求 =",                                          -1,   2293,      0,  kHeadField, kNone,   kNone}, // named from code table 298
    {2293,   2,   4,         "SMGP: 序列号 =",                                         -1,   kDispatch, 0,  kHeadField, 2298,    kNone}, // shares the SMGP 2.0 label

    // command-id cases
    {2298,   8,   4,         "00000001",                                              0,    2299,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "80000001",                                              0,    2400,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "00000002",                                              0,    2499,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "80000002",                                              0,    2550,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "00000003",                                              0,    2600,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "80000003",                                              0,    2613,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "00000004",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "80000004",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "00000005",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "80000005",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "00000006",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {2298,   8,   4,         "80000006",                                              0,    kEnd,      0,  kHeadField, kNone,   kNone},
    {2298,   -1,  0,         "",                                                      0,    kEnd,      0,  kHeadField, kNone,   kNone},

    // login
    {2299,   0,   0,         "LOGIN: ----- 登录请求 -----",                              -1,   2300,      1,  kBody,      kNone,   kNone},
    {2300,   6,   8,         "LOGIN: SP编号或者SMG编号 =",                               -1,   2301,      0,  kField,     kNone,   kNone},
    {2301,   58,  16,        "LOGIN: 客户端密码 =",                                      -1,   2302,      0,  kField,     kNone,   kNone}, // an MD5 authenticator: octets, shown in hex
    {2302,   9,   1,         "LOGIN: 登录类型 =",                                        -1,   2303,      0,  kField,     kNone,   kNone},
    {2303,   2,   4,         "LOGIN: 时间戳 =",                                          -1,   2304,      0,  kField,     kNone,   kNone},
    {2304,   33,  1,         "LOGIN: 版本号 =",                                          -1,   kEnd,      0,  kField,     kNone,   kNone},

    // login response
    {2400,   0,   0,         "LOGIN_RESP: ----- 登录回应 -----",                         -1,   2401,      1,  kBody,      kNone,   kNone},
    {2401,   2,   4,         "LOGIN_RESP: 返回结果 =",                                   -1,   2402,      0,  kField,     kNone,   kNone},
    {2402,   58,  16,        "LOGIN_RESP: 认证码 =",                                     -1,   2403,      0,  kField,     kNone,   kNone}, // an MD5 authenticator: octets, shown in hex
    {2403,   33,  1,         "LOGIN_RESP: 版本号 =",                                     -1,   kEnd,      0,  kField,     kNone,   kNone},

    // submit
    {2499,   0,   0,         "SUBMIT: ----- CP发送短消息请求 -----",                      -1,   2500,      1,  kBody,      kNone,   kNone},
    {2500,   9,   1,         "SUBMIT: 短消息类型 =",                                     -1,   2501,      0,  kField,     kNone,   kNone},
    {2501,   9,   1,         "SUBMIT: 是否要求返回状态报告 =",                            -1,   2502,      0,  kField,     kNone,   kNone}, // names: category 64
    {2502,   9,   1,         "SUBMIT: 发送优先级 =",                                     -1,   2503,      0,  kField,     kNone,   kNone},
    {2503,   6,   10,        "SUBMIT: 业务代码 =",                                       -1,   2504,      0,  kField,     kNone,   kNone},
    {2504,   6,   2,         "SUBMIT: 收费类型 =",                                       -1,   2505,      0,  kField,     kNone,   kNone},
    {2505,   6,   6,         "SUBMIT: 资费代码 =",                                       -1,   2506,      0,  kField,     kNone,   kNone},
    {2506,   6,   6,         "SUBMIT: 包月费 =",                                         -1,   2507,      0,  kField,     kNone,   kNone},
    {2507,   38,  1,         "SUBMIT: 短信格式 =",                                       -1,   2508,      0,  kField,     kNone,   kNone}, // names: category 73
    {2508,   6,   17,        "SUBMIT: 有效时间 =",                                       -1,   2509,      0,  kField,     kNone,   kNone},
    {2509,   6,   17,        "SUBMIT: 定时发送时间 =",                                   -1,   2510,      0,  kField,     kNone,   kNone},
    {2510,   6,   21,        "SUBMIT: 短信发送号码 =",                                   -1,   2511,      0,  kField,     kNone,   kNone},
    {2511,   6,   21,        "SUBMIT: 计费用户 =",                                       -1,   2512,      0,  kField,     kNone,   kNone},
    {2512,   9,   1,         "SUBMIT: 短信接收号码总数 =",                               -1,   2513,      0,  kField,     kNone,   kNone},
    {2513,   42,  kVariable, "SUBMIT: 短信接收号码 =",                                   -1,   2514,      0,  kField,     kNone,   2512},
    {2514,   32,  1,         "SUBMIT: 短信长度 =",                                       -1,   2515,      0,  kField,     kNone,   kNone},
    {2515,   100, kVariable, "SUBMIT: 短信内容 =",                                       -1,   2516,      0,  kField,     kNone,   2514},
    {2516,   0,   8,         "SUBMIT: 保留",                                             -1,   2517,      0,  kField,     kNone,   kNone},
    {2517,   70,  kVariable, "SUBMIT TLV:",                                              -1,   2517,      0,  kField,     kNone,   kNone}, // one line per TLV until the PDU ends

    // submit response
    {2550,   0,   0,         "SUBMIT_RESP: ----- CP发送短消息回应 -----",                 -1,   2551,      1,  kBody,      kNone,   kNone},
    {2551,   56,  10,        "SUBMIT_RESP: 短信标识 =",                                  -1,   2552,      0,  kField,     kNone,   kNone},
    {2552,   2,   4,         "SUBMIT_RESP: 返回结果 =",                                  -1,   kEnd,      0,  kField,     kNone,   kNone},

    // deliver
    {2600,   0,   0,         "DELIVER: ----- SMGW向CP发送短消息请求 -----",               -1,   2601,      1,  kBody,      kNone,   kNone},
    {2601,   56,  10,        "DELIVER: 短信标识 =",                                      -1,   2602,      0,  kField,     kNone,   kNone},
    {2602,   53,  1,         "DELIVER: 是否状态报告 =",                                  -1,   2603,      0,  kField,     kNone,   kNone}, // names: category 64
    {2603,   38,  1,         "DELIVER: 短信格式 =",                                      -1,   2604,      0,  kField,     kNone,   kNone}, // names: category 73
    {2604,   6,   14,        "DELIVER: 短信接收时间 =",                                  -1,   2605,      0,  kField,     kNone,   kNone},
    {2605,   6,   21,        "DELIVER: 短信发送号码 =",                                  -1,   2608,      0,  kField,     kNone,   kNone},
    {2608,   6,   21,        "DELIVER: 短信接收号码 =",                                  -1,   2609,      0,  kField,     kNone,   kNone},
    {2609,   32,  1,         "DELIVER: 短信长度 =",                                      -1,   2610,      0,  kField,     kNone,   kNone},
    {2610,   102, kVariable, "DELIVER: 短信内容 =",                                      -1,   2611,      0,  kField,     kNone,   2609},
    {2611,   0,   8,         "DELIVER: 保留",                                            -1,   2612,      0,  kField,     kNone,   kNone},
    {2612,   70,  kVariable, "DELIVER TLV:",                                             -1,   2612,      0,  kField,     kNone,   kNone}, // one line per TLV until the PDU ends

    // deliver response
    {2613,   0,   0,         "DELIVER_RESP: ----- SMGW向CP发送短消息回应 -----",          -1,   2615,      1,  kBody,      kNone,   kNone},
    {2615,   56,  10,        "DELIVER_RESP: 短信标识 =",                                 -1,   2616,      0,  kField,     kNone,   kNone},
    {2616,   2,   4,         "DELIVER_RESP: 返回结果 =",                                 -1,   kEnd,      0,  kField,     kNone,   kNone}, // names: category 552
};
// clang-format on

// SMGP 2.0: header 4, cases 14 + terminator, bodies 86; SMGP 1.3: header 4, cases 12 + terminator, the 2.0
// bodies; SMGP 3.0: header 4, cases 12 + terminator, bodies 46.
static_assert(std::size(kDescriptors) == (4 + 15 + 86 + 18) + (4 + 13) + (4 + 13 + 46));

// SMGP command ids. Every version names its commands from these rows: table 298 for the decode lines,
// tables 1298 and 2298 for the brief list of SMGP 1.3 and 3.0 records.
// clang-format off
constexpr CommandName kCommandNames[] = {
    {0x00000001, "登录请求"},
    {0x80000001, "登录回应"},
    {0x00000002, "CP发送短消息请求"},
    {0x80000002, "CP发送短消息回应"},
    {0x00000003, "SMGW向CP发送短消息请求"},
    {0x80000003, "SMGW向CP发送短消息回应"},
    {0x00000004, "测试通信链路是否正常请求"},
    {0x80000004, "测试通信链路是否正常回应"},
    {0x00000005, "SMGW转发MT/MO短消息请求"},
    {0x80000005, "SMGW转发MT/MO短消息回应"},
    {0x00000006, "退出请求"},
    {0x80000006, "退出回应"},
    {0x00000007, "CP统计查询请求"},
    {0x80000007, "CP统计查询回应"},
    {0x00000008, "MT路由更新请求"},
    {0x80000008, "MT路由更新回应"},
    {0x00000009, "MO路由更新请求"},
    {0x80000009, "MO路由更新回应"},
    {0x00000016, "SMGW向SP发送的交易请求"},
    {0x80000016, "SMGW向SP发送的交易响应"},
};
// clang-format on
static_assert(std::size(kCommandNames) == 20);

constexpr CommandTable kCommandTables[] = {
    {298,  kCommandNames},
    {1298, kCommandNames},
    {2298, kCommandNames},
};

constexpr auto kCodeNames = Flatten<CodeName, kCommandTables>();

// Value names, one list per set of names; a value of -1 is the wildcard and closes its list.
// clang-format off
constexpr Named kSubmitType[] = {          // SMGP 2.0 submit message type
    {1,  "取消订阅"},
    {2,  "订阅请求"},
    {3,  "点播"},
    {4,  "订阅"},
    {5,  "交互式操作"},
    {6,  "查询"},
    {-1, "未知"},
};

constexpr Named kFeeType[] = {             // read from the field's two digits
    {0,  "免费"},
    {1,  "按条收费"},
    {2,  "包月"},
    {3,  "封顶"},
    {-1, ""},
};

constexpr Named kResult[] = {
    {0,  "成功"},
    {1,  "系统忙"},
    {2,  "超过最大连接数"},
    {10, "消息结构错"},
    {11, "命令字错"},
    {12, "序列号重复"},
    {20, "IP地址错"},
    {21, "认证错"},
    {22, "版本太高"},
    {30, "非法消息类型"},
    {31, "非法优先级"},
    {32, "非法资费类型"},
    {33, "非法资费代码"},
    {34, "非法短消息格式"},
    {35, "非法时间格式"},
    {36, "非法短消息长度"},
    {37, "有效期已过"},
    {38, "非法查询类别"},
    {39, "路由错误"},
    {-1, "未知"},
};

constexpr Named kTransactionFormat[] = {
    {0,  "ASCII串"},
    {3,  "短信写卡操作"},
    {4,  "二进制信息"},
    {8,  "UCS2编码"},
    {15, "GB18030编码"},
    {-1, "未知"},
};

constexpr Named kSubmitType3[] = {         // SMGP 3.0 submit message type
    {0,  "MO消息 终端发给SP"},
    {6,  "MT消息 SP发给终端"},
    {-1, "未知"},
};

// SMGP 3.0 TLV values, named by FormatSmgp3Tlv; the CMPP 3.0 fields 1067 and 1069 show them too
constexpr Named kFeeUserType[] = {
    {0,  "对目的终端MSISDN计费"},
    {1,  "对源终端MSISDN计费"},
    {2,  "对SP计费"},
    {3,  "本字段无效，计费用户参见下一字段"},
    {-1, "未知"},
};

constexpr Named kNumberType[] = {
    {0,  "真实号码"},
    {1,  "伪码"},
    {-1, "未知"},
};

constexpr Named kSpMessageType[] = {
    {0,  "普通短消息"},
    {1,  "WEB方式定制结果消息"},
    {2,  "WEB方式取消定制结果消息"},
    {3,  "终端方式定制结果消息"},
    {4,  "终端方式取消定制结果消息"},
    {5,  "包月扣费通知消息"},
    {6,  "WEB方式定制二次确认消息"},
    {7,  "WEB方式取消定制二次确认消息"},
    {8,  "终端方式定制二次确认消息"},
    {9,  "终端方式取消定制二次确认消息"},
    {10, "WEB方式点播二次确认消息"},
    {11, "终端方式点播二次确认消息（暂保留）"},
    {12, "群发请求"},
    {13, "同步订购（包括点播和定制）关系"},
    {14, "群发结果通知消息。无该字段时，默认为普通短消息"},
    {15, "同步订购（包括点播和定制）关系回复"},
    {-1, "保留"},
};

constexpr Named kSpResult[] = {
    {0,  "成功"},
    {1,  "失败"},
    {-1, "保留"},
};
// clang-format on

static_assert(std::size(kResult) == 20 && std::size(kSpMessageType) == 17);

// clang-format off
constexpr CategoryRows kCategories[] = {
    {500,   kSubmitType},
    {504,   kFeeType},
    {552,   kResult},
    {625,   kTransactionFormat},
    {658,   kTransactionFormat},
    {2500,  kSubmitType3},
    {2504,  kFeeType},
    {2552,  kResult},
    {1067,  kFeeUserType},
    {1069,  kNumberType},
    {30004, kSpMessageType},
    {30005, kSpResult},
};

// Fields named from another field's list rather than under their own id.
constexpr NameCategory kNameCategories[] = {
    {501,  64},  // 2.0 submit report request
    {521,  500}, // 1.3 submit: the 2.0 lists
    {522,  64},
    {525,  504},
    {527,  73},
    {602,  64},  // 2.0 deliver report flag
    {2501, 64},  // 3.0 submit report request
    {2602, 64},  // 3.0 deliver report flag
    {507,  73},  // 2.0 submit format
    {603,  73},  // 2.0 deliver format
    {2507, 73},  // 3.0 submit format
    {2603, 73},  // 3.0 deliver format
    {616,  552}, // 2.0 deliver result
    {2616, 552}, // 3.0 deliver result: the 2.0 list, not 2552
};
// clang-format on

constexpr auto kValueNames = Flatten<ValueName, kCategories>();

// The report flags and message formats show the CMPP names, which the CMPP rows hold.
constexpr int32_t kCmppCategories[] = {64, 73};

static_assert(NoTerminatorLookalike(kDescriptors));
static_assert(CaseListsClosed(kDescriptors));
static_assert(ReferencesResolve(kDescriptors));
static_assert(WildcardsLast(kValueNames));
static_assert(NameCategoriesResolve(kDescriptors, kValueNames, kNameCategories, kCmppCategories));

} // namespace

// An SMGP 1.3 client's SUBMIT reaches the 2.0 rows (its login's version, 0x13, is below 3.0's).
constexpr LayoutChoice kLayoutChoices[] = {
    // body  alternative
    {499,    520},
};

Family SmgpFamily() { return {kDescriptors, kCodeNames, kValueNames, kNameCategories, kLayoutChoices}; }
} // namespace decode_table
