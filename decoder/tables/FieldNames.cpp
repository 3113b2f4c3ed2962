// The stable names of decoded fields: protocol tags, the gateway protocols' Chinese labels with the names
// their standards give the fields, and the rows whose label means another field than usual.
#include "decoder/tables/FieldNames.h"

#include <algorithm>
#include <cctype>

namespace field_names {
namespace {

constexpr ProtocolTag kProtocolTags[] = {
    {"TCP", "capture"}, {"CMPP", "cmpp"}, {"CMPP3", "cmpp"}, {"TEST", "test"}, {"SMGP", "smgp"},
    {"SMGP3", "smgp"},  {"SMGP13", "smgp"}, {"SGIP", "sgip"}, {"CNGP", "cngp"},  {"SMPP", "smpp"},
};

// Columns: {protocol, label text, name}
constexpr LabelName kLabelNames[] = {
    // CMPP 2.0 and 3.0
    {"cmpp", "长度",                     "Total_Length"},
    {"cmpp", "命令",                     "Command_Id"},
    {"cmpp", "序号",                     "Sequence_Id"},
    {"cmpp", "源地址",                   "Source_Addr"},
    {"cmpp", "认证码",                   "AuthenticatorSource"},
    {"cmpp", "版本号",                   "Version"},
    {"cmpp", "时间戳",                   "Timestamp"},
    {"cmpp", "状态",                     "Status"},
    {"cmpp", "信息标识",                 "Msg_Id"},
    {"cmpp", "相同Msg_Id的信息总条数",   "Pk_total"},
    {"cmpp", "相同Msg_Id的信息序号",     "Pk_number"},
    {"cmpp", "要求状态报告",             "Registered_Delivery"},
    {"cmpp", "是否状态报告",             "Registered_Delivery"},
    {"cmpp", "信息级别",                 "Msg_level"},
    {"cmpp", "业务类型",                 "Service_Id"},
    {"cmpp", "计费用户类型",             "Fee_UserType"},
    {"cmpp", "被计费用户的号码",         "Fee_terminal_Id"},
    {"cmpp", "被计费用户的号码类型",     "Fee_terminal_type"},
    {"cmpp", "被计费用户的伪码",         "Fee_terminal_Pseudo"},
    {"cmpp", "GSM协议类型",              "TP_pId"},
    {"cmpp", "TP_udhi(用户数据头标识)",  "TP_udhi"},
    {"cmpp", "信息格式",                 "Msg_Fmt"},
    {"cmpp", "信息内容来源",             "Msg_src"},
    {"cmpp", "资费类别",                 "FeeType"},
    {"cmpp", "资费代码",                 "FeeCode"},
    {"cmpp", "存活有效期",               "ValId_Time"},
    {"cmpp", "定时发送时间",             "At_Time"},
    {"cmpp", "源号码",                   "Src_Id"},
    {"cmpp", "源号码类型",               "Src_terminal_type"},
    {"cmpp", "源号码的伪码",             "Src_terminal_Pseudo"},
    {"cmpp", "源号码的来源",             "Src_terminal_Source"},
    {"cmpp", "接收用户数",               "DestUsr_tl"},
    {"cmpp", "接收短信的MSISDN号码",     "Dest_terminal_Id"},
    {"cmpp", "接收短信的用户的号码类型", "Dest_terminal_type"},
    {"cmpp", "接收号码类型",             "Dest_terminal_type"},
    {"cmpp", "接收号码的伪码",           "Dest_terminal_Pseudo"},
    {"cmpp", "目的号码",                 "Dest_Id"},
    {"cmpp", "信息长度",                 "Msg_Length"},
    {"cmpp", "信息内容",                 "Msg_Content"},
    {"cmpp", "点播业务使用的LinkID",     "LinkID"},
    {"cmpp", "保留",                     "Reserve"},
    {"cmpp", "结果",                     "Result"},
    {"cmpp", "源网关代码",               "Source_Id"},
    {"cmpp", "目的网关代码",             "Destination_Id"},
    {"cmpp", "经过的网关数量",           "NodesCount"},
    {"cmpp", "前转类型",                 "Msg_Fwd_Type"},
    // the mobile TEST protocol
    {"test", "长度",                     "length"},
    {"test", "命令",                     "command"},
    {"test", "序号",                     "sequence"},
    {"test", "终端类型",                 "terminal_type"},
    {"test", "终端号码",                 "terminal_number"},
    {"test", "返回结果",                 "result"},
    {"test", "目的终端号码",             "destination"},
    {"test", "源终端号码",               "source"},
    {"test", "短消息ID",                 "message_id"},
    {"test", "短消息长度",               "message_length"},
    {"test", "短消息内容",               "message_content"},
    {"test", "短信格式",                 "message_format"},
    // SMGP 2.0 and 3.0
    {"smgp", "长度",                     "PacketLength"},
    {"smgp", "请求",                     "RequestID"},
    {"smgp", "序列号",                   "SequenceID"},
    {"smgp", "SP编号或者SMG编号",        "ClientID"},
    {"smgp", "客户端密码",               "AuthenticatorClient"},
    {"smgp", "登录类型",                 "LoginMode"},
    {"smgp", "时间戳",                   "TimeStamp"},
    {"smgp", "版本号",                   "ClientVersion"},
    {"smgp", "返回结果",                 "Status"},
    {"smgp", "请求返回的状态",           "Status"},
    {"smgp", "认证码",                   "AuthenticatorServer"},
    {"smgp", "短消息类型",               "MsgType"},
    {"smgp", "是否要求返回状态报告",     "NeedReport"},
    {"smgp", "状态报告",                 "NeedReport"},
    {"smgp", "发送优先级",               "Priority"},
    {"smgp", "服务类型",                 "ServiceID"},
    {"smgp", "业务代码",                 "ServiceID"},
    {"smgp", "收费类型",                 "FeeType"},
    {"smgp", "资费代码",                 "FeeCode"},
    {"smgp", "每条信息的资费",           "FeeCode"},
    {"smgp", "包月费",                   "FixedFee"},
    {"smgp", "包月/封顶费用",            "FixedFee"},
    {"smgp", "短信格式",                 "MsgFormat"},
    {"smgp", "短消息格式",               "MsgFormat"},
    {"smgp", "有效时间",                 "ValidTime"},
    {"smgp", "定时发送时间",             "AtTime"},
    {"smgp", "短信发送号码",             "SrcTermID"},
    {"smgp", "发送号码",                 "SrcTermID"},
    {"smgp", "短消息发送用户号码",       "SrcTermID"},
    {"smgp", "计费用户",                 "ChargeTermID"},
    {"smgp", "计费用户号码",             "ChargeTermID"},
    {"smgp", "短信接收号码总数",         "DestTermIDCount"},
    {"smgp", "短信接收号码",             "DestTermID"},
    {"smgp", "接收号码",                 "DestTermID"},
    {"smgp", "短消息接收号码",           "DestTermID"},
    {"smgp", "短信长度",                 "MsgLength"},
    {"smgp", "短消息长度",               "MsgLength"},
    {"smgp", "短信内容",                 "MsgContent"},
    {"smgp", "保留",                     "Reserve"},
    {"smgp", "短信标识",                 "MsgID"},
    {"smgp", "是否状态报告",             "IsReport"},
    {"smgp", "短信接收时间",             "RecvTime"},
    {"smgp", "短消息流水号",             "SerialNumber"},
    {"smgp", "会话号",                   "SessionID"},
    {"smgp", "内容提供商代码",           "CPID"},
    {"smgp", "加密设置",                 "EncryptMode"},
    {"smgp", "应答信息的加密模式",       "ResponseEncryptMode"},
    {"smgp", "终端序列号",               "TerminalSerial"},
    {"smgp", "IC卡的序列号",             "CardSerial"},
    {"smgp", "密钥代码",                 "KeyCode"},
    {"smgp", "信息交互类型",             "InteractionType"},
    {"smgp", "请求消息体",               "RequestBody"},
    {"smgp", "响应消息体",               "ResponseBody"},
    // SGIP
    {"sgip", "长度",                     "MessageLength"},
    {"sgip", "命令",                     "CommandID"},
    {"sgip", "序号",                     "SequenceNumber"},
    {"sgip", "登录类型",                 "LoginType"},
    {"sgip", "登录名",                   "LoginName"},
    {"sgip", "密码",                     "LoginPassword"},
    {"sgip", "保留",                     "Reserve"},
    {"sgip", "Bind执行命令是否成功",     "Result"},
    {"sgip", "Submit命令是否成功接收",   "Result"},
    {"sgip", "Deliver命令是否成功接收",  "Result"},
    {"sgip", "Report命令是否成功接收",   "Result"},
    {"sgip", "SP的接入号码",             "SPNumber"},
    {"sgip", "付费号码",                 "ChargeNumber"},
    {"sgip", "接收短消息的手机数量",     "UserCount"},
    {"sgip", "接收该短消息的手机号",     "UserNumber"},
    {"sgip", "发送短消息的用户手机号",   "UserNumber"},
    {"sgip", "接收短消息的手机",         "UserNumber"},
    {"sgip", "企业代码",                 "CorpId"},
    {"sgip", "业务代码",                 "ServiceType"},
    {"sgip", "计费类型",                 "FeeType"},
    {"sgip", "该条短消息的收费值(分)",   "FeeValue"},
    {"sgip", "赠送用户的话费(分)",       "GivenValue"},
    {"sgip", "代收费标志",               "AgentFlag"},
    {"sgip", "引起MT消息的原因",         "MorelatetoMTFlag"},
    {"sgip", "优先级0-9从低到高",        "Priority"},
    {"sgip", "短消息寿命的终止时间",     "ExpireTime"},
    {"sgip", "短消息定时发送的时间",     "ScheduleTime"},
    {"sgip", "状态报告标记",             "ReportFlag"},
    {"sgip", "GSM协议类型",              "TP_pid"},
    {"sgip", "短消息的编码格式",         "MessageCoding"},
    {"sgip", "信息类型",                 "MessageType"},
    {"sgip", "短消息的长度",             "MessageLength"},
    {"sgip", "短消息的内容",             "MessageContent"},
    {"sgip", "LinkID",                   "LinkID"},
    {"sgip", "命令类型",                 "ReportType"},
    {"sgip", "执行状态",                 "State"},
    {"sgip", "错误码值",                 "ErrorCode"},
    // CNGP
    {"cngp", "消息总长度",               "Packet_Length"},
    {"cngp", "命令标识",                 "Request_ID"},
    {"cngp", "command status",           "Command_Status"},
    {"cngp", "sequence number",          "Sequence_ID"},
    {"cngp", "SPID(SP企业代码)",         "ClientID"},
    {"cngp", "客户端密码",               "AuthenticatorClient"},
    {"cngp", "登录类型",                 "LoginMode"},
    {"cngp", "时间戳的明文",             "TimeStamp"},
    {"cngp", "客户端版本号",             "Version"},
    {"cngp", "服务器端认证码",           "AuthenticatorServer"},
    {"cngp", "服务器版本号",             "Version"},
    {"cngp", "SP的企业代码",             "SPID"},
    {"cngp", "短消息子类型",             "SubType"},
    {"cngp", "是否要求返回状态报告",     "NeedReport"},
    {"cngp", "发送优先级",               "Priority"},
    {"cngp", "业务类型",                 "ServiceID"},
    {"cngp", "资费类型",                 "FeeType"},
    {"cngp", "计费用户类型字段",         "FeeUserType"},
    {"cngp", "每条短消息的信息费",       "FeeCode"},
    {"cngp", "短消息格式",               "MsgFormat"},
    {"cngp", "有效时间",                 "ValidTime"},
    {"cngp", "定时发送时间",             "AtTime"},
    {"cngp", "发送用户号码",             "SrcTermID"},
    {"cngp", "计费用户号码",             "ChargeTermID"},
    {"cngp", "接收号码总数",             "DestTermIDCount"},
    {"cngp", "接收号码",                 "DestTermID"},
    {"cngp", "接收用户号码",             "DestTermID"},
    {"cngp", "短消息长度",               "MsgLength"},
    {"cngp", "短消息内容",               "MsgContent"},
    {"cngp", "协议标识-标识",            "ProtocolID_Tag"},
    {"cngp", "协议标识-实际长度",        "ProtocolID_Length"},
    {"cngp", "协议标识-值",              "ProtocolID"},
    {"cngp", "SMGW产生的短消息流水号",   "MsgID"},
    {"cngp", "流量控制-标识",            "CongestionState_Tag"},
    {"cngp", "流量控制-实际长度",        "CongestionState_Length"},
    {"cngp", "流量控制-值",              "CongestionState"},
    {"cngp", "是否状态报告",             "IsReport"},
    {"cngp", "接收时间",                 "RecvTime"},
};

// Columns: {row id, name after the protocol's prefix}
constexpr RowName kRowNames[] = {
    {32,   "AuthenticatorISMG"},     // CMPP connect_resp: the gateway's authenticator
    {1032, "AuthenticatorISMG"},
    {127,  "Src_terminal_Id"},       // CMPP deliver and forward: the sending terminal
    {1127, "Src_terminal_Id"},
    {271,  "Src_terminal_Id"},
    {1223, "Src_terminal_Id"},
    {403,  "ServerVersion"},         // SMGP login_resp
    {2403, "ServerVersion"},
    {1401, "SubmitSequenceNumber"},  // SGIP report: the submit it reports on
    {220,  "message_text"},          // TEST submit: plain text, where a deliver's content has a format
};

constexpr TagName kSmgpTlvNames[] = {
    {1, "TP_pid"},         {2, "TP_udhi"},         {3, "LinkID"},         {4, "ChargeUserType"},
    {5, "ChargeTermType"}, {6, "ChargeTermPseudo"}, {7, "DestTermType"},  {8, "DestTermPseudo"},
    {9, "PkTotal"},        {10, "PkNumber"},        {11, "SubmitMsgType"}, {12, "SPDealResult"},
    {13, "SrcTermType"},   {14, "SrcTermPseudo"},   {15, "NodesCount"},    {16, "MsgSrc"},
    {17, "SrcType"},       {18, "MServiceID"},
};

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '=')) text.remove_suffix(1);
    return text;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// An English label as a name: lower case, words joined by '_', a parenthesis and what follows it dropped.
