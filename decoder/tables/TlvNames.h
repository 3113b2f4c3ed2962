// Names and value rules of the TLVs that SMGP 3.0 carries after its mandatory fields, and how the decoder reads
// SMPP's structured optional parameters (the registry names them all).
#pragma once

#include <cstdint>
#include <iterator>

#include "decoder/tables/TableIds.h"
#include "protocol/SmppFields.h"

struct TlvName {
    uint16_t tag;
    const char* name;
};

inline constexpr TlvName Smgp3TlvNameTable[] = {
    { 1, "TP_PID(GSM协议类型)"},
    { 2, "TP_UDHI(用户数据头标识)"},
    { 3, "LinkID(交易标识)"},
    { 4, "计费用户类型"},
    { 5, "计费用户的号码类型"},
    { 6, "计费用户的伪码"},
    { 7, "短消息接收方的号码类型"},
    { 8, "短消息接收方的伪码"},
    { 9, "相同LinkID的消息总条数(从1开始)"},
    {10, "相同LinkID的消息序号(从1开始)"},
    {11, "SP发送的消息类型"},
    {12, "SP对消息的处理结果"},
    {13, "短消息发送方的号码类型"},
    {14, "短消息发送方的伪码"},
    {15, "NodesCount"},
    {16, "信息内容的来源"},
    {17, "SrcType"},
    {18, "移动网业务代码"},
};
static_assert(std::size(Smgp3TlvNameTable) == 18);

// How an SMGP 3.0 TLV's value is shown: an integer of its length (with the names of a category
// when it has one), or an ASCII identifier. A tag without a row shows its octets in hex.
inline constexpr int32_t kSmgp3Number = 0;     // an integer without names
inline constexpr int32_t kSmgp3TextValue = -1; // an ASCII identifier
struct Smgp3TlvRule {
    uint16_t tag;
    int32_t category; // a value-name category, or kSmgp3Number, or kSmgp3TextValue
};
inline constexpr Smgp3TlvRule Smgp3TlvValueRules[] = {
    { 1, kSmgp3Number},    // TP_pid
    { 2, kSmgp3Number},    // TP_udhi
    { 3, kSmgp3TextValue}, // LinkID
    { 4, decode_ids::kSmgpFeeUserType},   // ChargeUserType
    { 5, decode_ids::kSmgpNumberType},            // ChargeTermType: the SMGP number type names
    { 6, kSmgp3TextValue}, // ChargeTermPseudo
    { 7, decode_ids::kSmgpNumberType},            // DestTermType
    { 8, kSmgp3TextValue}, // DestTermPseudo
    { 9, kSmgp3Number},    // PkTotal
    {10, kSmgp3Number},    // PkNumber
    {11, decode_ids::kSmgpSpMessageType},           // SubmitMsgType
    {12, decode_ids::kSmgpSpResult},           // SPDealResult
    {13, decode_ids::kSmgpNumberType},            // SrcTermType
    {14, kSmgp3TextValue}, // SrcTermPseudo
    {15, kSmgp3Number},    // NodesCount
    {16, kSmgp3TextValue}, // MsgSrc
    {17, kSmgp3Number},    // SrcType
    {18, kSmgp3TextValue}, // MServiceID
};
static_assert(std::size(Smgp3TlvValueRules) == std::size(Smgp3TlvNameTable));

// The SMGP 3.0 TLV whose value 1 says the message content opens with a user data header.
inline constexpr uint16_t kSmgp3TpUdhi = 2;

// SMPP optional parameters that the walk reads beyond their line.
inline constexpr uint16_t kSmppMessagePayload = protocol::smpp::kTagMessagePayload; // message content, shown as a short_message is

// SMPP optional parameters whose value is a structure: each part gets a line of its own under the
// parameter's, which shows the last part (the number, the text). A part of width kRestOfValue takes
// the octets the parts before it leave.
enum class TlvPart {
    Number,  // one octet, named from `category`
    Digits,  // a number's digits, in the digit mode the parameter's first part names: TBCD or ASCII
    Text,    // characters in the data_coding the parameter's first part names
};
inline constexpr int32_t kRestOfValue = -1;
struct SmppTlvPartRow {
    uint16_t tag;
    const char* name;
    int32_t width;
    TlvPart part;
    int32_t category; // value names of a Number part, -1 for none
};
inline constexpr SmppTlvPartRow SmppTlvParts[] = {
    // tag   name                                  width         part             category
    {0x0381, "callback_num digit_mode_indicator",  1,            TlvPart::Number, decode_ids::kDigitModes},
    {0x0381, "callback_num addr_ton",              1,            TlvPart::Number, decode_ids::kTypesOfNumber},
    {0x0381, "callback_num addr_npi",              1,            TlvPart::Number, decode_ids::kNumberingPlans},
    {0x0381, "callback_num number_digits",         kRestOfValue, TlvPart::Digits, -1},
    {0x0303, "callback_num_atag data_coding",      1,            TlvPart::Number, decode_ids::kDataCodings},
    {0x0303, "callback_num_atag display_characters", kRestOfValue, TlvPart::Text, -1},
};


// Information elements of a user data header that have a name; the concatenation elements also
// show their reference, total and part number.
struct UdhElementName {
    uint8_t identifier;
    const char* name;
};

inline constexpr uint8_t kUdhConcatenation8 = 0x00;  // reference of 8 bits
inline constexpr uint8_t kUdhConcatenation16 = 0x08; // reference of 16 bits
inline constexpr uint8_t kUdhPorts8 = 0x04;          // destination and origin port of 8 bits each
inline constexpr uint8_t kUdhPorts16 = 0x05;         // of 16 bits each

inline constexpr UdhElementName UdhElementNames[] = {
    {0x00, "Concatenated short messages, 8-bit reference"},
    {0x01, "Special SMS Message Indication"},
    {0x04, "Application port addressing, 8-bit"},  // destination port, then origin port
    {0x05, "Application port addressing, 16-bit"}, // likewise
    {0x08, "Concatenated short messages, 16-bit reference"},
    {0x24, "National Language Single Shift"},
    {0x25, "National Language Locking Shift"},
};

// The fields of a delivery receipt's text ("id:... sub:... dlvrd:... submit date:... done date:...
// stat:... err:... text:..."), in the order they appear. Every value but the free text after "text:" is
// one word (SMPP 3.4 Appendix B gives each a fixed size: err three characters, stat seven).
inline constexpr const char* ReceiptFieldKeys[] = {"id:", "sub:", "dlvrd:", "submit date:", "done date:", "stat:", "err:", "text:"};
