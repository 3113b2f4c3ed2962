// The SMPP 3.4 and 5.0 command_status values by their symbolic names, each registered once.
#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>

namespace protocol::smpp {

// The decoder names a status by its description ("Throttling error ..."); a column that has room
// for one word shows its name. A value without a row is reserved (0x10, 0x12, 0x113 and up) or an SMSC's own.
struct Status {
    uint32_t value;
    std::string_view name;        // the symbolic name, ESME_RTHROTTLED; SMPP 3.4's where 5.0 renamed it
    std::string_view description; // what the decoder shows beside the value
    std::string_view name50 = {}; // SMPP 5.0's name where it differs; the description ends with it
};

inline constexpr Status kStatuses[] = {
    // command_status  name                      description
    {0x00000000, "ESME_ROK",                "No Error"},
    {0x00000001, "ESME_RINVMSGLEN",         "Message Length is invalid"},
    {0x00000002, "ESME_RINVCMDLEN",         "Command Length is invalid"},
    {0x00000003, "ESME_RINVCMDID",          "Invalid Command ID"},
    {0x00000004, "ESME_RINVBNDSTS",         "Incorrect BIND Status for given command"},
    {0x00000005, "ESME_RALYBND",            "ESME Already in Bound State"},
    {0x00000006, "ESME_RINVPRTFLG",         "Invalid Priority Flag"},
    {0x00000007, "ESME_RINVREGDLVFLG",      "Invalid Registered Delivery Flag"},
    {0x00000008, "ESME_RSYSERR",            "System Error"},
    {0x0000000A, "ESME_RINVSRCADR",         "Invalid Source Address"},
    {0x0000000B, "ESME_RINVDSTADR",         "Invalid Dest Addr"},
    {0x0000000C, "ESME_RINVMSGID",          "Message ID is invalid"},
    {0x0000000D, "ESME_RBINDFAIL",          "Bind Failed"},
    {0x0000000E, "ESME_RINVPASWD",          "Invalid Password"},
    {0x0000000F, "ESME_RINVSYSID",          "Invalid System ID"},
    {0x00000011, "ESME_RCANCELFAIL",        "Cancel SM Failed"},
    {0x00000013, "ESME_RREPLACEFAIL",       "Replace SM Failed"},
    {0x00000014, "ESME_RMSGQFUL",           "Message Queue Full"},
    {0x00000015, "ESME_RINVSERTYP",         "Invalid Service Type"},
    {0x00000033, "ESME_RINVNUMDESTS",       "Invalid number of destinations"},
    {0x00000034, "ESME_RINVDLNAME",         "Invalid Distribution List name"},
    {0x00000040, "ESME_RINVDESTFLAG",       "Destination flag is invalid(submit_multi)"},
    {0x00000042, "ESME_RINVSUBREP",         "Invalid ‘submit with replace’ request(i.e. submit_sm with replace_if_present_flag set)"},
    {0x00000043, "ESME_RINVESMCLASS",       "Invalid esm_class field data"},
    {0x00000044, "ESME_RCNTSUBDL",          "Cannot Submit to Distribution List"},
    {0x00000045, "ESME_RSUBMITFAIL",        "submit_sm or submit_multi failed"},
    {0x00000048, "ESME_RINVSRCTON",         "Invalid Source address TON"},
    {0x00000049, "ESME_RINVSRCNPI",         "Invalid Source address NPI"},
    {0x00000050, "ESME_RINVDSTTON",         "Invalid Destination address TON"},
    {0x00000051, "ESME_RINVDSTNPI",         "Invalid Destination address NPI"},
    {0x00000053, "ESME_RINVSYSTYP",         "Invalid system_type field"},
    {0x00000054, "ESME_RINVREPFLAG",        "Invalid replace_if_present flag"},
    {0x00000055, "ESME_RINVNUMMSGS",        "Invalid number of messages"},
    {0x00000058, "ESME_RTHROTTLED",         "Throttling error (ESME has exceeded allowed message limits)"},
    {0x00000061, "ESME_RINVSCHED",          "Invalid Scheduled Delivery Time"},
    {0x00000062, "ESME_RINVEXPIRY",         "Invalid message validity period"},
    {0x00000063, "ESME_RINVDFTMSGID",       "Predefined Message Invalid or Not Found"},
    {0x00000064, "ESME_RX_T_APPN",          "ESME Receiver Temporary App Error Code"},
    {0x00000065, "ESME_RX_P_APPN",          "ESME Receiver Permanent App Error Code"},
    {0x00000066, "ESME_RX_R_APPN",          "ESME Receiver Reject Message Error Code"},
    {0x00000067, "ESME_RQUERYFAIL",         "query_sm request failed"},
    {0x000000C0, "ESME_RINVOPTPARSTREAM",   "Error in the optional part of the PDU Body. (5.0: ESME_RINVTLVSTREAM)", "ESME_RINVTLVSTREAM"},
    {0x000000C1, "ESME_ROPTPARNOTALLWD",    "Optional Parameter not allowed (5.0: ESME_RTLVNOTALLWD)",              "ESME_RTLVNOTALLWD"},
    {0x000000C2, "ESME_RINVPARLEN",         "Invalid Parameter Length. (5.0: ESME_RINVTLVLEN)",                     "ESME_RINVTLVLEN"},
    {0x000000C3, "ESME_RMISSINGOPTPARAM",   "Expected Optional Parameter missing (5.0: ESME_RMISSINGTLV)",          "ESME_RMISSINGTLV"},
    {0x000000C4, "ESME_RINVOPTPARAMVAL",    "Invalid Optional Parameter Value (5.0: ESME_RINVTLVVAL)",              "ESME_RINVTLVVAL"},
    {0x000000FE, "ESME_RDELIVERYFAILURE",   "Delivery Failure (used for data_sm_resp)"},
    {0x000000FF, "ESME_RUNKNOWNERR",        "Unknown Error"},
    // SMPP 5.0
    {0x00000100, "ESME_RSERTYPUNAUTH",      "ESME Not authorised to use specified service_type"},
    {0x00000101, "ESME_RPROHIBITED",        "ESME Prohibited from using specified operation"},
    {0x00000102, "ESME_RSERTYPUNAVAIL",     "Specified service_type is unavailable"},
    {0x00000103, "ESME_RSERTYPDENIED",      "Specified service_type is denied"},
    {0x00000104, "ESME_RINVDCS",            "Invalid Data Coding Scheme"},
    {0x00000105, "ESME_RINVSRCADDRSUBUNIT", "Source Address Sub unit is Invalid"},
    {0x00000106, "ESME_RINVDSTADDRSUBUNIT", "Destination Address Sub unit is Invalid"},
    {0x00000107, "ESME_RINVBCASTFREQINT",   "Broadcast Frequency Interval is invalid"},
    {0x00000108, "ESME_RINVBCASTALIAS_NAME", "Broadcast Alias Name is invalid"},
    {0x00000109, "ESME_RINVBCASTAREAFMT",   "Broadcast Area Format is invalid"},
    {0x0000010A, "ESME_RINVNUMBCAST_AREAS", "Number of Broadcast Areas is invalid"},
    {0x0000010B, "ESME_RINVBCASTCNTTYPE",   "Broadcast Content Type is invalid"},
    {0x0000010C, "ESME_RINVBCASTMSGCLASS",  "Broadcast Message Class is invalid"},
    {0x0000010D, "ESME_RBCASTFAIL",         "broadcast_sm operation failed"},
    {0x0000010E, "ESME_RBCASTQUERYFAIL",    "query_broadcast_sm operation failed"},
    {0x0000010F, "ESME_RBCASTCANCELFAIL",   "cancel_broadcast_sm operation failed"},
    {0x00000110, "ESME_RINVBCAST_REP",      "Number of Repeated Broadcasts is invalid"},
    {0x00000111, "ESME_RINVBCASTSRVGRP",    "Broadcast Service Group is invalid"},
    {0x00000112, "ESME_RINVBCASTCHANIND",   "Broadcast Channel Indicator is invalid"},
};

// The symbolic name of a status, empty for a value without one (reserved or vendor-specific).
constexpr std::string_view StatusName(uint32_t value) {
    for (const Status& status : kStatuses)
        if (status.value == value)
            return status.name;
    return {};
}

// What the decoder shows beside a status: its description, "Reserved" for a value without a row.
inline constexpr std::string_view kReservedStatus = "Reserved";
constexpr std::string_view StatusDescription(uint32_t value) {
    for (const Status& status : kStatuses)
        if (status.value == value)
            return status.description;
    return kReservedStatus;
}

namespace detail {
constexpr bool StatusesAscend() {
    for (std::size_t i = 1; i < std::size(kStatuses); ++i)
        if (kStatuses[i - 1].value >= kStatuses[i].value)
            return false;
    for (const Status& status : kStatuses)
        if (!status.name50.empty() && !(status.description.ends_with(')') &&
                                        status.description.substr(0, status.description.size() - 1).ends_with(status.name50)))
            return false;
    return true;
}
} // namespace detail

static_assert(std::size(kStatuses) == 48 + 19 && detail::StatusesAscend(),
              "the 48 named statuses of SMPP 3.4 and 5.0's 19, ascending, once each; a 5.0 name shown in its description");
static_assert(StatusName(0x58) == "ESME_RTHROTTLED" && StatusName(0x09).empty());
// SMPP 3.4 keeps 0x10 reserved and makes 0x11 the failed cancel_sm.
static_assert(StatusName(0x11) == "ESME_RCANCELFAIL" && StatusDescription(0x11) == "Cancel SM Failed" &&
              StatusDescription(0x10) == kReservedStatus);

} // namespace protocol::smpp