std::string EnglishName(std::string_view text) {
    text = text.substr(0, text.find('('));
    std::string name;
    for (const char c : Trim(text)) {
        if (std::isalnum(static_cast<unsigned char>(c))) name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        else if (!name.empty() && name.back() != '_') name.push_back('_');
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name;
}

} // namespace

std::span<const ProtocolTag> ProtocolTags() { return kProtocolTags; }
std::span<const TagName> SmgpTlvNames() { return kSmgpTlvNames; }
std::span<const LabelName> LabelNames() { return kLabelNames; }
std::span<const RowName> RowNames() { return kRowNames; }

std::string_view LabelTag(std::string_view label) {
    const size_t colon = std::min(label.find(':'), label.find(" TLV:"));
    return colon == std::string_view::npos ? std::string_view{} : label.substr(0, colon);
}

std::string_view LabelText(std::string_view label) {
    const size_t colon = label.find(':');
    return colon == std::string_view::npos ? Trim(label) : Trim(label.substr(colon + 1));
}

std::string_view PrefixOfGroup(std::string_view label) {
    if (label.find("-----") == std::string_view::npos) return {};
    const std::string_view tag = LabelTag(label);
    for (const ProtocolTag& protocol : kProtocolTags)
        if (protocol.tag == tag) return protocol.prefix;
    return {};
}

std::string NameOf(std::string_view prefix, int32_t id, std::string_view label, bool udhiFlag) {
    for (const RowName& row : kRowNames)
        if (row.id == id) return std::string(row.name);
    const std::string_view text = LabelText(label);
    // SGIP labels its TP_pid and its TP_udhi octets alike; the kind that remembers the indicator tells them apart.
    if (udhiFlag && prefix == "sgip") return "TP_udhi";
    for (const LabelName& entry : kLabelNames)
        if (entry.prefix == prefix && entry.label == text) return std::string(entry.name);
    return IsAscii(text) ? EnglishName(text) : std::string();
}

} // namespace field_names
