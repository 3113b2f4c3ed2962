// What UCP/EMI knows of each operation type: its name and the fields of its operation and of its results,
// and the two-digit error codes a negative result carries. Data only, one row per line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace ucp {

// The fields of each layout, by the standard's abbreviations, in frame order. "Msg" is NMsg, AMsg or TMsg as
// MT says (MessageFieldName); a field of a list (RAd, GA) repeats as often as NPL says.
inline constexpr std::string_view kMessageField = "Msg";
inline constexpr std::string_view kCallInputFields[] = {"AdC", "OAdC", "AC", "MT", "Msg"};
inline constexpr std::string_view kMultipleCallInputFields[] = {"NPL", "RAd", "OAdC", "AC", "MT", "Msg"};
inline constexpr std::string_view kSupplementaryCallInputFields[] = {
    "RAd", "OAdC", "AC", "NPL", "GA", "RP", "PR", "LPR", "UR", "LUR", "RC", "LRC", "DD", "DDT", "MT", "Msg"};
inline constexpr std::string_view kMessageTransferFields[] = {
    "AdC", "OAdC", "AC", "NRq", "NAd", "NPID", "DD", "DDT", "VP", "AMsg"};
inline constexpr std::string_view kAlertFields[] = {"AdC", "PID"};
// The 50 series (51 to 58) share one list of 33 fields.
inline constexpr std::string_view kSeries50Fields[] = {
    "AdC",  "OAdC", "AC",   "NRq",  "NAdC", "NT",  "NPID", "LRq",  "LRAd", "LPID",  "DD",
    "DDT",  "VP",   "RPID", "SCTS", "Dst",  "Rsn", "DSCTS", "MT",  "NB",   "Msg",   "MMS",
    "PR",   "DCs",  "MCLs", "RPI",  "CPg",  "RPLy", "OTOA", "HPLMN", "XSer", "RES4", "RES5"};
inline constexpr std::string_view kSessionFields[] = {
    "OAdC", "OTON", "ONPI", "STYP", "PWD", "NPWD", "VERS", "LAdC", "LTON", "LNPI", "OPID", "RES1"};
inline constexpr std::string_view kListFields[] = {
    "OAdC", "OTON", "ONPI", "STYP", "PWD", "NPWD", "VERS", "LAdC", "LTON", "LNPI", "RES1", "RES2"};
static_assert(std::size(kSeries50Fields) == 33 && std::size(kSessionFields) == 12 && std::size(kListFields) == 12);

inline constexpr std::string_view kAckFields[] = {"ACK", "SM"};
inline constexpr std::string_view kAckMvpFields[] = {"ACK", "MVP", "SM"}; // 30 and the 50 series
inline constexpr std::string_view kNackFields[] = {"NAck", "EC", "SM"};   // every OT

inline constexpr int8_t kNoList = -1;

struct OperationType {
    uint8_t ot;
    std::string_view name;
    std::span<const std::string_view> fields; // the operation's
    std::span<const std::string_view> ack;    // the positive result's
    int8_t countAt;                           // the field (NPL) counting the list field, or kNoList
    int8_t listAt;                            // the field repeated that many times, or kNoList
};

inline constexpr OperationType kOperationTypes[] = {
    // OT  name                                     operation                      ack            NPL      list
    { 1, "Call input",                              kCallInputFields,              kAckFields,    kNoList, kNoList},
    { 2, "Multiple address call input",             kMultipleCallInputFields,      kAckFields,    0,       1},
    { 3, "Call input with supplementary services",  kSupplementaryCallInputFields, kAckFields,    3,       4},
    {30, "SMS message transfer",                    kMessageTransferFields,        kAckMvpFields, kNoList, kNoList},
    {31, "Alert",                                   kAlertFields,                  kAckFields,    kNoList, kNoList},
    {51, "Submit short message",                    kSeries50Fields,               kAckMvpFields, kNoList, kNoList},
    {52, "Deliver short message",                   kSeries50Fields,               kAckMvpFields, kNoList, kNoList},
    {53, "Deliver notification",                    kSeries50Fields,               kAckMvpFields, kNoList, kNoList},
    {54, "Modify message",                          kSeries50Fields,               kAckMvpFields, kNoList, kNoList},
    {55, "Inquiry message",                         kSeries50Fields,               kAckMvpFields, kNoList, kNoList},
    {56, "Delete message",                          kSeries50Fields,               kAckMvpFields, kNoList, kNoList},
    {57, "Response inquiry message",                kSeries50Fields,               kAckMvpFields, kNoList, kNoList},
    {58, "Response delete message",                 kSeries50Fields,               kAckMvpFields, kNoList, kNoList},
    {60, "Session management",                      kSessionFields,                kAckFields,    kNoList, kNoList},
    {61, "List management",                         kListFields,                   kAckFields,    kNoList, kNoList},
};

