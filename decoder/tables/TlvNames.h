// Names and value rules of the TLVs that SMGP 3.0 and SMPP carry after their mandatory fields.
#pragma once

#include <cstdint>
#include <iterator>

#include "decoder/tables/TableIds.h"

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

inline constexpr TlvName SmppTlvNameTable[] = {
    {0x0005, "dest_addr_subunit(GSM)"},
    {0x0006, "dest_network_type(Generic)"},
    {0x0007, "dest_bearer_type(Generic)"},
    {0x0008, "dest_telematics_id(GSM)"},
    {0x000D, "source_addr_subunit(GSM)"},
    {0x000E, "source_network_type(Generic)"},
    {0x000F, "source_bearer_type(Generic)"},
    {0x0010, "source_telematics_id(GSM)"},
    {0x0017, "qos_time_to_live(Generic)"},
    {0x0019, "payload_type(Generic)"},
    {0x001D, "additional_status_info_text(Generic)"},
    {0x001E, "receipted_message_id(Generic)"},
    {0x0030, "ms_msg_wait_facilities(GSM)"},
    {0x0201, "privacy_indicator(CDMA,TDMA)"},
    {0x0202, "source_subaddress(CDMA,TDMA)"},
    {0x0203, "dest_subaddress(CDMA,TDMA)"},
    {0x0204, "user_message_reference(Generic)"},
    {0x0205, "user_response_code(CDMA,TDMA)"},
    {0x020A, "source_port(Generic)"},
    {0x020B, "destination_port(Generic)"},
    {0x020C, "sar_msg_ref_num(Generic)"},
    {0x020D, "language_indicator(CDMA,TDMA)"},
    {0x020E, "sar_total_segments(Generic)"},
    {0x020F, "sar_segment_seqnum(Generic)"},
    {0x0210, "SC_interface_version(Generic)"},
    {0x0302, "callback_num_pres_ind(TDMA)"},
    {0x0303, "callback_num_atag(TDMA)"},
    {0x0304, "number_of_messages(CDMA)"},
    {0x0381, "callback_num(CDMA,TDMA,GSM,iDEN)"},
    {0x0420, "dpf_result(Generic)"},
    {0x0421, "set_dpf(Generic)"},
    {0x0422, "ms_availability_status(Generic)"},
    {0x0423, "network_error_code(Generic)"},
    {0x0424, "message_payload(Generic)"},
    {0x0425, "delivery_failure_reason(Generic)"},
    {0x0426, "more_messages_to_send(GSM)"},
    {0x0427, "message_state(Generic)"},
    {0x0501, "ussd_service_op(GSM,USSD)"},
    {0x1201, "display_time(CDMA,TDMA)"},
    {0x1203, "sms_signal(TDMA)"},
    {0x1204, "ms_validity(CDMA,TDMA)"},
    {0x130C, "alert_on_message_delivery(CDMA)"},
    {0x1380, "its_reply_type(CDMA)"},
    {0x1383, "its_session_info(CDMA)"},
    {0x1738, "计费号码)"},  // the stray parenthesis is part of the name
    {0xFFFF, "Reserved)"},  // likewise
};
static_assert(std::size(SmppTlvNameTable) == 46);

// How an SMPP optional parameter's value is shown.
enum class SmppTlvValue {
    U32,   // 32-bit network order, decimal
    U16,   // 16-bit network order, decimal
    U8,    // first value byte, decimal, with its name from SmppTlvValueNames when it has one
    Version, // interface version: high nibble "." low nibble, as the bind shows interface_version
    None,  // nothing
    Text,  // the value as text, cut to its length (every named tag not listed below)
    Hex,   // the value's octets in hex (octet strings, and a tag without a name)
};

struct SmppTlvRule {
    uint16_t tag;
    SmppTlvValue value;
};

