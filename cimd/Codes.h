// What CIMD2 numbers: operation codes, parameter codes with their names and kinds of value, the error codes
// of parameter 900 and the status codes of parameter 061. Data only, one row per line.
#pragma once

#include <cstdint>
#include <string_view>

namespace cimd {

// The operation codes code refers to; a response is its operation's code plus kResponseOffset.
namespace op {
inline constexpr uint8_t kLogin = 1;
inline constexpr uint8_t kLogout = 2;
inline constexpr uint8_t kSubmit = 3;
inline constexpr uint8_t kEnquireStatus = 4;
inline constexpr uint8_t kCancel = 6;
inline constexpr uint8_t kDeliver = 20;
inline constexpr uint8_t kStatusReport = 23;
inline constexpr uint8_t kAlive = 40;
inline constexpr uint8_t kResponseOffset = 50;
inline constexpr uint8_t kGeneralError = 98; // the SMSC's answer to an operation it cannot take
inline constexpr uint8_t kNack = 99;         // the answer to a packet with a bad checksum or syntax
} // namespace op

// A packet number is three digits no larger than this; the client numbers odd, the SMSC even.
inline constexpr unsigned kLargestNumber = 255;

struct OperationName {
    uint8_t code;
    std::string_view name;
};

inline constexpr OperationName kOperations[] = {
    { 1, "Login"},
    { 2, "Logout"},
    { 3, "Submit message"},
    { 4, "Enquire message status"},
    { 5, "Delivery request"},
    { 6, "Cancel message"},
    { 8, "Set parameters"},
    { 9, "Get parameters"},
    {20, "Deliver message"},
    {23, "Deliver status report"},
    {40, "Alive"},
    {51, "Login response"},
    {52, "Logout response"},
    {53, "Submit message response"},
    {54, "Enquire message status response"},
    {55, "Delivery request response"},
    {56, "Cancel message response"},
    {58, "Set parameters response"},
    {59, "Get parameters response"},
    {70, "Deliver message response"},
    {73, "Deliver status report response"},
    {90, "Alive response"},
    {98, "General error response"},
    {99, "Nack"},
};

// How a parameter's value is written.
enum class ValueKind : uint8_t {
    Integer,  // decimal digits
    Text,     // characters as they are
    Address,  // digits, a leading + allowed
    Time,     // yyMMddhhmmss
    UserData, // text with CIMD2's _ escapes (DecodeUserData)
    Hex,      // octets as hex digits
};

struct ParameterName {
    uint16_t code;
    std::string_view name;
    ValueKind kind;
};

inline constexpr ParameterName kParameters[] = {
    { 10, "User identity",                    ValueKind::Text},
    { 11, "Password",                         ValueKind::Text},
    { 12, "Subaddress",                       ValueKind::Integer},
    { 19, "Window size",                      ValueKind::Integer},
    { 21, "Destination address",              ValueKind::Address},
    { 23, "Originating address",              ValueKind::Address},
    { 24, "Originating IMSI",                 ValueKind::Address},
    { 26, "Alphanumeric originating address", ValueKind::UserData},
    { 27, "Originated visited MSC address",   ValueKind::Address},
    { 30, "Data coding scheme",               ValueKind::Integer},
    { 32, "User data header",                 ValueKind::Hex},
    { 33, "User data",                        ValueKind::UserData},
    { 34, "User data binary",                 ValueKind::Hex},
    { 44, "More messages to send",            ValueKind::Integer},
    { 50, "Validity period relative",         ValueKind::Integer},
    { 51, "Validity period absolute",         ValueKind::Time},
    { 52, "Protocol identifier",              ValueKind::Integer},
    { 53, "First delivery time relative",     ValueKind::Integer},
    { 54, "First delivery time absolute",     ValueKind::Time},
    { 55, "Reply path",                       ValueKind::Integer},
    { 56, "Status report request",            ValueKind::Integer},
    { 58, "Cancel enabled",                   ValueKind::Integer},
    { 59, "Cancel mode",                      ValueKind::Integer},
    { 60, "Service centre time stamp",        ValueKind::Time},
    { 61, "Status code",                      ValueKind::Integer},
    { 62, "Status error code",                ValueKind::Integer},
    { 63, "Discharge time",                   ValueKind::Time},
    { 64, "Tariff class",                     ValueKind::Integer},
    { 65, "Service description",              ValueKind::Integer},
    { 66, "Message count",                    ValueKind::Integer},
    { 67, "Priority",                         ValueKind::Integer},
    { 68, "Delivery request mode",            ValueKind::Integer},
    { 69, "Service centre address",           ValueKind::Address},
    {500, "Get parameter",                    ValueKind::Integer},
    {501, "MC time",                          ValueKind::Time},
    {900, "Error code",                       ValueKind::Integer},
    {901, "Error text",                       ValueKind::Text},
};

constexpr const ParameterName* FindParameter(unsigned code) {
    for (const ParameterName& row : kParameters)
        if (row.code == code)
            return &row;
    return nullptr;
}

constexpr std::string_view OperationText(unsigned code) {
    for (const OperationName& row : kOperations)
        if (row.code == code)
            return row.name;
    return {};
}

// The parameter codes code refers to, each checked against its row.
namespace param {
inline constexpr uint16_t kUserIdentity = 10;
inline constexpr uint16_t kAlphanumericOriginator = 26;
inline constexpr uint16_t kPassword = 11;
inline constexpr uint16_t kDestinationAddress = 21;
inline constexpr uint16_t kOriginatingAddress = 23;
inline constexpr uint16_t kUserDataHeader = 32;
inline constexpr uint16_t kDataCodingScheme = 30;
inline constexpr uint16_t kUserData = 33;
inline constexpr uint16_t kUserDataBinary = 34;
inline constexpr uint16_t kStatusReportRequest = 56;
inline constexpr uint16_t kServiceCentreTimeStamp = 60;
inline constexpr uint16_t kStatusCode = 61;
inline constexpr uint16_t kStatusErrorCode = 62;
inline constexpr uint16_t kDischargeTime = 63;
inline constexpr uint16_t kErrorCode = 900;
inline constexpr uint16_t kErrorText = 901;
} // namespace param
static_assert(FindParameter(param::kUserIdentity)->name == "User identity" &&
              FindParameter(param::kPassword)->name == "Password" &&
              FindParameter(param::kAlphanumericOriginator)->name == "Alphanumeric originating address" &&
              FindParameter(param::kDestinationAddress)->name == "Destination address" &&
              FindParameter(param::kOriginatingAddress)->name == "Originating address" &&
              FindParameter(param::kUserDataHeader)->name == "User data header" &&
              FindParameter(param::kDataCodingScheme)->name == "Data coding scheme" &&
              FindParameter(param::kUserData)->name == "User data" &&
              FindParameter(param::kUserDataBinary)->name == "User data binary" &&
              FindParameter(param::kStatusReportRequest)->name == "Status report request" &&
              FindParameter(param::kServiceCentreTimeStamp)->name == "Service centre time stamp" &&
              FindParameter(param::kStatusCode)->name == "Status code" &&
              FindParameter(param::kStatusErrorCode)->name == "Status error code" &&
              FindParameter(param::kDischargeTime)->name == "Discharge time" &&
              FindParameter(param::kErrorCode)->name == "Error code" &&
              FindParameter(param::kErrorText)->name == "Error text");

struct CodeText {
    uint16_t code;
    std::string_view text;
};

// Parameter 900: why the SMSC refused an operation (98, or the operation's response).
inline constexpr CodeText kErrorCodes[] = {
    {  0, "No error"},
    {  1, "Unexpected operation"},
    {  2, "Syntax error"},
    {  3, "Unsupported parameter error"},
    {  4, "Connection to message center lost"},
    {  5, "No response from message center"},
    {  6, "General system error"},
    {  7, "Cannot find information"},
    {  8, "Parameter formatting error"},
    {  9, "Requested operation failed"},
    { 10, "Temporary congestion error"},
    {100, "Invalid login"},
    {101, "Incorrect access type"},
    {102, "Too many users with this login id"},
    {103, "Login refused by message center"},
    {104, "Invalid window size"},
    {105, "Windowing disabled"},
    {106, "Virtual SMS center-based barring"},
    {107, "Invalid subaddr"},
    {108, "Alias account, login refused"},
    {300, "Incorrect destination address"},
    {301, "Incorrect number of destination addresses"},
    {302, "Syntax error in user data parameter"},
    {303, "Incorrect bin/head/normal user data parameter combination"},
    {304, "Incorrect data coding scheme parameter usage"},
    {305, "Incorrect validity period parameters usage"},
    {306, "Incorrect originator address usage"},
    {307, "Incorrect PID parameter usage"},
    {308, "Incorrect first delivery parameter usage"},
    {309, "Incorrect reply path usage"},
    {310, "Incorrect status report request parameter usage"},
    {311, "Incorrect cancel enabled parameter usage"},
    {312, "Incorrect priority parameter usage"},
    {313, "Incorrect tariff class parameter usage"},
    {314, "Incorrect service description parameter usage"},
    {321, "Incorrect alphanumeric originator address usage"},
};

// Parameter 061 of a status report: what became of the message.
inline constexpr CodeText kStatusCodes[] = {
    {1, "In process"},
    {2, "Validity period expired"},
    {3, "Delivery failed"},
    {4, "Delivery successful"},
    {5, "No response"},
    {6, "Last no response"},
    {7, "Message cancelled"},
    {8, "Message deleted"},
    {9, "Message deleted by cancel"},
};

// The status codes code refers to.
namespace status {
inline constexpr uint8_t kInProcess = 1;
inline constexpr uint8_t kValidityPeriodExpired = 2;
inline constexpr uint8_t kDeliveryFailed = 3;
inline constexpr uint8_t kDeliverySuccessful = 4;
inline constexpr uint8_t kMessageDeleted = 8;
} // namespace status
static_assert(kStatusCodes[status::kInProcess - 1].text == "In process" &&
              kStatusCodes[status::kValidityPeriodExpired - 1].text == "Validity period expired" &&
              kStatusCodes[status::kDeliveryFailed - 1].text == "Delivery failed" &&
              kStatusCodes[status::kDeliverySuccessful - 1].text == "Delivery successful" &&
              kStatusCodes[status::kMessageDeleted - 1].text == "Message deleted");

// The error codes code refers to.
namespace error {
inline constexpr uint16_t kUnexpectedOperation = 1;
inline constexpr uint16_t kSyntax = 2;
inline constexpr uint16_t kCannotFindInformation = 7;
inline constexpr uint16_t kInvalidLogin = 100;
inline constexpr uint16_t kIncorrectDestination = 300;
inline constexpr uint16_t kUserDataSyntax = 302;
inline constexpr uint16_t kUserDataCombination = 303;
} // namespace error

} // namespace cimd