// The operation type of an OT, or null when UCP has none this codec knows.
constexpr const OperationType* FindOperationType(unsigned ot) {
    for (const OperationType& type : kOperationTypes)
        if (type.ot == ot)
            return &type;
    return nullptr;
}

// Where a field sits in a fixed list, checked by the compiler: FieldIndex(kSeries50Fields, "OTOA") is 28.
consteval std::size_t FieldIndex(std::span<const std::string_view> fields, std::string_view name) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i] == name)
            return i;
    throw "no such field";
}

// MT: how the 01, 02, 03 and 50-series message is carried.
inline constexpr std::string_view kMtNumeric = "2";      // NMsg: digits
inline constexpr std::string_view kMtAlphanumeric = "3"; // AMsg: GSM 03.38 code points in hex
inline constexpr std::string_view kMtTransparent = "4";  // TMsg: octets in hex, NB bits of them

// The name of the message field as MT chooses it; "Msg" when MT is none of the three.
constexpr std::string_view MessageFieldName(std::string_view mt) {
    return mt == kMtNumeric ? "NMsg" : mt == kMtAlphanumeric ? "AMsg" : mt == kMtTransparent ? "TMsg" : "Msg";
}

// The two-digit error codes of a negative result (EC), for what code refers to by name.
enum class ErrorCode : uint8_t {
    Checksum = 1,
    Syntax = 2,
    NotSupported = 3,
    NotAllowed = 4,
    AdcInvalid = 6,
    Authentication = 7,
    MessageTooLong = 24,
    MessageNotFound = 27,
};

struct ErrorName {
    uint8_t code;
    std::string_view text;
};

inline constexpr ErrorName kErrorNames[] = {
    { 1, "Checksum error"},
    { 2, "Syntax error"},
    { 3, "Operation not supported by system"},
    { 4, "Operation not allowed"},
    { 5, "Call barring active"},
    { 6, "AdC invalid"},
    { 7, "Authentication failure"},
    { 8, "Legitimisation code for all calls, failure"},
    { 9, "GA not valid"},
    {10, "Repetition not allowed"},
    {11, "Legitimisation code for repetition, failure"},
    {12, "Priority call not allowed"},
    {13, "Legitimisation code for priority call, failure"},
    {14, "Urgent message not allowed"},
    {15, "Legitimisation code for urgent message, failure"},
    {16, "Reverse charging not allowed"},
    {17, "Legitimisation code for reverse charging, failure"},
    {18, "Deferred delivery not allowed"},
    {19, "New AC not valid"},
    {20, "New legitimisation code not valid"},
    {21, "Standard text not valid"},
    {22, "Time period not valid"},
    {23, "Message type not supported by system"},
    {24, "Message too long"},
    {25, "Requested standard text not valid"},
    {26, "Message type not valid for the pager type"},
    {27, "Message not found in SMSC"},
    {30, "Subscriber hang up"},
    {31, "Fax group not supported"},
    {32, "Fax message type not supported"},
    {33, "Address already in list"},
    {34, "Address not in list"},
    {35, "List full, cannot add address to list"},
    {36, "RPID already in use"},
    {37, "Delivery in progress"},
    {38, "Message forwarded"},
};

// The text of an error code, or empty for a code the standard does not number.
constexpr std::string_view ErrorText(unsigned code) {
    for (const ErrorName& row : kErrorNames)
        if (row.code == code)
            return row.text;
    return {};
}

} // namespace ucp