inline constexpr SmppTlvRule SmppTlvValueRules[] = {
    {0x0005, SmppTlvValue::U8},   {0x0006, SmppTlvValue::U8},   {0x0007, SmppTlvValue::U8},
    {0x0008, SmppTlvValue::U8},   {0x000D, SmppTlvValue::U8},   {0x000E, SmppTlvValue::U8},
    {0x000F, SmppTlvValue::U8},   {0x0010, SmppTlvValue::U8},
    {0x0017, SmppTlvValue::U32},
    {0x0204, SmppTlvValue::U16},  {0x020A, SmppTlvValue::U16},  {0x020B, SmppTlvValue::U16},
    {0x020C, SmppTlvValue::U16},  {0x1203, SmppTlvValue::U16},
    {0x0019, SmppTlvValue::U8},   {0x0030, SmppTlvValue::U8},   {0x0201, SmppTlvValue::U8},
    {0x0205, SmppTlvValue::U8},   {0x020D, SmppTlvValue::U8},   {0x020E, SmppTlvValue::U8},
    {0x020F, SmppTlvValue::U8},   {0x0210, SmppTlvValue::Version},   {0x0302, SmppTlvValue::U8},
    {0x0304, SmppTlvValue::U8},   {0x0420, SmppTlvValue::U8},   {0x0421, SmppTlvValue::U8},
    {0x0422, SmppTlvValue::U8},   {0x0425, SmppTlvValue::U8},   {0x0426, SmppTlvValue::U8},
    {0x0427, SmppTlvValue::U8},   {0x0501, SmppTlvValue::U8},   {0x1201, SmppTlvValue::U8},
    {0x1204, SmppTlvValue::U8},   {0x1380, SmppTlvValue::U8},
    {0x130C, SmppTlvValue::None},
    {0x0202, SmppTlvValue::Hex},  {0x0203, SmppTlvValue::Hex},  {0x0423, SmppTlvValue::Hex}, // octet strings
    {0x1383, SmppTlvValue::Hex},
};
static_assert(std::size(SmppTlvValueRules) == 8 + 1 + 5 + 20 + 1 + 4);

// The SMGP 3.0 TLV whose value 1 says the message content opens with a user data header.
inline constexpr uint16_t kSmgp3TpUdhi = 2;

// SMPP optional parameters that the walk reads beyond their line.
inline constexpr uint16_t kSmppMessagePayload = 0x0424; // message content, shown as a short_message is

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


// The names of one-octet SMPP parameter values: subunits, network and bearer types, message states.
struct SmppTlvValueName {
    uint16_t tag;
    uint8_t value;
    const char* name;
};

inline constexpr SmppTlvValueName SmppTlvValueNames[] = {
    {0x0005, 0, "Unknown"}, {0x0005, 1, "MS Display"}, {0x0005, 2, "Mobile Equipment"},
    {0x0005, 3, "Smart Card 1"}, {0x0005, 4, "External Unit 1"},
    {0x000D, 0, "Unknown"}, {0x000D, 1, "MS Display"}, {0x000D, 2, "Mobile Equipment"},
    {0x000D, 3, "Smart Card 1"}, {0x000D, 4, "External Unit 1"},
    {0x0006, 0, "Unknown"}, {0x0006, 1, "GSM"}, {0x0006, 2, "ANSI-136/TDMA"}, {0x0006, 3, "IS-95/CDMA"},
    {0x0006, 4, "PDC"}, {0x0006, 5, "PHS"}, {0x0006, 6, "iDEN"}, {0x0006, 7, "AMPS"}, {0x0006, 8, "Paging Network"},
    {0x000E, 0, "Unknown"}, {0x000E, 1, "GSM"}, {0x000E, 2, "ANSI-136/TDMA"}, {0x000E, 3, "IS-95/CDMA"},
    {0x000E, 4, "PDC"}, {0x000E, 5, "PHS"}, {0x000E, 6, "iDEN"}, {0x000E, 7, "AMPS"}, {0x000E, 8, "Paging Network"},
    {0x0007, 0, "Unknown"}, {0x0007, 1, "SMS"}, {0x0007, 2, "Circuit Switched Data"}, {0x0007, 3, "Packet Data"},
    {0x0007, 4, "USSD"}, {0x0007, 5, "CDPD"}, {0x0007, 6, "DataTAC"}, {0x0007, 7, "FLEX/ReFLEX"},
    {0x0007, 8, "Cell Broadcast"},
    {0x000F, 0, "Unknown"}, {0x000F, 1, "SMS"}, {0x000F, 2, "Circuit Switched Data"}, {0x000F, 3, "Packet Data"},
    {0x000F, 4, "USSD"}, {0x000F, 5, "CDPD"}, {0x000F, 6, "DataTAC"}, {0x000F, 7, "FLEX/ReFLEX"},
    {0x000F, 8, "Cell Broadcast"},
    {0x0427, 1, "ENROUTE"}, {0x0427, 2, "DELIVERED"}, {0x0427, 3, "EXPIRED"}, {0x0427, 4, "DELETED"},
    {0x0427, 5, "UNDELIVERABLE"}, {0x0427, 6, "ACCEPTED"}, {0x0427, 7, "UNKNOWN"}, {0x0427, 8, "REJECTED"},
};
static_assert(std::size(SmppTlvValueNames) == 2 * 5 + 2 * 9 + 2 * 9 + 8);

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
